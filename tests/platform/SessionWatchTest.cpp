// The session watch on a private D-Bus daemon of the test's own, which stands
// in for both the system bus and the session bus. A small stand-in service on
// a thread of its own plays logind (the manager's GetSessionByPID, the
// session's Active property with its change signal, Lock and Unlock) and the
// desktop's screen saver (ActiveChanged); the test tells it what to send.
// Without any bus, or with a bus where nobody answers, the session counts as
// active and nothing is told.
#include "platform/system/Session.h"
#include "tests/platform/XServer.h"

#include <gtest/gtest.h>

#include "tests/common/ScopedEnvironment.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <fcntl.h>
#include <sys/epoll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Platform::SessionChange;
using Platform::SessionWatch;

constexpr const char* kSessionPath = "/org/freedesktop/login1/session/_31";
constexpr const char* kOtherSessionPath = "/org/freedesktop/login1/session/_32";

using ScopedVariable = ScopedEnvironmentVariable;

// A dbus-daemon with the session configuration on a socket of its own; it
// prints its address once it accepts connections.
class PrivateBus
{
public:
    PrivateBus()
    {
        const std::string daemon = XServerSupport::findProgram("dbus-daemon");
        if (daemon.empty())
            return;
        int ready[2];
        if (pipe(ready) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        pid_ = XServerSupport::spawn(daemon,
                                     {"--session", "--nofork", "--nopidfile", "--nosyslog", "--print-address=3",
                                      "--address=unix:tmpdir=/tmp"},
                                     XServerSupport::currentEnvironment(), &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        char c = 0;
        while (pid_ > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
            address_.push_back(c);
        close(ready[0]);
    }
    ~PrivateBus()
    {
        if (pid_ > 0)
        {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

// logind and the screen saver, played on a thread with its own connection.
class StandInDesktop
{
public:
    explicit StandInDesktop(const std::string& address, bool active) : active_(active)
    {
        wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        std::promise<bool> started;
        auto startedFuture = started.get_future();
        thread_ = std::thread([this, address, &started] { run(address, started); });
        ok_ = startedFuture.get();
    }
    ~StandInDesktop()
    {
        send([](StandInDesktop& self) { sd_event_exit(self.event_, 0); });
        thread_.join();
        close(wake_);
    }
    bool Ok() const { return ok_; }

    // Runs on the service's thread, in order, after what was sent before.
    void send(std::function<void(StandInDesktop&)> work)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            work_.push_back(std::move(work));
        }
        const uint64_t one = 1;
        (void)!write(wake_, &one, sizeof one);
    }

    void Lock(const char* path = kSessionPath) { signal(path, "org.freedesktop.login1.Session", "Lock"); }
    void Unlock() { signal(kSessionPath, "org.freedesktop.login1.Session", "Unlock"); }
    void SetActive(bool active)
    {
        send(
            [active](StandInDesktop& self)
            {
                self.active_ = active;
                sd_bus_emit_properties_changed(self.bus_, kSessionPath, "org.freedesktop.login1.Session",
                                               "Active", nullptr);
            });
    }
    void ScreenSaver(const char* interface, bool on)
    {
        send(
            [interface, on](StandInDesktop& self)
            {
                sd_bus_emit_signal(self.bus_, "/org/freedesktop/ScreenSaver", interface, "ActiveChanged", "b",
                                   int(on));
            });
    }

private:
    void signal(const char* path, const char* interface, const char* member)
    {
        send([path, interface, member](StandInDesktop& self)
             { sd_bus_emit_signal(self.bus_, path, interface, member, ""); });
    }

    static int getSessionByPid(sd_bus_message* message, void*, sd_bus_error*)
    {
        return sd_bus_reply_method_return(message, "o", kSessionPath);
    }
    static int getActive(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* self,
                         sd_bus_error*)
    {
        return sd_bus_message_append(reply, "b", int(static_cast<StandInDesktop*>(self)->active_));
    }
    static int onWake(sd_event_source*, int, uint32_t, void* self)
    {
        auto& desktop = *static_cast<StandInDesktop*>(self);
        uint64_t count = 0;
        (void)!read(desktop.wake_, &count, sizeof count);
        std::deque<std::function<void(StandInDesktop&)>> work;
        {
            std::lock_guard<std::mutex> guard(desktop.lock_);
            work.swap(desktop.work_);
        }
        for (auto& w : work)
            w(desktop);
        sd_bus_flush(desktop.bus_);
        return 0;
    }

    void run(const std::string& address, std::promise<bool>& started)
    {
        static const sd_bus_vtable manager[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("GetSessionByPID", "u", "o", &getSessionByPid, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END,
        };
        static const sd_bus_vtable session[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_PROPERTY("Active", "b", &getActive, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
            SD_BUS_SIGNAL("Lock", "", 0),
            SD_BUS_SIGNAL("Unlock", "", 0),
            SD_BUS_VTABLE_END,
        };
        bool ok = sd_event_new(&event_) >= 0 && sd_bus_new(&bus_) >= 0 &&
                  sd_bus_set_address(bus_, address.c_str()) >= 0 && sd_bus_set_bus_client(bus_, 1) >= 0 &&
                  sd_bus_start(bus_) >= 0 &&
                  sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager", manager, this) >= 0 &&
                  sd_bus_add_object_vtable(bus_, nullptr, kSessionPath, "org.freedesktop.login1.Session", session,
                                           this) >= 0 &&
                  sd_bus_request_name(bus_, "org.freedesktop.login1", 0) >= 0 &&
                  sd_bus_attach_event(bus_, event_, 0) >= 0 &&
                  sd_event_add_io(event_, nullptr, wake_, EPOLLIN, &onWake, this) >= 0;
        started.set_value(ok);
        if (ok)
            sd_event_loop(event_);
        if (bus_ != nullptr)
            bus_ = sd_bus_flush_close_unref(bus_);
        if (event_ != nullptr)
            event_ = sd_event_unref(event_);
    }

    int wake_ = -1;
    bool ok_ = false;
    bool active_ = true;
    sd_bus* bus_ = nullptr;
    sd_event* event_ = nullptr;
    std::mutex lock_;
    std::deque<std::function<void(StandInDesktop&)>> work_;
    std::thread thread_;
};

// Polls until `count` changes have been told or the deadline passes.
std::vector<SessionChange> waitForChanges(SessionWatch& watch, size_t count)
{
    std::vector<SessionChange> changes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (changes.size() < count && std::chrono::steady_clock::now() < deadline)
    {
        watch.Poll(changes);
        if (changes.size() < count)
        {
            const timespec pause{0, 1000000};
            nanosleep(&pause, nullptr);
        }
    }
    return changes;
}

class SessionWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon (package dbus-daemon) did not start";
        system.emplace("DBUS_SYSTEM_BUS_ADDRESS", bus.Address());
        user.emplace("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    }

    PrivateBus bus;
    std::optional<ScopedVariable> system;
    std::optional<ScopedVariable> user;
};

TEST(SessionWatchWithoutBus, NoBusMeansNoWatchAndAnActiveSession)
{
    ScopedVariable system("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    ScopedVariable user("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session_bus_socket");
    EXPECT_EQ(SessionWatch::Open(), nullptr);
}

TEST_F(SessionWatchTest, ABusWithoutLogindOrScreenSaverTellsNothing)
{
    std::unique_ptr<SessionWatch> watch = SessionWatch::Open();
    ASSERT_NE(watch, nullptr);
    EXPECT_TRUE(watch->IsActive());
    std::vector<SessionChange> changes;
    watch->Poll(changes);
    EXPECT_TRUE(changes.empty());
}

TEST_F(SessionWatchTest, LogindAndTheScreenSaverAreToldInOrder)
{
    StandInDesktop desktop(bus.Address(), true);
    ASSERT_TRUE(desktop.Ok());
    std::unique_ptr<SessionWatch> watch = SessionWatch::Open();
    ASSERT_NE(watch, nullptr);
    EXPECT_TRUE(watch->IsActive());

    // Another session's lock is not ours; the rest is told as it comes.
    desktop.Lock(kOtherSessionPath);
    desktop.Lock();
    desktop.Unlock();
    desktop.SetActive(false);
    desktop.SetActive(true);
    desktop.ScreenSaver("org.freedesktop.ScreenSaver", true);
    desktop.ScreenSaver("org.gnome.ScreenSaver", false);
    EXPECT_EQ(waitForChanges(*watch, 6),
              (std::vector<SessionChange>{SessionChange::SessionLock, SessionChange::SessionUnlock,
                                          SessionChange::ConsoleDisconnect, SessionChange::ConsoleConnect,
                                          SessionChange::SessionLock, SessionChange::SessionUnlock}));

    desktop.SetActive(false);
    EXPECT_EQ(waitForChanges(*watch, 1), std::vector<SessionChange>{SessionChange::ConsoleDisconnect});
    EXPECT_FALSE(watch->IsActive());
}

TEST_F(SessionWatchTest, ASessionThatIsNotTheActiveOneIsSeenAtOnce)
{
    StandInDesktop desktop(bus.Address(), false);
    ASSERT_TRUE(desktop.Ok());
    std::unique_ptr<SessionWatch> watch = SessionWatch::Open();
    ASSERT_NE(watch, nullptr);
    EXPECT_FALSE(watch->IsActive());
    // Asked again while it seems inactive: the seat given back counts at once.
    desktop.SetActive(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!watch->IsActive() && std::chrono::steady_clock::now() < deadline)
    {
    }
    EXPECT_TRUE(watch->IsActive());
}

} // namespace
