#include "component/storage/Preferences.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>
#include <QStandardPaths>

namespace quor::component::storage {

PreferencesStore::PreferencesStore(QString file, IoQueue* io) : file_(std::move(file)), io_(io) { Load(); }

QString PreferencesStore::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/QuorTovu/QuorCtrl.conf");
}

namespace {

AidPreferences LoadAids(const QSettings& s) {
    AidPreferences a;
    a.histogram = s.value(QStringLiteral("aids/histogram"), false).toBool();
    a.zebra = s.value(QStringLiteral("aids/zebra"), false).toBool();
    a.peaking = s.value(QStringLiteral("aids/peaking"), false).toBool();
    // Out-of-range numbers from a damaged file are brought into range.
    a.zebraHigh = std::clamp(s.value(QStringLiteral("aids/zebraHigh"), a.zebraHigh).toInt(), 0, 256);
    a.zebraLow = std::clamp(s.value(QStringLiteral("aids/zebraLow"), a.zebraLow).toInt(), -1, 255);
    a.peakSensitivity = std::clamp(s.value(QStringLiteral("aids/peakSensitivity"), a.peakSensitivity).toInt(), 1, 100);
    const QString colour = s.value(QStringLiteral("aids/peakColour"), a.peakColour).toString();
    if (colour.size() == 7 && colour.startsWith(QLatin1Char('#')))
        a.peakColour = colour;
    a.grid = std::clamp(s.value(QStringLiteral("aids/grid"), 0).toInt(), 0, 3);
    return a;
}

void WriteAids(QSettings& s, const AidPreferences& a) {
    s.setValue(QStringLiteral("aids/histogram"), a.histogram);
    s.setValue(QStringLiteral("aids/zebra"), a.zebra);
    s.setValue(QStringLiteral("aids/peaking"), a.peaking);
    s.setValue(QStringLiteral("aids/zebraHigh"), a.zebraHigh);
    s.setValue(QStringLiteral("aids/zebraLow"), a.zebraLow);
    s.setValue(QStringLiteral("aids/peakSensitivity"), a.peakSensitivity);
    s.setValue(QStringLiteral("aids/peakColour"), a.peakColour);
    s.setValue(QStringLiteral("aids/grid"), a.grid);
}

} // namespace

void PreferencesStore::Load() {
    if (file_.isEmpty())
        return;
    const QSettings s(file_, QSettings::IniFormat);
    Preferences p;
    p.saveFolder = s.value(QStringLiteral("photos/saveFolder")).toString();
    p.networkCameras = s.value(QStringLiteral("cameras/network")).toStringList();
    p.liveViewWidth = s.value(QStringLiteral("liveView/width"), p.liveViewWidth).toInt();
    p.liveViewHeight = s.value(QStringLiteral("liveView/height"), p.liveViewHeight).toInt();
    p.liveViewFps = s.value(QStringLiteral("liveView/fps"), p.liveViewFps).toInt();
    p.cameraLiveViewSize = s.value(QStringLiteral("liveView/cameraSize")).toString();
    p.lensManualFocus = s.value(QStringLiteral("lens/manualFocus"), false).toBool();
    p.recentFolders = s.value(QStringLiteral("photos/recentFolders")).toStringList();
    // A damaged file does not get to set impossible frames.
    if (p.liveViewWidth < 16 || p.liveViewWidth > 7680 || p.liveViewHeight < 16 || p.liveViewHeight > 4320 ||
        p.liveViewFps < 1 || p.liveViewFps > 120) {
        const Preferences defaults;
        p.liveViewWidth = defaults.liveViewWidth;
        p.liveViewHeight = defaults.liveViewHeight;
        p.liveViewFps = defaults.liveViewFps;
    }
    while (p.recentFolders.size() > kRecentFolders)
        p.recentFolders.removeLast();
    p.aids = LoadAids(s);
    prefs_ = p;
}

void PreferencesStore::Update(const std::function<void(Preferences&)>& change) {
    Preferences next = prefs_;
    change(next);
    if (next == prefs_)
        return;
    prefs_ = next;
    if (file_.isEmpty() || !io_)
        return;
    io_->Post([this, next] { Write(next); });
}

void PreferencesStore::NoteFolder(const QString& folder) {
    if (folder.isEmpty() || (!prefs_.recentFolders.isEmpty() && prefs_.recentFolders.first() == folder))
        return;
    Update([&](Preferences& p) {
        p.recentFolders.removeAll(folder);
        p.recentFolders.prepend(folder);
        while (p.recentFolders.size() > kRecentFolders)
            p.recentFolders.removeLast();
    });
}

void PreferencesStore::Write(const Preferences& p) {
    QSettings s(file_, QSettings::IniFormat);
    s.setValue(QStringLiteral("photos/saveFolder"), p.saveFolder);
    s.setValue(QStringLiteral("photos/recentFolders"), p.recentFolders);
    s.setValue(QStringLiteral("cameras/network"), p.networkCameras);
    s.setValue(QStringLiteral("liveView/width"), p.liveViewWidth);
    s.setValue(QStringLiteral("liveView/height"), p.liveViewHeight);
    s.setValue(QStringLiteral("liveView/fps"), p.liveViewFps);
    s.setValue(QStringLiteral("liveView/cameraSize"), p.cameraLiveViewSize);
    s.setValue(QStringLiteral("lens/manualFocus"), p.lensManualFocus);
    WriteAids(s, p.aids);
    s.sync();
    QString error;
    if (s.status() != QSettings::NoError)
        error = QCoreApplication::translate("quor::storage", "设置未能保存：无法写入 %1").arg(file_);
    {
        std::lock_guard lock(errorMutex_);
        const bool fresh = error != lastError_;
        lastError_ = error;
        if (!fresh || error.isEmpty())
            return;
    }
    if (onError_)
        onError_(error);
}

QString PreferencesStore::LastError() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

} // namespace quor::component::storage
