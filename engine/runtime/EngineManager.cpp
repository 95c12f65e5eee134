// The engine's application object; see EngineManager.h.
#include "engine/runtime/EngineManager.h"

#include "engine/core/app/AppPaths.h"
#include "engine/core/app/CommandLine.h"
#include "engine/core/app/VersionInfo.h"
#include "engine/core/app/Window.h"
#include "engine/core/base/ResourceManager.h"
#include "engine/core/diagnostics/CrashHandler.h"
#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/diagnostics/StartupProblem.h"
#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/time/FrameClock.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/time/TimerList.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/media/sound/FMODManager.h"
#include "engine/runtime/ConsoleDrawing.h"
#include "engine/runtime/SplashScreens.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/TimerService.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"

#include "platform/audio/AudioSystem.h"
#include "platform/raster/RasterSystem.h"
#include "platform/system/Clock.h"
#include "platform/system/CloseSignals.h"
#include "platform/system/Paths.h"
#include "platform/system/ProgramResources.h"
#include "platform/system/Session.h"
#include "platform/system/SingleInstance.h"
#include "platform/window/MessageBox.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <new>
#include <unistd.h>

namespace TarnEngine
{

namespace
{
EngineManager* g_engine = nullptr;

std::wstring runningApplicationName()
{
    return g_engine ? g_engine->GetApplicationName() : std::wstring();
}

void logEngine(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogEngine, __FILE__, __LINE__, L"%s", text);
}

[[noreturn]] void outOfMemory()
{
    _exit(ExitOutOfMemory);
}

void abortSignal(int)
{
    _exit(ExitAbort);
}

// Nothing confines the pointer to a window here, so there is no clip to release.
void releaseCursorClip() {}

// The crash handler's cursor hook: whatever the window holds on the display
// server (the capture of a press, any grab) would leave the crash box
// unusable and the desktop's pointer dead.
void releasePointerAfterCrash()
{
    Platform::ReleaseDisplayGrabs();
}

// Mutex-name characters that a file name cannot carry.
std::string lockName(const std::wstring& applicationName)
{
    std::wstring name = L"Halcyra_" + applicationName + L"_Singleton";
    for (wchar_t& c : name)
        if (c == L'/' || c == L'\\' || c == 0)
            c = L'_';
    return WStringToUtf8(name);
}

// The render window as the graphics device sees it: where frames are shown,
// the monitor it is on, its size, and the repaint request.
class DeviceWindow final : public IRenderWindow
{
public:
    explicit DeviceWindow(Window& window) : window(window) {}

    SDL_Window* GetSdlWindow() override
    {
        const Platform::WindowHandle handle = window.GetHandle();
        return handle ? window.GetSystem().GetSdlWindow(handle) : nullptr;
    }
    // Monitors are numbered from 1 so that 0 stays "none".
    uintptr_t GetMonitor() override
    {
        const Platform::WindowHandle handle = window.GetHandle();
        const int index = handle ? window.GetSystem().GetWindowMonitor(handle) : -1;
        return index < 0 ? 1 : uintptr_t(index) + 1;
    }
    bool GetMonitorRect(uintptr_t monitor, DeviceRect& rect) override
    {
        for (const Platform::MonitorInfo& info : window.GetSystem().GetMonitors())
            if (uintptr_t(info.index) + 1 == monitor)
            {
                rect = {info.bounds.left, info.bounds.top, info.bounds.right, info.bounds.bottom};
                return true;
            }
        return false;
    }
    bool GetWindowRect(DeviceRect& rect) override
    {
        Platform::Rect outer;
        if (!window.GetRect(outer))
            return false;
        rect = {outer.left, outer.top, outer.right, outer.bottom};
        return true;
    }
    void SetClientSize(uint32_t width, uint32_t height, bool redraw) override
    {
        window.SetClientSize(int(width), int(height), redraw);
    }
    void Invalidate() override
    {
        if (window.GetHandle() == 0)
            return;
        Platform::WindowMessage paint;
        paint.kind = Platform::MessageKind::Paint;
        paint.window = window.GetHandle();
        window.GetSystem().Post(paint);
    }

private:
    Window& window;
};

constexpr uint32_t kCaptionCriticalError = 901;
constexpr uint32_t kMessageTerminalSession = 903;
constexpr uint32_t kMessageCannotStart = 907;

// A close signal first closes the window as its close button does; a game
// that has not let it go this long after is not asked again.
constexpr int64_t kCloseSignalGraceMilliseconds = 500;
// Whatever happens (a game that hangs), the process is gone within 2 seconds
// of the signal; the close itself takes a few milliseconds.
constexpr uint32_t kCloseSignalDeadlineMilliseconds = 1800;

} // namespace

EngineManager::EngineManager(EnginePlatform platformIn) : platform(std::move(platformIn))
{
    g_engine = this;
    SetApplicationNameProvider(&runningApplicationName);
    // The console sits below the canvases it draws into; its drawing comes from here.
    InstallConsoleDrawing();
    if (!platform.counter)
        platform.counter = &Platform::SystemCounter();
    if (!platform.sleep)
        platform.sleep = [](uint32_t ms) { Platform::SleepMilliseconds(ms); };
    if (!platform.programPath)
        platform.programPath = [] { return GetModulePath(); };
    if (!platform.takeCloseSignal)
        platform.takeCloseSignal = [] { return Platform::TakeCloseSignal(); };
    if (!platform.openSessionWatch)
        platform.openSessionWatch = [] { return Platform::SessionWatch::Open(); };
    if (!platform.endProcess)
        platform.endProcess = [](int code)
        {
            std::fflush(nullptr);
            _exit(code);
        };
    windows = platform.windows;
}

EngineManager::~EngineManager()
{
    Shutdown();
    ownWindows.reset();
    if (g_engine == this)
    {
        g_engine = nullptr;
        SetApplicationNameProvider(nullptr);
    }
}

EngineManager* EngineManager::Get()
{
    return g_engine;
}

IGIL* EngineManager::GetDevice() const
{
    return renderer ? renderer->GetDevice() : nullptr;
}

void EngineManager::traceEvent(const char* what, const wchar_t* service) const
{
    if (platform.trace)
        platform.trace(what, service);
}

bool EngineManager::stepFails(StartupStep step) const
{
    return platform.failStep && platform.failStep(step);
}

bool EngineManager::fail(const std::wstring& reason, bool box)
{
    // Before shutdown, while the logger still exists.
    ReportProblem(LogEngine, __FILE__, __LINE__, L"start-up failed: " + reason);
    Shutdown();
    if (!box || startupBoxShown)
        return false;
    // After shutdown, so that no full-screen window hides the box.
    std::wstring text;
    const std::wstring name = params.applicationName.empty() ? L"The program" : params.applicationName;
    StringPrintfChecked(text, LoadResourceString(kMessageCannotStart), name, reason);
    const std::wstring caption = LoadResourceString(kCaptionCriticalError);
    if (platform.messageBox)
        platform.messageBox(caption, text);
    else if (Platform::CanShowMessageBoxes())
    {
        if (windows)
            windows->ShowMessageBox(0, caption, text);
        else
            Platform::ShowSystemMessageBox(nullptr, caption, text);
    }
    return false;
}

template <class T> void EngineManager::deleteService(std::unique_ptr<T>& service, const wchar_t* name)
{
    if (!service)
        return;
    service.reset();
    traceEvent("delete", name);
}

void EngineManager::setWorkingFolder()
{
    std::wstring folder = platform.programPath();
    const size_t cut = folder.find_last_of(L"/\\");
    if (cut != std::wstring::npos)
        folder.erase(cut);
    const CommandLine& commandLine = platform.commandLine ? *platform.commandLine : CommandLine::Get();
    const std::wstring data = commandLine.GetDataFolderOption();
    if (!data.empty())
    {
        if (IsAbsolutePath(data))
            folder = data;
        else
            AppendPathPart(folder, data);
    }
    // An unusable folder is not reported: the files simply will not be found.
    Platform::SetCurrentFolder(ToOsPath(folder));
}

void EngineManager::readEngineXml()
{
    const XmlNode* root = LoadXmlDocument(L"engine.xml");
    if (!root)
        return;
    pauseOnLostFocus = root->GetChild(L"PauseOnLostFocus") ? 1 : 0;
    useSystemCursor = root->GetChild(L"HasCustomCursor") ? 0 : 1;
    if (const XmlNode* channels = root->GetChild(L"AudioChannelCount"))
    {
        // The audio layer takes 0 to kMaxChannels channels; a count outside is held to that range,
        // so a number in engine.xml never stops start-up.
        const int64_t asked = WStringToLong(channels->GetText());
        audioChannelCount = uint32_t(std::clamp<int64_t>(asked, 0, Audio::System::kMaxChannels));
        if (asked != int64_t(audioChannelCount))
            logEngine(StringPrintf(L"AudioChannelCount %d is held to %u", int(asked), audioChannelCount));
    }
}

bool EngineManager::createWindow()
{
    // There is no window class to register here; the step keeps its failure for the seam.
    const bool external = params.externalWindow != 0;
    if (!external && stepFails(StartupStep::WindowClass))
        return false;
    // 2. Creating the window places it (Window.prefs, or centred) and shows it.
    window = std::make_unique<Window>(*windows, *this, userInterface.get());
    traceEvent("create", L"Window");
    const int width = int(params.width);
    const int height = int(params.height);
    if (stepFails(StartupStep::Window))
        return false;
    if (external ? !window->Adopt(Platform::WindowHandle(params.externalWindow))
                 : !window->Create(params.windowTitle, Platform::Rect{0, 0, width, height}))
        return false;
    deviceWindow = std::make_unique<DeviceWindow>(*window);
    const Platform::WindowHandle handle = window->GetHandle();

    // 3. Notices come when the desktop can tell them.
    sessionNotices = sessionWatch != nullptr;
    // 4.
    window->SetClientSize(width, height, false);
    windows->Show(handle);

    // 5. A window that does not fit the work area of its monitor runs full screen for good.
    int outerWidth = 0;
    int outerHeight = 0;
    window->GetOuterSizeForClient(width, height, outerWidth, outerHeight);
    const int monitor = windows->GetWindowMonitor(handle);
    for (const Platform::MonitorInfo& info : windows->GetMonitors())
        if (info.index == monitor &&
            (outerWidth >= info.workArea.Width() || outerHeight >= info.workArea.Height()))
        {
            forcedFullscreen = 1;
            systemPreferences.fullscreen = 1;
            fullscreen = 1;
            window->SetClientSize(width, height, false);
            windows->Raise(handle);
        }

    // 6. Places are client positions, as the window layer keeps them.
    int x = 0;
    int y = 0;
    if (windows->GetClientPosition(handle, x, y))
    {
        windowedLeft = x;
        windowedTop = y;
    }
    // 7.
    applyIcons();
    return true;
}

void EngineManager::applyIcons()
{
    if (params.iconId == 0 || !window)
        return;
    Platform::ResourcePicture big;
    Platform::ResourcePicture small;
    const bool hasBig = Platform::LoadIconResource(params.iconId, Platform::LargeIconSize, big);
    const bool hasSmall = Platform::LoadIconResource(params.iconId, Platform::SmallIconSize, small);
    const Platform::PictureView bigView{big.width, big.height, big.rgba.data()};
    const Platform::PictureView smallView{small.width, small.height, small.rgba.data()};
    window->SetIcons(hasSmall ? &smallView : nullptr, hasBig ? &bigView : nullptr);
}

bool EngineManager::windowLives() const
{
    if (!window || !windows)
        return false;
    const Platform::WindowHandle handle = window->GetHandle();
    return handle != 0 && windows->IsWindow(handle) && Window::FromHandle(handle) == window.get();
}

bool EngineManager::Initialize(const STarnGameInitParams& paramsIn, ITarnGame* gameIn)
{
    // 1.
    {
        std::lock_guard<std::mutex> guard(tickLock);
        tickLockOpen = true;
    }
    traceEvent("create", L"TickLock");
    params = paramsIn;

    // 2.
    setWorkingFolder();

    // 3.
    {
        auto created = std::make_unique<Logger>();
        logger = std::move(created);
        traceEvent("create", L"Logger");
        logger->OpenOutputs(1);
        logger->OpenOutputs(8);
    }

    // 4. Only the logger is gone on this path.
    sessionWatch = platform.openSessionWatch();
    if (sessionInactive())
    {
        sessionWatch.reset();
        deleteService(logger, L"Logger");
        const std::wstring caption = LoadResourceString(kCaptionCriticalError);
        const std::wstring text = LoadResourceString(kMessageTerminalSession);
        ReportProblem(LogEngine, __FILE__, __LINE__, L"start-up failed: " + text);
        if (platform.messageBox)
            platform.messageBox(caption, text);
        else
            Platform::ShowSystemMessageBox(nullptr, caption, text);
        closeTickLock();
        return false;
    }

    // 5.
    if (platform.processHandlers)
    {
        std::set_new_handler(&outOfMemory);
        std::signal(SIGABRT, &abortSignal);
        // A logout, kill or Ctrl+C closes the game the way its window does.
        closeSignalsInstalled = Platform::InstallCloseSignals(kCloseSignalDeadlineMilliseconds);
    }

    // 6.
    game = gameIn;

    // 7.
    {
        const FernlinkStartupRecord record = MakeFernlinkStartupRecord(GetVersionNumber(GetProgramVersion()));
        reportingModuleBound = LoadFernlinkClient(&record);
        if (!reportingModuleBound && platform.processHandlers)
        {
            InstallCrashHandler(params.applicationName, &releasePointerAfterCrash);
            // Aborting keeps its own exit code and shows no message.
            std::signal(SIGABRT, &abortSignal);
        }
    }

    // 8.
    xmlCache = std::make_unique<XmlDocumentCache>();
    traceEvent("create", L"XmlDocumentCache");

    // 9.
    fileSystem = std::make_unique<FileSystem>();
    traceEvent("create", L"FileSystem");
    fileSystem->AddSource(std::make_unique<FSCompressedSource>(L"data.dat", L"System"));
    fileSystem->AddSource(std::make_unique<FSLooseFiles>(L"input\\", L"System"));

    // 10.
    stringTable = std::make_unique<StringTable>(StringTable::Numbered);
    traceEvent("create", L"StringTable");
    if (stepFails(StartupStep::StringTable) || !stringTable->Load())
        return fail(L"StringTable.xml has a broken entry");

    // 11.
    translations = std::make_unique<StringTable>(StringTable::Keyed);
    traceEvent("create", L"Translations");

    // 12.
    applicationName = params.applicationName;
    instanceMutex = std::make_unique<Platform::SingleInstance>();
    traceEvent("create", L"SingleInstance");
    if (stepFails(StartupStep::SingleInstance))
        return fail(L"the single-instance lock cannot be made");
    switch (instanceMutex->Acquire(lockName(applicationName), platform.instanceFolder))
    {
    case Platform::SingleInstance::Result::First:
        break;
    case Platform::SingleInstance::Result::Second:
        // The running instance has been asked to raise its window; that
        // window is all the player needs to see.
        return fail(L"another instance is running", false);
    case Platform::SingleInstance::Result::Failed:
        return fail(L"the single-instance lock cannot be made");
    }

    // 13.
    readEngineXml();

    // 14.
    settingsStore = std::make_unique<SettingsStore>();
    traceEvent("create", L"SettingsStore");
    systemPreferences = LoadSystemPreferences(*settingsStore, params.startFullscreen != 0);

    // 15. The window system is needed for the keys held at start.
    if (!windows)
    {
        ownWindows = Platform::WindowSystem::CreateSdl();
        windows = ownWindows.get();
    }
    {
        const CommandLine& commandLine = platform.commandLine ? *platform.commandLine : CommandLine::Get();
        const HeldKeysSource keys = windows ? HeldKeysOf(*windows) : HeldKeysSource();
        systemPreferences.fullscreen =
            DecideFullscreen(commandLine, keys, systemPreferences.fullscreen != 0) ? 1 : 0;
        fullscreen = systemPreferences.fullscreen;
    }

    // 16.
    luaManager = std::make_unique<LuaMgr>();
    traceEvent("create", L"LuaMgr");
    if (stepFails(StartupStep::LuaMgr) || !luaManager->Init())
        return fail(L"the script manager cannot start");

    // 17.
    userInterface = std::make_unique<UserInterface>(this, params.rootClass);
    traceEvent("create", L"UserInterface");
    if (stepFails(StartupStep::UserInterface) || !userInterface->Init())
        return fail(L"the user interface cannot start");
    luaManager->RegisterConsoleCommands();
    logger->RegisterConsoleCommands(*userInterface->GetConsole());
    // The console's pages are shown over the game by the console key.
    userInterface->CreateConsoleInstance();
    userInterface->screenWidth = int32_t(params.width);
    userInterface->screenHeight = int32_t(params.height);

    // 18.
    screenManager = std::make_unique<_ScreenMgr>();
    traceEvent("create", L"_ScreenMgr");

    // 19.
    if (!windows || !createWindow())
        return fail(L"the render window cannot be made");

    // 20.
    frameClock = std::make_unique<FrameClock>(*platform.counter);
    traceEvent("create", L"FrameClock");
    if (stepFails(StartupStep::FrameClock) || !frameClock->Init())
        return fail(L"the frame clock cannot start");
    // Whole numbers with the base of their prefix, as every integer of the engine's files.
    if (const XmlNode* root = LoadXmlDocument(L"engine.xml"))
    {
        if (const XmlNode* node = root->GetChild(L"SlowThresholdFPS"))
            frameClock->SetSlowThresholdFps(static_cast<double>(WStringToInt(node->GetText())));
        if (const XmlNode* node = root->GetChild(L"SlowAlertSeconds"))
            frameClock->SetSlowAlertSeconds(static_cast<double>(WStringToInt(node->GetText())));
    }

    // 21.
    resourceManager = std::make_unique<ResourceManager>();
    traceEvent("create", L"ResourceManager");

    // 22. The JPEG 2000 library needs no global start-up.

    // 23.
    if (!params.fullscreenAllowed)
    {
        forcedFullscreen = 0;
        systemPreferences.fullscreen = 0;
        fullscreen = 0;
    }

    // 24.
    DeviceServices services;
    services.createSystem = platform.createRasterSystem ? platform.createRasterSystem : [] {
        return std::make_shared<Raster::RasterSystem>();
    };
    services.showMessage = [this](const std::wstring& caption, const std::wstring& text)
    {
        startupBoxShown = startupBoxShown || !started;
        if (platform.messageBox)
            platform.messageBox(caption, text);
        else
            windows->ShowMessageBox(0, caption, text);
    };
    services.fatalExit = [this](const std::wstring& caption, const std::wstring& text)
    {
        if (platform.messageBox)
            platform.messageBox(caption, text);
        else
            windows->ShowMessageBox(0, caption, text);
        platform.endProcess(ExitOutOfVideoMemory);
    };
    services.sleep = platform.sleep;
    services.frameHook = [] { fernlinkHooks.framePresented(); };
    services.isDesktopLocked = [this] { return suspended != 0; };
    services.logicalScreenSize = [this](uint32_t& width, uint32_t& height)
    {
        width = userInterface ? uint32_t(userInterface->screenWidth) : params.width;
        height = userInterface ? uint32_t(userInterface->screenHeight) : params.height;
    };
    auto device = std::make_unique<DirectXDevice>(std::move(services));
    if (stepFails(StartupStep::Device) ||
        !device->Init(deviceWindow.get(), systemPreferences.fullscreen != 0))
    {
        // The device holds the window; it goes before shutdown deletes the window.
        device.reset();
        return fail(L"the graphics device cannot be made");
    }

    // 25.
    renderer = std::make_unique<Renderer>();
    traceEvent("create", L"Renderer");
    if (!renderer->Init(std::move(device), deviceWindow.get()) || stepFails(StartupStep::Renderer))
        return fail(L"the renderer cannot start");
    renderer->GetDevice()->SetClearParams(true, params.backgroundColour);
    // The renderer draws display instances into render targets through the display tree.
    renderer->SetInstanceServices(MakeInstanceServices());
    windows->Show(window->GetHandle());
    active = 1;
    if (fullscreen)
    {
        window->ModifyStyle(kWindowStyleFrame, kWindowStylePopup);
        if (!renderer->GetDevice()->IsWidescreenMode())
        {
            window->SetClientSize(int(params.width), int(params.height), false);
            windows->Raise(window->GetHandle());
        }
    }

    // 26. A log file asked for through the environment goes to the local-data folder.
    if (auto* own = dynamic_cast<Logger*>(logger.get()))
    {
        std::wstring folder;
        if (settingsStore->GetFolder(SettingsStore::LocalData, true, folder))
        {
            std::string path = SettingsFileIo::ToSystemPath(folder);
            while (path.size() > 1 && path.back() == '/')
                path.pop_back();
            own->SetLogFolder(path);
        }
    }
    logger->OpenOutputs(2);
    logger->OpenOutputs(4);

    // 27.
    soundManager = std::make_unique<FMODManager>();
    traceEvent("create", L"FMODManager");
    soundManager->SetEnabled(systemPreferences.audioEnabled != 0);
    if (stepFails(StartupStep::SoundManager) || !soundManager->Init(int32_t(audioChannelCount)))
        return fail(L"the sound system cannot start");

    // 28 to 32.
    timerService = std::make_unique<TimerService>(*platform.counter);
    traceEvent("create", L"TimerService");
    timeManager = std::make_unique<TimeManager>(*platform.counter);
    traceEvent("create", L"TimeManager");
    timerLists = std::make_unique<TimerLists>();
    traceEvent("create", L"TimerLists");
    particleManager = std::make_unique<ParticleManager>();
    traceEvent("create", L"ParticleManager");
    InstallEffectServices(*particleManager);
    effectLibrary = std::make_unique<EffectLibrary>();
    traceEvent("create", L"EffectLibrary");

    // 33.
    logger->StartupComplete();

    // 34. "-splash" wins over "-nosplash".
    quitDuringSplash = false;
    {
        const CommandLine& commandLine = platform.commandLine ? *platform.commandLine : CommandLine::Get();
        if (!commandLine.HasOption(L"-nosplash") || commandLine.HasOption(L"-splash"))
        {
            inSplash = 1;
            quitDuringSplash = ShowSplashScreens();
            inSplash = 0;
        }
    }

    // 35.
    if (reportingModuleBound)
        userInterface->AddEventListener(&TesselInputHandler::Get());

    // 36.
    if (!quitDuringSplash)
    {
        inGameInitialize = 1;
        // The loaders note what they found broken; the message names the file and the reason.
        ClearNotedProblem();
        const bool gameStarted = !stepFails(StartupStep::Game) && (!game || game->Initialize());
        inGameInitialize = 0;
        if (!gameStarted)
        {
            const std::wstring problem = NotedProblem();
            ClearNotedProblem();
            return fail(problem.empty() ? std::wstring(L"the game did not start")
                                        : L"the game did not start: " + problem);
        }
    }

    // 37.
    started = 1;
    ReportOptions(fullscreen != 0, renderer->GetDevice()->Is16Bit(), frameClock->GetScheduledSeconds());

    // 38. The player quit; nothing failed.
    if (quitDuringSplash)
    {
        Shutdown();
        return false;
    }
    return true;
}

bool EngineManager::ShowSplashScreens()
{
    SplashScreens::Services services;
    services.ui = userInterface.get();
    services.screenWidth = int32_t(params.width);
    services.screenHeight = int32_t(params.height);
    services.setClearColour = [this](uint32_t colour)
    {
        if (IGIL* device = GetDevice())
            device->SetClearParams(true, colour);
    };
    // The engine's own loop, without the game's update, timers and screens.
    services.pump = [this]
    {
        // A close signal during the screens closes the window, whose quit message ends them.
        checkCloseSignal();
        if (quitRequested)
            return false;
        Platform::WindowMessage message;
        if (!windows || !windows->TakeMessage(message))
        {
            Tick(false);
            return true;
        }
        if (message.kind == Platform::MessageKind::Quit)
            return false;
        windows->Dispatch(message);
        return true;
    };
    return SplashScreens(std::move(services)).Run();
}

void EngineManager::pollRaiseRequests()
{
    if (!instanceMutex || !windowLives())
        return;
    if (instanceMutex->PollRaiseRequests() > 0)
    {
        const Platform::WindowHandle handle = window->GetHandle();
        windows->Show(handle);
        windows->Restore(handle);
        windows->Raise(handle);
    }
}

bool EngineManager::sessionInactive()
{
    return sessionWatch && !sessionWatch->IsActive();
}

void EngineManager::pollSessionNotices()
{
    if (!sessionWatch || !sessionNotices || !windowLives())
        return;
    std::vector<Platform::SessionChange> changes;
    sessionWatch->Poll(changes);
    for (Platform::SessionChange change : changes)
    {
        Platform::WindowMessage notice;
        notice.kind = Platform::MessageKind::SessionChange;
        notice.window = window->GetHandle();
        notice.sessionChange = change;
        windows->Post(notice);
    }
}

void EngineManager::Run()
{
    quitRequested = 0;
    while (!quitRequested)
    {
        checkCloseSignal();
        if (quitRequested)
            return;
        Platform::WindowMessage message;
        if (!windows->TakeMessage(message))
        {
            pollRaiseRequests();
            pollSessionNotices();
            Tick(true);
            continue;
        }
        if (message.kind == Platform::MessageKind::Quit)
            return;
        windows->Dispatch(message);
    }
}

void EngineManager::checkCloseSignal()
{
    const int64_t now = platform.counter->Counter();
    if (!closeSignalled)
    {
        const int signalNumber = platform.takeCloseSignal();
        if (signalNumber == 0)
            return;
        closeSignalled = true;
        closeSignalAt = now;
        logEngine(StringPrintf(L"close signal %d: closing", signalNumber));
        if (windowLives())
            RequestClose();
        else
            quitRequested = 1;
        return;
    }
    if (closeForced ||
        (now - closeSignalAt) * 1000 < kCloseSignalGraceMilliseconds * platform.counter->Frequency())
        return;
    // The game kept the window open or never got to answer: the system
    // wants the program gone, so it closes as an allowed close would.
    closeForced = true;
    logEngine(L"the game did not close in time after the close signal");
    if (windowLives())
        window->CloseWithoutAsking();
    else
        quitRequested = 1;
}

void EngineManager::Tick(bool full)
{
    // 1.
    if (suspended)
    {
        // A locked session is a pause too: its frames are not made up.
        pausedLastTick = true;
        platform.sleep(200);
        return;
    }
    IGIL* device = GetDevice();
    // 2. Drawing lets a device that is not running recover.
    if (device && !device->IsRunning())
        DrawFrame();
    // 3.
    const bool minimised = windowLives() && windows->IsMinimised(window->GetHandle());
    if (minimised || (pauseOnLostFocus && !active))
    {
        if (soundManager)
            soundManager->MuteAll(true);
        pausedLastTick = true;
        platform.sleep(1);
        return;
    }
    // 4. Frames missed while paused are not made up.
    if (soundManager)
        soundManager->MuteAll(false);
    if (pausedLastTick && frameClock)
        frameClock->RestartSchedule();
    pausedLastTick = false;
    if (frameClock)
        frameClock->CheckFrameDue();

    // 5.
    {
        std::vector<std::wstring> lines;
        {
            std::lock_guard<std::mutex> guard(tickLock);
            lines.swap(pendingConsoleCommands);
        }
        Console* console = userInterface ? userInterface->GetConsole() : nullptr;
        for (const std::wstring& line : lines)
            if (console)
                console->HandleConsoleFunction(line);
        framesThisTick = 0;
    }

    // 6.
    while (frameClock && frameClock->IsFrameDue() && device && !device->IsLost() && framesThisTick < 1)
    {
        ++framesThisTick;
        if (timerService)
            timerService->Update();
        if (timeManager)
        {
            timeManager->UpdateFrameBase();
            timeManager->UpdateRealClock();
            if (full)
                timeManager->UpdateClock(1);
            timeManager->UpdateClock(0);
            if (timerLists)
                timeManager->StepTimerList(*timerLists, 0);
        }
        if (userInterface)
        {
            // The whole display tree steps with the system clock's frame delta.
            if (Instance_Movie* root = userInterface->GetRoot())
                root->Update(timeManager ? timeManager->GetClock(0).deltaSeconds : 0.0f);
            const UserInterface::CursorEffect& effect = userInterface->cursorEffect;
            if (effect.enabled && !effect.name.empty() && effect.x >= 0.0f && effect.y >= 0.0f &&
                !effect.instance.IsValid())
                userInterface->UpdateCursorEffect();
        }
        if (full)
        {
            if (timeManager && timerLists)
                timeManager->StepTimerList(*timerLists, 1);
            if (game)
                game->Update();
            if (screenManager)
                screenManager->Update();
        }
        if (soundManager)
            soundManager->Update();
        frameClock->CheckFrameDue();
    }

    // 7.
    if (framesThisTick > 0)
    {
        frameClock->UpdateRate();
        DrawFrame();
        return;
    }
    platform.sleep(1);
}

void EngineManager::DrawFrame()
{
    IGIL* device = GetDevice();
    if (!device || !device->BeginFrame())
        return;
    renderer->SetInFrame(true);
    if (userInterface)
        userInterface->Render();
    renderer->Flush();
    device->EndFrame();
    renderer->Present();
    renderer->SetInFrame(false);
}

void EngineManager::fatalBox(uint32_t textId, int exitCode)
{
    const std::wstring caption = LoadResourceString(kCaptionCriticalError);
    const std::wstring text = LoadResourceString(textId);
    if (platform.messageBox)
        platform.messageBox(caption, text);
    else if (windows)
        windows->ShowMessageBox(0, caption, text);
    else
        Platform::ShowSystemMessageBox(nullptr, caption, text);
    platform.endProcess(exitCode);
}

void EngineManager::OnActivate()
{
    suspended = 0;
    if (sessionInactive())
    {
        fatalBox(kMessageTerminalSession, ExitTerminalSession);
        return;
    }
    if (!active && renderer && !inSplash && renderer->CanRender())
    {
        int x = 0;
        int y = 0;
        if (userInterface && windowLives() && windows->GetCursorClientPosition(window->GetHandle(), x, y))
            userInterface->OnMouseMove(x, y);
        renderer->GetDevice()->Invalidate();
        DrawFrame();
        if (!renderer->GetDevice()->IsRunning())
            DrawFrame();
        if (frameClock)
            frameClock->RestartSchedule();
        if (game)
            game->OnActivate();
    }
    active = 1;
}

void EngineManager::OnDeactivate()
{
    if (active)
    {
        releaseCursorClip();
        if (renderer && renderer->IsReady() && game)
            game->OnDeactivate();
        if (userInterface)
            for (int button = 0; button < 3; ++button)
                if (userInterface->buttonHeld[button])
                    userInterface->OnMouseUp(button, 0, 0);
    }
    active = 0;
}

void EngineManager::SetFullscreen(bool full)
{
    if (forcedFullscreen || full == (fullscreen != 0) || !windowLives())
        return;
    IGIL* device = GetDevice();
    const Platform::WindowHandle handle = window->GetHandle();
    const int width = userInterface ? userInterface->screenWidth : int(params.width);
    const int height = userInterface ? userInterface->screenHeight : int(params.height);
    fullscreen = full ? 1 : 0;
    if (!full)
    {
        if (device)
            device->SetFullscreen(false);
        window->ModifyStyle(kWindowStylePopup, kWindowStyleFrame);
        windows->SetClientPosition(handle, windowedLeft, windowedTop);
        window->SetClientSize(width, height, false);
        windows->Raise(handle);
        applyIcons();
        releaseCursorClip();
    }
    else
    {
        int x = 0;
        int y = 0;
        if (windows->GetClientPosition(handle, x, y))
        {
            windowedLeft = x;
            windowedTop = y;
        }
        window->ModifyStyle(kWindowStyleFrame, kWindowStylePopup);
        if (device)
            device->SetFullscreen(true);
        if (!device || !device->IsWidescreenMode())
        {
            window->SetClientSize(width, height, false);
            windows->Raise(handle);
        }
    }
    if (frameClock)
        frameClock->RestartSchedule();
}

void EngineManager::RequestClose()
{
    if (!windowLives())
        return;
    Platform::WindowMessage close;
    close.kind = Platform::MessageKind::Close;
    close.window = window->GetHandle();
    windows->Post(close);
}

void EngineManager::InvalidateDevice()
{
    if (IGIL* device = GetDevice())
        device->Invalidate();
}

bool EngineManager::CanClose()
{
    return !game || game->CanClose();
}

bool EngineManager::IsDeviceReady() const
{
    IGIL* device = GetDevice();
    return device && device->IsRunning() && !device->IsChangingMode();
}

bool EngineManager::IsWindowed() const
{
    IGIL* device = GetDevice();
    return device && device->IsWindowed();
}

void EngineManager::CheckMonitor()
{
    if (IGIL* device = GetDevice())
        device->CheckMonitor();
}

void EngineManager::PresentAgain()
{
    if (renderer)
        renderer->Present();
}

void EngineManager::QueueConsoleCommand(const std::wstring& line)
{
    std::lock_guard<std::mutex> guard(tickLock);
    if (!tickLockOpen)
        return;
    pendingConsoleCommands.push_back(line);
}

bool EngineManager::closeTickLock()
{
    std::lock_guard<std::mutex> guard(tickLock);
    const bool wasOpen = tickLockOpen;
    tickLockOpen = false;
    pendingConsoleCommands.clear();
    return wasOpen;
}

void EngineManager::Exit()
{
    if (settingsStore)
    {
        systemPreferences.audioEnabled = soundManager && soundManager->IsEnabled() ? 1 : 0;
        IGIL* device = GetDevice();
        systemPreferences.fullscreen = device && !device->IsWindowed() ? 1 : 0;
        systemPreferences.softwareDevice = 0;
        systemPreferences.autoDetectSoftware = 0;
        // The game itself ended normally, so the exit code stays 0; the
        // player still learns that the settings are lost and where.
        if (!SaveSystemPreferences(*settingsStore, systemPreferences))
            ReportProblem(LogEngine, __FILE__, __LINE__,
                          L"System.prefs cannot be saved in " +
                              Utf8ToWString(SettingsFileIo::ToSystemPath(settingsStore->localFolder)));
    }
    {
        IGIL* device = GetDevice();
        ReportOptions(fullscreen != 0, device && device->Is16Bit(),
                      frameClock ? frameClock->GetScheduledSeconds() : 0.0);
    }
    if (game)
        game->Shutdown();
    Shutdown();
}

void EngineManager::Shutdown()
{
    deleteService(translations, L"Translations");
    deleteService(stringTable, L"StringTable");
    // The window delivers no input once the user interface is gone.
    if (window)
        window->SetInput(nullptr);
    deleteService(userInterface, L"UserInterface");
    deleteService(screenManager, L"_ScreenMgr");
    deleteService(luaManager, L"LuaMgr");
    deleteService(particleManager, L"ParticleManager");
    deleteService(effectLibrary, L"EffectLibrary");
    deleteService(frameClock, L"FrameClock");
    deleteService(timerService, L"TimerService");
    deleteService(soundManager, L"FMODManager");
    deleteService(resourceManager, L"ResourceManager");
    deleteService(renderer, L"Renderer");
    deleteService(xmlCache, L"XmlDocumentCache");
    deleteService(fileSystem, L"FileSystem");
    deleteService(settingsStore, L"SettingsStore");
    deleteService(timerLists, L"TimerLists");
    deleteService(timeManager, L"TimeManager");
    if (windowLives())
        windows->Hide(window->GetHandle());
    fernlinkHooks.shutdown(L"ui");
    // A bordered window is destroyed here, an adopted full-screen one given
    // back; deleting the Window destroys whatever it still holds.
    if (window)
    {
        if ((window->GetStyle() & kWindowStyleOverlapped) != 0)
            window->Destroy();
        else if (window->IsAdopted())
            window->ReleaseAdopted();
    }
    deviceWindow.reset();
    deleteService(window, L"Window");
    sessionNotices = false;
    sessionWatch.reset();
    game = nullptr;
    deleteService(logger, L"Logger");
    // Nothing that could use a class record is left; the getters make new ones if the engine
    // starts again in this process.
    RClass::DeleteAll();
    deleteService(instanceMutex, L"SingleInstance");
    if (closeTickLock())
        traceEvent("delete", L"TickLock");
    started = 0;
    active = 0;
    // Everything a close signal asks for is done; a later one ends the process at once.
    if (closeSignalsInstalled)
        Platform::CloseFinished();
}

bool EngineManager::LoadLibraries(const std::wstring& groupName, const std::wstring& folder,
                                  uint32_t loaderFlag, bool mountOnly)
{
    if (!fileSystem)
        return false;
    // 1.
    fileSystem->ClearSelection();
    // 2.
    // A group that is mounted already is not mounted again.
    const bool mounted = fileSystem->SelectSources(groupName);
    fileSystem->ClearSelection();
    if (!mounted)
    {
        const std::wstring pack =
            groupName.find(L'.') != std::wstring::npos ? groupName : groupName + L".dat";
        fileSystem->AddSource(std::make_unique<FSCompressedSource>(pack, groupName));
        fileSystem->AddSource(std::make_unique<FSLooseFiles>(folder + L"\\", groupName));
    }
    // 3.
    if (mountOnly)
        return true;
    // 4.
    fileSystem->SelectSources(groupName);
    // 5.
    if (folder == L"input" && soundManager)
    {
        soundManager->LoadAudioXml();
        traceEvent("reload", L"AudioXml");
    }
    bool result = false;
    // 6.
    UnloadXmlDocument(L"libraries.xml");
    if (const XmlNode* list = LoadXmlDocument(L"libraries.xml"))
    {
        // 7.
        UnloadXmlDocument(L"libraries_meta.xml");
        const XmlNode* meta = LoadXmlDocument(L"libraries_meta.xml");
        DefinitionMap* library = userInterface ? userInterface->GetDefinitionMap() : nullptr;
        result = library && LoadLibraryXml(list, *library, this, meta, loaderFlag != 0);
        // 8.
        UnloadXmlDocument(L"libraries_metaex.xml");
        if (const XmlNode* metaEx = LoadXmlDocument(L"libraries_metaex.xml"))
            if (library)
                LoadDefinitionsXml(*metaEx, *library);
    }
    else
    {
        logEngine(L"the group " + groupName + L" has no libraries.xml");
        NoteProblem(L"the group " + groupName + L" has no libraries.xml");
    }
    // 9.
    fileSystem->ClearSelection();
    return result;
}

} // namespace TarnEngine
