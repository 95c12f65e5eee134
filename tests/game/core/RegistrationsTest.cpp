// The game's registration list as the scripts and definitions see it: the
// system macros, the classes made by name and the game's script functions.
#include "tests/game/GameFixture.h"

#include "engine/scene/classes/RObject.h"

#include <memory>

using namespace TarnEngine;

namespace
{

class RegistrationsTest : public GameFixture
{
public:
    void SetUp() override
    {
        GameFixture::SetUp();
        ASSERT_TRUE(Start());
    }
};

TEST_F(RegistrationsTest, EveryIntegerMacroHasItsValue)
{
    const std::pair<const char*, int> macros[] = {
        {"MODE_INVALID", 0},  {"MODE_HO", 1},        {"MODE_PUZZLE", 2},     {"GAME_MENU", 0},
        {"GAME_ISPY", 1},     {"GAME_TRANSITION", 2}, {"GAME_WRITER", 3},    {"GAME_LITTLETHINGS", 4},
        {"GAME_PATH", 5},     {"GAME_PUZZLE", 6},     {"GAME_PROLOGUE", 7},  {"MB_LEFT", 0},
        {"MB_CENTER", 1},     {"MB_RIGHT", 2},        {"ITEM_DISABLED", 0},  {"ITEM_ACTIVE", 1},
        {"ITEM_HIDDEN", 2},   {"ITEM_INVALID", 3},    {"CF_DEFAULT", 0},     {"CF_DRAGGABLE", 1},
        {"CF_DRAGGED", 2},    {"CF_USE", 3},          {"CF_NOUSE", 4},       {"CF_CLICK", 5},
        {"CF_CLOCK", 6},      {"CF_FREEZE", 7},       {"CF_MAXID", 8},
    };
    for (const auto& [name, value] : macros)
        EXPECT_EQ(LuaNumber(name), value) << name;
}

TEST_F(RegistrationsTest, EveryStringMacroHasItsValue)
{
    const std::pair<const char*, const char*> macros[] = {
        {"GAME_EVENT_PAUSE", "PAUSE"},
        {"GAME_EVENTV_FALSE", "0"},
        {"GAME_EVENTV_TRUE", "1"},
        {"GAME_EVENT_SETTINGS", "SETTINGS"},
    };
    for (const auto& [name, value] : macros)
    {
        EXPECT_EQ(LuaString(name), value) << name;
        EXPECT_TRUE(LuaBool(std::string("type(") + name + ") == 'string'")) << name;
    }
}

TEST_F(RegistrationsTest, GameClassesAreMadeByNameExceptTheGameObjectsServices)
{
    // The table grows with each game class that is registered.
    for (const wchar_t* name : {L"LoadingShield", L"UIMessageBox", L"HintTracker", L"MovingPerspective"})
    {
        std::unique_ptr<RObject> made(RClass::CreateObject(name));
        EXPECT_NE(made, nullptr) << std::string(name, name + wcslen(name));
    }
    // The game object holds these; scripts reach its one object of each.
    for (const wchar_t* name : {L"GameMgr", L"PlayerState", L"SoundMgr"})
    {
        EXPECT_NE(RClass::FindByName(name), nullptr);
        std::unique_ptr<RObject> made(RClass::CreateObject(name));
        EXPECT_EQ(made, nullptr);
    }
}

TEST_F(RegistrationsTest, TheScriptFunctionsExist)
{
    for (const char* name : {"GS.Cursor.SetCursorIdx", "GS.Tooltips.Show", "GS.Tooltips.Remove", "MsgBox",
                             "SetBookScaler", "TesselEnterLevel", "TesselExitLevel", "TesselGoodAction",
                             "TesselBadAction", "TesselPowerUpUsed", "TesselStatChanged"})
        EXPECT_TRUE(LuaBool(std::string("type(") + name + ") == 'function'")) << name;
}

TEST_F(RegistrationsTest, GameServicesArePublished)
{
    EXPECT_TRUE(LuaBool("svc.GameMgr == GameManager"));
    EXPECT_TRUE(LuaBool("type(svc.PlayerState) == 'table'"));
    EXPECT_TRUE(LuaBool("type(svc.Sound) == 'table'"));
}

} // namespace
