// Laying out and drawing a 60-word paragraph into a text block (wrapping at
// soft breaks, kerning, colour codes, gamma, compositing), against its
// anchor: FreeType alone loading and rasterising the same glyphs in a bare
// loop, which is the least any outline text drawing must do. The ratio shows
// what layout and drawing cost on top of FreeType. A third case asks a
// FreeType font on the software device for a block it has drawn already:
// the rendered-text cache should make that nearly free.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/graphics/text/TextLayout.h"
#include "platform/raster/RasterPresenter.h"
#include "platform/raster/RasterSystem.h"

#include <filesystem>
#include <unistd.h>

namespace
{

using namespace TarnEngine;

constexpr int32_t kSize = 18;
constexpr uint32_t kWidth = 512;
constexpr uint32_t kHeight = 256;

const std::wstring kParagraph =
    L"The ferry to ^FFCC00Pellwood^FFFFFF leaves at dawn, and the keeper of the lighthouse has asked "
    L"every traveller to bring a lantern, a map of the northern shore and the small brass key that "
    L"opens the chest in the old boathouse. Nobody has seen the keeper since the storm, but the light "
    L"still turns each night above the rocks, steady and patient, as if waiting for someone.";

struct Font
{
    Font()
    {
        std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (FT_Init_FreeType(&library) != 0 ||
            FT_New_Memory_Face(library, bytes.data(), FT_Long(bytes.size()), 0, &face) != 0)
            face = nullptr;
    }
    ~Font()
    {
        if (library)
            FT_Done_FreeType(library);
    }
    std::vector<uint8_t> bytes;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

Font& font()
{
    static Font instance;
    return instance;
}

FontRenderOptions options()
{
    FontRenderOptions o;
    o.loadFlags = FontRenderOptions::eNoBitmap;
    o.gamma = 1.1;
    o.heightMultiplier = 1.07;
    o.offsetLeftAlign = {2, -3};
    o.offsetCenterAlign = {0, -3};
    o.offsetRightAlign = {-3, -3};
    return o;
}

void FreeTypeAlone(benchmark::State& state)
{
    FT_Face face = font().face;
    if (face == nullptr)
    {
        state.SkipWithError("fonts-dejavu-core is needed");
        return;
    }
    const std::wstring glyphs = RemoveColorCodes(kParagraph);
    for (auto _ : state)
    {
        FT_Set_Char_Size(face, kSize * 64, kSize * 64, 72, 72);
        for (wchar_t c : glyphs)
        {
            if (c == L' ')
                continue;
            if (FT_Load_Glyph(face, FT_Get_Char_Index(face, FT_ULong(c)), FT_LOAD_NO_BITMAP) == 0)
                FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
    }
}

void LayoutAndRender(benchmark::State& state)
{
    FT_Face face = font().face;
    if (face == nullptr)
    {
        state.SkipWithError("fonts-dejavu-core is needed");
        return;
    }
    std::vector<uint8_t> block(size_t(kWidth) * kHeight * 4);
    TextPixels pixels{block.data(), int32_t(kWidth * 4), kWidth, kHeight};
    const TextRenderParams params(kParagraph, kWidth, kHeight, eTextFormatWordBreak | eTextFormatCenter, 0,
                                  0);
    const FontRenderOptions fontOptions = options();
    for (auto _ : state)
    {
        RenderTextBlock(face, kSize, fontOptions, 1.1, params, pixels);
        benchmark::DoNotOptimize(block.data());
    }
}

// A window that shows frames nowhere, on one monitor.
struct NoWindow : IRenderWindow
{
    SDL_Window* GetSdlWindow() override { return nullptr; }
    uintptr_t GetMonitor() override { return 1; }
    bool GetMonitorRect(uintptr_t, DeviceRect& rect) override
    {
        rect = {0, 0, 1920, 1080};
        return true;
    }
    bool GetWindowRect(DeviceRect& rect) override
    {
        rect = {0, 0, 1024, 768};
        return true;
    }
    void SetClientSize(uint32_t, uint32_t, bool) override {}
    void Invalidate() override {}
};

// What a font needs of the engine: the file system over a "fonts" folder
// with DejaVu Sans, the font manager, and a renderer on the software device.
struct Engine
{
    Engine()
    {
        namespace fs = std::filesystem;
        root = fs::temp_directory_path() / ("bench_text_layout_" + std::to_string(getpid()));
        fs::create_directories(root / "fonts");
        fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", root / "fonts" / "DejaVuSans.ttf",
                      fs::copy_options::overwrite_existing);
        files.AddSource(std::make_unique<FSLooseFiles>(FromOsPath(root.string() + "/"), L"Bench"));
        manager = std::make_unique<FontManager>();

        Raster::AdapterInfo adapter;
        adapter.monitor = 1;
        adapter.desktop = {1920, 1080, 60, Raster::Format::X8R8G8B8};
        adapter.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        Raster::SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        auto system = std::make_shared<Raster::RasterSystem>(options);
        DeviceServices services;
        services.createSystem = [system] { return system; };
        services.logicalScreenSize = [](uint32_t& w, uint32_t& h)
        {
            w = 1024;
            h = 768;
        };
        auto device = std::make_unique<DirectXDevice>(services);
        ready = device->Init(&window, false) && renderer.Init(std::move(device), &window);
    }
    ~Engine() { std::filesystem::remove_all(root); }

    std::filesystem::path root;
    FileSystem files;
    std::unique_ptr<FontManager> manager;
    NoWindow window;
    Renderer renderer;
    bool ready = false;
};

void CachedRedraw(benchmark::State& state)
{
    static Engine engine;
    const FontDesc desc(L"DejaVu Sans", kSize, false, false);
    FreeTypeFont font(desc);
    if (!engine.ready || !font.IsValid())
    {
        state.SkipWithError("no device or no face");
        return;
    }
    const TextRenderParams params(kParagraph, kWidth, kHeight, eTextFormatWordBreak | eTextFormatCenter, 0,
                                  0);
    TextTexture first;
    font.RenderText(first, desc, params);
    uint32_t width = 0;
    first.texture->GetTextureSize(&width, nullptr); // drawn once here
    for (auto _ : state)
    {
        TextTexture out;
        font.RenderText(out, desc, params);
        benchmark::DoNotOptimize(out.texture.Get());
    }
}

// Medians of several runs: the machine is shared, single runs wander.
BENCHMARK(FreeTypeAlone)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(LayoutAndRender)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(CachedRedraw)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

// Collects the time per iteration of each run so that main can print ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds; // per iteration, in the unit of the benchmark (us)

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Repetitions of the cases interleaved, so that load from other work on
    // the machine falls on both sides of the ratio alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto anchor = reporter.seconds.find("FreeTypeAlone");
    const auto ours = reporter.seconds.find("LayoutAndRender");
    if (anchor != reporter.seconds.end() && ours != reporter.seconds.end() && anchor->second > 0)
        std::printf("Layout and render / FreeType load and render alone: %.2fx (goal <= 1.5x)\n",
                    ours->second / anchor->second);
    const auto cached = reporter.seconds.find("CachedRedraw");
    if (anchor != reporter.seconds.end() && cached != reporter.seconds.end() && anchor->second > 0)
        std::printf("Cached re-draw / FreeType load and render alone: %.6fx, %.3f us (near free)\n",
                    cached->second / anchor->second, cached->second);
    benchmark::Shutdown();
    return 0;
}
