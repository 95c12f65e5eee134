// The typed-code reader: the date window, the accepted keys and the
// matching, alone and behind the game object's input.
#include "tests/game/GameFixture.h"

#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/TypedCodes.h"
#include "platform/window/VirtualKeys.h"

using namespace TarnEngine;

namespace
{

struct Reader
{
    TypedCodeReader reader;
    std::vector<std::wstring> commands;
    explicit Reader(CalendarDate date = {2010, 7, 12})
    {
        reader.SetDateSource([date] { return date; });
        reader.SetConsole([this](const std::wstring& line) { commands.push_back(line); });
    }
    void Type(const std::vector<uint32_t>& keys)
    {
        for (uint32_t key : keys)
            reader.OnKeyUp(key);
    }
};

std::vector<uint32_t> keys(const char* text)
{
    std::vector<uint32_t> out;
    for (const char* c = text; *c; ++c)
        out.push_back(uint32_t(*c));
    return out;
}

TEST(TypedCodesTest, TheDateWindowEndsOnTheTwelfthOfJuly2010)
{
    struct Case
    {
        CalendarDate date;
        bool open;
    };
    for (const Case& c : {Case{{2010, 7, 12}, true}, Case{{2010, 1, 1}, true}, Case{{2009, 8, 1}, false},
                          Case{{2010, 7, 13}, false}, Case{{2011, 1, 1}, false}, Case{{2009, 7, 12}, true}})
    {
        SCOPED_TRACE(c.date.year * 10000 + c.date.month * 100 + c.date.day);
        EXPECT_EQ(TypedCodeReader::IsWindowOpen(c.date), c.open);
        Reader r(c.date);
        r.Type(keys("KVMWP"));
        EXPECT_EQ(r.commands.size(), c.open ? 1u : 0u);
    }
}

TEST(TypedCodesTest, KeysAndMatching)
{
    struct Case
    {
        const char* name;
        std::vector<uint32_t> keys;
        std::vector<std::wstring> commands;
    };
    const Case cases[] = {
        {"upper-case key codes", keys("KVMWP"), {L"findall"}},
        {"the six-letter code", keys("TJHUXE"), {L"ispywin"}},
        {"a digit inside is ignored", keys("KV7MW1P"), {L"findall"}},
        {"a space breaks the code", keys("KV MWP"), {}},
        {"a wrong letter is not reused", keys("KKVMWP"), {}},
        {"after a wrong letter a new attempt", keys("XKVMWP"), {L"findall"}},
        {"function keys add nothing", {'K', 'V', Platform::VirtualKey::F1, 'M', 'W', 'P'}, {L"findall"}},
        {"keypad keys are not letters", {'K', 'V', 0x6D, 'W', 'P'}, {}},
        {"twice in a row", keys("KVMWPKVMWP"), {L"findall", L"findall"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Reader r;
        r.Type(c.keys);
        EXPECT_EQ(r.commands, c.commands);
    }
}

TEST(TypedCodesTest, FunctionKeysLeaveTheBufferAsItWas)
{
    Reader r;
    r.Type(keys("KV"));
    r.Type({Platform::VirtualKey::F1, 0x70, 0x7A, 0x60});
    EXPECT_EQ(r.reader.GetBuffer(), L"kv");
}

TEST_F(GameFixture, TypedCodesReadKeyUpEventsOutsideModalScreens)
{
    today = {2010, 3, 1};
    WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
    ASSERT_TRUE(Start());
    for (SDL_Keycode key : {SDLK_k, SDLK_v, SDLK_m, SDLK_w})
        TypeKey(key);
    // A key held down counts at its release.
    PressKey(SDLK_p);
    EXPECT_TRUE(consoleLines.empty());
    ReleaseKey(SDLK_p);
    EXPECT_EQ(consoleLines, std::vector<std::wstring>{L"findall"});
    // Under a modal screen the keys do not reach the reader.
    _ScreenMgr::Get()->OpenScreen(L"dlg_ingamemenu", L"", true, true);
    for (SDL_Keycode key : {SDLK_k, SDLK_v, SDLK_m, SDLK_w, SDLK_p})
        TypeKey(key);
    EXPECT_EQ(consoleLines.size(), 1u);
}

} // namespace
