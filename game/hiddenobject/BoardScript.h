// The board's calls into the level scripts: game events through the global "__OnEvent", tuning
// values through "__QueryGameSetting", and the optional script methods of an object's table. Each
// global is fetched at every call and called protected; a missing one is no error.
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

// The setting's number from "__QueryGameSetting"(name), or the default when the function is
// missing, fails or gives no number. A number that is not finite (or, for the integer form, lies
// outside the integer range) gives the default too: converting it would be undefined.
float QueryGameSettingFloat(const char* name, float defaultValue);
int32_t QueryGameSettingInt(const char* name, int32_t defaultValue);

// Pushes the instance's script table, making it first when the instance has none; false (nothing
// pushed) without a script state.
bool PushInstanceTable(TarnEngine::Instance_Base* instance);

} // namespace BoardScript
