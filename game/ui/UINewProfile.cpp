// The new-profile screen; see UINewProfile.h.
#include "game/ui/UINewProfile.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringTable.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/TextField.h"
#include "game/core/Core.h"
#include "game/core/ProfileStore.h"
#include "game/ui/UIProfile.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(UINewProfile, Screen, RObjectFactory<UINewProfile>, L"UINewProfile",
                              &UINewProfile::RegisterLua)

namespace
{

// What the player did on this screen, for the game's log.
void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

bool isBlank(const std::wstring& text)
{
    return text.find_first_not_of(L' ') == std::wstring::npos;
}

} // namespace

void UINewProfile::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<UINewProfile>);
    def.Build(StaticScriptName());
}

ProfileStore* UINewProfile::store() const
{
    Core* core = Core::Get();
    return core ? &core->GetProfileStore() : nullptr;
}

size_t UINewProfile::countProfiles() const
{
    const ProfileStore* profiles = store();
    return profiles ? profiles->CountProfiles() : 0;
}

TextField* UINewProfile::GetTextField() const
{
    return RObjectCast<TextField>(textField.GetInstance());
}

void UINewProfile::OnScreenLoaded()
{
    // 1.
    if (countProfiles() == 0)
        SetFrame(1);
    logGame(countProfiles() == 0 ? L"new-profile screen shown for the first profile"
                                 : L"new-profile screen shown");
    // 2.
    const InstanceHandle found = FindChildByPath(L"textfield");
    TextField* field = RObjectCast<TextField>(found.GetInstance());
    if (!field)
        return;
    textField = found;
    // 3. Without a translation of the key every typeable character is allowed, rather than only
    // the letters of the key's own text.
    if (const StringTable* table = StringTable::GetKeyed(); table && table->HasText(AllowedSymbolsKey))
        field->allowedCharacters = table->GetText(AllowedSymbolsKey);
    field->allowRepeatedSpaces = true;
    field->maxLength = TextField::Unlimited;
    Instance_Base* shown = field->textChild.GetInstance();
    if (!shown)
        shown = field->FindChildByPath(L"text").GetInstance();
    if (const auto* text = RObjectCast<Instance_Text>(shown); text && text->boxWidth > 0)
        field->maxTextWidth = uint32_t(text->boxWidth);
    // 4.
    const InstanceHandle ok = FindChildByPath(L"okButton");
    if (auto* button = RObjectCast<Button>(ok.GetInstance()))
    {
        okButton = ok;
        button->SetEnabled(!isBlank(field->GetText()));
    }
    if (auto* cancel = RObjectCast<Button>(FindChildByPath(L"cancelButton").GetInstance()))
        cancel->SetEnabled(countProfiles() > 0);
}

void UINewProfile::UpdateState()
{
    Screen::UpdateState();
    if (auto* button = RObjectCast<Button>(okButton.GetInstance()))
    {
        const bool can = CanCreate();
        if (button->enabled != can)
            button->SetEnabled(can);
    }
}

std::wstring UINewProfile::GetEnteredName() const
{
    const TextField* field = GetTextField();
    if (!field)
        return std::wstring();
    const std::wstring& text = field->GetText();
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

bool UINewProfile::CanCreate() const
{
    const std::wstring name = GetEnteredName();
    const ProfileStore* profiles = store();
    return !name.empty() && profiles && !profiles->ProfileExists(name);
}

void UINewProfile::CreateProfile()
{
    if (!CanCreate())
        return;
    const std::wstring name = GetEnteredName();
    ProfileStore* profiles = store();
    if (!profiles->CreateProfile(name))
        return;
    logGame(L"profile \"" + name + L"\" created");
    profiles->SetCurrentProfile(name);
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->CloseScreen(UIProfile::DefinitionName, false);
}

void UINewProfile::HandleButtonPressed(Button* button)
{
    if (!button || !GetTextField())
        return;
    if (button->name == L"okButton")
    {
        CreateProfile();
        Close(true);
    }
    else if (button->name == L"cancelButton")
    {
        if (countProfiles() > 0)
            Close(false);
    }
}
