// The crop options: the rectangle the host sets or the user drags, kept inside the live-view frame and to the
// locked ratio (and the host told when that changed it), and the crop-frame image, read off the window's thread.
#pragma once

#include "component/host/ComponentState.h"

#include <QPointer>
#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quor::component {

class QuorCtrlView;
namespace storage {
class IoQueue;
} // namespace storage

// The crop-frame picture that ships with the program, beside it and inside the component.
inline constexpr const char* kDefaultCropFrame = "quorctrl-cropframe.png";
// The file to read for the host's crop-frame path `given`: the shipped frame where nothing is there at all.
QString CropFrameFile(const QString& given);

class CropControl {
public:
    // The largest crop-frame image file read, and the longest side of a picture drawn as one.
    static constexpr qint64 kImageLimit = 32 << 20;
    static constexpr int kSideLimit = 8192;

    struct Links {
        ComponentState* state = nullptr;
        QPointer<QuorCtrlView> view;
        storage::IoQueue* io = nullptr;
        std::function<QSize()> frameSize;                                     // the live-view frame's size
        std::function<void(const std::array<std::int32_t, 4>&)> raise;       // "CropRectChanged" to the host
        std::function<void(std::function<void()>)> post;                      // runs on the window's thread later
        std::function<void(const QString&)> tell;                             // a failure for the user
    };

    explicit CropControl(Links links) : links_(std::move(links)) {}

    void Enable(bool on, bool flag2, bool flag3);
    void SetRect(const std::array<std::int32_t, 4>& rect);
    void SetRatio(bool locked, const std::array<std::int32_t, 2>& ratio);
    // Switches the crop frame; the image at `path` is read when it is switched on. One that cannot be used is
    // replaced by the shipped frame, and the user is told why.
    void ShowFrame(bool shown, const std::string& path);
    // The user dragged the rectangle or a corner: the new rectangle in frame pixels.
    void Dragged(QRect rect);
    // The frame size may have changed (live view started).
    void Normalize();

private:
    void Raise();
    void Repaint();

    Links links_;
    std::uint64_t imageRequest_ = 0; // the crop-frame image read last asked for
};

} // namespace quor::component
