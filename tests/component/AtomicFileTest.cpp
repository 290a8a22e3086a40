// Photos are written whole or not at all, and a series never replaces an existing file.
#include "component/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>


namespace {

using quor::component::WriteFileAtomically;
using quor::component::WriteNewFile;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

TEST(AtomicFile, ReplacesWholeAndLeavesNoTemporaryBehind) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("quortovu.jpg"));
    ASSERT_TRUE(WriteFileAtomically(path, QByteArray(100000, 'a')));
    ASSERT_TRUE(WriteFileAtomically(path, QByteArray("second")));
    EXPECT_EQ(ReadAll(path), QByteArray("second"));
    EXPECT_EQ(Entries(tmp.path()), QStringList{QStringLiteral("quortovu.jpg")});
    EXPECT_EQ(QFile::permissions(path) & QFileDevice::ReadOther, QFileDevice::ReadOther);
}

TEST(AtomicFile, FailuresLeaveNothingAndReportAReason) {
    QTemporaryDir tmp;
    QString error;
    EXPECT_FALSE(WriteFileAtomically(tmp.filePath(QStringLiteral("no/such/folder/x.jpg")), "x", &error));
    EXPECT_FALSE(error.isEmpty());

    // A folder that cannot be written (a path through a regular file can never be, even for root).
    const QString blocker = tmp.filePath(QStringLiteral("file"));
    ASSERT_TRUE(WriteFileAtomically(blocker, "keep"));
    error.clear();
    EXPECT_FALSE(WriteFileAtomically(blocker + QStringLiteral("/x.jpg"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(blocker), QByteArray("keep"));

    // Renaming onto a folder fails after the data was written: the earlier entry stays and no part file is left.
    const QString folder = tmp.filePath(QStringLiteral("taken.jpg"));
    ASSERT_TRUE(QDir().mkpath(folder));
    error.clear();
    EXPECT_FALSE(WriteFileAtomically(folder, "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(Entries(tmp.path()), QStringList{QStringLiteral("file")});
}

TEST(AtomicFile, NewFilesSkipEveryTakenName) {
    QTemporaryDir tmp;
    ASSERT_TRUE(WriteFileAtomically(tmp.filePath(QStringLiteral("IMG_0001.jpg")), "old 1"));
    ASSERT_TRUE(WriteFileAtomically(tmp.filePath(QStringLiteral("IMG_0003.jpg")), "old 3"));
    QStringList written;
    for (int i = 0; i < 3; ++i)
        written << QFileInfo(WriteNewFile(tmp.path(), QStringLiteral("IMG_"), QStringLiteral(".jpg"),
                                          QByteArray::number(i)))
                       .fileName();
    EXPECT_EQ(written, (QStringList{QStringLiteral("IMG_0002.jpg"), QStringLiteral("IMG_0004.jpg"),
                                    QStringLiteral("IMG_0005.jpg")}));
    EXPECT_EQ(ReadAll(tmp.filePath(QStringLiteral("IMG_0001.jpg"))), QByteArray("old 1"));
    EXPECT_EQ(ReadAll(tmp.filePath(QStringLiteral("IMG_0003.jpg"))), QByteArray("old 3"));
    EXPECT_EQ(ReadAll(tmp.filePath(QStringLiteral("IMG_0004.jpg"))), QByteArray("1"));
    EXPECT_EQ(Entries(tmp.path()).size(), 5);

    QString error;
    EXPECT_TRUE(WriteNewFile(tmp.filePath(QStringLiteral("missing")), QStringLiteral("IMG_"), QStringLiteral(".jpg"),
                             "x", 1, &error)
                    .isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
