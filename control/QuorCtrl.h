// CQuorCtrl: the typed wrapper around the camera component's dispatch interface. Each operation packs its
// arguments, makes exactly one dispatch call and unpacks the result; it keeps no state of its own.
// Arguments typed short take the low 16 bits of the 32-bit value given.
#pragma once

#include "control/Dispatch.h"

#include <cstdint>
#include <string>

namespace quor {

class CQuorCtrl {
public:
    CQuorCtrl() = default;
    explicit CQuorCtrl(IHostedComponent* component) : component_(component) {}

    void Attach(IHostedComponent* component) { component_ = component; }
    IHostedComponent* Component() const { return component_; }

    // Properties
    bool GetShowDebugInfo();
    void SetShowDebugInfo(bool show);
    void SetBorderStyle(std::int32_t style);

    // Methods
    bool OpenCamera(std::int32_t index);
    bool CloseCamera();
    bool StartLiveView();
    bool StopLiveView();
    bool TakePicture(const std::string& path);
    bool SetPropertyValue(std::int32_t code, std::int32_t value);
    std::int32_t GetPropertyValue(std::int32_t code);
    std::string GetPropertyText(std::int32_t code);
    std::int16_t GetCameraCount();
    std::string GetCameraName(std::int32_t index);
    bool DriveLens(std::int32_t step);
    bool StartContinuousShooting(const std::string& folder);
    bool StopContinuousShooting();
    bool StartBulb(const std::string& fileName);
    bool StopBulb();
    void PressShutterHalfway(std::int32_t on);
    void SetMovieOptions(bool video, bool audio);
    void EnableCrop(bool enable, bool second, bool third);
    void SetCropRect(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
    void ShowCropFrame(bool show, const std::string& imagePath);
    void SetCropRatio(bool lock, std::int32_t a, std::int32_t b);
    void ResumeLiveView();
    void SetRotation(std::int32_t degrees);
    void SetShowAfterShot(bool show);
    bool DoAutoFocus();
    void ShowFocusFrame(bool show);
    void SetAfPointSelection(std::int32_t mode);
    void SetFrameCallback(std::intptr_t callback, std::intptr_t context);
    void ShowSettingsDialog();
    bool GrabFrame(const std::string& path);
    void SetDisplayMode(std::int32_t mode);
    void SetCropShape(std::int32_t shape);
    void SetOnionSkinAlpha(std::int32_t alpha);
    void SetOnionSkinLayers(std::int32_t layers);
    void EnableOnionSkin(bool enable);
    bool SetControlMode(std::int32_t mode);
    // A line for the user in the component's view, in its notice style, until they do something.
    void ShowNotice(const std::string& text);

private:
    Variant Call(int dispid, DispatchKind kind, std::initializer_list<Variant> args);

    IHostedComponent* component_ = nullptr;
};

} // namespace quor
