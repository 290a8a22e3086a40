// The component's view inside the host window: a quiet placeholder while no camera is open, the camera's
// picture (live view, or the last photo after a shot), what the transfer is doing, and, on request, a small
// debug overlay of what the component knows.
#pragma once

#include "component/host/ComponentState.h"
#include "control/Dispatch.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QSocketNotifier>
#include <QTransform>
#include <QWidget>

#include <cstdint>

#include <deque>

namespace quor::component {

class CameraEngine;
class LiveView;
struct Frame;

// What the window thread spends on live view, for the overlay and the benchmarks.
struct ViewStats {
    std::uint64_t framesTaken = 0; // frames taken from the pool
    std::uint64_t paints = 0;
    std::int64_t paintNs = 0;      // total time in paintEvent
    std::int64_t frameSlotNs = 0;  // total time taking frames from the pool
    double shownFps = 0.0;         // over the last stats period
    double producedFps = 0.0;
};

class QuorCtrlView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultWidth = 500;
    static constexpr int kDefaultHeight = 330;
    static constexpr int kMessageLines = 3; // the newest messages shown at once
    static constexpr int kMaxPhotos = 16; // photos kept for the onion skin

    // Everything pointed to belongs to the component and outlives the view.
    QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                 const ComponentState* state);
    // What the shooting side is doing, for the overlay.
    void SetStatus(const CaptureStatus* status) { status_ = status; }

    QColor BackColor() const { return back_; }
    // The placeholder's line, or empty when the view shows the camera itself.
    QString PlaceholderText() const;
    // The lines of the debug overlay (also drawn when ShowDebugInfo is on).
    QStringList DebugLines() const;

    // Transfer progress in percent while a download runs; -1 when none does.
    void SetTransferProgress(int percent);
    int TransferProgress() const { return progress_; }
    // A line shown over the picture (a failed write, a refused shot, photos saved elsewhere) until the user does
    // something: the next click or key press anywhere in the program.
    void ShowMessage(const QString& text);
    // The lines shown now, newest last, one a line.
    QString Message() const { return messages_.join(QLatin1Char('\n')); }
    void ClearMessages();
    // A photo has arrived: kept for the onion skin, and shown instead of live view when `show`.
    void AddPhoto(const QImage& preview, bool show);
    void ClearShownPhoto();
    bool ShowingPhoto() const { return !shownPhoto_.isNull(); }

    // Live view: the producer whose frames the view shows (owned by the component, outlives the view).
    void AttachLiveView(LiveView* live);
    void LiveViewStarted();
    void LiveViewStopped();
    // The frame the view shows now (nullptr when none); valid until the next frame is taken (window thread).
    const Frame* CurrentFrame() const;
    // A copy of it as an image (null when there is none).
    QImage CurrentFrameImage() const;
    const ViewStats& Stats() const { return stats_; }
    // Where the live-view frame (unrotated frame pixels) lands in the view.
    QTransform FrameToView() const;

    // The crop frame: `image` (read off the window's thread), drawn over the crop area. A null image shows no
    // frame and leaves `error` in the debug overlay.
    void SetCropFrameImage(const QImage& image, const QString& error);
    void ClearCropFrameImage();
    QString CropFrameError() const { return cropFrameError_; }
    bool HasCropFrameImage() const { return !cropFrame_.isNull(); }
    // The crop rectangle as drawn, in frame pixels (empty while crop is off or there is no frame).
    QRect CropRect() const;

signals:
    // The user clicked the picture with manual AF-point selection: the point as a fraction of the frame.
    void afPointClicked(QPointF point);
    // The user dragged the crop rectangle or one of its corners: the new rectangle in frame pixels.
    void cropRectDragged(QRect rect);

public slots:
    // Something the overlay or the picture depends on has changed.
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TakeFrame();
    void UpdateStats();
    void PaintPicture(QPainter& painter, const QImage& picture);
    void PaintLiveOverlays(QPainter& painter, const QTransform& toView);
    void PaintOnionSkin(QPainter& painter, const QRectF& display);
    void PaintCrop(QPainter& painter, const QTransform& toView, QSize frame);
    QSize FrameSize() const;
    void PaintDebugOverlay(QPainter& painter);
    void CameraLines(QStringList& lines) const;
    void LiveViewLines(QStringList& lines) const;
    void OptionLines(QStringList& lines) const;
    void PaintStatus(QPainter& painter);
    QImage MessageBox(const QFont& font) const;

    QColor back_;
    const CameraEngine* engine_;
    const ComponentState* state_;
    const CaptureStatus* status_ = nullptr;

    int progress_ = -1;
    QStringList messages_;
    QImage messageCache_;
    QImage shownPhoto_;
    std::deque<QImage> photos_; // newest last

    LiveView* live_ = nullptr;
    QSocketNotifier* frameNotifier_ = nullptr;
    QTimer statsTimer_;
    QElapsedTimer statsClock_;
    std::uint64_t statsTaken_ = 0, statsPublished_ = 0;
    ViewStats stats_;

    // Onion skin: the last photos averaged into one image of the display size, rebuilt only when the photos,
    // the layer count, the rotation or the display size change.
    QImage onionCache_;
    QSize onionCacheSize_;
    int onionCacheRotation_ = -1;
    int onionCacheLayers_ = 0;
    std::uint64_t photosGeneration_ = 0, onionCacheGeneration_ = ~0ull;

    // Crop frame: the file's picture, and a copy turned and scaled to the crop area as last drawn.
    QImage cropFrame_;
    QString cropFrameError_;
    QImage cropFrameCache_;
    QSize cropFrameCacheSize_;
    int cropFrameCacheRotation_ = -1;

    // Crop dragging, in frame pixels.
    enum class Drag { None, Move, Corner };
    Drag drag_ = Drag::None;
    QPointF dragAnchor_; // Move: press point minus the rectangle's top-left; Corner: the fixed corner
    QRect dragStart_;

    // The debug overlay is drawn into this image only when its text changes.
    QImage overlayCache_;
    bool overlayDirty_ = true;
};

} // namespace quor::component
