// The sound manager over the audio layer (platform/audio): one system, one channel group per sound
// class, the definitions of "Audio\Audio.xml" and the sounds that play. The output is the one given at
// construction (the SDL2 device unless a test asks for the manual output) while sound is enabled, and
// the no-sound output otherwise, or when the device cannot be opened: then sounds are timed but
// silent. Without a system (it could not be made, or a missing "Audio\Audio.xml" shut it down) every
// operation does nothing and every play gives null.
#pragma once

#include "engine/media/sound/ISoundManager.h"
#include "platform/audio/AudioSystem.h"

#include <map>
#include <set>
#include <memory>
#include <string>

namespace TarnEngine
{

class FMODManager final : public ISoundManager
{
public:
    explicit FMODManager(const Audio::SystemOptions& options = Audio::SystemOptions());
    ~FMODManager() override;

    bool Init(int32_t channelCount) override;
    bool LoadAudioXml() override;
    void SetEnabled(bool enable) override;
    WeakPtr<ISound> PlaySoundWithParams(const std::wstring& name, bool loop, bool unique) override;
    WeakPtr<ISound> PlaySound(const std::wstring& nameOrPath, bool loop) override;
    WeakPtr<ISound> FindPlayingSound(const std::wstring& name) override;
    void GetPlayingSoundsOfClass(const std::wstring& className, std::vector<WeakPtr<ISound>>& out) override;
    void PauseAll(bool pause) override;
    void PauseClass(const std::wstring& className, bool pause) override;
    void MuteAll(bool mute) override;
    void StopAll() override;
    void StopClass(const std::wstring& className) override;
    void SetClassVolume(const std::wstring& className, float volume) override;
    std::wstring GetSoundClass(const std::wstring& name) override;
    float GetDefaultVolume(const std::wstring& name) override;
    int32_t GetPriority(const std::wstring& name) override;
    void Update() override;

    // "audio.SetGroupVolume", "audio.getclassvolume", "audio.playsound", "audio.setenabled",
    // "audio.setoutputlogenabled".
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle& instance) override;

    // Stops everything, releases the classes, the definitions and the system.
    void Shutdown();
    // Finds the resource of a source path in the resource cache or makes and registers it.
    RefPtr<ResourceSound> CreateSoundResource(const std::wstring& source, bool streaming);
    // Drops stopped sounds, telling every callback handler of each.
    void ReleaseFinishedSounds();
    // Unloads a streamed resource that no sound plays any more.
    void ReleaseUnusedStream(const std::wstring& name);
    bool HasDefinition(const std::wstring& name) const;
    bool HasClass(const std::wstring& className) const;

    Audio::System* GetSystem() const { return system.get(); }
    bool IsMuted() const { return muted; }
    bool IsClassPaused(const std::wstring& className) const { return pausedClasses.count(className) != 0; }
    int32_t GetMaxChannels() const { return maxChannels; }

private:
    Audio::ChannelGroup* findGroup(const std::wstring& className) const;
    void print(const std::wstring& line) const;

    Audio::SystemOptions options;
    int32_t maxChannels = 0;
    bool audioXmlLoaded = false; // "Audio\Audio.xml" was read whole once: switching on reads it again
    std::unique_ptr<Audio::System> system;
    std::map<std::wstring, std::unique_ptr<Audio::ChannelGroup>> channelGroups;
    Audio::ChannelGroup* defaultGroup = nullptr;
    bool muted = false;
    // Classes paused by PauseClass: a sound of one started later starts paused too, so nothing of
    // a paused class is heard until the class is resumed.
    std::set<std::wstring> pausedClasses;
};

} // namespace TarnEngine
