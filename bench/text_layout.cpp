// Laying out and drawing a 60-word paragraph into a text block (wrapping at
// soft breaks, kerning, colour codes, gamma, compositing), against its
// anchor: FreeType alone loading and rasterising the same glyphs in a bare
// loop, which is the least any outline text drawing must do. The ratio shows
// what layout and drawing cost on top of FreeType. A third case asks a
// FreeType font on the software device for a block it has drawn already:
// the rendered-text cache should make that nearly free.
//
// A fourth case is a memory target: ten minutes at 60 frames a second (36000 frames) of a text
// that changes every frame in a large box (a timer beside a typewriter line), each frame rendered
// as a new text block, drawn and presented, as the display tree does. Dropped blocks stay with the
// renderer's texture keeper for a while; its anchor is the resident memory after the first ten
// seconds, which the run may not outgrow, and the keeper's limit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
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
#include "engine/graphics/device/Renderer.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/text/TextLayout.h"
#include "engine/graphics/text/TextTexture.h"
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

Engine& engineOnce()
{
    static Engine engine;
    return engine;
}

void CachedRedraw(benchmark::State& state)
{
    Engine& engine = engineOnce();
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

// Resident memory of the process in megabytes.
double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

constexpr int64_t kChangingFrames = 36000; // ten minutes at 60 frames a second
constexpr int64_t kSettledFrames = 600;    // ten seconds

void ChangingText(benchmark::State& state)
{
    Engine& engine = engineOnce();
    IGIL* device = engine.renderer.GetDevice();
    if (!engine.ready || device == nullptr)
    {
        state.SkipWithError("no device");
        return;
    }
    const FontDesc desc(L"DejaVu Sans", 28, false, false);
    const std::wstring line =
        L"The ferry leaves at dawn; bring a lantern, a map of the northern shore and the "
        L"small brass key that opens the chest in the old boathouse.";
    int64_t frame = 0;
    double settled = 0, peak = 0, keeperPeak = 0;
    for (auto _ : state)
    {
        // A timer in hundredths of a second and a typewriter line, one more letter every frame.
        const int64_t hundredths = frame * 100 / 60;
        wchar_t timer[48];
        std::swprintf(timer, 48, L"%02lld:%02lld.%02lld\n", (long long)(hundredths / 6000),
                      (long long)(hundredths / 100 % 60), (long long)(hundredths % 100));
        const std::wstring text = timer + line.substr(0, size_t(frame % int64_t(line.size() + 1)));
        const TextRenderParams params(text, 800, 200, eTextFormatWordBreak, 0, 0);
        if (!device->BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        engine.renderer.SetInFrame(true);
        {
            TextTexture block = TextTexture::Build(desc, params);
            engine.renderer.DrawQuad(
                {eMaterialAlpha, block.texture, false}, Renderer::MakeRectMatrix(100, 280, 800, 200),
                SpriteRect{block.leftU, block.topV, block.rightU, block.bottomV}, 0xFFFFFFFF, true);
        }
        engine.renderer.Flush();
        device->EndFrame();
        engine.renderer.Present();
        engine.renderer.SetInFrame(false);
        ++frame;
        if (frame % kSettledFrames == 0)
        {
            const double resident = residentMegabytes();
            if (frame == kSettledFrames)
                settled = resident;
            peak = std::max(peak, resident);
            keeperPeak = std::max(keeperPeak, double(engine.renderer.GetTextureKeeper()->GetHeldBytes()) /
                                                  (1024.0 * 1024.0));
        }
    }
    state.counters["keeper_MB_peak"] = keeperPeak;
    state.counters["resident_MB_10s"] = settled;
    state.counters["resident_MB_peak"] = peak;
    state.counters["resident_MB_end"] = residentMegabytes();
}

// Medians of several runs: the machine is shared, single runs wander.
BENCHMARK(FreeTypeAlone)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(LayoutAndRender)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(CachedRedraw)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(ChangingText)->Unit(benchmark::kMillisecond)->Iterations(kChangingFrames);

// How much a changing-text run grew after its first ten seconds.
double growth(const std::map<std::string, double>& counters)
{
    const auto settled = counters.find("resident_MB_10s");
    const auto peak = counters.find("resident_MB_peak");
    return settled == counters.end() || peak == counters.end() || settled->second <= 0
               ? 0.0
               : peak->second / settled->second;
}

// Collects the time per iteration of each run so that main can print ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;  // per iteration, in the unit of the benchmark (us)
    std::map<std::string, double> changing; // the counters of the worst changing-text run
    int changingRuns = 0;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            if (run.aggregate_name == "median")
                seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
            // Only real runs: with repetitions asked for, the aggregate rows (mean, median,
            // spread) carry their own counters, a spread near 0 MB among them.
            if (run.run_name.function_name == "ChangingText" && !run.error_occurred &&
                run.run_type == Run::RT_Iteration)
            {
                ++changingRuns;
                std::map<std::string, double> counters;
                for (const auto& [name, counter] : run.counters)
                    counters[name] = counter.value;
                if (changing.empty() || growth(counters) > growth(changing))
                    changing = counters;
            }
        }
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
    const auto& changing = reporter.changing;
    if (changing.count("resident_MB_10s") && changing.count("keeper_MB_peak"))
        std::printf(
            "Changing text, %lld frames (the run that grew most of %d): keeper peak %.1f MB / limit %.0f MB = "
            "%.3f (goal <= 1); resident %.1f MB after 10 s, peak %.1f MB, end %.1f MB; peak / 10 s = %.3f "
            "(goal <= 1.05)\n",
            (long long)kChangingFrames, reporter.changingRuns, changing.at("keeper_MB_peak"),
            double(Renderer::KeepBytes) / (1024.0 * 1024.0),
            changing.at("keeper_MB_peak") / (double(Renderer::KeepBytes) / (1024.0 * 1024.0)),
            changing.at("resident_MB_10s"), changing.at("resident_MB_peak"), changing.at("resident_MB_end"),
            changing.at("resident_MB_peak") / changing.at("resident_MB_10s"));
    benchmark::Shutdown();
    return 0;
}
