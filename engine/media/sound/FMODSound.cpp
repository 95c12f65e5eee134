// Playing sound; see FMODSound.h.
#include "engine/media/sound/FMODSound.h"

#include "engine/media/sound/ISoundManager.h"

namespace TarnEngine
{

namespace
{

// Seconds to whole milliseconds, truncated. Negative, NaN and too large times have none.
bool toMilliseconds(float seconds, uint32_t& ms)
{
    const double value = double(seconds) * 1000.0;
    if (!(value >= 0.0) || value > 4294967295.0)
        return false;
    ms = uint32_t(value);
    return true;
}

} // namespace

FMODSound::FMODSound(const std::wstring& name, const Audio::Channel& channel, FMODResource* resource,
                     ISoundManager* manager)
    : manager(manager), name(name), channel(channel), resource(resource)
{
}

void FMODSound::SetPaused(bool paused)
{
    if (!IsStopped())
        channel.SetPaused(paused);
}

void FMODSound::SetMute(bool mute)
{
    if (!IsStopped())
        channel.SetMute(mute);
}

void FMODSound::Stop()
{
    if (!IsStopped())
        channel.Stop();
}

void FMODSound::SetVolume(float volume)
{
    if (!IsStopped())
        channel.SetVolume(volume);
}

float FMODSound::GetVolume()
{
    float volume = -1.0f;
    if (!IsStopped())
        channel.GetVolume(volume);
    return volume;
}

void FMODSound::SetPan(float pan)
{
    if (!IsStopped())
        channel.SetPan(pan);
}

float FMODSound::GetPan()
{
    float pan = -1.0f;
    if (!IsStopped())
        channel.GetPan(pan);
    return pan;
}

void FMODSound::SetFrequency(float hertz)
{
    if (!IsStopped())
        channel.SetFrequency(hertz);
}

float FMODSound::GetFrequency()
{
    float hertz = 0.0f;
    if (!IsStopped())
        channel.GetFrequency(hertz);
    return hertz;
}

bool FMODSound::SetPosition(float seconds)
{
    uint32_t ms = 0;
    if (IsStopped() || !toMilliseconds(seconds, ms))
        return false;
    return channel.SetPosition(ms) == Audio::Result::Ok;
}

float FMODSound::GetPosition()
{
    if (IsStopped())
        return -1.0f;
    uint32_t ms = 0;
    channel.GetPosition(ms);
    return float(ms) / 1000.0f;
}

bool FMODSound::SetLoopCount(int32_t count)
{
    if (IsStopped())
        return false;
    return channel.SetLoopCount(count) == Audio::Result::Ok;
}

int32_t FMODSound::GetLoopCount()
{
    int32_t count = 0;
    if (!IsStopped())
        channel.GetLoopCount(count);
    return count;
}

bool FMODSound::SetLoopPoints(float startSeconds, float endSeconds)
{
    uint32_t start = 0, end = 0;
    if (IsStopped() || !toMilliseconds(startSeconds, start) || !toMilliseconds(endSeconds, end))
        return false;
    return channel.SetLoopPoints(start, end) == Audio::Result::Ok;
}

bool FMODSound::IsPlaying()
{
    if (!channel.IsSet())
        return false;
    bool playing = false;
    const Audio::Result result = channel.IsPlaying(playing);
    if (result == Audio::Result::InvalidHandle || result == Audio::Result::ChannelStolen)
        return false;
    return playing;
}

bool FMODSound::GetPaused()
{
    if (!channel.IsSet())
        return false;
    bool paused = false;
    return channel.GetPaused(paused) == Audio::Result::Ok && paused;
}

bool FMODSound::IsStopped()
{
    if (!channel.IsSet())
        return true;
    return !IsPlaying() && !GetPaused();
}

std::wstring FMODSound::GetSoundClass()
{
    return manager ? manager->GetSoundClass(name) : std::wstring();
}

float FMODSound::GetDefaultVolume()
{
    return manager ? manager->GetDefaultVolume(name) : -1.0f;
}

int32_t FMODSound::GetPriority()
{
    return manager ? manager->GetPriority(name) : 0;
}

} // namespace TarnEngine
