// Loading a definition library: 500 movies of 100 frames with 20 instance entries each, read from
// its bytes into XmlNode and turned into definitions (the parsed tree is dropped afterwards, as the
// library loader does), against its anchor: TinyXML parsing the same bytes alone. The XmlNode parse
// alone is timed as well, to show the share of the XML layer. Freeing the definitions and the
// anchor's tree is outside the timing, and the heap is given back after each run, so that every
// load starts from a fresh heap as at start-up. After the runs the heap is measured around one
// load: the peak while loading and what the definitions keep, per key entry.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <malloc.h>
#include <tinyxml.h>

#include "bench/FastestRunReporter.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Movie.h"

// Every allocation of the process is counted, so that one load's peak can be read.
namespace
{
std::atomic<size_t> g_current{0};
std::atomic<size_t> g_peak{0};

void* counted(size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    const size_t now = g_current += malloc_usable_size(block);
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now))
    {
    }
    return block;
}

void uncounted(void* block)
{
    if (!block)
        return;
    g_current -= malloc_usable_size(block);
    std::free(block);
}
} // namespace

void* operator new(size_t size)
{
    return counted(size);
}
void* operator new[](size_t size)
{
    return counted(size);
}
void operator delete(void* block) noexcept
{
    uncounted(block);
}
void operator delete[](void* block) noexcept
{
    uncounted(block);
}
void operator delete(void* block, size_t) noexcept
{
    uncounted(block);
}
void operator delete[](void* block, size_t) noexcept
{
    uncounted(block);
}

namespace
{

constexpr int kMovies = 500;
constexpr int kEntries = 20;
constexpr int kFrames = 100;
// Each entry's frames come in runs of this many, as exporters write held and tweened stretches.
constexpr int kRun = 10;
constexpr size_t kKeys = size_t(kMovies) * kEntries * kFrames;

const std::string& libraryText()
{
    static const std::string text = []
    {
        std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Definitions>\n";
        char line[512];
        for (int i = 0; i < 50; ++i)
        {
            std::snprintf(line, sizeof line,
                          "  <Definition type=\"image\" name=\"img_%d\" src=\"images\\items\\item_%d.png\" "
                          "bi=\"128 128 %d %d %d %d 4 4\"/>\n",
                          i, i, 100 + i % 20, 90 + i % 30, i * 3, i * 5);
            s += line;
        }
        for (int m = 0; m < kMovies; ++m)
        {
            std::snprintf(line, sizeof line, "  <Definition type=\"movie\" name=\"movie_%d\" length=\"%d\" fps=\"30\">\n",
                          m, kFrames);
            s += line;
            s += "    <Label name=\"intro\" frame=\"0\"/>\n    <Label name=\"loop\" frame=\"50\"/>\n";
            s += "    <Event frame=\"49\" type=\"gotoLabelAndPlay\" targetframe=\"intro\"/>\n";
            s += "    <Event frame=\"99\" type=\"stop\"/>\n";
            for (int e = 0; e < kEntries; ++e)
            {
                if (e % 5 == 4)
                    std::snprintf(line, sizeof line,
                                  "    <Instance type=\"text\" instancename=\"text_%d\" text=\"Line %d.  More text\" "
                                  "face=\"Sans\" size=\"14\" color=\"0xFF203040\" align=\"center\" width=\"200\" "
                                  "height=\"40\" depth=\"%d\" create=\"0\" death=\"%d\" regx=\"0\" regy=\"0\">\n",
                                  e, m, e, kFrames);
                else
                    std::snprintf(line, sizeof line,
                                  "    <Instance type=\"library\" instancename=\"part_%d\" definition=\"img_%d\" "
                                  "depth=\"%d\" create=\"0\" death=\"%d\" regx=\"%d.5\" regy=\"%d.25\">\n",
                                  e, (m + e) % 50, e, kFrames, e, e);
                s += line;
                for (int f = 0; f < kFrames / kRun; ++f)
                {
                    const float angle = 0.1f * float(f + e);
                    std::snprintf(line, sizeof line,
                                  "      <Frame length=\"%d\" transform=\"%.6f,%.6f,%.6f,%.6f,%.2f,%.2f\" "
                                  "alpha=\"%d\" isTween=\"%d\"/>\n",
                                  kRun, 0.9f * std::cos(angle), 0.9f * std::sin(angle), -0.9f * std::sin(angle),
                                  0.9f * std::cos(angle), 12.5f * float(f), 300.0f - 7.25f * float(e), 100 - f,
                                  f % 2);
                    s += line;
                }
                s += "    </Instance>\n";
            }
            s += "  </Definition>\n";
        }
        s += "</Definitions>\n";
        return s;
    }();
    return text;
}

void TinyXmlAlone(benchmark::State& state)
{
    const std::string& text = libraryText();
    for (auto _ : state)
    {
        auto document = std::make_unique<TiXmlDocument>();
        document->SetTabSize(0);
        {
            std::string bytes(text.data(), text.size());
            document->Parse(bytes.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
        }
        benchmark::DoNotOptimize(document->RootElement());
        state.PauseTiming();
        document.reset();
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// What the library loader does with one file: parse, build the definitions, drop the tree.
bool loadLibrary(TarnEngine::DefinitionMap& map)
{
    const std::string& text = libraryText();
    std::unique_ptr<TarnEngine::XmlNode> root =
        TarnEngine::ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
    uint32_t added = 0, appended = 0;
    const bool loaded = root && TarnEngine::LoadDefinitionFile(*root, map, added, appended);
    root.reset();
    return loaded;
}

void DefinitionLoad(benchmark::State& state)
{
    for (auto _ : state)
    {
        auto map = std::make_unique<TarnEngine::DefinitionMap>();
        if (!loadLibrary(*map))
            state.SkipWithError("the library does not load");
        state.PauseTiming();
        map.reset();
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(libraryText().size()));
}

// The share of the engine's XML layer: the same bytes into an XmlNode tree alone.
void XmlNodeParse(benchmark::State& state)
{
    const std::string& text = libraryText();
    for (auto _ : state)
    {
        std::unique_ptr<TarnEngine::XmlNode> root =
            TarnEngine::ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
        state.PauseTiming();
        root.reset();
        malloc_trim(0);
        state.ResumeTiming();
    }
}
BENCHMARK(XmlNodeParse)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(TinyXmlAlone)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(DefinitionLoad)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto anchor = reporter.nanoseconds.find("TinyXmlAlone");
    const auto ours = reporter.nanoseconds.find("DefinitionLoad");
    const auto parse = reporter.nanoseconds.find("XmlNodeParse");
    if (anchor != reporter.nanoseconds.end() && ours != reporter.nanoseconds.end() && anchor->second > 0)
        std::printf("definition library load / TinyXML parse alone: %.2fx (goal <= 2x) on %zu bytes, %zu keys\n",
                    ours->second / anchor->second, libraryText().size(), kKeys);
    if (anchor != reporter.nanoseconds.end() && parse != reporter.nanoseconds.end() && anchor->second > 0)
        std::printf("  of which the XmlNode parse alone: %.2fx\n", parse->second / anchor->second);

    malloc_trim(0);
    const size_t base = g_current.load();
    g_peak = base;
    auto map = std::make_unique<TarnEngine::DefinitionMap>();
    if (loadLibrary(*map))
        std::printf("heap per key entry: %.1f bytes at the peak of the load, %.1f bytes kept by the definitions "
                    "(a key entry itself is %zu bytes)\n",
                    double(g_peak.load() - base) / double(kKeys), double(g_current.load() - base) / double(kKeys),
                    sizeof(TarnEngine::KeyEntry));
    benchmark::Shutdown();
    return 0;
}
