// Timed volume ramps of playing sounds, stepped once a frame by the sound manager (the frame clock
// runs at 60 frames a second, which the step size assumes), and the cross-fade of a held music
// sound built on them. Volumes are relative to each sound's definition: v means the channel volume
// default volume x v; -1 stands for the default of a duration, start or end volume. Sounds are held
// weakly, so one that ends or is stopped elsewhere simply drops out. A sound has at most one ramp;
// a ramp the other way takes the running one over.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/media/sound/ISound.h"

#include <string>
#include <vector>

namespace TarnEngine
{

class ISoundManager;

struct FadeEntry
{
    WeakPtr<ISound> sound;
    float step = 0.0f;    // volume change per frame: positive fading in, negative fading out
    float current = 0.0f; // the volume last set
    float target = 0.0f;
    bool stopWhenDone = false; // fade-outs: stop at the end (else pause)
};

class SoundFader
{
public:
    explicit SoundFader(ISoundManager& manager) : manager(manager) {}

    // alreadyPlaying: ramp from the current volume and resume (or rewind) the sound instead of
    // setting the start volume now.
    void FadeIn(const WeakPtr<ISound>& sound, float duration, float from, float to, bool rewind, bool alreadyPlaying);
    void FadeOut(const WeakPtr<ISound>& sound, float duration, float from, float to, bool stopWhenDone);
    // By name: a sound of the name that plays ramps up from where it is; else the name starts
    // (looping) and ramps up from the start volume.
    void FadeInByName(const std::wstring& name, float duration, float from, float to, bool rewind);
    // The playing sound of the name fades and then stops.
    void FadeOutByName(const std::wstring& name, float duration, float from, float to);
    // Every playing sound of a class: fading in resumes them, fading out leaves them paused.
    void FadeGroupIn(const std::wstring& className, float duration, float from, float to);
    void FadeGroupOut(const std::wstring& className, float duration, float from, float to);
    // One step of every ramp.
    void Update();

    const std::vector<FadeEntry>& GetFadeIns() const { return fadeIns; }
    const std::vector<FadeEntry>& GetFadeOuts() const { return fadeOuts; }

private:
    ISoundManager& manager;
    std::vector<FadeEntry> fadeIns;
    std::vector<FadeEntry> fadeOuts;
};

// Moves the held music to the named sound: the held one fades out and stops, the new one fades in
// from silence; held then refers to it. When held already is that sound it just ramps back up.
void CrossFadeSound(WeakPtr<ISound>& held, const std::wstring& name, float duration, bool rewind);
// Fades the held sound out to a stop and forgets it.
void FadeOutSound(WeakPtr<ISound>& held, float duration);

} // namespace TarnEngine
