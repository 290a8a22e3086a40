// The real camera's settings as the worker last read them, turned into the component's property lists: texts in
// the component's words, a stable value for each option, offers withdrawn and made again when a body changes them.
#include "component/gphoto/GPhotoSession.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <algorithm>
#include <cstdlib>

namespace quor::component {

std::int32_t GPhotoSession::PropertyValue(std::int32_t code) const {
    switch (code) {
    case prop::BatteryLevel: return battery_;
    case prop::SaveTo: return saveTo_;
    case prop::AvailableShots: return shots_;
    default: {
        const auto it = props_.find(code);
        return it == props_.end() ? 0 : it->second.value;
    }
    }
}

std::string GPhotoSession::PropertyText(std::int32_t code) const {
    switch (code) {
    case prop::ModelName: return model_.empty() ? name_ : model_;
    case prop::SerialNumber: return serial_;
    case prop::FirmwareVersion: return firmware_;
    case prop::BatteryLevel:
    case prop::SaveTo:
    case prop::AvailableShots: return std::to_string(PropertyValue(code));
    default: {
        const auto it = props_.find(code);
        return it == props_.end() ? std::string() : it->second.text;
    }
    }
}

std::int32_t GPhotoSession::ValueFor(std::int32_t code, const std::string& gpText) {
    auto [it, added] = values_.try_emplace({code, gpText}, 0);
    if (added) {
        std::int32_t n = 0;
        for (const auto& [key, value] : values_)
            n += key.first == code ? 1 : 0;
        it->second = static_cast<std::int32_t>((code << 16) | (n & 0xFFFF));
    }
    return it->second;
}

// The information fields and the save-to setting. True when `code` was one of them.
bool GPhotoSession::ApplyInformation(std::int32_t code, const WidgetState& state, bool report) {
    switch (code) {
    case prop::ModelName: model_ = state.value; return true;
    case prop::SerialNumber:
        if (!state.value.empty())
            serial_ = state.value;
        return true;
    case prop::FirmwareVersion: firmware_ = state.value; return true;
    case prop::BatteryLevel:
        if (const int percent = gphoto::BatteryPercent(state.value); percent >= 0)
            battery_ = percent;
        return true;
    case prop::AvailableShots: shots_ = std::atoi(state.value.c_str()); return true;
    case prop::SaveTo: {
        const std::int32_t to = state.value == gphoto::kTargetCard ? prop::SaveToCamera : prop::SaveToComputer;
        if (to != saveTo_) {
            saveTo_ = to;
            if (report)
                out_.Tell([&](ISessionEvents& e) { e.ValueChanged(code, to == prop::SaveToCamera ? "Camera" : "Computer"); });
        }
        return true;
    }
    default: return false;
    }
}

void GPhotoSession::Apply(const WidgetState& state, bool report) {
    if (state.widget == gphoto::kFocusInfo) {
        // Without points (after an AF, on some bodies) it gives no size: the last one stands.
        if (const auto size = gphoto::FocusInfoSize(state.value))
            zoomSpace_ = size;
        return;
    }
    const gphoto::WidgetBinding* binding = gphoto::BindingFor(state.widget);
    const std::int32_t code = binding ? binding->code : 0;
    if (ApplyInformation(code, state, report) || !prop::IsListProperty(code))
        return;
    Property next;
    for (const std::string& choice : state.choices) {
        std::string text = gphoto::ToComponentText(code, choice);
        // Two of the body's choices that read alike in our words keep the body's own words for the second.
        const bool taken = std::any_of(next.options.begin(), next.options.end(),
                                       [&](const Option& o) { return o.text == text; });
        next.options.push_back(Option{taken ? choice : std::move(text), choice, ValueFor(code, choice)});
    }
    next.enabled = !state.readOnly && !next.options.empty();
    next.gpValue = state.value;
    next.text = gphoto::ToComponentText(code, state.value);
    for (const Option& option : next.options)
        if (option.gpText == state.value)
            next.text = option.text;
    next.value = state.value.empty() ? 0 : ValueFor(code, state.value);
    Property& current = props_[code];
    const bool reoffer = current.options != next.options || current.enabled != next.enabled;
    const bool changed = current.gpValue != next.gpValue;
    current = std::move(next);
    if (!report)
        return;
    if (reoffer) {
        out_.Tell([&](ISessionEvents& e) { e.Notify(notify::ResetPropertyDesc, Variant::Long(code)); });
        Offer(code);
    }
    if (changed && !props_[code].gpValue.empty())
        out_.Tell([&](ISessionEvents& e) { e.ValueChanged(code, props_[code].text); });
}

void GPhotoSession::Offer(std::int32_t code) {
    if (code == prop::LiveViewAfMode && !props_.count(code)) {
        // An EOS body without the widget (libgphoto2 before 2.5.31): offered as the body knows it, but it cannot
        // be chosen from here. Other bodies without one have nothing to offer.
        if (!HasAction(gphoto::kRemoteRelease))
            return;
        for (const char* text : gphoto::LiveViewAfModeTexts()) {
            const std::int32_t value = ValueFor(code, text);
            out_.Tell([&](ISessionEvents& e) { e.OptionAdded(code, text, value, false); });
        }
        return;
    }
    const auto it = props_.find(code);
    if (it == props_.end())
        return;
    // A copy: the host may close the camera from inside its handler.
    const Property property = it->second;
    for (const Option& option : property.options)
        out_.Tell([&](ISessionEvents& e) { e.OptionAdded(code, option.text, option.value, property.enabled); });
}

void GPhotoSession::Publish() {
    published_ = true;
    for (std::int32_t code : prop::kListCodes)
        Offer(code);
    for (std::int32_t code : prop::kListCodes) {
        const auto it = props_.find(code);
        if (it != props_.end() && !it->second.gpValue.empty())
            out_.Tell([&](ISessionEvents& e) { e.ValueChanged(code, it->second.text); });
    }
    out_.Tell([](ISessionEvents& e) { e.Notify(notify::OpenSucceed, Variant{}); });
}

void GPhotoSession::OnWidgetChanged(const WidgetState& state) {
    Apply(state, published_);
    out_.Tell([](ISessionEvents& e) { e.Changed(); });
}

} // namespace quor::component
