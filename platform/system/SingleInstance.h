// One running copy of the program per user. The first instance holds an
// exclusive flock on "<name>.lock" and listens on the Unix socket
// "<name>.sock" beside it; a later instance finds the lock taken, connects to
// the socket and asks the first one to raise its window, then knows it is the
// second and ends. The folder is $XDG_RUNTIME_DIR, else the local-data folder.
#pragma once

#include <string>
#include <vector>

namespace Platform
{

class SingleInstance
{
public:
    enum class Result
    {
        First,  // this process holds the lock
        Second, // another instance holds it and was asked to raise its window
        Failed  // the lock file could not be made
    };

    SingleInstance() = default;
    ~SingleInstance(); // lets go of the lock and removes the socket
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // folder empty: the default folder above.
    Result Acquire(const std::string& name, const std::string& folder = std::string());
    // First instance only: takes the waiting requests without blocking and
    // returns how many asked for the window to be raised.
    int PollRaiseRequests();

    static std::string DefaultFolder();

private:
    void release();

    int lockFd_ = -1;
    int listenFd_ = -1;
    std::string socketPath_;
    // Connections accepted before their request arrived; read again at the
    // next poll, so a request is not lost to the moment between a later
    // instance's connect and its write.
    std::vector<int> waitingPeers_;
};

} // namespace Platform
