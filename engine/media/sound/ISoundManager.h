// The engine's one sound service, published while it exists: the table of sound definitions read
// from "Audio\Audio.xml", the list of sounds that play (the only strong references to them; everyone
// else gets weak ones), playing by name, pausing, muting and stopping all sounds or one class, class
// volumes, the fades (SoundFader) and the per-frame update that drops sounds once they have stopped.
// Its constructor registers the "audio." console commands with the user interface's console.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/core/diagnostics/IConsoleHandler.h"
#include "engine/media/sound/ISound.h"
#include "engine/media/sound/ResourceSound.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class SoundFader;

// One "Sound" element of "Audio\Audio.xml".
struct SoundDefinition
{
    RefPtr<ResourceSound> resource;
    float defaultVolume = 1.0f;
    std::wstring className = L"default";
    int32_t priority = 128;
};

// Told of every sound the manager drops after it stopped, once per sound, on the main thread.
class IAudioCallbackHandler
{
public:
    virtual ~IAudioCallbackHandler() = default;
    virtual void OnSoundFinished(WeakPtr<ISound> sound) = 0;
};

class ISoundManager : public IConsoleHandler
{
public:
    ISoundManager();
    ~ISoundManager() override;
    ISoundManager(const ISoundManager&) = delete;
    ISoundManager& operator=(const ISoundManager&) = delete;

    // The running sound manager, or null.
    static ISoundManager* Get();

    // Starts sound output with that many channels; false when there is none at all.
    virtual bool Init(int32_t channelCount) = 0;
    // Reads the sound definitions and classes of "Audio\Audio.xml".
    virtual bool LoadAudioXml() = 0;
    // Switches between the sound device and no sound (definitions must be loaded again after).
    virtual void SetEnabled(bool enable) = 0;
    // The one road to sound output: the named definition on a new channel. unique: nothing when a
    // sound of that name already plays. Null when nothing was started.
    virtual WeakPtr<ISound> PlaySoundWithParams(const std::wstring& name, bool loop, bool unique) = 0;
    // A name without a definition is taken as a file path and defined on the spot.
    virtual WeakPtr<ISound> PlaySound(const std::wstring& nameOrPath, bool loop) = 0;
    // The oldest sound of that name that plays.
    virtual WeakPtr<ISound> FindPlayingSound(const std::wstring& name) = 0;
    // Appends the playing sounds of a class that has a channel group, oldest first.
    virtual void GetPlayingSoundsOfClass(const std::wstring& className, std::vector<WeakPtr<ISound>>& out) = 0;
    virtual void PauseAll(bool pause) = 0;
    virtual void PauseClass(const std::wstring& className, bool pause) = 0;
    // Acts only when the value changes; sounds started later are not muted by it.
    virtual void MuteAll(bool mute) = 0;
    virtual void StopAll() = 0;
    virtual void StopClass(const std::wstring& className) = 0;
    virtual void SetClassVolume(const std::wstring& className, float volume) = 0;
    virtual std::wstring GetSoundClass(const std::wstring& name) = 0;
    virtual float GetDefaultVolume(const std::wstring& name) = 0;
    virtual int32_t GetPriority(const std::wstring& name) = 0;
    // Once a frame.
    virtual void Update() = 0;

    // Fades by sound name through the fader (volumes relative to the definition's default volume;
    // -1 stands for the default of each value). Nothing while there is no fader.
    void FadeInSound(const std::wstring& name, float duration, float from, float to, bool rewind);
    void FadeSound(const std::wstring& name, float duration, float from, float to);

    bool IsEnabled() const { return enabled != 0; }
    bool IsOutputLogEnabled() const { return outputLogEnabled; }
    SoundFader* GetFader() const { return fader.get(); }
    const std::map<std::wstring, SoundDefinition>& GetDefinitions() const { return definitions; }
    size_t GetSoundCount() const { return sounds.size(); }

    // Clients add and remove themselves directly; not owned.
    std::vector<IAudioCallbackHandler*> callbackHandlers;

protected:
    std::vector<RefPtr<ISound>> sounds; // in the order they started
    std::map<std::wstring, SoundDefinition> definitions;
    uint8_t enabled = 1;
    std::unique_ptr<SoundFader> fader;
    bool outputLogEnabled = false;

private:
    std::vector<std::wstring> registeredCommands;
};

} // namespace TarnEngine
