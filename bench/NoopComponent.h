// A camera component that answers every call at once and does nothing, so that a benchmark measures the
// console alone. It has one camera, opens it, and counts the calls it gets.
#pragma once

#include "control/Dispatch.h"
#include "control/DispatchIds.h"

#include <QApplication>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <span>

namespace quor::bench {

class NoopComponent final : public IHostedComponent {
public:
    explicit NoopComponent(QWidget* parent) : view_(new QWidget(parent)) {}
    ~NoopComponent() override { delete view_; }

    QWidget* Widget() override { return view_; }
    void Advise(IEventSink* sink) override { sink_ = sink; }
    Variant Invoke(int dispid, DispatchKind, std::span<const Variant>) override {
        ++calls_;
        switch (dispid) {
        case dispid::GetCameraCount:
            return Variant::Short(1);
        case dispid::GetCameraName:
            return Variant::String("Canon EOS 5D Mark III");
        case dispid::OpenCamera:
            return Variant::Bool(true);
        default:
            return Variant{};
        }
    }

    void Raise(int eventId, std::span<Variant> args) {
        if (sink_)
            sink_->OnEvent(eventId, args);
    }
    std::int64_t Calls() const { return calls_; }

private:
    QWidget* view_;
    IEventSink* sink_ = nullptr;
    std::int64_t calls_ = 0;
};

// A factory that also hands back the component it made.
inline ComponentFactory NoopFactory(NoopComponent** made) {
    return [made](QWidget* parent, const HostedProperties&) -> std::unique_ptr<IHostedComponent> {
        auto c = std::make_unique<NoopComponent>(parent);
        *made = c.get();
        return c;
    };
}

// Call before the application object exists: the offscreen platform unless a display platform is asked for,
// and children kept non-native as the console expects.
inline void PrepareApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
}

} // namespace quor::bench
