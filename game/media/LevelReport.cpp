// Level-event reports; see LevelReport.h.
#include "game/media/LevelReport.h"

#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/time/FrameClock.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/ScriptRegistry.h"

#include <cstdio>
#include <vector>

using namespace TarnEngine;

namespace
{

struct OpenLevel
{
    int32_t number = 0;
    std::wstring name;
};

// Never destroyed: a screen torn down by another static's destructor at exit may still report
// leaving its level, after a destroyed stack would have been read.
std::vector<OpenLevel>& openLevels()
{
    static auto* levels = new std::vector<OpenLevel>;
    return *levels;
}

double reportTime()
{
    const FrameClock* clock = FrameClock::Get();
    return clock ? clock->GetScheduledSeconds() : 0.0;
}

// The innermost level's number, at least four digits; empty with no level open.
std::wstring levelNumberText()
{
    if (openLevels().empty())
        return std::wstring();
    char text[16];
    std::snprintf(text, sizeof(text), "%.4d", static_cast<int>(openLevels().back().number));
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

void setParameter(const wchar_t* key, const std::wstring& value)
{
    const wchar_t* keys[] = {key};
    const wchar_t* values[] = {value.c_str()};
    fernlinkHooks.eventDetails(keys, values, 1);
}

using ActionHook = void (*)(double, const wchar_t*, const wchar_t*, const wchar_t*, int32_t);

void reportAction(ActionHook hook, const std::wstring& name, const std::wstring& value)
{
    setParameter(L"num", levelNumberText());
    hook(reportTime(), L"p0", name.c_str(), value.c_str(), -1);
}

// The game manager's "GetLevelScore", reached through its published table; 0 without one.
int levelScore()
{
    lua_State* state = LuaBinding::GetState();
    if (!state)
        return 0;
    const int top = lua_gettop(state);
    lua_getglobal(state, "svc");
    LuaGetFieldNoCall(state, -1, "GameMgr");
    int score = 0;
    if (lua_type(state, -1) == LUA_TTABLE)
    {
        LuaGetFieldNoCall(state, -1, "GetLevelScore");
        if (lua_isfunction(state, -1))
        {
            lua_pushvalue(state, -2);
            if (LuaPCall(state, 1, 1) && lua_isnumber(state, -1))
            {
                int value = 0;
                LuaGetIntArg(state, value, -1);
                score = value;
            }
        }
    }
    lua_settop(state, top);
    return score;
}

// ---- Script functions. A text argument takes a string or a number, nil as the empty text; a
// missing argument (or a number argument that is no number) makes the call do nothing.

bool readText(lua_State* state, int index, std::wstring& out)
{
    switch (lua_type(state, index))
    {
    case LUA_TNIL:
        out.clear();
        return true;
    case LUA_TNUMBER:
    case LUA_TSTRING:
    {
        size_t length = 0;
        const char* text = lua_tolstring(state, index, &length);
        out = Utf8ToWString(std::string_view(text, length));
        return true;
    }
    default:
        return false;
    }
}

int luaEnterLevel(lua_State* state)
{
    int number = 0;
    std::wstring name;
    if (LuaGetIntArg(state, number, 1) && readText(state, 2, name))
        ReportEnterLevel(name, number);
    return 0;
}

int luaExitLevel(lua_State* state)
{
    std::wstring reason, item;
    if (readText(state, 1, reason) && readText(state, 2, item))
        ReportExitLevel(reason, item);
    return 0;
}

template <void (*Report)(const std::wstring&, const std::wstring&)> int luaAction(lua_State* state)
{
    std::wstring name, value;
    if (readText(state, 1, name) && readText(state, 2, value))
        Report(name, value);
    return 0;
}

int luaStatChanged(lua_State* state)
{
    std::wstring name;
    if (readText(state, 1, name) && lua_isnumber(state, 2))
        ReportStatChanged(name, lua_tonumber(state, 2));
    return 0;
}

} // namespace

void ReportEnterLevel(const std::wstring& name, int32_t number)
{
    openLevels().push_back({number, name});
    fernlinkHooks.enterLevel(reportTime(), levelNumberText().c_str(), openLevels().back().name.c_str());
}

void ReportExitLevel(const std::wstring& reason, const std::wstring& item)
{
    if (openLevels().empty())
        return;
    const std::wstring number = levelNumberText();
    const std::wstring name = openLevels().back().name;
    if (!item.empty())
        setParameter(L"itemnotfound", item);
    const double score = levelScore();
    fernlinkHooks.exitLevel(reportTime(), number.c_str(), name.c_str(), score, reason.c_str());
    // The score script may have run anything; pop only what is still there.
    if (!openLevels().empty())
        openLevels().pop_back();
}

void ReportGoodAction(const std::wstring& name, const std::wstring& value)
{
    reportAction(fernlinkHooks.goodAction, name, value);
}

void ReportBadAction(const std::wstring& name, const std::wstring& value)
{
    reportAction(fernlinkHooks.badAction, name, value);
}

void ReportPowerUpUsed(const std::wstring& name, const std::wstring& value)
{
    reportAction(fernlinkHooks.powerUpUsed, name, value);
}

void ReportStatChanged(const std::wstring& name, double value)
{
    setParameter(L"num", levelNumberText());
    fernlinkHooks.statChanged(reportTime(), L"p0", name.c_str(), value, -1);
}

void ReportOptionChange(const std::wstring& key, const std::wstring& value)
{
    fernlinkHooks.optionsAccepted(reportTime(), key.c_str(), value.c_str(), -1);
}

void ResetLevelReports()
{
    openLevels().clear();
}

size_t GetOpenLevelCount()
{
    return openLevels().size();
}

void RegisterLevelReportFunctions()
{
    RegisterScriptFunction("TesselEnterLevel", &luaEnterLevel);
    RegisterScriptFunction("TesselExitLevel", &luaExitLevel);
    RegisterScriptFunction("TesselGoodAction", &luaAction<&ReportGoodAction>);
    RegisterScriptFunction("TesselBadAction", &luaAction<&ReportBadAction>);
    RegisterScriptFunction("TesselPowerUpUsed", &luaAction<&ReportPowerUpUsed>);
    RegisterScriptFunction("TesselStatChanged", &luaStatChanged);
}
