// A speech-balloon pop-up with a title and a text, shown by scripts (ShowHintPopup) at a point of
// the screen, for example next to a control that a tutorial explains. It picks the way its
// balloon points from where the point lies, keeps its pad inside the screen, and closes on a click
// anywhere (also on its backdrop) or, when timed, only at its time-out; the close raises the script
// event "HintClosed" with the opener's id. The pop-up is found by its title while it is open; one
// that is already closing is never reused.
#pragma once

#include "engine/core/time/Timer2.h"
#include "engine/scene/ui/Screen.h"

#include <cstdint>
#include <string>

class HintPopup final : public TarnEngine::Screen, public TarnEngine::Timer2
{
    TARN_RCLASS(HintPopup)
    TARN_LUA_CLASS("HintPopup")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_help_popup";
    static constexpr uint32_t TimeoutTimer = 1;
    // Points closer than this to the left or right edge get a balloon pointing sideways.
    static constexpr float SideMargin = 64.0f;

    HintPopup();
    ~HintPopup() override;

    // Moves the pop-up to the point (the screen's centre for a negative coordinate) and shows the
    // frame whose balloon points there, when the definition has it.
    void PlaceAt(float px, float py);
    // The answer to ShowHintPopup: stores id and texts, hears its backdrop, arms or clears the
    // time-out (seconds; 0 or less: closes on a click instead).
    void Setup(const std::wstring& newTitle, const std::wstring& newText, float px, float py, int32_t newId,
               float timeout);
    // Starts the fade-out and raises "HintClosed" at once; nothing when already closing.
    void ClosePopup();

    const std::wstring& GetTitle() const { return title; }
    const std::wstring& GetText() const { return text; }
    int32_t GetId() const { return id; }
    bool IsTimed() const { return timed; }
    const TarnEngine::InstanceHandle& GetPad() const { return pad; }

    // Screen
    void Close(bool accepted) override;
    void OnScreenLoaded() override;
    // IInstanceEventHandler: a release on the pop-up or its backdrop.
    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(TarnEngine::InstanceHandle instance, uint32_t button) override;
    // Timer2: the time-out.
    void OnTimer(uint32_t timerId) override;

    static void RegisterLua(lua_State* state);

private:
    void onClick();

    std::wstring text;
    std::wstring title;
    TarnEngine::InstanceHandle pad;
    int32_t id = 0;
    bool timed = false;
    bool closing = false;
};

// Opens (or finds, by title) the pop-up and sets it up; nothing when "dlg_help_popup" cannot be
// made into a HintPopup. x and y in screen coordinates; timeout in seconds.
void ShowHintPopup(const std::wstring& title, const std::wstring& text, float x, float y, int32_t id,
                   float timeout);
