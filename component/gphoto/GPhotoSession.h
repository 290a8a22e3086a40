// A session on a real camera driven through libgphoto2: the worker (GPhotoCamera) makes every call on the
// library, and the session keeps what the worker last read of the camera's settings, in the component's words,
// with stable values for the host. Commands are queued to the worker; results come back through the outlet.
#pragma once

#include "component/gphoto/GPhotoCamera.h"
#include "component/gphoto/GPhotoVocabulary.h"
#include "component/session/SessionOutlet.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quor::component {

class GPhotoSession final : public ICameraSession, private IGPhotoEvents {
public:
    // How long opening may take: the one wait on a camera the window makes.
    static constexpr std::chrono::seconds kOpenTimeout{10};

    // Starts the worker, which opens the camera at once.
    GPhotoSession(const RealCameraInfo& info, SessionOutlet outlet, const SessionServices& services,
                  const GPhotoCamera::Timing& timing);
    ~GPhotoSession() override; // waits for the worker to let the camera go

    // Window thread: waits up to kOpenTimeout for the camera to open, running `meanwhile` (when given) every few
    // milliseconds. False with `error` in plain words.
    bool WaitOpened(std::string* error, const std::function<void()>& meanwhile = {});
    // Where photos taken with the body's own button are stored.
    void SetOwnShotFolder(const QString& folder) { camera_->SetOwnShotFolder(folder); }

    void End() override { camera_->RequestStop(); }
    bool Finished() const override { return camera_->Finished(); }
    void LeaveBehind() override { camera_->LeaveBehind(); }

    std::int32_t PropertyValue(std::int32_t code) const override;
    std::string PropertyText(std::int32_t code) const override;
    bool SetPropertyValue(std::int32_t code, std::int32_t value) override;
    std::int32_t AvailableShots() const override { return shots_; }

    bool Shoot(JobId job, const storage::PhotoRequest& request) override;
    bool StartSeries(JobId job, const storage::PhotoRequest& request) override;
    void StopSeries() override { camera_->StopSeries(); }
    bool StartBulb() override;
    bool StopBulb(JobId job, const storage::PhotoRequest& request) override;
    void HalfPress(bool on) override;
    bool PressBodyShutter(JobId, const storage::PhotoRequest&) override { return false; }
    int Pending() const override { return 0; }

    bool StartLiveView() override;
    void StopLiveView() override;
    bool LiveViewRunning() const override { return live_; }
    bool DriveFocus(int code) override;
    bool AutoFocus() override;
    // On an EOS body the AF frame of live view and the magnifier frame are one. At 1x it sits on the AF point;
    // magnified, it sits on the magnified part's centre (where the body then focuses), and a new AF point waits
    // for 1x, so that the body always shows the part the host asked for.
    void SetAfPoint(QPointF point) override;
    FocusState Focus() const override;
    bool SetLiveZoom(int factor, QPointF centre) override;
    std::vector<std::string> LiveViewSizes() const override { return liveViewSizes_; }
    void SetLiveViewSize(const std::string& size) override;

    QStringList DebugLines() const override;

private:
    struct Option {
        std::string text;   // in the component's words
        std::string gpText; // as the library names it
        std::int32_t value;
        bool operator==(const Option&) const = default;
    };
    struct Property {
        std::vector<Option> options;
        bool enabled = false;
        std::string gpValue;
        std::string text;
        std::int32_t value = 0;
    };

    // IGPhotoEvents
    void OnWidgetChanged(const WidgetState& state) override;
    void OnLiveViewRefused() override;

    bool HasAction(const char* name) const;
    // True, and the user told `message` (a catalogue text, context "quor::gphoto", with the widget's name for
    // %1), when the body has no action widget `name`.
    bool Lacks(const char* name, const char* message);

    // The property cache (GPhotoProperties.cpp).
    void Apply(const WidgetState& state, bool report);
    bool ApplyInformation(std::int32_t code, const WidgetState& state, bool report);
    std::int32_t ValueFor(std::int32_t code, const std::string& gpText);
    void Offer(std::int32_t code);
    void Publish();
    bool ManualFocus() const;
    // Sends the magnifier as asked for (SetLiveZoom, SetAfPoint).
    void PlaceZoomFrame();

    SessionOutlet out_;
    SessionServices services_;
    std::unique_ptr<GPhotoCamera> camera_;
    bool live_ = false;
    std::map<std::int32_t, Property> props_;
    std::map<std::int32_t, std::string> bound_; // property code -> the widget it is bound to on this body
    std::vector<std::string> actions_;          // the action widgets the body has
    std::vector<std::string> liveViewSizes_; // offered by the body
    std::string liveViewSize_;               // asked for; empty: as the body has it
    bool noLiveView_ = false;                   // the body answered that it has none
    std::map<std::pair<std::int32_t, std::string>, std::int32_t> values_; // stable values per option text
    std::string model_, serial_, firmware_;
    std::string name_; // the list's name, while the body gives no model
    std::int32_t battery_ = 0, shots_ = 0, saveTo_ = 0;
    bool published_ = false;
    int zoomFactor_ = 1;
    QPointF zoomCentre_{0.5, 0.5}; // the magnified part's centre, a fraction of the picture
    QPointF afPoint_{0.5, 0.5};
    std::optional<gphoto::PictureSize> zoomSpace_; // its coordinates, from the body's focus information
};

} // namespace quor::component
