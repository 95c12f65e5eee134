// The engine's application object: it starts every engine service in a fixed
// order (EngineManager::Initialize), runs the message loop and the tick that
// updates and draws at most one fixed frame at a time, reacts to activation,
// the full-screen switch and close requests from the render window, and at
// the end saves the system preferences and deletes the services in a fixed
// order. One instance per process, reachable through EngineManager::Get.
// It owns the render window (Window) and is the window's owner
// (IWindowOwner): activation, the Alt+Enter switch and the close request come
// back here from the window procedure.
//
// What belongs to the machine (the window system, the raster device system,
// the clock, sleeping, the session watch, message boxes, ending the
// process, the program's path and command line, the single-instance lock's
// folder) comes in through EnginePlatform, so that tests run start-up, the
// loop and shutdown with a scripted window system, null presenters and a fake
// clock. The trace and fault hooks there let tests watch the services come
// and go and make a start-up step fail as its service would.
//
// It is the composition root, the one place that knows every engine layer: the
// layers below reach it only through what it installs (IEngineHost, the
// console's drawing, the particle system's effect services).
#pragma once

#include "engine/core/app/IEngineHost.h"
#include "engine/core/app/ITarnGame.h"
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/app/STarnGameInitParams.h"
#include "engine/core/app/SystemPreferences.h"
#include "engine/core/diagnostics/Console.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Platform
{
class CounterSource;
class SessionWatch;
class SingleInstance;
class WindowSystem;
} // namespace Platform

namespace Raster
{
class RasterSystem;
}

namespace TarnEngine
{

class CommandLine;
class EffectLibrary;
class FileSystem;
class FrameClock;
class IGIL;
class ILogger;
class IRenderWindow;
class ISoundManager;
class LuaMgr;
class ParticleManager;
class Renderer;
class ResourceManager;
class SettingsStore;
class StringTable;
class TimeManager;
class TimerLists;
class TimerService;
class UserInterface;
class Window;
class XmlDocumentCache;
class _ScreenMgr;

// Process exit codes. They fit in 8 bits, a fatal end is never 0, and each
// cause has its own code.
enum EngineExitCode : int
{
    ExitNormal = 0,
    ExitStartupFailed = 1,    // start-up failed, or another instance is running
    ExitTerminalSession = 3,  // the session stopped being the active console session
    ExitOutOfVideoMemory = 4, // the device ran out of video memory
    ExitOutOfMemory = 5,      // an allocation failed
    ExitPureVirtualCall = 6,  // a pure virtual function was called
    ExitAbort = 7,            // the program aborted
};

// The start-up steps that can fail.
enum class StartupStep
{
    StringTable,
    SingleInstance,
    LuaMgr,
    UserInterface,
    WindowClass,
    Window,
    FrameClock,
    Device,
    Renderer,
    SoundManager,
    Game,
};

struct EnginePlatform
{
    // Not owned; null: the SDL window system is made at start-up.
    Platform::WindowSystem* windows = nullptr;
    // Null: one raster system over the displays, presenting into the window.
    std::function<std::shared_ptr<Raster::RasterSystem>()> createRasterSystem;
    // Not owned; null: the system's monotonic counter.
    const Platform::CounterSource* counter = nullptr;
    std::function<void(uint32_t milliseconds)> sleep;
    // The program file's full path (engine spelling); null: the real one.
    std::function<std::wstring()> programPath;
    // Not owned; null: the process's command line.
    const CommandLine* commandLine = nullptr;
    // Folder of the single-instance lock (operating-system path); empty: the default.
    std::string instanceFolder;
    // The watch over the process's session (active or not, and its lock,
    // unlock and switch notices); null: the platform's. A null watch from it
    // means a session that is always active and tells nothing.
    std::function<std::unique_ptr<Platform::SessionWatch>()> openSessionWatch;
    // A fatal box (caption, text); null: the window system's box.
    std::function<void(const std::wstring& caption, const std::wstring& text)> messageBox;
    // Ends the process at once with a code; null: _exit.
    std::function<void(int code)> endProcess;
    // Installs the out-of-memory, abort and crash handlers of the process,
    // and takes SIGTERM, SIGINT and SIGHUP as close requests.
    bool processHandlers = true;
    // The close signal that arrived since the last call (0: none); null: the
    // process's own (Platform::TakeCloseSignal).
    std::function<int()> takeCloseSignal;
    // Observation: "create" or "delete" with the service's name; "reload" with what was read again.
    std::function<void(const char* what, const std::wstring& service)> trace;
    // Makes a start-up step fail as its service would (tests).
    std::function<bool(StartupStep step)> failStep;
};

class EngineManager : public IEngineHost, public IWindowOwner
{
public:
    explicit EngineManager(EnginePlatform platform = {});
    ~EngineManager() override;
    EngineManager(const EngineManager&) = delete;
    EngineManager& operator=(const EngineManager&) = delete;

    // The running engine, or null.
    static EngineManager* Get();

    bool Initialize(const STarnGameInitParams& params, ITarnGame* game);
    // Pumps messages and ticks until the quit message or a quit request. A
    // close signal closes the window as its close button does; when the game
    // has not let it close shortly after, it closes without asking.
    void Run();
    // One tick; full is clear for the splash screens (no game update, game timers or screens).
    void Tick(bool full);
    void DrawFrame();
    void OnActivate() override;
    void OnDeactivate() override;
    void SetFullscreen(bool full) override;
    // Posts a close request to the window; the window asks the game.
    void RequestClose() override;
    void InvalidateDevice() override;
    // Saves the preferences, lets the game shut down, deletes the services.
    void Exit();
    void Shutdown();
    // Queues a console command line for the next tick; any thread.
    void QueueConsoleCommand(const std::wstring& line);
    // Mounts a content group and loads its definition libraries.
    bool LoadLibraries(const std::wstring& groupName, const std::wstring& folder, uint32_t loaderFlag,
                       bool mountOnly);
    // Runs the splash screens; true when the user quit during them.
    bool ShowSplashScreens();

    const std::wstring& GetApplicationName() const { return applicationName; }
    ITarnGame* GetGame() const { return game; }
    bool IsStarted() const override { return started != 0; }
    bool IsInSplash() const override { return inSplash != 0; }
    // Start-up ended because the player quit during the splash screens: a normal end, not a failure.
    bool QuitDuringSplash() const { return quitDuringSplash; }
    bool IsSuspended() const { return suspended != 0; }
    void SetSuspended(bool on) override { suspended = on ? 1 : 0; }
    bool IsFullscreen() const override { return fullscreen != 0; }
    bool IsForcedFullscreen() const { return forcedFullscreen != 0; }
    bool IsActive() const { return active != 0; }
    bool PausesOnLostFocus() const { return pauseOnLostFocus != 0; }
    bool UsesSystemCursor() const override { return useSystemCursor != 0; }
    uint32_t GetAudioChannelCount() const { return audioChannelCount; }
    const SystemPreferences& GetSystemPreferences() const { return systemPreferences; }
    const STarnGameInitParams& GetParams() const { return params; }
    void RequestQuit() { quitRequested = 1; }

    // IWindowOwner: what the render window asks of the game and the device.
    bool CanClose() override;
    bool IsDeviceReady() const override;
    bool IsWindowed() const override;
    void CheckMonitor() override;
    void PresentAgain() override;

    Platform::WindowSystem* GetWindowSystem() const override { return windows; }
    Window* GetWindow() const { return window.get(); }
    Renderer* GetRenderer() const { return renderer.get(); }
    IGIL* GetDevice() const;
    UserInterface* GetUserInterface() const { return userInterface.get(); }
    ISoundManager* GetSoundManager() const { return soundManager.get(); }
    FrameClock* GetFrameClock() const { return frameClock.get(); }

private:
    // Shuts down and says why on standard error and, where a display exists
    // and nothing has been shown yet, in a box; the second instance of the
    // program only says it on standard error.
    bool fail(const std::wstring& reason, bool box = true);
    void checkCloseSignal();
    bool stepFails(StartupStep step) const;
    void traceEvent(const char* what, const wchar_t* service) const;
    void setWorkingFolder();
    void readEngineXml();
    bool createWindow();
    // Gives the window the icon of the start-up record, at both sizes.
    void applyIcons();
    // The render window exists and is still the live window of its handle.
    bool windowLives() const;
    void fatalBox(uint32_t textId, int exitCode);
    void pollRaiseRequests();
    // Hands the session notices told since the last look to the window.
    void pollSessionNotices();
    // The process's session is not the active one on its seat.
    bool sessionInactive();
    // Ends the tick lock's life: queued commands are dropped and no more are
    // taken. True when it was open.
    bool closeTickLock();
    template <class T> void deleteService(std::unique_ptr<T>& service, const wchar_t* name);

    EnginePlatform platform;
    std::unique_ptr<Platform::WindowSystem> ownWindows;
    Platform::WindowSystem* windows = nullptr;

    std::unique_ptr<UserInterface> userInterface;
    std::unique_ptr<_ScreenMgr> screenManager;
    std::unique_ptr<ResourceManager> resourceManager;
    std::unique_ptr<Renderer> renderer;
    std::unique_ptr<XmlDocumentCache> xmlCache;
    std::unique_ptr<ISoundManager> soundManager;
    std::unique_ptr<FileSystem> fileSystem;
    ITarnGame* game = nullptr;
    std::unique_ptr<FrameClock> frameClock;
    std::unique_ptr<TimerService> timerService;
    std::unique_ptr<LuaMgr> luaManager;
    std::unique_ptr<ILogger> logger;
    std::unique_ptr<SettingsStore> settingsStore;
    std::unique_ptr<ParticleManager> particleManager;
    std::unique_ptr<EffectLibrary> effectLibrary;
    std::unique_ptr<TimeManager> timeManager;
    std::unique_ptr<TimerLists> timerLists;
    std::unique_ptr<StringTable> stringTable;
    std::unique_ptr<StringTable> translations;
    std::unique_ptr<Window> window;
    // The window as the graphics device sees it; lives as long as the window.
    std::unique_ptr<IRenderWindow> deviceWindow;
    std::unique_ptr<Platform::SingleInstance> instanceMutex;
    std::unique_ptr<Platform::SessionWatch> sessionWatch;
    // The window is registered for the session notices.
    bool sessionNotices = false;
    uint8_t pauseOnLostFocus = 0;
    uint8_t useSystemCursor = 1;
    uint32_t audioChannelCount = 16;
    uint8_t suspended = 0;
    uint8_t inGameInitialize = 0;
    uint8_t started = 0;
    uint8_t inSplash = 0;
    uint8_t fullscreen = 0;
    int32_t windowedLeft = 0;
    int32_t windowedTop = 0;
    std::wstring applicationName;
    uint8_t active = 0;
    uint8_t forcedFullscreen = 0;
    uint8_t quitRequested = 0;
    STarnGameInitParams params;
    std::vector<std::wstring> pendingConsoleCommands;
    // The tick lock lives as long as the engine, so that a thread queueing a
    // command never meets a deleted lock; "open" stands for the lock's life
    // between Initialize and Shutdown, and nothing is queued outside it.
    std::mutex tickLock;
    bool tickLockOpen = false;
    uint32_t framesThisTick = 0;
    SystemPreferences systemPreferences;
    bool reportingModuleBound = false;
    bool closeSignalsInstalled = false;
    // A close signal was taken, when (counter ticks), and whether the window
    // has since been closed without asking the game.
    bool closeSignalled = false;
    int64_t closeSignalAt = 0;
    bool closeForced = false;
    // A box was shown during start-up (the device's own); a failure adds none.
    bool startupBoxShown = false;
    bool pausedLastTick = false;
    bool quitDuringSplash = false;
};

} // namespace TarnEngine
