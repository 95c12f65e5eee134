// A playing sound as its users hold it: counted (RefPtr), watched through
// WeakPtr, stopped or faded by its holder. Stop and SetVolume do nothing once
// the sound has stopped.
#pragma once

#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

class ISound : public Referenced
{
public:
    virtual void Stop() = 0;
    virtual void SetVolume(float volume) = 0; // 0 to 1
};

} // namespace TarnEngine
