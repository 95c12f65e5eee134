// Laying out and drawing a 60-word paragraph into a text block (wrapping at
// soft breaks, kerning, colour codes, gamma, compositing), against its
// anchor: FreeType alone loading and rasterising the same glyphs in a bare
// loop, which is the least any outline text drawing must do. The ratio shows
// what layout and drawing cost on top of FreeType.
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

#include "engine/graphics/TextLayout.h"

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

// Medians of several runs: the machine is shared, single runs wander.
BENCHMARK(FreeTypeAlone)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(LayoutAndRender)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();

// Collects the time per iteration of each run so that main can print ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;

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
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto anchor = reporter.seconds.find("FreeTypeAlone");
    const auto ours = reporter.seconds.find("LayoutAndRender");
    if (anchor != reporter.seconds.end() && ours != reporter.seconds.end() && anchor->second > 0)
        std::printf("Layout and render / FreeType load and render alone: %.2fx (goal <= 1.5x)\n",
                    ours->second / anchor->second);
    benchmark::Shutdown();
    return 0;
}
