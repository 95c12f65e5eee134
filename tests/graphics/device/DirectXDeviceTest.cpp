// The graphics device: adapter choice, the widescreen and the requested back buffer, frames with and
// without clearing, and recovery through the raster layer's fault injection (lost devices, failed
// resets and re-creations, driver errors, video memory exhaustion, monitor changes, a presenter
// that lost what it shows with).
#include "tests/graphics/GraphicsFixture.h"

#include <algorithm>

namespace GraphicsTest
{
namespace
{

using Raster::Call;
using Raster::Result;

struct RecordingSubscriber : RenderEventSubscriber
{
    RecordingSubscriber(std::vector<std::string>& events, std::string name)
        : events(events), name(std::move(name))
    {
    }
    void OnDeviceLost() override { events.push_back("lost " + name); }
    bool OnDeviceReset() override
    {
        events.push_back("reset " + name);
        return true;
    }
    std::vector<std::string>& events;
    std::string name;
};

struct CountingListener : IRecreateFinishListener
{
    void OnRecreateFinished() override { ++notices; }
    int notices = 0;
};

class DirectXDeviceTest : public DeviceFixture
{
protected:
    // The device goes before the subscribers it still tells.
    void TearDown() override
    {
        device.reset();
        DeviceFixture::TearDown();
    }

    // Opens, closes and presents one frame; answers what BeginFrame said.
    bool Frame()
    {
        const bool began = device->BeginFrame();
        if (began)
            device->EndFrame();
        device->Present();
        return began;
    }

    void Subscribe()
    {
        a = std::make_unique<RecordingSubscriber>(events, "a");
        b = std::make_unique<RecordingSubscriber>(events, "b");
        device->AddEventSubscriber(a.get());
        device->AddEventSubscriber(b.get());
        device->AddEventSubscriber(a.get()); // a second time changes nothing
        device->AddRecreateFinishListener(&listener);
        listener.notices = 0;
        events.clear();
    }

    // Lost, then reset, each in the order of the subscriber set.
    std::vector<std::string> LostThenReset() const
    {
        const bool aFirst = std::less<RenderEventSubscriber*>()(a.get(), b.get());
        const std::string first = aFirst ? "a" : "b";
        const std::string second = aFirst ? "b" : "a";
        return {"lost " + first, "lost " + second, "reset " + first, "reset " + second};
    }

    std::vector<std::string> events;
    std::unique_ptr<RecordingSubscriber> a, b;
    CountingListener listener;
};

TEST_F(DirectXDeviceTest, LostPresentIsRecoveredByResetAtTheNextFrame)
{
    ASSERT_TRUE(MakeDevice());
    Subscribe();
    EXPECT_TRUE(Frame());
    Control().Inject(Call::Present, Result::DeviceLost);
    EXPECT_TRUE(Frame());
    EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
    EXPECT_TRUE(events.empty()) << "a lost present is only recorded";

    Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
    const uint64_t resets = Count(Call::Reset);
    EXPECT_FALSE(device->BeginFrame()) << "a successful recovery skips one frame";
    EXPECT_EQ(Count(Call::Reset), resets + 1);
    EXPECT_EQ(events, LostThenReset());
    EXPECT_EQ(listener.notices, 1);
    EXPECT_EQ(device->GetState(), DirectXDevice::StateRunning);
    EXPECT_TRUE(Frame());
    EXPECT_EQ(listener.notices, 1);
}

TEST_F(DirectXDeviceTest, LostPresentPausesAndRepaintsOnlyWhileTheDesktopIsUnlocked)
{
    for (bool locked : {false, true})
    {
        SCOPED_TRACE(locked ? "locked" : "unlocked");
        log = std::make_shared<ServiceLog>();
        log->desktopLocked = locked;
        window.invalidations = 0;
        ASSERT_TRUE(MakeDevice());
        ASSERT_TRUE(device->BeginFrame());
        device->EndFrame();
        Control().Inject(Call::Present, Result::DeviceLost);
        device->Present();
        EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
        const std::vector<uint32_t> pauses =
            locked ? std::vector<uint32_t>{100} : std::vector<uint32_t>{100, 100};
        EXPECT_EQ(log->sleeps, pauses);
        EXPECT_EQ(window.invalidations, locked ? 0 : 1) << "the window is asked to paint again";
    }
}

TEST_F(DirectXDeviceTest, PresenterThatLostItsRendererIsRecoveredByAReset)
{
    // What SDL reports under a real window (a renderer reset, a display mode change in full
    // screen) reaches the engine as a lost device, and the usual recovery brings it back.
    ASSERT_TRUE(MakeDevice());
    Subscribe();
    auto& presenter = dynamic_cast<Raster::NullPresenter&>(device->GetRasterDevice()->Presenter());
    EXPECT_TRUE(Frame());
    const uint32_t shown = presenter.FrameCount();
    presenter.Lose();
    EXPECT_FALSE(device->CanRender());
    EXPECT_TRUE(Frame()) << "the frame is drawn; its present finds the loss";
    EXPECT_EQ(presenter.FrameCount(), shown);
    EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
    const uint64_t resets = Count(Call::Reset);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(Count(Call::Reset), resets + 1);
    EXPECT_EQ(events, LostThenReset());
    EXPECT_EQ(listener.notices, 1);
    EXPECT_TRUE(device->CanRender());
    EXPECT_TRUE(Frame());
    EXPECT_EQ(presenter.FrameCount(), shown + 1);
}

TEST_F(DirectXDeviceTest, CooperativeLevelDecidesTheRecovery)
{
    struct Case
    {
        const char* name;
        Result level;
        uint64_t resets;
        bool notified;
        bool sleptBriefly;
    } cases[] = {
        {"not reset: reset", Result::DeviceNotReset, 1, true, false},
        {"usable again: restore only", Result::Ok, 0, true, false},
        {"still lost: wait", Result::DeviceLost, 0, false, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        log = std::make_shared<ServiceLog>();
        ASSERT_TRUE(MakeDevice());
        Subscribe();
        device->SetLost(true);
        Control().Inject(Call::TestCooperativeLevel, c.level);
        const uint64_t resets = Count(Call::Reset);
        EXPECT_FALSE(device->BeginFrame());
        EXPECT_EQ(Count(Call::Reset), resets + c.resets);
        EXPECT_EQ(events, c.notified ? LostThenReset() : std::vector<std::string>{});
        EXPECT_EQ(listener.notices, c.notified ? 1 : 0);
        EXPECT_EQ(log->sleeps, c.sleptBriefly ? std::vector<uint32_t>{100} : std::vector<uint32_t>{});
        // Whatever happened, the device draws again once the level is fine.
        bool drew = false;
        for (int i = 0; i < 3 && !drew; ++i)
            drew = Frame();
        EXPECT_TRUE(drew);
        device->RemoveEventSubscriber(a.get());
        device->RemoveEventSubscriber(b.get());
        device->RemoveRecreateFinishListener(&listener);
    }
}

TEST_F(DirectXDeviceTest, FailedResetSetsTheStateWordAndTheNextFrameActsOnIt)
{
    struct Case
    {
        const char* name;
        Result failure;
        uint32_t state;
        bool recreated; // the next BeginFrame makes a new device and draws at once
    } cases[] = {
        {"out of video memory", Result::OutOfVideoMemory, DirectXDevice::StateOutOfVideoMemory, false},
        {"driver error", Result::DriverInternalError, DirectXDevice::StateDriverFailure, true},
        {"lost again", Result::DeviceLost, DirectXDevice::StateLost, false},
        {"not available", Result::NotAvailable, DirectXDevice::StateLost, false},
        {"any other error", Result::InvalidCall, DirectXDevice::StateResetFailure, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        log = std::make_shared<ServiceLog>();
        ASSERT_TRUE(MakeDevice());
        Subscribe();
        device->SetLost(true);
        Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
        Control().Inject(Call::Reset, c.failure);
        EXPECT_FALSE(device->BeginFrame());
        EXPECT_EQ(device->GetState(), c.state);
        EXPECT_EQ(listener.notices, 0);

        const uint64_t creations = Count(Call::CreateDevice);
        events.clear();
        const bool drew = device->BeginFrame();
        if (c.recreated)
        {
            EXPECT_TRUE(drew) << "a re-creation continues into the same frame";
            EXPECT_EQ(Count(Call::CreateDevice), creations + 1);
            EXPECT_EQ(events, LostThenReset());
            EXPECT_EQ(listener.notices, 1);
            device->EndFrame();
        }
        else
        {
            EXPECT_FALSE(drew);
            EXPECT_EQ(Count(Call::CreateDevice), creations);
        }
        if (c.failure == Result::OutOfVideoMemory)
        {
            EXPECT_FALSE(device->BeginFrame());
            ASSERT_EQ(log->fatals.size(), 1u) << "the fatal path is taken once";
            EXPECT_EQ(log->fatals[0], DeviceMessageOutOfVideoMemory);
        }
        else
            EXPECT_TRUE(log->fatals.empty());
        device->RemoveEventSubscriber(a.get());
        device->RemoveEventSubscriber(b.get());
        device->RemoveRecreateFinishListener(&listener);
    }
}

TEST_F(DirectXDeviceTest, FailedRecreationShowsTheMessageAndPausesAtEveryAttempt)
{
    ASSERT_TRUE(MakeDevice());
    Subscribe();
    device->SetLost(true);
    Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
    Control().Inject(Call::Reset, Result::DriverInternalError);
    EXPECT_FALSE(device->BeginFrame());
    ASSERT_EQ(device->GetState(), DirectXDevice::StateDriverFailure);
    Control().ClearInjections();
    Control().Inject(Call::CreateDevice, Result::NotAvailable, 3);
    log->sleeps.clear();
    for (int attempt = 1; attempt <= 3; ++attempt)
    {
        SCOPED_TRACE(attempt);
        EXPECT_FALSE(device->BeginFrame());
        EXPECT_EQ(device->GetState(), DirectXDevice::StateDriverFailure);
        EXPECT_EQ(log->messages, std::vector<std::wstring>(size_t(attempt), DeviceMessageNoAdapter));
        EXPECT_EQ(log->sleeps, std::vector<uint32_t>(size_t(attempt), 1000u));
        EXPECT_EQ(listener.notices, 0);
        EXPECT_EQ(device->GetRasterDevice(), nullptr);
    }
    EXPECT_TRUE(device->BeginFrame()) << "the fourth attempt makes a device and draws at once";
    device->EndFrame();
    EXPECT_EQ(log->messages.size(), 3u);
    EXPECT_EQ(log->sleeps.size(), 3u);
    EXPECT_EQ(listener.notices, 1);
    EXPECT_EQ(device->GetState(), DirectXDevice::StateRunning);
}

TEST_F(DirectXDeviceTest, ResourceCreationFailuresReachTheStateWord)
{
    ASSERT_TRUE(MakeDevice());
    Control().Inject(Call::CreateTexture, Result::DeviceLost);
    EXPECT_EQ(device->MakeTexture(64, 64, false), nullptr);
    EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
    EXPECT_TRUE(log->fatals.empty());
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_TRUE(device->BeginFrame());
    device->EndFrame();

    Control().Inject(Call::CreateDepthStencilSurface, Result::OutOfVideoMemory);
    Control().Inject(Call::CreateTexture, Result::OutOfVideoMemory);
    EXPECT_EQ(device->MakeDepthSurface(64, 64), nullptr);
    EXPECT_EQ(device->MakeTexture(64, 64, false), nullptr);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(log->fatals.size(), 1u);
}

TEST_F(DirectXDeviceTest, SuspendedDeviceWaitsUntilRecoveryIsAllowed)
{
    ASSERT_TRUE(MakeDevice());
    device->SetLost(false);
    const uint64_t levels = Count(Call::TestCooperativeLevel);
    EXPECT_FALSE(Frame());
    EXPECT_FALSE(Frame());
    EXPECT_EQ(Count(Call::TestCooperativeLevel), levels) << "no recovery is tried";
    EXPECT_EQ(Count(Call::Present), 0u);
    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_TRUE(device->BeginFrame());
}

TEST_F(DirectXDeviceTest, WindowLeavingTheAdapterMonitorRecreatesOnTheNewAdapter)
{
    ASSERT_TRUE(MakeDevice({TestAdapter(1, 1), TestAdapter(2, 2)}));
    window.monitors = {{1, {0, 0, 1280, 1024}}, {2, {1280, 0, 2560, 1024}}};
    EXPECT_EQ(device->GetCaps().adapterOrdinal, 0u);

    // Still overlapping the old monitor: the device stays.
    window.monitor = 2;
    window.windowRect = {1200, 100, 1360, 220};
    device->CheckMonitor();
    EXPECT_EQ(device->GetState(), DirectXDevice::StateRunning);

    window.windowRect = {1400, 100, 1560, 220};
    device->CheckMonitor();
    EXPECT_EQ(device->GetState(), DirectXDevice::StateMonitorLeft);
    EXPECT_TRUE(device->BeginFrame());
    EXPECT_EQ(device->GetCaps().adapterOrdinal, 1u);
    device->EndFrame();
}

TEST_F(DirectXDeviceTest, AdapterChoiceOverAdapterLists)
{
    auto referenceOnly = [](uint8_t id)
    {
        auto info = TestAdapter(id);
        info.hasHal = false;
        info.hasReference = true;
        return info;
    };
    auto withoutTransform = [](uint8_t id)
    {
        auto info = TestAdapter(id);
        info.caps.devCaps = 0;
        return info;
    };
    auto smallTextures = [](uint8_t id, uintptr_t monitor)
    {
        auto info = TestAdapter(id, monitor);
        info.caps.maxTextureWidth = 512;
        return info;
    };
    auto noTextures = [](uint8_t id)
    {
        auto info = TestAdapter(id);
        info.argbTextures = false;
        info.rgb565Textures = false;
        return info;
    };
    auto only16Bit = [](uint8_t id)
    {
        auto info = TestAdapter(id);
        info.argbTextures = false;
        return info;
    };
    struct Case
    {
        const char* name;
        std::vector<Raster::AdapterInfo> adapters;
        int chosen; // -1: none
        bool sixteenBit = false;
    } cases[] = {
        {"one adapter", {TestAdapter(1)}, 0},
        {"other monitor skipped", {TestAdapter(1, 2), TestAdapter(2, 1)}, 1},
        {"hardware before reference", {referenceOnly(1), TestAdapter(2)}, 1},
        {"reference when nothing else", {referenceOnly(1)}, 0},
        {"transform and lighting first", {withoutTransform(1), TestAdapter(2)}, 1},
        {"small textures rejected on the window's monitor", {smallTextures(1, 1), TestAdapter(2, 2)}, -1},
        {"failed format test excluded", {noTextures(1), TestAdapter(2)}, 1},
        {"16-bit textures only", {only16Bit(1)}, 0, true},
        {"every adapter on another monitor", {TestAdapter(1, 2), TestAdapter(2, 3)}, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        log = std::make_shared<ServiceLog>();
        const bool made = MakeDevice(c.adapters, c.sixteenBit);
        EXPECT_EQ(made, c.chosen >= 0);
        if (made)
        {
            EXPECT_EQ(device->GetCaps().adapterOrdinal, uint32_t(c.chosen));
            EXPECT_EQ(device->Is16Bit(), c.sixteenBit);
            EXPECT_TRUE(log->messages.empty());
        }
        else
            EXPECT_EQ(log->messages, std::vector<std::wstring>{DeviceMessageNoAdapter});
    }
}

TEST_F(DirectXDeviceTest, FailedCreationMovesOnToTheNextAdapter)
{
    system = MakeSystem({TestAdapter(1), TestAdapter(2)});
    system->Control()->Inject(Call::CreateDevice, Result::NotAvailable);
    device = std::make_unique<DirectXDevice>(MakeServices(system, log));
    ASSERT_TRUE(device->Init(&window, false));
    EXPECT_EQ(device->GetCaps().adapterOrdinal, 1u);
}

TEST_F(DirectXDeviceTest, WidescreenBackBuffer)
{
    struct Case
    {
        uint32_t desktopWidth, desktopHeight;
        bool fullScreen, widescreen;
        uint32_t width, height;
        float scale;
        int32_t offsetX;
    } cases[] = {
        {1920, 1080, true, true, 1920, 1080, 1.40625f, 240},
        {1680, 1050, true, true, 1680, 1050, 1.3671875f, 140},
        {1280, 1024, true, true, 1024, 768, 1.0f, 0},
        {1920, 1080, false, true, 1024, 768, 1.0f, 0},
        {1920, 1080, true, false, 1024, 768, 1.0f, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.desktopWidth << "x" << c.desktopHeight << " full "
                                        << c.fullScreen << " wide " << c.widescreen);
        log = std::make_shared<ServiceLog>();
        log->logicalWidth = 1024;
        log->logicalHeight = 768;
        ASSERT_TRUE(MakeDevice({TestAdapter(1, 1, c.desktopWidth, c.desktopHeight)}, c.fullScreen));
        device->SetWidescreenMode(c.widescreen);
        uint32_t w = 0, h = 0;
        device->GetBackBufferSize(&w, &h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(device->GetViewScale(), c.scale);
        EXPECT_EQ(device->GetViewOffsetX(), c.offsetX);
        EXPECT_EQ(device->GetViewOffsetY(), 0);
        EXPECT_EQ(window.clientWidth, c.width);
        EXPECT_EQ(window.clientHeight, c.height);
        EXPECT_TRUE(Frame());
        EXPECT_EQ(Shown().width, c.width);
    }
}

// The border mode resets the device only when it changes the back buffer: in a window, or on a
// desktop too narrow for borders, the device keeps everything it holds.
TEST_F(DirectXDeviceTest, WidescreenModeResetsOnlyForAnotherBackBuffer)
{
    struct Case
    {
        uint32_t desktopWidth, desktopHeight;
        bool fullScreen;
        bool resets;
    } cases[] = {
        {1920, 1080, false, false},
        {1280, 1024, true, false},
        {1920, 1080, true, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.desktopWidth << "x" << c.desktopHeight << " full " << c.fullScreen);
        log = std::make_shared<ServiceLog>();
        log->logicalWidth = 1024;
        log->logicalHeight = 768;
        ASSERT_TRUE(MakeDevice({TestAdapter(1, 1, c.desktopWidth, c.desktopHeight)}, c.fullScreen));
        Subscribe();
        const uint64_t resets = Count(Call::Reset);
        for (bool on : {true, false})
        {
            device->SetWidescreenMode(on);
            EXPECT_EQ(device->IsWidescreenMode(), on);
        }
        EXPECT_EQ(Count(Call::Reset), resets + (c.resets ? 2 : 0));
        if (c.resets)
        {
            std::vector<std::string> twice = LostThenReset();
            const std::vector<std::string> once = LostThenReset();
            twice.insert(twice.end(), once.begin(), once.end());
            EXPECT_EQ(events, twice);
            EXPECT_EQ(listener.notices, 2);
        }
        else
        {
            EXPECT_TRUE(events.empty());
            EXPECT_EQ(listener.notices, 0);
        }
        uint32_t w = 0, h = 0;
        device->GetBackBufferSize(&w, &h);
        EXPECT_EQ(w, 1024u);
        EXPECT_EQ(h, 768u);
        EXPECT_EQ(device->GetViewScale(), 1.0f);
        EXPECT_EQ(device->GetViewOffsetX(), 0);
        EXPECT_TRUE(Frame());
        device.reset();
    }
}

TEST_F(DirectXDeviceTest, SetBackBufferSizeResetsOnlyForAnotherSize)
{
    ASSERT_TRUE(MakeDevice());
    Subscribe();
    uint32_t w = 0, h = 0;
    device->GetBackBufferSize(&w, &h);
    const uint64_t resets = Count(Call::Reset);
    EXPECT_TRUE(device->SetBackBufferSize(w, h));
    EXPECT_EQ(Count(Call::Reset), resets) << "the same size changes nothing";
    EXPECT_TRUE(events.empty());

    // Another size resets the device, whose size rule takes the logical screen size again.
    log->logicalWidth = 200;
    log->logicalHeight = 150;
    EXPECT_TRUE(device->SetBackBufferSize(320, 240));
    EXPECT_EQ(Count(Call::Reset), resets + 1);
    EXPECT_EQ(events, LostThenReset());
    EXPECT_EQ(listener.notices, 1);
    device->GetBackBufferSize(&w, &h);
    EXPECT_EQ(w, 200u);
    EXPECT_EQ(h, 150u);
    EXPECT_EQ(window.clientWidth, 200u);
    EXPECT_TRUE(Frame());
    EXPECT_EQ(Shown().width, 200u);

    events.clear();
    Control().Inject(Call::Reset, Result::DeviceLost);
    EXPECT_FALSE(device->SetBackBufferSize(64, 64));
    EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
    ASSERT_EQ(events.size(), 2u) << "told lost, not reset";
    EXPECT_EQ(listener.notices, 1);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(listener.notices, 2) << "the next frame recovers";
    EXPECT_TRUE(Frame());
}

TEST_F(DirectXDeviceTest, BeginFrameClearsTheDepthAndTheColourWhenAsked)
{
    ASSERT_TRUE(MakeDevice());
    device->SetClearParams(true, 0xFF336699);
    ASSERT_TRUE(device->BeginFrame());
    device->EndFrame();
    std::shared_ptr<Raster::RasterSurface> depth;
    ASSERT_EQ(device->GetRasterDevice()->GetDepthStencilSurface(depth), Result::Ok);
    auto smudge = [&]
    {
        device->Clear(true, false, 0xFF112233);
        depth->Depths()[5 * depth->Width() + 5] = 1234;
    };
    struct Case
    {
        const char* name;
        bool clearOnBegin;
        bool debugDraw;
        uint32_t colour;
    } cases[] = {
        {"cleared to the clear colour", true, false, 0xFF336699},
        {"colour kept", false, false, 0xFF112233},
        {"debug drawing starts from black", false, true, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        device->SetClearParams(c.clearOnBegin, 0xFF336699);
        RenderStats::Get().SetDebugDraw(c.debugDraw);
        smudge();
        const uint64_t clears = Count(Call::Clear);
        ASSERT_TRUE(device->BeginFrame());
        EXPECT_EQ(Count(Call::Clear), clears + 1) << "one clear a frame";
        EXPECT_EQ(Pixel(5, 5), c.colour);
        EXPECT_EQ(depth->Depths()[5 * depth->Width() + 5], 0xFFFF) << "the depth is always cleared";
        device->EndFrame();
    }
    RenderStats::Get().SetDebugDraw(false);
    device->SetClearParams(false, 0);
    Control().Inject(Call::Clear, Result::InvalidCall);
    EXPECT_FALSE(device->BeginFrame()) << "a failed clear fails the frame";
    device->EndFrame();
}

TEST_F(DirectXDeviceTest, FullScreenSwitchResetsAndTellsEveryone)
{
    ASSERT_TRUE(MakeDevice());
    Subscribe();
    EXPECT_FALSE(device->SetFullscreen(false)) << "already windowed";
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(device->SetFullscreen(true));
    EXPECT_FALSE(device->IsWindowed());
    EXPECT_FALSE(device->IsChangingMode());
    EXPECT_EQ(events, LostThenReset());
    EXPECT_EQ(listener.notices, 1);

    Control().Inject(Call::Reset, Result::DriverInternalError);
    EXPECT_FALSE(device->SetFullscreen(false));
    EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
    EXPECT_FALSE(device->IsChangingMode());
}

TEST_F(DirectXDeviceTest, LockableBackBufferAroundADialog)
{
    ASSERT_TRUE(MakeDevice());
    Subscribe();
    ASSERT_TRUE(device->BeginFrame());
    EXPECT_FALSE(device->SetLockableBackBuffer(true)) << "not inside a scene";
    device->EndFrame();
    const uint64_t resets = Count(Call::Reset);
    EXPECT_TRUE(device->SetLockableBackBuffer(true));
    EXPECT_EQ(Count(Call::Reset), resets + 1);
    EXPECT_EQ(device->GetRasterDevice()->GetPresentParams().flags,
              Raster::Value::PresentFlagLockableBackBuffer);
    ASSERT_EQ(events.size(), 2u) << "only told lost";
    EXPECT_EQ(events[0].rfind("lost", 0), 0u);
    EXPECT_EQ(events[1].rfind("lost", 0), 0u);
    EXPECT_EQ(listener.notices, 0);
    events.clear();
    EXPECT_TRUE(device->SetLockableBackBuffer(false));
    EXPECT_EQ(device->GetRasterDevice()->GetPresentParams().flags, 0u);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].rfind("reset", 0), 0u);
    EXPECT_EQ(listener.notices, 1);
    EXPECT_TRUE(Frame());

    // A lockable reset that fails leaves everyone without resources: the next frame restores them.
    events.clear();
    Control().Inject(Call::Reset, Result::DeviceLost);
    EXPECT_FALSE(device->SetLockableBackBuffer(true));
    EXPECT_EQ(device->GetState(), DirectXDevice::StateLost);
    ASSERT_EQ(events.size(), 2u);
    events.clear();
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(events, LostThenReset());
    EXPECT_EQ(listener.notices, 2);
    EXPECT_TRUE(Frame());
}

TEST_F(DirectXDeviceTest, CanRenderOnlyWhileRunningAndCooperative)
{
    ASSERT_TRUE(MakeDevice());
    EXPECT_TRUE(device->CanRender());
    Control().Inject(Call::TestCooperativeLevel, Result::DeviceLost);
    EXPECT_FALSE(device->CanRender());
    device->SetLost(false);
    EXPECT_FALSE(device->CanRender());
    EXPECT_TRUE(device->IsLost());
    EXPECT_FALSE(device->IsRunning());
    device->Shutdown();
    EXPECT_FALSE(device->IsCreated());
    EXPECT_FALSE(device->CanRender());
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(device->GetAvailableTextureMemory(), 0u);
}

TEST_F(DirectXDeviceTest, RecreateFinishListenersKeepDuplicatesAndOrder)
{
    ASSERT_TRUE(MakeDevice());
    CountingListener first, second;
    device->AddRecreateFinishListener(&first);
    device->AddRecreateFinishListener(&second);
    device->AddRecreateFinishListener(&first);
    device->AddRecreateFinishListener(nullptr);
    device->RemoveRecreateFinishListener(&first);
    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(first.notices, 1) << "a listener added twice and removed once stays once";
    EXPECT_EQ(second.notices, 1);
}

TEST_F(DirectXDeviceTest, PresentCountsDrawCallsIntoTheDebugHueStep)
{
    ASSERT_TRUE(MakeDevice());
    RenderStats::Get().drawCalls = 8;
    ASSERT_TRUE(device->BeginFrame());
    device->EndFrame();
    device->Present();
    EXPECT_EQ(RenderStats::Get().drawCalls, 0u);
    EXPECT_EQ(device->GetStateCache().GetDebugHue().step, 45.0f);
    device->Present();
    EXPECT_EQ(device->GetStateCache().GetDebugHue().step, 1.0f);
}

TEST_F(DirectXDeviceTest, WithoutTheDeviceSystemInitFailsQuietly)
{
    DeviceServices services = MakeServices(nullptr, log);
    services.createSystem = [] { return std::shared_ptr<Raster::RasterSystem>(); };
    DirectXDevice quiet(services);
    EXPECT_FALSE(quiet.Init(&window, false));
    EXPECT_FALSE(quiet.IsCreated());
    EXPECT_TRUE(log->messages.empty());
    EXPECT_FALSE(quiet.BeginFrame());
}

} // namespace
} // namespace GraphicsTest
