// One digit roller of the Dudude puzzle: a container whose timeline rolls its child "digits" up or
// down (the labels "up" and "down" of its definition), with the number in view in "lbl_up" or
// "lbl_down". At the end of a roll it tells its board, which checks the sums of its row and column.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/widgets/Container.h"

#include <cstdint>

class OctaneBoard;
namespace TarnEngine
{
class Instance_Text;
}

class OctaneAnimController final : public TarnEngine::Container
{
    TARN_RCLASS(OctaneAnimController)
    TARN_LUA_CLASS("OctaneAnimController")
public:
    OctaneAnimController() = default;

    // The roller's frames are its roll, not a widget's looks.
    void SetState(int32_t newState) override { state = newState; }
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnTimelineStop(TarnEngine::InstanceHandle instance) override;

    // Both labels show the number.
    void ShowValue(int32_t value);
    void SetDigitColour(uint32_t colour);
    // Rolls to the value: up brings it in on the lower label, down on the upper one. False when a
    // roll is running or a label is missing.
    bool Roll(int32_t value, bool up);
    bool IsRolling() const { return playing || paused; }

    TarnEngine::Instance_Text* GetUpper();
    TarnEngine::Instance_Text* GetLower();

    OctaneBoard* board = nullptr; // not owned; set by the board's set-up

    static void RegisterLua(lua_State* state);

private:
    void findLabels();

    TarnEngine::InstanceHandle upper;
    TarnEngine::InstanceHandle lower;
};
