// The sound service that the scripts reach as "svc.Sound", as the game will
// publish it: music by name that cross-fades from the piece playing before,
// sound effects by name, and the class volumes. It stands in for the game's
// own service until the game exists and offers only what the sample's scripts
// and its options screen use. It listens for ended sounds so that scripts can
// hear of them ("OnSoundEnded").
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/media/sound/ISound.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <string>

class SampleSound final : public TarnEngine::LuaSubclass, public TarnEngine::IAudioCallbackHandler
{
    TARN_RCLASS(SampleSound)
public:
    SampleSound() = default;
    ~SampleSound() override;
    SampleSound(const SampleSound&) = delete;
    SampleSound& operator=(const SampleSound&) = delete;

    static SampleSound* Get();

    const char* GetScriptClassName() const override { return "SoundMgr"; }

    // Joins the engine's sound manager, publishes "svc.Sound" and sets the starting class volumes.
    void Setup();
    // Stops the music at once, leaves the sound manager and takes "svc.Sound" away again.
    void Teardown();

    void PlayMusic(const std::wstring& name, float fadeSeconds, bool rewind);
    void StopMusic(float fadeSeconds);
    void PlaySound(const std::wstring& name, float pan, bool loop);
    // The classes "Music", "Ambient" and "Effects" together, 0 to 1.
    void SetMusicVolume(float volume);
    float GetMusicVolume() const { return musicVolume; }

    // IAudioCallbackHandler
    void OnSoundFinished(TarnEngine::WeakPtr<TarnEngine::ISound> sound) override;

private:
    static void registerLua(lua_State* state);

    TarnEngine::WeakPtr<TarnEngine::ISound> music;
    float musicVolume = 0.5f;
    bool joined = false;
};
