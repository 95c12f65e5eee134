// The engine's wide formatter against glibc's swprintf, and its UTF-8 and Windows-1252 conversions
// against iconv, on the same inputs in the same run. Each pair prints ours / anchor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cwchar>
#include <iconv.h>
#include <map>
#include <string>
#include <vector>

#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"

using namespace TarnEngine;

namespace
{

// A log-line-like format: text, integers, a float, hex.
const std::wstring kName = L"images\\items\\item_042.png";

void FormatOurs(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
    {
        std::wstring s = StringPrintf(L"Loaded %s: %dx%d, %.2f ms, flags %08X, %d of %d", kName, 512, 256,
                                      3.25 + i, 0xBEEFu + unsigned(i), i, 1000);
        benchmark::DoNotOptimize(s.data());
        ++i;
    }
}

void FormatSwprintf(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
    {
        wchar_t buffer[1024];
        const int n = std::swprintf(buffer, 1024, L"Loaded %ls: %dx%d, %.2f ms, flags %08X, %d of %d",
                                    kName.c_str(), 512, 256, 3.25 + i, 0xBEEFu + unsigned(i), i, 1000);
        std::wstring s(buffer, size_t(n));
        benchmark::DoNotOptimize(s.data());
        ++i;
    }
}

// Integers only: the common case of numbered names and counters.
void IntegersOurs(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
    {
        std::wstring s = StringPrintf(L"%d,%d,%d,%u", i, -i, i * 7, unsigned(i) * 13u);
        benchmark::DoNotOptimize(s.data());
        ++i;
    }
}

void IntegersSwprintf(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
    {
        wchar_t buffer[1024];
        const int n = std::swprintf(buffer, 1024, L"%d,%d,%d,%u", i, -i, i * 7, unsigned(i) * 13u);
        std::wstring s(buffer, size_t(n));
        benchmark::DoNotOptimize(s.data());
        ++i;
    }
}

// Mostly ASCII with accents, CJK and astral characters, as translated texts are.
const std::string& utf8Text()
{
    static const std::string text = []
    {
        std::string s;
        while (s.size() < 64 * 1024)
            s += "The caf\xC3\xA9 on the hill \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 holds 42 items; ";
        return s;
    }();
    return text;
}

const std::string& cp1252Text()
{
    static const std::string text = []
    {
        std::string s;
        while (s.size() < 64 * 1024)
            s += "Caf\xE9 cr\xE8me br\xFBl\xE9\x65 \x80 12 \x93quoted\x94 \x85 na\xEFve ";
        return s;
    }();
    return text;
}

// Converts with iconv into a growing buffer (the anchor does the same work: a complete result).
template <class Out> Out convertIconv(iconv_t cd, const std::string& in)
{
    Out out;
    out.resize(in.size() * 4 / sizeof(typename Out::value_type) + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = reinterpret_cast<char*>(out.data());
    size_t dstLeft = out.size() * sizeof(typename Out::value_type);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.resize(out.size() - dstLeft / sizeof(typename Out::value_type));
    return out;
}

void Utf8ToWideOurs(benchmark::State& state)
{
    const std::string& text = utf8Text();
    for (auto _ : state)
    {
        std::wstring w = Utf8ToWString(text);
        benchmark::DoNotOptimize(w.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void Utf8ToWideIconv(benchmark::State& state)
{
    const std::string& text = utf8Text();
    iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
    for (auto _ : state)
    {
        std::wstring w = convertIconv<std::wstring>(cd, text);
        benchmark::DoNotOptimize(w.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void WideToUtf8Ours(benchmark::State& state)
{
    const std::wstring wide = Utf8ToWString(utf8Text());
    for (auto _ : state)
    {
        std::string s = WStringToUtf8(wide);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(utf8Text().size()));
}

void WideToUtf8Iconv(benchmark::State& state)
{
    const std::wstring wide = Utf8ToWString(utf8Text());
    const std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    iconv_t cd = iconv_open("UTF-8", "WCHAR_T");
    for (auto _ : state)
    {
        std::string s = convertIconv<std::string>(cd, bytes);
        benchmark::DoNotOptimize(s.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(utf8Text().size()));
}

void AnsiToWideOurs(benchmark::State& state)
{
    const std::string& text = cp1252Text();
    for (auto _ : state)
    {
        std::wstring w = AnsiToWString(std::string_view(text));
        benchmark::DoNotOptimize(w.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void AnsiToWideIconv(benchmark::State& state)
{
    const std::string& text = cp1252Text();
    iconv_t cd = iconv_open("WCHAR_T", "CP1252");
    for (auto _ : state)
    {
        std::wstring w = convertIconv<std::wstring>(cd, text);
        benchmark::DoNotOptimize(w.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void WideToAnsiOurs(benchmark::State& state)
{
    const std::wstring wide = AnsiToWString(std::string_view(cp1252Text()));
    for (auto _ : state)
    {
        std::string s = WStringToAnsi(wide);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(cp1252Text().size()));
}

void WideToAnsiIconv(benchmark::State& state)
{
    const std::wstring wide = AnsiToWString(std::string_view(cp1252Text()));
    const std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    iconv_t cd = iconv_open("CP1252", "WCHAR_T");
    for (auto _ : state)
    {
        std::string s = convertIconv<std::string>(cd, bytes);
        benchmark::DoNotOptimize(s.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(cp1252Text().size()));
}

// Medians of several runs: the machine is shared, single runs wander.
#define PAIR(ours, anchor)                                                                                   \
    BENCHMARK(anchor)->Repetitions(5)->ReportAggregatesOnly();                                               \
    BENCHMARK(ours)->Repetitions(5)->ReportAggregatesOnly();

PAIR(FormatOurs, FormatSwprintf)
PAIR(IntegersOurs, IntegersSwprintf)
PAIR(Utf8ToWideOurs, Utf8ToWideIconv)
PAIR(WideToUtf8Ours, WideToUtf8Iconv)
PAIR(AnsiToWideOurs, AnsiToWideIconv)
PAIR(WideToAnsiOurs, WideToAnsiIconv)

// Collects the median time per iteration of each benchmark so that main can print the ratios.
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
    const struct
    {
        const char* ours;
        const char* anchor;
        const char* label;
    } pairs[] = {
        {"FormatOurs", "FormatSwprintf", "StringPrintf / swprintf, mixed line"},
        {"IntegersOurs", "IntegersSwprintf", "StringPrintf / swprintf, integers"},
        {"Utf8ToWideOurs", "Utf8ToWideIconv", "UTF-8 to wide / iconv"},
        {"WideToUtf8Ours", "WideToUtf8Iconv", "wide to UTF-8 / iconv"},
        {"AnsiToWideOurs", "AnsiToWideIconv", "Windows-1252 to wide / iconv"},
        {"WideToAnsiOurs", "WideToAnsiIconv", "wide to Windows-1252 / iconv"},
    };
    for (const auto& p : pairs)
    {
        const auto ours = reporter.seconds.find(p.ours);
        const auto anchor = reporter.seconds.find(p.anchor);
        if (ours != reporter.seconds.end() && anchor != reporter.seconds.end() && anchor->second > 0)
            std::printf("%-40s %.2fx (goal <= 1.0x)\n", p.label, ours->second / anchor->second);
    }
    benchmark::Shutdown();
    return 0;
}
