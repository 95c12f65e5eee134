// Shared set-up of the graphics device tests: a raster system over a list of test adapters with
// null presenters, a render window that records what the device asks of it, device services that
// record messages, fatal exits and pauses instead of showing, ending or sleeping, a recreater that
// fills textures from a function, and reference pictures in tests/data/graphics.
#pragma once

#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/DynamicBuffers.h"
#include "engine/graphics/device/RenderTarget.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/graphics/textures/ResourceTextureD3D.h"

#include "platform/raster/RasterDevice.h"
#include "platform/raster/RasterSystem.h"
#include "tests/platform/RasterImages.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace GraphicsTest
{

using namespace TarnEngine;

struct FakeWindow : IRenderWindow
{
    SDL_Window* GetSdlWindow() override { return nullptr; }
    uintptr_t GetMonitor() override { return monitor; }
    bool GetMonitorRect(uintptr_t which, DeviceRect& rect) override
    {
        for (const auto& [handle, r] : monitors)
            if (handle == which)
            {
                rect = r;
                return true;
            }
        return false;
    }
    bool GetWindowRect(DeviceRect& rect) override
    {
        rect = windowRect;
        return true;
    }
    void SetClientSize(uint32_t width, uint32_t height, bool) override
    {
        clientWidth = width;
        clientHeight = height;
    }
    void Invalidate() override { ++invalidations; }

    uintptr_t monitor = 1;
    std::vector<std::pair<uintptr_t, DeviceRect>> monitors{{1, {0, 0, 1920, 1080}}};
    DeviceRect windowRect{100, 100, 260, 220};
    uint32_t clientWidth = 0;
    uint32_t clientHeight = 0;
    int invalidations = 0;
};

struct ServiceLog
{
    std::vector<std::wstring> messages;
    std::vector<std::wstring> fatals;
    std::vector<uint32_t> sleeps;
    bool desktopLocked = false;
    uint32_t logicalWidth = 160;
    uint32_t logicalHeight = 120;
};

inline Raster::AdapterInfo TestAdapter(uint8_t id, uintptr_t monitor = 1, uint32_t desktopWidth = 1280,
                                       uint32_t desktopHeight = 1024)
{
    Raster::AdapterInfo info;
    info.identifier.deviceIdentifier[0] = id;
    info.identifier.deviceId = id;
    info.monitor = monitor;
    info.desktop = {desktopWidth, desktopHeight, 60, Raster::Format::X8R8G8B8};
    info.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
    return info;
}

inline std::shared_ptr<Raster::RasterSystem> MakeSystem(std::vector<Raster::AdapterInfo> adapters)
{
    Raster::SystemOptions options;
    options.adapters = std::move(adapters);
    options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
    return std::make_shared<Raster::RasterSystem>(options);
}

inline DeviceServices MakeServices(std::shared_ptr<Raster::RasterSystem> system,
                                   std::shared_ptr<ServiceLog> log)
{
    DeviceServices s;
    s.createSystem = [system] { return system; };
    s.showMessage = [log](const std::wstring&, const std::wstring& text) { log->messages.push_back(text); };
    s.fatalExit = [log](const std::wstring&, const std::wstring& text) { log->fatals.push_back(text); };
    s.sleep = [log](uint32_t ms) { log->sleeps.push_back(ms); };
    s.isDesktopLocked = [log] { return log->desktopLocked; };
    s.logicalScreenSize = [log](uint32_t& w, uint32_t& h)
    {
        w = log->logicalWidth;
        h = log->logicalHeight;
    };
    return s;
}

// Fills a texture of the given size from a texel function (ARGB words).
struct FunctionRecreater : Recreater
{
    bool Recreate(IResourceTexture* texture) override
    {
        ++calls;
        if (fail)
            return false;
        if (!texture->Allocate(size))
            return false;
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture->Lock(&bits, &pitch, false))
            return false;
        for (uint32_t y = 0; y < size.height; ++y)
            for (uint32_t x = 0; x < size.width; ++x)
                static_cast<uint32_t*>(bits)[size_t(y) * (pitch / 4) + x] = texel(x, y);
        texture->Unlock();
        return true;
    }

    ImageSize size{16, 16};
    std::function<uint32_t(uint32_t, uint32_t)> texel = [](uint32_t, uint32_t) { return 0xFFFFFFFFu; };
    bool fail = false;
    int calls = 0;
};

using RasterTest::Picture;

// Empty when the picture equals tests/data/graphics/NAME.png; with PELLWOOD_WRITE_GRAPHICS_REFERENCES=1
// the picture is written as the new reference instead. Named apart from the raster tests' own, which
// argument-dependent lookup finds through Picture.
inline std::string CompareWithGraphicsReference(const std::string& name, const Picture& picture)
{
    return RasterTest::CompareWithReferenceIn("graphics", "PELLWOOD_WRITE_GRAPHICS_REFERENCES", name,
                                              picture);
}

class DeviceFixture : public ::testing::Test
{
protected:
    void SetUp() override { RenderStats::Get() = RenderStats{}; }
    void TearDown() override { RenderStats::Get() = RenderStats{}; }

    // A device over the adapters; false when Init failed.
    bool MakeDevice(std::vector<Raster::AdapterInfo> adapters = {TestAdapter(1)}, bool fullScreen = false)
    {
        system = MakeSystem(std::move(adapters));
        device = std::make_unique<DirectXDevice>(MakeServices(system, log));
        return device->Init(&window, fullScreen);
    }

    Raster::RasterControl& Control() { return *system->Control(); }
    uint64_t Count(Raster::Call call) { return Control().Count(call); }

    // The frame last shown by the device's presenter.
    Picture Shown()
    {
        auto& presenter = dynamic_cast<Raster::NullPresenter&>(device->GetRasterDevice()->Presenter());
        return {presenter.Width(), presenter.Height(), presenter.LastFrame()};
    }

    // The pixel of the device's current render target.
    uint32_t Pixel(uint32_t x, uint32_t y)
    {
        std::shared_ptr<Raster::RasterSurface> target;
        device->GetRasterDevice()->GetRenderTarget(0, target);
        return target->Pixels()[size_t(y) * target->Width() + x];
    }

    std::shared_ptr<ServiceLog> log = std::make_shared<ServiceLog>();
    FakeWindow window;
    std::shared_ptr<Raster::RasterSystem> system;
    std::unique_ptr<DirectXDevice> device;
};

} // namespace GraphicsTest
