// The game's sound service: a thin layer over the engine's sound manager that scripts reach as
// "svc.Sound" and the game's own code calls for music, effects, class volumes and pausing. It holds
// the one piece of music that plays (so that the next piece cross-fades from it), owns the game's
// ambient sound scene, and turns the engine's "sound ended" callback into the script events
// "OnSoundEnded" and "OnAmbientEnded" on its own table. The game object holds it by value.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/media/sound/AmbientSoundScene.h"
#include "engine/media/sound/ISound.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <string>

// The sound classes of the game's audio description.
extern const std::wstring SOUND_CLASS_SOUND;   // "Sound"
extern const std::wstring SOUND_CLASS_MUSIC;   // "Music"
extern const std::wstring SOUND_CLASS_AMBIENT; // "Ambient"
extern const std::wstring SOUND_CLASS_EFFECTS; // "Effects"
extern const std::wstring SOUND_CLASS_VOICE;   // "Voice"

class SoundMgr : public TarnEngine::IAudioCallbackHandler, public TarnEngine::LuaSubclass
{
    TARN_RCLASS(SoundMgr)
    TARN_LUA_CLASS("SoundMgr")
public:
    SoundMgr();
    ~SoundMgr() override;
    SoundMgr(const SoundMgr&) = delete;
    SoundMgr& operator=(const SoundMgr&) = delete;

    // Start-up: joins the engine sound manager's callback handlers, publishes "svc.Sound" and sets
    // the default class volumes.
    void Setup();
    // The game object's shutdown: stops the ambient scene, fades the music out at once, leaves the
    // callback handlers and clears "svc.Sound". Safe to call more than once.
    void Shutdown();

    // Cross-fades the held music to the named piece (fade time in seconds).
    void PlayMusic(const std::wstring& name, float fadeTime, bool flag);
    // Fades the held music out and lets go of it.
    void StopMusic(float fadeTime);
    // Starts a new instance of the named sound; the pan (-1 left to 1 right) is set only when one started.
    void PlaySound(const std::wstring& name, float pan, bool loop);
    void StopSound(const std::wstring& name);
    bool IsSoundPlaying(const std::wstring& name);
    void StopSoundGroup(const std::wstring& className);
    // Every sound and the ambient scene.
    void StopAllSounds();
    // Fades the named sound from its present volume to silence.
    void FadeoutSound(const std::wstring& name, float time);
    // The "Ambient" class and the ambient scene.
    void StopAmbient();
    // An empty class name pauses or resumes every sound.
    void PauseSounds(bool paused, const std::wstring& className);
    // "Music", "Ambient" and "Effects" together.
    void SetMusicVolume(float volume);
    void SetSoundVolume(float volume);
    void SetVoiceVolume(float volume);

    // The engine's callback for a sound that has ended.
    void OnSoundFinished(TarnEngine::WeakPtr<TarnEngine::ISound> sound) override;

    TarnEngine::AmbientSoundScene& GetAmbient() { return ambient; }
    // The held music, for callers that cross-fade it themselves.
    TarnEngine::WeakPtr<TarnEngine::ISound>& GetMusic() { return music; }

    static void RegisterLua(lua_State* state);

private:
    void leaveHandlers();

    TarnEngine::AmbientSoundScene ambient;
    TarnEngine::WeakPtr<TarnEngine::ISound> music;
    TarnEngine::ISoundManager* joined = nullptr; // the manager whose handler list holds us
};

// Enters the "SoundMgr" class record (and with it its script class) in the class registry.
void RegisterSoundScriptClass();
