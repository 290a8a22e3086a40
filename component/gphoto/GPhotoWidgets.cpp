// The camera's configuration widgets, read and written one at a time on the worker, each call asked again with
// growing pauses while the camera answers busy.
#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoVocabulary.h"

#include <gphoto2/gphoto2.h>

#include <algorithm>

namespace quor::component {

void GPhotoCamera::BindWidgets(OpenResult& result) {
    std::int32_t group = 0;
    bool bound = false;
    for (const gphoto::WidgetBinding& b : gphoto::Widgets()) {
        if (b.code != group) {
            group = b.code;
            bound = false;
        }
        WidgetState state;
        // A widget the library shows although the body never told it a value (libgphoto2 2.5.30 has "afmethod"
        // for every EOS body) is not one the body has: the next in line may be.
        if (bound || !ReadWidget(b.widget, state) || (state.value.empty() && state.choices.empty()))
            continue;
        bound = true;
        known_.push_back(state);
        watched_.push_back(state.widget);
        result.widgets.push_back(std::move(state));
    }
    for (const char* action : gphoto::ActionWidgets()) {
        CameraWidget* w = nullptr;
        if (Retry([&] { return gp_camera_get_single_config(camera_, action, &w, context_); }) != GP_OK)
            continue;
        gp_widget_free(w);
        result.actions.emplace_back(action);
    }
}

bool GPhotoCamera::Watches(const std::string& widget) const {
    return std::find(watched_.begin(), watched_.end(), widget) != watched_.end();
}

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
    // Each widget is reported under its own name; the session knows which property it is bound to.
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
