// The game's start-up on the fixture content: the five content groups, a
// failing main.lua, and the profile check at the end.
#include "tests/game/GameFixture.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/core/text/StringTable.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/StartupRecord.h"
#include "tests/platform/ProgramLaunch.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace TarnEngine;

namespace
{

const char* const kProfileWithSettings =
    "<PROFILE NAME=\"Ann\"><SETTINGS_KEY SETTINGS_MUSIC_VOL=\"40\" SETTINGS_SOUND_VOL=\"60\" "
    "SETTINGS_VOICE_VOL=\"80\" SETTINGS_TUTORIALS_ON=\"1\" SETTINGS_FX_ON=\"1\" SETTINGS_CUSTCURSOR_ON=\"0\" "
    "SETTINGS_PORTRAITS_ON=\"1\" SETTINGS_SUBS_ON=\"0\" SETTINGS_VOICEOVERS_ON=\"1\" SLOW_DETECTION_ON=\"1\"/>"
    "</PROFILE>";

class StartupTest : public GameFixture
{
};

TEST_F(StartupTest, EachMissingGroupEndsStartUpWithoutShutdownOrProfileFile)
{
    for (const char* group : {"input", "effects", "UI", "Trophie_room", "credits"})
    {
        SCOPED_TRACE(group);
        TearDown();
        SetUp();
        std::filesystem::remove_all(Content(group));
        EXPECT_FALSE(Start());
        // The game object never ran its shutdown: it is still the game object.
        EXPECT_EQ(Core::Get(), core.get());
        EXPECT_FALSE(ProfileFileExists());
        Stop();
    }
}

TEST_F(StartupTest, AFailingMainScriptStillReachesTheNewProfileScreen)
{
    for (const char* script : {"this is not lua (", "error('stop here')"})
    {
        SCOPED_TRACE(script);
        TearDown();
        SetUp();
        WriteContent("input/script/main.luc", script);
        ASSERT_TRUE(Start());
        Screen* modal = _ScreenMgr::Get()->GetTopModalScreen();
        ASSERT_NE(modal, nullptr);
        EXPECT_EQ(modal->name, L"dlg_new_profile");
        Stop();
    }
}

TEST_F(StartupTest, WithoutACurrentProfileTheNewProfileScreenOpensModal)
{
    ASSERT_TRUE(Start());
    Screen* modal = _ScreenMgr::Get()->GetTopModalScreen();
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(modal->name, L"dlg_new_profile");
    EXPECT_EQ(Game().GetGameMgr().GetCurrentModeIndex(), GameMgr::NoMode);
    // Under it, Escape opens nothing.
    windows.PressKey(Engine().GetWindow()->GetHandle(), SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    windows.ReleaseKey(Engine().GetWindow()->GetHandle(), SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    Frame();
    EXPECT_EQ(_ScreenMgr::Get()->FindScreen(L"dlg_ingamemenu"), nullptr);
}

TEST_F(StartupTest, WithACurrentProfileTheSettingsApplyAndTheMenuOpens)
{
    WriteProfileFile("Ann", kProfileWithSettings);
    ASSERT_TRUE(Start());
    EXPECT_EQ(Game().GetGameMgr().GetCurrentModeIndex(), 0);
    EXPECT_NE(_ScreenMgr::Get()->FindScreen(L"scr_mainmenu"), nullptr);
    EXPECT_EQ(ScriptEvents("EnableTutorials"), std::vector<std::string>{"EnableTutorials true"});
    EXPECT_EQ(ScriptEvents("VoiceVolumeChanged"), std::vector<std::string>{"VoiceVolumeChanged 0.8"});
    EXPECT_EQ(LuaString("GameManager:GetPlayerName()"), "Ann");
    EXPECT_TRUE(Game().GetSlowFrameDetector().IsEnabled());
}

TEST_F(StartupTest, ADamagedProfileFileIsSetAsideLoggedAndTheNewProfileScreenOpens)
{
    // A profile file cut short by hand: the game starts all the same.
    const std::string damaged = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ROOT CURRENT_PROFILE_NAME=\"Ann\">"
                                "<PROFILE NAME=\"Ann\"><SETTINGS_KEY SETTINGS_MUSIC_VOL=\"4";
    std::filesystem::create_directories(ProfileFile().parent_path());
    std::ofstream(ProfileFile(), std::ios::binary) << damaged;
    ASSERT_TRUE(Start());

    Screen* modal = _ScreenMgr::Get()->GetTopModalScreen();
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(modal->name, L"dlg_new_profile");
    EXPECT_EQ(Game().GetGameMgr().GetCurrentModeIndex(), GameMgr::NoMode);

    // Set aside byte for byte under a name of its own, and said so in the log.
    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(ProfileFile().parent_path()))
        if (entry.path().filename().string().rfind("brq.xml.damaged-", 0) == 0)
            aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    std::ifstream in(aside[0], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), damaged);
    EXPECT_FALSE(ProfileFileExists());
    size_t said = 0;
    for (const std::wstring& line : UserInterface::Get()->GetConsole()->GetLines())
        said += line.find(L"does not read; set aside as") != std::wstring::npos;
    EXPECT_EQ(said, 1u);

    // The player is not locked out: a new profile is made and saved.
    ASSERT_TRUE(Game().GetProfileStore().CreateProfile(L"Cy"));
    EXPECT_NE(ProfileFileText().find(L"NAME=\"Cy\""), std::wstring::npos);
}

TEST_F(StartupTest, StartUpSetsTheClockStepTheLoadingAndPauseMoviesAndTheCursors)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(TimeManager::Get()->GetMaxDeltaMs(), 33u);
    EXPECT_TRUE(Game().GetLoadingMovie().IsValid());
    EXPECT_TRUE(Game().GetPauseMovie().IsValid());
    EXPECT_EQ(Engine().GetWindow()->cursors.Count(), 8u);
    EXPECT_TRUE(Engine().GetDevice()->IsWidescreenMode());
    // The cursor resources in the order of the cursor constants CF_DEFAULT to CF_FREEZE.
    const uint32_t expected[8] = {106, 103, 107, 104, 105, 108, 102, 109};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Core::CursorIds[i], expected[i]);
    EXPECT_EQ(LuaNumber("CF_FREEZE"), 7);
    // The translator "en" of the content is loaded.
    EXPECT_EQ(StringTable::GetKeyed()->GetText(L"ExitGame"), L"Leave the game");
}

TEST(StartupRecordTest, TheGameFillsTheRecordAndLeavesTheRestAtTheDefaults)
{
    const STarnGameInitParams params = MakeStartupRecord();
    EXPECT_EQ(params.applicationName, L"Pellwood");
    EXPECT_EQ(params.windowTitle, L"The Pellwood");
    EXPECT_EQ(params.iconId, 101u);
    EXPECT_EQ(params.width, 1024u);
    EXPECT_EQ(params.height, 768u);
    EXPECT_EQ(params.backgroundColour, 0u);
    EXPECT_EQ(params.fullscreenAllowed, 1);
    EXPECT_EQ(params.startFullscreen, 1);
    EXPECT_TRUE(params.reservedText.empty());
    EXPECT_TRUE(params.reservedText2.empty());
    EXPECT_EQ(params.instance, nullptr);
    EXPECT_EQ(params.externalWindow, 0u);
    EXPECT_EQ(params.rootClass, nullptr);
}

} // namespace

namespace
{

// The real program on the test content with a profile file damaged by hand: it starts, sets the
// file aside, says so in its log and asks for a new profile; SIGTERM then ends it with 0.
TEST(StartupProgramTest, ADamagedProfileFileIsSetAsideAndANewProfileIsAskedFor)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    ProgramLaunch::ProgramWorld world;
    if (!world.Start())
        return;
    const std::filesystem::path content = world.temp.path / "content";
    std::filesystem::copy(PELLWOOD_TEST_DATA "/game", content, std::filesystem::copy_options::recursive);
    const std::filesystem::path saves = world.temp.path / "data" / "Halcyra Games" / "Pellwood";
    std::filesystem::create_directories(saves);
    const std::string damaged = "<ROOT CURRENT_PROFILE_NAME=\"Ann\"><PROFILE NAME=\"Ann\"><SETTINGS_KEY SETT";
    std::ofstream(saves / "brq.xml", std::ios::binary) << damaged;
    const std::filesystem::path errors = world.temp.path / "errors.txt";
    const std::filesystem::path suppressions = world.temp.path / "lsan-game.supp";
    std::ofstream(suppressions) << "leak:libdbus-1.so\nleak:libGLX_mesa.so\n";
    world.Set("LSAN_OPTIONS",
              "suppressions=" + suppressions.string() + ":print_suppressions=0:fast_unwind_on_malloc=0");
    world.Set("PELLWOOD_LOG", "debug");
    ProgramLaunch::Process program(
        world.Launch({"-data", content.string(), "-windowed", "-nosplash"}, errors));
    ASSERT_TRUE(program.Started());
    const auto said = [&](const char* text) { return ProgramLaunch::readFile(errors).find(text) != std::string::npos; };
    ASSERT_TRUE(program.WaitFor([&] { return said("no current profile: asking for a new one"); },
                                std::chrono::seconds(120)))
        << "the program did not ask for a profile; it said:\n"
        << ProgramLaunch::readFile(errors);
    EXPECT_TRUE(said("does not read; set aside as")) << ProgramLaunch::readFile(errors);
    kill(program.Id(), SIGTERM);
    bool bySignal = false;
    const int code = program.WaitForExit(std::chrono::seconds(120), bySignal);
    EXPECT_FALSE(bySignal);
    EXPECT_EQ(code, 0) << ProgramLaunch::readFile(errors);

    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(saves))
        if (entry.path().filename().string().rfind("brq.xml.damaged-", 0) == 0)
            aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    std::ifstream in(aside[0], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), damaged);
#endif
}

} // namespace
