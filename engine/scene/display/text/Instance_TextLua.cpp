// The script class "Instance_Text": the text methods that both kinds of text offer besides those of
// "Instance_Base". A gone instance or missing arguments make a method do nothing and return
// nothing.
#include "engine/scene/display/text/Instance_Text.h"

#include "engine/core/text/TextConversion.h"
#include "engine/scene/display/node/InstanceLuaValues.h"

namespace TarnEngine
{

namespace
{

using Self = Instance_Text;

int setColor(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int r = 0, g = 0, b = 0;
    if (!self || LuaGetIntArg(state, r, 2) + LuaGetIntArg(state, g, 3) + LuaGetIntArg(state, b, 4) != 3)
        return 0;
    self->SetColor(uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b));
    return 0;
}

// Face names come in the system code page, as the content's font names are written.
int setFont(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::string face;
    int size = 0;
    bool bold = false, italic = false;
    if (!self || LuaGetStringArg(state, face, 2) + LuaGetIntArg(state, size, 3) + LuaGetBoolArg(state, bold, 4) +
                         LuaGetBoolArg(state, italic, 5) !=
                     4)
        return 0;
    self->SetFont(FontDesc(AnsiToWString(face), size, bold, italic));
    return 0;
}

int setText(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring text;
    if (self && LuaGetWStringArg(state, text, 2))
        self->SetText(text);
    return 0;
}

int getText(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? PushWString(state, self->text) : 0;
}

template <bool Height> int getRenderExtent(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    const MeasuredSize size = self->GetTextRenderSize();
    lua_pushnumber(state, Height ? size.height : size.width);
    return 1;
}

// The size another text would take; the instance's own rendering is left alone.
int getTextRenderSize(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring text;
    if (!self || !LuaGetWStringArg(state, text, 2))
        return 0;
    const MeasuredSize size = self->MeasureText(text);
    lua_newtable(state);
    lua_pushnumber(state, size.width);
    lua_setfield(state, -2, "x");
    lua_pushnumber(state, size.height);
    lua_setfield(state, -2, "y");
    return 1;
}

} // namespace

void Instance_Text::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Base::StaticScriptName());
    def.AddMethod("SetColor", &setColor);
    def.AddMethod("SetFont", &setFont);
    def.AddMethod("SetText", &setText);
    def.AddMethod("GetText", &getText);
    def.AddMethod("SetWidth", &InstanceLuaValues::setInt<Self, int32_t, &Self::SetWidth>);
    def.AddMethod("SetHeight", &InstanceLuaValues::setInt<Self, int32_t, &Self::SetHeight>);
    def.AddMethod("GetTextRenderWidth", &getRenderExtent<false>);
    def.AddMethod("GetTextRenderHeight", &getRenderExtent<true>);
    def.AddMethod("GetTextRenderSize", &getTextRenderSize);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
