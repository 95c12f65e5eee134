// The session watch over sd-bus; see Session.h. Signals are matched on the
// bus and read when the engine polls; nothing runs on a thread of its own.
// logind is asked through its current unique bus name, so that nobody else
// on the system bus can pass for it.
#include "platform/system/Session.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <string>

namespace Platform
{
namespace
{
constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";
// A desktop that does not answer at once is not waited for at start-up.
constexpr uint64_t kCallTimeoutMicroseconds = 2000000;

// The screen savers whose start and end are told as a lock and an unlock.
constexpr const char* kScreenSaverInterfaces[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"};

sd_bus* closeBus(sd_bus* bus)
{
    // Closing also frees the floating match slots.
    return bus != nullptr ? sd_bus_flush_close_unref(bus) : nullptr;
}

class DbusSessionWatch final : public SessionWatch
{
public:
    DbusSessionWatch() = default;
    ~DbusSessionWatch() override
    {
        system_ = closeBus(system_);
        user_ = closeBus(user_);
    }
    DbusSessionWatch(const DbusSessionWatch&) = delete;
    DbusSessionWatch& operator=(const DbusSessionWatch&) = delete;

    // Each true when that bus is reached (whether or not anyone there speaks).
    bool OpenSystemBus();
    bool OpenSessionBus();

    bool IsActive() override
    {
        pump();
        if (!active_)
            readActive();
        return active_;
    }

    void Poll(std::vector<SessionChange>& changes) override
    {
        pump();
        changes.insert(changes.end(), pending_.begin(), pending_.end());
        pending_.clear();
    }

private:
    static int onLock(sd_bus_message*, void* self, sd_bus_error*)
    {
        static_cast<DbusSessionWatch*>(self)->pending_.push_back(SessionChange::SessionLock);
        return 0;
    }
    static int onUnlock(sd_bus_message*, void* self, sd_bus_error*)
    {
        static_cast<DbusSessionWatch*>(self)->pending_.push_back(SessionChange::SessionUnlock);
        return 0;
    }
    static int onScreenSaver(sd_bus_message* message, void* self, sd_bus_error*)
    {
        int on = 0;
        if (sd_bus_message_read(message, "b", &on) >= 0)
            static_cast<DbusSessionWatch*>(self)->pending_.push_back(on ? SessionChange::SessionLock
                                                                        : SessionChange::SessionUnlock);
        return 0;
    }
    static int onPropertiesChanged(sd_bus_message* message, void* self, sd_bus_error*);

    void setActive(bool active)
    {
        if (active == active_)
            return;
        active_ = active;
        pending_.push_back(active ? SessionChange::ConsoleConnect : SessionChange::ConsoleDisconnect);
    }
    void readActive();
    void pump();
    static void drain(sd_bus*& bus);

    sd_bus* system_ = nullptr;
    sd_bus* user_ = nullptr;
    std::string logindOwner_; // unique name of logind on the system bus
    std::string sessionPath_; // logind's object of this process's session
    bool active_ = true;
    std::vector<SessionChange> pending_;
};

bool DbusSessionWatch::OpenSystemBus()
{
    if (sd_bus_open_system(&system_) < 0)
    {
        system_ = nullptr;
        return false;
    }
    sd_bus_set_method_call_timeout(system_, kCallTimeoutMicroseconds);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const char* text = nullptr;
    // Who logind is now; without an owner there is no logind (and asking it
    // by name could start nothing but a wait).
    if (sd_bus_call_method(system_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetNameOwner", &error, &reply, "s", kLogind) >= 0 &&
        sd_bus_message_read(reply, "s", &text) >= 0 && text != nullptr)
        logindOwner_ = text;
    sd_bus_message_unref(reply);
    reply = nullptr;
    sd_bus_error_free(&error);
    if (logindOwner_.empty())
        return true;
    // Process 0 asks for the caller's own session (found by the bus from the
    // connection, so a process namespace does not confuse it).
    if (sd_bus_call_method(system_, logindOwner_.c_str(), "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "GetSessionByPID", &error, &reply, "u",
                           uint32_t(0)) >= 0 &&
        sd_bus_message_read(reply, "o", &text) >= 0 && text != nullptr)
        sessionPath_ = text;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (sessionPath_.empty())
        return true; // not in a logind session: nothing to watch there
    const char* owner = logindOwner_.c_str();
    const char* path = sessionPath_.c_str();
    // Matches first, then the property, so that no change falls in between.
    if (sd_bus_match_signal(system_, nullptr, owner, path, kSessionInterface, "Lock", &onLock, this) < 0 ||
        sd_bus_match_signal(system_, nullptr, owner, path, kSessionInterface, "Unlock", &onUnlock, this) < 0 ||
        sd_bus_match_signal(system_, nullptr, owner, path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                            &onPropertiesChanged, this) < 0)
    {
        sessionPath_.clear();
        return true;
    }
    readActive();
    return true;
}

bool DbusSessionWatch::OpenSessionBus()
{
    if (sd_bus_open_user(&user_) < 0)
    {
        user_ = nullptr;
        return false;
    }
    sd_bus_set_method_call_timeout(user_, kCallTimeoutMicroseconds);
    for (const char* interface : kScreenSaverInterfaces)
        if (sd_bus_match_signal(user_, nullptr, nullptr, nullptr, interface, "ActiveChanged", &onScreenSaver, this) < 0)
        {
            user_ = closeBus(user_);
            return false;
        }
    return true;
}

void DbusSessionWatch::readActive()
{
    if (system_ == nullptr || sessionPath_.empty())
        return;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int active = 1;
    if (sd_bus_get_property_trivial(system_, logindOwner_.c_str(), sessionPath_.c_str(), kSessionInterface,
                                    "Active", &error, 'b', &active) >= 0)
        setActive(active != 0);
    sd_bus_error_free(&error);
}

int DbusSessionWatch::onPropertiesChanged(sd_bus_message* message, void* self, sd_bus_error*)
{
    const char* interface = nullptr;
    if (sd_bus_message_read(message, "s", &interface) < 0 || interface == nullptr ||
        std::strcmp(interface, kSessionInterface) != 0)
        return 0;
    if (sd_bus_message_enter_container(message, 'a', "{sv}") < 0)
        return 0;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0)
    {
        const char* name = nullptr;
        if (sd_bus_message_read(message, "s", &name) < 0)
            return 0;
        int active = 0;
        if (name != nullptr && std::strcmp(name, "Active") == 0)
        {
            if (sd_bus_message_read(message, "v", "b", &active) < 0)
                return 0;
            static_cast<DbusSessionWatch*>(self)->setActive(active != 0);
        }
        else if (sd_bus_message_skip(message, "v") < 0)
            return 0;
        if (sd_bus_message_exit_container(message) < 0)
            return 0;
    }
    return 0;
}

void DbusSessionWatch::drain(sd_bus*& bus)
{
    if (bus == nullptr)
        return;
    for (;;)
    {
        const int r = sd_bus_process(bus, nullptr);
        if (r == 0)
            return;
        if (r < 0)
        {
            // A bus that went away tells nothing more.
            bus = closeBus(bus);
            return;
        }
    }
}

void DbusSessionWatch::pump()
{
    drain(system_);
    drain(user_);
}
} // namespace

std::unique_ptr<SessionWatch> SessionWatch::Open()
{
    auto watch = std::make_unique<DbusSessionWatch>();
    const bool system = watch->OpenSystemBus();
    const bool user = watch->OpenSessionBus();
    if (!system && !user)
        return nullptr;
    return watch;
}

} // namespace Platform
