#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/app/CommandLine.h"
#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/app/SystemPreferences.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;

namespace
{

std::unique_ptr<XmlNode> parse(const char* text)
{
    auto node = std::make_unique<XmlNode>();
    EXPECT_TRUE(ParseXmlText(*node, text, false)) << text;
    return node;
}

TEST(SystemPreferences, ReadPrefsTable)
{
    struct Case
    {
        const char* xml;
        bool ok;
        SystemPreferences prefs; // expected when ok
    } cases[] = {
        {"<Settings><Version>2</Version><Fullscreen>0</Fullscreen><AudioEnabled>1</AudioEnabled>"
         "<SoftwareDevice>0</SoftwareDevice></Settings>",
         true,
         {0, 1, 0, 0}},
        {"<Any><Version>0x2</Version><Fullscreen>7</Fullscreen><AudioEnabled>yes</AudioEnabled>"
         "<SoftwareDevice>1</SoftwareDevice><AutoDetectSoftware>3</AutoDetectSoftware></Any>",
         true,
         {1, 0, 1, 1}},
        {"<S><Version>02</Version><Fullscreen>1</Fullscreen><AudioEnabled>0</AudioEnabled>"
         "<SoftwareDevice>0</SoftwareDevice><AutoDetectSoftware></AutoDetectSoftware></S>",
         true,
         {1, 0, 0, 0}},
        {"<S><Version>3</Version><Fullscreen>1</Fullscreen><AudioEnabled>1</AudioEnabled>"
         "<SoftwareDevice>0</SoftwareDevice></S>",
         false,
         {}},
        {"<S><Fullscreen>1</Fullscreen><AudioEnabled>1</AudioEnabled><SoftwareDevice>0</SoftwareDevice></S>",
         false,
         {}},
        {"<S><Version>2</Version><Fullscreen>1</Fullscreen><AudioEnabled>1</AudioEnabled></S>", false, {}},
        {"<S><Version>2</Version><Fullscreen></Fullscreen><AudioEnabled>1</AudioEnabled>"
         "<SoftwareDevice>0</SoftwareDevice></S>",
         false,
         {}},
    };
    for (const Case& c : cases)
    {
        SystemPreferences prefs{9, 9, 9, 9};
        EXPECT_EQ(ReadPrefs(*parse(c.xml), prefs), c.ok) << c.xml;
        if (!c.ok)
            continue;
        EXPECT_EQ(prefs.fullscreen, c.prefs.fullscreen) << c.xml;
        EXPECT_EQ(prefs.audioEnabled, c.prefs.audioEnabled) << c.xml;
        EXPECT_EQ(prefs.softwareDevice, c.prefs.softwareDevice) << c.xml;
        EXPECT_EQ(prefs.autoDetectSoftware, c.prefs.autoDetectSoftware) << c.xml;
    }
}

TEST(SystemPreferences, WritePrefsLeavesAutoDetectOut)
{
    auto root = WritePrefs(SystemPreferences{1, 0, 1, 1});
    EXPECT_EQ(WriteXmlText(*root), L"<Settings>\n"
                                   L"    <Version>2</Version>\n"
                                   L"    <Fullscreen>1</Fullscreen>\n"
                                   L"    <AudioEnabled>0</AudioEnabled>\n"
                                   L"    <SoftwareDevice>1</SoftwareDevice>\n"
                                   L"</Settings>\n");
    SystemPreferences back;
    ASSERT_TRUE(ReadPrefs(*root, back));
    EXPECT_EQ(back.autoDetectSoftware, 0);
}

// A local-data folder on disk and the shipped files in memory.
struct Start
{
    FileTest::TempFolder folder;
    SettingsStore store{[this](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); },
                        [this](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); }};
    std::map<std::wstring, std::string> shipped;
    int shippedReads = 0;
    XmlDocumentCache cache{[this](const std::wstring& name, std::vector<uint8_t>& out)
                           {
                               ++shippedReads;
                               auto it = shipped.find(name);
                               if (it == shipped.end())
                                   return false;
                               out.assign(it->second.begin(), it->second.end());
                               return true;
                           }};

    void WriteRaw(const std::string& bytes)
    {
        std::ofstream(std::filesystem::path(folder.Os("System.prefs")), std::ios::binary) << bytes;
    }
    void WriteProtected(const char* xml)
    {
        auto root = std::make_unique<XmlNode>();
        ASSERT_TRUE(ParseXmlText(*root, xml, false));
        ASSERT_TRUE(SaveProtectedXml(*root, store, L"System.prefs", SettingsStore::LocalData));
    }
    bool PrefsExist() const
    {
        return std::filesystem::exists(std::filesystem::path(folder.Os("System.prefs")));
    }
};

const char kWindowed[] =
    "<Settings><Version>2</Version><Fullscreen>0</Fullscreen><AudioEnabled>0</AudioEnabled>"
    "<SoftwareDevice>0</SoftwareDevice></Settings>";
const char kOutdated[] =
    "<Settings><Version>3</Version><Fullscreen>0</Fullscreen><AudioEnabled>0</AudioEnabled>"
    "<SoftwareDevice>0</SoftwareDevice></Settings>";

TEST(SystemPreferences, PreferenceChain)
{
    enum Stored
    {
        None,
        ProtectedWindowed,
        ProtectedOutdated,
        PlainWindowed,
        Garbage
    };
    struct Case
    {
        const char* what;
        Stored stored;
        const char* shipped; // null: no default file
        uint8_t fullscreen;
        uint8_t audio;
        bool prefsKept;
        bool shippedRead;
    } cases[] = {
        {"stored windowed", ProtectedWindowed, kOutdated, 0, 0, true, false},
        {"hand-edited plain file", PlainWindowed, nullptr, 0, 0, true, false},
        {"outdated stored file", ProtectedOutdated, kWindowed, 1, 1, false, false},
        {"no stored file, shipped windowed", None, kWindowed, 0, 0, false, true},
        {"no stored file, shipped outdated", None, kOutdated, 1, 1, false, true},
        {"nothing at all", None, nullptr, 1, 1, false, true},
        {"damaged stored file", Garbage, kWindowed, 0, 0, true, true},
    };
    for (const Case& c : cases)
    {
        Start start;
        if (c.shipped)
            start.shipped[L"DefaultSystemPreferences.xml"] = c.shipped;
        switch (c.stored)
        {
        case ProtectedWindowed:
            start.WriteProtected(kWindowed);
            break;
        case ProtectedOutdated:
            start.WriteProtected(kOutdated);
            break;
        case PlainWindowed:
            start.WriteRaw(kWindowed);
            break;
        case Garbage:
            start.WriteRaw("\x01\x02\x03\x04garbage");
            break;
        case None:
            break;
        }
        SystemPreferences prefs = LoadSystemPreferences(start.store, true);
        EXPECT_EQ(prefs.fullscreen, c.fullscreen) << c.what;
        EXPECT_EQ(prefs.audioEnabled, c.audio) << c.what;
        EXPECT_EQ(prefs.softwareDevice, 0) << c.what;
        EXPECT_EQ(start.PrefsExist(), c.prefsKept) << c.what;
        EXPECT_EQ(start.shippedReads > 0, c.shippedRead) << c.what;
    }
}

TEST(SystemPreferences, DefaultsFollowTheStartUpRecord)
{
    Start start;
    EXPECT_EQ(LoadSystemPreferences(start.store, false).fullscreen, 0);
    EXPECT_EQ(LoadSystemPreferences(start.store, true).fullscreen, 1);
}

TEST(SystemPreferences, WrittenAtExitAndReadAtNextStart)
{
    Start start;
    ASSERT_TRUE(SaveSystemPreferences(start.store, SystemPreferences{0, 1, 0, 1}));
    SystemPreferences prefs = LoadSystemPreferences(start.store, true);
    EXPECT_EQ(prefs.fullscreen, 0);
    EXPECT_EQ(prefs.audioEnabled, 1);
    EXPECT_EQ(prefs.autoDetectSoftware, 0);
    EXPECT_EQ(start.shippedReads, 0);
}

TEST(SystemPreferences, DeleteOnlyWhenBothFoldersExist)
{
    FileTest::TempFolder folder;
    std::ofstream(std::filesystem::path(folder.Os("System.prefs"))) << "x";
    SettingsStore noSaves([](bool) { return std::wstring(); },
                          [&](bool) { return TarnEngine::FromOsPath(folder.Os() + "/"); });
    DeleteSettingsFile(noSaves, L"System.prefs");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder.Os("System.prefs"))));

    bool created = false;
    SettingsStore both(
        [&](bool create)
        {
            created = created || create;
            return TarnEngine::FromOsPath(folder.Os() + "/");
        },
        [&](bool create)
        {
            created = created || create;
            return TarnEngine::FromOsPath(folder.Os() + "/");
        });
    DeleteSettingsFile(both, L"System.prefs");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder.Os("System.prefs"))));
    EXPECT_FALSE(created);
}

TEST(SystemPreferences, DisplayModeDecision)
{
    struct Case
    {
        const wchar_t* line;
        bool ctrl;
        bool shift;
        bool preference;
        bool fullscreen;
    } cases[] = {
        {L"p", false, false, true, true},
        {L"p", false, false, false, false},
        {L"p -windowed", false, false, true, false},
        {L"p -WINDOW", false, false, true, false},
        {L"p -fullscreen", false, false, false, true},
        {L"p -fullscreen -windowed", false, false, true, false},
        {L"p -fullscreen", false, true, true, false}, // Shift alone wins over -fullscreen
        {L"p", true, true, false, true},
        {L"p -windowed", true, true, true, false},
        {L"p -window", true, true, true, false},
        {L"p", true, false, false, false}, // Ctrl alone changes nothing
        {L"p", true, false, true, true},
    };
    for (const Case& c : cases)
    {
        HeldKeys keys;
        keys.ctrl = c.ctrl;
        keys.shift = c.shift;
        EXPECT_EQ(DecideFullscreen(CommandLine(c.line), keys, c.preference), c.fullscreen)
            << c.line << " ctrl " << c.ctrl << " shift " << c.shift << " preference " << c.preference;
        // Asked lazily, the keys give the same answer, and are not asked at all when the
        // command line asks for a window (asking costs a display connection at start-up).
        int asked = 0;
        const HeldKeysSource source = [&] { ++asked; return keys; };
        EXPECT_EQ(DecideFullscreen(CommandLine(c.line), source, c.preference), c.fullscreen) << c.line;
        const std::wstring lower = ToLower(c.line);
        const bool windowed = lower.find(L"-window") != std::wstring::npos;
        EXPECT_EQ(asked, windowed ? 0 : 1) << c.line;
    }
    EXPECT_TRUE(DecideFullscreen(CommandLine(L"p"), HeldKeysSource(), true)) << "no source: no key held";
}

TEST(SystemPreferences, HeldKeysComeFromTheInstalledSource)
{
    EXPECT_FALSE(SampleHeldKeys().shift);
    SetHeldKeysSource([] { return HeldKeys{true, true}; });
    EXPECT_TRUE(SampleHeldKeys().ctrl);
    EXPECT_TRUE(SampleHeldKeys().shift);
    SetHeldKeysSource(nullptr);
    EXPECT_FALSE(SampleHeldKeys().ctrl);
}

TEST(SystemPreferences, HeldKeysOfTheWindowSystem)
{
    Platform::ScriptedWindowSystem windows;
    HeldKeysSource source = HeldKeysOf(windows);
    struct Case
    {
        uint16_t modifiers;
        bool ctrl;
        bool shift;
    } cases[] = {{0, false, false},
                 {KMOD_LSHIFT, false, true},
                 {KMOD_RCTRL, true, false},
                 {KMOD_LCTRL | KMOD_RSHIFT, true, true}};
    for (const Case& c : cases)
    {
        windows.SetHeldModifiers(c.modifiers);
        HeldKeys keys = source();
        EXPECT_EQ(keys.ctrl, c.ctrl) << c.modifiers;
        EXPECT_EQ(keys.shift, c.shift) << c.modifiers;
    }
}

struct SentReport
{
    std::wstring category;
    double time = 0;
    std::vector<std::wstring> keys, values;
    int count = 0, last = 0;
};
SentReport g_sent;

TEST(SystemPreferences, OptionsReportGoesToTheReportingModule)
{
    fernlinkHooks.report = [](const wchar_t* category, double time, const wchar_t* const* keys,
                              const wchar_t* const* values, int32_t count, int32_t last)
    {
        g_sent.category = category;
        g_sent.time = time;
        g_sent.count = count;
        g_sent.last = last;
        for (int i = 0; i < count; ++i)
        {
            g_sent.keys.push_back(keys[i]);
            g_sent.values.push_back(values[i]);
        }
    };
    ReportOptions(true, true, 12.5);
    ResetFernlinkHooks();
    EXPECT_EQ(g_sent.category, L"Options");
    EXPECT_EQ(g_sent.time, 12.5);
    EXPECT_EQ(g_sent.count, 4);
    EXPECT_EQ(g_sent.last, -1);
    EXPECT_EQ(g_sent.keys,
              (std::vector<std::wstring>{L"FullScreen", L"SoftwareMode", L"ForcedSoftware", L"16Bit"}));
    EXPECT_EQ(g_sent.values, (std::vector<std::wstring>{L"1", L"0", L"0", L"1"}));
}

TEST(SystemPreferences, OptionsReport)
{
    OptionsReport report = BuildOptionsReport(true, false);
    EXPECT_EQ(report.keys,
              (std::array<std::wstring, 4>{L"FullScreen", L"SoftwareMode", L"ForcedSoftware", L"16Bit"}));
    EXPECT_EQ(report.values, (std::array<std::wstring, 4>{L"1", L"0", L"0", L"0"}));
    EXPECT_EQ(BuildOptionsReport(false, true).values, (std::array<std::wstring, 4>{L"0", L"0", L"0", L"1"}));
}

} // namespace
