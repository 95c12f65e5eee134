// Reading every member of a large ZIP pack through FSCompressedSource, deflated and stored, against
// the same reads done directly with zlib (positioned reads of each local header and member, one raw
// inflate, the CRC-32 check). Both run in this process on the same pack; the ratio is printed
// (goal: no slower than the anchor, ratio <= 1.0 within noise).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>
#include <zlib.h>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/text/TextConversion.h"
#include "tests/core/FileTestSupport.h"

using namespace TarnEngine;

namespace
{

constexpr int kMembers = 400;
constexpr size_t kMemberSize = 128 * 1024;

// Text-like bytes that deflate to about a third.
std::string memberData(std::mt19937& random)
{
    static const char* words[] = {"the ", "forest ", "lantern ", "hidden ", "object ", "<node ", "id=\"",
                                  "\" ",  "/>\n",    "scene ",   "key ",    "0x1F ",   "path\\", "sprite "};
    std::string out;
    while (out.size() < kMemberSize)
    {
        out += words[random() % 14];
        if (random() % 7 == 0)
            out += char('a' + random() % 26);
    }
    out.resize(kMemberSize);
    return out;
}

struct Pack
{
    FileTest::TempFolder folder;
    std::vector<std::wstring> names;
    uint64_t bytes = 0;
};

Pack& pack(uint16_t method)
{
    static std::map<uint16_t, std::unique_ptr<Pack>> packs;
    std::unique_ptr<Pack>& p = packs[method];
    if (!p)
    {
        p = std::make_unique<Pack>();
        std::mt19937 random(2024);
        std::vector<FileTest::ZipMember> members;
        for (int i = 0; i < kMembers; ++i)
        {
            const std::string name = "Scenes/Level" + std::to_string(i) + "/scene.xml";
            members.emplace_back(name, memberData(random), method);
            p->names.push_back(Utf8ToWString(name));
            p->bytes += kMemberSize;
        }
        p->folder.Write("large.dat", FileTest::BuildZip(members));
    }
    return *p;
}

void ownRead(benchmark::State& state, uint16_t method)
{
    Pack& p = pack(method);
    FSCompressedSource source(p.folder.Engine("large.dat"), L"Bench");
    if (!source.Mount())
    {
        state.SkipWithError("pack did not mount");
        return;
    }
    for (auto _ : state)
    {
        for (const std::wstring& name : p.names)
        {
            RefPtr<StreamSourceCounted> member = source.OpenFile(name);
            if (!member)
            {
                state.SkipWithError("member did not open");
                return;
            }
            benchmark::DoNotOptimize(member.Get());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.bytes));
}

uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Entry
{
    uint16_t method;
    uint32_t crc, compressed, uncompressed, offset;
};

void zlibRead(benchmark::State& state, uint16_t method)
{
    Pack& p = pack(method);
    const int fd = open(p.folder.Os("large.dat").c_str(), O_RDONLY);
    const off_t size = lseek(fd, 0, SEEK_END);
    uint8_t end[22];
    if (fd < 0 || pread(fd, end, 22, size - 22) != 22)
    {
        state.SkipWithError("pack did not open");
        return;
    }
    std::vector<uint8_t> directory(size_t(size - 22 - le32(end + 16)));
    if (pread(fd, directory.data(), directory.size(), le32(end + 16)) != ssize_t(directory.size()))
        state.SkipWithError("directory did not read");
    std::vector<Entry> entries;
    for (size_t at = 0; at + 46 <= directory.size();)
    {
        const uint8_t* h = directory.data() + at;
        entries.push_back({le16(h + 10), le32(h + 16), le32(h + 20), le32(h + 24), le32(h + 42)});
        at += 46 + le16(h + 28) + le16(h + 30) + le16(h + 32);
    }
    for (auto _ : state)
    {
        for (const Entry& e : entries)
        {
            uint8_t local[30];
            if (pread(fd, local, 30, e.offset) != 30)
                state.SkipWithError("local header did not read");
            const off_t data = off_t(e.offset) + 30 + le16(local + 26) + le16(local + 28);
            std::unique_ptr<uint8_t[]> out(new uint8_t[e.uncompressed]);
            if (e.method == 0)
            {
                if (pread(fd, out.get(), e.uncompressed, data) != ssize_t(e.uncompressed))
                    state.SkipWithError("member did not read");
            }
            else
            {
                std::unique_ptr<uint8_t[]> in(new uint8_t[e.compressed]);
                if (pread(fd, in.get(), e.compressed, data) != ssize_t(e.compressed))
                    state.SkipWithError("member did not read");
                z_stream zs{};
                inflateInit2(&zs, -MAX_WBITS);
                zs.next_in = in.get();
                zs.avail_in = e.compressed;
                zs.next_out = out.get();
                zs.avail_out = e.uncompressed;
                const int result = inflate(&zs, Z_FINISH);
                inflateEnd(&zs);
                if (result != Z_STREAM_END)
                {
                    state.SkipWithError("inflate failed");
                    break;
                }
            }
            if (crc32(0, out.get(), e.uncompressed) != e.crc)
            {
                state.SkipWithError("bad CRC");
                break;
            }
            benchmark::DoNotOptimize(out.get());
        }
    }
    close(fd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.bytes));
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> nanoseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the median stands for the benchmark; otherwise its one run.
        for (const Run& run : runs)
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
                nanoseconds[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("pack/deflated", ownRead, uint16_t(8))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("zlib/deflated", zlibRead, uint16_t(8))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("pack/stored", ownRead, uint16_t(0))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("zlib/stored", zlibRead, uint16_t(0))->Unit(benchmark::kMillisecond);
    // The machine is shared: repeat, interleaved, and compare medians unless told otherwise.
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=7";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    if (argc == 1)
        args.insert(args.end(), {repetitions, interleave, aggregates});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* kind : {"deflated", "stored"})
    {
        const auto own = reporter.nanoseconds.find(std::string("pack/") + kind);
        const auto anchor = reporter.nanoseconds.find(std::string("zlib/") + kind);
        if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
            std::printf("%s: pack / zlib time = %.2f (goal <= 1.0)\n", kind, own->second / anchor->second);
    }
    return 0;
}
