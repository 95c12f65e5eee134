// Path helpers, folder chains, the user folders under XDG variables pointed at a temporary folder, the
// case-blind path lookup and the wildcard matcher.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/core/app/AppPaths.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;
using FileTest::ScopedEnv;
using FileTest::TempFolder;

TEST(AppPaths, ResolvePath)
{
    struct Case
    {
        const wchar_t* base;
        const wchar_t* relative;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Games\\Pellwood", L"./..\\other/x.xml", L"C:\\Games\\other\\x.xml"},
        {L"C:\\Games\\Pellwood", L"data/./..\\x.xml", L"C:\\Games\\Pellwood\\x.xml"},
        {L"C:\\Games\\", L"data", L"C:\\Games\\data"},
        {L"C:/Games/Pellwood/", L"../data/", L"C:\\Games\\data"},
        {L"\\home\\user", L"..\\..\\x", L"\\x"},
        {L"\\home\\user\\", L"./a//b", L"\\home\\user\\a\\b"},
        {L"\\home", L"", L"\\home"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolvePath(c.base, c.relative), c.expected) << c.base << L" + " << c.relative;
}

TEST(AppPaths, RemoveAndAppendPathParts)
{
    struct Case
    {
        const wchar_t* path;
        const wchar_t* parent;
    } parents[] = {
        {L"C:\\a\\b\\c\\", L"C:\\a\\b\\"},
        {L"C:/a/b/c", L"C:\\a\\b"},
        {L"name", L"name"},
        {L"\\top\\", L"\\"},
    };
    for (const Case& c : parents)
    {
        std::wstring path = c.path;
        RemoveLastPathPart(path);
        EXPECT_EQ(path, c.parent) << c.path;
    }

    struct Join
    {
        const wchar_t* path;
        const wchar_t* part;
        const wchar_t* expected;
    } joins[] = {
        {L"a", L"b/c", L"a\\b\\c"},
        {L"a\\", L"b", L"a\\b"},
        {L"a", L"\\b", L"a\\b"},
    };
    for (const Join& j : joins)
    {
        std::wstring path = j.path;
        AppendPathPart(path, j.part);
        EXPECT_EQ(path, j.expected);
    }
}

TEST(AppPaths, FileNamePartFolderPartAndExtension)
{
    struct Case
    {
        const wchar_t* path;
        size_t position;
    } cases[] = {
        {L"", std::wstring::npos},
        {L"a\\b\\", std::wstring::npos},
        {L"a\\b\\..", std::wstring::npos},
        {L"a/b/.", std::wstring::npos},
        {L"\\\\server\\share\\file.txt", 15},
        {L"\\\\server\\share", std::wstring::npos},
        {L"C:file", 2},
        {L"a/b\\\\c", 5},
        {L"plain", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindFileNamePart(c.path), c.position) << c.path;

    EXPECT_EQ(GetFolderPart(L"saves\\profile.tmp"), L"saves\\");
    EXPECT_EQ(GetFolderPart(L"saves\\"), L"saves\\");
    EXPECT_EQ(RemoveExtension(L"picture.large.png"), L"picture.large");
    EXPECT_EQ(RemoveExtension(L"noextension"), L"noextension");
}

TEST(AppPaths, AbsolutePathsAndPlainNames)
{
    EXPECT_TRUE(HasColon(L"C:\\x"));
    EXPECT_FALSE(HasColon(L"\\x"));
    EXPECT_TRUE(IsAbsolutePath(L"C:\\x"));
    EXPECT_TRUE(IsAbsolutePath(L"\\home\\x"));
    EXPECT_TRUE(IsAbsolutePath(L"/home/x"));
    EXPECT_FALSE(IsAbsolutePath(L"input\\x"));
    EXPECT_FALSE(IsAbsolutePath(L""));

    struct Case
    {
        std::wstring name;
        bool plain;
    } cases[] = {
        {L"System.prefs", true},
        {L"profile_1.xml", true},
        {L"", false},
        {L".hidden", false},
        {L"..", false},
        {L"/etc/passwd", false},
        {L"\\x", false},
        {L"C:x", false},
        {L"sub\\System.prefs", false},
        {L"sub/System.prefs", false},
        {L"a..b", false},
        {std::wstring(L"a\0b", 3), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPlainRelativeName(c.name), c.plain) << c.name;
}

namespace
{

// The matcher as first written: recursion at every '*'. Exponential on some patterns, but it defines
// the answers the linear matcher must give.
bool referenceMatch(const wchar_t* t, const wchar_t* p)
{
    if (*p == 0)
        return *t == 0;
    if (*p == L'*')
    {
        while (*p == L'*' || *p == L'?')
        {
            if (*p == L'?')
            {
                if (*t == 0)
                    return false;
                ++t;
            }
            ++p;
        }
        if (*p == 0)
            return true;
        for (; *t != 0; ++t)
            if (*t == *p && referenceMatch(t, p))
                return true;
        return false;
    }
    if (*t == 0 || (*p != L'?' && *p != *t))
        return false;
    return referenceMatch(t + 1, p + 1);
}

} // namespace

TEST(AppPaths, WildcardMatchCases)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* pattern;
        bool caseSensitive;
        bool match;
    } cases[] = {
        {L"PICTURE.PNG", L"*.png", false, true},
        {L"PICTURE.PNG", L"*.png", true, false},
        {L"anything", L"", true, true},
        {L"anything", L"*", true, true},
        {L"", L"*", true, true},
        {L"", L"?", true, false},
        {L"ab", L"a?", true, true},
        {L"a", L"a?", true, false},
        {L"abc", L"a?", true, false},
        {L"fonts/x/y.xml", L"fonts/*.xml", false, true},
        {L"abcabd", L"*ab?", true, true},
        {L"abcabe", L"*abd", true, false},
        {L"aaa", L"*?*?*?*", true, true},
        {L"aa", L"*?*?*?*", true, false},
        {L"\u00C9T\u00C9.TXT", L"\u00E9t\u00E9.*", false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.text, c.pattern, c.caseSensitive), c.match)
            << c.text << L" ~ " << c.pattern;
}

TEST(AppPaths, WildcardMatchAgreesWithTheRecursiveMatcher)
{
    std::mt19937 random(12345);
    const wchar_t textLetters[] = L"ab";
    const wchar_t patternLetters[] = L"ab?**";
    for (int round = 0; round < 20000; ++round)
    {
        std::wstring text, pattern;
        for (int n = int(random() % 9); n > 0; --n)
            text += textLetters[random() % 2];
        for (int n = 1 + int(random() % 7); n > 0; --n)
            pattern += patternLetters[random() % 5];
        ASSERT_EQ(WildcardMatch(text, pattern, true), referenceMatch(text.c_str(), pattern.c_str()))
            << text << L" ~ " << pattern;
    }
}

TEST(AppPaths, WildcardMatchOnPatternsThatDefeatBacktracking)
{
    // The recursive matcher needs on the order of n^5 steps here; this one a few hundred thousand.
    const std::wstring text(600, L'a');
    EXPECT_FALSE(WildcardMatch(text, L"*a*a*a*a*a*b", true));
    EXPECT_TRUE(WildcardMatch(text + L'b', L"*a*a*a*a*a*b", true));
}

TEST(AppPaths, CreateFolderChain)
{
    TempFolder temp;
    EXPECT_TRUE(CreateFolderChain(temp.Engine("one\\two\\three")));
    EXPECT_TRUE(std::filesystem::is_directory(temp.Os("one/two")));
    EXPECT_FALSE(std::filesystem::exists(temp.Os("one/two/three")));

    EXPECT_TRUE(CreateFolderChain(temp.Engine("one/two/three/")));
    EXPECT_TRUE(std::filesystem::is_directory(temp.Os("one/two/three")));
    EXPECT_TRUE(CreateFolderChain(L""));

    temp.Write("file", "x");
    EXPECT_FALSE(CreateFolderChain(temp.Engine("file\\below\\")));
    EXPECT_FALSE(CreateFolderChain(temp.Engine(std::string(5000, 'n') + "/")));

    EXPECT_TRUE(EnsureFolder(temp.Engine("one\\two\\"), false));
    EXPECT_FALSE(EnsureFolder(temp.Engine("file"), false));
    EXPECT_FALSE(EnsureFolder(temp.Engine("missing\\"), false));
    EXPECT_TRUE(EnsureFolder(temp.Engine("made\\"), true));
    EXPECT_TRUE(std::filesystem::is_directory(temp.Os("made")));
}

TEST(AppPaths, CaseBlindLookupOfOperatingSystemPaths)
{
    TempFolder temp;
    temp.Write("Audio/audio.xml", "x");
    struct Case
    {
        const char* asked;
        const char* found;
    } cases[] = {
        {"audio/Audio.xml", "Audio/audio.xml"},     {"AUDIO\\AUDIO.XML", "Audio/audio.xml"},
        {"Audio/audio.xml", "Audio/audio.xml"},     {"audio/missing.xml", "Audio/missing.xml"},
        {"nothing/Audio.xml", "nothing/Audio.xml"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToOsPath(temp.Engine(c.asked)), temp.Os(c.found)) << c.asked;
}

namespace
{
std::wstring pellwood()
{
    return L"Pellwood";
}
} // namespace

TEST(AppPaths, UserFoldersFollowTheXdgFolders)
{
    TempFolder temp;
    ScopedEnv home("HOME", temp.Os("home"));
    ScopedEnv data("XDG_DATA_HOME", temp.Os("data"));
    ScopedEnv config("XDG_CONFIG_HOME", temp.Os("config"));

    SetApplicationNameProvider(nullptr);
    EXPECT_EQ(GetLocalDataFolder(true), L"");

    SetApplicationNameProvider(&pellwood);
    EXPECT_EQ(GetSavedGamesFolder(false), L"");
    const std::wstring saved = GetSavedGamesFolder(true);
    EXPECT_EQ(saved, temp.Engine("data") + L"\\Halcyra Games\\Pellwood\\");
    EXPECT_TRUE(std::filesystem::is_directory(temp.Os("data/Halcyra Games/Pellwood")));
    EXPECT_EQ(GetSavedGamesFolder(false), saved);

    const std::wstring local = GetLocalDataFolder(true);
    EXPECT_EQ(local, temp.Engine("config") + L"\\Halcyra Games\\Pellwood\\");
    EXPECT_TRUE(std::filesystem::is_directory(temp.Os("config/Halcyra Games/Pellwood")));

    // Without the XDG variables the folders lie under the home folder.
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(GetSavedGamesFolder(true), temp.Engine("home/.local/share") + L"\\Halcyra Games\\Pellwood\\");
    EXPECT_EQ(GetLocalDataFolder(true), temp.Engine("home/.config") + L"\\Halcyra Games\\Pellwood\\");
    EXPECT_EQ(GetSpecialFolder(kShellFolderProfile, false), temp.Engine("home"));
    EXPECT_EQ(GetSpecialFolder(0x7777, true), L"");
    SetApplicationNameProvider(nullptr);
}

TEST(AppPaths, CurrentFolderAndProgram)
{
    EXPECT_EQ(GetCurrentFolder(), FromOsPath(std::filesystem::current_path().string()));
    EXPECT_TRUE(IsAbsolutePath(GetModulePath()));
    EXPECT_EQ(ResolveFromCurrentFolder(L"x\\y"), GetCurrentFolder() + L"\\x\\y");
}
