#include "link/LinkTimer.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halvex;

TEST(ManualClock, FiresEveryIntervalWhileEnabled) {
    TManualClock clock;
    auto& t = clock.MakeTimer(100);
    std::vector<std::uint64_t> at;
    t.OnTimer = [&] { at.push_back(clock.Now()); };
    clock.Advance(500);
    EXPECT_TRUE(at.empty()); // created disabled
    t.SetEnabled(true);
    clock.Advance(350);
    EXPECT_EQ(at, (std::vector<std::uint64_t>{600, 700, 800}));
}

TEST(ManualClock, SettingTheSameStateDoesNotRestart) {
    TManualClock clock;
    auto& t = clock.MakeTimer(200);
    int ticks = 0;
    t.OnTimer = [&] { ++ticks; };
    t.SetEnabled(true);
    clock.Advance(150);
    t.SetInterval(200); // unchanged: the period goes on
    t.SetEnabled(true);
    clock.Advance(50);
    EXPECT_EQ(ticks, 1);
    clock.Advance(150);
    t.SetInterval(100); // changed while enabled: restarts from now (t = 350)
    clock.Advance(99);
    EXPECT_EQ(ticks, 1);
    clock.Advance(1);
    EXPECT_EQ(ticks, 2);
}

TEST(ManualClock, HandlersMayChangeOtherTimers) {
    TManualClock clock;
    auto& a = clock.MakeTimer(10);
    auto& b = clock.MakeTimer(2);
    std::vector<char> order;
    a.OnTimer = [&] {
        order.push_back('a');
        a.SetEnabled(false);
        b.SetEnabled(true);
    };
    b.OnTimer = [&] {
        order.push_back('b');
        b.SetEnabled(false);
    };
    a.SetEnabled(true);
    clock.Advance(100);
    EXPECT_EQ(order, (std::vector<char>{'a', 'b'}));
    EXPECT_TRUE(clock.AdvanceUntil([&] { return order.size() == 2; }, 5));
    EXPECT_FALSE(clock.AdvanceUntil([&] { return order.size() == 3; }, 5));
}
