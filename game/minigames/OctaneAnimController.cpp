// A digit roller; see OctaneAnimController.h.
#include "game/minigames/OctaneAnimController.h"

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/minigames/OctaneBoard.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(OctaneAnimController, Container, RObjectFactory<OctaneAnimController>,
                              L"OctaneAnimController", &OctaneAnimController::RegisterLua)

void OctaneAnimController::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Container::StaticScriptName());
    def.SetConstructor(&LuaConstruct<OctaneAnimController>);
    def.Build(StaticScriptName());
}

void OctaneAnimController::findLabels()
{
    if (upper.IsValid() && lower.IsValid())
        return;
    Instance_Movie* digits = ChildMovie(L"digits");
    if (!digits)
        return;
    upper = digits->FindChildByPath(L"lbl_up").AsText();
    lower = digits->FindChildByPath(L"lbl_down").AsText();
}

Instance_Text* OctaneAnimController::GetUpper()
{
    findLabels();
    return RObjectCast<Instance_Text>(upper.GetInstance());
}

Instance_Text* OctaneAnimController::GetLower()
{
    findLabels();
    return RObjectCast<Instance_Text>(lower.GetInstance());
}

void OctaneAnimController::OnLoad(InstanceHandle instance)
{
    Container::OnLoad(instance);
    if (IsSelf(instance))
        findLabels();
}

void OctaneAnimController::ShowValue(int32_t value)
{
    const std::wstring text = std::to_wstring(value);
    if (Instance_Text* label = GetUpper())
        label->SetText(text);
    if (Instance_Text* label = GetLower())
        label->SetText(text);
}

void OctaneAnimController::SetDigitColour(uint32_t colour)
{
    if (Instance_Text* label = GetUpper())
        label->SetColor(colour);
    if (Instance_Text* label = GetLower())
        label->SetColor(colour);
}

bool OctaneAnimController::Roll(int32_t value, bool up)
{
    Instance_Text* top = GetUpper();
    Instance_Text* bottom = GetLower();
    if (IsRolling() || !top || !bottom)
        return false;
    GotoLabel(up ? L"up" : L"down");
    (up ? bottom : top)->SetText(std::to_wstring(value));
    SetPlaying(true);
    return true;
}

void OctaneAnimController::OnTimelineStop(InstanceHandle instance)
{
    if (!IsSelf(instance) || !board)
        return;
    board->OnRollStopped(*this);
    Instance_Text* top = GetUpper();
    Instance_Text* bottom = GetLower();
    if (!top || !bottom)
        return;
    const uint32_t frames = GetNumFrames();
    if (frames > 0 && requestedFrame == frames - 1)
        bottom->SetText(top->text);
    else
        top->SetText(bottom->text);
}
