// Where a system's mix goes, chosen when the system is initialised: the SDL2 audio device (its
// callback mixes; a feeder thread decodes streams ahead), no sound at all (nothing is mixed, the
// clock moves channels on), or a manual output that the owner reads mixed frames from.
#pragma once

#include "platform/audio/AudioTypes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Audio
{

class Mixer;

class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // Starts handing the mixer's frames on; false when it cannot. Sets the mixer's rate.
    virtual bool Open(Mixer& mixer) = 0;
    // Stops the output; the mixer is not touched by it afterwards. Called without the mixer's lock.
    virtual void Close() = 0;
    // Mixed frames that passed without being mixed since the last call (the no-sound clock).
    virtual uint64_t TakeUnmixedFrames() { return 0; }
    // Whether streamed channels need decoders.
    virtual bool Decodes() const { return true; }
    // Why the last Open failed, in the audio library's words; empty when it did not.
    virtual std::string Failure() const { return std::string(); }
};

std::unique_ptr<AudioOutput> CreateAudioOutput(OutputType type, const SystemOptions& options);

} // namespace Audio
