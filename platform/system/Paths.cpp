#include "platform/system/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Platform
{

namespace
{

std::string absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return {};
    std::string result(value);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string xdgFolder(const char* variable, const char* underHome)
{
    std::string folder = absoluteVariable(variable);
    if (!folder.empty())
        return folder;
    const std::string home = UserProfileFolder();
    if (home.empty())
        return {};
    return (home == "/" ? std::string() : home) + underHome;
}

} // namespace

std::string CurrentFolder()
{
    std::vector<char> buffer(1024);
    while (!getcwd(buffer.data(), buffer.size()))
    {
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool SetCurrentFolder(const std::string& folder)
{
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

std::string ProgramPath()
{
    std::vector<char> buffer(1024);
    for (;;)
    {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        if (buffer.size() >= (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramFolder()
{
    std::string path = ProgramPath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    path.resize(slash == 0 ? 1 : slash);
    return path;
}

std::string UserProfileFolder()
{
    std::string home = absoluteVariable("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir ||
        found->pw_dir[0] != '/')
        return {};
    return found->pw_dir;
}

std::string SavedGamesFolder()
{
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string LocalAppDataFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

} // namespace Platform
