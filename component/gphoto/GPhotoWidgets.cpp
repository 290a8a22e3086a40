// The camera's configuration widgets, read and written one at a time on the worker, each call asked again with
// growing pauses while the camera answers busy; settings the body refused as busy wait their turn between the
// other work.
#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2.h>

#include <QString>

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
    FindActions(result);
    if (WidgetState size; ReadWidget(gphoto::kLiveViewSize, size) && !size.readOnly && size.choices.size() > 1)
        result.liveViewSizes = std::move(size.choices);
}

void GPhotoCamera::FindActions(OpenResult& result) {
    for (const char* action : gphoto::ActionWidgets()) {
        CameraWidget* w = nullptr;
        if (Retry([&] { return gp_camera_get_single_config(camera_, action, &w, context_); }) != GP_OK)
            continue;
        gp_widget_free(w);
        result.actions.emplace_back(action);
    }
    auto has = [&](const char* action) {
        return std::find(result.actions.begin(), result.actions.end(), action) != result.actions.end();
    };
    remoteRelease_ = has(gphoto::kRemoteRelease);
    if (!has(gphoto::kZoom) && !has(gphoto::kZoomPosition))
        return;
    // libgphoto2 2.5.30 hands out the magnifier's widgets one by one to any EOS body; only its whole tree leaves
    // them out for a body without the operations.
    CameraWidget* tree = nullptr;
    bool magnifies = false;
    if (Retry([&] { return gp_camera_get_config(camera_, &tree, context_); }) == GP_OK) {
        CameraWidget* child = nullptr;
        magnifies = gp_widget_get_child_by_name(tree, gphoto::kZoom, &child) == GP_OK &&
                    gp_widget_get_child_by_name(tree, gphoto::kZoomPosition, &child) == GP_OK;
        gp_widget_free(tree);
    }
    if (!magnifies) {
        std::erase_if(result.actions,
                      [](const std::string& a) { return a == gphoto::kZoom || a == gphoto::kZoomPosition; });
        return;
    }
    // Where the magnifier frame goes is told in the coordinates of the body's focus information: watched, so that
    // the session hears of them when they first arrive or change.
    WidgetState info;
    if (ReadWidget(gphoto::kFocusInfo, info)) {
        known_.push_back(info);
        watched_.push_back(info.widget);
        result.widgets.push_back(std::move(info));
    }
}

bool GPhotoCamera::Watches(const std::string& widget) const {
    return std::find(watched_.begin(), watched_.end(), widget) != watched_.end();
}

double GPhotoCamera::ShutterSeconds() const {
    for (const WidgetState& w : known_) {
        const gphoto::WidgetBinding* b = gphoto::BindingFor(w.widget);
        if (!b || b->code != prop::ShutterSpeed || !Watches(w.widget))
            continue;
        // "1/125", "2.5", "30"; "bulb" and the like count as nothing (bulb has its own path).
        const QString text = QString::fromStdString(w.value);
        const qsizetype slash = text.indexOf(u'/');
        bool ok = false, okDen = true;
        const double num = (slash < 0 ? text : text.left(slash)).toDouble(&ok);
        const double den = slash < 0 ? 1.0 : text.mid(slash + 1).toDouble(&okDen);
        return ok && okDen && den > 0 ? num / den : 0.0;
    }
    return 0.0;
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
    return Retry([&] { return WriteWidgetOnce(name, value); });
}

int GPhotoCamera::WriteWidgetOnce(const char* name, const std::string& value) {
    CameraWidget* w = nullptr;
    int r = gp_camera_get_single_config(camera_, name, &w, context_);
    if (r != GP_OK)
        return r;
    r = gp_widget_set_value(w, value.c_str());
    if (r == GP_OK)
        r = gp_camera_set_single_config(camera_, name, w, context_);
    gp_widget_free(w);
    return r;
}

// ---- Settings a busy body refused ----
//
// A body busy with a shot or a series answers busy to new settings. Waiting for it on the spot would hold up
// every command behind the setting (a series could not be stopped) and the events (its frames would pile up in
// the body), so the setting is held and tried again between the other work, in the order the user made them.

void GPhotoCamera::ApplySetting(const std::string& widget, const std::string& value) {
    const auto now = std::chrono::steady_clock::now();
    if (!held_.empty()) {
        // Behind the ones already waiting; a newer value of a waiting setting takes its place.
        auto same = std::find_if(held_.begin(), held_.end(), [&](const HeldSetting& h) { return h.widget == widget; });
        if (same != held_.end())
            same->value = value;
        else
            held_.push_back(HeldSetting{widget, value, now, now, timing_.busyFirst});
        return;
    }
    const int r = WriteWidgetOnce(widget.c_str(), value);
    if (r == GP_ERROR_CAMERA_BUSY) {
        held_.push_back(HeldSetting{widget, value, now, now + timing_.busyFirst, timing_.busyFirst});
        return;
    }
    Written(widget, r);
}

void GPhotoCamera::Written(const std::string& widget, int result) {
    if (result != GP_OK)
        Failed(result, QT_TRANSLATE_NOOP("quor::gphoto", "更改设置"));
    // The body confirms through its events; the widget is read back either way.
    if (!lost_)
        Reread(widget);
}

void GPhotoCamera::RetryHeldSettings(bool wait) {
    while (!held_.empty() && !lost_) {
        HeldSetting& first = held_.front();
        auto now = std::chrono::steady_clock::now();
        if (seriesActive_ || bulbOpen_) {
            // Busy by design until the release ends: the time to give up starts counting after it.
            for (HeldSetting& h : held_)
                h.since = now;
            return;
        }
        if (first.due > now) {
            if (!wait)
                return;
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, first.due, [this] { return stop_; }))
                return;
            now = first.due;
        }
        const int r = WriteWidgetOnce(first.widget.c_str(), first.value);
        if (r == GP_ERROR_CAMERA_BUSY && now - first.since < timing_.busyGiveUp) {
            first.due = now + first.wait;
            first.wait = std::min(first.wait * 2, timing_.busyLongest);
            continue;
        }
        const std::string widget = first.widget;
        held_.pop_front();
        Written(widget, r);
        if (!held_.empty())
            held_.front().since = std::max(held_.front().since, std::chrono::steady_clock::now());
    }
}

std::optional<std::chrono::steady_clock::time_point> GPhotoCamera::HeldSettingDue() const {
    if (held_.empty() || seriesActive_ || bulbOpen_)
        return std::nullopt;
    return held_.front().due;
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
