// The console as scripts see it: the script class "Console" (run-time class "Console") and its one
// object, published as the global "g_Console". The console itself lives in the core, below the
// script binding, so this object stands for it: the script manager makes one for each console that
// runs through it and drops it when the console goes, after which its methods do nothing.
//
// Methods: "RegisterConsoleFunction"(self, name, table, parameter count) registers a console
// function written in script (the table's "HandleConsoleFunction" runs it) and returns whether it
// was registered; "UnregisterConsoleFunction"(self, name) removes a console function.
#pragma once

#include "engine/scene/script/LuaBaseSubclass.h"

namespace TarnEngine
{

class Console;

class LuaConsole final : public LuaSubclass
{
    TARN_RCLASS(LuaConsole)
    TARN_LUA_CLASS("Console")
public:
    explicit LuaConsole(Console* console = nullptr) : console(console) {}

    Console* GetConsole() const { return console; }

    static void RegisterLua(lua_State* state);

private:
    Console* console;
};

} // namespace TarnEngine
