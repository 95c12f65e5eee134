// The scene capture on the software device: the paused look renders the board into a render target
// the size of "blur_rt.png", blurs it into the image, and a device lost and re-created renews it.
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/Renderer.h"
#include "game/hiddenobject/SceneBlur.h"
#include "platform/raster/RasterSystem.h"
#include "tests/game/hiddenobject/ScreenFixture.h"

#include <algorithm>
#include <cstring>
#include <functional>

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

// The image holds the target's content blurred, and the texel row just past the image in its
// texture (which bilinear sampling at the image's bottom edge reaches) holds the target's row there,
// as a copy of the whole target into the texture leaves it.
TEST_F(BlurCapture, TheImageIsTheBlurredTargetAndItsEdgeRowTheTargets)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    Instance_Image* image = screen->GetBlurImage();
    // Something on the board with edges to blur: the half-transparent picture, 4 x 3 pixels in the
    // capture.
    auto* board = RObjectCast<Instance_Movie>(screen->GetBoard()->handle.GetInstance());
    ASSERT_NE(board, nullptr);
    Instance_Base* picture = Instance_Movie::CreateChild(board, L"blur_rt.png", L"picture", nullptr).GetInstance();
    ASSERT_NE(picture, nullptr);
    picture->SetPosition(300.0f, 200.0f);
    RefPtr<IRenderTarget> target;
    ASSERT_TRUE(SceneBlur::Capture(screen->GetBoard()->handle, image, target, 2));
    ASSERT_TRUE(target);
    uint32_t targetWidth = 0, targetHeight = 0;
    target->GetTextureSize(&targetWidth, &targetHeight);
    ASSERT_GT(targetHeight, 48u);
    void* bits = nullptr;
    int32_t pitch = 0;
    ASSERT_TRUE(target->Lock(&bits, &pitch, true));
    std::vector<uint32_t> rendered(64 * 48), edge(64);
    for (uint32_t y = 0; y < 48; ++y)
        std::memcpy(&rendered[y * 64], static_cast<const uint8_t*>(bits) + size_t(y) * size_t(pitch), 64 * 4);
    std::memcpy(edge.data(), static_cast<const uint8_t*>(bits) + 48 * size_t(pitch), 64 * 4);
    target->Unlock();
    ASSERT_NE(std::adjacent_find(rendered.begin(), rendered.end(), std::not_equal_to<>()), rendered.end())
        << "the board draws something to blur";
    std::vector<uint32_t> expected = rendered;
    ASSERT_TRUE(SceneBlur::Blur(expected, 64, 48, 2));
    EXPECT_EQ(Pixels(screen), expected);
    ASSERT_TRUE(image->texture->Lock(&bits, &pitch, true));
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(bits) + 48 * size_t(pitch));
    EXPECT_TRUE(std::equal(edge.begin(), edge.end(), row));
    image->texture->Unlock();
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
