// Objects that keep their state in an XML element member by member: the
// game's items and levels store what the player did in the profile file this
// way. A class lists its members once (DescribeMembers), by name and kind, and
// Save and Load walk that list:
// - a scalar (text, signed or unsigned 32-bit integer, boolean) is a child
//   element named after the member with the attributes "value" (left out when
//   empty) and "type" ("String", "int", "uint" or "bool"; numbers and booleans
//   written in decimal);
// - a vector is an element named after the member whose children, named after
//   the member with the index appended from 0 ("%s%d"), are scalars;
// - a script table is written in the engine's Lua-table-in-XML form.
// Reading finds each member by name, ignoring case. The file is untrusted: a
// value that does not read as the member's kind leaves the member as it was,
// and vectors are read up to a bounded length.
//
// Depends on the engine's XML tree and the script-table form of LuaTableXml.
#pragma once

#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaReference.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TarnEngine
{

class XmlNode;

// The members of one object, each a name and a pointer into the object.
class SerialMembers
{
public:
    enum class Kind
    {
        Text,
        Int,
        UInt,
        Bool,
        TextVector,
        IntVector,
        UIntVector,
        BoolVector,
        Table,
    };
    struct Member
    {
        std::wstring name;
        Kind kind;
        void* value;
    };

    void Add(const wchar_t* name, std::wstring& value) { add(name, Kind::Text, &value); }
    void Add(const wchar_t* name, int32_t& value) { add(name, Kind::Int, &value); }
    void Add(const wchar_t* name, uint32_t& value) { add(name, Kind::UInt, &value); }
    void Add(const wchar_t* name, bool& value) { add(name, Kind::Bool, &value); }
    void Add(const wchar_t* name, std::vector<std::wstring>& value) { add(name, Kind::TextVector, &value); }
    void Add(const wchar_t* name, std::vector<int32_t>& value) { add(name, Kind::IntVector, &value); }
    void Add(const wchar_t* name, std::vector<uint32_t>& value) { add(name, Kind::UIntVector, &value); }
    void Add(const wchar_t* name, std::vector<bool>& value) { add(name, Kind::BoolVector, &value); }
    void Add(const wchar_t* name, LuaStrongTable& value) { add(name, Kind::Table, &value); }

    const std::vector<Member>& GetMembers() const { return members; }

private:
    void add(const wchar_t* name, Kind kind, void* value)
    {
        if (name && value)
            members.push_back({name, kind, value});
    }
    std::vector<Member> members;
};

class SerialXMLClass : public RObject
{
    TARN_RCLASS(SerialXMLClass)
public:
    // Vectors longer than this are read only this far.
    static constexpr size_t MaxVectorLength = 65536;

    // Appends one child per member to the node; false when a member could not be written (a
    // script table that is not set).
    virtual bool Save(XmlNode& node);
    // Reads every member the node has; a missing member keeps its value. False when a member
    // that is present did not read whole.
    virtual bool Load(const XmlNode& node);

protected:
    // Lists the members to keep; called by Save and Load.
    virtual void DescribeMembers(SerialMembers& members) { (void)members; }
};

} // namespace TarnEngine
