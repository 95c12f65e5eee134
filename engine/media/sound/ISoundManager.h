// The sound service as the engine sees it: enabled flag, start-up with a
// channel count, the sound definitions, playing a sound by name, muting every
// playing sound while the game is paused, and the per-frame step. One
// instance, published while it exists. Its constructor registers the audio
// console commands with the user interface's console.
#pragma once

#include "engine/core/diagnostics/IConsoleHandler.h"
#include "engine/core/base/RefPtr.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/media/sound/ISound.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class ISoundManager : public IConsoleHandler
{
public:
    ISoundManager();
    ~ISoundManager() override;
    ISoundManager(const ISoundManager&) = delete;
    ISoundManager& operator=(const ISoundManager&) = delete;

    static ISoundManager* Get();

    virtual void SetEnabled(bool enabled) { this->enabled = enabled ? 1 : 0; }
    bool IsEnabled() const { return enabled != 0; }
    // Starts the sound output with that many channels; false when it cannot.
    virtual bool Init(uint32_t channelCount) = 0;
    // Reads the sound definitions again.
    virtual void LoadAudioXml() = 0;
    // Plays the named sound; out holds it while it plays (null when it cannot).
    virtual void PlaySound(RefPtr<ISound>& out, const std::wstring& name, uint32_t flags) = 0;
    // The named sound on a new channel, looping or not; unique: nothing when a sound of that name
    // already plays. Empty when nothing was started.
    virtual WeakPtr<ISound> PlaySoundWithParams(const std::wstring& name, bool loop, bool unique) = 0;
    // Sets or clears the mute flag of every sound that is not stopped.
    virtual void MuteAll(bool mute) = 0;
    virtual void Update() = 0;

    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle& instance) override;

protected:
    uint8_t enabled = 1;
};

} // namespace TarnEngine
