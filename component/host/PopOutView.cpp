#include "component/host/PopOutView.h"

#include "component/host/QuorCtrlView.h"
#include "component/host/WindowFont.h"
#include "component/liveview/FramePool.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quor::component {

PopOutView::PopOutView(QuorCtrlView* view)
    : QWidget(view, Qt::Window), view_(view), painter_(view->Sources()) {
    setObjectName(QStringLiteral("QuorCtrlPopOut"));
    setWindowTitle(tr("QuorCtrl 实时取景"));
    setFont(WindowFont(view));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(kStartWidth, kStartHeight);
}

void PopOutView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QImage photo = view_->ShowingPhoto() ? view_->ShownPhoto() : QImage();
    const Frame* frame = view_->CurrentFrame();
    if (photo.isNull() && !frame) {
        painter.setPen(QColor(128, 128, 128));
        painter.drawText(rect(), Qt::AlignCenter, view_->PlaceholderText());
    } else {
        painter_.Paint(painter, size(), frame, photo);
    }
    ++paints_;
}

void PopOutView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else if (event->key() == Qt::Key_F)
        setWindowState(windowState() ^ Qt::WindowFullScreen);
    else if (!view_->PictureKey(event->key()))
        QWidget::keyPressEvent(event);
}

void PopOutView::mousePressEvent(QMouseEvent* event) {
    const Frame* frame = view_->CurrentFrame();
    if (!frame || event->button() != Qt::LeftButton || view_->ShowingPhoto())
        return;
    bool invertible = false;
    const QPointF p = painter_.FrameToView(*frame, size()).inverted(&invertible).map(event->position());
    if (invertible)
        view_->PictureClicked(p);
}

void PopOutView::contextMenuEvent(QContextMenuEvent* event) { view_->ShowMenu(this, event->globalPos()); }

} // namespace quor::component
