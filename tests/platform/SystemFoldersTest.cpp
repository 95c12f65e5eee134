// Known folders, the current folder and the program's path.
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

#include "platform/system/Paths.h"

namespace
{

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment
{
public:
    ~ScopedEnvironment()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
        {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }
    void Set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

struct FolderCase
{
    const char* home;
    const char* dataHome;
    const char* configHome;
    const char* savedGames;
    const char* localData;
    const char* profile;
};

TEST(SystemFolders, FollowXdgVariablesAndFallBackToHome)
{
    const FolderCase cases[] = {
        {"/h/user", "/x/data", "/x/config", "/x/data", "/x/config", "/h/user"},
        {"/h/user", nullptr, nullptr, "/h/user/.local/share", "/h/user/.config", "/h/user"},
        // Empty and relative XDG values are ignored, as the base-directory rules say.
        {"/h/user", "", "relative/config", "/h/user/.local/share", "/h/user/.config", "/h/user"},
        // Trailing separators are not part of the folder name.
        {"/h/user/", "/x/data//", "/x/config/", "/x/data", "/x/config", "/h/user"},
    };
    for (const FolderCase& c : cases)
    {
        ScopedEnvironment env;
        env.Set("HOME", c.home);
        env.Set("XDG_DATA_HOME", c.dataHome);
        env.Set("XDG_CONFIG_HOME", c.configHome);
        SCOPED_TRACE(std::string("HOME=") + c.home);
        EXPECT_EQ(Platform::SavedGamesFolder(), c.savedGames);
        EXPECT_EQ(Platform::LocalAppDataFolder(), c.localData);
        EXPECT_EQ(Platform::UserProfileFolder(), c.profile);
    }
}

TEST(SystemFolders, WithoutHomeThePasswordDatabaseGivesTheProfile)
{
    ScopedEnvironment env;
    env.Set("HOME", nullptr);
    env.Set("XDG_CONFIG_HOME", nullptr);
    const std::string profile = Platform::UserProfileFolder();
    ASSERT_FALSE(profile.empty());
    EXPECT_EQ(profile[0], '/');
    EXPECT_EQ(Platform::LocalAppDataFolder(), (profile == "/" ? "" : profile) + "/.config");
}

TEST(SystemFolders, CurrentFolderRoundTrips)
{
    const std::string before = Platform::CurrentFolder();
    ASSERT_FALSE(before.empty());
    char pattern[] = "/tmp/pellwood-folders-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    ASSERT_TRUE(Platform::SetCurrentFolder(pattern));
    EXPECT_EQ(Platform::CurrentFolder(), pattern);
    EXPECT_FALSE(Platform::SetCurrentFolder(std::string(pattern) + "/missing"));
    EXPECT_FALSE(Platform::SetCurrentFolder(""));
    EXPECT_EQ(Platform::CurrentFolder(), pattern);
    ASSERT_TRUE(Platform::SetCurrentFolder(before));
    rmdir(pattern);
}

TEST(SystemFolders, ProgramPathNamesThisProgram)
{
    const std::string path = Platform::ProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], '/');
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "test_platform");
    EXPECT_EQ(Platform::ProgramFolder(), path.substr(0, path.rfind('/')));
    EXPECT_EQ(access(path.c_str(), X_OK), 0);
}

} // namespace
