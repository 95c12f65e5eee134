// The script class "Instance_Image": the image's own methods besides those of "Instance_Base". As
// there, a gone instance or missing arguments make a method do nothing and return nothing.
#include "engine/scene/display/image/Instance_Image.h"

namespace TarnEngine
{

namespace
{

using Self = Instance_Image;

// The alpha argument is read like the others and then dropped by SetColor: only opacity gives the
// vertex alpha.
int setColorARGB(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int a = 0, r = 0, g = 0, b = 0;
    if (!self || LuaGetIntArg(state, a, 2) + LuaGetIntArg(state, r, 3) + LuaGetIntArg(state, g, 4) +
                         LuaGetIntArg(state, b, 5) !=
                     4)
        return 0;
    const uint32_t argb = ((uint32_t(a) * 256u + uint32_t(r)) * 256u + uint32_t(g)) * 256u + uint32_t(b);
    self->SetColor(argb);
    return 0;
}

// An identity of the instance for scripts that compare images: the serial of its handle (0 while
// it has none).
int getSelf(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, self->handle.serial);
    return 1;
}

} // namespace

void Instance_Image::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Base::StaticScriptName());
    def.AddMethod("SetColorARGB", &setColorARGB);
    def.AddMethod("GetSelf", &getSelf);
    def.SetConstructor(&LuaConstruct<Instance_Image>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
