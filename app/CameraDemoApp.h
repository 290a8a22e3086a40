// The application object: works out the application directory, runs the console modally, and ends the
// process when the console closes.
#pragma once

#include <QApplication>

#include <string>

class CCameraDemoApp : public QApplication {
    Q_OBJECT
public:
    CCameraDemoApp(int& argc, char** argv);

    // Computes the application directory, runs the console until it closes, destroys it. Returns false so
    // that the caller ends the process instead of entering an event loop of its own.
    bool InitInstance();

    // A copy of the application directory (no trailing "/").
    std::string AppDirectory() const { return appDirectory_; }

    static CCameraDemoApp* Instance() { return static_cast<CCameraDemoApp*>(QCoreApplication::instance()); }

private:
    std::string appDirectory_;
};
