// The board's calls into the level scripts: game events through the global "__OnEvent" (with an
// item's table as argument, which the game's own event helper cannot pass) and tuning values
// through "__QueryGameSetting". Each global is fetched at every call and called protected; a
// missing one is no error.
#pragma once

#include <cstdint>
#include <string>

namespace TarnEngine
{
class Instance_Base;
}

namespace BoardScript
{

// Calls "__OnEvent"(name) or "__OnEvent"(name, instance's table) when it is a function.
void RaiseGameEvent(const char* eventName, TarnEngine::Instance_Base* argument = nullptr);

// The setting's number from "__QueryGameSetting"(name) through the game's QueryGameSetting, or the
// default when the function is missing, fails or gives no number. A number that is not finite (or,
// for the integer form, lies outside the integer range) gives the default too: converting it would
// be undefined. A fraction is cut toward zero for the integer form.
float QueryGameSettingFloat(const char* name, float defaultValue);
int32_t QueryGameSettingInt(const char* name, int32_t defaultValue);

// Pushes the instance's script table, making it first when the instance has none; false (nothing
// pushed) without a script state.
bool PushInstanceTable(TarnEngine::Instance_Base* instance);

} // namespace BoardScript
