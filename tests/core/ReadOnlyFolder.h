// A folder that refuses every write, the superuser's too: permission bits do
// not stop root, which CI runs as, but a read-only mount stops everyone. The
// folder is bind-mounted onto itself and remounted read-only in a mount
// namespace of the calling process's own, so nobody else sees the change and
// it goes with the process. Where the process may not make a mount namespace
// by itself (an ordinary user), a user namespace comes with it.
//
// Call it in a child process right after fork: a namespace belongs to the
// whole process, and a process with more than one thread may not enter a
// user namespace. Only system calls are made, so it is safe after fork in a
// process that has threads.
#pragma once

#include <cerrno>
#include <sched.h>
#include <sys/mount.h>

namespace ReadOnlyFolder
{

// Null on success, else what could not be done.
inline const char* MakeReadOnlyHere(const char* folder)
{
    if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return "no mount namespace of its own can be made";
    // Mounts made here must not spread back into the namespace we came from.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "the mounts cannot be made private";
    if (mount(folder, folder, nullptr, MS_BIND, nullptr) != 0)
        return "the folder cannot be bind-mounted";
    if (mount(nullptr, folder, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return "the folder's mount cannot be made read-only";
    return nullptr;
}

} // namespace ReadOnlyFolder
