// Binding of the optional reporting module, with and without a module.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/core/time/FrameClock.h"
#include "platform/system/Module.h"

namespace
{

using namespace TarnEngine;

class FernlinkClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetFernlinkHooks();
        module = Platform::Module::Load("fernlink_test_module");
        ASSERT_NE(module, nullptr) << "the test module is built beside the tests";
        reinterpret_cast<void (*)()>(module->Symbol("test_clear"))();
        reinterpret_cast<void (*)(int)>(module->Symbol("test_set_start_answer"))(1);
    }
    void TearDown() override { ResetFernlinkHooks(); }

    bool bindTestModule(const FernlinkStartupRecord& record)
    {
        const char* const names[] = {"NoSuchFernlinkModule", "fernlink_test_module"};
        return LoadFernlinkClient(&record, names);
    }
    const std::vector<std::wstring>& reports()
    {
        using Get = const std::vector<std::wstring>* (*)();
        return *reinterpret_cast<Get>(module->Symbol("test_reports"))();
    }
    const std::vector<std::wstring>& inputs()
    {
        using Get = const std::vector<std::wstring>* (*)();
        return *reinterpret_cast<Get>(module->Symbol("test_inputs"))();
    }
    int startCalls() { return reinterpret_cast<int (*)()>(module->Symbol("test_start_calls"))(); }

    std::unique_ptr<Platform::Module> module;
};

TEST_F(FernlinkClientTest, WithoutAModuleEveryHookDoesNothing)
{
    const FernlinkStartupRecord record = MakeFernlinkStartupRecord(1);
    EXPECT_FALSE(LoadFernlinkClient(&record)); // no libFernlinkD.so or libFernlink.so anywhere
    const wchar_t* keys[] = {L"a", L"b", L"c", L"d"};
    FernlinkHooks& h = fernlinkHooks;
    EXPECT_EQ(h.start(&record), 0);
    EXPECT_EQ(h.ordinal2(), 0);
    EXPECT_EQ(h.ordinal24(), 0);
    EXPECT_EQ(h.ordinal26(), 0);
    h.ordinal3(1, 2);
    h.shutdown(L"ui");
    h.ordinal5(1, 2, 3);
    h.ordinal6(1, 2, 3, 4, 5, 6);
    h.enterLevel(1.0, L"level", L"x");
    h.exitLevel(1.0, L"a", L"b", 2.0, L"c");
    h.ordinal9(1, 2, 3);
    h.optionsAccepted(1.0, L"a", L"b", -1);
    h.mouseInput(1.0, L"p0", 0, 1, 2, 3, -1);
    h.keyInput(1.0, L"p0", 13, 1, -1);
    h.goodAction(1.0, L"p0", L"a", L"b", -1);
    h.badAction(1.0, L"p0", L"a", L"b", -1);
    h.ordinal15(1, 2, 3, 4, 5, 6);
    h.powerUpUsed(1.0, L"p0", L"a", L"b", -1);
    h.statChanged(1.0, L"p0", L"a", 2.0, -1);
    h.ordinal18(1, 2, 3, 4, 5, 6, 7, 8, 9);
    ReportOptionsToFernlink(keys, keys, 1.0);
    h.ordinal20(1);
    h.ordinal21(1);
    h.eventDetails(keys, keys, 1);
    h.ordinal23();
    h.ordinal25();
    h.framePresented();
    TesselInputHandler::Get().OnEvent(Event_Key(Event_Base::KeyDown, 13));
    EXPECT_TRUE(reports().empty());
    EXPECT_TRUE(inputs().empty());
}

TEST_F(FernlinkClientTest, ModuleReceivesTheStartupRecordAndTheOptionsReport)
{
    const FernlinkStartupRecord record = MakeFernlinkStartupRecord(10002);
    ASSERT_TRUE(bindTestModule(record));
    EXPECT_EQ(startCalls(), 1);
    const auto* got =
        static_cast<const uint8_t*>(reinterpret_cast<void* (*)()>(module->Symbol("test_received_record"))());
    uint8_t expected[56] = {};
    expected[8] = 0x0C;
    expected[10] = 0x01;
    expected[32] = 10002 & 0xFF;
    expected[33] = 10002 >> 8;
    EXPECT_EQ(std::vector<uint8_t>(got, got + 56), std::vector<uint8_t>(expected, expected + 56));

    const wchar_t* keys[] = {L"Fullscreen", L"AudioEnabled", L"SoftwareDevice", L"AutoDetectSoftware"};
    const wchar_t* values[] = {L"1", L"1", L"0", L"0"};
    ReportOptionsToFernlink(keys, values, 2.5);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0],
              L"Options 2.500000 Fullscreen=1 AudioEnabled=1 SoftwareDevice=0 AutoDetectSoftware=0 4 -1");

    // Ordinals the module does not export keep their do-nothing defaults.
    EXPECT_EQ(fernlinkHooks.ordinal2(), 0);
    fernlinkHooks.enterLevel(1.0, L"level", L"x");
    fernlinkHooks.framePresented();
}

TEST_F(FernlinkClientTest, ModuleThatDeclinesStillKeepsItsHooks)
{
    reinterpret_cast<void (*)(int)>(module->Symbol("test_set_start_answer"))(0);
    const FernlinkStartupRecord record = MakeFernlinkStartupRecord(1);
    EXPECT_FALSE(bindTestModule(record)); // start-up then arms its own crash handler
    const wchar_t* keys[] = {L"a", L"b", L"c", L"d"};
    ReportOptionsToFernlink(keys, keys, 0.0);
    EXPECT_EQ(reports().size(), 1u);
}

TEST_F(FernlinkClientTest, InputHandlerForwardsMouseAndKeys)
{
    const FernlinkStartupRecord record = MakeFernlinkStartupRecord(1);
    ASSERT_TRUE(bindTestModule(record));
    Platform::FakeCounter counter(60000, 0);
    FrameClock clock(counter);
    clock.Init();
    counter.Advance(1001);
    ASSERT_TRUE(clock.CheckFrameDue()); // one period: 1/60 s scheduled

    TesselInputHandler& handler = TesselInputHandler::Get();
    handler.OnEvent(Event_Mouse(Event_Base::MouseDown, 1, 10, 20, false, false, 0));
    handler.OnEvent(Event_Mouse(Event_Base::MouseUp, 0, 11, 21, true, false, 1));
    handler.OnEvent(Event_Key(Event_Base::KeyDown, 13));
    handler.OnEvent(Event_Key(Event_Base::KeyUp, 0xFFFF));
    handler.OnEvent(Event_Base(7)); // other types do nothing
    const std::vector<std::wstring> expected = {
        L"mouse 0.016667 p0 0 1 10 20 -1",
        L"mouse 0.016667 p0 1 0 11 21 -1",
        L"key 0.016667 p0 13 1 -1",
        L"key 0.016667 p0 65535 0 -1",
    };
    EXPECT_EQ(inputs(), expected);
}

} // namespace
