// Clocks and timer lists of the time manager, on a fake counter.
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "engine/core/time/TimeManager.h"
#include "engine/core/time/Timer2.h"

namespace
{

using TarnEngine::TimeManager;
using TarnEngine::Timer2;
using TarnEngine::TimerLists;

constexpr int64_t frequency = 3000000; // 3 MHz, 3000 ticks a millisecond

// Records the timers that fire, and can run an action from a call-back.
class Recorder : public Timer2
{
public:
    explicit Recorder(std::vector<std::string>& log, std::string name = "t")
        : log_(log), name_(std::move(name))
    {
    }
    void OnTimer(uint32_t id) override
    {
        log_.push_back(name_ + std::to_string(id));
        if (onFire)
            onFire(id);
    }
    std::function<void(uint32_t)> onFire;

private:
    std::vector<std::string>& log_;
    std::string name_;
};

class TimeManagerTest : public ::testing::Test
{
protected:
    // One engine update as the main loop runs it.
    void update(uint32_t ms, bool full = true)
    {
        counter.AdvanceMilliseconds(ms);
        time.UpdateFrameBase();
        time.UpdateRealClock();
        if (full)
            time.UpdateClock(1);
        time.UpdateClock(0);
        time.StepTimerList(lists, 0);
        if (full)
            time.StepTimerList(lists, 1);
    }

    Platform::FakeCounter counter{frequency, 12345 * frequency};
    TimeManager time{counter};
    TimerLists lists;
    std::vector<std::string> fired;
};

TEST_F(TimeManagerTest, StallAdvancesScaledClocksByTheMaximumStepOnly)
{
    time.SetMaxDeltaMs(33);
    update(500);
    EXPECT_EQ(time.GetRealClock().delta, 500u);
    EXPECT_FLOAT_EQ(time.GetRealClock().deltaSeconds, 0.5f);
    EXPECT_EQ(time.GetFrameBase().delta, 33u);
    for (uint32_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(time.GetClock(i).now, 33u);
        EXPECT_EQ(time.GetClock(i).delta, 33u);
        EXPECT_FLOAT_EQ(time.GetClock(i).deltaSeconds, 0.033f);
    }
    EXPECT_EQ(time.GetMilliseconds(), 12345000u + 500u);
}

TEST_F(TimeManagerTest, ScalesMultiplyAndBadProductsAreClamped)
{
    struct Case
    {
        float global;
        float clock;
        uint32_t step;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1.0f, 1.0f, 16},
        {2.0f, 1.0f, 32},
        {1.0f, 0.5f, 8},
        {1.0f, 0.7f, 11}, // 11.2 cut to whole ms
        {-1.0f, 1.0f, 0},
        {nan, 1.0f, 0},
        {1.0f, nan, 0},
        {1e30f, 1.0f, TimeManager::MaxStepMs},
        {inf, 1.0f, TimeManager::MaxStepMs},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.global << " x " << c.clock);
        time.SetGlobalScale(c.global);
        time.GetClock(0).scale = c.clock;
        const uint32_t before = time.GetClock(0).now;
        update(16);
        EXPECT_EQ(time.GetClock(0).delta, c.step);
        EXPECT_EQ(time.GetClock(0).now - before, c.step);
    }
}

TEST_F(TimeManagerTest, PausedGameClockKeepsItsTimeAndFiresNothing)
{
    Recorder game(fired);
    ASSERT_TRUE(game.SetTimer(1, 0.1, false, 1));
    update(16);
    time.SetPaused(1, true);
    for (int i = 0; i < 20; ++i)
        update(16);
    EXPECT_EQ(time.GetClock(1).now, 16u);
    EXPECT_EQ(time.GetClock(1).delta, 0u);
    EXPECT_EQ(time.GetClock(1).deltaSeconds, 0.0f);
    EXPECT_EQ(time.GetClock(0).now, 21u * 16u);
    EXPECT_TRUE(fired.empty());

    time.SetPaused(1, false);
    for (int i = 0; i < 5; ++i) // 16 + 5 x 16 = 96: not yet
        update(16);
    EXPECT_TRUE(fired.empty());
    update(16); // 112 >= 100
    EXPECT_EQ(fired, std::vector<std::string>{"t1"});
    EXPECT_FALSE(game.HasTimer(1));
}

TEST_F(TimeManagerTest, RepeatingTimerCatchesUpOnePeriodPerStep)
{
    time.SetMaxDeltaMs(1000);
    Recorder r(fired);
    r.SetTimer(5, 0.1, true, 0);
    update(250); // due 100 -> fires once, next due 200
    EXPECT_EQ(fired.size(), 1u);
    update(0); // due 200 <= 250 -> fires, next due 300
    EXPECT_EQ(fired.size(), 2u);
    update(0); // 300 > 250
    EXPECT_EQ(fired.size(), 2u);
    update(50); // 300 -> fires
    EXPECT_EQ(fired.size(), 3u);
    EXPECT_TRUE(r.HasTimer(5));
}

TEST_F(TimeManagerTest, DueTimersFireInTheOrderTheyWereLastLinked)
{
    Recorder a(fired, "a"), b(fired, "b");
    a.SetTimer(1, 0.01, false, 0);
    b.SetTimer(1, 0.01, false, 0);
    a.SetTimer(2, 0.01, false, 0);
    a.SetTimer(1, 0.01, false, 0); // re-set: linked again at the end
    update(16);
    EXPECT_EQ(fired, (std::vector<std::string>{"b1", "a2", "a1"}));
}

TEST_F(TimeManagerTest, OneShotThatSetsItsOwnIdGetsAFreshTimer)
{
    Recorder r(fired);
    r.onFire = [&](uint32_t id) { r.SetTimer(id, 0.05, false, 0); };
    r.SetTimer(3, 0.01, false, 0);
    update(16); // fires; the new timer is due at 16 + 50
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_TRUE(r.HasTimer(3));
    update(16);
    update(16);
    EXPECT_EQ(fired.size(), 1u); // 48 < 66
    update(16);
    update(16); // 80 >= 66
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(TimeManagerTest, CallBacksMayRemoveOrRearmOtherDueTimers)
{
    Recorder a(fired, "a"), b(fired, "b");
    a.SetTimer(1, 0.0, false, 0);
    b.SetTimer(1, 0.0, false, 0);
    b.SetTimer(2, 0.0, false, 0);
    a.onFire = [&](uint32_t)
    {
        b.RemoveTimer(1);             // due in this step: it must not fire
        b.SetTimer(2, 0.0, false, 0); // re-armed: waits for the next step
    };
    update(16);
    EXPECT_EQ(fired, std::vector<std::string>{"a1"});
    update(16);
    EXPECT_EQ(fired, (std::vector<std::string>{"a1", "b2"}));
}

TEST_F(TimeManagerTest, CallBackMayDeleteTheOwnerOfLaterDueTimers)
{
    auto doomed = std::make_unique<Recorder>(fired, "d");
    Recorder killer(fired, "k");
    killer.SetTimer(1, 0.0, false, 0);
    doomed->SetTimer(1, 0.0, true, 0);
    doomed->SetTimer(2, 0.0, false, 0);
    killer.onFire = [&](uint32_t) { doomed.reset(); };
    update(16);
    EXPECT_EQ(fired, std::vector<std::string>{"k1"});
}

TEST_F(TimeManagerTest, DueTimesCompareAcrossTheMillisecondWrap)
{
    time.GetClock(0).now = 0xFFFFFF00u;
    Recorder r(fired);
    r.SetTimer(1, 0.512, false, 0); // due 0x100 after the wrap
    for (int i = 0; i < 15; ++i)
        update(16); // 0xFFFFFF00 + 240: still before the wrap
    EXPECT_TRUE(fired.empty());
    for (int i = 0; i < 18; ++i)
        update(16); // + 528 in all: past due
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(TimeManagerTest, BadIntervalsAndClockIndicesAreRefusedOrClamped)
{
    Recorder r(fired);
    EXPECT_FALSE(r.SetTimer(1, 1.0, false, 2));
    EXPECT_FALSE(r.HasTimer(1));
    r.SetTimer(2, -5.0, false, 0);                                     // counts as 0: due now
    r.SetTimer(3, std::numeric_limits<double>::quiet_NaN(), false, 0); // counts as 0
    r.SetTimer(4, 1e12, false, 0); // clamped: stays in the future, not wrapped into the past
    update(16);
    EXPECT_EQ(fired, (std::vector<std::string>{"t2", "t3"}));
    EXPECT_TRUE(r.HasTimer(4));
}

TEST(TimeManagerSlowCounter, CounterBelowAKilohertzIsNotADivisionByZero)
{
    Platform::FakeCounter slow(500, 1000);
    TimeManager time(slow);
    EXPECT_EQ(time.GetMilliseconds(), 1000u); // one tick taken as one ms
    slow.Advance(16);
    time.UpdateFrameBase();
    EXPECT_EQ(time.GetFrameBase().delta, 16u);
}

TEST_F(TimeManagerTest, TimersOutliveTheirListsSafely)
{
    auto owner = std::make_unique<Recorder>(fired);
    {
        TimerLists early;
        owner->SetTimer(1, 0.0, true, 0);
    }
    owner.reset(); // the list went first; the timer must not touch it
    SUCCEED();
}

} // namespace
