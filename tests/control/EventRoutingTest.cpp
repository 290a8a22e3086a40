// Event map, Notify name table and the dispatch-error guard.
#include "control/EventRouting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quor::Variant;

TEST(EventMap, EventsReachOnlyTheHandlerBoundToTheirControlAndId) {
    quor::EventMap map;
    std::vector<std::string> seen;
    map.Bind(1000, 1, 2, [&](std::span<Variant> a) { seen.push_back("value " + a[1].text); });
    map.Bind(1000, 4, 4, [&](std::span<Variant> a) { seen.push_back("rect " + std::to_string(a[3].Int())); });

    std::vector<Variant> value = {Variant::Long(1030), Variant::String("Bulb")};
    std::vector<Variant> rect = {Variant::Long(1), Variant::Long(2), Variant::Long(3), Variant::Long(4)};
    EXPECT_TRUE(map.Dispatch(1000, 1, value));
    EXPECT_TRUE(map.Dispatch(1000, 4, rect));
    EXPECT_FALSE(map.Dispatch(1001, 1, value)) << "another control's event";
    EXPECT_FALSE(map.Dispatch(1000, 2, value)) << "an unbound event id";
    EXPECT_FALSE(map.Dispatch(1000, 4, value)) << "too few arguments";
    EXPECT_EQ(seen, (std::vector<std::string>{"value Bulb", "rect 4"}));

    auto sink = map.SinkFor(1000);
    sink->OnEvent(1, value);
    auto other = map.SinkFor(1001);
    other->OnEvent(1, value);
    EXPECT_EQ(seen.size(), 3u);
}

TEST(NotifyTable, MatchesWholeNamesExactlyAndFirstMatchWins) {
    quor::NotifyTable table;
    std::vector<std::string> seen;
    table.Add("shutDown", [&](Variant&) { seen.push_back("first"); });
    table.Add("shutDown", [&](Variant&) { seen.push_back("second"); });
    table.Add("ProgressReport", [&](Variant& v) { seen.push_back(std::to_string(v.Int())); });

    Variant arg = Variant::String("text tag");
    arg.value = 150;
    EXPECT_TRUE(table.Dispatch("shutDown", arg));
    EXPECT_TRUE(table.Dispatch("ProgressReport", arg));
    EXPECT_FALSE(table.Dispatch("shutdown", arg));
    EXPECT_FALSE(table.Dispatch("shutDown ", arg));
    EXPECT_FALSE(table.Dispatch("", arg));
    EXPECT_FALSE(table.Dispatch("ProgressReportX", arg));
    EXPECT_TRUE(table.Dispatch(std::string("shutDown\0tail", 13), arg)) << "the name ends at its zero";
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "150", "first"}));
}

TEST(RunGuarded, ADispatchErrorEndsTheBodyAndIsReportedOnce) {
    int reached = 0;
    testing::internal::CaptureStderr();
    const bool ok = quor::RunGuarded("test handler", [&] {
        ++reached;
        throw quor::DispatchError(7, "camera gone");
        ++reached;
    });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(reached, 1);
    EXPECT_NE(err.find("test handler"), std::string::npos);
    EXPECT_NE(err.find("camera gone"), std::string::npos);
    EXPECT_EQ(err.find("camera gone"), err.rfind("camera gone"));
    EXPECT_TRUE(quor::RunGuarded("quiet", [] {}));
}

TEST(Variant, ConstructorsFillTheSharedValueField) {
    EXPECT_EQ(Variant::Bool(true).Int(), -1);
    EXPECT_EQ(Variant::Bool(false).Int(), 0);
    EXPECT_EQ(Variant::Short(0x12345).Int(), 0x2345);
    EXPECT_EQ(Variant::Short(0xFFFF).Int(), -1);
    EXPECT_EQ(Variant::Long(65536).Low16(), 0);
    EXPECT_EQ(Variant::Long(-1).Low16(), -1);
    EXPECT_EQ(Variant::Long(0x18000).Low16(), -32768);
    EXPECT_FALSE(Variant::Long(65536).IsTrue() == false);
}

} // namespace
