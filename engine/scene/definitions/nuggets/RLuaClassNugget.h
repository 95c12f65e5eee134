// The Lua-class nugget: gives every instance of a definition its Lua table, either as a table of a
// script class or as the table that a piece of script text builds, and hands the instance a table
// of parameters through its method "OnLuaNuggetApply". Both texts hold the inside of a table
// constructor ("key = value, ..."); each is compiled once per nugget and run once per instance, so
// every instance gets tables of its own.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/scene/definitions/nuggets/RNuggetBase.h"
#include "engine/scene/script/LuaReference.h"

#include <string>

namespace TarnEngine
{

class RLuaClassNugget : public RNuggetBase
{
    TARN_RCLASS(RLuaClassNugget)
public:
    bool Load(const XmlNode& element) override;
    void Apply(Instance_Base* instance) override;

    std::string GetLuaClassName() const { return className; }

    std::string className;
    std::string parameters;
    std::string scriptText;

private:
    // One text compiled into the script state: the function that returns the table, or a failure
    // already reported. Made again when the script state is a new one.
    struct CompiledTable
    {
        RefPtr<ReferenceHolder<_LuaStrongRef>> function;
        lua_State* state = nullptr;
        uint32_t generation = 0;
        bool failed = false;
    };

    // Runs the compiled text and leaves a strong reference to the table it returns in `table`;
    // false (table unset) when the text does not compile or fails.
    static bool makeTable(lua_State* state, CompiledTable& compiled, const std::string& text, LuaStrongTable& table);

    CompiledTable compiledScript;
    CompiledTable compiledParameters;
};

} // namespace TarnEngine
