// What the component remembers between runs: the save folder, the network cameras added by hand, the simulated
// camera's live-view and lens choices, and the folders photos went to lately (cleared of crash leftovers at
// start). Read once at start; every change is written on the I/O thread, never on the window's.
#pragma once

#include "component/storage/IoQueue.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

namespace quor::component::storage {

// The live-view aids as remembered (the view's own settings; kept in plain numbers here).
struct AidPreferences {
    bool histogram = false, zebra = false, peaking = false;
    int zebraHigh = 250, zebraLow = 0; // luma thresholds; 256 / -1 mark nothing
    int peakSensitivity = 50;          // 1..100
    QString peakColour = QStringLiteral("#ff2828");
    int grid = 0; // none, thirds, golden ratio, centre cross
    bool operator==(const AidPreferences&) const = default;
};

struct Preferences {
    QString saveFolder;         // empty: next to the program (the folders the host names)
    QStringList networkCameras; // "host:port", as added in the settings dialog
    int liveViewWidth = 1024, liveViewHeight = 680, liveViewFps = 30;
    QString cameraLiveViewSize; // the frame size asked of a real camera that offers one; empty: as it has it
    bool lensManualFocus = false;
    QStringList recentFolders; // newest first
    AidPreferences aids;
    bool operator==(const Preferences&) const = default;
};

class PreferencesStore {
public:
    static constexpr int kRecentFolders = 8;

    // Reads `file` (an INI file; empty keeps nothing between runs). Writes go through `io`.
    PreferencesStore(QString file, IoQueue* io);

    // The component's own file: <config>/QuorTovu/QuorCtrl.conf.
    static QString DefaultFile();

    const Preferences& Get() const { return prefs_; }
    // Changes the preferences (window thread); written off it when anything changed.
    void Update(const std::function<void(Preferences&)>& change);
    // Puts `folder` first among the recent folders.
    void NoteFolder(const QString& folder);
    // Why the last write failed (empty when it did not); any thread.
    QString LastError() const;
    // Called on the I/O thread when a write fails.
    void SetErrorHandler(std::function<void(const QString&)> handler) { onError_ = std::move(handler); }

private:
    void Load();
    void Write(const Preferences& snapshot);

    const QString file_;
    IoQueue* io_;
    Preferences prefs_;
    std::function<void(const QString&)> onError_;
    mutable std::mutex errorMutex_;
    QString lastError_;
};

} // namespace quor::component::storage
