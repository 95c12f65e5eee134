// The timer service on a fake counter: which delays schedule, catch-up of
// overdue timers, the removed and held flags, and listeners that change the
// timers while they are being notified.
#include "engine/scene/ui/TimerService.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

namespace
{

using namespace TarnEngine;

struct RecordingListener : ITimerListener
{
    void OnTimer(InstanceHandle timer) override
    {
        calls.push_back(timer);
        if (action)
            action(timer);
    }
    std::vector<InstanceHandle> calls;
    std::function<void(InstanceHandle)> action;
};

TimerRecord* recordOf(const InstanceHandle& handle)
{
    return static_cast<TimerRecord*>(handle.Get());
}

bool sameHandle(const InstanceHandle& a, const InstanceHandle& b)
{
    return a.serial == b.serial && a.index == b.index && a.table == b.table;
}

class TimerServiceTest : public ::testing::Test
{
protected:
    static constexpr int64_t kFrequency = 1000000;
    // 0.001 s: a period of 1000 ticks.
    static constexpr float kMillisecond = 0.001f;

    Platform::FakeCounter clock{kFrequency, 5000};
    TimerService service{clock};
    RecordingListener listener;
};

TEST_F(TimerServiceTest, DelaysBelowATenThousandthOfASecondOrNotANumberScheduleNothing)
{
    const float refused[] = {
        0.0f, -1.0f, 0.00009f,
        0.0001f, // the nearest float lies just below the double 0.0001
        std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity(),
    };
    for (const float delay : refused)
    {
        SCOPED_TRACE(delay);
        const InstanceHandle handle = service.AddTimer(delay, &listener);
        EXPECT_EQ(handle.serial, 0u);
        EXPECT_EQ(handle.index, 0u);
        EXPECT_EQ(handle.table, nullptr);
    }
    // No listener: nothing could be notified.
    EXPECT_FALSE(service.AddTimer(1.0f, nullptr).IsValid());
    clock.Advance(10 * kFrequency);
    service.Update();
    EXPECT_TRUE(listener.calls.empty());

    const float accepted[] = {std::nextafter(0.0001f, 1.0f), 0.00011f};
    for (const float delay : accepted)
    {
        SCOPED_TRACE(delay);
        EXPECT_TRUE(service.AddTimer(delay, &listener).IsValid());
    }
}

TEST_F(TimerServiceTest, ThePeriodIsTheDelayInCounterTicksAtLeastOne)
{
    struct Case
    {
        int64_t frequency;
        float delay;
        int64_t period;
    };
    const Case cases[] = {
        {1000000, 0.5f, 500000},
        {1000000, std::nextafter(0.0001f, 1.0f), 100}, // 100.000005 truncated
        {1000000000, 0.1f, 100000001},                 // the float 0.1 is a little above a tenth
        {3, 1.0f, 3},
        {100, 0.001f, 1}, // a slow counter: a zero period would notify forever
        {1000000000, 1e30f, std::numeric_limits<int64_t>::max()},
        {1000000000, std::numeric_limits<float>::infinity(), std::numeric_limits<int64_t>::max()},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.frequency);
        SCOPED_TRACE(c.delay);
        Platform::FakeCounter counter(c.frequency, 77);
        TimerService own(counter);
        const InstanceHandle handle = own.AddTimer(c.delay, &listener);
        ASSERT_NE(recordOf(handle), nullptr);
        EXPECT_EQ(recordOf(handle)->period, c.period);
        EXPECT_EQ(recordOf(handle)->start, 77);
        EXPECT_FALSE(recordOf(handle)->held);
        EXPECT_FALSE(recordOf(handle)->removed);
    }
}

TEST_F(TimerServiceTest, ASlowCounterStillEndsTheUpdate)
{
    Platform::FakeCounter slow(100);
    TimerService own(slow);
    own.AddTimer(0.001f, &listener);
    slow.Advance(3);
    own.Update();
    EXPECT_EQ(listener.calls.size(), 3u);
}

// A short timer an hour overdue (the window was minimised) is told a bounded
// number of times, and its next period starts at that update.
TEST_F(TimerServiceTest, ALongPauseIsCaughtUpInBoundedNotifications)
{
    service.AddTimer(kMillisecond, &listener);
    clock.Advance(3600 * kFrequency);
    service.Update();
    EXPECT_EQ(listener.calls.size(), size_t(TimerService::MaximumCatchUp));
    service.Update();
    EXPECT_EQ(listener.calls.size(), size_t(TimerService::MaximumCatchUp));
}

TEST_F(TimerServiceTest, AnOverdueTimerCatchesUpWholePeriodsThenStartsAfreshAtTheUpdate)
{
    const InstanceHandle handle = service.AddTimer(kMillisecond, &listener);
    clock.Advance(999);
    service.Update();
    EXPECT_TRUE(listener.calls.empty());

    clock.Advance(1700); // 2.7 periods after the start
    service.Update();
    ASSERT_EQ(listener.calls.size(), 2u);
    EXPECT_TRUE(sameHandle(listener.calls[0], handle));
    EXPECT_TRUE(sameHandle(listener.calls[1], handle));

    // The 0.7 left over is dropped: the next one is a whole period after the update.
    clock.Advance(999);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 2u);
    clock.Advance(1);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 3u);
    EXPECT_TRUE(handle.IsValid()) << "a timer repeats until it is removed";
}

TEST_F(TimerServiceTest, DueTimersAreNotifiedNewestFirst)
{
    RecordingListener order;
    const InstanceHandle first = service.AddTimer(kMillisecond, &order);
    const InstanceHandle second = service.AddTimer(0.002f, &order);
    const InstanceHandle third = service.AddTimer(kMillisecond, &order);
    clock.Advance(2000);
    service.Update();
    // Each overdue timer has all its notifications in a row before the next older one.
    const InstanceHandle expected[] = {third, third, second, first, first};
    ASSERT_EQ(order.calls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_TRUE(sameHandle(order.calls[i], expected[i])) << i;
}

TEST_F(TimerServiceTest, ARemovedTimerIsNotNotifiedAgainAndIsDeletedByTheNextUpdate)
{
    // Removed inside its own notification, five periods overdue: notified once.
    const InstanceHandle once = service.AddTimer(kMillisecond, &listener);
    listener.action = [](InstanceHandle timer) { recordOf(timer)->removed = true; };
    clock.Advance(5000);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 1u);
    EXPECT_TRUE(once.IsValid()) << "deleted at the next update, not during this one";

    // Removed before it fell due: never notified.
    RecordingListener never;
    const InstanceHandle early = service.AddTimer(kMillisecond, &never);
    recordOf(early)->removed = true;
    clock.Advance(5000);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 1u);
    EXPECT_TRUE(never.calls.empty());
    EXPECT_FALSE(once.IsValid());
    EXPECT_FALSE(early.IsValid());

    // Their slots are reused under new serials; the old handles stay dead.
    RecordingListener later;
    const InstanceHandle reused = service.AddTimer(kMillisecond, &later);
    EXPECT_TRUE(reused.index == once.index || reused.index == early.index);
    EXPECT_FALSE(once.IsValid());
    EXPECT_FALSE(early.IsValid());
    clock.Advance(1000);
    service.Update();
    ASSERT_EQ(later.calls.size(), 1u);
    EXPECT_TRUE(sameHandle(later.calls[0], reused));
    EXPECT_EQ(listener.calls.size(), 1u);
    EXPECT_TRUE(never.calls.empty());
}

TEST_F(TimerServiceTest, AHeldTimerStandsStill)
{
    const InstanceHandle handle = service.AddTimer(kMillisecond, &listener);
    recordOf(handle)->held = true;
    for (int update = 0; update < 4; ++update)
    {
        clock.Advance(2500);
        service.Update();
    }
    EXPECT_TRUE(listener.calls.empty());

    // Released: due one whole period after the last update that found it held.
    recordOf(handle)->held = false;
    clock.Advance(999);
    service.Update();
    EXPECT_TRUE(listener.calls.empty());
    clock.Advance(1);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 1u);

    // Held by its own listener: the catch-up stops there.
    listener.action = [](InstanceHandle timer) { recordOf(timer)->held = true; };
    clock.Advance(5000);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 2u);
    clock.Advance(5000);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 2u);
}

// Deletes itself when notified and, as an effect does, cancels its timer on the way out.
struct SelfDeletingListener : ITimerListener
{
    ~SelfDeletingListener() override
    {
        if (TimerRecord* record = recordOf(timer))
            record->removed = true;
        ++*deleted;
    }
    void OnTimer(InstanceHandle) override
    {
        ++*calls;
        delete this;
    }
    InstanceHandle timer;
    int* calls = nullptr;
    int* deleted = nullptr;
};

TEST_F(TimerServiceTest, AListenerMayDeleteItselfOrCancelOtherTimers)
{
    int calls = 0;
    int deleted = 0;
    auto* effect = new SelfDeletingListener;
    effect->calls = &calls;
    effect->deleted = &deleted;
    effect->timer = service.AddTimer(kMillisecond, effect);
    const InstanceHandle effectTimer = effect->timer;

    RecordingListener older;
    RecordingListener newer;
    const InstanceHandle olderTimer = service.AddTimer(kMillisecond, &older);
    const InstanceHandle cancelling = service.AddTimer(kMillisecond, &listener);
    const InstanceHandle newerTimer = service.AddTimer(kMillisecond, &newer);
    // Cancels one timer that this update has visited already and one it has not.
    listener.action = [&](InstanceHandle)
    {
        recordOf(olderTimer)->removed = true;
        recordOf(newerTimer)->removed = true;
    };

    clock.Advance(3000); // three periods overdue
    service.Update();
    EXPECT_EQ(calls, 1) << "a listener that deleted itself is not called again";
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(older.calls.empty());
    EXPECT_EQ(newer.calls.size(), 3u);
    EXPECT_EQ(listener.calls.size(), 3u);
    EXPECT_FALSE(olderTimer.IsValid()) << "not visited yet: deleted in the same update";
    EXPECT_TRUE(newerTimer.IsValid());

    listener.action = nullptr;
    recordOf(cancelling)->removed = true;
    clock.Advance(3000);
    service.Update();
    EXPECT_FALSE(effectTimer.IsValid());
    EXPECT_FALSE(newerTimer.IsValid());
    EXPECT_FALSE(cancelling.IsValid());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(newer.calls.size(), 3u);
    EXPECT_EQ(listener.calls.size(), 3u);
}

TEST_F(TimerServiceTest, TimersAddedByAListenerWaitForTheNextUpdate)
{
    RecordingListener added;
    std::vector<InstanceHandle> made;
    const InstanceHandle parent = service.AddTimer(kMillisecond, &listener);
    listener.action = [&](InstanceHandle)
    {
        const InstanceHandle handle = service.AddTimer(std::nextafter(0.0001f, 1.0f), &added);
        EXPECT_TRUE(handle.IsValid());
        made.push_back(handle);
        clock.Advance(1000); // time passes inside the listener
    };
    clock.Advance(2000);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 2u);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_TRUE(added.calls.empty()) << "not notified in the update that added them";
    recordOf(parent)->removed = true;

    // They started when they were made, 2000 and 1000 ticks ago: overdue many
    // times over, the newer one first.
    service.Update();
    ASSERT_EQ(added.calls.size(), 30u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_TRUE(sameHandle(added.calls[i], made[1]));
    for (size_t i = 10; i < 30; ++i)
        EXPECT_TRUE(sameHandle(added.calls[i], made[0]));
}

TEST_F(TimerServiceTest, AnUpdateStartedByAListenerDoesNothing)
{
    RecordingListener cancelled;
    const InstanceHandle removedTimer = service.AddTimer(kMillisecond, &cancelled);
    recordOf(removedTimer)->removed = true;
    service.AddTimer(kMillisecond, &listener);
    listener.action = [&](InstanceHandle) { service.Update(); };
    clock.Advance(1000);
    service.Update();
    EXPECT_EQ(listener.calls.size(), 1u);
    EXPECT_TRUE(cancelled.calls.empty());
    EXPECT_FALSE(removedTimer.IsValid());
}

TEST(TimerServiceLifetime, DestroyingTheServiceDeletesItsTimersWithoutNotifying)
{
    Platform::FakeCounter clock(1000);
    RecordingListener listener;
    auto service = std::make_unique<TimerService>(clock);
    EXPECT_EQ(TimerService::Get(), service.get());
    service->AddTimer(0.01f, &listener);
    service->AddTimer(0.02f, &listener);
    recordOf(service->AddTimer(0.01f, &listener))->removed = true;
    clock.Advance(1000);
    service.reset();
    EXPECT_TRUE(listener.calls.empty());
    EXPECT_EQ(TimerService::Get(), nullptr);
}

} // namespace
