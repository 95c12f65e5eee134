#include "engine/core/time/FrameClock.h"

namespace TarnEngine
{

namespace
{
FrameClock* runningFrameClock = nullptr;
}

FrameClock::FrameClock(const Platform::CounterSource& counter) : counter_(counter)
{
    runningFrameClock = this;
}

FrameClock::~FrameClock()
{
    if (runningFrameClock == this)
        runningFrameClock = nullptr;
}

FrameClock* FrameClock::Get()
{
    return runningFrameClock;
}

bool FrameClock::Init()
{
    frequency_ = counter_.Frequency();
    if (frequency_ < 1)
        frequency_ = 1;
    // A counter slower than 60 Hz still gets a schedule that moves.
    ticksPerFrame_ = frequency_ / FramesPerSecond;
    if (ticksPerFrame_ < 1)
        ticksPerFrame_ = 1;
    lastFrameTick_ = counter_.Counter();
    startTick_ = counter_.Counter();
    frameDue_ = false;
    scheduledTicks_ = 0;
    sinceStart_ = 0;
    previousSinceStart_ = 0;
    framesPerSecond_ = 0.0;
    history_.clear();
    slowSeconds_ = 0.0;
    slowThresholdFps_ = 12.0;
    slowAlertSeconds_ = 20.0;
    return true;
}

bool FrameClock::CheckFrameDue()
{
    const int64_t now = counter_.Counter();
    const int64_t elapsed = now - lastFrameTick_;
    if (elapsed > BacklogFrames * ticksPerFrame_)
    {
        lastFrameTick_ = now;
        frameDue_ = false;
    }
    else if (elapsed > ticksPerFrame_)
    {
        frameDue_ = true;
        lastFrameTick_ += ticksPerFrame_;
        scheduledTicks_ += ticksPerFrame_;
    }
    else
    {
        frameDue_ = false;
    }
    return frameDue_;
}

void FrameClock::UpdateRate()
{
    sinceStart_ = counter_.Counter() - startTick_;
    const double frequency = static_cast<double>(frequency_);
    double dt =
        static_cast<double>(sinceStart_) / frequency - static_cast<double>(previousSinceStart_) / frequency;
    if (dt < 0.001)
        dt = static_cast<double>(0.001f);
    if (dt > 1.0)
        dt = 1.0;
    framesPerSecond_ = 1.0 / dt;
    previousSinceStart_ = sinceStart_;
    while (history_.size() >= HistorySize)
        history_.erase(history_.begin());
    history_.push_back(framesPerSecond_);
    if (slowThresholdFps_ > framesPerSecond_)
        slowSeconds_ += dt;
    else
        slowSeconds_ = 0.0;
}

double FrameClock::GetScheduledSeconds() const
{
    return static_cast<double>(scheduledTicks_) / static_cast<double>(frequency_);
}

} // namespace TarnEngine
