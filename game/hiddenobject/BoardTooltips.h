// The board's list of tooltip controls: the instances the board watches, each with its text. It
// offers the operations of the game's tooltip tracker that the board uses, so the board can switch
// to that tracker by changing BoardTooltipTracker below.
#pragma once

#include "engine/core/base/InstanceHandle.h"

#include <string>
#include <utility>
#include <vector>

class BoardTooltips
{
public:
    // Watches the control with that text, at the end of the list (again, when it was watched).
    void AddControl(const TarnEngine::InstanceHandle& control, const std::wstring& text);
    // Forgets the first entry of that control.
    void RemoveControl(const TarnEngine::InstanceHandle& control);
    // One step, once a frame: entries of deleted instances are dropped.
    void Update();

    const std::vector<std::pair<TarnEngine::InstanceHandle, std::wstring>>& GetControls() const { return controls; }

private:
    std::vector<std::pair<TarnEngine::InstanceHandle, std::wstring>> controls;
};

using BoardTooltipTracker = BoardTooltips;
