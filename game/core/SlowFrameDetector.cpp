// The slow-frame detector; see SlowFrameDetector.h.
#include "game/core/SlowFrameDetector.h"

#include "game/core/GameScript.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

// A script's answer that a float holds and that means something here; 0 keeps the value.
float tuned(const char* name, float current)
{
    const double value = QueryGameSetting(name, 0.0);
    if (value <= 0.0 || value > double(FLT_MAX))
        return current;
    return float(value);
}

} // namespace

void SlowFrameDetector::Configure(bool enable)
{
    if (enable)
    {
        thresholdFps = tuned("SlowDetectThresholdFPS", thresholdFps);
        alertSeconds = tuned("SlowDetectAlertSeconds", alertSeconds);
    }
    accumulated = 0.0f;
    enabled = enable;
}

void SlowFrameDetector::Update(float frameSeconds)
{
    if (!(frameSeconds > 0.0f) || !enabled)
        return;
    const float fps = 1.0f / frameSeconds;
    if (fps >= thresholdFps)
    {
        accumulated = 0.0f;
        return;
    }
    accumulated += std::min(frameSeconds, MaxFrameSeconds);
    if (accumulated > alertSeconds)
    {
        accumulated = 0.0f;
        if (onAlert)
            onAlert();
    }
}
