// Game sound service; see SoundMgr.h.
#include "game/media/SoundMgr.h"

#include "engine/media/sound/SoundFader.h"
#include "engine/scene/script/LuaBinding.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace TarnEngine;

const std::wstring SOUND_CLASS_SOUND = L"Sound";
const std::wstring SOUND_CLASS_MUSIC = L"Music";
const std::wstring SOUND_CLASS_AMBIENT = L"Ambient";
const std::wstring SOUND_CLASS_EFFECTS = L"Effects";
const std::wstring SOUND_CLASS_VOICE = L"Voice";

TARN_IMPLEMENT_RINSTANCECLASS(SoundMgr, LuaSubclass, RNoFactory, L"SoundMgr", &SoundMgr::RegisterLua)

namespace
{

// Fade times the fader can work with: a negative time is an immediate fade.
float fadeSeconds(float seconds)
{
    return std::isfinite(seconds) && seconds > 0.0f ? seconds : 0.0f;
}

// ---- Script methods. Each refuses silently when self is not a live service or an argument is
// missing or of the wrong type; non-finite fade times and pans are refused the same way.

bool readName(lua_State* state, int index, std::wstring& out)
{
    return lua_type(state, index) == LUA_TSTRING && LuaGetWStringArg(state, out, index) == 1;
}

bool readFinite(lua_State* state, int index, float& out)
{
    return lua_type(state, index) == LUA_TNUMBER && LuaGetFloatArg(state, out, index) == 1 && std::isfinite(out);
}

int luaPlayMusic(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    std::wstring name;
    float fade = 0.0f;
    bool flag = false;
    if (self && readName(state, 2, name) && readFinite(state, 3, fade) && LuaGetBoolArg(state, flag, 4))
        self->PlayMusic(name, fade, flag);
    return 0;
}

int luaStopMusic(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    float fade = 0.0f;
    if (self && readFinite(state, 2, fade))
        self->StopMusic(fade);
    return 0;
}

int luaPlaySound(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    std::wstring name;
    float pan = 0.0f;
    bool loop = false;
    if (self && readName(state, 2, name) && readFinite(state, 3, pan) && LuaGetBoolArg(state, loop, 4))
        self->PlaySound(name, pan, loop);
    return 0;
}

int luaStopSound(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    std::wstring name;
    if (self && readName(state, 2, name))
        self->StopSound(name);
    return 0;
}

int luaIsSoundPlaying(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    std::wstring name;
    if (!self || !readName(state, 2, name))
        return 0;
    return LuaPushBool(state, self->IsSoundPlaying(name));
}

int luaStopSoundGroup(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    std::wstring className;
    if (self && readName(state, 2, className))
        self->StopSoundGroup(className);
    return 0;
}

int luaStopAllSounds(lua_State* state)
{
    if (SoundMgr* self = GetLuaSelf<SoundMgr>(state))
        self->StopAllSounds();
    return 0;
}

int luaFadeoutSound(lua_State* state)
{
    SoundMgr* self = GetLuaSelf<SoundMgr>(state);
    std::wstring name;
    float time = 0.0f;
    if (self && readName(state, 2, name) && readFinite(state, 3, time))
        self->FadeoutSound(name, time);
    return 0;
}

int luaStopAllAmbient(lua_State* state)
{
    if (SoundMgr* self = GetLuaSelf<SoundMgr>(state))
        self->StopAmbient();
    return 0;
}

} // namespace

SoundMgr::SoundMgr() = default;

SoundMgr::~SoundMgr()
{
    // A manager that outlives the service must not call it back.
    leaveHandlers();
}

void SoundMgr::leaveHandlers()
{
    if (joined && joined == ISoundManager::Get())
    {
        auto& handlers = joined->callbackHandlers;
        handlers.erase(std::remove(handlers.begin(), handlers.end(), static_cast<IAudioCallbackHandler*>(this)),
                       handlers.end());
    }
    joined = nullptr;
}

void SoundMgr::Setup()
{
    ISoundManager* manager = ISoundManager::Get();
    if (manager && joined != manager)
    {
        leaveHandlers();
        manager->callbackHandlers.push_back(this);
        joined = manager;
    }
    if (lua_State* state = LuaBinding::GetState())
    {
        if (!HasTable())
            CreateLuaTable();
        if (PushTable())
            LuaSetGlobalPath("svc.Sound", state);
    }
    if (manager)
    {
        manager->SetClassVolume(SOUND_CLASS_MUSIC, 0.5f);
        manager->SetClassVolume(SOUND_CLASS_AMBIENT, 0.75f);
        manager->SetClassVolume(SOUND_CLASS_EFFECTS, 0.75f);
    }
}

void SoundMgr::Shutdown()
{
    ambient.Stop();
    FadeOutSound(music, 0.0f);
    leaveHandlers();
    if (lua_State* state = LuaBinding::GetState())
    {
        lua_pushnil(state);
        LuaSetGlobalPath("svc.Sound", state);
    }
}

void SoundMgr::PlayMusic(const std::wstring& name, float fadeTime, bool flag)
{
    CrossFadeSound(music, name, fadeSeconds(fadeTime), flag);
}

void SoundMgr::StopMusic(float fadeTime)
{
    FadeOutSound(music, fadeSeconds(fadeTime));
}

void SoundMgr::PlaySound(const std::wstring& name, float pan, bool loop)
{
    ISoundManager* manager = ISoundManager::Get();
    if (!manager)
        return;
    const WeakPtr<ISound> started = manager->PlaySoundWithParams(name, loop, false);
    if (ISound* sound = started.Get(); sound && std::isfinite(pan))
        sound->SetPan(pan);
}

void SoundMgr::StopSound(const std::wstring& name)
{
    if (ISoundManager* manager = ISoundManager::Get())
        if (ISound* sound = manager->FindPlayingSound(name).Get())
            sound->Stop();
}

bool SoundMgr::IsSoundPlaying(const std::wstring& name)
{
    ISoundManager* manager = ISoundManager::Get();
    return manager && manager->FindPlayingSound(name).IsAlive();
}

void SoundMgr::StopSoundGroup(const std::wstring& className)
{
    ISoundManager* manager = ISoundManager::Get();
    if (!manager)
        return;
    std::vector<WeakPtr<ISound>> playing;
    manager->GetPlayingSoundsOfClass(className, playing);
    for (const WeakPtr<ISound>& entry : playing)
        if (ISound* sound = entry.Get())
            sound->Stop();
}

void SoundMgr::StopAllSounds()
{
    if (ISoundManager* manager = ISoundManager::Get())
        manager->StopAll();
    ambient.Stop();
}

void SoundMgr::FadeoutSound(const std::wstring& name, float time)
{
    if (ISoundManager* manager = ISoundManager::Get())
        manager->FadeSound(name, fadeSeconds(time), -1.0f, 0.0f);
}

void SoundMgr::StopAmbient()
{
    if (ISoundManager* manager = ISoundManager::Get())
        manager->StopClass(SOUND_CLASS_AMBIENT);
    ambient.Stop();
}

void SoundMgr::PauseSounds(bool paused, const std::wstring& className)
{
    ISoundManager* manager = ISoundManager::Get();
    if (!manager)
        return;
    if (className.empty())
        manager->PauseAll(paused);
    else
        manager->PauseClass(className, paused);
}

void SoundMgr::SetMusicVolume(float volume)
{
    if (ISoundManager* manager = ISoundManager::Get())
    {
        manager->SetClassVolume(SOUND_CLASS_MUSIC, volume);
        manager->SetClassVolume(SOUND_CLASS_AMBIENT, volume);
        manager->SetClassVolume(SOUND_CLASS_EFFECTS, volume);
    }
}

void SoundMgr::SetSoundVolume(float volume)
{
    if (ISoundManager* manager = ISoundManager::Get())
        manager->SetClassVolume(SOUND_CLASS_SOUND, volume);
}

void SoundMgr::SetVoiceVolume(float volume)
{
    if (ISoundManager* manager = ISoundManager::Get())
        manager->SetClassVolume(SOUND_CLASS_VOICE, volume);
}

void SoundMgr::OnSoundFinished(WeakPtr<ISound> sound)
{
    ISound* ended = sound.Get();
    if (!ended)
        return;
    const std::wstring name = ended->GetName();
    const char* event = ended->GetSoundClass() == SOUND_CLASS_AMBIENT ? "OnAmbientEnded" : "OnSoundEnded";
    LuaRaiseEvent(*this, luaTable.GetState(), event, [&name](lua_State* state) { return PushWString(state, name); });
}

void SoundMgr::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("PlayMusic", &luaPlayMusic);
    def.AddMethod("StopMusic", &luaStopMusic);
    def.AddMethod("PlaySound", &luaPlaySound);
    def.AddMethod("StopSound", &luaStopSound);
    def.AddMethod("IsSoundPlaying", &luaIsSoundPlaying);
    def.AddMethod("StopSoundGroup", &luaStopSoundGroup);
    def.AddMethod("StopAllSounds", &luaStopAllSounds);
    def.AddMethod("FadeoutSound", &luaFadeoutSound);
    def.AddMethod("StopAllAmbient", &luaStopAllAmbient);
    def.Build(StaticScriptName());
}

void RegisterSoundScriptClass()
{
    SoundMgr::StaticClass();
}
