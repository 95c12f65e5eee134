// The game object: what the engine drives through ITarnGame. It owns the
// game's services for the whole run (the game manager with the player
// state, the sound service, the profile store, the hint manager), runs the
// game's start-up, updates the game once a frame (script time ticks, the
// slow-frame detector, the busy cursor, the ambient sounds, pause with the
// window's focus and with modal screens), keeps the widescreen bars and the
// loading and pause movies, opens the in-game menu on Escape and feeds the
// typed-code reader. It also applies the player's settings and pauses and
// resumes the game. One instance lives on the program entry's stack; the
// other game classes reach it through Core::Get.
//
// What belongs to the machine or the calendar (the window's focus, full
// screen, the random seed, the date of the typed codes, the console) comes
// in through CoreEnvironment, so that tests can set it.
#pragma once

#include "engine/core/app/ITarnGame.h"
#include "engine/core/app/InputEvent.h"
#include "engine/core/base/InstanceHandle.h"
#include "game/core/GameMgr.h"
#include "game/core/ProfileStore.h"
#include "game/core/SlowFrameDetector.h"
#include "game/core/TypedCodes.h"
#include "game/media/SoundMgr.h"
#include "game/social/IFaceBook.h"
#include "game/ui/HintManager.h"
#include "game/ui/UIMessageBoxListener.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

struct CoreEnvironment
{
    // Null: the render window's focus.
    std::function<bool()> isForeground;
    // Null: the engine's full-screen flag.
    std::function<bool()> isFullscreen;
    // Null: the current time in seconds.
    std::function<unsigned()> randomSeed;
    // Null: the typed-code reader's defaults (the local date, the engine console).
    TypedCodeReader::DateSource today;
    TypedCodeReader::ConsoleDispatch console;
};

class Core final : public TarnEngine::ITarnGame,
                   public TarnEngine::IEventListener,
                   public UIMessageBoxListener
{
public:
    // The cursor resources in the order of the cursor indices CF_DEFAULT (0) to CF_FREEZE (7).
    static constexpr uint32_t CursorIds[8] = {106, 103, 107, 104, 105, 108, 102, 109};
    static constexpr uint32_t BusyCursor = 7;
    // The definition groups loaded at start-up: (group, folder), in order.
    static const std::pair<const wchar_t*, const wchar_t*> StartupGroups[5];

    explicit Core(CoreEnvironment environment = {});
    ~Core() override;
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // The game object, or null.
    static Core* Get();

    // ITarnGame
    bool Initialize() override;
    bool CanClose() override { return true; }
    void OnActivate() override {}
    void OnDeactivate() override;
    void Reserved(uintptr_t, uintptr_t) override {}
    void Shutdown() override;
    void Update() override;

    // IEventListener
    void OnEvent(const TarnEngine::Event_Base& event) override;

    // UIMessageBoxListener: the answer to "leave the game?".
    void HandleMsgBox(int32_t id, int32_t result) override;

    // Loads the definition library of that name once; false when it does not load.
    bool EnsureLibraryLoaded(const std::wstring& name);
    void ShowLoadingShield();
    // Ignored while the busy countdown runs.
    void SetCursorIdx(int32_t index);
    // The busy cursor for the given seconds (a click penalty).
    void StartBusyCursor(float seconds);
    int32_t ShowTooltip(const std::wstring& text);
    void RemoveTooltip(int32_t id);

    // Settings and pause.
    void OnProfileActivated();
    void ApplySettings();
    void SetPaused(bool paused);
    void ConfigureSlowDetection(bool enabled);
    // The slow-computer alert's callback.
    static void OnSlowAlertClosed(int32_t id, int32_t result);

    GameMgr& GetGameMgr() { return gameMgr; }
    SoundMgr& GetSound() { return sound; }
    ProfileStore& GetProfileStore() { return profiles; }
    HintManager& GetHintManager() { return hints; }
    // The social-network object; null when the game runs without it.
    IFaceBook* GetFaceBook() const { return faceBook.get(); }
    SlowFrameDetector& GetSlowFrameDetector() { return slowDetector; }
    TypedCodeReader& GetTypedCodes() { return typedCodes; }
    bool IsPaused() const { return paused; }
    float GetBusyCountdown() const { return busyCountdown; }
    const std::set<std::wstring>& GetLoadedLibraries() const { return loadedLibraries; }
    const TarnEngine::InstanceHandle& GetLoadingMovie() const { return loadingMovie; }
    const TarnEngine::InstanceHandle& GetPauseMovie() const { return pauseMovie; }
    const TarnEngine::InstanceHandle& GetLeftBar() const { return leftBar; }
    const TarnEngine::InstanceHandle& GetRightBar() const { return rightBar; }

private:
    bool isForeground() const;
    bool isFullscreen() const;
    void applyCursor(uint32_t index);
    void updateWidescreenBars();
    void showPauseMovie(bool foreground);
    void raiseSlowAlert();
    // Before the current profile changes: a level in progress is saved under the outgoing profile.
    void onProfileChanging();
    void openNewProfileScreen();

    CoreEnvironment environment;
    GameMgr gameMgr;
    SoundMgr sound;
    ProfileStore profiles;
    HintManager hints;
    float busyCountdown = 0.0f;
    bool paused = false;
    SlowFrameDetector slowDetector;
    std::set<std::wstring> loadedLibraries;
    TarnEngine::InstanceHandle leftBar;
    TarnEngine::InstanceHandle rightBar;
    TarnEngine::InstanceHandle loadingMovie;
    TarnEngine::InstanceHandle pauseMovie;
    TypedCodeReader typedCodes;
    // Keys held now, and those of them whose press came while a modal screen was on top: that
    // screen answered the press, so its release is no command of the game's (a box answered with
    // Escape must not open the menu when the key comes up after the box has gone).
    std::set<uint32_t> keysHeld;
    std::set<uint32_t> keysTakenByModal;
    bool listening = false;
    std::unique_ptr<IFaceBook> faceBook;
};
