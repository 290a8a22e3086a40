// The large live view: a window of its own, resizable and able to go full screen, showing what the component's
// view shows (the same frames, photos and overlays) at its own size, while the small view goes on. Keys: F full
// screen, Esc closes it, and the view's own keys (H histogram, P peaking, G grid, Z magnifier, arrows move it).
// It is a window of the view's own (a child of it), so a modal host window lets it take input, keeps it above
// itself, and takes it along when it closes.
#pragma once

#include "component/host/ScenePainter.h"

#include <QWidget>

namespace quor::component {

class QuorCtrlView;

class PopOutView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStartWidth = 1024, kStartHeight = 680;

    // A window of `view`'s that deletes itself when closed, and goes with the view at the latest.
    explicit PopOutView(QuorCtrlView* view);
    void DropCropFrameCache() { painter_.DropCropFrameCache(); }
    // Times painted, for tests and the overlay.
    int Paints() const { return paints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QuorCtrlView* view_;
    ScenePainter painter_;
    int paints_ = 0;
};

} // namespace quor::component
