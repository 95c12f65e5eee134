// Threads, events, critical sections, modules and the counter.
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

#include "platform/system/Clock.h"
#include "platform/system/CriticalSection.h"
#include "platform/system/Event.h"
#include "platform/system/Module.h"
#include "platform/system/Thread.h"

namespace
{

using Platform::Event;

TEST(SystemThreads, JoinReturnsTheExitCode)
{
    Platform::Thread thread;
    EXPECT_EQ(thread.Join(), 0u); // nothing started
    ASSERT_TRUE(thread.Start([] { return 0xC0FFEEu; }));
    EXPECT_FALSE(thread.Start([] { return 1u; })); // one at a time
    EXPECT_EQ(thread.Join(), 0xC0FFEEu);
    ASSERT_TRUE(thread.Start([] { return 7u; })); // reusable after a join
    EXPECT_EQ(thread.Join(), 7u);
    EXPECT_FALSE(thread.Start(nullptr));
}

TEST(SystemThreads, DetachedThreadRunsOnWithoutItsObject)
{
    auto go = std::make_shared<Event>(false, false);
    auto finished = std::make_shared<Event>(false, false);
    {
        Platform::Thread thread;
        ASSERT_TRUE(thread.Start(
            [go, finished]
            {
                go->Wait();
                finished->Set();
                return 0u;
            }));
        thread.Detach();
        EXPECT_FALSE(thread.IsAttached());
        EXPECT_EQ(thread.Join(), 0u);
    } // the object goes; the thread is still waiting
    go->Set();
    EXPECT_TRUE(finished->Wait());
}

TEST(SystemThreads, AutoResetEventReleasesOneWaitPerSet)
{
    Event event(false, false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Set(); // setting twice does not count twice
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));

    Event initiallySet(false, true);
    EXPECT_TRUE(initiallySet.Wait(0));
    EXPECT_FALSE(initiallySet.Wait(0));
}

TEST(SystemThreads, ManualResetEventStaysSetUntilReset)
{
    Event event(true, false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(SystemThreads, EventsHandOverBetweenThreads)
{
    // A worker answers each request, as the social-network worker does.
    Event request(false, false);
    Event answer(false, false);
    std::atomic<int> served{0};
    Platform::Thread worker;
    ASSERT_TRUE(worker.Start(
        [&]
        {
            for (int i = 0; i < 100; ++i)
            {
                request.Wait();
                served.fetch_add(1);
                answer.Set();
            }
            return 5u;
        }));
    for (int i = 0; i < 100; ++i)
    {
        request.Set();
        answer.Wait();
        EXPECT_EQ(served.load(), i + 1);
    }
    EXPECT_EQ(worker.Join(), 5u);
}

TEST(SystemThreads, ManualResetEventReleasesEveryWaiter)
{
    Event gate(true, false);
    Platform::Thread a, b;
    ASSERT_TRUE(a.Start([&] { return gate.Wait() ? 1u : 0u; }));
    ASSERT_TRUE(b.Start([&] { return gate.Wait() ? 2u : 0u; }));
    gate.Set();
    EXPECT_EQ(a.Join(), 1u);
    EXPECT_EQ(b.Join(), 2u);
}

// The waiter owns the event and deletes it as soon as Wait returns, as a start-up handshake with a
// detached thread does: the setter must be done with the event by then (AddressSanitizer and
// ThreadSanitizer see it when it is not).
TEST(SystemThreads, AnEventMayGoAsSoonAsItsWaitReturns)
{
    for (int round = 0; round < 500; ++round)
    {
        auto* event = new Platform::Event(round % 2 == 0, false);
        std::thread setter([event] { event->Set(); });
        EXPECT_TRUE(event->Wait());
        delete event;
        setter.join();
    }
}

TEST(SystemThreads, CriticalSectionIsReentrantAndExcludesOthers)
{
    Platform::CriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryEnter()); // the owner may take it again
    Platform::Thread other;
    ASSERT_TRUE(other.Start(
        [&]
        {
            if (!section.TryEnter())
                return 1u;
            section.Leave();
            return 2u;
        }));
    EXPECT_EQ(other.Join(), 1u);
    section.Leave();
    ASSERT_TRUE(other.Start(
        [&]
        {
            if (!section.TryEnter())
                return 1u;
            section.Leave();
            return 2u;
        }));
    EXPECT_EQ(other.Join(), 1u); // still held once
    section.Leave();
    ASSERT_TRUE(other.Start(
        [&]
        {
            Platform::ScopedLock lock(section);
            return 3u;
        }));
    EXPECT_EQ(other.Join(), 3u);
}

TEST(SystemModules, LoadsByNameAndResolvesSymbols)
{
    EXPECT_EQ(Platform::Module::FileName("linkwell"), "liblinkwell.so");
    EXPECT_EQ(Platform::Module::Load("no_such_module_here"), nullptr);
    EXPECT_EQ(Platform::Module::Load(""), nullptr);
    // libSDL2.so comes with the development package the build needs.
    auto sdl = Platform::Module::Load("SDL2");
    ASSERT_NE(sdl, nullptr);
    EXPECT_NE(sdl->Symbol("SDL_GetVersion"), nullptr);
    EXPECT_EQ(sdl->Symbol("NoSuchSymbolAnywhere"), nullptr);
    EXPECT_EQ(sdl->Symbol(nullptr), nullptr);
}

TEST(SystemClock, CounterNeverGoesBack)
{
    Platform::CounterSource& counter = Platform::SystemCounter();
    EXPECT_GE(counter.Frequency(), 1000);
    const int64_t first = counter.Counter();
    EXPECT_GE(counter.Counter(), first);
    Platform::SleepMilliseconds(0);
}

} // namespace
