// Screens and their state machine; see Screen.h.
#include "engine/scene/ui/Screen.h"

#include "engine/core/time/TimeManager.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"

#include <algorithm>
#include <cmath>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Screen, Container, RObjectFactory<Screen>, L"Screen", &Screen::RegisterLua)

namespace
{

constexpr float kFullOpacity = 1.0f;

// The duration of the last frame, by which fades step.
float frameSeconds()
{
    TimeManager* time = TimeManager::Get();
    return time ? time->GetClock(0).deltaSeconds : 0.0f;
}

int setAlphaSpeed(lua_State* state)
{
    Screen* self = GetLuaSelf<Screen>(state);
    float speed = 0.0f;
    if (self && LuaGetFloatArg(state, speed, 2))
        self->SetAlphaSpeed(speed);
    return 0;
}

int moveTo(lua_State* state)
{
    Screen* self = GetLuaSelf<Screen>(state);
    float px = 0.0f, py = 0.0f;
    if (self && LuaGetFloatArg(state, px, 2) + LuaGetFloatArg(state, py, 3) == 2)
        self->MoveTo(px, py);
    return 0;
}

int setDelayCounter(lua_State* state)
{
    Screen* self = GetLuaSelf<Screen>(state);
    int frames = 0;
    if (self && LuaGetIntArg(state, frames, 2))
        self->SetDelayCounter(frames);
    return 0;
}

int closeScreen(lua_State* state)
{
    Screen* self = GetLuaSelf<Screen>(state);
    bool accepted = false;
    if (self && LuaGetBoolArg(state, accepted, 2))
        self->Close(accepted);
    return 0;
}

} // namespace

// ---- The state machine.

void ScreenStateMachine::OnUpdate(int32_t s)
{
    Screen& owner = screen;
    const bool hasBackdrop = owner.backdrop.IsValid();
    if (s == Screen::StateIdle)
    {
        SetState(Screen::StateFadingIn);
    }
    else if (s == Screen::StateFadingIn)
    {
        if (!hasBackdrop || owner.opacity >= kFullOpacity)
        {
            SetState(Screen::StateOpen);
            owner.delayCounter = -1;
        }
        else if (owner.delayCounter != -1)
        {
            --owner.delayCounter;
        }
        else
        {
            owner.SetOpacity(std::min(owner.opacity + owner.alphaSpeed * frameSeconds(), kFullOpacity));
        }
    }
    else if (s == Screen::StateFadingOut)
    {
        if (!hasBackdrop || owner.opacity <= 0.0f)
            SetState(Screen::StateClosed);
        else
            owner.SetOpacity(std::max(owner.opacity - owner.alphaSpeed * frameSeconds(), 0.0f));
    }
}

void ScreenStateMachine::OnEnter(int32_t s)
{
    if (s == Screen::StateFadingIn)
        screen.SetVisible(true);
    else if (s == Screen::StateOpen)
        screen.SetInputEnabled(true);
    else if (s == Screen::StateClosed)
    {
        // Faded out (or plain, gone at once): hidden until the manager deletes it, so a modal one
        // no longer stops the pointer meanwhile.
        screen.SetVisible(false);
        if (_ScreenMgr* manager = _ScreenMgr::Get())
            manager->RemoveScreen(&screen);
    }
}

// ---- The screen.

Screen::Screen() : stateMachine(*this)
{
    stateMachine.SetState(StateIdle);
}

Screen::~Screen()
{
    // However the screen goes (closed, deleted by a script or with its parent), the manager must
    // not keep it.
    if (_ScreenMgr* manager = _ScreenMgr::Get())
        manager->ForgetScreen(this);
}

void Screen::Initialize(const std::wstring& instanceName)
{
    Container::Initialize(instanceName);
    SetVisible(false);
    width = height = 0.0f;
    SetInputEnabled(false);
}

void Screen::OnLoad(InstanceHandle instance)
{
    if (IsSelf(instance))
        OnScreenLoaded();
}

void Screen::HandleButtonPressed(Button* button)
{
    Close(button && button->isOkButton);
}

void Screen::Open(bool modal)
{
    if (width == 0.0f && height == 0.0f)
    {
        width = ComputeWidth(false);
        height = ComputeHeight(false);
    }
    _ScreenMgr* manager = _ScreenMgr::Get();
    if (!manager || !manager->GetDialogsHandle().IsValid())
        return;
    eatsMouse = modal;
    if (modal)
    {
        SetOpacity(0.0f);
        Instance_Base* back = backdrop.GetInstance();
        if (!back)
        {
            backdrop = Instance_Movie::CreateChild(this, L"blackback", L"__UIScreenBack", nullptr).AsMovie();
            back = backdrop.GetInstance();
        }
        if (auto* movie = RObjectCast<Instance_Movie>(back))
        {
            float windowWidth = 0.0f, windowHeight = 0.0f;
            GetWindowSize(windowWidth, windowHeight);
            const float backWidth = movie->ComputeWidth(false) / movie->scaleX;
            const float backHeight = movie->ComputeHeight(false) / movie->scaleY;
            if (backWidth > 0.0f && backHeight > 0.0f && std::isfinite(backWidth) && std::isfinite(backHeight))
                movie->SetScale((windowWidth + 1.0f) / backWidth, (windowHeight + 1.0f) / backHeight);
            movie->SetVisible(true);
            // Stacked dialogs do not darken twice.
            movie->SetOpacity(manager->GetTopModalScreen() ? 0.0f : 0.5f);
            movie->eatingMouse = true;
            movie->SetAllowFiltering(false);
            movie->MoveToBack();
        }
        else
        {
            // Without a backdrop there is no fade: a screen left at opacity 0 would be invisible
            // while it eats every press.
            SetOpacity(kFullOpacity);
        }
        Center(0.0f, 0.0f);
        // Shown (at its fade's start) from this moment, with its input still off: the hit list
        // counts it as a blocker, so a click before its first state step cannot reach what lies
        // behind it.
        SetVisible(true);
    }
    manager->PushScreen(this);
    PlayEventSound(L"screen_open");
}

void Screen::Center(float ox, float oy)
{
    float windowWidth = 0.0f, windowHeight = 0.0f;
    GetWindowSize(windowWidth, windowHeight);
    MoveTo(std::floor(((windowWidth - ox) * 0.5f - width * 0.5f) + ox),
           std::floor(((windowHeight - oy) * 0.5f - height * 0.5f) + oy));
}

void Screen::MoveTo(float newX, float newY)
{
    const float wholeX = std::ceil(newX);
    const float wholeY = std::ceil(newY);
    SetPosition(wholeX, wholeY);
    if (Instance_Base* back = backdrop.GetInstance())
        back->SetPosition(-wholeX, -wholeY);
}

void Screen::Close(bool)
{
    stateMachine.SetState(eatsMouse ? StateFadingOut : StateClosed);
    PlayEventSound(L"screen_close");
    SetInputEnabled(false);
}

void Screen::UpdateState()
{
    stateMachine.Update();
}

void Screen::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Container::StaticScriptName());
    def.AddMethod("SetAlphaSpeed", &setAlphaSpeed);
    def.AddMethod("MoveTo", &moveTo);
    def.AddMethod("SetDelayCounter", &setDelayCounter);
    def.AddMethod("Close", &closeScreen);
    def.SetConstructor(&LuaConstruct<Screen>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
