// The state shared by a system and every object it hands out, and the mixer over it. The system,
// its sounds, channel groups and channel handles all hold the mixer, so any of them may outlive the
// system: once the system is released the mixer is closed and their calls do nothing.
//
// Every call takes the mixer's lock, which the output's callback takes too; the callback itself
// only mixes: it allocates nothing and touches no file. Streamed sounds are decoded outside it,
// into a ring of frames per channel, by the output's feeder (or before a manual read).
//
// Positions are kept in source frames with a 32-bit fraction; the channel's frequency over the
// mixing rate is the step per mixed frame, and frames in between are interpolated linearly. Pan law
// (balance): a centred channel plays at full volume on both sides; towards one side the other side
// falls linearly to silence at the end of the range. A stereo sound's sides are weighted the same
// way. The channel's volume, its group's and the master group's multiply.
#pragma once

#include "platform/audio/AudioTypes.h"
#include "platform/audio/StreamDecoder.h"
#include "platform/audio/WavReader.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Audio
{

// The mixer's side of a channel group.
struct GroupState
{
    float volume = 1.0f;
};

// What a sound plays: decoded frames, or where to decode them from.
struct SoundData
{
    SoundType type = SoundType::Unknown;
    uint32_t channels = 0;
    uint32_t rate = 0;
    uint64_t frames = 0;
    bool stream = false;
    bool loop = false;
    // Whole sounds: frames + 1 frames, interleaved; the last one is silent, so that interpolation
    // past the end reads zero.
    std::vector<float> samples;
    // Streams: the file in the caller's memory.
    const uint8_t* data = nullptr;
    size_t size = 0;
    WavFormat wav;
};

// The decoded frames of a streamed channel, in the order the channel will play them (loops
// unrolled), and the decoder's own copy of the loop state that produces that order.
struct StreamFeed
{
    static constexpr uint32_t kCapacity = 16384; // frames; a power of two

    std::unique_ptr<StreamDecoder> decoder;
    std::vector<float> ring;
    uint64_t readCount = 0;  // frames the mixer has consumed
    uint64_t writeCount = 0; // frames the decoder has produced
    bool needsSync = true;   // position or loops changed: flush and seek before the next fill
    bool finished = false;   // nothing more will be produced
    uint64_t decodeFrame = 0;
    int32_t decodeLoopsLeft = 0;
};

struct Voice
{
    enum State : uint8_t
    {
        Free,
        Active, // playing or paused
        Ended,  // reached its end; reclaimed at the next update
    };

    uint32_t generation = 1;
    uint32_t stolenGeneration = 0; // the generation that a steal ended, so old handles can say so
    State state = Free;
    bool paused = false;
    bool muted = false;
    float volume = 1.0f;
    float pan = 0.0f;
    float frequency = 0.0f;
    int32_t priority = 128;
    uint64_t serial = 0; // start order: lower is older
    GroupState* group = nullptr; // null: the master group
    const SoundData* sound = nullptr;
    uint64_t frame = 0;
    uint32_t fraction = 0;
    uint64_t step = 0; // 32.32 source frames per mixed frame
    uint64_t loopStart = 0;
    uint64_t loopEnd = 0; // exclusive
    int32_t loopsLeft = 0; // -1: for ever
    std::unique_ptr<StreamFeed> feed;
};

class Mixer
{
public:
    std::mutex lock;
    bool open = false; // initialised and not yet released
    bool decodes = true; // streams need decoding (the no-sound output mixes nothing)
    uint32_t rate = 0;
    float masterVolume = 1.0f;
    std::vector<Voice> voices;
    uint64_t nextSerial = 1;

    // Interleaved stereo; zeroed first, clamped to [-1, 1] last. Caller holds the lock.
    void Mix(float* out, uint32_t frames);
    // Moves every playing channel on by that many mixed frames without output. Caller holds the lock.
    void Advance(uint64_t frames);
    // Decodes ahead for every streamed channel; takes the lock for each chunk.
    void FillStreams();
    // Reclaims channels that reached their end. Caller holds the lock.
    void ReclaimEnded();

    // The voice of a handle, or null with the reason. Caller holds the lock.
    Voice* Find(uint32_t index, uint32_t generation, Result& result);
    // Ends a voice at once: its handles turn invalid. Caller holds the lock.
    void Free(Voice& voice);
    // Picks a voice for a new sound: a free one, else an ended one, else steals; null when none.
    Voice* Allocate(int32_t priority);
    // Sets up a voice for a sound (paused or not) with its feed when streamed; the voice must be Free.
    void Start(Voice& voice, const SoundData& sound, bool paused, int32_t priority,
               std::unique_ptr<StreamFeed> feed);
    // A feed with its own decoder for a streamed sound; null when the data cannot be decoded.
    static std::unique_ptr<StreamFeed> MakeFeed(const SoundData& sound);
    // The step for a frequency at the mixing rate.
    uint64_t StepFor(float frequency) const;
    // Marks a streamed voice for a fresh seek and, when it is playing, decodes a first chunk now.
    void Resync(Voice& voice, bool fillNow);

private:
    void fill(Voice& voice, uint32_t most);
};

// Milliseconds to frames: the first frame at or after the time, so that converting back gives the
// same milliseconds at every rate of at least 1000 Hz.
uint64_t FramesFromMs(uint64_t ms, uint32_t rate);
uint32_t MsFromFrames(uint64_t frames, uint32_t rate);

} // namespace Audio
