// The camera's configuration widgets, read and written one at a time on the worker, each call asked again with
// growing pauses while the camera answers busy.
#include "component/gphoto/GPhotoCamera.h"

#include <gphoto2/gphoto2.h>

#include <algorithm>

namespace quor::component {

bool GPhotoCamera::ReadWidget(const char* name, WidgetState& state) {
    CameraWidget* w = nullptr;
    if (Retry([&] { return gp_camera_get_single_config(camera_, name, &w, context_); }) != GP_OK)
        return false;
    state = WidgetState{};
    state.widget = name;
    CameraWidgetType type;
    gp_widget_get_type(w, &type);
    int readOnly = 0;
    gp_widget_get_readonly(w, &readOnly);
    state.readOnly = readOnly != 0;
    if (type == GP_WIDGET_TEXT || type == GP_WIDGET_RADIO || type == GP_WIDGET_MENU) {
        const char* v = nullptr;
        if (gp_widget_get_value(w, &v) == GP_OK && v)
            state.value = v;
        const int n = gp_widget_count_choices(w);
        for (int i = 0; i < n; ++i) {
            const char* c = nullptr;
            if (gp_widget_get_choice(w, i, &c) == GP_OK && c)
                state.choices.emplace_back(c);
        }
    } else if (type == GP_WIDGET_TOGGLE || type == GP_WIDGET_DATE) {
        int v = 0;
        if (gp_widget_get_value(w, &v) == GP_OK)
            state.value = std::to_string(v);
    } else if (type == GP_WIDGET_RANGE) {
        float v = 0;
        // A body's range values are small; anything else (or NaN) is not converted blindly.
        if (gp_widget_get_value(w, &v) == GP_OK && v > -1e6f && v < 1e6f)
            state.value = std::to_string(static_cast<int>(v));
    }
    gp_widget_free(w);
    return true;
}

void GPhotoCamera::Reread(const std::string& widget) {
    WidgetState state;
    if (!ReadWidget(widget.c_str(), state))
        return;
    // The information fields are reported under their own names; the serial number may come from either widget.
    auto it = std::find_if(known_.begin(), known_.end(), [&](const WidgetState& k) { return k.widget == widget; });
    if (it != known_.end()) {
        if (*it == state)
            return;
        *it = state;
    } else {
        known_.push_back(state);
    }
    IGPhotoEvents* e = links_.events;
    Post([e, state] { e->OnWidgetChanged(state); });
}

int GPhotoCamera::WriteWidget(const char* name, const std::string& value) {
    return Retry([&] {
        CameraWidget* w = nullptr;
        int r = gp_camera_get_single_config(camera_, name, &w, context_);
        if (r != GP_OK)
            return r;
        r = gp_widget_set_value(w, value.c_str());
        if (r == GP_OK)
            r = gp_camera_set_single_config(camera_, name, w, context_);
        gp_widget_free(w);
        return r;
    });
}

int GPhotoCamera::WriteToggle(const char* name, int value) {
    return Retry([&] {
        CameraWidget* w = nullptr;
        int r = gp_camera_get_single_config(camera_, name, &w, context_);
        if (r != GP_OK)
            return r;
        r = gp_widget_set_value(w, &value);
        if (r == GP_OK)
            r = gp_camera_set_single_config(camera_, name, w, context_);
        gp_widget_free(w);
        return r;
    });
}

} // namespace quor::component
