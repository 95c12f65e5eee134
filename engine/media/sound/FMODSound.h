// A sound playing on a channel of the audio layer, with the name it was started under and the
// resource whose data it plays (kept loaded while the sound exists). Made only by the sound manager,
// which holds the one strong reference until the sound has stopped. Every operation on a stopped
// sound leaves the channel alone (it may already belong to another sound) and gives a fixed default.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/media/sound/FMODResource.h"
#include "engine/media/sound/ISound.h"
#include "platform/audio/AudioChannel.h"

#include <string>

namespace TarnEngine
{

class ISoundManager;

class FMODSound final : public ISound
{
public:
    FMODSound(const std::wstring& name, const Audio::Channel& channel, FMODResource* resource,
              ISoundManager* manager);

    void SetPaused(bool paused) override;
    void SetMute(bool mute) override;
    void Stop() override;
    void SetVolume(float volume) override;
    float GetVolume() override;
    void SetPan(float pan) override;
    float GetPan() override;
    void SetFrequency(float hertz) override;
    float GetFrequency() override;
    bool SetPosition(float seconds) override;
    float GetPosition() override;
    bool SetLoopCount(int32_t count) override;
    int32_t GetLoopCount() override;
    bool SetLoopPoints(float startSeconds, float endSeconds) override;
    bool IsPlaying() override;
    bool IsStopped() override;
    bool GetPaused() override;
    const std::wstring& GetName() const override { return name; }
    std::wstring GetSoundClass() override;
    float GetDefaultVolume() override;
    int32_t GetPriority() override;

    FMODResource* GetResource() const { return resource.Get(); }

private:
    ISoundManager* manager; // not owned; may be null
    std::wstring name;
    Audio::Channel channel;
    RefPtr<FMODResource> resource;
};

} // namespace TarnEngine
