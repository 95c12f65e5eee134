// A screen: a top-level container (menu, dialog or game screen) that the screen manager creates
// under its "_dialogs" movie, opens and steps once per frame. Opened modal it eats the pointer,
// gets a dark backdrop (the definition "blackback") behind it and fades in and out; opened plain it
// shows and goes at once. Its life runs through a small state machine: idle, fading in, open,
// fading out, closed; the closed screen goes back to the manager, which deletes it. Every button of
// a screen closes it (the one named "okButton" as accepted) unless the game gives the buttons
// another listener.
#pragma once

#include "engine/scene/ui/StateMachine.h"
#include "engine/scene/widgets/Container.h"

namespace TarnEngine
{

class Screen;

class ScreenStateMachine final : public StateMachine
{
public:
    explicit ScreenStateMachine(Screen& owner) : screen(owner) {}

protected:
    void OnEnter(int32_t s) override;
    void OnLeave(int32_t) override {}
    void OnUpdate(int32_t s) override;

private:
    Screen& screen;
};

class Screen : public Container
{
    TARN_RCLASS(Screen)
    TARN_LUA_CLASS("Screen")
public:
    enum State : int32_t
    {
        StateIdle = 0,
        StateFadingIn = 1,
        StateOpen = 2,
        StateFadingOut = 3,
        StateClosed = 4,
    };

    Screen();
    ~Screen() override;

    void Initialize(const std::wstring& instanceName) override;

    // Shows the screen on top of the manager's stack; see the class comment.
    void Open(bool modal);
    // Centres the screen in the window area right and below (ox, oy), on whole pixels.
    void Center(float ox, float oy);
    // Places the screen on the next whole pixels, the backdrop so that it keeps covering the window.
    void MoveTo(float newX, float newY);
    void SetAlphaSpeed(float speed) { alphaSpeed = speed; }
    void SetDelayCounter(int32_t frames) { delayCounter = frames; }

    virtual void UpdateState();
    virtual void Close(bool accepted);
    virtual void OnScreenLoaded() {}
    virtual void OnRemoved() {}
    virtual void OnGameEvent(const std::wstring&, const std::wstring&) {}

    int32_t GetScreenState() const { return stateMachine.GetState(); }
    int32_t GetRequestedScreenState() const { return stateMachine.GetRequestedState(); }

    // IInstanceEventHandler: a screen registers in no outer container.
    void OnLoad(InstanceHandle instance) override;
    // Any button closes the screen; the ok button as accepted.
    void HandleButtonPressed(Button* button) override;

    static void RegisterLua(lua_State* state);

    float width = 0.0f;
    float height = 0.0f;
    float alphaSpeed = 6.0f; // opacity per second while fading
    InstanceHandle backdrop;
    int32_t delayCounter = -1; // frames to wait before the fade-in; -1 none

private:
    friend class ScreenStateMachine;
    ScreenStateMachine stateMachine;
};

} // namespace TarnEngine
