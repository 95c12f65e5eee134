// The sample's sound service; see SampleSound.h.
#include "app/SampleSound.h"

#include "engine/media/sound/SoundFader.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaObject.h"

#include <algorithm>

using namespace TarnEngine;

TARN_IMPLEMENT_RCLASS(SampleSound, LuaSubclass, RNoFactory)

namespace
{

SampleSound* g_sound = nullptr;

const wchar_t* const kMusicClasses[] = {L"Music", L"Ambient", L"Effects"};

// PlayMusic(name, fade seconds, rewind)
int playMusic(lua_State* state)
{
    SampleSound* self = GetLuaSelf<SampleSound>(state);
    std::wstring name;
    float seconds = 0.0f;
    bool rewind = false;
    if (self && LuaGetWStringArg(state, name, 2) + LuaGetFloatArg(state, seconds, 3) + LuaGetBoolArg(state, rewind, 4) ==
                    3)
        self->PlayMusic(name, seconds, rewind);
    return 0;
}

// StopMusic(fade seconds)
int stopMusic(lua_State* state)
{
    SampleSound* self = GetLuaSelf<SampleSound>(state);
    float seconds = 0.0f;
    if (self && LuaGetFloatArg(state, seconds, 2))
        self->StopMusic(seconds);
    return 0;
}

// PlaySound(name, pan, loop)
int playSound(lua_State* state)
{
    SampleSound* self = GetLuaSelf<SampleSound>(state);
    std::wstring name;
    float pan = 0.0f;
    bool loop = false;
    if (self && LuaGetWStringArg(state, name, 2) + LuaGetFloatArg(state, pan, 3) + LuaGetBoolArg(state, loop, 4) == 3)
        self->PlaySound(name, pan, loop);
    return 0;
}

} // namespace

SampleSound::~SampleSound()
{
    Teardown();
}

SampleSound* SampleSound::Get()
{
    return g_sound;
}

void SampleSound::registerLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("PlayMusic", &playMusic);
    def.AddMethod("StopMusic", &stopMusic);
    def.AddMethod("PlaySound", &playSound);
    def.Build("SoundMgr");
}

void SampleSound::Setup()
{
    g_sound = this;
    if (ISoundManager* sounds = ISoundManager::Get())
    {
        sounds->callbackHandlers.push_back(this);
        joined = true;
    }
    if (lua_State* state = LuaBinding::GetState())
    {
        registerLua(state);
        if ((HasTable() || CreateLuaTable()) && PushTable())
            LuaSetGlobalPath("svc.Sound", state);
    }
    SetMusicVolume(musicVolume);
}

void SampleSound::Teardown()
{
    FadeOutSound(music, 0.0f);
    if (joined)
    {
        if (ISoundManager* sounds = ISoundManager::Get())
        {
            auto& handlers = sounds->callbackHandlers;
            handlers.erase(std::remove(handlers.begin(), handlers.end(), this), handlers.end());
        }
        joined = false;
    }
    if (HasTable())
        if (lua_State* state = LuaBinding::GetState())
        {
            lua_pushnil(state);
            LuaSetGlobalPath("svc.Sound", state);
        }
    // The table goes while the script state still exists; the service outlives it.
    DisconnectTable();
    if (g_sound == this)
        g_sound = nullptr;
}

void SampleSound::PlayMusic(const std::wstring& name, float fadeSeconds, bool rewind)
{
    CrossFadeSound(music, name, fadeSeconds, rewind);
}

void SampleSound::StopMusic(float fadeSeconds)
{
    FadeOutSound(music, fadeSeconds);
}

void SampleSound::PlaySound(const std::wstring& name, float pan, bool loop)
{
    ISoundManager* sounds = ISoundManager::Get();
    if (!sounds)
        return;
    if (ISound* sound = sounds->PlaySoundWithParams(name, loop, false).Get())
        sound->SetPan(pan);
}

void SampleSound::SetMusicVolume(float volume)
{
    musicVolume = std::clamp(volume, 0.0f, 1.0f);
    if (ISoundManager* sounds = ISoundManager::Get())
        for (const wchar_t* name : kMusicClasses)
            sounds->SetClassVolume(name, musicVolume);
}

void SampleSound::OnSoundFinished(WeakPtr<ISound> sound)
{
    ISound* ended = sound.Get();
    if (!ended)
        return;
    const std::wstring name = ended->GetName();
    LuaRaiseEvent(*this, LuaBinding::GetState(), "OnSoundEnded", [&name](lua_State* state) {
        return PushWString(state, name);
    });
}
