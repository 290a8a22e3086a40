#include "app/CameraDemoApp.h"

#include "app/AppDirectory.h"
#include "component/host/ProcessEnd.h"
#include "component/host/QuorCtrlComponent.h"
#include "console/CameraConsoleDlg.h"
#include "control/ComponentRegistry.h"
#include "platform/UdevMonitor.h"
#include "res/i18n/Translations.h"

#include <memory>

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
    console->exec();
    quor::component::EndProcess(0);
}
