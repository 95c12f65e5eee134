// A set of sounds described in an XML file ("Sound" elements under the root) that play again and
// again while the scene runs: each waits its delay, plays at a drawn level and pan (looping sounds
// fade in, hold for a drawn play time and fade out), then stays silent for a drawn pause, and so on.
// Sounds are played by name through the sound manager and held weakly.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/media/sound/ISound.h"
#include "engine/media/sound/RandomRange.h"

#include <string>
#include <vector>

namespace TarnEngine
{

struct SoundEntry
{
    std::wstring name;
    WeakPtr<ISound> sound; // the sound it last started
    bool loop = false;
    RandomRange playtime{-1.0f}; // seconds at full level between the fades; negative: for ever
    RandomRange volume{1.0f};
    RandomRange pan{0.0f};
    RandomRange pause{0.0f}; // seconds of silence after each end
    RandomRange delay{0.0f}; // seconds before the first start after Play
    float fade = 0.1f;       // seconds of each fade of a looping sound
    bool active = false;     // started and not yet ended
    float wait = 0.0f;       // waiting: seconds to wait; sounding and looping: the drawn play time
    float timer = 0.0f;      // seconds since the last reset
    float level = 1.0f;      // the volume drawn at the last start
};

class AmbientSoundScene
{
public:
    AmbientSoundScene() = default;
    virtual ~AmbientSoundScene();
    AmbientSoundScene(const AmbientSoundScene&) = delete;
    AmbientSoundScene& operator=(const AmbientSoundScene&) = delete;

    // Stops the scene and reads a new one; false (and no entries) when the file cannot be loaded.
    bool Load(const std::wstring& path);
    void Play();
    void Stop();
    // dt: the frame's time step in seconds.
    void Update(float dt);

    bool IsPlaying() const { return playing; }
    const std::vector<SoundEntry>& GetEntries() const { return entries; }

private:
    std::vector<SoundEntry> entries;
    bool playing = false;
};

} // namespace TarnEngine
