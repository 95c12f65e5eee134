// The script class "Instance_Movie": creation, playback, labels and children for scripts, on top of
// the methods of "Instance_Base". Each method finds the movie behind `self` and reads its arguments
// by position; a gone movie or an unreadable argument makes it do nothing and return nothing, and
// a missing text counts as empty. Instances are handed to scripts as their tables, made on demand.
#include "engine/scene/display/movie/Instance_Movie.h"

#include "engine/scene/display/node/InstanceLuaValues.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/ui/UserInterface.h"

#include <cmath>

namespace TarnEngine
{

namespace
{

using Self = Instance_Movie;
using namespace InstanceLuaValues;

// The instance's script table, made first (of its class's own script class) when it has none.
int pushInstance(Instance_Base* instance)
{
    if (!instance)
        return 0;
    if (!instance->HasTable())
        instance->CreateLuaTable();
    return instance->PushTable() ? 1 : 0;
}

int pushHandle(const InstanceHandle& instance)
{
    return pushInstance(instance.GetInstance());
}

// The tables of the instances in order, at keys 1 to n.
int pushList(lua_State* state, const std::vector<Instance_Base*>& list)
{
    const std::vector<Instance_Base*> copy = list; // making a table runs the table's connect event
    lua_newtable(state);
    int key = 0;
    for (Instance_Base* instance : copy)
        if (pushInstance(instance))
            lua_rawseti(state, -2, ++key);
    return 1;
}

// ---- Creation.

int createInstance(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring definition, instanceName;
    if (!self || LuaGetWStringArg(state, definition, 2) + LuaGetWStringArg(state, instanceName, 3) != 2)
        return 0;
    return pushHandle(Self::CreateChild(self, definition, instanceName, nullptr));
}

int createInstanceCustom(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring definition, instanceName, className;
    if (!self || LuaGetWStringArg(state, definition, 2) + LuaGetWStringArg(state, instanceName, 3) +
                         LuaGetWStringArg(state, className, 4) !=
                     3)
        return 0;
    return pushHandle(Self::CreateInstanceByClassName(self, definition, instanceName, className));
}

int createInstanceCustomEx(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring definition, instanceName, className;
    std::string scriptClass;
    if (!self || LuaGetWStringArg(state, definition, 2) + LuaGetWStringArg(state, instanceName, 3) +
                         LuaGetWStringArg(state, className, 4) !=
                     3)
        return 0;
    const bool namedScriptClass = !lua_isnoneornil(state, 5);
    if (namedScriptClass && !LuaGetStringArg(state, scriptClass, 5))
        return 0;
    const InstanceHandle made = className.empty()
                                    ? Self::CreateChild(self, definition, instanceName, nullptr)
                                    : Self::CreateInstanceByClassName(self, definition, instanceName, className);
    Instance_Base* instance = made.GetInstance();
    if (!instance)
        return 0;
    // A table that the definition's nuggets already gave it stays.
    if (!instance->HasTable())
        instance->CreateLuaTable(namedScriptClass ? scriptClass.c_str() : nullptr);
    return pushInstance(made.GetInstance());
}

int createCloneInstance(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    Instance_Base* source = LuaGetObjectArg<Instance_Base>(state, 2);
    std::wstring newName;
    if (!self || !source || !LuaGetWStringArg(state, newName, 3))
        return 0;
    return pushHandle(Self::CloneInstance(self, source->handle, newName));
}

int createParticleEffect(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring effectName, instanceName;
    float px = 0.0f, py = 0.0f;
    if (!self || LuaGetWStringArg(state, effectName, 2) + LuaGetWStringArg(state, instanceName, 3) +
                         LuaGetFloatArg(state, px, 4) + LuaGetFloatArg(state, py, 5) !=
                     4)
        return 0;
    InstanceHandle made;
    return pushHandle(SpawnParticleEffect(effectName, self, made, instanceName, px, py));
}

int deleteAllParticles(lua_State* state)
{
    if (Self* self = GetLuaSelf<Self>(state))
        self->DeleteAllParticles();
    return 0;
}

int addAsGlobalHandler(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    UserInterface* ui = UserInterface::Get();
    if (self && ui)
        ui->AddGlobalHandler(self->handle.AsMovie());
    return 0;
}

int deleteSelf(lua_State* state)
{
    if (Self* self = GetLuaSelf<Self>(state))
        self->Delete(false);
    return 0;
}

// ---- Playback.

int getFrame(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, int32_t(self->requestedFrame)) : 0;
}

int setFrameFromLabel(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring label;
    if (!self || !LuaGetWStringArg(state, label, 2))
        return 0;
    return LuaPushBool(state, self->GotoLabel(label));
}

int findFrameFromLabel(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring label;
    if (!self || !LuaGetWStringArg(state, label, 2))
        return 0;
    uint32_t frame = 0;
    return pushNumber(state, self->LookupLabelFrame(label, frame) ? double(frame) : -1.0);
}

int findFrameFromPartialLabel(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring prefix;
    if (!self || !LuaGetWStringArg(state, prefix, 2))
        return 0;
    uint32_t frame = 0;
    return pushNumber(state, self->LookupPartialLabelFrame(prefix, frame) ? double(frame) : -1.0);
}

int setFrameFromPartialLabelRecursive(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring prefix;
    if (self && LuaGetWStringArg(state, prefix, 2))
        self->SetFrameFromPartialLabelRecursive(prefix);
    return 0;
}

int getFrameInfo(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int frame = 0;
    if (!self || !LuaGetIntArg(state, frame, 2))
        return 0;
    const std::wstring label = self->GetLabelAtFrame(uint32_t(frame));
    lua_newtable(state);
    PushWString(state, label);
    lua_setfield(state, -2, "s_label");
    return 1;
}

int getNumFrames(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, self->GetNumFrames()) : 0;
}

// Components are bytes; the word is put together unsigned, so any input wraps instead of overflowing.
int setColorARGB(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int a = 0, r = 0, g = 0, b = 0;
    if (!self || LuaGetIntArg(state, a, 2) + LuaGetIntArg(state, r, 3) + LuaGetIntArg(state, g, 4) +
                         LuaGetIntArg(state, b, 5) !=
                     4)
        return 0;
    self->SetColor(uint32_t(a) * 0x1000000u + uint32_t(r) * 0x10000u + uint32_t(g) * 0x100u + uint32_t(b));
    return 0;
}

// ---- Children.

int getChildByName(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring path;
    if (!self || !LuaGetWStringArg(state, path, 2))
        return 0;
    return pushHandle(self->FindChildByPath(path, 0));
}

int getChildByPartialName(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring prefix;
    if (!self || !LuaGetWStringArg(state, prefix, 2))
        return 0;
    return pushHandle(self->FindChildByPrefix(prefix));
}

int findChildByName(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring childName;
    if (!self || !LuaGetWStringArg(state, childName, 2))
        return 0;
    return pushHandle(self->FindChildByName(childName));
}

int getChildren(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? pushList(state, self->children) : 0;
}

int getRenderOrder(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? pushList(state, self->drawOrder) : 0;
}

int getChild(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int position = 0;
    if (!self || !LuaGetIntArg(state, position, 2) || position < 0 ||
        size_t(position) >= self->children.size())
        return 0;
    return pushInstance(self->children[size_t(position)]);
}

int getNumChildren(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return self ? pushNumber(state, double(self->children.size())) : 0;
}

} // namespace

void Instance_Movie::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Base::StaticScriptName());
    def.AddMethod("CreateInstance", &createInstance);
    def.AddMethod("CreateInstanceCustom", &createInstanceCustom);
    def.AddMethod("CreateInstanceCustomEx", &createInstanceCustomEx);
    def.AddMethod("CreateCloneInstance", &createCloneInstance);
    def.AddMethod("CreateParticleEffect", &createParticleEffect);
    def.AddMethod("DeleteAllParticles", &deleteAllParticles);
    def.AddMethod("DeleteAllParticleEmitters", &deleteAllParticles);
    def.AddMethod("AddAsGlobalHandler", &addAsGlobalHandler);
    def.AddMethod("DeleteSelf", &deleteSelf);
    def.AddMethod("SetFrame", &setInt<Self, uint32_t, &Self::SetFrame>);
    def.AddMethod("SetFrameFromLabel", &setFrameFromLabel);
    def.AddMethod("SetPlaying", &setBool<Self, &Self::SetPlaying>);
    def.AddMethod("GetPlaying", &getBool<Self, &Self::playing>);
    // A member pointer calls the virtual operation, so a class that keeps its own frames stops the recursion.
    def.AddMethod("SetPlayingRecursive", &setBool<Self, &Self::SetPlayingRecursive>);
    def.AddMethod("SetPaused", &setBool<Self, &Self::SetPaused>);
    def.AddMethod("SetPausedRecursive", &setBool<Self, &Self::SetPausedRecursive>);
    def.AddMethod("SetEatingMouse", &setBool<Self, &Self::SetEatingMouse>);
    def.AddMethod("SetReverse", &setBool<Self, &Self::SetReverse>);
    def.AddMethod("SetReverseRecursive", &setBool<Self, &Self::SetReverseRecursive>);
    def.AddMethod("SetFrozen", &setBool<Self, &Self::SetFrozen>);
    def.AddMethod("SetFrameMultiplier", &setFloat<Self, &Self::SetFrameMultiplier>);
    def.AddMethod("FindFrameFromLabel", &findFrameFromLabel);
    def.AddMethod("GetFrame", &getFrame);
    def.AddMethod("GetChildByName", &getChildByName);
    def.AddMethod("GetChildByPartialName", &getChildByPartialName);
    def.AddMethod("GetChildren", &getChildren);
    def.AddMethod("GetChild", &getChild);
    def.AddMethod("GetNumFrames", &getNumFrames);
    def.AddMethod("GetNumChildren", &getNumChildren);
    def.AddMethod("SetOnUpdateEnabled", &setBool<Self, &Self::SetOnUpdateEnabled>);
    def.AddMethod("GetOnUpdateEnabled", &getBool<Self, &Self::onUpdateEnabled>);
    def.AddMethod("GetFrameInfo", &getFrameInfo);
    def.AddMethod("FindChildByName", &findChildByName);
    def.AddMethod("FindFrameFromPartialLabel", &findFrameFromPartialLabel);
    def.AddMethod("SetFrameFromPartialLabelRecursive", &setFrameFromPartialLabelRecursive);
    def.AddMethod("GetRenderOrder", &getRenderOrder);
    def.AddMethod("SetColorARGB", &setColorARGB);
    def.AddMethod("SetTimeChannel", &setInt<Self, int32_t, &Self::SetTimeChannel>);
    def.SetConstructor(&LuaConstruct<Instance_Movie>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
