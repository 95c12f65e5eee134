// The fixed 60-per-second update schedule. The main loop asks CheckFrameDue
// on every pass; a due frame moves the schedule on by exactly one period, so
// short delays are made up one frame per call, while a stall of more than 600
// periods is dropped instead of raced through. After each drawn frame
// UpdateRate measures the achieved rate for a short history and counts the
// seconds spent continuously below the slow threshold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/system/Clock.h"

namespace TarnEngine
{

class FrameClock
{
public:
    static constexpr int64_t FramesPerSecond = 60;
    static constexpr int64_t BacklogFrames = 600;
    static constexpr std::size_t HistorySize = 30;

    explicit FrameClock(const Platform::CounterSource& counter = Platform::SystemCounter());
    ~FrameClock();
    FrameClock(const FrameClock&) = delete;
    FrameClock& operator=(const FrameClock&) = delete;

    static FrameClock* Get();

    // Start-up: takes the counter as the start of the schedule and sets the
    // defaults; the keys of "engine.xml" are then given through the setters.
    bool Init();
    void SetSlowThresholdFps(double fps) { slowThresholdFps_ = fps; }         // "SlowThresholdFPS"
    void SetSlowAlertSeconds(double seconds) { slowAlertSeconds_ = seconds; } // "SlowAlertSeconds"

    bool CheckFrameDue();
    void UpdateRate();
    // Running time counted in whole frame periods of due frames.
    double GetScheduledSeconds() const;
    // Starts the schedule again from now (after the application was inactive).
    void RestartSchedule() { lastFrameTick_ = counter_.Counter(); }

    bool IsFrameDue() const { return frameDue_; }
    double GetFramesPerSecond() const { return framesPerSecond_; }
    const std::vector<double>& GetHistory() const { return history_; }
    double GetSlowSeconds() const { return slowSeconds_; }
    double GetSlowThresholdFps() const { return slowThresholdFps_; }
    double GetSlowAlertSeconds() const { return slowAlertSeconds_; }
    int64_t GetTicksPerFrame() const { return ticksPerFrame_; }

private:
    const Platform::CounterSource& counter_;
    int64_t ticksPerFrame_ = 1;
    bool frameDue_ = false;
    int64_t lastFrameTick_ = 0;
    int64_t scheduledTicks_ = 0;
    int64_t frequency_ = 1;
    int64_t startTick_ = 0;
    int64_t sinceStart_ = 0;
    int64_t previousSinceStart_ = 0;
    double framesPerSecond_ = 0.0;
    std::vector<double> history_;
    double slowSeconds_ = 0.0;
    double slowThresholdFps_ = 12.0;
    double slowAlertSeconds_ = 20.0;
};

} // namespace TarnEngine
