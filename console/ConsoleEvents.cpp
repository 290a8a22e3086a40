// The component's events (the event map of the camera view and the table of Notify names), and the
// pre-translation of pointer moves and keys.
#include "console/CameraConsoleDlg.h"

#include "control/NotifyNames.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

using quor::Variant;

void CCameraConsoleDlg::BuildEventRoutes() {
    events_.Bind(kCameraViewId, quor::kEventPropertyValueChanged, 2, [this](std::span<Variant> a) {
        Guard("PropertyValueChanged", [&] { OnPropertyValueChanged(a[0].Int(), a[1].text); });
    });
    events_.Bind(kCameraViewId, quor::kEventPropertyOptionAdded, 4, [this](std::span<Variant> a) {
        Guard("PropertyOptionAdded", [&] { OnPropertyOptionAdded(a[0].Int(), a[1].text, a[2].Int(), a[3].IsTrue()); });
    });
    events_.Bind(kCameraViewId, quor::kEventNotify, 2,
                 [this](std::span<Variant> a) { notify_.Dispatch(a[0].text, a[1]); });
    events_.Bind(kCameraViewId, quor::kEventCropRectChanged, 4, [this](std::span<Variant> a) {
        Guard("CropRectChanged", [&] { OnCropRectChanged(a[0].Int(), a[1].Int(), a[2].Int(), a[3].Int()); });
    });

    // Tested in this order; the first name that matches wins. Integers come from the value field whatever the
    // variant's tag says.
    notify_.Add(quor::notify::ShutDown, [this](Variant&) { Guard("shutDown", [this] { OnShutDown(); }); });
    notify_.Add(quor::notify::OpenSucceed, [this](Variant&) { Guard("OpenSucceed", [this] { OnOpenSucceed(); }); });
    notify_.Add(quor::notify::DownloadStart,
                [this](Variant&) { Guard("DownloadStart", [this] { OnDownloadStart(); }); });
    notify_.Add(quor::notify::ProgressReport, [this](Variant& v) {
        const std::int32_t progress = v.Int();
        Guard("ProgressReport", [this, progress] { OnProgressReport(progress); });
    });
    notify_.Add(quor::notify::DownloadMovieComplete,
                [this](Variant&) { Guard("DownloadMovieComplete", [this] { OnDownloadMovieComplete(); }); });
    notify_.Add(quor::notify::UpdateEvfOutput, [this](Variant& v) {
        const std::int16_t state = v.Low16();
        Guard("updateEvfOutput", [this, state] { OnUpdateEvfOutput(state); });
    });
    notify_.Add(quor::notify::DownloadComplete,
                [this](Variant&) { Guard("DownloadComplete", [this] { OnDownloadComplete(); }); });
    notify_.Add(quor::notify::ResetPropertyDesc, [this](Variant& v) {
        const std::int32_t code = v.Int();
        Guard("resetPropertyDesc", [this, code] { OnResetPropertyDesc(code); });
    });
    notify_.Add(quor::notify::SeriesEnded, [this](Variant&) { Guard("SeriesEnded", [this] { OnSeriesEnded(); }); });
}

bool CCameraConsoleDlg::IsConsoleWindow(const QObject* watched) const {
    // Only the event addressed to a window counts: Qt hands the same move on to the widget beneath the pointer
    // and its parents, and those copies must not count again. A native child has a window of its own whose
    // parent chain leads here.
    if (!watched || !watched->isWindowType())
        return false;
    const QWindow* mine = windowHandle();
    if (!mine)
        return false;
    for (auto* w = static_cast<const QWindow*>(watched); w; w = w->parent())
        if (w == mine)
            return true;
    return false;
}

bool CCameraConsoleDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseMove || type == QEvent::KeyPress) && IsConsoleWindow(watched)) {
        if (type == QEvent::MouseMove) {
            const auto* move = static_cast<const QMouseEvent*>(event);
            Guard("half-press", [this, move] { UpdateHalfPress(*move); });
        } else if (static_cast<const QKeyEvent*>(event)->key() == Qt::Key_F11) {
            // Every key-down, auto-repeats included; modifiers are not looked at.
            Guard("F11", [this] { ToggleDebugInfoKey(); });
        }
    }
    // Nothing is consumed: the move or key goes on to its window.
    return QDialog::eventFilter(watched, event);
}
