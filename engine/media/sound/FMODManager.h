// The engine's sound manager. For now it plays nothing: it keeps the enabled
// and mute state that start-up, the main loop and the preferences rely on,
// and every sound asked for is refused. Sound output arrives with the audio
// layer of the platform.
#pragma once

#include "engine/media/sound/ISoundManager.h"

namespace TarnEngine
{

class FMODManager final : public ISoundManager
{
public:
    FMODManager() = default;
    ~FMODManager() override = default;

    bool Init(uint32_t channelCount) override;
    void LoadAudioXml() override {}
    void PlaySound(RefPtr<ISound>& out, const std::wstring& name, uint32_t flags) override;
    WeakPtr<ISound> PlaySoundWithParams(const std::wstring&, bool, bool) override { return {}; }
    void MuteAll(bool mute) override { muted = mute; }
    void Update() override {}

    bool IsMuted() const { return muted; }
    uint32_t GetChannelCount() const { return channelCount; }

private:
    bool muted = false;
    uint32_t channelCount = 0;
};

} // namespace TarnEngine
