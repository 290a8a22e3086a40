// Names carried by the component's Notify event, in the order the console tests them.
#pragma once

namespace quor::notify {

inline constexpr char ShutDown[] = "shutDown";
inline constexpr char OpenSucceed[] = "OpenSucceed";
inline constexpr char DownloadStart[] = "DownloadStart";
inline constexpr char ProgressReport[] = "ProgressReport";
inline constexpr char DownloadMovieComplete[] = "DownloadMovieComplete";
inline constexpr char UpdateEvfOutput[] = "updateEvfOutput";
inline constexpr char DownloadComplete[] = "DownloadComplete";
inline constexpr char ResetPropertyDesc[] = "resetPropertyDesc";

// Ours, after the interface's own: a series the component ended by itself (a photo lost, the camera lost, a
// body that refused it), never one the host stopped.
inline constexpr char SeriesEnded[] = "SeriesEnded";

} // namespace quor::notify
