// A real camera's live view on the worker: frames fetched one after the other, handed to a decoder thread of
// their own that decodes the newest into the live-view pipeline while the worker fetches the next.
// The body's magnifier is told here too, once its live view runs.
#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/liveview/LiveView.h"
#include "component/session/Threads.h"

#include <gphoto2/gphoto2.h>

#include <pthread.h>

namespace quor::component {

// ---- Live view ----

void GPhotoCamera::FetchFrame() {
    const int r = gp_camera_capture_preview(camera_, preview_, context_);
    if (r != GP_OK) {
        if (Lost(r)) {
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "发送实时取景画面"));
            return;
        }
        if (r == GP_ERROR_NOT_SUPPORTED) {
            // A body without live view says so every time: asking again would only spin.
            live_ = false;
            StopDecoder();
            IGPhotoEvents* e = links_.events;
            Post([e] { e->OnLiveViewRefused(); });
            return;
        }
        // Not ready yet, or busy: the next round tries again after a pause that grows while it lasts. Commands
        // cut the pause short.
        liveBackoff_ = std::min(liveBackoff_ == std::chrono::milliseconds(0) ? timing_.busyFirst : liveBackoff_ * 2,
                                timing_.busyLongest);
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, liveBackoff_, [this] { return stop_ || !queue_.empty(); });
        return;
    }
    liveBackoff_ = std::chrono::milliseconds(0);
    if (!zoom_.bodyLive) {
        // The body is in live view now: it takes the magnifier.
        zoom_.bodyLive = true;
        ApplyZoom();
    }
    const char* data = nullptr;
    unsigned long size = 0;
    if (gp_file_get_data_and_size(preview_, &data, &size) != GP_OK || size == 0)
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    {
        std::lock_guard lock(decodeMutex_);
        // The newest frame replaces one the decoder has not got to: live view shows now, not a backlog.
        incoming_.assign(bytes, bytes + size);
        incomingFull_ = true;
    }
    decodeWake_.notify_one();
}

void GPhotoCamera::DecodeLoop() {
    pthread_setname_np(pthread_self(), kDecodeThreadName);
    struct Job {
        JpegDecoder* decoder;
        const std::vector<std::uint8_t>* jpeg;
    };
    for (;;) {
        {
            std::unique_lock lock(decodeMutex_);
            decodeWake_.wait(lock, [this] { return decodeStop_ || incomingFull_; });
            if (decodeStop_)
                return;
            decoding_.swap(incoming_); // capacities travel with the buffers: nothing is allocated per frame
            incomingFull_ = false;
        }
        // Frames of whatever size the body sends (it changes when it zooms in): each carries its own.
        int width = 0, height = 0;
        if (!decoder_.Size(decoding_.data(), decoding_.size(), &width, &height))
            continue;
        Job job{&decoder_, &decoding_};
        links_.live->Feed(
            width, height,
            [](Frame& frame, void* context) {
                const Job& j = *static_cast<const Job*>(context);
                return j.decoder->Decode(j.jpeg->data(), j.jpeg->size(), static_cast<int>(frame.width),
                                         static_cast<int>(frame.height), frame.bytes.data(), frame.stride);
            },
            &job);
    }
}

// ---- Magnifier ----

void GPhotoCamera::ApplyZoom() {
    if (!live_ || !zoom_.bodyLive || lost_)
        return;
    // The frame first, so that the magnification opens where it was asked for.
    if (!zoom_.position.empty() && zoom_.position != zoom_.sentPosition) {
        const int r = WriteWidget(gphoto::kZoomPosition, zoom_.position);
        if (r != GP_OK) {
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "移动放大框"));
            return;
        }
        zoom_.sentPosition = zoom_.position;
    }
    if (zoom_.factor != zoom_.sentFactor) {
        const int r = WriteWidget(gphoto::kZoom, std::to_string(zoom_.factor));
        if (r != GP_OK) {
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "放大实时取景"));
            return;
        }
        zoom_.sentFactor = zoom_.factor;
    }
}

void GPhotoCamera::EndZoom() {
    if (zoom_.bodyLive && zoom_.sentFactor != 1 && !lost_ && WriteWidget(gphoto::kZoom, "1") == GP_OK)
        zoom_.sentFactor = 1;
    zoom_.bodyLive = false;
}

void GPhotoCamera::StopDecoder() { StopThread(decodeThread_, decodeMutex_, decodeStop_, decodeWake_); }

} // namespace quor::component
