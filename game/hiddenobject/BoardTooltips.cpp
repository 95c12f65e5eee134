// The board's tooltip list; see BoardTooltips.h.
#include "game/hiddenobject/BoardTooltips.h"

#include <algorithm>

using TarnEngine::InstanceHandle;

void BoardTooltips::AddControl(const InstanceHandle& control, const std::wstring& text)
{
    RemoveControl(control);
    if (control.IsValid())
        controls.emplace_back(control, text);
}

void BoardTooltips::RemoveControl(const InstanceHandle& control)
{
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const auto& entry) { return entry.first.Equals(control); });
    if (found != controls.end())
        controls.erase(found);
}

void BoardTooltips::Update()
{
    std::erase_if(controls, [](const auto& entry) { return !entry.first.IsValid(); });
}
