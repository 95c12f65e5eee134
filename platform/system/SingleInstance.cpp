#include "platform/system/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/system/CloseSignals.h"
#include "platform/system/Paths.h"

namespace Platform
{

namespace
{

constexpr char raiseRequest[] = "raise\n";
constexpr size_t maxWaitingPeers = 8;

bool makeAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false; // too long for a socket name: the lock still works
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void askToRaise(const std::string& path)
{
    sockaddr_un address;
    if (!makeAddress(path, address))
        return;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    {
        // A single small write; never wait for the other side's answer.
        const ssize_t written = send(fd, raiseRequest, sizeof raiseRequest - 1, MSG_NOSIGNAL);
        (void)written;
    }
    close(fd);
}

} // namespace

SingleInstance::~SingleInstance()
{
    release();
}

std::string SingleInstance::DefaultFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return runtime;
    return LocalAppDataFolder();
}

SingleInstance::Result SingleInstance::Acquire(const std::string& name, const std::string& folder)
{
    release();
    const std::string base = (folder.empty() ? DefaultFolder() : folder);
    if (base.empty() || name.empty() || name.find('/') != std::string::npos)
        return Result::Failed;
    mkdir(base.c_str(), 0700); // the local-data folder may not exist yet
    const std::string stem = base + "/" + name;
    const int fd = open((stem + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Failed;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        const bool taken = (errno == EWOULDBLOCK);
        close(fd);
        if (!taken)
            return Result::Failed;
        askToRaise(stem + ".sock");
        return Result::Second;
    }
    lockFd_ = fd;

    // Only the lock holder touches the socket name, so a stale one from a
    // crashed run can be removed safely.
    sockaddr_un address;
    if (makeAddress(stem + ".sock", address))
    {
        unlink(address.sun_path);
        const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listener >= 0 &&
            bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(listener, 8) == 0)
        {
            listenFd_ = listener;
            socketPath_ = address.sun_path;
            // A process ended for not closing in time still leaves no socket behind.
            SetRemoveOnForcedEnd(socketPath_);
        }
        else if (listener >= 0)
        {
            close(listener);
        }
    }
    return Result::First;
}

int SingleInstance::PollRaiseRequests()
{
    if (listenFd_ < 0)
        return 0;
    for (;;)
    {
        const int peer = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        // A peer that connects and never writes must not pile up descriptors.
        if (waitingPeers_.size() >= maxWaitingPeers)
        {
            close(waitingPeers_.front());
            waitingPeers_.erase(waitingPeers_.begin());
        }
        waitingPeers_.push_back(peer);
    }
    int requests = 0;
    for (size_t i = 0; i < waitingPeers_.size();)
    {
        const int peer = waitingPeers_[i];
        char buffer[sizeof raiseRequest] = {};
        // The request is one small write: it arrives whole or not yet.
        const ssize_t n = recv(peer, buffer, sizeof raiseRequest - 1, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        {
            ++i;
            continue;
        }
        if (n == static_cast<ssize_t>(sizeof raiseRequest - 1) && std::memcmp(buffer, raiseRequest, n) == 0)
            ++requests;
        close(peer);
        waitingPeers_.erase(waitingPeers_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return requests;
}

void SingleInstance::release()
{
    for (const int peer : waitingPeers_)
        close(peer);
    waitingPeers_.clear();
    if (listenFd_ >= 0)
    {
        close(listenFd_);
        unlink(socketPath_.c_str());
        SetRemoveOnForcedEnd(std::string());
        listenFd_ = -1;
        socketPath_.clear();
    }
    if (lockFd_ >= 0)
    {
        close(lockFd_);
        lockFd_ = -1;
    }
}

} // namespace Platform
