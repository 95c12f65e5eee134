// Value types of the audio layer that stands in for the sound library the engine was written
// against: result codes, sound creation flags, the outputs a system can mix into and the options
// chosen when a system is created.
#pragma once

#include <cstdint>
#include <string>

namespace Platform
{
class CounterSource;
}

namespace Audio
{

enum class Result : int32_t
{
    Ok = 0,
    InvalidHandle,   // the channel ended and was reclaimed, was stopped, or never existed
    ChannelStolen,   // the channel was taken over by a newer sound of equal or higher importance
    InvalidParam,    // NaN, a value out of range, a call that does not fit the object's state
    InvalidPosition, // a position at or past the end of the sound
    Format,          // data that is neither Ogg Vorbis nor a WAV file this layer reads
    NoChannel,       // every channel is busy with a more important sound
    Output,          // the output device could not be opened
    Uninitialized,   // the system is not initialised, or has been released
};

const char* ResultName(Result result);

// Flags of System::CreateSound.
enum SoundMode : uint32_t
{
    ModeDefault = 0,
    // Channels of the sound honour loop counts and loop points; without it every sound plays once.
    ModeLoopNormal = 0x1,
    // Decoded while it plays, per channel, from the memory it was created from (which the caller
    // keeps alive for the life of the sound); otherwise decoded whole at creation.
    ModeCreateStream = 0x2,
};

enum class SoundType : uint32_t
{
    Unknown = 0, // detected from the data
    OggVorbis,
    Wav,
};

// Where a system's mix goes.
enum class OutputType : uint32_t
{
    // The SDL2 audio device (whatever SDL_AUDIODRIVER selects: a sound card, "dummy", "disk").
    Device = 0,
    // Nothing is mixed; Update moves playing channels on by the clock, so sounds still end.
    NoSound,
    // Nothing is played; the owner pulls mixed frames with System::ReadMixed (tests, benchmarks).
    Manual,
};

struct SystemOptions
{
    // The output Init opens unless SetOutput chose another first.
    OutputType output = OutputType::Device;
    // Mixing rate of the no-sound and manual outputs; the device output takes what the device
    // gives for 48000 Hz.
    uint32_t rate = 48000;
    // The clock of the no-sound output; null: the system's monotonic clock.
    const Platform::CounterSource* clock = nullptr;
    // SDL device name; empty: the default device.
    std::string deviceName;
    // Frames per device callback.
    uint32_t deviceFrames = 1024;
};

// Optional extra information for System::CreateSound.
struct CreateSoundInfo
{
    // Format to try first; the data decides in the end.
    SoundType suggestedType = SoundType::Unknown;
};

} // namespace Audio
