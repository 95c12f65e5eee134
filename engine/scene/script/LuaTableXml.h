// Script tables kept in XML: the scripts hold their persistent state (the
// player's progress) in plain Lua tables, which the engine stores in the
// profile document and reads back. Each stored pair is one "__value" element
// with "keytype", "key", "valuetype" and "value" attributes; a nested table is
// a "__table" element inside its "__value". Numbers and strings keep their
// exact value through the file, and neither a hostile file nor an odd table
// (one that holds itself, or nests without end) can crash the game: both walks
// are bounded and run protected.
//
// Depends on the engine's XML tree and text conversions and on a plain Lua
// state; the held-reference forms of the binding wrap these stack forms.
#pragma once

#include "engine/scene/script/LuaReference.h"

#include <string>

struct lua_State;

namespace TarnEngine
{

class XmlNode;

// Tables nested deeper than this (the table given is level 1) are neither
// written nor read: the profile file stays well inside the parser's nesting
// limit, so whatever is written can be read back.
inline constexpr int kLuaTableXmlMaxDepth = 200;

// At most this many pairs are written in one call. Tables shared along many
// paths are written once per path, so a few dozen levels of them would
// otherwise make a save that never ends. A profile holds some thousands.
inline constexpr unsigned kLuaTableXmlMaxEntries = 250000;

// Writes the table at the stack index as an element named fieldName appended
// to parent. Pairs whose key is not a number or string, or whose value is not
// a boolean, number, string or table, are left out, as is a table met again
// inside itself, a table nested too deep and every pair past the limit. Nothing is written, and false
// returned, when the value is not a table. The stack is left as it was.
bool SerializeLuaTable(lua_State* state, int index, const std::wstring& fieldName, XmlNode& parent);

// Reads the first child of parent named fieldName into the table at the stack
// index (a stack slot, not a pseudo-index). The read merges: keys the XML does
// not mention keep their values, and nested tables that exist are filled in
// place. When the slot holds no table, a new table is made, filled and put in
// the slot. A missing element reads as nothing. False only when the read
// failed (a script metamethod raised an error; logged), with the table
// possibly filled in part.
bool DeserializeLuaTable(lua_State* state, int index, const std::wstring& fieldName, const XmlNode& parent);

// The forms the game uses, on a held table. Saving does nothing (false) when
// the reference holds no table. Reading into a reference that holds none
// first gives it a new empty table in the script manager's state.
bool SerializeLuaTable(const LuaStrongTable& table, const std::wstring& fieldName, XmlNode& parent);
bool DeserializeLuaTable(LuaStrongTable& table, const std::wstring& fieldName, const XmlNode& parent);

} // namespace TarnEngine
