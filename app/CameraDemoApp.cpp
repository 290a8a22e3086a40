#include "app/CameraDemoApp.h"

#include "app/AppDirectory.h"
#include "component/host/ProcessEnd.h"
#include "component/host/QuorCtrlComponent.h"
#include "console/CameraConsoleDlg.h"
#include "control/ComponentRegistry.h"
#include "platform/EndSignals.h"
#include "platform/UdevMonitor.h"
#include "res/i18n/Translations.h"

#include <QWidget>

#include <memory>

namespace {

// Closes every window of the program, the modal ones on top first, then those under them, as a person closing
// them one by one would. A window that refuses to close stays, and the loop does not spin on it.
void CloseAllWindows() {
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->close())
            break;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->close();
}

} // namespace

CCameraDemoApp::CCameraDemoApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("QuorTovu"));
    setApplicationVersion(QStringLiteral("1.3.1.0"));
    setOrganizationName(QStringLiteral("QuorTovu"));
    setDesktopFileName(QStringLiteral("quortovu"));
    setQuitOnLastWindowClosed(false);
    // English for a user who asks for it; the texts as written (Chinese) otherwise.
    quor::i18n::InstallTranslations();
}

void CCameraDemoApp::InitInstance() {
    // The camera component is found by class identifier when the console creates its controls.
    quor::component::RegisterQuorCtrl();
    // USB cameras plugged in or pulled out refresh the console's camera list.
    quor::StartUdevMonitor();

    appDirectory_ = quor::AppDirectoryFromPath(quor::ExecutablePath());

    auto console = std::make_unique<CCameraConsoleDlg>(appDirectory_);
    // Asked to end by the system (logout, systemctl, kill, Ctrl+C): as if the user closed the windows, so that
    // the photo on its way is finished first. Asked twice: at once.
    const quor::EndSignals endSignals(CloseAllWindows);
    console->exec();
    quor::component::EndProcess(0);
}
