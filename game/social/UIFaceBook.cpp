// The social-network dialog; see UIFaceBook.h.
#include "game/social/UIFaceBook.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringTable.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "game/core/Core.h"
#include "game/core/GameScript.h"
#include "game/social/IFaceBook.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(UIFaceBook, Screen, RObjectFactory<UIFaceBook>, L"UIFaceBook", &UIFaceBook::RegisterLua)

namespace
{

const wchar_t* const kNewUser = L"new_user";
const wchar_t* const kEnableConnect = L"enable_connect";
const wchar_t* const kDisableConnect = L"disable_connect";
const wchar_t* const kPosting = L"posting";
const wchar_t* const kPosted = L"posted";
const wchar_t* const kError = L"error";
const wchar_t* const kPermission = L"permission";

void logDialog(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

IFaceBook* faceBook()
{
    Core* core = Core::Get();
    return core ? core->GetFaceBook() : nullptr;
}

std::wstring currentProfileName()
{
    Core* core = Core::Get();
    return core ? core->GetProfileStore().GetCurrentProfileName() : std::wstring();
}

// "srv.FB.OnPost"(template, text): both required.
int luaOnPost(lua_State* state)
{
    if (lua_type(state, 1) != LUA_TNUMBER || lua_type(state, 2) != LUA_TSTRING)
        return 0;
    const std::optional<int64_t> templateId = CheckedInteger(lua_tonumber(state, 1), INT32_MIN, INT32_MAX);
    if (!templateId)
        return 0;
    std::wstring text;
    LuaGetWStringArg(state, text, 2);
    UIFaceBook::OnPost(int32_t(*templateId), text);
    return 0;
}

// "srv.FB.IsEnabled"(): whether the game has the feature at all, not whether the player enabled it.
int luaIsEnabled(lua_State* state)
{
    lua_pushboolean(state, faceBook() != nullptr);
    return 1;
}

} // namespace

void UIFaceBook::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<UIFaceBook>);
    def.Build(StaticScriptName());
}

UIFaceBook* UIFaceBook::Open()
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    if (!faceBook() || !screens)
        return nullptr;
    return RObjectCast<UIFaceBook>(screens->OpenScreen(DefinitionName, L"", true, true).GetInstance());
}

void UIFaceBook::OpenForPost(int32_t templateId, const std::wstring& text, bool firstOffer)
{
    if (!faceBook())
        return;
    if (UIFaceBook* dialog = Open())
    {
        const PostRequest post{text, templateId};
        dialog->Setup(firstOffer ? ModeOffer : ModePost, &post);
    }
}

void UIFaceBook::OnPost(int32_t templateId, const std::wstring& text)
{
    IFaceBook* social = faceBook();
    if (!social || !(social->IsFirstOffer() || social->IsEnabled()))
        return;
    OpenForPost(templateId, text, social->IsFirstOffer());
    // Offered once: a player who does not enable it is not asked again.
    if (social->IsFirstOffer())
        social->ClearFirstOffer();
}

void UIFaceBook::Setup(int32_t newMode, const PostRequest* post)
{
    postingStarted = false;
    mode = newMode;
    if (post)
    {
        postText = post->text;
        postTemplate = post->templateId;
    }
    switch (mode)
    {
    case ModeConnect:
        StartConnect();
        break;
    case ModePost:
        StartPosting();
        break;
    case ModeDisconnect:
        ShowDisable();
        break;
    case ModeOffer:
        GotoPage(kNewUser);
        break;
    default:
        break;
    }
}

bool UIFaceBook::GotoPage(const std::wstring& label)
{
    uint32_t frame = 0;
    if (!LookupLabelFrame(label, frame))
        return false;
    SetFrame(frame);
    logDialog(L"social-network dialog: page " + label);
    return true;
}

void UIFaceBook::StartConnect()
{
    IFaceBook* social = faceBook();
    if (!social || !GotoPage(kEnableConnect))
        return;
    lastStatus = 0;
    social->Restart();
}

void UIFaceBook::ShowDisable()
{
    IFaceBook* social = faceBook();
    if (!social || !GotoPage(kDisableConnect))
        return;
    mode = ModeDisconnect;
    social->Disable();
}

void UIFaceBook::StartPosting()
{
    IFaceBook* social = faceBook();
    if (!social || !GotoPage(kPosting))
        return;
    postingStarted = true;
    social->Post(postTemplate, postText);
    // Handed over: posting until the status says otherwise. A post over a fast connection can be
    // done between two frames, and the ready status after it must still count as a change.
    lastStatus = IFaceBook::StatusPosting;
    if (postTemplate == 1)
        if (auto* text = RObjectCast<Instance_Text>(FindChildByPath(L"l5").GetInstance()))
            text->SetText(L"|T|InitialPosting");
}

void UIFaceBook::greet(const wchar_t* key)
{
    // The name is the player's own typing: no key resolution or colour codes apply to it.
    if (auto* text = RObjectCast<Instance_Text>(FindChildByPath(L"l1").GetInstance()))
        text->SetLiteralText(currentProfileName() + ResolveTextKey(key));
}

void UIFaceBook::OnScreenLoaded()
{
    lastStatus = 6;
    if (auto* enable = RObjectCast<CheckBox>(FindChildByPath(L"enable").GetInstance()))
        enable->SetChecked(true);
    greet(L"|T|WouldConnect");
}

void UIFaceBook::close()
{
    Close(false);
}

void UIFaceBook::UpdateState()
{
    Screen::UpdateState();
    IFaceBook* social = faceBook();
    if (!social || GetScreenState() != StateOpen)
        return;
    // 1. These pages wait for the player.
    const std::wstring page = GetCurrentLabel();
    if (page == kNewUser || page == kDisableConnect || page == kError)
        return;
    // 2.
    const int32_t status = social->GetStatus();
    if (status == lastStatus)
        return;
    lastStatus = status;
    switch (status)
    {
    case IFaceBook::StatusWorking:
        postingStarted = false;
        break;
    case IFaceBook::StatusReady:
        RaiseScriptEvent("ConnectedToFacebook");
        if (postingStarted)
            GotoPage(kPosted);
        else if (mode == ModePost || mode == ModeOffer)
            StartPosting();
        else
            close();
        break;
    case IFaceBook::StatusIdle:
        postingStarted = false;
        if (mode == ModeOffer || mode == ModeConnect || mode == ModePost)
            StartConnect();
        else
            close();
        break;
    case IFaceBook::StatusStopped:
        postingStarted = false;
        ShowDisable();
        break;
    case IFaceBook::StatusFailed:
        postingStarted = false;
        if (GotoPage(kError))
            lastStatus = 0;
        break;
    default:
        break;
    }
}

void UIFaceBook::onNewUserPressed()
{
    auto* enable = RObjectCast<CheckBox>(FindChildByPath(L"enable").GetInstance());
    if (!enable)
        return;
    if (enable->ticked)
        StartPosting();
    else if (!refuseConfirmed)
    {
        greet(L"|T|ConfirmRefuse");
        refuseConfirmed = true;
    }
    else
        ShowDisable();
}

void UIFaceBook::HandleButtonPressed(Button* button)
{
    if (!button || !faceBook())
        return;
    const std::wstring page = GetCurrentLabel();
    if (page == kNewUser)
        onNewUserPressed();
    else if (page == kEnableConnect)
        ShowDisable();
    else if (page == kDisableConnect)
    {
        if (Core* core = Core::Get())
            core->GetGameMgr().Save();
        close();
    }
    else if (page == kError)
    {
        if (button->name == L"btn_connect")
            StartConnect();
        else if (button->name == L"btnCancel")
        {
            faceBook()->Disable();
            close();
        }
    }
    else if (page == kPosting || page == kPosted)
        close();
    else if (page == kPermission)
        StartConnect();
}

void UIFaceBook::OnRemoved()
{
    Screen::OnRemoved();
    logDialog(L"social-network dialog: closed");
    if (Core* core = Core::Get())
        core->ApplySettings();
}

void RegisterSocialNetwork()
{
    UIFaceBook::StaticClass();
    static bool functionsDone = false;
    if (functionsDone)
        return;
    functionsDone = true;
    RegisterScriptFunction("srv.FB.OnPost", &luaOnPost);
    RegisterScriptFunction("srv.FB.IsEnabled", &luaIsEnabled);
}
