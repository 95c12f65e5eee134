// The audio layer's entry: a system mixes a fixed number of channels into one output (see
// AudioOutput.h), creates sounds from files held in memory (Ogg Vorbis or WAV, found from the data)
// and channel groups whose volume multiplies their channels'. Sounds and groups are owned by their
// creator and released by destroying them: a released sound stops its channels, a released group
// hands its channels to the master group, and either may be released after the system (then only
// its memory goes).
//
// With no free channel, a new sound takes over the playing channel with the largest priority
// number, the oldest among equals, when that number is at least the new sound's; otherwise the play
// fails with NoChannel.
#pragma once

#include "platform/audio/AudioChannel.h"
#include "platform/audio/AudioTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Audio
{

class AudioOutput;
class Mixer;
struct GroupState;
struct SoundData;

class Sound
{
public:
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    SoundType GetType() const;
    uint32_t GetChannels() const;
    uint32_t GetRate() const;
    uint64_t GetFrames() const;
    uint32_t GetLengthMs() const;
    bool IsStream() const;

private:
    friend class System;
    Sound(std::shared_ptr<Mixer> mixer, std::unique_ptr<SoundData> data);

    std::shared_ptr<Mixer> mixer;
    std::unique_ptr<SoundData> data;
};

class ChannelGroup
{
public:
    ~ChannelGroup();
    ChannelGroup(const ChannelGroup&) = delete;
    ChannelGroup& operator=(const ChannelGroup&) = delete;

    Result SetVolume(float volume);
    Result GetVolume(float& volume) const;
    const std::string& GetName() const { return name; }

private:
    friend class System;
    friend class Channel;
    ChannelGroup(std::shared_ptr<Mixer> mixer, const std::string& name, bool master);

    std::shared_ptr<Mixer> mixer;
    std::string name;
    bool master;
    std::unique_ptr<GroupState> state; // null for the master group, whose volume the mixer keeps
};

class System
{
public:
    static constexpr int32_t kMaxChannels = 4096;

    // A system that will open options.output at Init.
    static Result Create(const SystemOptions& options, std::unique_ptr<System>& out);
    // Closes the output and stops every channel.
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // Chooses the output before Init.
    Result SetOutput(OutputType output);
    OutputType GetOutput() const { return output; }
    // Why the last Init could not open its output, in the audio library's words; empty when it could.
    const std::string& GetOutputFailure() const { return outputFailure; }
    // Opens the output with that many channels (0 to kMaxChannels).
    Result Init(int32_t maxChannels);
    // Once a frame: reclaims channels that ended; the no-sound output moves channels on by the clock.
    Result Update();

    // A sound from a file in memory. Sounds decoded whole copy what they need; streamed ones read the
    // memory while they play, so the caller keeps it alive until the sound is released.
    Result CreateSound(const uint8_t* data, size_t size, uint32_t mode, const CreateSoundInfo* info,
                       std::unique_ptr<Sound>& out);
    Result CreateChannelGroup(const std::string& name, std::unique_ptr<ChannelGroup>& out);
    ChannelGroup* GetMasterChannelGroup() const { return master.get(); }
    // Whether the sound was made by this system (sounds of a released system play nowhere).
    bool Owns(const Sound* sound) const;
    // Starts the sound on a channel, paused or not, at its own rate, full volume, centred, in the
    // master group, looping for ever when it was created with ModeLoopNormal.
    Result PlaySound(Sound* sound, bool paused, Channel& out, int32_t priority = 128);

    // The manual output's next frames: interleaved stereo floats.
    Result ReadMixed(float* out, uint32_t frames);
    uint32_t GetRate() const;
    // Channels playing or paused.
    int32_t GetChannelsPlaying() const;

private:
    explicit System(const SystemOptions& options);

    SystemOptions options;
    OutputType output;
    std::string outputFailure;
    std::shared_ptr<Mixer> mixer;
    std::unique_ptr<AudioOutput> device;
    std::unique_ptr<ChannelGroup> master;
};

} // namespace Audio
