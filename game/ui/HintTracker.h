// Tooltips for a list of watched controls: when the mouse rests on one of them for 20 updates,
// the hint manager shows that control's text for 2 seconds. A script-bound object (scripts make
// their own and drive it with "Update"); the hidden-object board and screen each own one.
// While the mouse rests on a control only that control is tested; the list is walked only while
// the mouse rests on none.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class HintTracker final : public TarnEngine::LuaBaseClass
{
    TARN_RCLASS(HintTracker)
    TARN_LUA_CLASS("HintTracker")
public:
    static constexpr int32_t RestUpdates = 20;
    static constexpr float HintLifetime = 2.0f;

    HintTracker();
    ~HintTracker() override;

    // Watches the control with that text, at the end of the list (again, when it was watched).
    void AddControl(const TarnEngine::InstanceHandle& control, const std::wstring& text);
    // The same for an engine object; anything but a movie is ignored.
    void AddControl(TarnEngine::RObject* object, const std::wstring& text);
    void RemoveControl(const TarnEngine::InstanceHandle& control);
    void RemoveControl(TarnEngine::RObject* object);
    // One step; once a frame by its owner.
    void Update();

    const std::vector<std::pair<TarnEngine::InstanceHandle, std::wstring>>& GetControls() const
    {
        return controls;
    }
    const TarnEngine::InstanceHandle& GetCurrentControl() const { return currentControl; }
    int32_t GetShownHint() const { return shownHint; }
    int32_t GetCountdown() const { return countdown; }

    static void RegisterLua(lua_State* state);

private:
    std::vector<std::pair<TarnEngine::InstanceHandle, std::wstring>> controls;
    TarnEngine::InstanceHandle currentControl;
    std::wstring currentText;
    int32_t shownHint = -1;
    int32_t countdown = 0;
};
