// The application object: works out the application directory, runs the console modally, and ends the
// process when the console closes.
#pragma once

#include <QApplication>

#include <string>

class CCameraDemoApp : public QApplication {
    Q_OBJECT
public:
    CCameraDemoApp(int& argc, char** argv);

    // Computes the application directory and runs the console until it closes; then the process ends at once
    // (component::EndProcess: photos being written are finished, cameras that stopped answering are not waited
    // for, and the console is never destroyed). Never returns.
    [[noreturn]] void InitInstance();

    // A copy of the application directory (no trailing "/").
    std::string AppDirectory() const { return appDirectory_; }

    static CCameraDemoApp* Instance() { return static_cast<CCameraDemoApp*>(QCoreApplication::instance()); }

private:
    std::string appDirectory_;
};
