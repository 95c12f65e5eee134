// Generic state machine; see StateMachine.h.
#include "engine/scene/ui/StateMachine.h"

namespace TarnEngine
{

void StateMachine::SetState(int32_t s)
{
    requestedState = s;
    if (!updating)
        enter(s);
}

void StateMachine::Update()
{
    updating = true;
    OnUpdate(state);
    updating = false;
    if (requestedState != state)
        enter(requestedState);
}

void StateMachine::enter(int32_t s)
{
    OnLeave(state);
    previousState = state;
    state = s;
    OnEnter(s);
}

} // namespace TarnEngine
