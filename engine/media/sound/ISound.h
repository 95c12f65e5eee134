// A playing sound as its users hold it: counted (the sound manager keeps the one strong reference
// while it plays), watched through WeakPtr by everyone else, and steered by its holder. Once a sound
// has stopped it never plays again: its setters do nothing and its getters give fixed defaults.
#pragma once

#include "engine/core/base/Referenced.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class ISound : public Referenced
{
public:
    virtual void SetPaused(bool paused) = 0;
    virtual void SetMute(bool mute) = 0;
    virtual void Stop() = 0;
    virtual void SetVolume(float volume) = 0; // 0 to 1
    virtual float GetVolume() = 0;            // -1 once stopped
    virtual void SetPan(float pan) = 0;       // -1 left to 1 right
    virtual float GetPan() = 0;               // -1 once stopped
    virtual void SetFrequency(float hertz) = 0;
    virtual float GetFrequency() = 0;          // 0 once stopped
    // Seconds from the start; false when the position cannot be taken (or is negative or NaN).
    virtual bool SetPosition(float seconds) = 0;
    virtual float GetPosition() = 0;           // -1 once stopped
    // -1 loops for ever, n plays n more times.
    virtual bool SetLoopCount(int32_t count) = 0;
    virtual int32_t GetLoopCount() = 0;        // 0 once stopped
    virtual bool SetLoopPoints(float startSeconds, float endSeconds) = 0;
    virtual bool IsPlaying() = 0;
    // Neither playing nor paused: ended, stopped, or its channel taken by another sound.
    virtual bool IsStopped() = 0;
    virtual bool GetPaused() = 0;
    // The sound name it was started under, and what that name's definition says.
    virtual const std::wstring& GetName() const = 0;
    virtual std::wstring GetSoundClass() = 0;
    virtual float GetDefaultVolume() = 0;
    virtual int32_t GetPriority() = 0;
};

} // namespace TarnEngine
