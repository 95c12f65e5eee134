// The 60-per-second schedule, its backlog rule and the rate history.
#include <gtest/gtest.h>

#include "engine/core/time/FrameClock.h"

namespace
{

using TarnEngine::FrameClock;

constexpr int64_t frequency = 3000000;

class FrameClockTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(clock.Init()); }
    int dueCallsAfter(int64_t ticks)
    {
        counter.Advance(ticks);
        int due = 0;
        while (clock.CheckFrameDue())
            ++due;
        return due;
    }

    Platform::FakeCounter counter{frequency, 777};
    FrameClock clock{counter};
};

TEST_F(FrameClockTest, DueRuleAndBacklog)
{
    EXPECT_EQ(clock.GetTicksPerFrame(), 50000);
    struct Case
    {
        int64_t advance; // ticks since the last call
        int due;         // consecutive due answers
    };
    const Case cases[] = {
        {50000, 0},          // exactly one period is not due yet
        {1, 1},              // 50,001 is
        {600000, 12},        // a 200 ms pause: twelve frames, one per call
        {20 * frequency, 0}, // 20 s: the backlog is dropped, the schedule restarts from now
        {50001, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.advance);
        EXPECT_EQ(dueCallsAfter(c.advance), c.due);
    }
    EXPECT_FALSE(clock.IsFrameDue());
    // 1 + 12 + 1 frames were scheduled; the dropped stall is not counted.
    EXPECT_DOUBLE_EQ(clock.GetScheduledSeconds(), 14 * 50000.0 / frequency);
}

TEST_F(FrameClockTest, RestartedScheduleRunsNoCatchUpFrames)
{
    counter.Advance(5 * frequency);
    clock.RestartSchedule();
    EXPECT_EQ(dueCallsAfter(50001), 1);
}

TEST_F(FrameClockTest, RateIsClampedBetweenOneAndAThousand)
{
    struct Case
    {
        int64_t advance;
        double fps;
    };
    const Case cases[] = {
        {300, 1.0 / static_cast<double>(0.001f)}, // 0.1 ms: dt raised to 0.001
        {3 * frequency, 1.0},                     // 3 s: dt cut to 1
        {frequency / 50, 50.0},
    };
    for (const Case& c : cases)
    {
        counter.Advance(c.advance);
        clock.UpdateRate();
        EXPECT_NEAR(clock.GetFramesPerSecond(), c.fps, 1e-9);
    }
    EXPECT_NEAR(clock.GetFramesPerSecond(), 50.0, 1e-9);
}

TEST_F(FrameClockTest, HistoryKeepsTheLatestThirtyAndSlowTimeAccumulates)
{
    for (int i = 1; i <= 31; ++i)
    {
        counter.Advance(frequency / (10 + i)); // rates 11, 12, ... 41
        clock.UpdateRate();
    }
    ASSERT_EQ(clock.GetHistory().size(), 30u);
    EXPECT_NEAR(clock.GetHistory().front(), 12.0, 1e-3); // the first (11) was pushed out
    EXPECT_NEAR(clock.GetHistory().back(), 41.0, 1e-3);

    EXPECT_EQ(clock.GetSlowSeconds(), 0.0);
    counter.Advance(frequency / 4); // 4 per second: slow
    clock.UpdateRate();
    counter.Advance(frequency / 5);
    clock.UpdateRate();
    EXPECT_NEAR(clock.GetSlowSeconds(), 0.45, 1e-9);
    counter.Advance(frequency / 12); // exactly at the threshold: not slow
    clock.UpdateRate();
    EXPECT_EQ(clock.GetSlowSeconds(), 0.0);
}

TEST_F(FrameClockTest, SettingsReplaceTheDefaults)
{
    EXPECT_EQ(clock.GetSlowThresholdFps(), 12.0);
    EXPECT_EQ(clock.GetSlowAlertSeconds(), 20.0);
    clock.SetSlowThresholdFps(30.0);
    clock.SetSlowAlertSeconds(5.0);
    counter.Advance(frequency / 20);
    clock.UpdateRate();
    EXPECT_NEAR(clock.GetSlowSeconds(), 0.05, 1e-9);
    EXPECT_EQ(FrameClock::Get(), &clock);
}

TEST(FrameClockSlowCounter, CounterSlowerThanTheFrameRateStillSchedules)
{
    // 30 ticks a second would give 0 ticks a frame and a schedule that never moves.
    Platform::FakeCounter slow(30, 0);
    FrameClock clock(slow);
    ASSERT_TRUE(clock.Init());
    EXPECT_EQ(clock.GetTicksPerFrame(), 1);
    slow.Advance(2);
    EXPECT_TRUE(clock.CheckFrameDue());
}

} // namespace
