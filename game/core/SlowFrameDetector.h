// Tells a machine too slow for the visual effects from a passing stall: it
// sums the time of consecutive frames below a frame rate and raises an alert
// once the sum passes a limit; one fast frame starts the sum again. A single
// frame counts for at most MaxFrameSeconds, so that a resume from suspend, a
// slow load or a dragged window cannot set the alert off on its own.
#pragma once

#include <functional>

class SlowFrameDetector
{
public:
    static constexpr float DefaultThresholdFps = 20.0f;
    static constexpr float DefaultAlertSeconds = 12.0f;
    static constexpr float MaxFrameSeconds = 0.25f;

    // Called when the sum passes the alert time.
    void SetAlert(std::function<void()> alert) { onAlert = std::move(alert); }

    // Asks the scripts for "SlowDetectThresholdFPS" and "SlowDetectAlertSeconds" when enabled (a 0
    // or unusable answer keeps the value), then restarts the sum.
    void Configure(bool enable);
    // One frame's real duration in seconds.
    void Update(float frameSeconds);

    float GetThresholdFps() const { return thresholdFps; }
    float GetAlertSeconds() const { return alertSeconds; }
    float GetAccumulated() const { return accumulated; }
    bool IsEnabled() const { return enabled; }

private:
    float thresholdFps = DefaultThresholdFps;
    float alertSeconds = DefaultAlertSeconds;
    float accumulated = 0.0f;
    bool enabled = false;
    std::function<void()> onAlert;
};
