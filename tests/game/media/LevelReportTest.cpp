// Level-event reports through a recording hook table: the open-level stack and the level number on
// every report, the parameters set before a report, the exit report's score from the game manager's
// script table, the six script functions' argument rules, and report times from an injected frame
// clock.
#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/core/time/FrameClock.h"
#include "engine/scene/script/LuaMgr.h"
#include "game/media/LevelReport.h"
#include "platform/system/Clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{

using Log = std::vector<std::wstring>;

Log g_reports;

std::wstring text(const wchar_t* value)
{
    return value ? std::wstring(value) : std::wstring(L"(null)");
}

std::wstring number(double value)
{
    wchar_t buffer[48];
    std::swprintf(buffer, 48, L"%g", value);
    return buffer;
}

void recordDetails(const wchar_t* const* keys, const wchar_t* const* values, int32_t count)
{
    std::wstring line = L"22";
    for (int32_t i = 0; i < count; ++i)
        line += L" " + text(keys[i]) + L"=" + text(values[i]);
    g_reports.push_back(line + L" count " + std::to_wstring(count));
}

void recordEnter(double time, const wchar_t* level, const wchar_t* name)
{
    g_reports.push_back(L"7 " + number(time) + L" " + text(level) + L" " + text(name));
}

void recordExit(double time, const wchar_t* level, const wchar_t* name, double score, const wchar_t* reason)
{
    g_reports.push_back(L"8 " + number(time) + L" " + text(level) + L" " + text(name) + L" " + number(score) + L" " +
                        text(reason));
}

void recordOption(double time, const wchar_t* key, const wchar_t* value, int32_t last)
{
    g_reports.push_back(L"10 " + number(time) + L" " + text(key) + L" " + text(value) + L" " + std::to_wstring(last));
}

template <int Ordinal>
void recordAction(double time, const wchar_t* p0, const wchar_t* name, const wchar_t* value, int32_t last)
{
    g_reports.push_back(std::to_wstring(Ordinal) + L" " + number(time) + L" " + text(p0) + L" " + text(name) + L" " +
                        text(value) + L" " + std::to_wstring(last));
}

void recordStat(double time, const wchar_t* p0, const wchar_t* name, double value, int32_t last)
{
    g_reports.push_back(L"17 " + number(time) + L" " + text(p0) + L" " + text(name) + L" " + number(value) + L" " +
                        std::to_wstring(last));
}

class LevelReports : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static const bool registered = (RegisterLevelReportFunctions(), true);
        (void)registered;
        ASSERT_TRUE(lua.Init());
        ResetLevelReports();
        g_reports.clear();
        fernlinkHooks.eventDetails = &recordDetails;
        fernlinkHooks.enterLevel = &recordEnter;
        fernlinkHooks.exitLevel = &recordExit;
        fernlinkHooks.optionsAccepted = &recordOption;
        fernlinkHooks.goodAction = &recordAction<13>;
        fernlinkHooks.badAction = &recordAction<14>;
        fernlinkHooks.powerUpUsed = &recordAction<16>;
        fernlinkHooks.statChanged = &recordStat;
        ASSERT_TRUE(clock.Init());
    }
    void TearDown() override
    {
        ResetFernlinkHooks();
        ResetLevelReports();
    }

    bool Run(const std::string& code) { return lua.DoString(code); }
    Log Take() { return std::exchange(g_reports, {}); }
    // Due frames of the frame clock (each a 60th of a second of scheduled time).
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            counter.Advance(11);
            clock.CheckFrameDue();
        }
    }

    LuaMgr lua;
    Platform::FakeCounter counter{600}; // ten ticks a frame
    FrameClock clock{counter};
};

TEST_F(LevelReports, AnActionCarriesTheInnermostLevelNumber)
{
    ASSERT_TRUE(Run("TesselEnterLevel(3, 'cellar') TesselGoodAction('found', 'key')"));
    EXPECT_EQ(Take(), (Log{L"7 0 0003 cellar", L"22 num=0003 count 1", L"13 0 p0 found key -1"}));

    ASSERT_TRUE(Run("TesselEnterLevel(4, 'attic') TesselBadAction('miss', 'x') "
                    "TesselExitLevel('done', '') TesselPowerUpUsed('hint', 'y')"));
    EXPECT_EQ(Take(), (Log{L"7 0 0004 attic", L"22 num=0004 count 1", L"14 0 p0 miss x -1",
                           L"8 0 0004 attic 0 done", L"22 num=0003 count 1", L"16 0 p0 hint y -1"}))
        << "the exit reports the second level; later reports carry the first level's number";
    EXPECT_EQ(GetOpenLevelCount(), 1u);
}

TEST_F(LevelReports, ExitLevelParametersScoreAndEmptyStack)
{
    ReportEnterLevel(L"hall", 1);
    ReportEnterLevel(L"room", 2);
    Take();
    ReportExitLevel(L"quit", L"");
    EXPECT_EQ(Take(), (Log{L"8 0 0002 room 0 quit"})) << "no item, no parameter; no GetLevelScore, score 0";

    ASSERT_TRUE(Run("svc = svc or {} svc.GameMgr = { GetLevelScore = function(self) return 1234.9 end }"));
    ReportExitLevel(L"won", L"lamp");
    EXPECT_EQ(Take(), (Log{L"22 itemnotfound=lamp count 1", L"8 0 0001 hall 1234 won"}))
        << "the score is read as an integer and passed as a double";
    EXPECT_EQ(GetOpenLevelCount(), 0u);

    ReportExitLevel(L"again", L"lamp");
    EXPECT_EQ(Take(), Log{}) << "an exit with no open level reports nothing and pops nothing";
    EXPECT_EQ(GetOpenLevelCount(), 0u);

    // A score function that answers no number, or fails, gives 0.
    ASSERT_TRUE(Run("svc.GameMgr.GetLevelScore = function() return 'many' end"));
    ReportEnterLevel(L"a", 5);
    ReportExitLevel(L"r", L"");
    ASSERT_TRUE(Run("svc.GameMgr.GetLevelScore = function() error('broken') end"));
    ReportEnterLevel(L"b", 6);
    ReportExitLevel(L"r", L"");
    EXPECT_EQ(Take(), (Log{L"7 0 0005 a", L"8 0 0005 a 0 r", L"7 0 0006 b", L"8 0 0006 b 0 r"}));
}

TEST_F(LevelReports, LevelNumbersKeepAtLeastFourDigitsAndTheirSign)
{
    const struct
    {
        int number;
        const wchar_t* text;
    } cases[] = {{7, L"0007"}, {12345, L"12345"}, {-7, L"-0007"}, {0, L"0000"}, {-2147483647 - 1, L"-2147483648"}};
    for (const auto& c : cases)
    {
        ReportEnterLevel(L"n", c.number);
        ReportStatChanged(L"s", 1.0);
        ReportExitLevel(L"r", L"");
        const Log reports = Take();
        ASSERT_EQ(reports.size(), 4u);
        EXPECT_EQ(reports[1], std::wstring(L"22 num=") + c.text + L" count 1") << c.number;
    }
    // With no level open the number is empty.
    ReportGoodAction(L"a", L"b");
    EXPECT_EQ(Take(), (Log{L"22 num= count 1", L"13 0 p0 a b -1"}));
}

TEST_F(LevelReports, ScriptFunctionsNeedBothArgumentsAndConvertTexts)
{
    const struct
    {
        const char* call;
        Log reports;
    } cases[] = {
        {"TesselEnterLevel(3)", {}},
        {"TesselEnterLevel('three', 'x')", {}},
        {"TesselEnterLevel(3, {})", {}},
        {"TesselExitLevel('only')", {}},
        {"TesselGoodAction('a')", {}},
        {"TesselBadAction()", {}},
        {"TesselPowerUpUsed(true, 'x')", {}},
        {"TesselStatChanged('s')", {}},
        {"TesselStatChanged('s', 'lots')", {}},
        {"TesselEnterLevel('8', 42)", {L"7 0 0008 42"}},
        {"TesselGoodAction(nil, 1.5)", {L"22 num=0008 count 1", L"13 0 p0  1.5 -1"}},
        {"TesselStatChanged('gems', '2.5')", {L"22 num=0008 count 1", L"17 0 p0 gems 2.5 -1"}},
        {"TesselStatChanged(7, 1e300)", {L"22 num=0008 count 1", L"17 0 p0 7 1e+300 -1"}},
        {"TesselExitLevel('left', nil)", {L"8 0 0008 42 0 left"}},
    };
    for (const auto& c : cases)
    {
        EXPECT_TRUE(Run(c.call)) << c.call;
        EXPECT_EQ(Take(), c.reports) << c.call;
    }
    EXPECT_EQ(GetOpenLevelCount(), 0u);
}

TEST_F(LevelReports, OptionChangesAndReportTimesFollowTheFrameClock)
{
    ReportEnterLevel(L"room", 9);
    Frames(60);
    ReportOptionChange(L"Music:", L"50.000000");
    Frames(30);
    ReportGoodAction(L"a", L"b");
    EXPECT_EQ(Take(), (Log{L"7 0 0009 room", L"10 1 Music: 50.000000 -1", L"22 num=0009 count 1",
                           L"13 1.5 p0 a b -1"}))
        << "options set no parameter; times are the clock's scheduled seconds";
}

TEST_F(LevelReports, WithoutTheModuleTheDefaultsAbsorbEveryReport)
{
    ResetFernlinkHooks();
    ReportEnterLevel(L"x", 1);
    ReportGoodAction(L"a", L"b");
    ReportBadAction(L"a", L"b");
    ReportPowerUpUsed(L"a", L"b");
    ReportStatChanged(L"a", 1.0);
    ReportOptionChange(L"a", L"b");
    ReportExitLevel(L"r", L"item");
    EXPECT_EQ(Take(), Log{});
    EXPECT_EQ(GetOpenLevelCount(), 0u);
}

TEST(LevelReportsAtExit, ALevelLeftAfterStaticDestructionReadsNoFreedStack)
{
    // In a fresh process the stack is made after this handler is registered, so it would be
    // destroyed before the handler runs.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit([] { ReportExitLevel(L"quit", L""); });
            ReportEnterLevel(L"Attic", 3);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
