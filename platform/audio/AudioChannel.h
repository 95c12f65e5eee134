// A handle to a playing channel: the slot it plays in and that slot's generation. The handle stays
// valid while its sound plays or is paused; a channel that reached its end reports not playing and
// its handle turns invalid at the system's next update; a stopped channel's at once; a channel taken
// over by a newer sound answers ChannelStolen. Handles may outlive the system: their calls then
// answer InvalidHandle. Setters refuse NaN and keep volumes in [0, 1] and pans in [-1, 1].
#pragma once

#include "platform/audio/AudioTypes.h"

#include <cstdint>
#include <memory>

namespace Audio
{

class ChannelGroup;
class Mixer;

class Channel
{
public:
    Channel() = default;

    // Whether the handle was ever set (it may still be stale).
    bool IsSet() const { return mixer != nullptr; }
    void Clear() { *this = Channel(); }

    Result SetPaused(bool paused);
    Result GetPaused(bool& paused) const;
    // A muted channel keeps its position moving.
    Result SetMute(bool mute);
    Result GetMute(bool& mute) const;
    Result Stop();
    Result SetVolume(float volume);
    Result GetVolume(float& volume) const;
    Result SetPan(float pan);
    Result GetPan(float& pan) const;
    // The playback rate in frames per second; above 0.
    Result SetFrequency(float frequency);
    Result GetFrequency(float& frequency) const;
    // Milliseconds from the start of the sound; at or past its end: InvalidPosition.
    Result SetPosition(uint32_t ms);
    Result GetPosition(uint32_t& ms) const;
    // -1 loops for ever, n plays the loop n more times; a sound created without looping ignores it.
    Result SetLoopCount(int32_t count);
    Result GetLoopCount(int32_t& count) const;
    // The loop runs from start up to (not including) end, in milliseconds; start before end, end at
    // most the sound's length.
    Result SetLoopPoints(uint32_t startMs, uint32_t endMs);
    // True while playing or paused.
    Result IsPlaying(bool& playing) const;
    // Null: the master group.
    Result SetChannelGroup(ChannelGroup* group);
    // 0 matters most, 256 least.
    Result SetPriority(int32_t priority);
    Result GetPriority(int32_t& priority) const;

    // The same positions in frames of the sound, for callers that need the exact sample.
    Result SetPositionFrames(uint64_t frame);
    Result GetPositionFrames(uint64_t& frame) const;

private:
    friend class System;
    Channel(std::shared_ptr<Mixer> mixer, uint32_t index, uint32_t generation)
        : mixer(std::move(mixer)), index(index), generation(generation)
    {
    }

    std::shared_ptr<Mixer> mixer;
    uint32_t index = 0;
    uint32_t generation = 0;
};

} // namespace Audio
