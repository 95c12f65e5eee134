// The recharging button; see RechargableButton.h.
#include "game/hiddenobject/RechargableButton.h"

#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/hiddenobject/ISpyBoard.h"

#include <algorithm>
#include <cmath>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(RechargableButton, Button, RObjectFactory<RechargableButton>, L"RechargableButton",
                              &RechargableButton::RegisterLua)

namespace
{

using Self = RechargableButton;

// A number argument that is really a number (a numeric string does not count).
bool numberArgument(lua_State* state, int index, float& out)
{
    return lua_type(state, index) == LUA_TNUMBER && LuaGetFloatArg(state, out, index) == 1;
}

int waste(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float seconds = 0.0f;
    if (self && numberArgument(state, 2, seconds))
        self->Restart(seconds);
    return 0;
}

int recharge(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    bool silent = false;
    if (self && LuaGetBoolArg(state, silent, 2))
        self->Complete(silent);
    return 0;
}

int setTimeout(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float seconds = 0.0f;
    if (self && numberArgument(state, 2, seconds))
        self->SetTimeout(seconds);
    return 0;
}

template <void (Self::*Set)(const std::wstring&)> int setText(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring text;
    if (self && lua_type(state, 2) == LUA_TSTRING && LuaGetWStringArg(state, text, 2))
        (self->*Set)(text);
    return 0;
}

} // namespace

void RechargableButton::Initialize(const std::wstring& instanceName)
{
    Button::Initialize(instanceName);
    remainingTime = 0.0f;
    totalTime = DefaultTotalSeconds;
    timerRunning = true;
    SetEventHandler(this);
}

void RechargableButton::OnLoad(InstanceHandle instance)
{
    Button::OnLoad(instance);
    if (!IsSelf(instance))
        return;
    SetTimeChannel(1);
    mask = FindChildByPath(L"disable_mask").AsMovie();
    SetEnabled(true);
    RefreshLabel();
}

void RechargableButton::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    // The button spends game time, which stands while the game is paused: no press then.
    if (ISpyBoard::IsGamePaused())
        return;
    Button::OnMouseDown(instance, button);
}

void RechargableButton::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (ISpyBoard::IsGamePaused())
    {
        // Pressed before the pause: the look lets go, the click does not happen.
        if (enabled && button == 0 && state == 2)
            SetState(1);
        return;
    }
    const int32_t before = state;
    const uint32_t changesBefore = changes;
    const WeakPtr<LuaObjectBase> alive(this);
    Button::OnMouseUp(instance, button);
    // The listener may have deleted the button (a screen that closes with it).
    if (!alive.IsAlive() || unloaded)
        return;
    // A listener that restarted or completed the button itself has decided (a hint cancelled at
    // once leaves the button usable, not recharging).
    if (totalTime > 0.0f && enabled && before == 2 && changes == changesBefore)
        RestartWithTotal();
}

void RechargableButton::OnFrameUpdate(float dt)
{
    if (!timerRunning || !(remainingTime > 0.0f))
        return;
    remainingTime = remainingTime - dt;
    // A timeout set to 0 or below while the countdown ran has nothing left to wait for.
    if (remainingTime > 0.0f && totalTime > 0.0f)
        updateMaskFrame();
    else
        Complete(false);
}

void RechargableButton::updateMaskFrame()
{
    auto* movie = RObjectCast<Instance_Movie>(mask.GetInstance());
    if (!movie)
        return;
    const uint32_t frames = movie->GetNumFrames();
    if (frames == 0)
        return;
    // A total not above the remaining time would give a negative or oversized frame; the mask
    // only has frames 0 to frames - 1.
    uint32_t frame = 0;
    if (totalTime > 0.0f)
    {
        const double exact = double(frames) * double(totalTime - remainingTime) / double(totalTime);
        if (exact >= double(frames - 1))
            frame = frames - 1;
        else if (exact > 0.0)
            frame = uint32_t(exact);
    }
    movie->SetFrame(frame);
}

void RechargableButton::Restart(float seconds)
{
    if (!std::isfinite(seconds))
        return;
    ++changes;
    remainingTime = totalTime = seconds;
    if (!(seconds > 0.0f))
    {
        // Nothing to wait for: a button with no timeout is usable at once.
        remainingTime = 0.0f;
        Complete(true);
        return;
    }
    SetEnabled(false);
    if (auto* movie = RObjectCast<Instance_Movie>(mask.GetInstance()))
        movie->SetFrame(0);
    RefreshLabel();
}

void RechargableButton::Complete(bool silent)
{
    ++changes;
    if (!silent)
    {
        const WeakPtr<LuaObjectBase> alive(this);
        PlayEventSound(L"bttn_recharged");
        InstanceHandle effect;
        if (alive.IsAlive())
            SpawnParticleEffect(L"buttons_UI", this, effect, L"", Width() * 0.5f, Height() * 0.5f);
        if (!alive.IsAlive())
            return;
    }
    remainingTime = 0.0f;
    SetEnabled(true);
    RefreshLabel();
}

void RechargableButton::SetTimeout(float seconds)
{
    if (std::isfinite(seconds))
        totalTime = seconds;
}

void RechargableButton::RefreshLabel()
{
    auto* label = RObjectCast<Instance_Text>(FindChildByPath(L"lbl_label").AsText().GetInstance());
    if (!label)
        return;
    label->SetText(timerRunning && remainingTime > 0.0f ? rechargingText : readyText);
}

void RechargableButton::SetRechargingText(const std::wstring& text)
{
    rechargingText = text;
    RefreshLabel();
}

void RechargableButton::SetReadyText(const std::wstring& text)
{
    readyText = text;
    RefreshLabel();
}

void RechargableButton::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Button::StaticScriptName());
    def.AddMethod("Waste", &waste);
    def.AddMethod("Recharge", &recharge);
    def.AddMethod("SetTimeout", &setTimeout);
    def.AddMethod("SetTextR", &setText<&Self::SetRechargingText>);
    def.AddMethod("SetTextF", &setText<&Self::SetReadyText>);
    def.SetConstructor(&LuaConstruct<RechargableButton>);
    def.Build(StaticScriptName());
}
