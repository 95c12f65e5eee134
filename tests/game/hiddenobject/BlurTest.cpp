// The scene blur: the disc kernel and its cache, a hand-computed image, the fast filter against the
// plain per-offset average on random images, refused inputs, the fit operations, and the screen's
// pause and blurer switches.
#include "game/hiddenobject/SceneBlur.h"
#include "tests/game/hiddenobject/ScreenFixture.h"

#include <algorithm>
#include <random>

namespace BoardTest
{
namespace
{

// The filter as written down: every offset of the kernel, in order, for every pixel.
std::vector<uint32_t> referenceBlur(const std::vector<uint32_t>& pixels, int w, int h, int r)
{
    std::vector<std::pair<int, int>> kernel;
    for (int dy = -r; dy < r; ++dy)
        for (int dx = -r; dx < r; ++dx)
            if (dx * dx + dy * dy <= r * r)
                kernel.emplace_back(dx, dy);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
    std::vector<uint32_t> out(pixels.size());
    auto* target = reinterpret_cast<uint8_t*>(out.data());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            uint32_t sum[3] = {0, 0, 0};
            uint32_t n = 0;
            for (auto [dx, dy] : kernel)
            {
                const int px = x + dx, py = y + dy;
                if (px < 0 || px >= w || py < 0 || py >= h)
                    continue;
                for (int c = 0; c < 3; ++c)
                    sum[c] += bytes[(size_t(py) * size_t(w) + size_t(px)) * 4 + size_t(c)];
                ++n;
            }
            uint8_t* pixel = target + (size_t(y) * size_t(w) + size_t(x)) * 4;
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t(sum[c] / n);
            pixel[3] = 255;
        }
    return out;
}

TEST(SceneBlurKernel, SizesAndOrder)
{
    EXPECT_EQ(SceneBlur::GetKernel(2).size(), 11u);
    EXPECT_EQ(SceneBlur::GetKernel(4).size(), 47u);
    const auto& two = SceneBlur::GetKernel(2);
    EXPECT_EQ(two.front(), (std::pair<int, int>{0, -2})) << "dy first, dx from -r to r - 1";
    EXPECT_EQ(two.back(), (std::pair<int, int>{1, 1}));
    for (auto [dx, dy] : two)
    {
        EXPECT_LT(dx, 2);
        EXPECT_LT(dy, 2);
    }
    EXPECT_EQ(SceneBlur::GetKernel(1).size(), 3u);
    EXPECT_TRUE(SceneBlur::GetKernel(0).empty());
    EXPECT_TRUE(SceneBlur::GetKernel(-3).empty());
    EXPECT_EQ(SceneBlur::GetKernel(2).size(), 11u) << "rebuilt after another radius";
}

TEST(SceneBlurFilter, HandComputedFourByThree)
{
    // Channel 0 holds 10 x index, channel 1 a constant, channel 2 the row, alpha varies.
    std::vector<uint32_t> pixels(12);
    for (uint32_t i = 0; i < 12; ++i)
        pixels[i] = (i * 7u) << 24 | (i / 4) << 16 | 100u << 8 | (10 * i);
    ASSERT_TRUE(SceneBlur::Blur(pixels, 4, 3, 2));
    // Top left: the offsets (0,0), (1,0), (0,1), (1,1) lie inside: indices 0, 1, 4, 5.
    EXPECT_EQ(pixels[0] & 0xFF, (0u + 10 + 40 + 50) / 4);
    EXPECT_EQ((pixels[0] >> 8) & 0xFF, 100u);
    EXPECT_EQ((pixels[0] >> 16) & 0xFF, (0u + 0 + 1 + 1) / 4);
    // (1, 1): all offsets with dx in -2..1, dy in -2..1 inside the image and the disc.
    uint32_t sum = 0, n = 0;
    for (int dy = -2; dy < 2; ++dy)
        for (int dx = -2; dx < 2; ++dx)
            if (dx * dx + dy * dy <= 4 && 1 + dx >= 0 && 1 + dx < 4 && 1 + dy >= 0 && 1 + dy < 3)
            {
                sum += 10u * uint32_t((1 + dy) * 4 + 1 + dx);
                ++n;
            }
    EXPECT_EQ(pixels[5] & 0xFF, sum / n);
    for (uint32_t pixel : pixels)
        EXPECT_EQ(pixel >> 24, 255u);
}

TEST(SceneBlurFilter, FastFilterEqualsTheReferenceOnRandomImages)
{
    std::mt19937 random(12345);
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {7, 5}, {17, 13}, {64, 48}, {2, 40}, {40, 1}};
    // With the 256-bit code where the processor has it, and with the 128-bit code alone.
    for (bool wide : {true, false})
    {
        SceneBlur::SetWideVectors(wide);
        for (int radius = 1; radius <= 6; ++radius)
            for (auto [w, h] : sizes)
            {
                std::vector<uint32_t> pixels(size_t(w) * size_t(h));
                for (uint32_t& pixel : pixels)
                    pixel = random();
                const std::vector<uint32_t> expected = referenceBlur(pixels, w, h, radius);
                ASSERT_TRUE(SceneBlur::Blur(pixels, uint32_t(w), uint32_t(h), radius));
                ASSERT_EQ(pixels, expected) << "radius " << radius << ", " << w << " x " << h << (wide ? "" : ", narrow");
            }
    }
    SceneBlur::SetWideVectors(true);
    // The other forms: an image too wide for packed sums, a kernel too large for them, and counts
    // too large for the division by multiplication.
    struct Case
    {
        int w, h, radius;
    };
    for (const Case& c : {Case{9000, 3, 2}, Case{70, 60, SceneBlur::MaxRadius}, Case{90, 85, 40}})
    {
        std::vector<uint32_t> pixels(size_t(c.w) * size_t(c.h));
        for (uint32_t& pixel : pixels)
            pixel = random();
        const std::vector<uint32_t> expected = referenceBlur(pixels, c.w, c.h, c.radius);
        ASSERT_TRUE(SceneBlur::Blur(pixels, uint32_t(c.w), uint32_t(c.h), c.radius));
        ASSERT_EQ(pixels, expected) << "radius " << c.radius << ", " << c.w << " x " << c.h;
    }
}

// The filter between buffers with rows of their own pitch (as between a render target and a
// texture wider than the image) and in place: the reference's bytes, nothing written past a row or
// after the last one.
TEST(SceneBlurFilter, BetweenPitchedBuffersAndInPlace)
{
    std::mt19937 random(777);
    struct Case
    {
        int w, h, radius;
        size_t sourceExtra, targetExtra; // pixels past each row
    };
    const Case cases[] = {{64, 48, 2, 0, 64}, {61, 37, 2, 3, 0}, {33, 20, 4, 31, 7}, {9, 9, 1, 1, 1}, {100, 7, 6, 28, 0}};
    for (const Case& c : cases)
    {
        const size_t sourcePitch = size_t(c.w) + c.sourceExtra, targetPitch = size_t(c.w) + c.targetExtra;
        std::vector<uint32_t> image(size_t(c.w) * size_t(c.h));
        for (uint32_t& pixel : image)
            pixel = random();
        std::vector<uint32_t> source(sourcePitch * size_t(c.h) + 1, 0x12345678u);
        for (int y = 0; y < c.h; ++y)
            std::copy_n(&image[size_t(y) * size_t(c.w)], c.w, &source[size_t(y) * sourcePitch]);
        const std::vector<uint32_t> expected = referenceBlur(image, c.w, c.h, c.radius);
        std::vector<uint32_t> target(targetPitch * size_t(c.h) + 1, 0xDEADBEEFu);
        ASSERT_TRUE(SceneBlur::BlurInto(reinterpret_cast<const uint8_t*>(source.data()), sourcePitch * 4,
                                        reinterpret_cast<uint8_t*>(target.data()), targetPitch * 4, uint32_t(c.w),
                                        uint32_t(c.h), c.radius));
        for (int y = 0; y < c.h; ++y)
        {
            ASSERT_TRUE(std::equal(expected.begin() + y * c.w, expected.begin() + (y + 1) * c.w,
                                   target.begin() + ptrdiff_t(size_t(y) * targetPitch)))
                << c.w << " x " << c.h << " radius " << c.radius << " row " << y;
            for (size_t x = size_t(c.w); x < targetPitch; ++x)
                ASSERT_EQ(target[size_t(y) * targetPitch + x], 0xDEADBEEFu) << "past row " << y;
        }
        EXPECT_EQ(target.back(), 0xDEADBEEFu);
        // In place, with the source's pitch.
        ASSERT_TRUE(SceneBlur::BlurInto(reinterpret_cast<const uint8_t*>(source.data()), sourcePitch * 4,
                                        reinterpret_cast<uint8_t*>(source.data()), sourcePitch * 4, uint32_t(c.w),
                                        uint32_t(c.h), c.radius));
        for (int y = 0; y < c.h; ++y)
            ASSERT_TRUE(std::equal(expected.begin() + y * c.w, expected.begin() + (y + 1) * c.w,
                                   source.begin() + ptrdiff_t(size_t(y) * sourcePitch)))
                << "in place " << c.w << " x " << c.h << " radius " << c.radius << " row " << y;
    }
    uint32_t pixel = 0;
    EXPECT_FALSE(SceneBlur::BlurInto(reinterpret_cast<const uint8_t*>(&pixel), 0, reinterpret_cast<uint8_t*>(&pixel), 4,
                                     1, 1, 2))
        << "a pitch shorter than a row";
    EXPECT_FALSE(SceneBlur::BlurInto(nullptr, 4, reinterpret_cast<uint8_t*>(&pixel), 4, 1, 1, 2));
}

TEST(SceneBlurFilter, RefusedInputsChangeNothing)
{
    std::vector<uint32_t> pixels = {1, 2, 3, 4};
    const std::vector<uint32_t> before = pixels;
    EXPECT_FALSE(SceneBlur::Blur(pixels, 2, 2, 0));
    EXPECT_FALSE(SceneBlur::Blur(pixels, 2, 2, -1));
    EXPECT_FALSE(SceneBlur::Blur(pixels, 2, 2, SceneBlur::MaxRadius + 1));
    EXPECT_FALSE(SceneBlur::Blur(pixels, 0, 2, 2));
    EXPECT_FALSE(SceneBlur::Blur(pixels, 3, 2, 2)) << "buffer of another size";
    EXPECT_EQ(pixels, before);
    std::vector<uint32_t> none;
    EXPECT_FALSE(SceneBlur::Blur(none, 0, 0, 2));
}

using SceneBlurScreen = ScreenFixture;

TEST_F(SceneBlurScreen, FitSkipsInstancesOfSizeZero)
{
    auto* empty = RObjectCast<Instance_Movie>(Instance_Movie::CreateChildFromDefault(root, L"empty").GetInstance());
    ASSERT_NE(empty, nullptr);
    SceneBlur::FitSize(empty, 100.0f, 50.0f);
    EXPECT_EQ(empty->GetScaleX(), 1.0f);
    EXPECT_EQ(empty->GetScaleY(), 1.0f);
    auto* blank = RObjectCast<Instance_Movie>(Instance_Movie::CreateChild(root, L"mov_white_blank", L"blank", nullptr).GetInstance());
    ASSERT_NE(blank, nullptr);
    SceneBlur::FitSize(blank, 64.0f, 32.0f);
    EXPECT_FLOAT_EQ(blank->ComputeWidth(false), 64.0f);
    EXPECT_FLOAT_EQ(blank->ComputeHeight(false), 32.0f);
}

TEST_F(SceneBlurScreen, PauseAndBlurerTable)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    Instance_Image* blur = screen->GetBlurImage();
    ASSERT_NE(blur, nullptr);
    EXPECT_FALSE(blur->visible) << "the board-ready step unpauses";
    EXPECT_FALSE(blur->inputEnabled);
    EXPECT_FLOAT_EQ(blur->ComputeWidth(false), 1024.0f);

    struct Row
    {
        bool blurer;
        bool paused;
        bool imageVisible;
        float opacity;
        bool maskVisible;
    };
    const Row rows[] = {
        {false, true, true, 1.0f, false},
        {false, false, false, 0.75f, false},
        {true, true, true, 1.0f, false},
        {true, false, true, 0.75f, true},
    };
    for (const Row& row : rows)
    {
        SetGlobal("theScreen", screen);
        ASSERT_TRUE(Run(row.blurer ? "theScreen:EnableBlurer(true)" : "theScreen:EnableBlurer(false)"));
        screens->NotifyScreens(L"PAUSE", row.paused ? L"1" : L"0");
        EXPECT_EQ(blur->visible, row.imageVisible) << row.blurer << row.paused;
        EXPECT_FLOAT_EQ(blur->opacity, row.opacity) << row.blurer << row.paused;
        const Instance_Base* mask = screen->GetCursorMask().GetInstance();
        ASSERT_NE(mask, nullptr);
        EXPECT_EQ(mask->visible, row.maskVisible) << row.blurer << row.paused;
    }
    // The blurer's materials.
    ASSERT_TRUE(Run("theScreen:EnableBlurer(true)"));
    EXPECT_EQ(blur->material, 1u | 0x40000u);
    EXPECT_EQ(On<Instance_Base>(screen, L"bg")->material, 1u | 0x20000u);
    ASSERT_TRUE(Run("theScreen:EnableBlurer(false)"));
    EXPECT_EQ(blur->material, 1u);
    EXPECT_EQ(On<Instance_Base>(screen, L"bg")->material, 1u);
    EXPECT_FALSE(screen->HasCaptureTarget()) << "no renderer: nothing is captured";
}

} // namespace
} // namespace BoardTest
