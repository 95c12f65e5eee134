// The small script conventions every game class shares: raising a script
// event through the global "__OnEvent", asking the scripts for a tuning value
// through "__QueryGameSetting", and calling an optional method of a script
// table with a fixed default for when it is missing, fails or answers with
// the wrong type. Numbers from scripts are untrusted: nothing here turns one
// into an integer without a range check.
#pragma once

#include "engine/scene/script/LuaObject.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

// One argument of a script event.
struct ScriptArg
{
    enum class Kind
    {
        Number,
        Bool,
        String,
    };
    ScriptArg(double number) : kind(Kind::Number), number(number) {}
    ScriptArg(int number) : kind(Kind::Number), number(number) {}
    ScriptArg(float number) : kind(Kind::Number), number(number) {}
    ScriptArg(bool flag) : kind(Kind::Bool), flag(flag) {}
    ScriptArg(const char* text) : kind(Kind::String), text(text ? text : "") {}
    ScriptArg(const std::wstring& text);

    Kind kind;
    double number = 0.0;
    bool flag = false;
    std::string text; // UTF-8
};

// Calls the global "__OnEvent" (fetched afresh) with the name and the
// arguments, protected; nothing when it is not a function. True when it ran.
bool RaiseScriptEvent(const char* name, std::initializer_list<ScriptArg> args = {});

// The number "__QueryGameSetting"(name) gives, or the default when the
// function is missing, fails, gives no number or a number that is not finite.
double QueryGameSetting(const char* name, double defaultValue);
// The same as an integer: the default also for a fraction or a number
// outside [minValue, maxValue].
int32_t QueryGameSettingInt(const char* name, int32_t defaultValue, int32_t minValue, int32_t maxValue);

// A whole number in [minValue, maxValue] or nothing: NaN, infinities,
// fractions and numbers out of range give nothing.
std::optional<int64_t> CheckedInteger(double value, int64_t minValue, int64_t maxValue);

// Optional methods of an object's script table, called with the table as
// self (and the given text, for the string form). The result is used only
// when it is of the asked type; otherwise the default.
bool HasScriptMethod(const TarnEngine::ILuaObject& object, const char* name);
// True when the method exists and ran without error.
bool CallScriptMethod(const TarnEngine::ILuaObject& object, const char* name);
bool CallScriptMethodWithText(const TarnEngine::ILuaObject& object, const char* name, const std::string& text);
// The number the method returned, or nothing (missing, failed, not a number).
std::optional<double> CallScriptMethodNumber(const TarnEngine::ILuaObject& object, const char* name);
std::wstring CallScriptMethodString(const TarnEngine::ILuaObject& object, const char* name,
                                    const std::wstring& defaultValue);
bool CallScriptMethodBool(const TarnEngine::ILuaObject& object, const char* name, bool defaultValue);
