// Dispatch identifiers of the camera component's interface.
#pragma once

namespace quor::dispid {

// Properties
inline constexpr int ShowDebugInfo = 2;
inline constexpr int BorderStyle = -504;

// Methods
inline constexpr int OpenCamera = 3;
inline constexpr int CloseCamera = 4;
inline constexpr int StartLiveView = 5;
inline constexpr int StopLiveView = 6;
inline constexpr int TakePicture = 7;
inline constexpr int SetPropertyValue = 8;
inline constexpr int GetPropertyValue = 9;
inline constexpr int GetPropertyText = 10;
inline constexpr int GetCameraCount = 11;
inline constexpr int GetCameraName = 12;
inline constexpr int DriveLens = 14;
inline constexpr int StartContinuousShooting = 15;
inline constexpr int StopContinuousShooting = 16;
inline constexpr int StartBulb = 17;
inline constexpr int StopBulb = 18;
inline constexpr int PressShutterHalfway = 19;
inline constexpr int SetMovieOptions = 22;
inline constexpr int EnableCrop = 23;
inline constexpr int SetCropRect = 24;
inline constexpr int ShowCropFrame = 25;
inline constexpr int SetCropRatio = 26;
inline constexpr int ResumeLiveView = 27;
inline constexpr int SetRotation = 28;
inline constexpr int SetShowAfterShot = 29;
inline constexpr int DoAutoFocus = 30;
inline constexpr int ShowFocusFrame = 31;
inline constexpr int SetAfPointSelection = 33;
inline constexpr int SetFrameCallback = 36;
inline constexpr int ShowSettingsDialog = 37;
inline constexpr int GrabFrame = 39;
inline constexpr int SetDisplayMode = 40;
inline constexpr int SetCropShape = 42;
inline constexpr int SetOnionSkinAlpha = 44;
inline constexpr int SetOnionSkinLayers = 45;
inline constexpr int EnableOnionSkin = 46;
inline constexpr int SetControlMode = 47;

// Ours, after the interface's own
inline constexpr int ShowNotice = 100;

} // namespace quor::dispid
