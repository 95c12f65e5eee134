// The scene capture on the software device: the paused look renders the board into a render target
// the size of "blur_rt.png", blurs it into the image, and a device lost and re-created renews it.
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/Renderer.h"
#include "game/hiddenobject/SceneBlur.h"
#include "platform/raster/RasterSystem.h"
#include "tests/game/hiddenobject/ScreenFixture.h"

namespace BoardTest
{
namespace
{

class BlurCapture : public ScreenFixture
{
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        Raster::AdapterInfo adapter;
        adapter.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        Raster::SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        auto system = std::make_shared<Raster::RasterSystem>(options);
        DeviceServices services;
        services.createSystem = [system] { return system; };
        services.sleep = [](uint32_t) {};
        services.showMessage = [](const std::wstring&, const std::wstring&) {};
        services.fatalExit = [](const std::wstring&, const std::wstring&) {};
        auto device = std::make_unique<DirectXDevice>(services);
        ASSERT_TRUE(device->Init(nullptr, false));
        dx = device.get();
        renderer = std::make_unique<Renderer>();
        ASSERT_TRUE(renderer->Init(std::move(device), nullptr));
        renderer->SetInstanceServices(MakeInstanceServices());
        // The capture image as the game has it: a texture of the device, half transparent.
        for (const auto& definition : ui->GetDefinitionMap()->GetDefinitions().at(L"blur_rt.png"))
            if (auto* image = dynamic_cast<Definition_Image*>(definition.get()))
            {
                image->texture = renderer->CreateDynamicTexture(&fill);
                ASSERT_TRUE(image->texture);
            }
    }
    void TearDown() override
    {
        // The screens go before the device they listen to.
        screens.reset();
        ui.reset();
        renderer.reset();
        ScreenFixture::TearDown();
    }

    // The blur image's pixels; all of them opaque after a capture.
    std::vector<uint32_t> Pixels(HOScreen* screen)
    {
        uint32_t w = 0, h = 0;
        return screen->GetBlurImage()->ReadPixels(w, h);
    }
    static bool AllOpaque(const std::vector<uint32_t>& pixels)
    {
        return !pixels.empty() &&
               std::all_of(pixels.begin(), pixels.end(), [](uint32_t pixel) { return (pixel >> 24) == 0xFF; });
    }

    struct HalfTransparent : Recreater
    {
        bool Recreate(IResourceTexture* texture) override
        {
            if (!texture->Allocate({64, 48}))
                return false;
            void* bits = nullptr;
            int32_t pitch = 0;
            if (!texture->Lock(&bits, &pitch, false))
                return false;
            for (uint32_t y = 0; y < 48; ++y)
                for (uint32_t x = 0; x < 64; ++x)
                    static_cast<uint32_t*>(bits)[size_t(y) * size_t(pitch / 4) + x] = 0x80402010u;
            texture->Unlock();
            return true;
        }
    };

    DirectXDevice* dx = nullptr;
    std::unique_ptr<Renderer> renderer;
    HalfTransparent fill;
};

TEST_F(BlurCapture, PausingCapturesAndADeviceReCreationRecaptures)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_FALSE(AllOpaque(Pixels(screen))) << "the picture's own alpha is 128";
    EXPECT_FALSE(screen->HasCaptureTarget());
    screens->NotifyScreens(L"PAUSE", L"1");
    EXPECT_TRUE(screen->HasCaptureTarget());
    EXPECT_TRUE(AllOpaque(Pixels(screen)));
    EXPECT_FLOAT_EQ(screen->GetBlurImage()->ComputeWidth(false), 1024.0f);
    EXPECT_FLOAT_EQ(screen->GetBlurImage()->ComputeHeight(false), 768.0f);
    screens->NotifyScreens(L"PAUSE", L"0");

    // The device loses its resources: the image's content is gone too.
    std::vector<uint32_t> cleared(Pixels(screen).size(), 0u);
    ASSERT_TRUE(screen->GetBlurImage()->UploadPixels(cleared.data(), 64, 48));
    ASSERT_FALSE(AllOpaque(Pixels(screen)));
    dx->SetLost(true);
    for (int i = 0; i < 3 && !AllOpaque(Pixels(screen)); ++i)
        dx->BeginFrame();
    EXPECT_TRUE(AllOpaque(Pixels(screen))) << "renewed after the re-creation";
}

TEST_F(BlurCapture, BlurerOnCapturesEveryFrame)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(Run("theScreen:EnableBlurer(true)"));
    Step(1);
    EXPECT_TRUE(AllOpaque(Pixels(screen)));
    std::vector<uint32_t> cleared(Pixels(screen).size(), 0u);
    ASSERT_TRUE(screen->GetBlurImage()->UploadPixels(cleared.data(), 64, 48));
    Step(1);
    EXPECT_TRUE(AllOpaque(Pixels(screen)));
    // Off: no more captures.
    ASSERT_TRUE(Run("theScreen:EnableBlurer(false)"));
    ASSERT_TRUE(screen->GetBlurImage()->UploadPixels(cleared.data(), 64, 48));
    Step(1);
    EXPECT_FALSE(AllOpaque(Pixels(screen)));
}

TEST_F(BlurCapture, RefusedInputsDoNothing)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    Instance_Image* image = screen->GetBlurImage();
    const std::vector<uint32_t> before = Pixels(screen);
    RefPtr<IRenderTarget> target;
    const InstanceHandle board = screen->GetBoard()->handle;
    EXPECT_FALSE(SceneBlur::Capture(board, image, target, 0));
    EXPECT_FALSE(SceneBlur::Capture(board, nullptr, target, 2));
    EXPECT_FALSE(target) << "nothing made for a refused radius or image";
    EXPECT_FALSE(SceneBlur::Capture(InstanceHandle(), image, target, 2)) << "no board";
    // A render that fails (the device is lost) leaves the image as it was.
    dx->SetLost(true);
    EXPECT_FALSE(SceneBlur::Capture(board, image, target, 2));
    EXPECT_EQ(Pixels(screen), before);
}

} // namespace
} // namespace BoardTest
