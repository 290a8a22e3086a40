// Live view: the component's report that live view started or stopped.
#include "console/CameraConsoleDlg.h"

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
