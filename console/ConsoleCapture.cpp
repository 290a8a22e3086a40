// Capture commands and transfer progress. The transfer notifications are routed here; what they do is
// added together with the capture commands.
#include "console/CameraConsoleDlg.h"

void CCameraConsoleDlg::OnDownloadStart() {}

void CCameraConsoleDlg::OnProgressReport(std::int32_t) {}

void CCameraConsoleDlg::OnDownloadMovieComplete() {}

void CCameraConsoleDlg::OnDownloadComplete() {}
