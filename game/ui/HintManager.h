// The hint boxes next to the mouse pointer: a text movie "text_hint" on a stretched background
// "hint_bg.png", both under the user interface's root. A hint stays until it is removed by id or
// goes by itself after its lifetime, which runs on the engine's timer service. The game object
// owns the manager; while one exists it is reachable process-wide (Get), as the screen manager
// is, for the tooltip trackers.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/TimerService.h"

#include <cstdint>
#include <map>
#include <memory>

class HintManager final : public TarnEngine::ITimerListener
{
public:
    class Hint
    {
    public:
        Hint() = default;
        Hint(const Hint&) = delete;
        Hint& operator=(const Hint&) = delete;
        // Deletes the background, then the text movie, whichever of them still lives.
        virtual ~Hint();

        TarnEngine::InstanceHandle textMovie;
        TarnEngine::InstanceHandle background;
        TarnEngine::InstanceHandle timer; // empty when the hint has no lifetime
    };

    static constexpr const wchar_t* TextDefinition = L"text_hint";
    static constexpr const wchar_t* BackgroundImage = L"hint_bg.png";

    HintManager();
    ~HintManager() override;
    HintManager(const HintManager&) = delete;
    HintManager& operator=(const HintManager&) = delete;

    // The newest hint manager that still exists, or null.
    static HintManager* Get();

    // A new hint with the text below the pointer; lifetime in seconds, 0 or less: until removed.
    int32_t AddHint(const wchar_t* text, float lifetime);
    void RemoveHint(int32_t id);
    void Clear();

    // ITimerListener: a lifetime has ended.
    void OnTimer(TarnEngine::InstanceHandle timer) override;

    const std::map<int32_t, std::unique_ptr<Hint>>& GetHints() const { return hints; }
    int32_t GetLastId() const { return lastId; }

private:
    std::map<int32_t, std::unique_ptr<Hint>> hints;
    int32_t lastId = 0;
};

// The class records and script functions of the hint pop-up, the help screen and the tooltip
// tracker ("ShowHintPopup", "HintTracker"); before the script manager starts. Registering twice
// changes nothing.
void RegisterHintScript();
