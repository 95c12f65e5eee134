// Set-up shared by the text renderer, system-font and bitmap-text tests: a
// renderer on the software device (it makes the text renderer), an engine
// file system over a temporary folder whose "fonts" folder holds DejaVu
// Sans, and readers of text blocks out of device textures.
#pragma once

#include "GraphicsFixture.h"

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/graphics/text/TextRenderer.h"
#include "tests/graphics/font_fixture.h"

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace GraphicsTest
{

class TextRenderFixture : public DeviceFixture
{
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        root = std::filesystem::temp_directory_path() /
               ("textrender_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "fonts");
        std::filesystem::copy_file(std::string(font_fixture::kDejaVuFolder) + "DejaVuSans.ttf",
                                   root / "fonts" / "DejaVuSans.ttf");
        files = std::make_unique<FileSystem>();
        ASSERT_TRUE(
            files->AddSource(std::make_unique<FSLooseFiles>(FromOsPath(root.string() + "/"), L"Test")));
        start({TestAdapter(1)});
    }

    void TearDown() override
    {
        renderer.reset();
        files.reset();
        std::filesystem::remove_all(root);
        DeviceFixture::TearDown();
    }

    void start(std::vector<Raster::AdapterInfo> adapters)
    {
        renderer.reset();
        renderer = std::make_unique<Renderer>();
        ASSERT_TRUE(MakeDevice(std::move(adapters)));
        ASSERT_TRUE(renderer->Init(std::move(device), &window));
        ASSERT_NE(renderer->GetTextRenderer(), nullptr);
    }

    IGIL& gil() { return *renderer->GetDevice(); }

    // A device reset: every loaded texture is given up and made again.
    void resetDevice()
    {
        gil().SetLost(true);
        EXPECT_FALSE(gil().BeginFrame());
        EXPECT_FALSE(gil().IsLost());
    }

    // The texels (ARGB words) of the box at the bottom left of a texture,
    // rows from the bottom of the box; empty when it cannot be read.
    static std::vector<uint32_t> boxTexels(IResourceTexture& texture, uint32_t width, uint32_t height)
    {
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture.Lock(&bits, &pitch, true))
            return {};
        std::vector<uint32_t> out;
        for (uint32_t y = 0; y < height; ++y)
        {
            const auto* row =
                reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(bits) + int64_t(y) * pitch);
            out.insert(out.end(), row, row + width);
        }
        texture.Unlock();
        return out;
    }

    std::filesystem::path root;
    std::unique_ptr<FileSystem> files;
    std::unique_ptr<Renderer> renderer;
};

} // namespace GraphicsTest
