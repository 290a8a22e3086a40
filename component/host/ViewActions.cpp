// What the user does with the view beyond the host's controls: its context menu and keys (aids, grid,
// magnifier, the pop-out window) and clicks on the picture (the AF point, where the magnifier looks).
#include "component/host/QuorCtrlView.h"

#include "component/host/PopOutView.h"
#include "component/host/WindowFont.h"
#include "component/liveview/FramePool.h"
#include "component/session/LiveZoom.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace quor::component {

void QuorCtrlView::PictureClicked(QPointF p) {
    const Frame* f = CurrentFrame();
    if (!f)
        return;
    const QSize frame(int(f->width), int(f->height));
    if (p.x() < 0 || p.y() < 0 || p.x() >= frame.width() || p.y() >= frame.height())
        return;
    // Back to the whole frame's fractions: the picture may show a magnified part of it.
    const QPointF whole = WholeToZoomed(*state_, frame).inverted().map(p);
    const QPointF at(whole.x() / frame.width(), whole.y() / frame.height());
    if (state_->afPointSelection == 1)
        emit afPointClicked(at);
    // The magnifier looks where the user clicked last (at once while magnified).
    emit zoomRequested(state_->zoomFactor, at);
}

void QuorCtrlView::SetZoom(int factor) {
    if (!IsZoomFactor(factor))
        return;
    emit zoomRequested(factor, state_->afPointSelection == 1 ? state_->afPoint : state_->zoomCentre);
}

void QuorCtrlView::CycleZoom() {
    const int next = state_->zoomFactor == 1 ? 5 : state_->zoomFactor == 5 ? 10 : 1;
    SetZoom(next);
}

void QuorCtrlView::ToggleAid(char which) {
    AidSettings aids = state_->aids;
    if (which == 'h')
        aids.histogram = !aids.histogram;
    else if (which == 'z')
        aids.zebra = !aids.zebra;
    else if (which == 'p')
        aids.peaking = !aids.peaking;
    emit aidsRequested(aids, state_->grid);
}

void QuorCtrlView::SetGrid(int kind) {
    if (kind >= 0 && kind < kGridKinds)
        emit aidsRequested(state_->aids, kind);
}

void QuorCtrlView::CycleGrid() { SetGrid((state_->grid + 1) % kGridKinds); }

void QuorCtrlView::PanZoom(double dx, double dy) {
    if (state_->zoomFactor <= 1 || !CurrentFrame())
        return;
    const QPointF c = state_->zoomCentre;
    emit zoomRequested(state_->zoomFactor, QPointF(std::clamp(c.x() + dx, 0.0, 1.0), std::clamp(c.y() + dy, 0.0, 1.0)));
}

bool QuorCtrlView::PictureKey(int key) {
    // A twentieth of the frame a press: a 10x magnifier shows a tenth of it, so each press moves it by half.
    constexpr double kStep = 0.05;
    switch (key) {
    case Qt::Key_H:
        ToggleAid('h');
        return true;
    case Qt::Key_P:
        ToggleAid('p');
        return true;
    case Qt::Key_G:
        CycleGrid();
        return true;
    case Qt::Key_Z:
        CycleZoom();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Only while magnified; otherwise the arrows are the host window's (moving between its controls).
        if (state_->zoomFactor <= 1 || !CurrentFrame())
            return false;
        PanZoom(key == Qt::Key_Left ? -kStep : key == Qt::Key_Right ? kStep : 0.0,
                key == Qt::Key_Up ? -kStep : key == Qt::Key_Down ? kStep : 0.0);
        return true;
    default:
        return false;
    }
}

void QuorCtrlView::keyPressEvent(QKeyEvent* event) {
    // Plain keys only: with a modifier, or any other key (Enter, Escape, F11 ...), the host window has it.
    if (event->modifiers() & ~Qt::KeypadModifier || !PictureKey(event->key()))
        QWidget::keyPressEvent(event);
}

PopOutView* QuorCtrlView::PopOut() const { return popOut_.data(); }

void QuorCtrlView::OpenPopOut() {
    if (!popOut_) {
        popOut_ = new PopOutView(this);
        connect(popOut_, &QObject::destroyed, this, [this] { update(); });
    }
    popOut_->show();
    popOut_->raise();
    popOut_->activateWindow();
}

void QuorCtrlView::popOutUpdate() {
    if (popOut_ && popOut_->isVisible())
        popOut_->update();
}

void QuorCtrlView::popOutDropCache() {
    if (popOut_)
        popOut_->DropCropFrameCache();
}

void QuorCtrlView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OpenPopOut();
}

void QuorCtrlView::contextMenuEvent(QContextMenuEvent* event) { ShowMenu(this, event->globalPos()); }

void QuorCtrlView::ShowMenu(QWidget* over, QPoint globalPos) {
    QMenu menu(over);
    menu.setFont(WindowFont(this));
    const AidSettings& aids = state_->aids;
    auto check = [&menu](const QString& text, bool on, auto&& act) {
        QAction* a = menu.addAction(text);
        a->setCheckable(true);
        a->setChecked(on);
        QObject::connect(a, &QAction::triggered, act);
    };
    check(tr("直方图\tH"), aids.histogram, [this] { ToggleAid('h'); });
    check(tr("斑马纹"), aids.zebra, [this] { ToggleAid('z'); });
    check(tr("峰值对焦\tP"), aids.peaking, [this] { ToggleAid('p'); });
    QMenu* grid = menu.addMenu(tr("网格\tG"));
    grid->setFont(menu.font()); // a submenu is a window of its own as well
    for (int k = 0; k < kGridKinds; ++k) {
        QAction* a = grid->addAction(GridName(static_cast<GridKind>(k)));
        a->setCheckable(true);
        a->setChecked(state_->grid == k);
        connect(a, &QAction::triggered, this, [this, k] { SetGrid(k); });
    }
    QMenu* zoom = menu.addMenu(tr("放大\tZ"));
    zoom->setFont(menu.font());
    for (int factor : kZoomFactors) {
        QAction* a = zoom->addAction(QStringLiteral("%1x").arg(factor));
        a->setCheckable(true);
        a->setChecked(state_->zoomFactor == factor);
        a->setEnabled(CurrentFrame() != nullptr);
        connect(a, &QAction::triggered, this, [this, factor] { SetZoom(factor); });
    }
    menu.addSeparator();
    if (over == this)
        menu.addAction(tr("大窗口查看..."), this, &QuorCtrlView::OpenPopOut);
    menu.addAction(tr("设置..."), this, &QuorCtrlView::settingsRequested);
    menu.exec(globalPos);
}

} // namespace quor::component
