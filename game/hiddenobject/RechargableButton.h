// A push button that, once used, stays disabled for a timeout and recharges. While it recharges its
// child "disable_mask" steps through its frames in proportion to the elapsed part of the timeout and
// its text child "lbl_label" shows the recharging text; when the time is up it enables itself,
// plays its "bttn_recharged" event sound and the particle effect "buttons_UI". The hidden-object
// screen uses three of them (hint, guess, skip) and drives them through the operations below.
//
// The countdown runs on game time (time channel 1), so a paused game clock stops it; while it is
// paused the button takes no press and no click either. The arithmetic
// is guarded: a total time not above 0 counts as recharged at once, the mask frame is clamped to
// the mask's frames, and times that are not finite are refused.
#pragma once

#include "engine/scene/widgets/Button.h"

#include <string>

class RechargableButton : public TarnEngine::Button
{
    TARN_RCLASS(RechargableButton)
    TARN_LUA_CLASS("RechargableButton")
public:
    static constexpr float DefaultTotalSeconds = 60.0f;

    // Button's defaults, then timer running, then the button is its own handler.
    void Initialize(const std::wstring& instanceName) override;
    void OnFrameUpdate(float dt) override;

    // IInstanceEventHandler
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnMouseDown(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;

    // Remaining and total time become `seconds`; disabled, mask at frame 0, label refreshed.
    // A time that is not finite is refused; one not above 0 completes silently at once.
    void Restart(float seconds);
    void RestartWithTotal() { Restart(totalTime); }
    // Recharged now: unless silent the sound and the effect, then enabled and the label refreshed.
    void Complete(bool silent);
    // Only the total time; the running countdown keeps its remaining time. Not finite: refused.
    void SetTimeout(float seconds);
    void RefreshLabel();
    void SetRechargingText(const std::wstring& text);
    void SetReadyText(const std::wstring& text);

    bool IsRecharging() const { return remainingTime > 0.0f; }
    float GetRemainingTime() const { return remainingTime; }
    float GetTotalTime() const { return totalTime; }

    static void RegisterLua(lua_State* state);

    float remainingTime = 0.0f;
    float totalTime = DefaultTotalSeconds;
    std::wstring rechargingText;
    std::wstring readyText;
    TarnEngine::InstanceHandle mask;
    bool timerRunning = true;

private:
    // Counts restarts and completions, so that a click can tell whether its listener handled them.
    uint32_t changes = 0;
    // The mask's frame for the current times.
    void updateMaskFrame();
};
