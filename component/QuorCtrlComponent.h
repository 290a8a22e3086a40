// QuorCtrl, the camera component: answers the dispatch interface of control/DispatchIds.h, hosts its view in
// the host's window and raises its events to the advised sink on the window's thread.
#pragma once

#include "component/CameraEngine.h"
#include "component/ComponentState.h"
#include "component/QuorCtrlView.h"
#include "control/Dispatch.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <span>

namespace quor::component {

// Makes the registry create QuorCtrl for quor::kQuorCtrlClassId.
void RegisterQuorCtrl();


class QuorCtrlComponent final : public QObject, public IHostedComponent, private IEngineOutlet {
    Q_OBJECT
public:
    // Creates the view as a child of `parent`. The number of simulated cameras comes from the environment
    // (CameraEngine::CameraCountFromEnvironment) unless given.
    QuorCtrlComponent(QWidget* parent, const HostedProperties& props);
    QuorCtrlComponent(QWidget* parent, const HostedProperties& props, int simulatedCameras);
    ~QuorCtrlComponent() override;

    Variant Invoke(int dispid, DispatchKind kind, std::span<const Variant> args) override;
    QWidget* Widget() override;
    void Advise(IEventSink* sink) override;

    // The component's own side, for its settings dialog and for tests; hosts never see it.
    CameraEngine& Engine() { return *engine_; }
    const ComponentState& State() const { return state_; }
    QuorCtrlView* View() const { return view_; }

    // One row of the dispatch table.
    struct Entry;

private:
    // IEngineOutlet
    void RaisePropertyValueChanged(std::int32_t code, std::string_view text) override;
    void RaisePropertyOptionAdded(std::int32_t code, std::string_view text, std::int32_t value,
                                  bool enable) override;
    void RaiseNotify(const char* name, Variant argument) override;
    void Post(std::function<void()> task) override;

    void Raise(int eventId, std::span<Variant> args);
    void Repaint();

    // Handlers, one per dispatch id and kind; arguments are already checked against the table.
    using Args = std::span<const Variant>;
    Variant GetShowDebugInfo(Args);
    Variant PutShowDebugInfo(Args);
    Variant GetBorderStyle(Args);
    Variant PutBorderStyle(Args);
    Variant OpenCamera(Args);
    Variant CloseCamera(Args);
    Variant SetPropertyValue(Args);
    Variant GetPropertyValue(Args);
    Variant GetPropertyText(Args);
    Variant GetCameraCount(Args);
    Variant GetCameraName(Args);
    Variant SetMovieOptions(Args);
    Variant EnableCrop(Args);
    Variant SetCropRect(Args);
    Variant ShowCropFrame(Args);
    Variant SetCropRatio(Args);
    Variant SetRotation(Args);
    Variant SetShowAfterShot(Args);
    Variant ShowFocusFrame(Args);
    Variant SetAfPointSelection(Args);
    Variant SetFrameCallback(Args);
    Variant SetDisplayMode(Args);
    Variant SetCropShape(Args);
    Variant SetOnionSkinAlpha(Args);
    Variant SetOnionSkinLayers(Args);
    Variant EnableOnionSkin(Args);
    // Calls a camera without those abilities answers: false, or nothing.
    Variant AnswerFalse(Args);
    Variant AnswerNothing(Args);

    static std::span<const Entry> Table();

    ComponentState state_;
    std::unique_ptr<CameraEngine> engine_;
    QPointer<QuorCtrlView> view_;
    IEventSink* sink_ = nullptr;
};

} // namespace quor::component
