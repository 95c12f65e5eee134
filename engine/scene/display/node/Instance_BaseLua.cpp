// The script class "Instance_Base": the methods every display instance offers scripts. Each method
// finds the instance behind `self` and reads its arguments by position; a gone instance, or fewer
// arguments read than the method needs, makes it do nothing and return nothing.
#include "engine/scene/display/node/Instance_Base.h"

#include "engine/core/text/TextConversion.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/scene/display/node/InstanceLuaValues.h"
#include "engine/scene/ui/UserInterface.h"

#include <cmath>

namespace TarnEngine
{

namespace
{

using Self = Instance_Base;
using namespace InstanceLuaValues;

// Colours are 0xAARRGGBB words; scripts write them as numbers up to 2^32, which do not fit an int.
int getColourArg(lua_State* state, uint32_t& out, int index)
{
    if (!lua_isnumber(state, index))
        return 0;
    const double value = std::trunc(lua_tonumber(state, index));
    if (!std::isfinite(value))
    {
        out = 0;
        return 1;
    }
    double wrapped = std::fmod(value, 4294967296.0);
    if (wrapped < 0)
        wrapped += 4294967296.0;
    out = uint32_t(wrapped);
    return 1;
}

// ---- Getters and setters of one value.

int getMaterial(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, self->material) : 0;
}

int setColor(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int r = 0, g = 0, b = 0;
    if (!self || LuaGetIntArg(state, r, 2) + LuaGetIntArg(state, g, 3) + LuaGetIntArg(state, b, 4) != 3)
        return 0;
    const auto byte = [](int value) { return uint32_t(value) & 0xFF; };
    self->SetColor((byte(r) << 16) | (byte(g) << 8) | byte(b));
    return 0;
}

// GlobalToLocal and LocalToGlobal of one coordinate, the other being 0. A point that cannot be
// taken into the instance's space comes back unchanged.
template <bool Global, bool Y> int convert(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float value = 0.0f;
    if (!self || !LuaGetFloatArg(state, value, 2))
        return 0;
    float px = Y ? 0.0f : value, py = Y ? value : 0.0f;
    if (Global)
        self->LocalToGlobal(px, py);
    else
        self->GlobalToLocal(px, py);
    return pushNumber(state, Y ? py : px);
}

int getWidth(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, self->ComputeWidth(true)) : 0;
}

int getHeight(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, self->ComputeHeight(true)) : 0;
}

// ---- Canvas. Every method makes the canvas on first use.

IRenderCanvas* selfCanvas(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? self->GetCanvas(true) : nullptr;
}

int canvasClear(lua_State* state)
{
    if (IRenderCanvas* canvas = selfCanvas(state))
        canvas->Clear();
    return 0;
}

int canvasIsClear(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    return canvas ? LuaPushBool(state, canvas->IsClear()) : 0;
}

int canvasSetClearOnRender(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    bool value = false;
    if (canvas && LuaGetBoolArg(state, value, 2))
        canvas->SetClearOnRender(value);
    return 0;
}

int canvasGetClearOnRender(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    return canvas ? LuaPushBool(state, canvas->GetClearOnRender()) : 0;
}

int canvasSetVisible(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    bool value = false;
    if (canvas && LuaGetBoolArg(state, value, 2))
        canvas->SetVisible(value);
    return 0;
}

int canvasGetVisible(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    return canvas ? LuaPushBool(state, canvas->GetVisible()) : 0;
}

int canvasDrawLine(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    SpritePoint a, b;
    uint32_t colour = 0;
    if (canvas && LuaGetFloatArg(state, a.x, 2) + LuaGetFloatArg(state, a.y, 3) +
                          LuaGetFloatArg(state, b.x, 4) + LuaGetFloatArg(state, b.y, 5) +
                          getColourArg(state, colour, 6) ==
                      5)
        canvas->DrawLine(a, b, colour);
    return 0;
}

template <bool Filled> int canvasDrawTriangle(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    SpritePoint p[3];
    uint32_t colour = 0;
    int read = 0;
    for (int i = 0; i < 3; ++i)
        read += LuaGetFloatArg(state, p[i].x, 2 + 2 * i) + LuaGetFloatArg(state, p[i].y, 3 + 2 * i);
    if (canvas && read + getColourArg(state, colour, 8) == 7)
        canvas->DrawTriangle(p[0], p[1], p[2], colour, Filled);
    return 0;
}

template <bool Filled> int canvasDrawRect(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    SpritePoint a, b;
    uint32_t colour = 0;
    if (canvas && LuaGetFloatArg(state, a.x, 2) + LuaGetFloatArg(state, a.y, 3) +
                          LuaGetFloatArg(state, b.x, 4) + LuaGetFloatArg(state, b.y, 5) +
                          getColourArg(state, colour, 6) ==
                      5)
        canvas->DrawRect(a, b, colour, Filled);
    return 0;
}

template <bool Filled> int canvasDrawCircle(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    SpritePoint centre;
    float radius = 0.0f;
    uint32_t colour = 0;
    int segments = 0;
    if (canvas && LuaGetFloatArg(state, centre.x, 2) + LuaGetFloatArg(state, centre.y, 3) +
                          LuaGetFloatArg(state, radius, 4) + getColourArg(state, colour, 5) +
                          LuaGetIntArg(state, segments, 6) ==
                      5)
        canvas->DrawCircle(centre, radius, colour, Filled, segments < 0 ? 0u : uint32_t(segments));
    return 0;
}

int canvasDrawTextLine(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    SpritePoint position;
    int size = 0;
    uint32_t colour = 0;
    std::string text;
    if (canvas && LuaGetFloatArg(state, position.x, 2) + LuaGetFloatArg(state, position.y, 3) +
                          LuaGetIntArg(state, size, 4) + getColourArg(state, colour, 5) +
                          LuaGetStringArg(state, text, 6) ==
                      5)
        canvas->DrawPlainTextLine(position, uint32_t(size), colour, Utf8ToWString(text));
    return 0;
}

int canvasSetRenderPass(lua_State* state)
{
    IRenderCanvas* canvas = selfCanvas(state);
    int pass = 0;
    if (canvas && LuaGetIntArg(state, pass, 2))
        canvas->SetRenderPass(uint32_t(pass));
    return 0;
}

// ---- Order, masks, tree.

template <void (Self::*Move)()> int move(lua_State* state)
{
    if (Self* self = GetLuaSelf<Self>(state))
        (self->*Move)();
    return 0;
}

template <void (Self::*Move)(Self*)> int moveNextTo(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    Self* other = LuaGetObjectArg<Self>(state, 2);
    if (self && other)
        (self->*Move)(other);
    return 0;
}

int setIsBookmarked(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    bool on = false;
    UserInterface* ui = UserInterface::Get();
    if (self && ui && LuaGetBoolArg(state, on, 2))
        ui->SetBookmarked(self->handle, on);
    return 0;
}

int getParent(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    if (!PushInstanceTable(self->parent.GetInstance()))
        lua_pushnil(state);
    return 1;
}

int getInstanceInfo(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    lua_newtable(state);
    PushWString(state, self->name);
    lua_setfield(state, -2, "s_name");
    PushWString(state, self->definitionName);
    lua_setfield(state, -2, "s_definition");
    return 1;
}

int getMousePosition(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    float px = 0.0f, py = 0.0f;
    self->GetLocalMousePosition(px, py);
    lua_newtable(state);
    lua_pushnumber(state, px);
    lua_setfield(state, -2, "x");
    lua_pushnumber(state, py);
    lua_setfield(state, -2, "y");
    return 1;
}

int getType(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, self->type) : 0;
}

int getBounds(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    float left, top, right, bottom;
    self->GetBounds(left, top, right, bottom, true);
    lua_newtable(state);
    const std::pair<const char*, float> fields[] = {
        {"left", left}, {"top", top}, {"right", right}, {"bottom", bottom}};
    for (const auto& [key, value] : fields)
    {
        lua_pushnumber(state, value);
        lua_setfield(state, -2, key);
    }
    return 1;
}

int getName(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? PushWString(state, self->name) : 0;
}

// Gives the instance's table the type metatable registered under the name; a name that no class
// was built under leaves the table as it is rather than stripping its methods.
int setSubclass(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::string typeName;
    if (!self || !LuaGetStringArg(state, typeName, 2) || !self->PushTable())
        return 0;
    if (LuaPushTypeMetatable(state, typeName.c_str(), false))
        lua_setmetatable(state, -2);
    lua_pop(state, 1);
    return 0;
}

int deleteInstance(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    bool clearHandlers = false;
    if (self && LuaGetBoolArg(state, clearHandlers, 2))
        self->Delete(clearHandlers);
    return 0;
}

// The hit movies' tables from index 0 on, in list order.
int hitTest(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float px = 0.0f, py = 0.0f;
    bool acceptOwnBounds = false, inputOnly = false;
    if (!self || LuaGetFloatArg(state, px, 2) + LuaGetFloatArg(state, py, 3) +
                         LuaGetBoolArg(state, acceptOwnBounds, 4) + LuaGetBoolArg(state, inputOnly, 5) !=
                     4)
        return 0;
    std::vector<InstanceHandle> hits;
    self->HitTestAtGlobal(px, py, acceptOwnBounds, inputOnly, &hits);
    lua_newtable(state);
    int key = 0;
    for (const InstanceHandle& hit : hits)
    {
        if (!PushInstanceTable(hit.GetInstance()))
            continue;
        lua_rawseti(state, -2, key++);
    }
    return 1;
}

} // namespace

void Instance_Base::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("SetMaterial", &setInt<Self, uint32_t, &Self::SetMaterial>);
    def.AddMethod("GetMaterial", &getMaterial);
    def.AddMethod("SetInputEnabled", &setBool<Self, &Self::SetInputEnabled>);
    def.AddMethod("SetOpacity", &setFloat<Self, &Self::SetOpacity>);
    def.AddMethod("GetOpacity", &getFloat<Self, &Self::opacity>);
    def.AddMethod("SetColor", &setColor);
    def.AddMethod("SetPosition", &setTwoFloats<Self, &Self::SetPosition>);
    def.AddMethod("SetX", &setFloat<Self, &Self::SetX>);
    def.AddMethod("SetY", &setFloat<Self, &Self::SetY>);
    def.AddMethod("GetX", &getFloat<Self, &Self::x>);
    def.AddMethod("GetY", &getFloat<Self, &Self::y>);
    def.AddMethod("GlobalToLocalX", &convert<false, false>);
    def.AddMethod("GlobalToLocalY", &convert<false, true>);
    def.AddMethod("LocalToGlobalX", &convert<true, false>);
    def.AddMethod("LocalToGlobalY", &convert<true, true>);
    def.AddMethod("GetWidth", &getWidth);
    def.AddMethod("GetHeight", &getHeight);
    def.AddMethod("GetVisible", &getBool<Self, &Self::visible>);
    def.AddMethod("SetRegistrationPoint", &setTwoFloats<Self, &Self::SetRegistrationPoint>);
    def.AddMethod("SetRotation", &setFloat<Self, &Self::SetRotation>);
    def.AddMethod("GetRotation", &getFloat<Self, &Self::rotation>);
    def.AddMethod("SetScale", &setTwoFloats<Self, &Self::SetScale>);
    def.AddMethod("SetScaleX", &setFloat<Self, &Self::SetScaleX>);
    def.AddMethod("SetScaleY", &setFloat<Self, &Self::SetScaleY>);
    def.AddMethod("GetScaleX", &getFloat<Self, &Self::scaleX>);
    def.AddMethod("GetScaleY", &getFloat<Self, &Self::scaleY>);
    def.AddMethod("SetVisible", &setBool<Self, &Self::SetVisible>);
    def.AddMethod("CanvasClear", &canvasClear);
    def.AddMethod("CanvasIsClear", &canvasIsClear);
    def.AddMethod("CanvasSetClearOnRender", &canvasSetClearOnRender);
    def.AddMethod("CanvasGetClearOnRender", &canvasGetClearOnRender);
    def.AddMethod("CanvasSetVisible", &canvasSetVisible);
    def.AddMethod("CanvasGetVisible", &canvasGetVisible);
    def.AddMethod("CanvasDrawLine", &canvasDrawLine);
    def.AddMethod("CanvasDrawTriangle", &canvasDrawTriangle<false>);
    def.AddMethod("CanvasDrawTriangleFilled", &canvasDrawTriangle<true>);
    def.AddMethod("CanvasDrawRect", &canvasDrawRect<false>);
    def.AddMethod("CanvasDrawRectFilled", &canvasDrawRect<true>);
    def.AddMethod("CanvasDrawCircle", &canvasDrawCircle<false>);
    def.AddMethod("CanvasDrawCircleFilled", &canvasDrawCircle<true>);
    def.AddMethod("CanvasDrawTextLine", &canvasDrawTextLine);
    def.AddMethod("CanvasSetRenderPass", &canvasSetRenderPass);
    def.AddMethod("MoveToFront", &move<&Self::MoveToFront>);
    def.AddMethod("MoveToBack", &move<&Self::MoveToBack>);
    def.AddMethod("ToggleMaskBase", &setBool<Self, &Self::ToggleMaskBase>);
    def.AddMethod("ToggleMaskIn", &setBool<Self, &Self::ToggleMaskIn>);
    def.AddMethod("ToggleMaskOut", &setBool<Self, &Self::ToggleMaskOut>);
    def.AddMethod("ToggleMaskClear", &setBool<Self, &Self::ToggleMaskClear>);
    def.AddMethod("SetAllowFiltering", &setBool<Self, &Self::SetAllowFiltering>);
    def.AddMethod("SetIsBookmarked", &setIsBookmarked);
    def.AddMethod("GetParent", &getParent);
    def.AddMethod("GetInstanceInfo", &getInstanceInfo);
    def.AddMethod("MoveInFrontOf", &moveNextTo<&Self::MoveInFrontOf>);
    def.AddMethod("MoveBehind", &moveNextTo<&Self::MoveBehind>);
    def.AddMethod("GetMousePosition", &getMousePosition);
    def.AddMethod("GetType", &getType);
    def.AddMethod("GetBounds", &getBounds);
    def.AddMethod("GetName", &getName);
    def.AddMethod("SetSubclass", &setSubclass);
    def.AddMethod("Delete", &deleteInstance);
    def.AddMethod("HitTest", &hitTest);
    def.SetConstructor(&LuaConstruct<Instance_Base>);
    def.Build(StaticScriptName());
}

bool PushInstanceTable(Instance_Base* instance)
{
    if (!instance)
        return false;
    if (!instance->HasTable())
        instance->CreateLuaTable();
    return instance->PushTable();
}

} // namespace TarnEngine
