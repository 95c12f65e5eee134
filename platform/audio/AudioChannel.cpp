// Channel handles; see AudioChannel.h.
#include "platform/audio/AudioChannel.h"

#include "platform/audio/AudioMixer.h"
#include "platform/audio/AudioSystem.h"

#include <algorithm>
#include <cmath>

namespace Audio
{

namespace
{

// Above any rate a sound file of ours has, far below where the step would overflow.
constexpr float kMaxFrequency = 1.0e6f;

// Runs action on the handle's voice under the mixer's lock; a stale handle gives its reason.
template <class Action>
Result withVoice(const std::shared_ptr<Mixer>& mixer, uint32_t index, uint32_t generation, Action action)
{
    if (!mixer)
        return Result::InvalidHandle;
    std::lock_guard<std::mutex> guard(mixer->lock);
    Result result = Result::Ok;
    Voice* voice = mixer->Find(index, generation, result);
    if (voice == nullptr)
        return result;
    return action(*voice);
}

} // namespace

Result Channel::SetPaused(bool paused)
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         const bool resumes = voice.paused && !paused;
                         voice.paused = paused;
                         // A stream whose position changed while paused decodes its first frames now.
                         if (resumes && voice.feed && voice.feed->needsSync)
                             mixer->Resync(voice, true);
                         return Result::Ok;
                     });
}

Result Channel::GetPaused(bool& paused) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         paused = voice.paused;
                         return Result::Ok;
                     });
}

Result Channel::SetMute(bool mute)
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.muted = mute;
                         return Result::Ok;
                     });
}

Result Channel::GetMute(bool& mute) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         mute = voice.muted;
                         return Result::Ok;
                     });
}

Result Channel::Stop()
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         mixer->Free(voice);
                         return Result::Ok;
                     });
}

Result Channel::SetVolume(float volume)
{
    if (std::isnan(volume))
        return Result::InvalidParam;
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.volume = std::clamp(volume, 0.0f, 1.0f);
                         return Result::Ok;
                     });
}

Result Channel::GetVolume(float& volume) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         volume = voice.volume;
                         return Result::Ok;
                     });
}

Result Channel::SetPan(float pan)
{
    if (std::isnan(pan))
        return Result::InvalidParam;
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.pan = std::clamp(pan, -1.0f, 1.0f);
                         return Result::Ok;
                     });
}

Result Channel::GetPan(float& pan) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         pan = voice.pan;
                         return Result::Ok;
                     });
}

Result Channel::SetFrequency(float frequency)
{
    if (!std::isfinite(frequency) || frequency <= 0.0f)
        return Result::InvalidParam;
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.frequency = std::min(frequency, kMaxFrequency);
                         voice.step = mixer->StepFor(voice.frequency);
                         return Result::Ok;
                     });
}

Result Channel::GetFrequency(float& frequency) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         frequency = voice.frequency;
                         return Result::Ok;
                     });
}

Result Channel::SetPosition(uint32_t ms)
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         const uint64_t frame = FramesFromMs(ms, voice.sound->rate);
                         if (frame >= voice.sound->frames)
                             return Result::InvalidPosition;
                         voice.frame = frame;
                         voice.fraction = 0;
                         mixer->Resync(voice, !voice.paused);
                         return Result::Ok;
                     });
}

Result Channel::GetPosition(uint32_t& ms) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         ms = MsFromFrames(voice.frame, voice.sound->rate);
                         return Result::Ok;
                     });
}

Result Channel::SetPositionFrames(uint64_t frame)
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         if (frame >= voice.sound->frames)
                             return Result::InvalidPosition;
                         voice.frame = frame;
                         voice.fraction = 0;
                         mixer->Resync(voice, !voice.paused);
                         return Result::Ok;
                     });
}

Result Channel::GetPositionFrames(uint64_t& frame) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         frame = voice.frame;
                         return Result::Ok;
                     });
}

Result Channel::SetLoopCount(int32_t count)
{
    if (count < -1)
        return Result::InvalidParam;
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.loopsLeft = count;
                         mixer->Resync(voice, !voice.paused);
                         return Result::Ok;
                     });
}

Result Channel::GetLoopCount(int32_t& count) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         count = voice.loopsLeft;
                         return Result::Ok;
                     });
}

Result Channel::SetLoopPoints(uint32_t startMs, uint32_t endMs)
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         const uint64_t start = FramesFromMs(startMs, voice.sound->rate);
                         const uint64_t end = FramesFromMs(endMs, voice.sound->rate);
                         if (start >= end || end > voice.sound->frames)
                             return Result::InvalidParam;
                         voice.loopStart = start;
                         voice.loopEnd = end;
                         mixer->Resync(voice, !voice.paused);
                         return Result::Ok;
                     });
}

Result Channel::IsPlaying(bool& playing) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         playing = voice.state == Voice::Active;
                         return Result::Ok;
                     });
}

Result Channel::SetChannelGroup(ChannelGroup* group)
{
    if (group != nullptr && group->mixer != mixer)
        return Result::InvalidParam;
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.group = group == nullptr || group->master ? nullptr : group->state.get();
                         return Result::Ok;
                     });
}

Result Channel::SetPriority(int32_t priority)
{
    if (priority < 0 || priority > 256)
        return Result::InvalidParam;
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         voice.priority = priority;
                         return Result::Ok;
                     });
}

Result Channel::GetPriority(int32_t& priority) const
{
    return withVoice(mixer, index, generation,
                     [&](Voice& voice)
                     {
                         priority = voice.priority;
                         return Result::Ok;
                     });
}

} // namespace Audio
