#include "app/AppDirectory.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

TEST(AppDirectory, EverythingBeforeTheLastSlash) {
    EXPECT_EQ(quor::AppDirectoryFromPath("/a/b/x"), "/a/b");
    EXPECT_EQ(quor::AppDirectoryFromPath("/x"), "") << "a file in the root gives an empty directory";
    EXPECT_EQ(quor::AppDirectoryFromPath("/x") + "/quortovu.jpg", "/quortovu.jpg");
    EXPECT_EQ(quor::AppDirectoryFromPath("x"), "");
    EXPECT_EQ(quor::AppDirectoryFromPath(""), "");
    EXPECT_EQ(quor::AppDirectoryFromPath(std::string("/opt/q/quortovu\0/junk", 21)), "/opt/q");
    EXPECT_EQ(quor::AppDirectoryFromPath("/中文/相机/quortovu"), "/中文/相机");
}

TEST(AppDirectory, LongPathsAreNotCutShort) {
    std::string dir;
    while (dir.size() < 600)
        dir += "/a-rather-long-folder-name";
    EXPECT_EQ(quor::AppDirectoryFromPath(dir + "/quortovu"), dir);
}

TEST(AppDirectory, TheRunningExecutableIsFound) {
    const std::string exe = quor::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_NE(exe.find("app_tests"), std::string::npos);
    EXPECT_EQ(quor::AppDirectoryFromPath(exe) + "/app_tests", exe);
}

// Helper run in a child process: writes the directory the running executable finds for itself.
TEST(AppDirectory, ReportOwnDirectory) {
    const char* out = std::getenv("QUOR_REPORT_APPDIR");
    if (!out)
        GTEST_SKIP() << "only run as the child of ExecutableAtAPathLongerThan260Characters";
    std::ofstream(out) << quor::AppDirectoryFromPath(quor::ExecutablePath());
}

TEST(AppDirectory, ExecutableAtAPathLongerThan260Characters) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QString dir = tmp.path();
    while (dir.size() < 400)
        dir += QStringLiteral("/folder-of-a-deeply-nested-installation");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString copy = dir + QStringLiteral("/quortovu");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(quor::ExecutablePath()), copy));
    QFile(copy).setPermissions(QFile::permissions(copy) | QFileDevice::ExeOwner);

    const QString report = tmp.path() + QStringLiteral("/report.txt");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUOR_REPORT_APPDIR"), report);
    child.setProcessEnvironment(env);
    child.start(copy, {QStringLiteral("--gtest_filter=AppDirectory.ReportOwnDirectory")});
    ASSERT_TRUE(child.waitForFinished(30000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();

    std::ifstream in(report.toStdString());
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GT(got.size(), 260u);
    EXPECT_EQ(got, dir.toStdString());
}

} // namespace
