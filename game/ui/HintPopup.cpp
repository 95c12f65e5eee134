// The hint pop-up; see HintPopup.h.
#include "game/ui/HintPopup.h"

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"

#include <cmath>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(HintPopup, Screen, RObjectFactory<HintPopup>, L"HintPopup",
                              &HintPopup::RegisterLua)

namespace
{

uint32_t g_closingSerial = 0;

void screenSize(uint32_t& width, uint32_t& height)
{
    const UserInterface* ui = UserInterface::Get();
    width = ui ? uint32_t(std::max(ui->screenWidth, 0)) : 0;
    height = ui ? uint32_t(std::max(ui->screenHeight, 0)) : 0;
}

} // namespace

HintPopup::HintPopup() = default;

HintPopup::~HintPopup()
{
    // The backdrop goes with the pop-up, but must not call it on the way.
    const UserInterface* ui = UserInterface::Get();
    if (ui && backdrop.table == &ui->instanceTable)
        if (auto* back = RObjectCast<Instance_Movie>(backdrop.GetInstance()))
            if (back->GetEventHandler() == static_cast<IInstanceEventHandler*>(this))
                back->SetEventHandler(nullptr);
}

void HintPopup::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<HintPopup>);
    def.Build(StaticScriptName());
}

void HintPopup::PlaceAt(float px, float py)
{
    uint32_t screenWidth = 0, screenHeight = 0;
    screenSize(screenWidth, screenHeight);
    const bool onScreen = px >= 0.0f && py >= 0.0f;
    if (onScreen)
        MoveTo(std::floor(px), std::floor(py));
    else
        MoveTo(float(screenWidth) * 0.5f, float(screenHeight) * 0.5f);

    const wchar_t* label = py > float(screenHeight / 2) ? L"on_top" : L"on_bottom";
    if (!onScreen)
        label = L"on_center";
    else if (px < SideMargin)
        label = L"on_right";
    else if (px > float(screenWidth) - SideMargin)
        label = L"on_left";
    uint32_t frame = 0;
    if (LookupLabelFrame(label, frame))
        SetFrame(frame);
}

void HintPopup::Setup(const std::wstring& newTitle, const std::wstring& newText, float px, float py,
                      int32_t newId, float timeout)
{
    id = newId;
    PlaceAt(px, py);
    title = newTitle;
    text = newText;
    // A click anywhere behind the pop-up reaches it. The backdrop never owns it.
    if (auto* back = RObjectCast<Instance_Movie>(backdrop.GetInstance()))
        back->SetEventHandler(this);
    if (timeout > 0.0f)
    {
        SetTimer(TimeoutTimer, timeout, false, 0);
        timed = true;
    }
    else
    {
        RemoveTimer(TimeoutTimer);
        timed = false;
    }
}

void HintPopup::OnScreenLoaded()
{
    pad = FindChildByPath(L"hint_pad").AsMovie();
    Instance_Base* padInstance = pad.GetInstance();
    if (!padInstance)
        return;
    uint32_t screenWidth = 0, screenHeight = 0;
    screenSize(screenWidth, screenHeight);
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    padInstance->GetBounds(left, top, right, bottom, true);
    const std::wstring label = GetCurrentLabel();
    if ((label == L"on_top" || label == L"on_bottom") && right > float(screenWidth))
        padInstance->SetX(std::floor(padInstance->x + float(screenWidth) - right));
    if ((label == L"on_right" || label == L"on_left") && bottom > float(screenHeight))
        padInstance->SetY(std::floor(padInstance->y + float(screenHeight) - bottom));
    if (auto* padMovie = RObjectCast<Instance_Movie>(padInstance))
    {
        if (auto* titleText = RObjectCast<Instance_Text>(padMovie->FindChildByPath(L"title").GetInstance()))
            titleText->SetText(title);
        if (auto* bodyText = RObjectCast<Instance_Text>(padMovie->FindChildByPath(L"text").GetInstance()))
            bodyText->SetText(text);
    }
}

void HintPopup::onClick()
{
    if (!timed)
        ClosePopup();
}

void HintPopup::OnMouseUp(InstanceHandle, uint32_t)
{
    onClick();
}

void HintPopup::OnMouseUpOutside(InstanceHandle, uint32_t)
{
    onClick();
}

void HintPopup::OnTimer(uint32_t)
{
    ClosePopup();
}

void HintPopup::Close(bool accepted)
{
    const int32_t state = GetScreenState();
    if (state != StateFadingOut && state != StateClosed && !closing)
    {
        closing = true;
        // Closing for good: the next pop-up with this title is a new one.
        name = L"__closing_hint_" + std::to_wstring(++g_closingSerial);
        RemoveTimer(TimeoutTimer);
    }
    Screen::Close(accepted);
}

void HintPopup::ClosePopup()
{
    if (closing)
        return;
    Close(false);
    if (lua_State* state = LuaBinding::GetState())
    {
        lua_pushnumber(state, lua_Number(id));
        LuaRaiseGlobalEvent(state, "HintClosed", 1);
    }
}

void ShowHintPopup(const std::wstring& title, const std::wstring& text, float x, float y, int32_t id,
                   float timeout)
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    if (!screens)
        return;
    auto* popup = RObjectCast<HintPopup>(
        screens->OpenScreen(HintPopup::DefinitionName, title, true, true).GetInstance());
    if (popup)
        popup->Setup(title, text, x, y, id, timeout);
}
