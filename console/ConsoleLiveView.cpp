// Live view and focus: start and stop video, the live-view report, focus steps, autofocus, focus frame,
// AF-point selection, display mode, the debug overlay with its F11 key, and the frame callback.
#include "console/CameraConsoleDlg.h"

#include "console/FrameMirror.h"

namespace {

// Controls that work only while live view runs, in the order they are switched.
constexpr int kLiveViewControls[] = {1033, 1034, 1035, 1037, 1042, 1063, 1071, 1052, 1046, 1043, 1056,
                                     1062, 1064, 1047, 1048, 1049, 1050, 1059, 1060, 1061, 1058};

} // namespace

void CCameraConsoleDlg::OnUpdateEvfOutput(std::int16_t liveState) {
    state_.liveViewOn = liveState;
    for (int id : kLiveViewControls)
        EnableItem(id, state_.liveViewOn != 0);
    SetFocusButtons(state_.liveViewOn != 0 && state_.afPossible != 0);
    UpdateOnionSkinControls();
}

void CCameraConsoleDlg::OnStartVideoClicked() {
    if (!state_.cameraOpen)
        return;
    // The console learns that live view runs only from "updateEvfOutput".
    RegisterFrameCallback();
    ctrl_.StartLiveView();
}

void CCameraConsoleDlg::OnStopVideoClicked() {
    if (state_.cameraOpen)
        ctrl_.StopLiveView();
}

void CCameraConsoleDlg::DriveFocus(std::int32_t stepCode) {
    if (state_.cameraOpen)
        ctrl_.DriveLens(stepCode);
}

void CCameraConsoleDlg::OnAutoFocusClicked() { ctrl_.DoAutoFocus(); }

void CCameraConsoleDlg::OnFocusFrameClicked() { ctrl_.ShowFocusFrame(IsChecked(1052)); }

void CCameraConsoleDlg::OnAfPointClicked() {
    if (IsChecked(1054))
        ctrl_.SetAfPointSelection(0);
    else if (IsChecked(1055))
        ctrl_.SetAfPointSelection(1);
}

void CCameraConsoleDlg::OnVideoCallbackClicked() { RegisterFrameCallback(); }

void CCameraConsoleDlg::OnDebugInfoClicked() { ctrl_.SetShowDebugInfo(IsChecked(1062)); }

void CCameraConsoleDlg::ToggleDebugInfoKey() {
    // The component's own state, not box 1062: the two may disagree until the box is next clicked.
    const bool shown = ctrl_.GetShowDebugInfo();
    ctrl_.SetShowDebugInfo(!shown);
}

void CCameraConsoleDlg::RegisterFrameCallback() {
    // Sent also with the box unchecked, so that an earlier registration is cleared.
    const quor::FrameCallback callback = IsChecked(1056) ? &CCameraConsoleDlg::MirrorFrameCallback : nullptr;
    ctrl_.SetFrameCallback(reinterpret_cast<std::intptr_t>(callback), reinterpret_cast<std::intptr_t>(this));
}

void CCameraConsoleDlg::MirrorFrameCallback(unsigned char* buffer, std::uint32_t width, std::uint32_t height,
                                            std::intptr_t /*context*/) {
    quor::MirrorFrame(buffer, width, height);
}
