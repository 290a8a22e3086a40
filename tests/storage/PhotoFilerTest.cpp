// The photo filer on real folders: every photo kept under its own name with the newest under the host's, on
// filesystems with and without links and renameat2; files it finds in its way kept; folders it must not use
// avoided; what a crash leaves behind cleared.
#include "RefusedLinks.h"
#include "tests/support/QtPrinters.h"

#include "component/storage/DurableFile.h"
#include "component/storage/PhotoFiler.h"
#include "res/i18n/Translations.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <utime.h>

namespace quor::component::storage::test {
namespace {

using quor::test::Refuse;
using quor::test::RefusedFor;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

ino_t Inode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QStringList Entries(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

const QRegularExpression kKept(QStringLiteral("^quortovu_\\d{8}-\\d{6}_\\d{4}\\.jpg$"));

struct Filer {
    explicit Filer(const QString& fallback) : filer(fallback) {
        filer.SetNoticeHandler([this](const QString& text, NoticeKind kind) {
            notices.push_back(text);
            kinds.push_back(kind);
        });
    }
    StoredPhoto Save(const PhotoRequest& request, const QByteArray& bytes, const QString& suffix = ".jpg") {
        const QByteArrayView parts[] = {QByteArrayView(bytes).first(1), QByteArrayView(bytes).sliced(1)};
        StoredPhoto stored;
        QString error;
        ok = filer.Save(request, suffix, parts, &stored, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        return stored;
    }
    PhotoFiler filer;
    std::vector<QString> notices;
    std::vector<NoticeKind> kinds;
    bool ok = false;
};

PhotoRequest Newest(const QString& path) { return PhotoRequest{PhotoRequest::Naming::Newest, path, {}, {}}; }

// The same photos saved on three kinds of filesystem: each is kept whole under a name of its own, the host's
// name always holds the newest, and a later run neither replaces nor duplicates anything.
TEST(PhotoFiler, EveryPhotoIsKeptAndTheHostsNameHoldsTheNewestOnAnyFilesystem) {
    for (const Refuse refused : {Refuse::Nothing, Refuse::Links, Refuse::LinksAndExclusiveRename}) {
        SCOPED_TRACE(int(refused));
        QTemporaryDir dir, fallback;
        const RefusedFor filesystem(refused, dir.path());
        const QString newest = dir.filePath(QStringLiteral("quortovu.jpg"));
        std::vector<QString> kept;
        for (int run = 0; run < 2; ++run) { // a second run starts from what the first left
            Filer f(fallback.path());
            for (int shot = 0; shot < 3; ++shot) {
                const QByteArray bytes = QByteArray("photo ") + QByteArray::number(run * 10 + shot);
                const StoredPhoto stored = f.Save(Newest(newest), bytes);
                EXPECT_EQ(stored.path, newest);
                EXPECT_EQ(ReadAll(newest), bytes);
                EXPECT_EQ(ReadAll(stored.keptAs), bytes);
                kept.push_back(stored.keptAs);
                if (refused == Refuse::Nothing) {
                    EXPECT_EQ(Inode(newest), Inode(stored.keptAs)) << "a second name, not a copy";
                }
            }
            EXPECT_TRUE(f.notices.empty()) << f.notices.front().toStdString();
        }
        const QStringList files = Entries(dir.path());
        EXPECT_EQ(files.size(), 7) << files.join(' ').toStdString(); // six kept, the newest, no temporary
        EXPECT_EQ(files.filter(kKept).size(), 6);
        for (std::size_t i = 0; i < kept.size(); ++i)
            EXPECT_EQ(ReadAll(kept[i]), QByteArray("photo ") + QByteArray::number(int(i / 3 * 10 + i % 3)));
        // Sortable: the order of the names is the order of the shots.
        QStringList sorted = files.filter(kKept);
        for (std::size_t i = 0; i < kept.size(); ++i)
            EXPECT_EQ(QDir(dir.path()).filePath(sorted[qsizetype(i)]), kept[i]);
    }
}

TEST(PhotoFiler, AFileAtTheHostsNameThatNothingKeepsIsKeptBeforeTheNewestTakesItsPlace) {
    for (const Refuse refused : {Refuse::Nothing, Refuse::LinksAndExclusiveRename}) {
        SCOPED_TRACE(int(refused));
        QTemporaryDir dir, fallback;
        const RefusedFor filesystem(refused, dir.path());
        const QString newest = dir.filePath(QStringLiteral("quortovu.jpg"));
        WriteFile(newest, "an older version's photo");
        Filer f(fallback.path());
        f.Save(Newest(newest), "new");
        EXPECT_EQ(ReadAll(newest), QByteArray("new"));
        const QStringList kept = Entries(dir.path()).filter(kKept);
        ASSERT_EQ(kept.size(), 2);
        QByteArrayList contents;
        for (const QString& name : kept)
            contents << ReadAll(dir.filePath(name));
        EXPECT_TRUE(contents.contains("an older version's photo") && contents.contains("new"));
    }
}

TEST(PhotoFiler, FoldersThatCannotTakePhotosSendThemToTheFallbackAndTheUserIsToldOnce) {
    QTemporaryDir dir, pictures;
    const QString fallback = pictures.filePath(QStringLiteral("QuorTovu")); // made when first needed
    WriteFile(dir.filePath(QStringLiteral("not-a-folder")), "x");
    struct Case {
        QString folder;
        const char* why;
    };
    const Case cases[] = {{QStringLiteral("/usr/bin"), "is a system folder"},
                          {dir.filePath(QStringLiteral("missing")), "does not exist"},
                          {dir.filePath(QStringLiteral("not-a-folder")), "is not a folder"}};
    Filer f(fallback);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        f.notices.clear();
        f.kinds.clear();
        for (int shot = 0; shot < 2; ++shot) {
            const StoredPhoto stored = f.Save(Newest(c.folder + QStringLiteral("/quortovu.jpg")), "photo");
            EXPECT_EQ(stored.path, QDir(fallback).filePath(QStringLiteral("quortovu.jpg")));
        }
        ASSERT_EQ(f.notices.size(), 1u) << "said once";
        EXPECT_TRUE(f.notices[0].contains(fallback) && f.notices[0].contains(QLatin1String(c.why)))
            << f.notices[0].toStdString();
        // The host's own folders failing is how an installed copy works: a notice, not a failure.
        EXPECT_EQ(f.kinds[0], NoticeKind::Information);
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("/usr/bin/quortovu.jpg")));

    // A chosen save folder wins over the host's folder; one that cannot take photos is a failure to put right.
    QTemporaryDir chosen;
    f.filer.SetSaveFolder(chosen.path());
    EXPECT_EQ(f.Save(Newest(dir.filePath(QStringLiteral("quortovu.jpg"))), "x").path,
              QDir(chosen.path()).filePath(QStringLiteral("quortovu.jpg")));
    f.filer.SetSaveFolder(dir.filePath(QStringLiteral("chosen-but-gone")));
    f.kinds.clear();
    f.Save(Newest(dir.filePath(QStringLiteral("quortovu.jpg"))), "x");
    ASSERT_EQ(f.kinds.size(), 1u);
    EXPECT_EQ(f.kinds[0], NoticeKind::Failure);

    // Nowhere to go: the photo is reported lost, with both reasons.
    Filer nowhere(QStringLiteral("/proc/no-pictures"));
    const QByteArrayView parts[] = {QByteArrayView("x")};
    StoredPhoto stored;
    QString error;
    EXPECT_FALSE(nowhere.filer.Save(Newest(QStringLiteral("/usr/bin/q.jpg")), QStringLiteral(".jpg"), parts, &stored,
                                    &error));
    EXPECT_TRUE(error.contains(QStringLiteral("/usr/bin")) && error.contains(QStringLiteral("/proc/no-pictures")))
        << error.toStdString();

    // A folder that goes away while a photo arrives piece by piece (a stick pulled out): what came before and
    // what comes after both end up in the fallback folder, whole.
    f.filer.SetSaveFolder({});
    QTemporaryDir gone;
    std::unique_ptr<IncomingPhoto> incoming = f.filer.Begin(Newest(gone.filePath(QStringLiteral("q.jpg"))), &error);
    ASSERT_NE(incoming, nullptr) << error.toStdString();
    const QByteArray head(300000, 'h'), tail(200001, 't');
    ASSERT_TRUE(incoming->Append(head.data(), std::size_t(head.size())));
    ASSERT_TRUE(QDir(gone.path()).removeRecursively());
    ASSERT_TRUE(incoming->Append(tail.data(), std::size_t(tail.size())));
    f.notices.clear();
    ASSERT_TRUE(f.filer.Finish(*incoming, QStringLiteral(".jpg"), &stored, &error)) << error.toStdString();
    EXPECT_EQ(stored.path, QDir(fallback).filePath(QStringLiteral("q.jpg")));
    EXPECT_EQ(ReadAll(stored.path), head + tail);
    ASSERT_EQ(f.notices.size(), 1u);
    EXPECT_TRUE(f.notices[0].contains(gone.path())) << f.notices[0].toStdString();
    EXPECT_EQ(f.kinds.back(), NoticeKind::Failure);
}

TEST(PhotoFiler, SeriesFramesCountUpAndTheSecondFileOfAnExposureSharesItsName) {
    QTemporaryDir dir, fallback;
    Filer f(fallback.path());
    const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-07T15:30:12"), Qt::ISODate);
    const PhotoRequest series{PhotoRequest::Naming::Series, dir.path(), start, {}};
    WriteFile(dir.filePath(QStringLiteral("quortovu_20261207-153012_0002.jpg")), "taken");
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << QFileInfo(f.Save(series, "frame").keptAs).fileName();
    // A series that starts in the same second as one before it goes on after its frames: the names keep sorting
    // in the order the frames were taken.
    EXPECT_EQ(names, (QStringList{QStringLiteral("quortovu_20261207-153012_0003.jpg"),
                                  QStringLiteral("quortovu_20261207-153012_0004.jpg"),
                                  QStringLiteral("quortovu_20261207-153012_0005.jpg")}));
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("quortovu_20261207-153012_0002.jpg"))), QByteArray("taken"));

    // The series' folder goes away half-way (a stick pulled out): the frames go on in the fallback folder with
    // the series' own numbers, so that both halves sort together in shooting order.
    {
        QTemporaryDir stick;
        const PhotoRequest pulled{PhotoRequest::Naming::Series, stick.path(),
                                  start.addSecs(60), {}};
        QStringList frames;
        for (int i = 0; i < 4; ++i) {
            if (i == 2) {
                ASSERT_TRUE(QDir(stick.path()).removeRecursively());
            }
            frames << f.Save(pulled, "frame").keptAs;
        }
        EXPECT_EQ(frames, (QStringList{stick.filePath(QStringLiteral("quortovu_20261207-153112_0001.jpg")),
                                       stick.filePath(QStringLiteral("quortovu_20261207-153112_0002.jpg")),
                                       QDir(fallback.path()).filePath(QStringLiteral("quortovu_20261207-153112_0003.jpg")),
                                       QDir(fallback.path()).filePath(QStringLiteral("quortovu_20261207-153112_0004.jpg"))}));
    }

    // A dated name carries on the count of the run before, whatever second that was in.
    QTemporaryDir earlier;
    WriteFile(earlier.filePath(QStringLiteral("quortovu_20261207-153012_0041.jpg")), "an earlier run's");
    Filer next(fallback.path());
    EXPECT_TRUE(next.Save(Newest(earlier.filePath(QStringLiteral("quortovu.jpg"))), "x").keptAs.endsWith(
        QStringLiteral("_0042.jpg")));

    // RAW + JPEG: the second file takes the first one's name; only the JPEG updates the host's name.
    const QString newest = dir.filePath(QStringLiteral("shot.jpg"));
    const StoredPhoto raw = f.Save(Newest(newest), "raw", QStringLiteral(".cr2"));
    EXPECT_FALSE(QFile::exists(newest));
    const QByteArrayView parts[] = {QByteArrayView("jpeg")};
    StoredPhoto jpeg;
    QString error;
    ASSERT_TRUE(f.filer.Save(Newest(newest), QStringLiteral(".jpg"), parts, &jpeg, &error, &raw));
    EXPECT_EQ(jpeg.base, raw.base);
    EXPECT_TRUE(raw.keptAs.endsWith(QStringLiteral(".cr2")) && jpeg.keptAs.endsWith(QStringLiteral(".jpg")));
    EXPECT_EQ(ReadAll(newest), QByteArray("jpeg"));

    // A camera's own name, made safe by the caller, counts past the names already there.
    const PhotoRequest own{PhotoRequest::Naming::CameraNamed, dir.path(), {}, QStringLiteral("IMG_0042")};
    WriteFile(dir.filePath(QStringLiteral("IMG_0042_0001.jpg")), "earlier");
    EXPECT_EQ(QFileInfo(f.Save(own, "own").keptAs).fileName(), QStringLiteral("IMG_0042_0002.jpg"));
}

// Messages are put together from pieces (a template, a step that failed, the system's reason): with the English
// catalogue every piece is English, and without it every piece is Chinese, also the system's reason.
TEST(PhotoFiler, AMessageMadeOfPiecesReadsWhollyInOneLanguage) {
    struct Told {
        QString lost;  // nowhere to put the photo
        QString moved; // its folder went away half-way; the photo went to the fallback
    };
    auto tell = [] {
        Told told;
        Filer nowhere(QStringLiteral("/proc/no-pictures"));
        const QByteArrayView parts[] = {QByteArrayView("x")};
        StoredPhoto stored;
        EXPECT_FALSE(nowhere.filer.Save(Newest(QStringLiteral("/usr/bin/q.jpg")), QStringLiteral(".jpg"), parts,
                                        &stored, &told.lost));
        QTemporaryDir gone, fallback;
        Filer f(fallback.path());
        QString error;
        const PhotoRequest request = Newest(gone.filePath(QStringLiteral("q.jpg")));
        std::unique_ptr<IncomingPhoto> incoming = f.filer.Begin(request, &error);
        EXPECT_NE(incoming, nullptr) << error.toStdString();
        if (!incoming)
            return told;
        EXPECT_TRUE(incoming->Append("photo", 5));
        EXPECT_TRUE(QDir(gone.path()).removeRecursively());
        EXPECT_TRUE(f.filer.Finish(*incoming, QStringLiteral(".jpg"), &stored, &error)) << error.toStdString();
        if (f.notices.size() == 1)
            told.moved = f.notices[0];
        return told;
    };
    struct Reinstall {
        ~Reinstall() {
            quor::i18n::InstallEnglishCatalogue(QStringLiteral("host"));
            quor::i18n::InstallEnglishCatalogue(QStringLiteral("camera"));
        }
    } reinstall;
    // What a message says besides its paths.
    auto words = [](QString text) { return text.remove(QRegularExpression(QStringLiteral("/[\\w./-]+"))); };

    const Told en = tell();
    EXPECT_EQ(en.lost, QStringLiteral("The photo was not saved: /usr/bin is a system folder, and /proc/no-pictures "
                                      "does not exist"));
    EXPECT_EQ(words(en.moved), QStringLiteral("Could not save in  (cannot save : No such file or directory); the "
                                              "photo is in "))
        << en.moved.toStdString();

    quor::i18n::RemoveTranslations();
    const Told zh = tell();
    EXPECT_EQ(zh.lost, QStringLiteral("照片未保存：/usr/bin 是系统文件夹，/proc/no-pictures 也不存在"));
    EXPECT_EQ(words(zh.moved), QStringLiteral("无法保存到 （无法保存 ：文件或文件夹不存在）；照片已存到 "))
        << zh.moved.toStdString();
}

// Temporaries of a writer that has gone are removed; those of a live writer, in this process or another, stay.
TEST(DurableFile, WhatACrashLeftIsClearedAndLiveWritesAreLeftAlone) {
    QTemporaryDir dir;
    QProcess gone;
    gone.start(QStringLiteral("sleep"), {QStringLiteral("0.05")});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 gonePid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    const auto temp = [&](qint64 pid, const char* tail) {
        const QString path = dir.filePath(QStringLiteral(".quortovu-%1-%2.part").arg(pid).arg(QLatin1String(tail)));
        WriteFile(path, "half a photo");
        return path;
    };
    const QString deadWriter = temp(gonePid, "aaaaaa");
    const QString otherLiveWriter = temp(1, "bbbbbb");
    const QString ourForgotten = temp(QCoreApplication::applicationPid(), "cccccc");
    const QString olderVersion = dir.filePath(QStringLiteral(".quortovu-dddddd.part"));
    WriteFile(olderVersion, "old");
    const utimbuf longAgo{std::time(nullptr) - 3600, std::time(nullptr) - 3600};
    ASSERT_EQ(::utime(QFile::encodeName(olderVersion).constData(), &longAgo), 0);
    const QString olderButFresh = dir.filePath(QStringLiteral(".quortovu-eeeeee.part"));
    WriteFile(olderButFresh, "new");
    WriteFile(dir.filePath(QStringLiteral("photo.jpg")), "a photo");

    PendingFile live; // a write of ours in progress, with a name (as on a filesystem without O_TMPFILE)
    FolderAbilities named;
    named.tmpfile = false;
    ASSERT_TRUE(live.Begin(dir.path(), named, nullptr));

    EXPECT_EQ(RemoveStaleTemporaries(dir.path()), 3);
    EXPECT_FALSE(QFile::exists(deadWriter));
    EXPECT_FALSE(QFile::exists(ourForgotten));
    EXPECT_FALSE(QFile::exists(olderVersion));
    EXPECT_TRUE(QFile::exists(otherLiveWriter));
    EXPECT_TRUE(QFile::exists(olderButFresh));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("photo.jpg"))));
    EXPECT_EQ(Entries(dir.path()).filter(QStringLiteral(".part")).size(), 3) << "ours in progress stays";
}

} // namespace
} // namespace quor::component::storage::test
