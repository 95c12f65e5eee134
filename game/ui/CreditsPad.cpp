// A credits panel; see CreditsPad.h.
#include "game/ui/CreditsPad.h"

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/ui/WarpedText.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(CreditsPad, Instance_Movie, RObjectFactory<CreditsPad>, L"CreditsPad",
                              &CreditsPad::RegisterLua)

namespace
{

Instance_Movie* padOf(Instance_Movie& panel)
{
    Instance_Base* pad = panel.FindChildByPath(L"pad").GetInstance();
    return pad && pad->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(pad) : nullptr;
}

void setText(const InstanceHandle& handle, const std::wstring& text)
{
    if (auto* label = RObjectCast<Instance_Text>(handle.GetInstance()))
        label->SetText(text);
}

} // namespace

CreditsPad::~CreditsPad()
{
    // A panel must not be told about itself while it goes.
    if (eventHandler == static_cast<IInstanceEventHandler*>(this))
        SetEventHandler(nullptr);
}

void CreditsPad::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.SetConstructor(&LuaConstruct<CreditsPad>);
    def.Build(StaticScriptName());
}

void CreditsPad::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    title = names = titleMirror = namesMirror = InstanceHandle();
    SetEventHandler(this);
}

void CreditsPad::OnLoad(InstanceHandle instance)
{
    if (instance.GetInstance() == static_cast<Instance_Base*>(this))
        findTexts();
}

void CreditsPad::findTexts()
{
    if (title.IsValid() && names.IsValid())
        return;
    Instance_Movie* pad = padOf(*this);
    if (!pad)
        return;
    if (!title.IsValid())
        title = pad->FindChildByPath(L"lbl_title").AsText();
    if (!names.IsValid())
        names = pad->FindChildByPath(L"lbl_name").AsText();
}

void CreditsPad::SetTexts(const std::wstring& titleText, const std::wstring& namesText)
{
    findTexts();
    setText(title, titleText);
    setText(titleMirror, titleText);
    setText(names, namesText);
    setText(namesMirror, namesText);
}

void CreditsPad::CreateReflections()
{
    Instance_Movie* pad = padOf(*this);
    if (!pad)
        return;
    findTexts();
    titleMirror = CreateWarpedCopy(pad, RObjectCast<Instance_Text>(title.GetInstance()), L"lbl_titlem",
                                   MirrorY, TitleMirrorOpacity);
    namesMirror = CreateWarpedCopy(pad, RObjectCast<Instance_Text>(names.GetInstance()), L"lbl_namesm",
                                   MirrorY, NamesMirrorOpacity);
}
