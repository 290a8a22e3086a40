// Arbitrary component events into a live console: any event id, any Notify name, Variants of every tag and
// value, and a component that answers the console's calls with arbitrary results or dispatch errors. The
// console must neither crash nor leak, whatever arrives.
#include "console/CameraConsoleDlg.h"
#include "control/NotifyNames.h"

#include <QApplication>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// Reads the fuzzer's bytes as a stream of small decisions.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t Int() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | Byte();
        return static_cast<std::int32_t>(v);
    }
    std::string Text() {
        const std::size_t n = Byte() % 24;
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<char>(Byte());
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

const char* const kNames[] = {quor::notify::ShutDown,        quor::notify::OpenSucceed,
                              quor::notify::DownloadStart,   quor::notify::ProgressReport,
                              quor::notify::DownloadMovieComplete, quor::notify::UpdateEvfOutput,
                              quor::notify::DownloadComplete, quor::notify::ResetPropertyDesc};

const std::int32_t kCodes[] = {2, 3, 7, 8, 11, 256, 262, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1034, 1078, 1294};

quor::Variant AnyVariant(Input& in) {
    quor::Variant v;
    switch (in.Byte() % 6) {
    case 0: break;
    case 1: v = quor::Variant::Short(in.Int()); break;
    case 2: v = quor::Variant::Long(in.Int()); break;
    case 3: v = quor::Variant::Bool(in.Byte() & 1); break;
    case 4: v = quor::Variant::String(in.Text()); break;
    default: v = quor::Variant::Pointer(in.Int()); break;
    }
    if (in.Byte() & 1) // a tag that disagrees with the value field
        v.value = in.Int();
    return v;
}

class FuzzComponent final : public quor::IHostedComponent {
public:
    FuzzComponent(QWidget* parent, Input* in) : view_(new QWidget(parent)), in_(in) {}
    ~FuzzComponent() override { delete view_; }
    quor::Variant Invoke(int, quor::DispatchKind, std::span<const quor::Variant>) override {
        const std::uint8_t how = in_->Byte();
        if (how == 0xEE)
            throw quor::DispatchError(0, "fuzzed failure");
        if (how == 0xEF && sink_ && depth_ < 2) { // an event raised from inside a call
            ++depth_;
            std::vector<quor::Variant> args = {quor::Variant::String(kNames[in_->Byte() % 8]), AnyVariant(*in_)};
            sink_->OnEvent(quor::kEventNotify, args);
            --depth_;
        }
        quor::Variant r = AnyVariant(*in_);
        if (r.type == quor::VarType::String && r.text.empty())
            r.text = "EOS";
        // Keep camera lists small so one input does not spend its time filling a list.
        if (r.Int() > 16 || r.Int() < -16)
            r.value &= 0xF;
        return r;
    }
    QWidget* Widget() override { return view_; }
    void Advise(quor::IEventSink* sink) override { sink_ = sink; }
    quor::IEventSink* Sink() const { return sink_; }

private:
    QWidget* view_;
    Input* in_;
    quor::IEventSink* sink_ = nullptr;
    int depth_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    FuzzComponent* component = nullptr;
    auto factory = [&](QWidget* parent, const quor::HostedProperties&) {
        auto c = std::make_unique<FuzzComponent>(parent, &in);
        component = c.get();
        return c;
    };
    CCameraConsoleDlg console("/tmp/quortovu-fuzz", factory);
    if (!component || !component->Sink())
        return 0;
    for (int n = 0; n < 64 && !in.Empty(); ++n) {
        const std::uint8_t pick = in.Byte();
        const int eventId = pick < 240 ? 1 + pick % 4 : static_cast<int>(in.Int());
        std::vector<quor::Variant> args;
        const std::size_t count = in.Byte() % 7;
        for (std::size_t i = 0; i < count; ++i) {
            quor::Variant v = AnyVariant(in);
            const std::uint8_t hint = in.Byte();
            if (i == 0 && eventId == quor::kEventNotify && hint < 200)
                v = quor::Variant::String(kNames[hint % 8]);
            else if (i == 0 && hint < 200)
                v = quor::Variant::Long(kCodes[hint % 17]);
            args.push_back(std::move(v));
        }
        component->Sink()->OnEvent(eventId, args);
    }
    return 0;
}
