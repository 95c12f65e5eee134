// Script methods that set or read one value of the instance behind `self`, for the script classes
// of the display instances. Self is the class the method is registered on: `self` must be one, so
// a method of a derived class stays a no-op on an instance of the base. A gone instance, or an
// argument that cannot be read, makes a setter do nothing and a getter return nothing.
#pragma once

#include "engine/scene/script/LuaObject.h"

namespace TarnEngine::InstanceLuaValues
{

inline int pushNumber(lua_State* state, double value)
{
    lua_pushnumber(state, value);
    return 1;
}

template <class Self, void (Self::*Set)(float)> int setFloat(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float value = 0.0f;
    if (self && LuaGetFloatArg(state, value, 2))
        (self->*Set)(value);
    return 0;
}

template <class Self, void (Self::*Set)(float, float)> int setTwoFloats(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float a = 0.0f, b = 0.0f;
    if (self && LuaGetFloatArg(state, a, 2) + LuaGetFloatArg(state, b, 3) == 2)
        (self->*Set)(a, b);
    return 0;
}

template <class Self, void (Self::*Set)(bool)> int setBool(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    bool value = false;
    if (self && LuaGetBoolArg(state, value, 2))
        (self->*Set)(value);
    return 0;
}

// The script's integer as the setter's type: an unsigned one takes a negative number's bit pattern.
template <class Self, class Value, void (Self::*Set)(Value)> int setInt(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int value = 0;
    if (self && LuaGetIntArg(state, value, 2))
        (self->*Set)(Value(value));
    return 0;
}

template <class Self, float Self::*Field> int getFloat(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, self->*Field) : 0;
}

template <class Self, bool Self::*Field> int getBool(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? LuaPushBool(state, self->*Field) : 0;
}

} // namespace TarnEngine::InstanceLuaValues
