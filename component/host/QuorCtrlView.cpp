#include "component/host/QuorCtrlView.h"

#include "component/host/CameraEngine.h"
#include "component/host/PopOutView.h"
#include "component/liveview/LiveView.h"
#include "component/host/ViewGeometry.h"
#include "control/PropertyCodes.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <unistd.h>

namespace quor::component {

QString DisplayModeName(DisplayMode mode) {
    static constexpr const char* kNames[] = {QT_TRANSLATE_NOOP("quor::component::DisplayMode", "适应"),
                                             QT_TRANSLATE_NOOP("quor::component::DisplayMode", "压缩"),
                                             QT_TRANSLATE_NOOP("quor::component::DisplayMode", "拉伸")};
    const int i = static_cast<int>(mode);
    return i >= 0 && i < 3 ? QCoreApplication::translate("quor::component::DisplayMode", kNames[i])
                           : QStringLiteral("?");
}

QuorCtrlView::QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                           const ComponentState* state)
    : QWidget(parent), back_(props.backRed, props.backGreen, props.backBlue), engine_(engine), state_(state),
      sources_{state, engine, &photos_, &photosGeneration_, &cropFrame_}, painter_(sources_) {
    setObjectName(QStringLiteral("QuorCtrlView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kDefaultWidth, kDefaultHeight);
    // A click on the picture gives it the keyboard for its own keys (H, P, G, Z); Tab passes it by.
    setFocusPolicy(Qt::ClickFocus);
    // Messages stay until the user does something; the program-wide filter sees every click and key.
    qApp->installEventFilter(this);
    statsTimer_.setInterval(500);
    connect(&statsTimer_, &QTimer::timeout, this, &QuorCtrlView::UpdateStats);
    briefTimer_.setSingleShot(true);
    connect(&briefTimer_, &QTimer::timeout, this, [this] {
        if (CurrentFrame())
            ClearShownPhoto();
    });
    paintTimer_.setSingleShot(true);
    paintTimer_.setTimerType(Qt::PreciseTimer);
    connect(&paintTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    // A debug text longer than its strip turns its pages.
    stripTimer_.setInterval(2500);
    connect(&stripTimer_, &QTimer::timeout, this, [this] {
        ++stripPage_;
        Refresh();
    });
}

QuorCtrlView::~QuorCtrlView() { delete popOut_.data(); }

namespace {
std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void QuorCtrlView::AttachLiveView(LiveView* live) {
    delete frameNotifier_;
    frameNotifier_ = nullptr;
    live_ = live;
    if (live_) {
        frameNotifier_ = new QSocketNotifier(live_->NotifyFd(), QSocketNotifier::Read, this);
        connect(frameNotifier_, &QSocketNotifier::activated, this, &QuorCtrlView::TakeFrame);
    }
}

void QuorCtrlView::LiveViewStarted() {
    shownPhoto_ = QImage();
    stats_ = ViewStats{};
    statsTaken_ = statsPublished_ = 0;
    statsClock_.start();
    statsTimer_.start();
    Refresh();
}

void QuorCtrlView::LiveViewStopped() {
    statsTimer_.stop();
    Refresh();
}

void QuorCtrlView::TakeFrame() {
    const std::int64_t t0 = NowNs();
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(live_->NotifyFd(), &count, sizeof count);
    if (live_->Running() && live_->Pool().TakeNewest()) {
        ++stats_.framesTaken;
        if (shownPhoto_.isNull())
            FramePaint();
        popOutUpdate();
    }
    stats_.frameSlotNs += NowNs() - t0;
}

void QuorCtrlView::FramePaint() {
    // Never many more paints than the screen shows: a body that sends faster than that would otherwise spend the
    // processor its frames need for decoding on pictures nobody sees. Paints may come a quarter faster than the
    // screen refreshes, so that every frame of a body that sends at the screen's own rate is still painted (one
    // that comes early is painted a few milliseconds later).
    const QScreen* s = screen();
    const double refresh = s && s->refreshRate() >= 30 ? s->refreshRate() : 60.0;
    const auto gapNs = std::int64_t(1e9 / (1.25 * refresh));
    const std::int64_t since = NowNs() - lastPaintNs_;
    if (since >= gapNs) {
        update();
    } else if (!paintTimer_.isActive()) {
        paintTimer_.start(int((gapNs - since + 999999) / 1000000));
    }
}

void QuorCtrlView::UpdateStats() {
    if (!live_)
        return;
    const double seconds = std::max(1e-3, statsClock_.restart() / 1000.0);
    const std::uint64_t published = live_->Pool().Published();
    stats_.shownFps = double(stats_.framesTaken - statsTaken_) / seconds;
    stats_.producedFps = double(published - statsPublished_) / seconds;
    statsTaken_ = stats_.framesTaken;
    statsPublished_ = published;
    Refresh();
}

const Frame* QuorCtrlView::CurrentFrame() const {
    return live_ && live_->Running() ? live_->Pool().Current() : nullptr;
}

QImage QuorCtrlView::CurrentFrameImage() const {
    const Frame* f = CurrentFrame();
    if (!f)
        return {};
    return QImage(f->bytes.data(), int(f->width), int(f->height), qsizetype(f->stride), QImage::Format_RGB888).copy();
}

QTransform QuorCtrlView::FrameToView() const {
    const Frame* f = CurrentFrame();
    return f ? painter_.FrameToView(*f, size()) : QTransform();
}

void QuorCtrlView::resizeEvent(QResizeEvent*) { overlayDirty_ = true; }

QSize QuorCtrlView::FrameSize() const {
    const Frame* f = CurrentFrame();
    return f ? QSize(int(f->width), int(f->height)) : QSize();
}

QRect QuorCtrlView::CropRect() const { return CropRectFor(*state_, FrameSize()); }

void QuorCtrlView::SetCropFrameImage(const QImage& image, const QString& error) {
    painter_.DropCropFrameCache();
    popOutDropCache();
    cropFrame_ = image;
    cropFrameError_ = error; // also when the shipped frame stands in
    Refresh();
}

void QuorCtrlView::ClearCropFrameImage() {
    cropFrame_ = QImage();
    painter_.DropCropFrameCache();
    popOutDropCache();
    cropFrameError_.clear();
    Refresh();
}

void QuorCtrlView::mousePressEvent(QMouseEvent* event) {
    const Frame* f = CurrentFrame();
    if (!f || event->button() != Qt::LeftButton || !shownPhoto_.isNull())
        return;
    bool invertible = false;
    const QPointF p = FrameToView().inverted(&invertible).map(event->position());
    if (!invertible || StartCropDrag(p, event->position()))
        return;
    PictureClicked(p);
}

bool QuorCtrlView::StartCropDrag(QPointF p, QPointF viewPos) {
    // The crop rectangle takes the press first (not while magnified): a corner resizes it, the inside moves it.
    const QRect crop = CropRect();
    if (crop.isEmpty() || state_->zoomFactor > 1)
        return false;
    const QTransform toView = FrameToView();
    const QRectF r(crop);
    constexpr double kGrip = 8.0; // pixels on screen
    const QPointF corners[4] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    for (int i = 0; i < 4; ++i) {
        if (QLineF(toView.map(corners[i]), viewPos).length() <= kGrip) {
            drag_ = Drag::Corner;
            dragAnchor_ = corners[(i + 2) % 4];
            dragStart_ = crop;
            return true;
        }
    }
    if (!r.contains(p))
        return false;
    drag_ = Drag::Move;
    dragAnchor_ = p - r.topLeft();
    dragStart_ = crop;
    return true;
}

void QuorCtrlView::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == Drag::None || !CurrentFrame())
        return;
    bool invertible = false;
    const QPointF p = FrameToView().inverted(&invertible).map(event->position());
    if (!invertible)
        return;
    std::array<std::int32_t, 4> wanted{};
    if (drag_ == Drag::Move) {
        const QPointF topLeft = p - dragAnchor_;
        wanted = {std::int32_t(std::lround(topLeft.x())), std::int32_t(std::lround(topLeft.y())), dragStart_.width(),
                  dragStart_.height()};
    } else {
        double w = std::abs(p.x() - dragAnchor_.x()), h = std::abs(p.y() - dragAnchor_.y());
        const bool locked = state_->cropRatioLocked && state_->cropRatio[0] > 0 && state_->cropRatio[1] > 0;
        if (locked)
            h = w * state_->cropRatio[1] / state_->cropRatio[0];
        w = std::max<double>(w, kMinCrop);
        h = std::max<double>(h, kMinCrop);
        // The rectangle grows from the fixed corner towards the pointer.
        const double left = p.x() < dragAnchor_.x() ? dragAnchor_.x() - w : dragAnchor_.x();
        const double top = p.y() < dragAnchor_.y() ? dragAnchor_.y() - h : dragAnchor_.y();
        wanted = {std::int32_t(std::lround(left)), std::int32_t(std::lround(top)), std::int32_t(std::lround(w)),
                  std::int32_t(std::lround(h))};
    }
    const QRect next = EffectiveCrop(wanted, FrameSize(), state_->cropRatioLocked, state_->cropRatio);
    if (next != CropRect())
        emit cropRectDragged(next);
}

void QuorCtrlView::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::None; }

void QuorCtrlView::Refresh() {
    overlayDirty_ = true;
    update();
}

void QuorCtrlView::SetTransferProgress(int percent) {
    if (percent == progress_)
        return;
    progress_ = percent;
    update();
}

void QuorCtrlView::ShowMessage(const QString& text, MessageKind kind) {
    messages_.removeIf([&text](const ShownMessage& m) { return m.text == text; });
    messages_.append({text, kind});
    while (messages_.size() > kMessageLines)
        messages_.removeFirst();
    messageCache_ = QImage();
    update();
}

QString QuorCtrlView::Message() const {
    QStringList lines;
    for (const ShownMessage& m : messages_)
        lines << m.text;
    return lines.join(QLatin1Char('\n'));
}

QList<QuorCtrlView::MessageKind> QuorCtrlView::MessageKinds() const {
    QList<MessageKind> kinds;
    for (const ShownMessage& m : messages_)
        kinds << m.kind;
    return kinds;
}

void QuorCtrlView::ClearMessages() {
    if (messages_.isEmpty())
        return;
    messages_.clear();
    messageCache_ = QImage();
    update();
}

bool QuorCtrlView::eventFilter(QObject* watched, QEvent* event) {
    if (!messages_.isEmpty() && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress))
        ClearMessages();
    // The view's own windows go when the window hosting it closes.
    if (event->type() == QEvent::Hide && popOut_ && watched == window() && watched != this)
        popOut_->close();
    return QWidget::eventFilter(watched, event);
}

void QuorCtrlView::AddPhoto(const QImage& preview, bool show, bool brief) {
    if (preview.isNull())
        return;
    photos_.push_back(preview);
    while (photos_.size() > kMaxPhotos)
        photos_.pop_front();
    ++photosGeneration_;
    if (show)
        shownPhoto_ = preview;
    if (show && brief)
        briefTimer_.start(kBriefPhotoMs);
    else if (show)
        briefTimer_.stop();
    Refresh();
    popOutUpdate();
}

void QuorCtrlView::ClearShownPhoto() {
    if (shownPhoto_.isNull())
        return;
    shownPhoto_ = QImage();
    update();
    popOutUpdate();
}

QString QuorCtrlView::PlaceholderText() const {
    if (!shownPhoto_.isNull())
        return {};
    if (!engine_->IsOpen())
        return tr("未打开相机");
    if (CurrentFrame())
        return {};
    return tr("%1 — 实时取景未开启").arg(QString::fromStdString(engine_->OpenDisplayName()));
}

void QuorCtrlView::paintEvent(QPaintEvent*) {
    const std::int64_t t0 = NowNs();
    lastPaintNs_ = t0;
    QPainter painter(this);
    painter.fillRect(rect(), back_);

    const Frame* frame = CurrentFrame();
    if (shownPhoto_.isNull() && !frame) {
        const QString placeholder = PlaceholderText();
        if (!placeholder.isEmpty()) {
            painter.setPen(QColor(128, 128, 128));
            painter.drawText(rect(), Qt::AlignCenter, placeholder);
        }
    } else {
        painter_.Paint(painter, size(), frame, shownPhoto_);
    }

    PaintStatus(painter);
    if (state_->showDebugInfo)
        PaintDebugOverlay(painter);

    if (state_->borderStyle == 1 || hasFocus()) {
        // With the keyboard the border takes the highlight colour: the picture's keys are live.
        painter.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::black), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    ++stats_.paints;
    stats_.paintNs += NowNs() - t0;
}

void QuorCtrlView::PaintStatus(QPainter& painter) {
    // The host's own bar moves only in whole hundreds, so the view shows the download itself: a thin bar
    // along the bottom edge.
    if (progress_ >= 0) {
        const int h = 4;
        const QRect track(0, height() - h, width(), h);
        painter.fillRect(track, QColor(0, 0, 0, 120));
        painter.fillRect(QRect(track.topLeft(), QSize(track.width() * std::clamp(progress_, 0, 100) / 100, h)),
                         QColor(60, 170, 255));
    }
    if (messages_.isEmpty())
        return;
    // Drawn into an image only when the messages change: live view repaints many times a second.
    if (messageCache_.isNull() || messageCache_.width() != width())
        messageCache_ = MessageBox(painter.font());
    painter.drawImage(QPoint(0, height() - 10 - messageCache_.height()), messageCache_);
}

QImage QuorCtrlView::MessageBox(const QFont& font) const {
    // Newest at the bottom; a long line (a path) wraps, up to three lines a message.
    const QFontMetrics metrics(font);
    const int textWidth = std::max(1, width() - 12);
    constexpr int kFlags = Qt::AlignHCenter | Qt::TextWrapAnywhere;
    QList<int> heights;
    int total = 4;
    for (const ShownMessage& m : messages_) {
        heights << std::min(metrics.boundingRect(QRect(0, 0, textWidth, 10000), kFlags, m.text).height(),
                            3 * metrics.lineSpacing()) + 4;
        total += heights.last();
    }
    QImage box(std::max(1, width()), total, QImage::Format_ARGB32_Premultiplied);
    box.fill(Qt::transparent);
    QPainter p(&box);
    p.setFont(font);
    p.setPen(Qt::white);
    int y = 2;
    for (int i = 0; i < messages_.size(); ++i) {
        // Each message on its own band: red for what went wrong, slate for what the user should know.
        const int top = i == 0 ? 0 : y;
        const int bottom = i + 1 == messages_.size() ? total : y + heights[i];
        const bool failure = messages_[i].kind == MessageKind::Failure;
        p.fillRect(QRect(0, top, box.width(), bottom - top), failure ? QColor(150, 20, 20, 210) : QColor(40, 62, 90, 215));
        p.drawText(QRect(6, y + 2, textWidth, heights[i] - 4), kFlags, messages_[i].text);
        y += heights[i];
    }
    return box;
}

namespace {

// Breaks `line` into rows no wider than `width`: at spaces where it can, anywhere in a word too long (a path).
void WrapInto(const QString& line, const QFontMetrics& metrics, int width, QStringList& rows) {
    QString row;
    for (const QString& word : line.split(QLatin1Char(' '))) {
        const QString tried = row.isEmpty() ? word : row + QLatin1Char(' ') + word;
        if (metrics.horizontalAdvance(tried) <= width) {
            row = tried;
            continue;
        }
        if (!row.isEmpty())
            rows << row;
        row = word;
        while (row.size() > 1 && metrics.horizontalAdvance(row) > width) {
            int fit = row.size() - 1;
            while (fit > 1 && metrics.horizontalAdvance(row.left(fit)) > width)
                --fit;
            rows << row.left(fit);
            row = row.mid(fit);
        }
    }
    if (!row.isEmpty())
        rows << row;
}

} // namespace

void QuorCtrlView::PaintDebugOverlay(QPainter& painter) {
    // A translucent strip along the top, never more than a sixth of the view: what does not fit is shown in
    // pages that turn by themselves, so nothing is cut off.
    if (overlayDirty_ || overlayCache_.isNull() || overlayCache_.width() != width()) {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(10);
        const QFontMetrics metrics(font);
        const int pad = 3, spacing = metrics.lineSpacing();
        const int rowsFit = std::max(1, (height() / 6 - 2 * pad) / spacing);
        const QString pageMark = QStringLiteral(" 9/9");
        QStringList rows;
        for (const QString& line : DebugLines())
            WrapInto(line, metrics, std::max(40, width() - 2 * pad - metrics.horizontalAdvance(pageMark)), rows);
        const int pages = std::max(1, int((rows.size() + rowsFit - 1) / rowsFit));
        stripPage_ %= pages;
        stripLines_ = rows.mid(stripPage_ * rowsFit, rowsFit);
        if (pages > 1 && !stripTimer_.isActive())
            stripTimer_.start();
        else if (pages == 1)
            stripTimer_.stop();
        overlayCache_ = QImage(std::max(1, width()), int(stripLines_.size()) * spacing + 2 * pad,
                               QImage::Format_ARGB32_Premultiplied);
        overlayCache_.fill(QColor(0, 0, 0, 120));
        QPainter p(&overlayCache_);
        p.setFont(font);
        p.setPen(QColor(150, 255, 150));
        int y = pad + metrics.ascent();
        for (const QString& row : stripLines_) {
            p.drawText(pad, y, row);
            y += spacing;
        }
        if (pages > 1)
            p.drawText(QRect(0, pad, width() - pad, spacing), Qt::AlignRight,
                       QStringLiteral("%1/%2").arg(stripPage_ + 1).arg(pages));
        overlayDirty_ = false;
    }
    painter.drawImage(QPoint(0, 0), overlayCache_);
}

} // namespace quor::component
