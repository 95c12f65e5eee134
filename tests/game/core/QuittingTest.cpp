// Every way of leaving the program reaches the game manager's shutdown,
// which saves a level in progress: the window's close button, the close
// signals (as the engine takes them), and SIGTERM sent to the real program.
#include "tests/game/GameFixture.h"

#include "engine/core/files/SettingsStore.h"
#include "engine/core/xml/XmlNode.h"
#include "game/core/GuardedXmlFile.h"
#include "tests/platform/ProgramLaunch.h"

#include <csignal>

using namespace TarnEngine;

namespace
{

class QuittingTest : public GameFixture
{
public:
    void StartInALevel()
    {
        WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
        ASSERT_TRUE(Start());
        Game().GetGameMgr().SwitchMode(1);
        ASSERT_EQ(Game().GetGameMgr().GetCurrentModeIndex(), 1);
        ASSERT_TRUE(Lua("svc.PlayerState.t_data = { progress = 'saved on the way out' }"));
        Frames(2);
    }

    void ExpectSavedAfterTheLoopEnds()
    {
        Engine().Run();
        Stop();
        EXPECT_NE(ProfileFileText().find(L"saved on the way out"), std::wstring::npos);
    }
};

TEST_F(QuittingTest, TheCloseButtonSavesTheLevel)
{
    StartInALevel();
    windows.SendWindowEvent(Engine().GetWindow()->GetHandle(), SDL_WINDOWEVENT_CLOSE);
    ExpectSavedAfterTheLoopEnds();
}

TEST_F(QuittingTest, EachCloseSignalSavesTheLevel)
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
    {
        SCOPED_TRACE(signalNumber);
        TearDown();
        SetUp();
        StartInALevel();
        pendingCloseSignal = signalNumber;
        ExpectSavedAfterTheLoopEnds();
    }
}

TEST(QuittingProgramTest, SigtermDuringALevelSavesItAndEndsWithZero)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    ProgramLaunch::ProgramWorld world;
    if (!world.Start())
        return;
    const std::filesystem::path content = world.temp.path / "content";
    std::filesystem::copy(PELLWOOD_TEST_DATA "/game", content, std::filesystem::copy_options::recursive);
    // The script enters the level at the first tick of the game and says so.
    std::ofstream(content / "input" / "script" / "main.luc", std::ios::app)
        << "\nlocal entered = false\n"
           "function __OnEvent(name)\n"
           "  if name == 'TimeTick' and not entered then\n"
           "    entered = true\n"
           "    GameManager:EnterGame()\n"
           "    svc.PlayerState.t_data = { progress = 'level under way' }\n"
           "    io.stderr:write('fixture: level ' .. GameManager:GetPlayerName() .. '\\n')\n"
           "  end\n"
           "end\n";
    const std::filesystem::path saves = world.temp.path / "data" / "Halcyra Games" / "Pellwood";
    std::filesystem::create_directories(saves);
    std::ofstream(saves / "brq.xml") << "<ROOT CURRENT_PROFILE_NAME=\"Ann\"><PROFILE NAME=\"Ann\"/></ROOT>";
    const std::filesystem::path errors = world.temp.path / "errors.txt";
    // The exit code is the program's: what the system's graphics drivers keep past the end of the
    // process (as libdbus, which the world suppresses already) must not turn it into a leak report.
    const std::filesystem::path suppressions = world.temp.path / "lsan-game.supp";
    std::ofstream(suppressions) << "leak:libdbus-1.so\nleak:libGLX_mesa.so\n";
    world.Set("LSAN_OPTIONS",
              "suppressions=" + suppressions.string() + ":print_suppressions=0:fast_unwind_on_malloc=0");
    ProgramLaunch::Process program(
        world.Launch({"-data", content.string(), "-windowed", "-nosplash"}, errors));
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitFor(
        [&] { return ProgramLaunch::readFile(errors).find("fixture: level Ann") != std::string::npos; },
        std::chrono::seconds(120)))
        << "the level did not start; the program said:\n"
        << ProgramLaunch::readFile(errors);
    kill(program.Id(), SIGTERM);
    bool bySignal = false;
    const int code = program.WaitForExit(std::chrono::seconds(120), bySignal);
    EXPECT_FALSE(bySignal);
    EXPECT_EQ(code, 0) << ProgramLaunch::readFile(errors);

    std::wstring folder = saves.wstring() + L"/";
    for (wchar_t& c : folder)
        if (c == L'/')
            c = L'\\';
    const auto lookup = [folder](bool) { return folder; };
    SettingsStore store(lookup, lookup);
    GuardedXmlFile file(store, L"brq.xml", L"ROOT");
    GuardedXmlFile::Opened opened = GuardedXmlFile::Opened::Missing;
    const std::unique_ptr<XmlNode> document = file.Open(opened);
    ASSERT_NE(document, nullptr);
    EXPECT_NE(WriteXmlText(*document).find(L"level under way"), std::wstring::npos);
#endif
}

} // namespace
