// Loading a large definitions-style XML file into the engine's XmlNode tree,
// against its anchor: TinyXML parsing the same bytes into its own tree alone,
// set up as the loader sets it up. The ratio shows what the conversion to
// XmlNode (including throwing TinyXML's tree away) costs on top of the
// parser. Freeing the finished trees is outside the timing on both sides.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <malloc.h>
#include <tinyxml.h>

#include "engine/core/xml/XmlDocumentCache.h"

namespace
{

// Loads per repetition. Every tree is kept until the repetition ends, as the
// document cache keeps what it loads: each load then meets the heap that the
// loads before it left, as at start-up.
const int kLoads = 10;

// After the timed loop: the kept trees are freed and the heap trimmed, so that
// every repetition starts from the same tidy heap on both sides.
template <typename Tree> void dropTrees(std::vector<std::unique_ptr<Tree>>& trees)
{
    trees.clear();
    malloc_trim(0);
}

// Libraries of definitions: many elements with a handful of attributes,
// some nested, some with text, as the content files are written.
const std::string& definitionsText()
{
    static const std::string text = []
    {
        std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Library name=\"Main\">\n";
        char line[512];
        for (int i = 0; i < 4000; ++i)
        {
            std::snprintf(
                line, sizeof line,
                "  <Sprite name=\"spr_item_%d\" image=\"images\\items\\item_%d.png\" pos=\"%d,%d\" "
                "size=\"%d,%d\" visible=\"true\" alpha=\"0.75\" layer=\"%d\">\n"
                "    <Animation name=\"idle\" frames=\"%d\" fps=\"12.5\" loop=\"yes\"/>\n"
                "    <Text font=\"Arial\" size=\"14\">Caf\xC3\xA9 item number %d &amp; more</Text>\n"
                "    <Hint>|T|HINT_%d</Hint>\n"
                "  </Sprite>\n",
                i, i, i % 1024, i % 768, 32 + i % 64, 32 + i % 48, i % 8, 1 + i % 24, i, i);
            s += line;
        }
        s += "</Library>\n";
        return s;
    }();
    return text;
}

void TinyXmlAlone(benchmark::State& state)
{
    const std::string& text = definitionsText();
    std::vector<std::unique_ptr<TiXmlDocument>> kept;
    kept.reserve(kLoads);
    for (auto _ : state)
    {
        auto document = std::make_unique<TiXmlDocument>();
        // The loader does not track rows and columns either.
        document->SetTabSize(0);
        {
            // A file's bytes carry no terminator, which TinyXML needs: like
            // the loader, the anchor parses a terminated copy of them.
            std::string bytes(text.data(), text.size());
            document->Parse(bytes.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
        }
        benchmark::DoNotOptimize(document->RootElement());
        kept.push_back(std::move(document));
    }
    dropTrees(kept);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void XmlNodeLoad(benchmark::State& state)
{
    const std::string& text = definitionsText();
    std::vector<std::unique_ptr<TarnEngine::XmlNode>> kept;
    kept.reserve(kLoads);
    for (auto _ : state)
    {
        auto root =
            TarnEngine::ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
        benchmark::DoNotOptimize(root.get());
        kept.push_back(std::move(root));
    }
    dropTrees(kept);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// Medians of several runs: the machine is shared, single runs wander.
BENCHMARK(TinyXmlAlone)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kLoads)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(XmlNodeLoad)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kLoads)
    ->Repetitions(7)
    ->ReportAggregatesOnly();

// Collects the time per iteration of each run so that main can print the ratio.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                seconds[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    // The two runs alternate, so that a change of machine load hits both.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto anchor = reporter.seconds.find("TinyXmlAlone");
    auto ours = reporter.seconds.find("XmlNodeLoad");
    if (anchor != reporter.seconds.end() && ours != reporter.seconds.end() && anchor->second > 0)
        std::printf("XmlNode load / TinyXML parse alone: %.2fx (goal <= 1.5x) on %zu bytes\n",
                    ours->second / anchor->second, definitionsText().size());
    benchmark::Shutdown();
    return 0;
}
