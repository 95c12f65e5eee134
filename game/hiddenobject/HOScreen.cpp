// The hidden-object screen; see HOScreen.h.
#include "game/hiddenobject/HOScreen.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/hiddenobject/BoardScript.h"
#include "game/hiddenobject/BoardServices.h"
#include "game/hiddenobject/DlgGuess.h"
#include "game/hiddenobject/HUDLetters.h"
#include "game/hiddenobject/HUDList.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/ISpyState.h"
#include "game/hiddenobject/PuzzleItem.h"
#include "game/hiddenobject/RechargableButton.h"
#include "game/hiddenobject/SceneBlur.h"
#include "game/hiddenobject/ScreenServices.h"
#include "game/ui/UIMessageBox.h"

#include <algorithm>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(HOScreen, Screen, RObjectFactory<HOScreen>, L"HOScreen", &HOScreen::RegisterLua)

namespace
{

// Process-wide: every end-of-level dialog of a run gets a name of its own.
int32_t g_endLevelCounter = 0;

const wchar_t* const kConsoleFunctions[] = {L"findall", L"ispywin"};

Console* console()
{
    UserInterface* ui = UserInterface::Get();
    return ui ? ui->GetConsole() : nullptr;
}

IGIL* device()
{
    Renderer* renderer = Renderer::Get();
    return renderer ? renderer->GetDevice() : nullptr;
}

} // namespace

HOScreen::HOScreen()
{
    if ((recreateDevice = device()))
        recreateDevice->AddRecreateFinishListener(this);
}

HOScreen::~HOScreen()
{
    // A screen deleted without being closed must not leave its console functions behind.
    unregisterConsole();
    unsubscribe();
    if (recreateDevice && recreateDevice == device())
        recreateDevice->RemoveRecreateFinishListener(this);
    captureTarget = nullptr;
}

void HOScreen::Initialize(const std::wstring& instanceName)
{
    Screen::Initialize(instanceName);
    SetEventHandler(this);
}

ISpyBoard* HOScreen::GetBoard() const
{
    Instance_Movie* movie = board.Get();
    return movie && !movie->unloaded ? RObjectCast<ISpyBoard>(movie) : nullptr;
}

HUDList* HOScreen::GetList() const
{
    Instance_Movie* movie = list.Get();
    return movie && !movie->unloaded ? RObjectCast<HUDList>(movie) : nullptr;
}

RechargableButton* HOScreen::GetButton(const wchar_t* buttonName)
{
    return RObjectCast<RechargableButton>(FindChildByPath(buttonName).GetInstance());
}

Instance_Image* HOScreen::GetBlurImage() const
{
    return RObjectCast<Instance_Image>(blur.GetInstance());
}

int32_t HOScreen::GetNextEndLevelNumber()
{
    return g_endLevelCounter;
}

bool HOScreen::callScript(const char* function)
{
    if (!luaTable.GetMethod(function))
        return false;
    CallLuaFunction1(luaTable.GetState());
    return true;
}

// ---- Attach.

void HOScreen::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    Screen::OnLoad(instance);
    // The game mode makes the screen without opening it; it must be open to hear the game's
    // events ("PAUSE", "SAVE") and to be stepped and closed by the screen manager.
    if (_ScreenMgr* screens = _ScreenMgr::Get())
    {
        const std::vector<Screen*>& open = screens->GetOpenScreens();
        if (std::find(open.begin(), open.end(), this) == open.end() && GetScreenState() == StateIdle)
            Open(false);
    }
    const WeakPtr<LuaObjectBase> alive(this);
    ScreenServices& services = ScreenServices::Get();
    const std::wstring levelName = services.GetCurrentLevelName();
    ISpyState saved;
    const XmlNode* profile = services.GetCurrentProfile();
    if (profile && saved.LoadFromProfile(*profile) && !saved.m_board.empty() && saved.m_board == levelName)
    {
        // Only the two modes a level can be saved in come back; anything else starts it afresh.
        mode = saved.m_mode == MODE_HO || saved.m_mode == MODE_PUZZLE ? int32_t(saved.m_mode) : MODE_INVALID;
        createBoard(levelName);
    }
    else
    {
        ISpyState fresh;
        fresh.m_board = levelName;
        if (XmlNode* writable = services.GetCurrentProfile())
            fresh.SaveToProfile(*writable);
        createBoard(levelName);
    }
    if (alive.IsAlive() && !unloaded)
        registerConsole();
}

void HOScreen::createBoard(const std::wstring& levelName)
{
    unsubscribe();
    auto* made = RObjectCast<ISpyBoard>(Instance_Movie::CreateChild(this, levelName, levelName, nullptr).GetInstance());
    board = WeakPtr<Instance_Movie>(made);
    if (!made)
        return;
    // The scene lies behind the HUD: the list and the buttons draw over it and stay clickable
    // above the hint shield, which goes just in front of the board.
    made->MoveToBack();
    made->itemFoundEvent.Append(new MethodDelegate1<HOScreen, void, ISpyItem*>(this, &HOScreen::onItemFound));
    made->allLettersFoundEvent.Append(new MethodDelegate0<HOScreen, void>(this, &HOScreen::onAllLettersFound));
    made->boardLoadedEvent.Append(new MethodDelegate1<HOScreen, void, ISpyBoard*>(this, &HOScreen::onBoardReady));
}

void HOScreen::unsubscribe()
{
    ISpyBoard* current = GetBoard();
    if (!current)
        return;
    const MethodDelegate1<HOScreen, void, ISpyItem*> found(this, &HOScreen::onItemFound);
    const MethodDelegate0<HOScreen, void> letters(this, &HOScreen::onAllLettersFound);
    const MethodDelegate1<HOScreen, void, ISpyBoard*> ready(this, &HOScreen::onBoardReady);
    while (current->itemFoundEvent.Remove(found))
    {
    }
    while (current->allLettersFoundEvent.Remove(letters))
    {
    }
    while (current->boardLoadedEvent.Remove(ready))
    {
    }
}

void HOScreen::registerConsole()
{
    Console* functions = console();
    if (!functions || consoleRegistered)
        return;
    for (const wchar_t* function : kConsoleFunctions)
        functions->RegisterFunction(function, this, 0);
    consoleRegistered = true;
}

void HOScreen::unregisterConsole()
{
    if (!consoleRegistered)
        return;
    consoleRegistered = false;
    if (Console* functions = console())
        for (const wchar_t* function : kConsoleFunctions)
            functions->UnregisterFunction(function);
}

void HOScreen::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.empty())
        return;
    if (arguments[0] == L"ispywin")
        return FinishLevel();
    if (arguments[0] != L"findall")
        return;
    ISpyBoard* current = GetBoard();
    if (!current)
        return;
    for (ISpyItem* item : current->GetItems())
    {
        const WeakPtr<LuaObjectBase> alive(item);
        if (item->unloaded || item->GetState() != ITEM_ACTIVE)
            continue;
        item->SetState(ITEM_HIDDEN);
        if (alive.IsAlive() && item->GetLuaTable().GetMethod("OnFound"))
            CallLuaFunction1(item->GetLuaTable().GetState());
    }
}

// ---- Board ready.

void HOScreen::onBoardReady(ISpyBoard* ready)
{
    if (!ready || ready != GetBoard())
        return;
    const WeakPtr<LuaObjectBase> alive(this);
    auto gone = [&] { return !alive.IsAlive() || unloaded || !GetBoard(); };

    HUDList* itemList = RObjectCast<HUDList>(FindChildByPath(L"list").GetInstance());
    list = WeakPtr<Instance_Movie>(itemList);
    if (itemList)
        itemList->SetBoard(ready);
    if (auto* background = RObjectCast<Instance_Movie>(FindChildByPath(L"bg").GetInstance()))
        background->SetEatingMouse(true);

    const UserInterface* ui = UserInterface::Get();
    const float screenW = ui && ui->screenWidth > 0 ? float(ui->screenWidth) : SceneBlur::ScreenWidth;
    const float screenH = ui && ui->screenHeight > 0 ? float(ui->screenHeight) : SceneBlur::ScreenHeight;
    shield = Instance_Movie::CreateChild(this, L"mov_white_blank", L"shield", nullptr).AsMovie();
    if (auto* back = RObjectCast<Instance_Movie>(shield.GetInstance()))
    {
        back->SetOpacity(0.5f);
        back->SetVisible(false);
        back->SetEatingMouse(false);
        back->SetColor(0);
        back->SetEventHandler(this);
        SceneBlur::FitSize(back, screenW, screenH);
        if (itemList)
            itemList->SetShield(shield);
        back->MoveToBack();
        back->MoveInFrontOf(ready);
    }
    blur = Instance_Movie::CreateChild(this, L"blur_rt.png", L"blur", nullptr).AsImage();
    if (Instance_Image* image = GetBlurImage())
    {
        image->MoveInFrontOf(ready);
        image->SetInputEnabled(false);
        SceneBlur::FitSize(image, screenW, screenH);
    }
    SetPaused(false);
    LoadLevel();
    if (gone())
        return;

    std::wstring word;
    HUDLetters::BuildWord(GetBoard()->GetLetters(), word);
    handOverSecretWord(word);
    if (gone())
        return;

    if (auto* row = RObjectCast<HUDLetters>(FindChildByPath(L"letters").GetInstance()))
    {
        row->SetOwner(this);
        row->Refill(GetBoard());
        if (gone())
            return;
    }
    const std::wstring ambient = L"audio\\ambient\\" + GetBoard()->name + L".xml";
    if (FileSystem* files = FileSystem::Get(); files && files->FileExists(ambient))
        ScreenServices::Get().PlayAmbientScene(ambient);
    MoveTo(0.0f, 0.0f);
}

void HOScreen::handOverSecretWord(const std::wstring& word)
{
    lua_State* state = LuaBinding::GetState();
    if (!state)
        return;
    // The word is an argument of a fixed chunk, never part of its text: a letter may be any
    // character, quotes and backslashes included.
    static const char* const chunk = "local word = ... svc.PlayerState:SetSecretWord(word)";
    if (luaL_loadstring(state, chunk) != 0)
    {
        lua_pop(state, 1);
        return;
    }
    PushWString(state, word);
    LuaPCall(state, 1, 0);
}

// ---- Level state.

void HOScreen::LoadLevel()
{
    HUDList* itemList = GetList();
    ISpyBoard* current = GetBoard();
    if (!itemList || !current)
        return;
    ISpyState saved;
    const XmlNode* profile = ScreenServices::Get().GetCurrentProfile();
    if (!profile || !saved.LoadFromProfile(*profile))
        return;
    const WeakPtr<LuaObjectBase> alive(this);
    if (mode == MODE_INVALID)
    {
        SetMode(MODE_HO);
        current->BuildGroups();
        callScript("OnNewLevel");
        return;
    }
    const int32_t savedMode = mode == MODE_PUZZLE ? MODE_PUZZLE : MODE_HO;
    mode = MODE_INVALID;
    SetMode(savedMode);
    current->LoadState(saved);
    itemList->RestoreGroups(saved);
    if (!alive.IsAlive() || !(current = GetBoard()))
        return;
    SetHintTimeSource(current->AreAllLettersFound());
    EnableGuess(saved.m_guessEnabled);
    EnableHint(saved.m_hintEnabled);
    if (luaTable.GetMethod("OnLoadLevel"))
    {
        lua_State* state = luaTable.GetState();
        if (!saved.m_lua.PushTable())
            lua_newtable(state);
        LuaPCall(state, 2, 1);
        lua_pop(state, 1);
    }
}

void HOScreen::SaveLevel()
{
    ISpyBoard* current = GetBoard();
    if (!current)
        return;
    ISpyState state;
    state.m_mode = uint32_t(mode);
    state.m_guessEnabled = guessEnabled;
    state.m_hintEnabled = hintEnabled;
    current->SaveState(state);
    if (HUDList* itemList = GetList())
        itemList->SaveGroups(state);
    if (luaTable.GetMethod("OnSaveLevel"))
    {
        lua_State* lua = luaTable.GetState();
        if (!state.m_lua.PushTable())
        {
            // Without a table of its own the state keeps whatever the script fills in.
            state.m_lua = NewLuaTable(lua);
            state.m_lua.PushTable();
        }
        LuaPCall(lua, 2, 0);
    }
    if (XmlNode* profile = ScreenServices::Get().GetCurrentProfile())
        state.SaveToProfile(*profile);
}

void HOScreen::SetMode(int32_t newMode)
{
    if ((newMode != MODE_HO && newMode != MODE_PUZZLE) || newMode == mode)
        return;
    const bool searching = newMode == MODE_HO;
    if (ISpyBoard* current = GetBoard())
    {
        current->hiddenObjectMode = searching;
        for (ISpyItem* item : current->GetItems())
            if (item->GetState() == ITEM_ACTIVE)
                item->SetInputEnabled(searching);
    }
    if (HUDList* itemList = GetList())
    {
        itemList->SetInputEnabled(searching);
        itemList->SetVisible(searching);
    }
    if (RechargableButton* skip = GetButton(L"btn_skip"))
    {
        skip->timerRunning = !searching;
        skip->RefreshLabel();
        skip->SetInputEnabled(!searching);
        skip->SetVisible(!searching);
        skip->RestartWithTotal();
    }
    if (Instance_Base* quest = FindChildByPath(L"txt_quest").GetInstance())
        quest->SetVisible(!searching);
    mode = newMode;
}

void HOScreen::EnableHint(bool on)
{
    if (on == hintEnabled)
        return;
    hintEnabled = on;
    if (RechargableButton* hint = GetButton(L"btn_hint"))
    {
        hint->timerRunning = on;
        if (!on)
            hint->SetEnabled(false);
    }
}

void HOScreen::EnableGuess(bool on)
{
    if (on == guessEnabled)
        return;
    guessEnabled = on;
    if (RechargableButton* guess = GetButton(L"btn_guess"))
    {
        guess->timerRunning = on;
        guess->SetEnabled(on);
        guess->RefreshLabel();
    }
}

void HOScreen::SetHintTimeSource(bool boosted)
{
    if (RechargableButton* guess = GetButton(L"btn_guess"))
    {
        guess->timerRunning = !boosted;
        guess->RefreshLabel();
        guess->SetEnabled(!boosted);
    }
    RechargableButton* hint = GetButton(L"btn_hint");
    if (!hint)
        return;
    const WeakPtr<LuaObjectBase> alive(hint);
    if (hint->GetLuaTable().GetMethod("SetTimeSource"))
        CallLuaWithString(hint->GetLuaTable().GetState(), boosted ? L"HintRechargeTimeBoosted" : L"HintRechargeTime");
    if (alive.IsAlive())
        hint->Complete(!boosted);
}

void HOScreen::SelectGroups(int32_t count)
{
    HUDList* itemList = GetList();
    ISpyBoard* current = GetBoard();
    if (!itemList || !current || count < 0)
        return;
    current->ChooseGroups(uint32_t(count));
    itemList->SelectFreshGroups();
}

bool HOScreen::IsHOCompleted() const
{
    const ISpyBoard* current = GetBoard();
    return current && current->IsComplete();
}

void HOScreen::FinishLevel()
{
    EnableHint(false);
    EnableGuess(false);
    if (ISpyBoard* current = GetBoard())
        current->SetInputEnabled(false);
    const std::wstring dialogName = L"dlg_endlevel_" + std::to_wstring(g_endLevelCounter++);
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->OpenScreen(L"dlg_endlevel", dialogName, true, true);
}

// ---- Board notifications.

void HOScreen::onItemFound(ISpyItem* item)
{
    const WeakPtr<LuaObjectBase> alive(this);
    if (HUDList* itemList = GetList())
        itemList->OnItemFound(item);
    if (alive.IsAlive() && IsHOCompleted())
        BoardScript::RaiseGameEvent("AllItemsFound");
}

void HOScreen::onAllLettersFound()
{
    const WeakPtr<LuaObjectBase> alive(this);
    SetHintTimeSource(true);
    if (!alive.IsAlive())
        return;
    callScript("OnAllLettersFound");
    if (!alive.IsAlive())
        return;
    if (RechargableButton* guess = GetButton(L"btn_guess"))
        guess->RestartWithTotal();
    EnableGuess(false);
}

// ---- Buttons and questions.

void HOScreen::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    if (button->name == L"btn_guess")
    {
        _ScreenMgr* screens = _ScreenMgr::Get();
        const InstanceHandle opened = screens ? screens->OpenScreen(L"dlg_guess", L"", true, true) : InstanceHandle();
        if (auto* dialog = RObjectCast<DlgGuess>(opened.GetInstance()))
            dialog->SetOwner(this);
    }
    else if (button->name == L"btn_hint")
    {
        OnHintPressed();
    }
    else if (button->name == L"btn_skip")
    {
        ShowMessageBox(nullptr, this, SkipQuestionId, L"", L"|T|ConfirmSkipQuest", L"|T|Skip", nullptr,
                       L"|T|Cancel");
    }
    // Any other button is the level script's ("OnButtonClick"); it must not close the screen.
}

void HOScreen::HandleMsgBox(int32_t id, int32_t result)
{
    if (id != SkipQuestionId)
        return;
    if (result == UIMessageBox::ResultLeft)
        callScript("OnSkipQuest");
    else if (RechargableButton* skip = GetButton(L"btn_skip"))
        skip->Complete(true);
}

void HOScreen::OnGuessClosed()
{
    if (RechargableButton* guess = GetButton(L"btn_guess"))
        guess->Complete(true);
}

// ---- Hints.

void HOScreen::OnHintPressed()
{
    if (mode == MODE_HO)
    {
        if (RechargableButton* hint = GetButton(L"btn_hint"))
        {
            hint->RestartWithTotal();
            hint->SetEnabled(false);
            hint->timerRunning = false;
            hint->RefreshLabel();
        }
        BoardScript::RaiseGameEvent("HintButtonPressed");
        return;
    }
    if (mode != MODE_PUZZLE)
        return;
    ISpyBoard* current = GetBoard();
    if (!current)
        return;
    std::vector<PuzzleItem*> candidates;
    for (PuzzleItem* item : current->GetPuzzleItems())
        if (item->GetState() == ITEM_ACTIVE)
            candidates.push_back(item);
    if (candidates.empty())
        return;
    const int32_t drawn = PoolRandomInt(0, int32_t(candidates.size()) - 1);
    PuzzleItem* chosen = candidates[size_t(std::clamp<int32_t>(drawn, 0, int32_t(candidates.size()) - 1))];
    if (chosen->GetLuaTable().GetMethod("OnHint"))
        CallLuaFunction1(chosen->GetLuaTable().GetState());
}

void HOScreen::OnHintReady()
{
    if (IsHOCompleted())
        return;
    HUDList* itemList = GetList();
    if (!itemList || !itemList->HasHintableEntry())
    {
        ShowMessageBox(nullptr, nullptr, NothingToHintId, L"|T|AllHOInvisible_TITLE", L"|T|AllHOInvisible_MSG",
                       nullptr, L"|T|Ok", nullptr);
        CancelHint();
        return;
    }
    itemList->SetHintSelection(true);
}

void HOScreen::OnHintProcessed()
{
    if (RechargableButton* hint = GetButton(L"btn_hint"))
    {
        hint->timerRunning = true;
        hint->RefreshLabel();
    }
}

void HOScreen::RechargeHint()
{
    if (RechargableButton* hint = GetButton(L"btn_hint"))
        hint->Complete(false);
}

void HOScreen::CancelHint()
{
    if (RechargableButton* hint = GetButton(L"btn_hint"))
    {
        hint->timerRunning = true;
        hint->Complete(true);
    }
    BoardScript::RaiseGameEvent("HintCancelled");
}

void HOScreen::SetObjectHint(const std::wstring& path, const std::wstring& text)
{
    const InstanceHandle control = FindChildByPath(path);
    if (control.IsValid())
        tooltips.AddControl(control, text);
}

void HOScreen::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    const WeakPtr<LuaObjectBase> alive(this);
    Container::OnMouseDown(instance, button);
    if (!alive.IsAlive())
        return;
    // A shield still held takes this press only to go (its release never came).
    if (shieldHeld && instance == shield)
        return releaseShield();
    HUDList* itemList = GetList();
    const Instance_Base* back = shield.GetInstance();
    // While the game is paused the hint selection is not cancelled (that would recharge the button).
    if (!itemList || !itemList->IsSelecting() || !back || !back->visible || ISpyBoard::IsGamePaused())
        return;
    // The list may have heard the same press already; the selection is cancelled once.
    if (button != 1 && instance != shield)
        return;
    const bool leftOnShield = button == 0 && instance == shield;
    if (!itemList->CancelSelection() || !alive.IsAlive() || !leftOnShield)
        return;
    if (auto* held = RObjectCast<Instance_Movie>(shield.GetInstance()))
    {
        held->SetVisible(true);
        held->SetEatingMouse(true);
        shieldHeld = true;
    }
}

bool HOScreen::IsEatingMouse(InstanceHandle instance)
{
    if (IsSelf(instance))
        return Screen::IsEatingMouse(instance);
    const auto* movie = RObjectCast<Instance_Movie>(instance.GetInstance());
    return movie && movie->eatingMouse;
}

void HOScreen::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    Screen::OnMouseUp(instance, button);
    if (shieldHeld && instance == shield && button == 0)
        releaseShield();
}

void HOScreen::OnMouseUpOutside(InstanceHandle instance, uint32_t button)
{
    Screen::OnMouseUpOutside(instance, button);
    if (shieldHeld && instance == shield && button == 0)
        releaseShield();
}

void HOScreen::releaseShield()
{
    shieldHeld = false;
    if (auto* back = RObjectCast<Instance_Movie>(shield.GetInstance()))
    {
        back->SetVisible(false);
        back->SetEatingMouse(false);
    }
}

// ---- Frames and events.

void HOScreen::UpdateState()
{
    const WeakPtr<LuaObjectBase> alive(this);
    Screen::UpdateState();
    if (!alive.IsAlive() || unloaded)
        return;
    _ScreenMgr* screens = _ScreenMgr::Get();
    if (GetScreenState() == StateOpen)
    {
        const Screen* library = screens ? screens->FindScreen(L"dlg_library") : nullptr;
        SetVisible(!(library && library->GetScreenState() == StateOpen));
    }
    HUDList* itemList = GetList();
    if (screens && screens->GetTopModalScreen())
        BoardServices::Get().SetCursorIdx(CF_DEFAULT);
    else if (itemList && itemList->visible && itemList->IsMouseOver())
        itemList->UpdateCursor();
    else if (ISpyBoard* current = GetBoard())
        current->UpdateCursor();
    if (!alive.IsAlive())
        return;
    if (blurerEnabled)
        RefreshBlur();
    tooltips.Update();
}

void HOScreen::Close(bool accepted)
{
    unregisterConsole();
    Screen::Close(accepted);
}

void HOScreen::OnGameEvent(const std::wstring& eventName, const std::wstring& value)
{
    if (eventName == L"PAUSE")
        SetPaused(value == L"1");
    else if (eventName == L"SAVE")
        SaveLevel();
    else if (eventName == L"SETTINGS")
        if (ISpyBoard* current = GetBoard())
            current->ApplyEffectSettings();
}
