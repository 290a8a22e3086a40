#include "control/ComponentRegistry.h"

#include <gtest/gtest.h>

namespace {

class Dummy final : public quor::IHostedComponent {
public:
    explicit Dummy(int border) : border(border) {}
    quor::Variant Invoke(int, quor::DispatchKind, std::span<const quor::Variant>) override { return {}; }
    QWidget* Widget() override { return nullptr; }
    void Advise(quor::IEventSink*) override {}
    int border;
};

TEST(ComponentRegistry, CreatesByClassIdAndRefusesUnknownClasses) {
    const std::string id = "{00000000-0000-0000-0000-00000000BEEF}";
    EXPECT_FALSE(quor::ComponentRegistry::IsRegistered(id));
    EXPECT_THROW(quor::ComponentRegistry::Create(id, nullptr, {}), quor::DispatchError);

    quor::ComponentRegistry::Register(id, [](QWidget*, const quor::HostedProperties& p) {
        return std::make_unique<Dummy>(p.borderStyle);
    });
    quor::HostedProperties props;
    props.borderStyle = 3;
    auto made = quor::ComponentRegistry::FactoryFor(id)(nullptr, props);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(static_cast<Dummy*>(made.get())->border, 3);
}

} // namespace
