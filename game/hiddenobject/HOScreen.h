// The screen on which a hidden-object level is played. It owns the level's board as a child, the
// item list and the letter row on its HUD, the three recharging buttons "btn_hint", "btn_guess"
// and "btn_skip", the hint-selection shield and the blurred copy of the scene. It decides whether a
// level starts fresh or is restored from the player's profile ("ISPY_STATE"), saves the level when
// the game asks, runs the hint procedure, the skip question and the end of the level, and offers
// all of this to the level scripts.
//
// The board, the list and the dialogs are reached through weak references: scripts delete
// instances from inside the screen's own calls, and the guess dialog may outlive the screen.
// Script methods are in HOScreenLua.cpp, the blur switches in HOScreenBlur.cpp.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/core/diagnostics/IConsoleHandler.h"
#include "engine/graphics/textures/IGIL.h"
#include "engine/scene/ui/Screen.h"
#include "game/ui/HintTracker.h"
#include "game/ui/UIMessageBoxListener.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{
class IRenderTarget;
class Instance_Image;
} // namespace TarnEngine

class HUDList;
class ISpyBoard;
class ISpyItem;
class RechargableButton;

class HOScreen : public TarnEngine::Screen,
                 private TarnEngine::IConsoleHandler,
                 public UIMessageBoxListener,
                 public TarnEngine::IRecreateFinishListener
{
    TARN_RCLASS(HOScreen)
    TARN_LUA_CLASS("HOScreen")
public:
    enum Mode : int32_t
    {
        MODE_INVALID = 0,
        MODE_HO = 1,
        MODE_PUZZLE = 2,
    };
    // The message-box ids of the skip question and of "nothing to hint".
    static constexpr int32_t SkipQuestionId = 0;
    static constexpr int32_t NothingToHintId = 1;

    HOScreen();
    ~HOScreen() override;

    // Screen: the defaults, then the screen is its own handler.
    void Initialize(const std::wstring& instanceName) override;
    void UpdateState() override;
    void Close(bool accepted) override;
    void OnGameEvent(const std::wstring& eventName, const std::wstring& value) override;
    // The blurer switch (EnableBlurer).
    virtual void SetBlurer(bool on);

    // IInstanceEventHandler. The screen is also the shield's handler: for the shield the question
    // whether it takes the pointer is answered by the shield's own flag.
    bool IsEatingMouse(TarnEngine::InstanceHandle instance) override;
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnMouseDown(TarnEngine::InstanceHandle instance, uint32_t button) override;
    // The release of a press that cancelled a hint on the shield ends on the shield.
    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(TarnEngine::InstanceHandle instance, uint32_t button) override;
    // ButtonListener
    void HandleButtonPressed(TarnEngine::Button* button) override;
    // UIMessageBoxListener
    void HandleMsgBox(int32_t id, int32_t result) override;
    // IRecreateFinishListener
    void OnRecreateFinished() override;

    // ---- Level.
    void LoadLevel();
    void SaveLevel();
    void SetMode(int32_t newMode);
    int32_t GetMode() const { return mode; }
    void EnableHint(bool on);
    void EnableGuess(bool on);
    void SetHintTimeSource(bool boosted);
    void SelectGroups(int32_t count);
    void FinishLevel();
    bool IsHOCompleted() const;

    // ---- Hints.
    void OnHintPressed();
    void OnHintReady();
    void OnHintProcessed();
    void RechargeHint();
    void CancelHint();
    void SetObjectHint(const std::wstring& path, const std::wstring& text);

    // ---- The guess dialog closed with Cancel: the guess button is usable at once.
    void OnGuessClosed();

    // ---- Blur (HOScreenBlur.cpp).
    void SetPaused(bool paused);
    void RefreshBlur();

    ISpyBoard* GetBoard() const;
    HUDList* GetList() const;
    RechargableButton* GetButton(const wchar_t* name);
    bool IsBlurerEnabled() const { return blurerEnabled; }
    bool IsHintEnabled() const { return hintEnabled; }
    bool IsGuessEnabled() const { return guessEnabled; }
    TarnEngine::Instance_Image* GetBlurImage() const;
    const TarnEngine::InstanceHandle& GetShield() const { return shield; }
    const TarnEngine::InstanceHandle& GetCursorMask() const { return cursorMask; }
    bool HasCaptureTarget() const { return bool(captureTarget); }
    const HintTracker& GetTooltips() const { return tooltips; }
    // The number the next end-of-level dialog gets ("dlg_endlevel_%i").
    static int32_t GetNextEndLevelNumber();

    static void RegisterLua(lua_State* state);

    // The display tree's command form stays reachable beside the console's.
    using TarnEngine::Instance_Movie::ExecuteCommand;

private:
    // IConsoleHandler: "findall" and "ispywin".
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const TarnEngine::InstanceHandle& instance) override;

    void createBoard(const std::wstring& levelName);
    void unsubscribe();
    void registerConsole();
    void unregisterConsole();
    // Board notifications.
    void onBoardReady(ISpyBoard* board);
    void onItemFound(ISpyItem* item);
    void onAllLettersFound();
    // Calls the script function of the screen's table with no arguments; false without one.
    bool callScript(const char* function);
    // Hands the word to "svc.PlayerState:SetSecretWord" as its string argument.
    static void handOverSecretWord(const std::wstring& word);
    bool capture(int radius);
    // Takes down a shield kept up for the release of the press that cancelled a hint.
    void releaseShield();

    int32_t mode = MODE_INVALID;
    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> list;
    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> board;
    TarnEngine::InstanceHandle shield;
    TarnEngine::InstanceHandle blur;
    TarnEngine::RefPtr<TarnEngine::IRenderTarget> captureTarget;
    TarnEngine::InstanceHandle cursorMask;
    bool blurerEnabled = false;
    HintTracker tooltips;
    bool hintEnabled = true;
    bool guessEnabled = true;
    bool paused = false;
    // The shield stays up, taking the pointer, until the release of the press that cancelled the
    // hint on it, so that the release does not land on the board as a wrong click.
    bool shieldHeld = false;
    bool consoleRegistered = false;
    TarnEngine::IGIL* recreateDevice = nullptr; // the device this screen listens to; not owned
};
