// The engine's small generic state machine: a current, a previous and a requested state, and the
// three hooks a concrete machine implements. A state asked for while the machine is stepping its
// current state (inside OnUpdate) is entered only once that step has returned, so OnLeave and
// OnEnter never run nested inside OnUpdate. Screens drive their open and close fades with it.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class StateMachine
{
public:
    virtual ~StateMachine() = default;

    // Asks for state s: entered at once, or after the running step when called from OnUpdate.
    void SetState(int32_t s);
    // One step: OnUpdate of the current state, then the transition it asked for, if any.
    void Update();

    int32_t GetState() const { return state; }
    int32_t GetPreviousState() const { return previousState; }
    int32_t GetRequestedState() const { return requestedState; }

protected:
    virtual void OnEnter(int32_t s) = 0;
    virtual void OnLeave(int32_t s) = 0;
    virtual void OnUpdate(int32_t s) = 0;

    int32_t state = 0;
    int32_t previousState = 0;
    int32_t requestedState = 0;
    bool updating = false;

private:
    void enter(int32_t s);
};

} // namespace TarnEngine
