// The script class "MultipleVideo"; see MultipleVideo.h.
#include "engine/core/text/TextConversion.h"
#include "engine/scene/display/image/MultipleVideo.h"
#include "engine/scene/display/node/Instance_Base.h"

namespace TarnEngine
{

namespace
{

// self:AddVideoEntry(video, alpha, sound, order, repeatCount, delay): all six are needed.
int addVideoEntry(lua_State* state)
{
    MultipleVideo* self = GetLuaSelf<MultipleVideo>(state);
    if (!self)
        return 0;
    std::string video;
    std::string alpha;
    std::string sound;
    int order = 0;
    int repeatCount = 0;
    float delay = 0.0f;
    if (LuaGetStringArg(state, video, 2) + LuaGetStringArg(state, alpha, 3) + LuaGetStringArg(state, sound, 4) +
            LuaGetIntArg(state, order, 5) + LuaGetIntArg(state, repeatCount, 6) + LuaGetFloatArg(state, delay, 7) !=
        6)
        return 0;
    self->AddVideoEntry(Utf8ToWString(video), Utf8ToWString(alpha), Utf8ToWString(sound), uint32_t(order),
                        uint32_t(repeatCount), delay);
    return 0;
}

// self:SetImage(image)
int setImage(lua_State* state)
{
    MultipleVideo* self = GetLuaSelf<MultipleVideo>(state);
    if (!self)
        return 0;
    if (Instance_Base* image = LuaGetObjectArg<Instance_Base>(state, 2))
        self->SetImage(image);
    return 0;
}

// self:Play(loop, delay) -> whether the list started.
int play(lua_State* state)
{
    MultipleVideo* self = GetLuaSelf<MultipleVideo>(state);
    if (!self)
        return 0;
    bool loop = false;
    float delay = 0.0f;
    if (LuaGetBoolArg(state, loop, 2) + LuaGetFloatArg(state, delay, 3) != 2)
        return 0;
    return LuaPushBool(state, self->Open(loop, delay));
}

} // namespace

void MultipleVideo::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaBaseClass::StaticScriptName());
    def.AddMethod("AddVideoEntry", &addVideoEntry);
    def.AddMethod("SetImage", &setImage);
    def.AddMethod("Play", &play);
    def.SetConstructor(&LuaConstruct<MultipleVideo>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
