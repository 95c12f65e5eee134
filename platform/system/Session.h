// The process's terminal session as the desktop tells it over D-Bus: whether
// it is the active session of its seat, and notices when the screen is locked
// or unlocked or when another session takes the seat and gives it back.
// logind (system bus) answers the session's Active property and sends its
// Lock and Unlock signals and the property's changes; the desktop's screen
// saver (session bus) says when it starts and ends. Where neither can be
// reached (containers, CI) nothing is told: the session counts as active and
// no notice arrives. Built on sd-bus. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace Platform
{

// What happened to the process's session, numbered as the engine's session
// notices count them.
enum class SessionChange : std::uint8_t
{
    None = 0,
    ConsoleConnect = 1,    // the session became the active one on its seat again
    ConsoleDisconnect = 2, // another session took the seat
    SessionLock = 7,       // the screen was locked (or the screen saver started)
    SessionUnlock = 8,     // the screen was unlocked (or the screen saver ended)
};

class SessionWatch
{
public:
    // Watches logind's session of this process and the desktop's screen saver;
    // null when neither the system bus nor the session bus can be reached.
    static std::unique_ptr<SessionWatch> Open();

    virtual ~SessionWatch() = default;

    // Whether the process's session is the active one on its seat. True when
    // logind does not know the process (or is not there). A session that
    // last seemed inactive is asked again, so a change still on its way does
    // not count.
    virtual bool IsActive() = 0;
    // Appends, in order, the changes told since the last call; never waits.
    virtual void Poll(std::vector<SessionChange>& changes) = 0;
};

} // namespace Platform
