#include "tests/support/RecordingComponent.h"

#include "control/DispatchIds.h"

#include <QPalette>

namespace quor::test {

RecordingComponent::RecordingComponent(QWidget* parent, const HostedProperties& props) : props_(props) {
    view_ = new QWidget(parent);
    view_->setObjectName(QStringLiteral("RecordingCameraView"));
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Window, QColor(props.backRed, props.backGreen, props.backBlue));
    view_->setPalette(palette);
    view_->setAutoFillBackground(true);
}

RecordingComponent::~RecordingComponent() { delete view_.data(); }

QWidget* RecordingComponent::Widget() { return view_.data(); }

void RecordingComponent::Advise(IEventSink* sink) {
    sink_ = sink;
    ++adviseCount_;
}

Variant RecordingComponent::Invoke(int dispid, DispatchKind kind, std::span<const Variant> args) {
    calls_.push_back({dispid, kind, std::vector<Variant>(args.begin(), args.end())});
    const RecordedCall call = calls_.back(); // the hook may record further calls

    if (auto f = failures_.find(dispid); f != failures_.end() && f->second != 0) {
        if (f->second > 0)
            --f->second;
        throw DispatchError(dispid, "scripted failure");
    }
    if (auto h = hooks_.find(dispid); h != hooks_.end()) {
        const Hook hook = h->second; // a copy: the hook may replace itself
        hook(*this, call);
    }

    if (!call.args.empty()) {
        if (auto r = resultsFor_.find({dispid, call.args[0].Int()}); r != resultsFor_.end())
            return r->second;
    }
    if (auto r = results_.find(dispid); r != results_.end())
        return r->second;
    if (dispid == dispid::GetCameraCount && kind == DispatchKind::Method)
        return Variant::Short(static_cast<std::int32_t>(cameras_.size()));
    if (dispid == dispid::GetCameraName && !call.args.empty()) {
        const std::int32_t i = call.args[0].Int();
        if (i >= 0 && static_cast<std::size_t>(i) < cameras_.size())
            return Variant::String(cameras_[static_cast<std::size_t>(i)]);
        return Variant::String(std::string());
    }
    return Variant{};
}

void RecordingComponent::SetCameras(std::vector<std::string> names) { cameras_ = std::move(names); }
void RecordingComponent::SetResult(int dispid, Variant result) { results_[dispid] = std::move(result); }
void RecordingComponent::SetResultFor(int dispid, std::int32_t firstArg, Variant result) {
    resultsFor_[{dispid, firstArg}] = std::move(result);
}
void RecordingComponent::OnCall(int dispid, Hook hook) {
    if (hook)
        hooks_[dispid] = std::move(hook);
    else
        hooks_.erase(dispid);
}
void RecordingComponent::FailCall(int dispid, int times) { failures_[dispid] = times; }

std::vector<int> RecordingComponent::CallIds() const {
    std::vector<int> ids;
    ids.reserve(calls_.size());
    for (const RecordedCall& c : calls_)
        ids.push_back(c.dispid);
    return ids;
}

std::vector<RecordedCall> RecordingComponent::CallsOf(int dispid) const {
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : calls_)
        if (c.dispid == dispid)
            out.push_back(c);
    return out;
}

std::size_t RecordingComponent::CountOf(int dispid) const {
    std::size_t n = 0;
    for (const RecordedCall& c : calls_)
        n += c.dispid == dispid ? 1 : 0;
    return n;
}

void RecordingComponent::RaiseEvent(int eventId, std::vector<Variant> args) {
    if (sink_)
        sink_->OnEvent(eventId, std::span<Variant>(args));
}

void RecordingComponent::RaiseValueChanged(std::int32_t code, const std::string& text) {
    RaiseEvent(kEventPropertyValueChanged, {Variant::Long(code), Variant::String(text)});
}

void RecordingComponent::RaiseOptionAdded(std::int32_t code, const std::string& text, std::int32_t value,
                                          bool enable) {
    RaiseEvent(kEventPropertyOptionAdded,
               {Variant::Long(code), Variant::String(text), Variant::Long(value), Variant::Bool(enable)});
}

void RecordingComponent::RaiseNotify(const std::string& name, Variant argument) {
    RaiseEvent(kEventNotify, {Variant::String(name), std::move(argument)});
}

void RecordingComponent::RaiseCropRect(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    RaiseEvent(kEventCropRectChanged, {Variant::Long(a), Variant::Long(b), Variant::Long(c), Variant::Long(d)});
}

ComponentFactory RecordingFactory(RecordingComponent** created, std::function<void(RecordingComponent&)> setup) {
    return [created, setup = std::move(setup)](QWidget* parent,
                                               const HostedProperties& props) -> std::unique_ptr<IHostedComponent> {
        auto component = std::make_unique<RecordingComponent>(parent, props);
        if (setup)
            setup(*component);
        if (created)
            *created = component.get();
        return component;
    };
}

} // namespace quor::test
