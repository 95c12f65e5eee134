// Sound fades; see SoundFader.h.
#include "engine/media/sound/SoundFader.h"

#include "engine/media/sound/ISoundManager.h"

#include <cmath>

namespace TarnEngine
{

namespace
{

constexpr float kDefault = -1.0f;
constexpr float kFramesPerSecond = 60.0f;

std::vector<FadeEntry>::iterator findEntry(std::vector<FadeEntry>& entries, const ISound* sound)
{
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (it->sound.Get() == sound)
            return it;
    return entries.end();
}

float stepOf(float from, float to, float duration)
{
    return duration == 0.0f ? to - from : (to - from) / (duration * kFramesPerSecond);
}

// The fade's length in seconds once the default is applied: a duration that is not finite, or whose
// frames would not be finite, would give a step of 0 or NaN and a fade that never ends (writing NaN
// volumes every frame); it finishes at once instead, and a negative one counts as 0.
float usableDuration(float duration)
{
    if (!std::isfinite(duration) || !std::isfinite(duration * kFramesPerSecond) || duration < 0.0f)
        return 0.0f;
    return duration;
}

} // namespace

void SoundFader::FadeIn(const WeakPtr<ISound>& weak, float duration, float from, float to, bool rewind,
                        bool alreadyPlaying)
{
    ISound* sound = weak.Get();
    if (sound == nullptr || findEntry(fadeIns, sound) != fadeIns.end())
        return;
    const float defaultVolume = sound->GetDefaultVolume();
    const float present = sound->GetVolume();
    duration = duration == kDefault ? 1.5f : usableDuration(duration);
    const float start = from == kDefault || alreadyPlaying ? present : defaultVolume * from;
    if (to == kDefault)
        to = 1.0f;
    const float target = defaultVolume * to;

    const auto out = findEntry(fadeOuts, sound);
    if (out != fadeOuts.end())
    {
        // The fade-out turns round where it is, at its own pace.
        FadeEntry entry = *out;
        fadeOuts.erase(out);
        entry.target = target;
        if (entry.current < target)
        {
            entry.step = -entry.step;
            fadeIns.push_back(entry);
        }
        return;
    }

    if (alreadyPlaying)
    {
        if (present >= target)
            return;
        if (rewind)
            sound->SetPosition(0.0f);
        else
            sound->SetPaused(false);
    }
    else
        sound->SetVolume(start);

    if (start < 0.0f || target < 0.0f || !(start < target))
        return;
    fadeIns.push_back(FadeEntry{weak, stepOf(start, target, duration), start, target, false});
}

void SoundFader::FadeOut(const WeakPtr<ISound>& weak, float duration, float from, float to, bool stopWhenDone)
{
    ISound* sound = weak.Get();
    if (sound == nullptr || findEntry(fadeOuts, sound) != fadeOuts.end())
        return;
    const float defaultVolume = sound->GetDefaultVolume();
    const float present = sound->GetVolume();
    duration = duration == kDefault ? 0.5f : usableDuration(duration);
    const float start = from == kDefault ? present : defaultVolume * from;
    if (to == kDefault)
        to = 0.0f;
    const float target = defaultVolume * to;

    const auto in = findEntry(fadeIns, sound);
    if (in != fadeIns.end())
    {
        FadeEntry entry = *in;
        fadeIns.erase(in);
        entry.target = target;
        if (entry.current > target)
        {
            entry.step = -entry.step;
            entry.stopWhenDone = stopWhenDone;
            fadeOuts.push_back(entry);
        }
        return;
    }

    if (start < 0.0f || target < 0.0f || !(start > target))
        return;
    // The first step sets the volume.
    fadeOuts.push_back(FadeEntry{weak, stepOf(start, target, duration), start, target, stopWhenDone});
}

void SoundFader::FadeInByName(const std::wstring& name, float duration, float from, float to, bool rewind)
{
    const WeakPtr<ISound> playing = manager.FindPlayingSound(name);
    if (playing.IsAlive())
    {
        FadeIn(playing, duration, from, to, rewind, true);
        return;
    }
    FadeIn(manager.PlaySoundWithParams(name, true, false), duration, from, to, rewind, false);
}

void SoundFader::FadeOutByName(const std::wstring& name, float duration, float from, float to)
{
    const WeakPtr<ISound> playing = manager.FindPlayingSound(name);
    if (playing.IsAlive())
        FadeOut(playing, duration, from, to, true);
}

void SoundFader::FadeGroupIn(const std::wstring& className, float duration, float from, float to)
{
    std::vector<WeakPtr<ISound>> playing;
    manager.GetPlayingSoundsOfClass(className, playing);
    for (const WeakPtr<ISound>& sound : playing)
        FadeIn(sound, duration, from, to, false, true);
}

void SoundFader::FadeGroupOut(const std::wstring& className, float duration, float from, float to)
{
    std::vector<WeakPtr<ISound>> playing;
    manager.GetPlayingSoundsOfClass(className, playing);
    for (const WeakPtr<ISound>& sound : playing)
        FadeOut(sound, duration, from, to, false);
}

void SoundFader::Update()
{
    for (size_t i = 0; i < fadeIns.size();)
    {
        FadeEntry& entry = fadeIns[i];
        ISound* sound = entry.sound.Get();
        if (sound == nullptr || !sound->IsPlaying())
        {
            fadeIns.erase(fadeIns.begin() + ptrdiff_t(i));
            continue;
        }
        entry.current += entry.step;
        if (entry.current >= entry.target)
        {
            entry.current = entry.target;
            sound->SetVolume(entry.target);
            fadeIns.erase(fadeIns.begin() + ptrdiff_t(i));
            continue;
        }
        sound->SetVolume(entry.current);
        ++i;
    }
    for (size_t i = 0; i < fadeOuts.size();)
    {
        FadeEntry& entry = fadeOuts[i];
        ISound* sound = entry.sound.Get();
        if (sound == nullptr || !sound->IsPlaying())
        {
            fadeOuts.erase(fadeOuts.begin() + ptrdiff_t(i));
            continue;
        }
        entry.current += entry.step;
        if (entry.current <= entry.target)
        {
            entry.current = entry.target;
            if (entry.stopWhenDone)
                sound->Stop();
            else
                sound->SetPaused(true);
            sound->SetVolume(entry.target);
            fadeOuts.erase(fadeOuts.begin() + ptrdiff_t(i));
            continue;
        }
        sound->SetVolume(entry.current);
        ++i;
    }
}

void CrossFadeSound(WeakPtr<ISound>& held, const std::wstring& name, float duration, bool rewind)
{
    ISoundManager* manager = ISoundManager::Get();
    if (manager == nullptr)
        return;
    ISound* current = held.Get();
    if (current == nullptr)
    {
        manager->FadeInSound(name, duration, 0.0f, 1.0f, false);
        held = manager->FindPlayingSound(name);
        return;
    }
    if (current->GetName() == name)
    {
        manager->FadeInSound(name, duration, 0.0f, 1.0f, rewind);
        return;
    }
    manager->FadeSound(current->GetName(), duration, kDefault, 0.0f);
    manager->FadeInSound(name, duration, 0.0f, 1.0f, rewind);
    held = manager->FindPlayingSound(name);
}

void FadeOutSound(WeakPtr<ISound>& held, float duration)
{
    ISoundManager* manager = ISoundManager::Get();
    if (ISound* current = held.Get())
        if (manager != nullptr)
            manager->FadeSound(current->GetName(), duration, kDefault, 0.0f);
    held.Release();
}

} // namespace TarnEngine
