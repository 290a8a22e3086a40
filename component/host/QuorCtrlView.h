// The component's view inside the host window: a quiet placeholder while no camera is open, the camera's
// picture (live view, or the last photo after a shot), what the transfer is doing, and, on request, a small
// debug overlay of what the component knows.
#pragma once

#include "component/host/ComponentState.h"
#include "component/host/ScenePainter.h"
#include "control/Dispatch.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QSocketNotifier>
#include <QTransform>
#include <QPointer>
#include <QWidget>

#include <cstdint>

#include <deque>

namespace quor::component {

class CameraEngine;
class LiveView;
class PopOutView;
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
    static constexpr int kMaxPhotos = kOnionPhotos; // photos kept for the onion skin
    static constexpr int kBriefPhotoMs = 700; // a series frame shows this long over live view

    // Everything pointed to belongs to the component and outlives the view.
    QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                 const ComponentState* state);
    // What the shooting side is doing, for the overlay.
    ~QuorCtrlView() override;
    void SetStatus(const CaptureStatus* status) { status_ = status; }

    QColor BackColor() const { return back_; }
    // The placeholder's line, or empty when the view shows the camera itself.
    QString PlaceholderText() const;
    // The lines of the debug overlay (also drawn when ShowDebugInfo is on).
    QStringList DebugLines() const;

    // Transfer progress in percent while a download runs; -1 when none does.
    void SetTransferProgress(int percent);
    int TransferProgress() const { return progress_; }
    // A line shown over the picture until the user does something (the next click or key press anywhere in the
    // program): a failure (a failed write, a refused shot, a lost camera) on red, a notice (photos saved in the
    // pictures folder, a value the camera does not offer) on slate.
    enum class MessageKind { Failure, Notice };
    void ShowMessage(const QString& text, MessageKind kind = MessageKind::Failure);
    // The lines shown now, newest last, one a line; and the kind of each.
    QString Message() const;
    // What the photos kept for the onion skin take in memory, in bytes.
    qsizetype KeptPhotoBytes() const {
        qsizetype bytes = 0;
        for (const QImage& photo : photos_)
            bytes += photo.sizeInBytes();
        return bytes;
    }
    QList<MessageKind> MessageKinds() const;
    void ClearMessages();
    // A photo has arrived: kept for the onion skin, and shown instead of live view when `show`.
    // A frame of a series over running live view shows only briefly (`brief`): the view never freezes.
    void AddPhoto(const QImage& preview, bool show, bool brief = false);
    void ClearShownPhoto();
    bool ShowingPhoto() const { return !shownPhoto_.isNull(); }
    const QImage& ShownPhoto() const { return shownPhoto_; }

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

    // The crop frame: `image` (read off the window's thread), drawn over the crop area; a null image shows none.
    // `error` (why the picture asked for could not be used, when the shipped frame stands in) stays in the debug
    // overlay.
    void SetCropFrameImage(const QImage& image, const QString& error);
    void ClearCropFrameImage();
    QString CropFrameError() const { return cropFrameError_; }
    bool HasCropFrameImage() const { return !cropFrame_.isNull(); }
    // The crop rectangle as drawn, in frame pixels (empty while crop is off or there is no frame).
    QRect CropRect() const;

    // The large view in a window of its own (double-click, or the context menu); null while closed.
    PopOutView* PopOut() const;
    void OpenPopOut();
    // The context menu of the view and its pop-out, built afresh each time from the state.
    void ShowMenu(QWidget* over, QPoint globalPos);
    // What the view's keys and menu do (also the pop-out's keys): each asks the component through a signal.
    void ToggleAid(char which); // 'h' histogram, 'z' zebra, 'p' peaking
    void CycleZoom();
    void SetZoom(int factor);
    void SetGrid(int kind);
    void CycleGrid();
    // Moves the magnified part by a fraction of the frame (nothing while not magnified).
    void PanZoom(double dx, double dy);
    // The picture's keys, in the view once clicked and in the pop-out: H histogram, P peaking, G grid, Z
    // magnifier, the arrows move the magnified part. False for any other key, which goes on to the host window.
    bool PictureKey(int key);
    // A click on the picture at `p`, in the pixels of the frame shown (either surface).
    void PictureClicked(QPointF p);
    // The scene as the pop-out draws it (its own caches, the same sources).
    const SceneSources& Sources() const { return sources_; }
    // The lines of the compact debug strip as drawn now (one page of them), for tests.
    QStringList DebugStripLines() const { return stripLines_; }

signals:
    // The user clicked the picture with manual AF-point selection: the point as a fraction of the frame.
    void afPointClicked(QPointF point);
    // The user dragged the crop rectangle or one of its corners: the new rectangle in frame pixels.
    void cropRectDragged(QRect rect);
    // The user changed the aids or the grid, from the menu or a key.
    void aidsRequested(AidSettings aids, int grid);
    // The user asked for the magnifier at `factor` around `centre` (a fraction of the whole frame).
    void zoomRequested(int factor, QPointF centre);
    // The user asked for the component's settings dialog from the menu.
    void settingsRequested();

public slots:
    // Something the overlay or the picture depends on has changed.
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TakeFrame();
    // Repaints for a new live-view frame, at most twice per refresh of the screen.
    void FramePaint();
    void UpdateStats();
    QSize FrameSize() const;
    void popOutDropCache();
    void popOutUpdate();
    bool StartCropDrag(QPointF p, QPointF viewPos);
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
    struct ShownMessage {
        QString text;
        MessageKind kind;
    };
    QList<ShownMessage> messages_;
    QImage messageCache_;
    QImage shownPhoto_;
    std::deque<QImage> photos_; // newest last

    LiveView* live_ = nullptr;
    QSocketNotifier* frameNotifier_ = nullptr;
    QTimer statsTimer_;
    QTimer paintTimer_;           // a frame's paint held back until the screen can show it
    std::int64_t lastPaintNs_ = 0; // when the last paint began
    QElapsedTimer statsClock_;
    std::uint64_t statsTaken_ = 0, statsPublished_ = 0;
    ViewStats stats_;

    std::uint64_t photosGeneration_ = 0;
    // The crop frame: the file's picture.
    QImage cropFrame_;
    QString cropFrameError_;
    SceneSources sources_;
    ScenePainter painter_;
    QPointer<PopOutView> popOut_;
    QTimer briefTimer_; // ends a briefly shown photo

    // Crop dragging, in frame pixels.
    enum class Drag { None, Move, Corner };
    Drag drag_ = Drag::None;
    QPointF dragAnchor_; // Move: press point minus the rectangle's top-left; Corner: the fixed corner
    QRect dragStart_;

    // The debug strip is drawn into this image only when its text changes; long text goes in pages.
    QImage overlayCache_;
    bool overlayDirty_ = true;
    QStringList stripLines_;
    int stripPage_ = 0;
    QTimer stripTimer_;
};

} // namespace quor::component
