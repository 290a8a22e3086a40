// The component's view inside the host window: a quiet placeholder while no camera is open, the camera's
// picture (live view, or the last photo after a shot), what the transfer is doing, and, on request, a small
// debug overlay of what the component knows.
#pragma once

#include "component/ComponentState.h"
#include "control/Dispatch.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <deque>

namespace quor::component {

class CameraEngine;
class Lens;

class QuorCtrlView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultWidth = 500;
    static constexpr int kDefaultHeight = 330;
    static constexpr int kMessageMs = 4000;
    static constexpr int kMaxPhotos = 16; // photos kept for the onion skin

    // Everything pointed to belongs to the component and outlives the view.
    QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                 const ComponentState* state, const CaptureStatus* status, const Simulation* sim, const Lens* lens);

    QColor BackColor() const { return back_; }
    // The placeholder's line, or empty when the view shows the camera itself.
    QString PlaceholderText() const;
    // The lines of the debug overlay (also drawn when ShowDebugInfo is on).
    QStringList DebugLines() const;

    // Transfer progress in percent while a download runs; -1 when none does.
    void SetTransferProgress(int percent);
    int TransferProgress() const { return progress_; }
    // A line shown over the picture for kMessageMs (a failed write, a refused shot...).
    void ShowMessage(const QString& text, int ms = kMessageMs);
    QString Message() const { return message_; }
    // A photo has arrived: kept for the onion skin, and shown instead of live view when `show`.
    void AddPhoto(const QImage& preview, bool show);
    void ClearShownPhoto();
    bool ShowingPhoto() const { return !shownPhoto_.isNull(); }

public slots:
    // Something the overlay or the picture depends on has changed.
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintPicture(QPainter& painter, const QImage& picture);
    void PaintDebugOverlay(QPainter& painter);
    void PaintStatus(QPainter& painter);

    QColor back_;
    const CameraEngine* engine_;
    const ComponentState* state_;
    const CaptureStatus* status_;
    const Simulation* sim_;
    const Lens* lens_;

    int progress_ = -1;
    QString message_;
    QTimer messageTimer_;
    QImage shownPhoto_;
    std::deque<QImage> photos_; // newest last

    // The debug overlay is drawn into this image only when its text changes.
    QImage overlayCache_;
    bool overlayDirty_ = true;
};

} // namespace quor::component
