// The engine's own JPEG decoder against libjpeg-turbo (tjDecompress2 to BGRA)
// on 1024x768 photo-like pictures at 4:2:0 and 4:4:4. Prints the ratio of the
// decoder's time to turbo's (goal: at most 1.3), then runs itself again with
// JSIMD_FORCENONE=1, which turbo reads once at its first use, and prints how
// many times faster the decoder is than turbo without SIMD (goal: at least 2).
// Started with JSIMD_FORCENONE=1 it measures only against turbo without SIMD.
// Before the ratios it decodes each picture once with both and compares the
// pixels, so that the times are known to be for the same work.
#include "engine/graphics/textures/FastJpegDecode.h"

#include "FastestRunReporter.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr const char* kChildVariable = "PELLWOOD_JPEG_BENCH_CHILD";

// Smooth gradients and soft shapes with grain, like a photograph.
std::vector<uint8_t> makePhoto()
{
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    uint32_t state = 0x1234567;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
        {
            state = state * 1664525u + 1013904223u;
            const double grain = double((state >> 24) % 17) - 8.0;
            const double fx = double(x) / kWidth, fy = double(y) / kHeight;
            const double sky = fy < 0.45 ? 1.0 : 0.0;
            const double r = 50 + 120 * fx + 40 * std::sin(x * 0.031 + y * 0.017) + 30 * sky;
            const double g = 70 + 90 * fy + 35 * std::cos(x * 0.023) * std::sin(y * 0.041);
            const double b = 90 + 100 * sky + 40 * std::sin((x + y) * 0.011);
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            const double v[3] = {r + grain, g + grain, b + grain};
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, v[c]))));
        }
    return rgb;
}

std::vector<uint8_t> encode(int subsampling)
{
    static const std::vector<uint8_t> photo = makePhoto();
    tjhandle handle = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, photo.data(), kWidth, 0, kHeight, TJPF_RGB, &buffer, &size, subsampling, 90, 0) !=
        0)
    {
        std::fprintf(stderr, "encoding failed: %s\n", tjGetErrorStr2(handle));
        std::exit(1);
    }
    std::vector<uint8_t> jpeg(buffer, buffer + size);
    tjFree(buffer);
    tjDestroy(handle);
    return jpeg;
}

const std::vector<uint8_t>& picture(int subsampling)
{
    static const std::vector<uint8_t> p420 = encode(TJSAMP_420);
    static const std::vector<uint8_t> p444 = encode(TJSAMP_444);
    return subsampling == TJSAMP_420 ? p420 : p444;
}

void ownDecode(benchmark::State& state, int subsampling)
{
    const std::vector<uint8_t>& jpeg = picture(subsampling);
    for (auto _ : state)
    {
        FastJpegState* out = nullptr;
        if (FastJpegDecode(jpeg.data(), jpeg.size(), &out, 0) != eFastJpegSuccess)
        {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(out->pixels[0]);
        FastJpegFree(out);
    }
}

void turboDecode(benchmark::State& state, int subsampling)
{
    const std::vector<uint8_t>& jpeg = picture(subsampling);
    std::vector<uint8_t> bgra(size_t(kWidth) * kHeight * 4);
    tjhandle handle = tjInitDecompress();
    for (auto _ : state)
    {
        if (tjDecompress2(handle, jpeg.data(), jpeg.size(), bgra.data(), kWidth, 0, kHeight, TJPF_BGRA, 0) !=
            0)
        {
            state.SkipWithError("turbo decode failed");
            break;
        }
        benchmark::DoNotOptimize(bgra[0]);
    }
    tjDestroy(handle);
}

// Both decoders on the same picture, once: the times compare the same work
// only when the pixels agree. Colour channels in BGRA order; alpha is not
// compared. The decoders round, and at 4:2:0 upsample chroma, each their own
// way (the engine's evaluates the chroma transform on the doubled grid, turbo
// filters), so single pixels at sharp colour edges may differ by more than a
// few steps; the picture is the same when the error over all of it is small:
// peak signal to noise of at least 40 dB.
bool comparePixels(int subsampling, const char* name)
{
    const std::vector<uint8_t>& jpeg = picture(subsampling);
    FastJpegState* own = nullptr;
    if (FastJpegDecode(jpeg.data(), jpeg.size(), &own, 0) != eFastJpegSuccess || own == nullptr)
    {
        std::printf("%s: the engine's decoder failed; the times compare nothing\n", name);
        return false;
    }
    std::vector<uint8_t> bgra(size_t(kWidth) * kHeight * 4);
    tjhandle handle = tjInitDecompress();
    const bool turboDone =
        tjDecompress2(handle, jpeg.data(), jpeg.size(), bgra.data(), kWidth, 0, kHeight, TJPF_BGRA, 0) == 0;
    tjDestroy(handle);
    if (!turboDone || own->width != uint32_t(kWidth) || own->height != uint32_t(kHeight))
    {
        std::printf("%s: the two decodes do not give the same picture size; the times compare nothing\n", name);
        FastJpegFree(own);
        return false;
    }
    int largest = 0;
    uint64_t total = 0;
    uint64_t squares = 0;
    for (int y = 0; y < kHeight; ++y)
    {
        const uint8_t* mine = own->pixels + size_t(y) * own->rowPitch * 4;
        const uint8_t* theirs = bgra.data() + size_t(y) * kWidth * 4;
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
            {
                const int difference = std::abs(int(mine[x * 4 + c]) - int(theirs[x * 4 + c]));
                largest = std::max(largest, difference);
                total += uint64_t(difference);
                squares += uint64_t(difference * difference);
            }
    }
    FastJpegFree(own);
    constexpr double kSameDecibels = 40.0;
    const double samples = double(kWidth) * kHeight * 3;
    const double mean = double(total) / samples;
    const double squared = double(squares) / samples;
    const double decibels = squared > 0 ? 10.0 * std::log10(255.0 * 255.0 / squared) : 99.0;
    const bool same = decibels >= kSameDecibels;
    std::printf("%s: pixels against turbo's: largest difference %d, mean %.3f per channel, PSNR %.1f dB (%s; "
                "goal >= %.0f dB)\n",
                name, largest, mean, decibels, same ? "same picture" : "NOT the same picture", kSameDecibels);
    return same;
}

// Runs this program again with turbo's SIMD switched off and reads its
// turbo figures back.
std::map<std::string, double> turboWithoutSimd()
{
    std::map<std::string, double> result;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0)
        return result;
    self[n] = 0;
    const std::string command = std::string("JSIMD_FORCENONE=1 ") + kChildVariable + "=1 '" + self +
                                "' --benchmark_filter=turbo --benchmark_color=false 2>/dev/null";
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return result;
    char line[512];
    while (std::fgets(line, sizeof(line), child))
    {
        char name[256];
        double ns = 0;
        const char* at = std::strstr(line, "RESULT ");
        if (at && std::sscanf(at, "RESULT %255s %lf", name, &ns) == 2)
            result[name] = ns;
    }
    pclose(child);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const bool child = std::getenv(kChildVariable) != nullptr;
    benchmark::RegisterBenchmark("own/420", ownDecode, TJSAMP_420)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("turbo/420", turboDecode, TJSAMP_420)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("own/444", ownDecode, TJSAMP_444)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("turbo/444", turboDecode, TJSAMP_444)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    // Repetitions of the decoders alternate, so that a change in the machine's
    // load hits both sides alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    if (child)
    {
        for (const auto& [name, ns] : reporter.nanoseconds)
            std::printf("RESULT %s %.0f\n", name.c_str(), ns);
        return 0;
    }
    const bool simdOff = std::getenv("JSIMD_FORCENONE") != nullptr;
    std::map<std::string, double> noSimd;
    if (!simdOff)
        noSimd = turboWithoutSimd();
    comparePixels(TJSAMP_420, "420");
    comparePixels(TJSAMP_444, "444");
    for (const char* sampling : {"420", "444"})
    {
        const std::string s = sampling;
        const auto own = reporter.nanoseconds.find("own/" + s);
        const auto turbo = reporter.nanoseconds.find("turbo/" + s);
        if (own == reporter.nanoseconds.end() || turbo == reporter.nanoseconds.end())
            continue;
        std::printf("%s: own / turbo%s time = %.2f (goal <= 1.3%s)\n", sampling, simdOff ? " (no SIMD)" : "",
                    own->second / turbo->second, simdOff ? "; without SIMD the goal is <= 0.5" : "");
        const auto plain = noSimd.find("turbo/" + s);
        if (plain != noSimd.end())
            std::printf("%s: turbo without SIMD / own time = %.2f (goal >= 2)\n", sampling,
                        plain->second / own->second);
    }
    return 0;
}
