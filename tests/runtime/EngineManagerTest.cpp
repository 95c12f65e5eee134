// Engine start-up, the tick, frame drawing and shutdown, run on a scripted
// window system, raster devices with null presenters and a fake clock.
#include "engine/runtime/EngineManager.h"
#include "engine/core/app/CommandLine.h"
#include "engine/core/app/Window.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/time/FrameClock.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/media/sound/FMODManager.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Base.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/TimerService.h"
#include "engine/scene/ui/UserInterface.h"

#include "platform/raster/RasterDevice.h"
#include "platform/raster/RasterPresenter.h"
#include "platform/raster/RasterSystem.h"
#include "platform/system/Clock.h"
#include "platform/system/Paths.h"
#include "platform/system/ProgramResources.h"
#include "platform/system/Session.h"
#include "platform/system/SingleInstance.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "platform/window/VirtualKeys.h"

#include "tests/core/FileTestSupport.h"
#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

using namespace TarnEngine;

// The order in which shutdown deletes the services.
const std::vector<std::wstring> kShutdownOrder = {
    L"Translations",    L"StringTable",   L"UserInterface",    L"_ScreenMgr",   L"LuaMgr",
    L"ParticleManager", L"EffectLibrary", L"FrameClock",       L"TimerService", L"FMODManager",
    L"ResourceManager", L"Renderer",      L"XmlDocumentCache", L"FileSystem",   L"SettingsStore",
    L"TimerLists",      L"TimeManager",   L"Window",           L"Logger",       L"SingleInstance",
    L"TickLock",
};

struct FakeGame : ITarnGame
{
    bool Initialize() override
    {
        trace->push_back(L"game Initialize");
        if (initialize)
            return initialize();
        return initializeResult;
    }
    bool CanClose() override
    {
        ++closeQuestions;
        return allowClose;
    }
    void OnActivate() override { ++activations; }
    void OnDeactivate() override { ++deactivations; }
    void Reserved(uintptr_t, uintptr_t) override {}
    void Shutdown() override { trace->push_back(L"game Shutdown"); }
    void Update() override { ++updates; }

    std::vector<std::wstring>* trace = nullptr;
    bool initializeResult = true;
    std::function<bool()> initialize; // when set, the start-up slot's work
    bool allowClose = true;
    int closeQuestions = 0;
    int updates = 0;
    int activations = 0;
    int deactivations = 0;
};

// The desktop's side of the session: whether it is active, and what each
// look at the notices finds.
struct FakeSessionWatch : Platform::SessionWatch
{
    struct State
    {
        bool active = true;
        std::deque<std::vector<Platform::SessionChange>> notices;
        int polls = 0;
        std::function<void(int polls)> onPoll;
    };

    explicit FakeSessionWatch(std::shared_ptr<State> state) : state(std::move(state)) {}
    bool IsActive() override { return state->active; }
    void Poll(std::vector<Platform::SessionChange>& changes) override
    {
        ++state->polls;
        if (!state->notices.empty())
        {
            changes.insert(changes.end(), state->notices.front().begin(), state->notices.front().end());
            state->notices.pop_front();
        }
        if (state->onPoll)
            state->onPoll(state->polls);
    }

    std::shared_ptr<State> state;
};

struct CountingCommand : IConsoleHandler
{
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&) override
    {
        calls.push_back(arguments.size() > 1 ? arguments[1] : std::wstring());
    }
    std::vector<std::wstring> calls;
};

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class EngineFixture : public ::testing::Test
{
public:
    static constexpr int64_t kFrequency = 600000; // 10000 ticks a frame

    void SetUp() override
    {
        originalFolder = Platform::CurrentFolder();
        setenv("XDG_CONFIG_HOME", (temp.path / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (temp.path / "data").c_str(), 1);
        data = temp.path / "content";
        writeFile(data / "input" / "DefaultSystemPreferences.xml",
                  "<Settings><Version>2</Version><Fullscreen>0</Fullscreen><AudioEnabled>1</AudioEnabled>"
                  "<SoftwareDevice>0</SoftwareDevice></Settings>");
        writeFile(data / "input" / "engine.xml", "<Engine><PauseOnLostFocus/></Engine>");
        std::filesystem::create_directories(temp.path / "bin");
        std::filesystem::create_directories(temp.path / "run");
        game.trace = &trace;
        SetCommandLine(L"pellwood -data " + data.wstring() + L" -nosplash");
    }

    void TearDown() override
    {
        engine.reset();
        Platform::SetCurrentFolder(originalFolder);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
    }

    void SetCommandLine(const std::wstring& line) { commandLine = std::make_unique<CommandLine>(line); }

    static Raster::AdapterInfo Adapter(bool usable = true)
    {
        Raster::AdapterInfo info;
        info.identifier.deviceId = 1;
        info.monitor = 1;
        info.desktop = {1920, 1080, 60, Raster::Format::X8R8G8B8};
        info.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        info.hasHal = usable;
        return info;
    }

    EnginePlatform MakePlatform()
    {
        EnginePlatform p;
        p.windows = &windows;
        const bool usable = adapterUsable;
        p.createRasterSystem = [usable]
        {
            Raster::SystemOptions options;
            options.adapters = {Adapter(usable)};
            options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
            return std::make_shared<Raster::RasterSystem>(options);
        };
        p.counter = &counter;
        p.sleep = [this](uint32_t ms) { sleeps.push_back(ms); };
        p.programPath = [this] { return (temp.path / "bin" / "pellwood").wstring(); };
        p.commandLine = commandLine.get();
        p.instanceFolder = (temp.path / "run").string();
        p.messageBox = [this](const std::wstring&, const std::wstring& text) { boxes.push_back(text); };
        p.endProcess = [this](int code) { exitCodes.push_back(code); };
        p.processHandlers = false;
        p.trace = [this](const char* what, const std::wstring& service)
        { trace.push_back(std::wstring(what, what + std::strlen(what)) + L" " + service); };
        p.failStep = [this](StartupStep step) { return failing && *failing == step; };
        p.openSessionWatch = [this]() -> std::unique_ptr<Platform::SessionWatch>
        {
            if (!session)
                return nullptr;
            return std::make_unique<FakeSessionWatch>(session);
        };
        return p;
    }

    bool Start() { return Start(MakePlatform()); }

    bool Start(EnginePlatform platform)
    {
        engine = std::make_unique<EngineManager>(std::move(platform));
        STarnGameInitParams params;
        params.applicationName = L"EngineTestGame";
        params.windowTitle = L"Engine Test";
        params.iconId = iconId;
        params.width = 1024;
        params.height = 768;
        params.fullscreenAllowed = 1;
        return engine->Initialize(params, &game);
    }

    std::vector<std::wstring> Events(const wchar_t* what) const
    {
        std::vector<std::wstring> out;
        const std::wstring prefix = std::wstring(what) + L" ";
        for (const std::wstring& line : trace)
            if (line.rfind(prefix, 0) == 0)
                out.push_back(line.substr(prefix.size()));
        return out;
    }

    uint32_t Presented() const
    {
        auto* device = dynamic_cast<DirectXDevice*>(engine->GetDevice());
        return dynamic_cast<Raster::NullPresenter&>(device->GetRasterDevice()->Presenter()).FrameCount();
    }

    bool Muted() const { return dynamic_cast<FMODManager*>(engine->GetSoundManager())->IsMuted(); }

    // A frame is due once more than a whole period has passed.
    void AdvanceFrames(int frames) { counter.Advance(int64_t(frames) * kFrequency / 60 + 1); }

    // Hands every waiting window message to its window.
    void Pump()
    {
        Platform::WindowMessage message;
        while (windows.TakeMessage(message))
            windows.Dispatch(message);
    }

    // Closes the window as the player does and runs the loop until it ends.
    void CloseThroughTheWindow()
    {
        Pump(); // what earlier windows left behind
        engine->RequestClose();
        engine->Run();
    }

    std::filesystem::path PlacementFile() const
    {
        return temp.path / "config" / "Halcyra Games" / "EngineTestGame" / "Window.prefs";
    }

    void ExpectWindowAt(int expectedX, int expectedY)
    {
        int x = 0;
        int y = 0;
        ASSERT_TRUE(windows.GetClientPosition(engine->GetWindow()->GetHandle(), x, y));
        EXPECT_EQ(x, expectedX);
        EXPECT_EQ(y, expectedY);
    }

    // Presses Alt+Enter in the window and hands the messages to it.
    void AltEnter()
    {
        const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
        windows.PressKey(handle, SDLK_LALT, SDL_SCANCODE_LALT);
        windows.PressKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
        windows.ReleaseKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
        windows.ReleaseKey(handle, SDLK_LALT, SDL_SCANCODE_LALT);
        Pump();
    }

    uint64_t DeviceResets() const
    {
        auto* device = dynamic_cast<DirectXDevice*>(engine->GetDevice());
        return device->GetRasterDevice()->Control().Count(Raster::Call::Reset);
    }

    TempFolder temp;
    std::filesystem::path data;
    std::string originalFolder;
    Platform::ScriptedWindowSystem windows;
    Platform::FakeCounter counter{kFrequency, 1000000};
    std::unique_ptr<CommandLine> commandLine;
    std::vector<uint32_t> sleeps;
    std::vector<std::wstring> boxes;
    std::vector<int> exitCodes;
    std::vector<std::wstring> trace;
    std::optional<StartupStep> failing;
    bool adapterUsable = true;
    uint32_t iconId = 0;
    // Null: no desktop tells anything about the session.
    std::shared_ptr<FakeSessionWatch::State> session;
    FakeGame game;
    std::unique_ptr<EngineManager> engine;
};

// Each deleted service was created, is deleted once, and the deletions keep the shutdown order.
void expectCleanShutdown(const std::vector<std::wstring>& created, const std::vector<std::wstring>& deleted)
{
    std::vector<std::wstring> a = created;
    std::vector<std::wstring> b = deleted;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b) << "every service created is deleted exactly once";
    size_t position = 0;
    for (const std::wstring& name : deleted)
    {
        const auto found = std::find(kShutdownOrder.begin() + position, kShutdownOrder.end(), name);
        ASSERT_NE(found, kShutdownOrder.end()) << "out of order: " << std::string(name.begin(), name.end());
        position = size_t(found - kShutdownOrder.begin()) + 1;
    }
    EXPECT_EQ(FileSystem::Get(), nullptr);
    EXPECT_EQ(XmlDocumentCache::Get(), nullptr);
    EXPECT_EQ(StringTable::GetNumbered(), nullptr);
    EXPECT_EQ(ILogger::Get(), nullptr);
    EXPECT_EQ(UserInterface::Get(), nullptr);
    EXPECT_EQ(LuaMgr::Get(), nullptr);
    EXPECT_EQ(Renderer::Get(), nullptr);
    EXPECT_EQ(FrameClock::Get(), nullptr);
    EXPECT_EQ(TimerService::Get(), nullptr);
    EXPECT_EQ(SettingsStore::Get(), nullptr);
}

TEST_F(EngineFixture, AFailureAtEachStepDeletesWhatWasCreated)
{
    struct Case
    {
        StartupStep step;
        const wchar_t* lastCreated; // the service whose step failed
    };
    const Case cases[] = {
        {StartupStep::StringTable, L"StringTable"}, {StartupStep::SingleInstance, L"SingleInstance"},
        {StartupStep::LuaMgr, L"LuaMgr"},           {StartupStep::UserInterface, L"UserInterface"},
        {StartupStep::WindowClass, L"_ScreenMgr"},  {StartupStep::Window, L"Window"},
        {StartupStep::FrameClock, L"FrameClock"},   {StartupStep::Device, L"ResourceManager"},
        {StartupStep::Renderer, L"Renderer"},       {StartupStep::SoundManager, L"FMODManager"},
        {StartupStep::Game, L"EffectLibrary"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(int(c.step));
        trace.clear();
        failing = c.step;
        EXPECT_FALSE(Start());
        const std::vector<std::wstring> created = Events(L"create");
        ASSERT_FALSE(created.empty());
        EXPECT_EQ(created.back(), c.lastCreated);
        expectCleanShutdown(created, Events(L"delete"));
        // Nothing is deleted a second time when the engine goes.
        const size_t before = trace.size();
        engine.reset();
        EXPECT_EQ(trace.size(), before);
    }
}

TEST_F(EngineFixture, FailuresOfTheServicesThemselvesShutDownToo)
{
    struct Case
    {
        const char* name;
        std::function<void(EngineFixture&)> arrange;
    };
    const Case cases[] = {
        {"broken string table", [](EngineFixture& f)
         { writeFile(f.data / "input" / "StringTable.xml", "<T><Entry><Text>x</Text></Entry></T>"); }},
        {"window creation", [](EngineFixture& f) { f.windows.SetCreationFails(true); }},
        {"no usable adapter", [](EngineFixture& f) { f.adapterUsable = false; }},
        {"game refuses", [](EngineFixture& f) { f.game.initializeResult = false; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        trace.clear();
        std::filesystem::remove(data / "input" / "StringTable.xml");
        windows.SetCreationFails(false);
        adapterUsable = true;
        game.initializeResult = true;
        c.arrange(*this);
        EXPECT_FALSE(Start());
        expectCleanShutdown(Events(L"create"), Events(L"delete"));
        engine.reset();
    }
}

TEST_F(EngineFixture, ExitSavesPreferencesThenTheGameThenDeletesInOrder)
{
    ASSERT_TRUE(Start());
    EXPECT_TRUE(engine->IsStarted());
    EXPECT_EQ(engine->GetAudioChannelCount(), 16u);
    EXPECT_TRUE(engine->PausesOnLostFocus());
    trace.clear();
    engine->Exit();

    std::vector<std::wstring> expected = {L"game Shutdown"};
    for (const std::wstring& name : kShutdownOrder)
        expected.push_back(L"delete " + name);
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(
        std::filesystem::exists(temp.path / "config" / "Halcyra Games" / "EngineTestGame" / "System.prefs"));
}

TEST_F(EngineFixture, ATickUpdatesAtMostOneFrameAndDrawsOnlyAfterAnUpdate)
{
    ASSERT_TRUE(Start());
    const uint32_t presentedAtStart = Presented();

    engine->Tick(true); // no time has passed: nothing is due
    EXPECT_EQ(game.updates, 0);
    EXPECT_EQ(Presented(), presentedAtStart);
    EXPECT_EQ(sleeps, std::vector<uint32_t>{1});

    // Far behind: every tick runs one frame and draws it, never more.
    AdvanceFrames(20);
    int previous = 0;
    for (int tick = 0; tick < 30; ++tick)
    {
        engine->Tick(true);
        EXPECT_LE(game.updates - previous, 1);
        EXPECT_EQ(Presented(), presentedAtStart + uint32_t(game.updates))
            << "a draw follows each update only";
        previous = game.updates;
    }
    EXPECT_GE(game.updates, 2);
    EXPECT_LT(game.updates, 20) << "frames behind are not raced through";

    // Caught up: a tick without a due frame sleeps and draws nothing.
    sleeps.clear();
    const int updates = game.updates;
    engine->Tick(true);
    EXPECT_EQ(game.updates, updates);
    EXPECT_EQ(sleeps, std::vector<uint32_t>{1});

    // A tick of the splash screens runs the frame without the game's update.
    AdvanceFrames(1);
    engine->Tick(false);
    EXPECT_EQ(game.updates, updates);
    EXPECT_EQ(Presented(), presentedAtStart + uint32_t(updates) + 1);
}

// Notes, at each notification, how far the rest of the frame update had got.
struct FrameStepListener : ITimerListener
{
    void OnTimer(InstanceHandle) override
    {
        clockAtCall.push_back(TimeManager::Get()->GetClock(0).now);
        updatesAtCall.push_back(game->updates);
    }
    FakeGame* game = nullptr;
    std::vector<uint32_t> clockAtCall;
    std::vector<int> updatesAtCall;
};

TEST_F(EngineFixture, TheTimerServiceRunsFirstInEveryFrameUpdate)
{
    ASSERT_TRUE(Start());
    TimerService* service = TimerService::Get();
    ASSERT_NE(service, nullptr);
    FrameStepListener listener;
    listener.game = &game;
    // 1.2 frame periods on the engine's counter.
    ASSERT_TRUE(service->AddTimer(0.02f, &listener).IsValid());

    AdvanceFrames(1);
    engine->Tick(true);
    EXPECT_TRUE(listener.clockAtCall.empty());
    EXPECT_EQ(game.updates, 1);

    const uint32_t clockBefore = TimeManager::Get()->GetClock(0).now;
    AdvanceFrames(1);
    engine->Tick(true);
    ASSERT_EQ(listener.clockAtCall.size(), 1u);
    EXPECT_EQ(listener.clockAtCall[0], clockBefore) << "before the clocks advance";
    EXPECT_EQ(listener.updatesAtCall[0], 1) << "before the game's update";
    EXPECT_GT(TimeManager::Get()->GetClock(0).now, clockBefore);
    EXPECT_EQ(game.updates, 2);

    engine->Exit();
    EXPECT_EQ(TimerService::Get(), nullptr);
    EXPECT_EQ(listener.clockAtCall.size(), 1u) << "shutdown notifies nobody";
}

TEST_F(EngineFixture, PausedTicksMuteAndDoNotCatchUpAfterwards)
{
    ASSERT_TRUE(Start());
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    struct Case
    {
        const char* name;
        std::function<void()> pause;
        std::function<void()> resume;
    };
    const Case cases[] = {
        {"focus lost", [&] { engine->OnDeactivate(); }, [&] { engine->OnActivate(); }},
        {"focus lost by the window",
         [&]
         {
             windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_LOST);
             Pump();
             EXPECT_FALSE(engine->IsActive());
         },
         [&]
         {
             windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
             Pump();
             EXPECT_TRUE(engine->IsActive());
         }},
        {"minimised",
         [&]
         {
             windows.Minimise(handle);
             Pump();
         },
         [&]
         {
             windows.Restore(handle);
             Pump();
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const int updates = game.updates;
        c.pause();
        sleeps.clear();
        for (int tick = 0; tick < 3; ++tick)
        {
            AdvanceFrames(50);
            engine->Tick(true);
        }
        EXPECT_TRUE(Muted());
        EXPECT_EQ(game.updates, updates);
        EXPECT_EQ(sleeps, (std::vector<uint32_t>{1, 1, 1}));

        c.resume();
        for (int tick = 0; tick < 5; ++tick)
            engine->Tick(true);
        EXPECT_FALSE(Muted());
        EXPECT_EQ(game.updates, updates) << "no frames are made up for the pause";
        AdvanceFrames(1);
        engine->Tick(true);
        engine->Tick(true);
        EXPECT_EQ(game.updates, updates + 1);
    }
}

TEST_F(EngineFixture, ASuspendedSessionOnlySleeps)
{
    ASSERT_TRUE(Start());
    CountingCommand command;
    ASSERT_TRUE(engine->GetUserInterface()->GetConsole()->RegisterFunction(L"test.count", &command, 1));
    engine->QueueConsoleCommand(L"test.count x");
    engine->SetSuspended(true);
    AdvanceFrames(5);
    engine->Tick(true);
    EXPECT_EQ(sleeps, std::vector<uint32_t>{200});
    EXPECT_EQ(game.updates, 0);
    EXPECT_TRUE(command.calls.empty());
    engine->OnActivate(); // activation ends the suspension
    EXPECT_FALSE(engine->IsSuspended());
    engine->Tick(true);
    EXPECT_EQ(command.calls.size(), 1u);

    // Unlocked without an activation: the frames of the locked time are not made up.
    engine->SetSuspended(true);
    AdvanceFrames(50);
    engine->Tick(true);
    engine->SetSuspended(false);
    const int updates = game.updates;
    for (int tick = 0; tick < 5; ++tick)
        engine->Tick(true);
    EXPECT_EQ(game.updates, updates);
    AdvanceFrames(1);
    engine->Tick(true);
    EXPECT_EQ(game.updates, updates + 1);
}

TEST_F(EngineFixture, SessionNoticesReachTheWindowThroughTheLoop)
{
    session = std::make_shared<FakeSessionWatch::State>();
    ASSERT_TRUE(Start());
    Pump();
    // The loop looks at the notices whenever no message waits; the second
    // look ends this run.
    session->notices = {{Platform::SessionChange::SessionLock}};
    session->onPoll = [this](int polls)
    {
        if (polls >= 2)
            engine->RequestQuit();
    };
    sleeps.clear();
    engine->Run();
    EXPECT_TRUE(engine->IsSuspended());
    EXPECT_EQ(sleeps.back(), 200u) << "a locked session only idles";

    const uint32_t presented = Presented();
    session->polls = 0;
    session->notices = {{Platform::SessionChange::SessionUnlock}};
    engine->Run();
    EXPECT_FALSE(engine->IsSuspended());
    EXPECT_GT(Presented(), presented) << "unlocking repaints";
}

TEST_F(EngineFixture, AQueuedConsoleLineRunsOnTheNextTickEvenWithoutAFrame)
{
    ASSERT_TRUE(Start());
    CountingCommand command;
    ASSERT_TRUE(engine->GetUserInterface()->GetConsole()->RegisterFunction(L"test.count", &command, 1));
    engine->QueueConsoleCommand(L"test.count first");
    engine->QueueConsoleCommand(L"test.count second");
    EXPECT_TRUE(command.calls.empty());
    engine->Tick(true);
    EXPECT_EQ(command.calls, (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_EQ(game.updates, 0);
    engine->Tick(true);
    EXPECT_EQ(command.calls.size(), 2u) << "the queue is emptied";
}

TEST_F(EngineFixture, CommandsQueuedFromAnotherThreadAcrossShutdownAreSafe)
{
    // The queueing thread runs while the engine shuts down and starts again:
    // the lock it takes must outlive every shutdown (the address sanitizer
    // catches a lock used after it was deleted), and nothing queued while the
    // engine is down runs afterwards.
    STarnGameInitParams params;
    params.applicationName = L"EngineTestGame";
    params.width = 1024;
    params.height = 768;
    ASSERT_TRUE(Start());
    std::atomic<bool> stop{false};
    std::atomic<int> queued{0};
    std::thread queuer(
        [&]
        {
            while (!stop.load())
            {
                engine->QueueConsoleCommand(L"test.count x");
                queued.fetch_add(1);
            }
        });
    for (int round = 1; round <= 3; ++round)
    {
        while (queued.load() < round * 1000)
        {
        }
        engine->Shutdown();
        ASSERT_TRUE(engine->Initialize(params, &game));
    }
    stop.store(true);
    queuer.join();
    engine->Shutdown();
    ASSERT_TRUE(engine->Initialize(params, &game));
    CountingCommand command;
    ASSERT_TRUE(engine->GetUserInterface()->GetConsole()->RegisterFunction(L"test.count", &command, 1));
    engine->Tick(true);
    EXPECT_TRUE(command.calls.empty()) << "lines queued before the last shutdown are dropped";
}

TEST_F(EngineFixture, DataOptionSetsTheWorkingFolder)
{
    const std::filesystem::path program = temp.path / "bin";
    std::filesystem::create_directories(program / "sub");
    struct Case
    {
        std::wstring line;
        std::filesystem::path folder;
    };
    const Case cases[] = {
        {L"pellwood -data " + data.wstring(), data},
        {L"pellwood -data sub", program / "sub"},
        {L"pellwood -data -windowed", program},
        {L"pellwood", program},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        SetCommandLine(c.line);
        failing = StartupStep::StringTable; // the folder is set before that step
        EXPECT_FALSE(Start());
        EXPECT_EQ(std::filesystem::path(Platform::CurrentFolder()), std::filesystem::canonical(c.folder));
        engine.reset();
    }
}

TEST_F(EngineFixture, LibrariesOfAGroupAreLoadedFromItsOwnSources)
{
    ASSERT_TRUE(Start());
    writeFile(data / "effects" / "libraries.xml", "<L><library file=\"fx.xml\"/></L>");
    writeFile(data / "effects" / "fx.xml",
              "<Definitions><Definition type=\"image\" name=\"spark\" src=\"spark.png\"/>"
              "<Definition type=\"image\" name=\"glow\" src=\"glow.png\"/></Definitions>");
    writeFile(data / "effects" / "libraries_meta.xml",
              "<M><Definition name=\"spark\"><Nuggets><MaterialNugget/></Nuggets></Definition></M>");
    writeFile(data / "effects" / "libraries_metaex.xml",
              "<M><Definition name=\"glow\"><Nuggets><MaterialNugget/></Nuggets></Definition></M>");
    writeFile(data / "broken" / "libraries.xml", "<L><library file=\"missing.xml\"/></L>");
    writeFile(data / "broken" / "libraries_metaex.xml",
              "<M><Definition name=\"glow\"><Nuggets><MaterialNugget/></Nuggets></Definition></M>");
    const DefinitionMap* map = engine->GetUserInterface()->GetDefinitionMap();
    EXPECT_TRUE(engine->LoadLibraries(L"effects", L"effects", 0, false));
    ASSERT_NE(map->FindDefinition(L"spark"), nullptr);
    ASSERT_NE(map->FindDefinition(L"glow"), nullptr);
    EXPECT_EQ(map->FindDefinition(L"spark")->nuggets.nuggets.size(), 1u);
    EXPECT_EQ(map->FindDefinition(L"glow")->nuggets.nuggets.size(), 1u);
    // A failed list still gets its metaex file.
    EXPECT_FALSE(engine->LoadLibraries(L"broken", L"broken", 1, false));
    EXPECT_EQ(map->FindDefinition(L"glow")->nuggets.nuggets.size(), 2u);
    EXPECT_FALSE(engine->LoadLibraries(L"empty", L"nothing", 1, false)) << "no libraries.xml";
    EXPECT_TRUE(engine->LoadLibraries(L"empty", L"nothing", 1, true));
    // The selection is cleared again: the base group's files are found.
    EXPECT_TRUE(FileSystem::Get()->FileExists(L"engine.xml"));
}

TEST_F(EngineFixture, AGroupIsMountedOnceWithItsPackBeforeItsFolder)
{
    ASSERT_TRUE(Start());
    // The names of the loaded definitions, each as often as it was loaded.
    const auto loaded = [this]
    {
        std::vector<std::wstring> names;
        for (const auto& [name, list] : engine->GetUserInterface()->GetDefinitionMap()->GetDefinitions())
            names.insert(names.end(), list.size(), name);
        return names;
    };
    const auto list = [](const char* file) { return std::string("<L><library file=\"") + file + "\"/></L>"; };
    const auto defining = [](const char* name)
    { return std::string("<Definitions><Definition type=\"image\" name=\"") + name + "\" src=\"\"/></Definitions>"; };

    // The pack of a group named with a dot is that very file; the group's
    // pack is searched before its folder.
    writeFile(data / "extra.pak",
              FileTest::BuildZip({{"libraries.xml", list("packed.xml")}, {"packed.xml", defining("packed")}}));
    writeFile(data / "extra" / "libraries.xml", list("loose.xml"));
    writeFile(data / "extra" / "loose.xml", defining("loose"));
    EXPECT_TRUE(engine->LoadLibraries(L"extra.pak", L"extra", 0, false));
    EXPECT_EQ(loaded(), std::vector<std::wstring>{L"packed"});

    // A second call for a group mounts nothing again: another folder given
    // with the same group name is not looked at, and the libraries load twice.
    writeFile(data / "first" / "libraries.xml", list("one.xml"));
    writeFile(data / "first" / "one.xml", defining("one"));
    writeFile(data / "second" / "libraries.xml", list("two.xml"));
    writeFile(data / "second" / "two.xml", defining("two"));
    EXPECT_TRUE(engine->LoadLibraries(L"group", L"first", 1, false));
    EXPECT_TRUE(engine->LoadLibraries(L"group", L"second", 1, false));
    EXPECT_EQ(loaded(), (std::vector<std::wstring>{L"one", L"one", L"packed"}));
    EXPECT_FALSE(FileSystem::Get()->FileExists(L"two.xml"));
}

TEST_F(EngineFixture, DuringAGroupsLoadOnlyItsOwnSourcesAreSearched)
{
    ASSERT_TRUE(Start());
    // The file exists in the base group ("System": "data.dat" and "input\"),
    // which a group's libraries must not reach.
    writeFile(data / "input" / "base.xml", "<Definitions><Definition type=\"image\" name=\"base\" src=\"\"/></Definitions>");
    writeFile(data / "grp" / "libraries.xml", "<L><library file=\"base.xml\"/></L>");
    EXPECT_FALSE(engine->LoadLibraries(L"grp", L"grp", 1, false));
    EXPECT_TRUE(engine->GetUserInterface()->GetDefinitionMap()->GetDefinitions().empty());
    EXPECT_TRUE(FileSystem::Get()->FileExists(L"base.xml")) << "every source is searched again afterwards";
}

TEST_F(EngineFixture, OnlyTheBaseGroupReloadsTheAudioDefinitions)
{
    ASSERT_TRUE(Start());
    writeFile(data / "input" / "libraries.xml", "<L/>");
    writeFile(data / "fx" / "libraries.xml", "<L/>");
    trace.clear();
    EXPECT_TRUE(engine->LoadLibraries(L"fx", L"fx", 1, false));
    EXPECT_TRUE(Events(L"reload").empty());
    EXPECT_TRUE(engine->LoadLibraries(L"data", L"input", 0, true));
    EXPECT_TRUE(Events(L"reload").empty()) << "mounting only loads nothing";
    EXPECT_TRUE(engine->LoadLibraries(L"data", L"input", 0, false));
    EXPECT_EQ(Events(L"reload"), std::vector<std::wstring>{L"AudioXml"});
}

TEST_F(EngineFixture, QuittingDuringTheSplashScreensEndsStartUpWithoutTheGame)
{
    // "..\SplashScreens.xml" lies beside the loose folder; "-splash" wins over "-nosplash".
    writeFile(data / "SplashScreens.xml", "<Screens><Splash src=\"..\\logo.png\"/></Screens>");
    writeFile(data / "logo.png", "");
    SetCommandLine(L"pellwood -data " + data.wstring() + L" -nosplash -splash");
    windows.PostQuit(0);
    EXPECT_FALSE(Start());
    EXPECT_TRUE(engine->QuitDuringSplash());
    EXPECT_FALSE(engine->IsInSplash());
    EXPECT_EQ(std::count(trace.begin(), trace.end(), L"game Initialize"), 0);
    EXPECT_TRUE(boxes.empty()) << "a quit is no failure";
    EXPECT_EQ(Events(L"delete").back(), L"TickLock") << "shut down";

    // With "-nosplash" alone there are no splash screens to quit from.
    engine.reset();
    trace.clear();
    SetCommandLine(L"pellwood -data " + data.wstring() + L" -nosplash");
    ASSERT_TRUE(Start());
    EXPECT_FALSE(engine->QuitDuringSplash());
    EXPECT_EQ(std::count(trace.begin(), trace.end(), L"game Initialize"), 1);
}

TEST_F(EngineFixture, ASecondInstanceEndsAndTheFirstRaisesItsWindow)
{
    ASSERT_TRUE(Start());
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    windows.Minimise(handle);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        // The second process starts the same game with the same lock folder.
        Platform::ScriptedWindowSystem otherWindows;
        EnginePlatform p = MakePlatform();
        p.windows = &otherWindows;
        p.trace = nullptr;
        int code = ExitStartupFailed;
        {
            EngineManager second(std::move(p));
            STarnGameInitParams params;
            params.applicationName = L"EngineTestGame";
            params.width = 1024;
            params.height = 768;
            FakeGame otherGame;
            std::vector<std::wstring> otherTrace;
            otherGame.trace = &otherTrace;
            if (second.Initialize(params, &otherGame))
                code = ExitNormal;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), ExitStartupFailed);

    // The first instance's loop takes the request; "exit" then ends the loop.
    engine->QueueConsoleCommand(L"exit");
    engine->Run();
    const auto* state = windows.State(handle);
    ASSERT_NE(state, nullptr);
    EXPECT_FALSE(state->minimised);
    EXPECT_TRUE(state->focused);
}

TEST_F(EngineFixture, ActivationChecksTheSessionAndEndsWithItsOwnCode)
{
    ASSERT_TRUE(Start());
    engine->OnDeactivate();
    EXPECT_FALSE(engine->IsActive());
    engine->OnActivate();
    EXPECT_TRUE(engine->IsActive());
    EXPECT_EQ(game.activations, 1);
    EXPECT_TRUE(exitCodes.empty());

    engine.reset();
    session = std::make_shared<FakeSessionWatch::State>();
    ASSERT_TRUE(Start());
    engine->OnDeactivate();
    session->active = false; // another session has the seat
    engine->OnActivate();
    EXPECT_EQ(boxes.back(), LoadResourceString(903));
    EXPECT_EQ(exitCodes, std::vector<int>{ExitTerminalSession});

    // Exhausted video memory ends the process with a code of its own, never 0.
    dynamic_cast<DirectXDevice*>(engine->GetDevice())->OnCreationFailure(Raster::Result::OutOfVideoMemory);
    EXPECT_EQ(boxes.back(), LoadResourceString(904));
    EXPECT_EQ(exitCodes, (std::vector<int>{ExitTerminalSession, ExitOutOfVideoMemory}));
}

TEST_F(EngineFixture, ATerminalSessionIsRefusedBeforeAnyService)
{
    session = std::make_shared<FakeSessionWatch::State>();
    session->active = false;
    EXPECT_FALSE(Start());
    EXPECT_EQ(Events(L"create"), (std::vector<std::wstring>{L"TickLock", L"Logger"}));
    EXPECT_EQ(Events(L"delete"), std::vector<std::wstring>{L"Logger"});
    EXPECT_EQ(boxes, std::vector<std::wstring>{LoadResourceString(903)});
}

TEST_F(EngineFixture, FullScreenSwitchKeepsTheWindowedPlaceAndIsRefusedWhenForced)
{
    ASSERT_TRUE(Start());
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    ASSERT_FALSE(engine->IsFullscreen());
    windows.SetClientPosition(handle, 200, 150);
    engine->SetFullscreen(true);
    EXPECT_EQ(windows.GetStyle(handle), Platform::WindowStyle::FullScreen);
    EXPECT_FALSE(engine->GetDevice()->IsWindowed());
    engine->SetFullscreen(true); // already full screen: nothing changes
    engine->SetFullscreen(false);
    EXPECT_EQ(windows.GetStyle(handle), Platform::WindowStyle::Bordered);
    EXPECT_TRUE(engine->GetDevice()->IsWindowed());
    int x = 0;
    int y = 0;
    ASSERT_TRUE(windows.GetClientPosition(handle, x, y));
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 150);

    // A work area exactly as wide as the window forces full screen for good.
    engine.reset();
    Platform::MonitorInfo small;
    small.bounds = {0, 0, 1024, 800};
    small.workArea = {0, 0, 1024, 800};
    small.primary = true;
    windows.SetMonitors({small});
    ASSERT_TRUE(Start());
    EXPECT_TRUE(engine->IsForcedFullscreen());
    EXPECT_TRUE(engine->IsFullscreen());
    engine->SetFullscreen(false);
    EXPECT_TRUE(engine->IsFullscreen());
}

TEST_F(EngineFixture, TheProgramsIconIsSetAtStartAndAfterFullScreen)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(windows.State(engine->GetWindow()->GetHandle())->iconWidth, 0) << "icon id 0: no icon";
    engine.reset();

    iconId = 101;
    ASSERT_TRUE(Start());
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    EXPECT_EQ(windows.State(handle)->iconWidth, Platform::LargeIconSize);
    engine->SetFullscreen(true);
    engine->SetFullscreen(false);
    EXPECT_EQ(windows.State(handle)->iconWidth, Platform::LargeIconSize);
    engine.reset();

    iconId = 4711; // the program has no such icon: the window keeps none
    ASSERT_TRUE(Start());
    EXPECT_EQ(windows.State(engine->GetWindow()->GetHandle())->iconWidth, 0);
}

TEST_F(EngineFixture, ACloseRequestGoesThroughTheWindowOnlyWhileItLives)
{
    ASSERT_TRUE(Start());
    Pump(); // the repaint that start-up asked for
    engine->RequestClose();
    Platform::WindowMessage message;
    ASSERT_TRUE(windows.TakeMessage(message));
    EXPECT_EQ(message.kind, Platform::MessageKind::Close);
    engine->GetWindow()->Destroy();
    Pump(); // the destruction's own messages
    engine->RequestClose();
    EXPECT_FALSE(windows.TakeMessage(message));
}

TEST_F(EngineFixture, AWindowedCloseStoresThePlaceTheNextStartOpensAt)
{
    // First start: no stored place, the window is centred on the work area.
    constexpr int centredX = (1920 / 2 - 1032 / 2) + 4;
    constexpr int centredY = (1040 / 2 - 802 / 2) + 30;
    ASSERT_TRUE(Start());
    ExpectWindowAt(centredX, centredY);
    windows.SetClientPosition(engine->GetWindow()->GetHandle(), 300, 200);
    CloseThroughTheWindow();
    engine->Exit();
    EXPECT_TRUE(std::filesystem::exists(PlacementFile()));
    engine.reset();

    struct Case
    {
        const char* name;
        uint16_t heldModifiers;
        int x;
        int y;
    };
    const Case cases[] = {
        {"stored place", 0, 300, 200},
        {"Shift held centres", KMOD_LSHIFT, centredX, centredY},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        windows.SetHeldModifiers(c.heldModifiers);
        ASSERT_TRUE(Start());
        ExpectWindowAt(c.x, c.y);
        windows.SetHeldModifiers(0);
        engine.reset();
    }
}

TEST_F(EngineFixture, ACloseInFullScreenOrRefusedByTheGameKeepsTheStoredPlace)
{
    ASSERT_TRUE(Start());
    windows.SetClientPosition(engine->GetWindow()->GetHandle(), 320, 240);
    CloseThroughTheWindow();
    engine->Exit();
    engine.reset();

    ASSERT_TRUE(Start());
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    windows.SetClientPosition(handle, 10, 20);
    game.allowClose = false;
    Pump();
    engine->RequestClose();
    Pump();
    EXPECT_TRUE(windows.IsWindow(handle)) << "the game keeps the window open";
    game.allowClose = true;
    engine->SetFullscreen(true);
    CloseThroughTheWindow();
    engine->Exit();
    engine.reset();

    ASSERT_TRUE(Start());
    EXPECT_TRUE(engine->IsFullscreen()) << "System.prefs keeps the mode";
    engine->SetFullscreen(false);
    ExpectWindowAt(320, 240);
}

TEST_F(EngineFixture, AltEnterSwitchesTheDisplayModeThroughTheEngine)
{
    ASSERT_TRUE(Start());
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    windows.SetClientPosition(handle, 120, 90);
    Pump();
    const uint64_t resets = DeviceResets();

    AltEnter();
    EXPECT_TRUE(engine->IsFullscreen());
    EXPECT_FALSE(engine->GetDevice()->IsWindowed());
    EXPECT_EQ(windows.GetStyle(handle), Platform::WindowStyle::FullScreen);
    EXPECT_EQ(DeviceResets(), resets + 1) << "the device is reset to the new mode";

    AltEnter();
    EXPECT_FALSE(engine->IsFullscreen());
    EXPECT_TRUE(engine->GetDevice()->IsWindowed());
    EXPECT_EQ(windows.GetStyle(handle), Platform::WindowStyle::Bordered);
    EXPECT_EQ(DeviceResets(), resets + 2);
    ExpectWindowAt(120, 90);

    // F10 reaches nobody and switches nothing.
    windows.PressKey(handle, SDLK_F10, SDL_SCANCODE_F10);
    Pump();
    EXPECT_FALSE(engine->IsFullscreen());
    EXPECT_EQ(DeviceResets(), resets + 2);
}

// The player's keys and buttons reach the user interface through the window,
// and losing the focus lets go of the buttons still held.
TEST_F(EngineFixture, InputReachesTheUserInterfaceAndDeactivationReleasesHeldButtons)
{
    struct Recorder : IEventListener
    {
        void OnEvent(const Event_Base& event) override
        {
            if (const auto* mouse = dynamic_cast<const Event_Mouse*>(&event))
                events.push_back((event.type == Event_Base::MouseDown ? "down " : "up ") +
                                 std::to_string(mouse->button));
            else if (const auto* key = dynamic_cast<const Event_Key*>(&event))
                events.push_back((event.type == Event_Base::KeyDown ? "key down " : "key up ") +
                                 std::to_string(key->key));
        }
        std::vector<std::string> events;
    } recorder;
    ASSERT_TRUE(Start());
    UserInterface* ui = engine->GetUserInterface();
    ui->AddEventListener(&recorder);
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    windows.MovePointer(handle, 40, 30);
    windows.PressKey(handle, SDLK_a, SDL_SCANCODE_A);
    windows.PressButton(handle, SDL_BUTTON_LEFT);
    windows.PressButton(handle, SDL_BUTTON_MIDDLE);
    Pump();
    EXPECT_EQ(ui->mouseX, 40);
    EXPECT_EQ(ui->mouseY, 30);
    EXPECT_TRUE(ui->buttonHeld[0]);
    EXPECT_TRUE(ui->buttonHeld[2]);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"key down 65", "down 0", "down 2"}));

    recorder.events.clear();
    windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_LOST);
    Pump();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"up 0", "up 2"}));
    EXPECT_FALSE(ui->buttonHeld[0] || ui->buttonHeld[1] || ui->buttonHeld[2]);
    EXPECT_EQ(game.deactivations, 1);
    ui->RemoveEventListener(&recorder);
}

// Every frame update steps the display tree from the root with the system clock's delta, so
// movies' scripts run once a frame and only when a frame runs.
TEST_F(EngineFixture, EachFrameStepsTheDisplayTreeWithTheSystemClock)
{
    ASSERT_TRUE(Start());
    UserInterface* ui = engine->GetUserInterface();
    Instance_Base* made = nullptr;
    Instance_Movie::CreateInstanceCore(ui->GetRoot(), L"", L"ticker", true, nullptr, &made);
    auto* ticker = RObjectCast<Instance_Movie>(made);
    ASSERT_NE(ticker, nullptr);
    ticker->SetOnUpdateEnabled(true);
    lua_State* state = LuaMgr::Get()->GetState();
    ASSERT_TRUE(ticker->CreateLuaTable());
    ASSERT_TRUE(ticker->PushTable());
    lua_setglobal(state, "ticker");
    ASSERT_TRUE(LuaMgr::Get()->DoString(
        std::string("steps = {} function ticker:OnUpdate(dt) steps[#steps + 1] = dt end")));
    auto steps = [&]
    {
        std::vector<double> out;
        lua_getglobal(state, "steps");
        for (int i = 1; i <= int(lua_objlen(state, -1)); ++i)
        {
            lua_rawgeti(state, -1, i);
            out.push_back(lua_tonumber(state, -1));
            lua_pop(state, 1);
        }
        lua_pop(state, 1);
        return out;
    };

    engine->Tick(true);
    EXPECT_TRUE(steps().empty()) << "no frame was due";
    for (int frame = 1; frame <= 3; ++frame)
    {
        AdvanceFrames(1);
        engine->Tick(true);
        const std::vector<double> seen = steps();
        ASSERT_EQ(seen.size(), size_t(frame));
        EXPECT_NEAR(seen.back(), TimeManager::Get()->GetClock(0).deltaSeconds, 1e-6);
        EXPECT_GT(seen.back(), 0.0);
    }
    engine->Tick(true);
    EXPECT_EQ(steps().size(), 3u);
}

// The tick keeps the custom-cursor effect alive: spawned under the root at its place, and spawned
// again in the frame in which the previous one ended.
TEST_F(EngineFixture, TheTickKeepsTheCursorEffectAlive)
{
    writeFile(data / "input" / "effects" / "sparkle.xml",
              "<ParticleEffect><Template name=\"Root\" autoemit=\"true\" lifetime=\"0.05\"/>"
              "</ParticleEffect>");
    ASSERT_TRUE(Start());
    UserInterface* ui = engine->GetUserInterface();
    ui->cursorEffect.enabled = true;
    ui->cursorEffect.name = L"sparkle";
    ui->cursorEffect.x = 30;
    ui->cursorEffect.y = 40;
    std::vector<InstanceHandle> seen;
    for (int frame = 0; frame < 12; ++frame)
    {
        AdvanceFrames(1);
        engine->Tick(true);
        const InstanceHandle live = ui->cursorEffect.instance;
        ASSERT_TRUE(live.IsValid()) << frame;
        EXPECT_EQ(live.GetInstance()->GetX(), 30.0f);
        if (seen.empty() || seen.back() != live)
            seen.push_back(live);
        size_t effects = 0;
        for (const Instance_Base* child : ui->GetRoot()->children)
            effects += child->type == INSTANCE_EFFECT ? 1 : 0;
        EXPECT_EQ(effects, 1u) << "one at a time";
    }
    EXPECT_GE(seen.size(), 3u) << "spawned again as each one ended";
}

// The grave accent key of the window shows the console over the game and hides it again; while
// shown, each frame draws its "Log" page into the console's own instance, and the printed lines
// appear in the presented picture.
TEST_F(EngineFixture, TheConsoleKeyShowsTheConsoleOverTheGame)
{
    ASSERT_TRUE(Start());
    UserInterface* ui = engine->GetUserInterface();
    Console* console = ui->GetConsole();
    ASSERT_TRUE(console->GetOverlayInstance().IsValid()) << "made at start-up";
    EXPECT_FALSE(console->IsOverlayShown());
    auto& presenter = dynamic_cast<Raster::NullPresenter&>(
        dynamic_cast<DirectXDevice*>(engine->GetDevice())->GetRasterDevice()->Presenter());
    // Pixels near white in the lowest lines of the screen, where the newest printed lines go.
    auto brightAtTheBottom = [&]
    {
        const std::vector<uint32_t>& frame = presenter.LastFrame();
        const uint32_t width = presenter.Width();
        size_t bright = 0;
        for (size_t i = size_t(width) * (presenter.Height() - 60); i < frame.size(); ++i)
            bright += (frame[i] & 0xF0F0F0) == 0xF0F0F0 ? 1 : 0;
        return bright;
    };
    AdvanceFrames(1);
    engine->Tick(true);
    ASSERT_EQ(presenter.Width(), 1024u);
    EXPECT_EQ(brightAtTheBottom(), 0u);

    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    windows.PressKey(handle, SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE);
    windows.ReleaseKey(handle, SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE);
    Pump();
    EXPECT_TRUE(console->IsOverlayShown());
    EXPECT_EQ(console->GetSelectedOverlay(), 1u);

    AdvanceFrames(1);
    engine->Tick(true);
    IRenderCanvas* canvas = ui->GetInstanceCanvas(console->GetOverlayInstance(), false);
    ASSERT_NE(canvas, nullptr);
    EXPECT_FALSE(canvas->IsClear()) << "the page and its bar";
    uint32_t first[2] = {0, 0};
    uint32_t second[2] = {0, 0};
    ASSERT_TRUE(canvas->HitTest(SpritePoint{4, 8}, first, second));
    EXPECT_EQ(first[0], Console::ArrowArea);
    EXPECT_GT(brightAtTheBottom(), 0u) << "the newest printed lines";

    windows.PressKey(handle, SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE);
    Pump();
    EXPECT_FALSE(console->IsOverlayShown());
    AdvanceFrames(1);
    engine->Tick(true);
    EXPECT_EQ(brightAtTheBottom(), 0u);
}

// With "HasCustomCursor" and a cursor instance, the system pointer is hidden while the pointer is
// inside the window (from its second move on) and shown again when it leaves; every frame puts the
// cursor instance at the pointer.
TEST_F(EngineFixture, ACustomCursorHidesTheSystemPointerInsideTheWindow)
{
    writeFile(data / "input" / "engine.xml", "<Engine><HasCustomCursor/></Engine>");
    ASSERT_TRUE(Start());
    UserInterface* ui = engine->GetUserInterface();
    Instance_Base* cursor = nullptr;
    Instance_Movie::CreateInstanceCore(ui->GetRoot(), L"", L"cursor", true, nullptr, &cursor);
    ASSERT_NE(cursor, nullptr);
    ui->customCursor = cursor->handle;
    ui->customCursorEnabled = true;
    const Platform::WindowHandle handle = engine->GetWindow()->GetHandle();
    windows.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    Pump();

    windows.MovePointer(handle, 40, 30);
    Pump();
    EXPECT_TRUE(windows.PointerVisible()) << "the first move after entering";
    windows.MovePointer(handle, 41, 31);
    windows.MovePointer(handle, 42, 32);
    Pump();
    EXPECT_FALSE(windows.PointerVisible());
    EXPECT_LT(ui->cursorShowCount, 0);
    AdvanceFrames(1);
    engine->Tick(true);
    EXPECT_TRUE(cursor->visible);
    EXPECT_EQ(cursor->x, 42);
    EXPECT_EQ(cursor->y, 32);

    // Moving about does not drive the display count further down.
    for (int i = 0; i < 50; ++i)
        windows.MovePointer(handle, 50 + i, 40);
    Pump();
    EXPECT_EQ(ui->cursorShowCount, -1);

    windows.PointerLeaves(handle);
    Pump();
    EXPECT_TRUE(windows.PointerVisible());
    EXPECT_GE(ui->cursorShowCount, 0);
    AdvanceFrames(1);
    engine->Tick(true);
    EXPECT_FALSE(cursor->visible) << "the pointer is outside";

    // Without the cursor instance enabled the system pointer stays.
    ui->customCursorEnabled = false;
    windows.MovePointer(handle, 40, 30);
    windows.MovePointer(handle, 41, 30);
    Pump();
    EXPECT_TRUE(windows.PointerVisible());
}

// Shutdown deletes the run-time class records; an engine started again in the same process gets
// them back, scripts included.
TEST_F(EngineFixture, ShutdownDeletesTheClassRecordsAndASecondStartHasThemAgain)
{
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE(run);
        ASSERT_TRUE(Start());
        EXPECT_NE(RClass::FindByName("Instance_Movie"), nullptr);
        EXPECT_EQ(engine->GetUserInterface()->GetRoot()->GetClass(), Instance_Movie::StaticClass());
        ASSERT_TRUE(LuaMgr::Get()->DoString(L"rootName = root:GetName()"));
        lua_State* state = LuaMgr::Get()->GetState();
        lua_getglobal(state, "rootName");
        EXPECT_STREQ(lua_tostring(state, -1), "root");
        lua_pop(state, 1);
        engine->Exit();
        EXPECT_TRUE(RClass::GetRegistry().classes.empty());
        EXPECT_EQ(RClass::FindByName("Instance_Movie"), nullptr);
        engine.reset();
    }
}

TEST_F(EngineFixture, EngineXmlSettings)
{
    struct Case
    {
        const char* xml; // null: no engine.xml
        bool pause;
        bool systemCursor;
        uint32_t channels;
        double slowFps;
        double alertSeconds;
    };
    const Case cases[] = {
        {nullptr, false, true, 16, 12.0, 20.0},
        {"<E><PauseOnLostFocus>0</PauseOnLostFocus><HasCustomCursor/></E>", true, false, 16, 12.0, 20.0},
        {"<E><AudioChannelCount>many</AudioChannelCount></E>", false, true, 0, 12.0, 20.0},
        // Beyond what the audio layer takes: held there, and the start goes on.
        {"<E><AudioChannelCount>100000</AudioChannelCount></E>", false, true, 4096, 12.0, 20.0},
        {"<E><AudioChannelCount>-3</AudioChannelCount></E>", false, true, 0, 12.0, 20.0},
        {"<E><AudioChannelCount>0x20</AudioChannelCount><SlowThresholdFPS>010</SlowThresholdFPS>"
         "<SlowAlertSeconds>0x1E</SlowAlertSeconds></E>",
         false, true, 32, 8.0, 30.0},
        {"<E><SlowThresholdFPS>24.5</SlowThresholdFPS><SlowAlertSeconds>soon</SlowAlertSeconds></E>", false,
         true, 16, 24.0, 0.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.xml ? c.xml : "none");
        std::filesystem::remove(data / "input" / "engine.xml");
        if (c.xml)
            writeFile(data / "input" / "engine.xml", c.xml);
        ASSERT_TRUE(Start());
        EXPECT_EQ(engine->PausesOnLostFocus(), c.pause);
        EXPECT_EQ(engine->UsesSystemCursor(), c.systemCursor);
        EXPECT_EQ(engine->GetAudioChannelCount(), c.channels);
        EXPECT_EQ(engine->GetFrameClock()->GetSlowThresholdFps(), c.slowFps);
        EXPECT_EQ(engine->GetFrameClock()->GetSlowAlertSeconds(), c.alertSeconds);
        engine.reset();
    }
}

TEST_F(EngineFixture, TheLogVariableOpensALogFileInTheLocalDataFolder)
{
    setenv("PELLWOOD_LOG", "file", 1);
    const bool started = Start();
    unsetenv("PELLWOOD_LOG");
    ASSERT_TRUE(started);
    ILogger::Get()->Log(LogEngine, "engine\\core\\Thing.cpp", 12, L"%s", std::wstring(L"logged"));
    const std::filesystem::path file =
        temp.path / "config" / "Halcyra Games" / "EngineTestGame" / "pellwood.log";
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << "no log file at " << file;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // UTF-16LE after its byte-order mark, lines ending in CR LF.
    std::string expected = "\xFF\xFE";
    for (char c : std::string("Thing.cpp(12): logged\r\n"))
        expected += std::string{c, '\0'};
    EXPECT_NE(bytes.find(expected.substr(2)), std::string::npos);
    EXPECT_EQ(bytes.substr(0, 2), expected.substr(0, 2));
}

TEST_F(EngineFixture, AStartUpThatFailsEarlySaysWhyOnTheRequestedTerminalOutput)
{
    writeFile(data / "input" / "StringTable.xml", "<T><Entry><Text>x</Text></Entry></T>");
    setenv("PELLWOOD_LOG", "debug", 1);
    testing::internal::CaptureStderr();
    const bool started = Start();
    const std::string said = testing::internal::GetCapturedStderr();
    unsetenv("PELLWOOD_LOG");
    EXPECT_FALSE(started);
    EXPECT_NE(said.find("StringTable.xml has a broken entry"), std::string::npos) << said;
}

// A close signal closes the window as its close button does (placement
// saved, loop ended); a game that keeps the window open is asked once and,
// half a second later, the window closes without it.
TEST_F(EngineFixture, ACloseSignalClosesTheWindowAndDoesNotWaitForTheGameLong)
{
    struct Case
    {
        const char* name;
        bool gameLetsGo;
    };
    const Case cases[] = {{"the game lets go", true}, {"the game holds on", false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(PlacementFile());
        int pendingSignal = 0;
        EnginePlatform p = MakePlatform();
        p.takeCloseSignal = [&]
        {
            const int taken = pendingSignal;
            pendingSignal = 0;
            return taken;
        };
        // Time passes while the loop waits.
        p.sleep = [this](uint32_t ms) { counter.AdvanceMilliseconds(ms); };
        ASSERT_TRUE(Start(std::move(p)));
        Pump();
        windows.SetClientPosition(engine->GetWindow()->GetHandle(), 300, 200);
        game.allowClose = c.gameLetsGo;
        game.closeQuestions = 0;

        pendingSignal = SIGTERM;
        const int64_t signalled = counter.Counter();
        engine->Run();
        const int64_t waitedMs = (counter.Counter() - signalled) * 1000 / kFrequency;
        EXPECT_EQ(game.closeQuestions, 1);
        if (c.gameLetsGo)
            EXPECT_LT(waitedMs, 500);
        else
        {
            EXPECT_GE(waitedMs, 500);
            EXPECT_LT(waitedMs, 600);
        }
        EXPECT_TRUE(std::filesystem::exists(PlacementFile()));
        engine->Exit();
        EXPECT_TRUE(std::filesystem::exists(PlacementFile().parent_path() / "System.prefs"));
        engine.reset();
        game.allowClose = true;
    }
}

// A start-up that fails says why on standard error, whatever log output was
// asked for, and in a box; the box is left out for a second instance (its
// first instance's window comes up instead) and when the device has shown
// its own.
TEST_F(EngineFixture, AFailedStartUpSaysWhyOnStandardErrorAndInABox)
{
    struct Case
    {
        const char* name;
        std::function<void(EngineFixture&)> arrange;
        const char* reason;
        bool ownBox;
        bool deviceBox = false; // box 902, shown by the device layer
    };
    std::unique_ptr<Platform::SingleInstance> firstInstance;
    const Case cases[] = {
        {"broken string table",
         [](EngineFixture& f)
         { writeFile(f.data / "input" / "StringTable.xml", "<T><Entry><Text>x</Text></Entry></T>"); },
         "StringTable.xml has a broken entry", true},
        {"script manager", [](EngineFixture& f) { f.failing = StartupStep::LuaMgr; },
         "the script manager cannot start", true},
        {"game refuses", [](EngineFixture& f) { f.game.initializeResult = false; }, "the game did not start",
         true},
        {"device with its own box", [](EngineFixture& f) { f.adapterUsable = false; },
         "the graphics device cannot be made", false, true},
        {"second instance",
         [&](EngineFixture& f)
         {
             firstInstance = std::make_unique<Platform::SingleInstance>();
             ASSERT_EQ(firstInstance->Acquire("Halcyra_EngineTestGame_Singleton", (f.temp.path / "run").string()),
                       Platform::SingleInstance::Result::First);
         },
         "another instance is running", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(data / "input" / "StringTable.xml");
        failing.reset();
        adapterUsable = true;
        game.initializeResult = true;
        firstInstance.reset();
        boxes.clear();
        c.arrange(*this);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Start());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(std::string("start-up failed: ") + c.reason), std::string::npos) << said;
        const std::wstring reason(c.reason, c.reason + std::strlen(c.reason));
        const std::wstring ours = L"EngineTestGame cannot start because " + reason + L".";
        std::vector<std::wstring> expected;
        if (c.deviceBox)
            expected.push_back(LoadResourceString(902));
        if (c.ownBox)
            expected.push_back(ours);
        EXPECT_EQ(boxes, expected);
        engine.reset();
    }
}

// A game whose start-up slot fails on broken content: the message names the file and what was
// wrong in it (the reader's or the script engine's words), on standard error and in the box.
TEST_F(EngineFixture, AGameThatCannotStartNamesTheFileAndTheReason)
{
    struct Case
    {
        const char* name;
        const char* libraries; // null: none
        const char* definitions;
        const char* script; // null: none is run
        std::vector<const char*> said;
    };
    const Case cases[] = {
        {"a definition without a name", "<L><library file=\"defs.xml\"/></L>", "<D><Definition type=\"movie\"/></D>",
         nullptr, {"defs.xml: a definition has no name"}},
        {"a definition of an unknown kind", "<L><library file=\"defs.xml\"/></L>",
         "<D><Definition type=\"sound\" name=\"bell\"/></D>", nullptr,
         {"defs.xml: the definition \"bell\" is of the unknown type \"sound\""}},
        {"a broken library list", "<L><library file=\"defs.xml\"></L>", "<D/>", nullptr,
         {"libraries.xml is not well-formed XML ("}},
        {"a missing definition file", "<L><library file=\"gone.xml\"/></L>", "<D/>", nullptr,
         {"gone.xml cannot be read"}},
        {"no library list", nullptr, "<D/>", nullptr, {"the group data has no libraries.xml"}},
        {"a main script that fails", "<L/>", "<D/>", "error('the sky fell')", {"a script failed: ", "main.luc", "the sky fell"}},
        {"a main script that does not load", "<L/>", "<D/>", "x = = 1", {"script\\main.luc does not load: "}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(data / "input" / "libraries.xml");
        if (c.libraries)
            writeFile(data / "input" / "libraries.xml", c.libraries);
        writeFile(data / "input" / "defs.xml", c.definitions);
        std::filesystem::create_directories(data / "input" / "script");
        writeFile(data / "input" / "script" / "main.luc", c.script ? c.script : "");
        const bool runScript = c.script != nullptr;
        game.initialize = [runScript]
        {
            EngineManager* engine = EngineManager::Get();
            if (!engine || !engine->LoadLibraries(L"data", L"input", 0, false))
                return false;
            LuaMgr* scripts = LuaMgr::Get();
            return !runScript || (scripts && scripts->IncludeScript("main.lua"));
        };
        boxes.clear();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Start());
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_EQ(boxes.size(), 1u);
        const std::string box = WStringToUtf8(boxes[0]);
        EXPECT_NE(box.find("EngineTestGame cannot start because the game did not start: "), std::string::npos) << box;
        for (const char* part : c.said)
        {
            EXPECT_NE(box.find(part), std::string::npos) << part << " in " << box;
            EXPECT_NE(said.find(part), std::string::npos) << said;
        }
        engine.reset();
    }
    game.initialize = nullptr;
}

// The process-wide handlers of a started engine, each in a child process:
// aborting ends with its own code and no message, a crash shows the message
// and dies by its signal. alarm(5) turns a hang into a failure.
class EngineHandlersDeathTest : public EngineFixture
{
public:
    void StartWithHandlers()
    {
        struct sigaction standard
        {
        };
        standard.sa_handler = SIG_DFL;
        sigaction(SIGALRM, &standard, nullptr);
        alarm(5);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        engine = std::make_unique<EngineManager>(
            [&]
            {
                EnginePlatform p = MakePlatform();
                p.processHandlers = true;
                return p;
            }());
        STarnGameInitParams params;
        params.applicationName = L"EngineTestGame";
        params.width = 1024;
        params.height = 768;
        if (!engine->Initialize(params, &game))
            _exit(99);
    }
};

[[noreturn]] void throwUncaught()
{
    throw std::runtime_error("nobody catches this");
}
void throwThroughNoexcept() noexcept
{
    throwUncaught();
}

TEST_F(EngineHandlersDeathTest, AbortAndCrashesEndWithTheirOwnCodesNeverZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* message = "Critical Error: We're sorry, but EngineTestGame has encountered a critical error";
    EXPECT_EXIT(
        {
            StartWithHandlers();
            std::abort();
        },
        testing::ExitedWithCode(ExitAbort), "");
    EXPECT_EXIT(
        {
            StartWithHandlers();
            void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            *static_cast<volatile int*>(page) = 1;
        },
        testing::KilledBySignal(SIGSEGV), message);
    EXPECT_EXIT(
        {
            StartWithHandlers();
            throwThroughNoexcept();
        },
        testing::KilledBySignal(SIGABRT), message);
}

} // namespace
