// Checks the engine's own JPEG decoder against libjpeg-turbo on pictures
// encoded in the test with libjpeg, and its handling of refused, damaged and
// truncated files.
#include "engine/graphics/textures/FastJpegDecode.h"
#include "engine/graphics/textures/FastJpegKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <turbojpeg.h>

using namespace TarnEngine;

namespace
{

using Bytes = std::vector<uint8_t>;

struct PictureDeleter
{
    void operator()(FastJpegState* s) const { FastJpegFree(s); }
};
using Picture = std::unique_ptr<FastJpegState, PictureDeleter>;

// A photo-like picture: smooth colour gradients and shapes, with grain in
// the brightness only (as a camera shows it).
Bytes makePicture(int w, int h, uint32_t seed)
{
    Bytes rgb(size_t(w) * h * 3);
    uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            state = state * 1664525u + 1013904223u;
            const int grain = int((state >> 24) % 13) - 6;
            const double fx = double(x) / w, fy = double(y) / h;
            const double disc = (fx - 0.6) * (fx - 0.6) + (fy - 0.4) * (fy - 0.4) < 0.05 ? 40.0 : 0.0;
            const double r = 60 + 150 * fx + 20 * std::sin(y * 0.2) + disc;
            const double g = 40 + 120 * fy + 30 * std::cos(x * 0.15);
            const double b = 200 - 120 * fx * fy - disc;
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            const double v[3] = {r, g, b};
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, v[c] + grain))));
        }
    return rgb;
}

// Grey with colour that cancels out within every 16 x 16 area: the chroma
// blocks have a zero DC coefficient but non-zero AC ones.
Bytes makeBalancedColour(int w, int h, uint32_t)
{
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const int s = int(std::lround(30 * std::sin(2 * 3.14159265358979 * (x + 0.5) / 16)));
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = uint8_t(128 + s);
            p[1] = 128;
            p[2] = uint8_t(128 - s);
        }
    return rgb;
}

struct EncodeOptions
{
    int components = 3; // 1 grey, 3 colour, 4 CMYK
    int lumaH = 1;      // sampling factors of the first component
    int lumaV = 1;
    int quality = 90;
    int restartMcus = 0;
    bool progressive = false;
    // How a colour picture is coded and said to be: RGB instead of YCbCr, and
    // the JFIF and Adobe segments and component identifiers forced when set.
    bool rgb = false;
    int jfif = -1;
    int adobe = -1;
    const char* ids = nullptr;
};

Bytes encode(const Bytes& rgb, int w, int h, const EncodeOptions& o)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = o.components;
    c.in_color_space = o.components == 1 ? JCS_GRAYSCALE : o.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, o.quality, TRUE);
    if (o.rgb)
        jpeg_set_colorspace(&c, JCS_RGB); // as cjpeg -rgb: identifiers 'R', 'G', 'B' and Adobe flag 0
    for (int i = 0; i < c.num_components; ++i)
    {
        c.comp_info[i].h_samp_factor = i == 0 ? o.lumaH : 1;
        c.comp_info[i].v_samp_factor = i == 0 ? o.lumaV : 1;
        if (o.ids)
            c.comp_info[i].component_id = uint8_t(o.ids[i]);
    }
    if (o.jfif >= 0)
        c.write_JFIF_header = boolean(o.jfif);
    if (o.adobe >= 0)
        c.write_Adobe_marker = boolean(o.adobe);
    c.restart_interval = o.restartMcus;
    if (o.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(w) * o.components);
    while (c.next_scanline < c.image_height)
    {
        const uint8_t* src = &rgb[size_t(c.next_scanline) * w * 3];
        for (int x = 0; x < w; ++x)
        {
            const uint8_t* p = src + 3 * x;
            if (o.components == 1)
                row[x] = uint8_t((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8);
            else
                for (int k = 0; k < o.components; ++k)
                    row[size_t(x) * o.components + k] = k < 3 ? p[k] : 255 - p[0];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// libjpeg-turbo's decode as blue, green, red, unused; width * 4 bytes a row.
Bytes referenceDecode(const Bytes& jpeg, int w, int h)
{
    Bytes out(size_t(w) * h * 4);
    tjhandle handle = tjInitDecompress();
    EXPECT_EQ(0, tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), w, 0, h, TJPF_BGRX, 0));
    tjDestroy(handle);
    return out;
}

Picture decode(const Bytes& jpeg, uint8_t* status = nullptr, uint32_t maxSide = kFastJpegMaxSide)
{
    FastJpegState* s = reinterpret_cast<FastJpegState*>(uintptr_t(1));
    const uint8_t st = FastJpegDecode(jpeg.data(), jpeg.size(), &s, 0, maxSide);
    if (status)
        *status = st;
    if (st != eFastJpegSuccess)
    {
        EXPECT_EQ(nullptr, s) << "a failed decode leaves no picture";
        return Picture(nullptr);
    }
    return Picture(s);
}

uint8_t statusOf(const Bytes& jpeg, uint32_t maxSide = kFastJpegMaxSide)
{
    uint8_t st = 0xEE;
    decode(jpeg, &st, maxSide);
    return st;
}

struct Comparison
{
    int maxDiff = 0;
    double psnr = 0;
};

Comparison compare(const FastJpegState& pic, const Bytes& ref)
{
    Comparison result;
    double sq = 0;
    for (uint32_t y = 0; y < pic.height; ++y)
        for (uint32_t x = 0; x < pic.width; ++x)
            for (int c = 0; c < 3; ++c)
            {
                const int a = pic.pixels[(size_t(y) * pic.rowPitch + x) * 4 + c];
                const int b = ref[(size_t(y) * pic.width + x) * 4 + c];
                const int d = std::abs(a - b);
                result.maxDiff = std::max(result.maxDiff, d);
                sq += double(d) * d;
            }
    const double mse = sq / (double(pic.width) * pic.height * 3);
    result.psnr = mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
    return result;
}

// Offset of the first segment with this marker, walking the headers from SOI
// up to and including the scan header.
size_t findSegment(const Bytes& jpeg, uint8_t marker)
{
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF)
    {
        if (jpeg[pos + 1] == marker)
            return pos;
        if (jpeg[pos + 1] == 0xDA)
            break;
        pos += 2 + ((size_t(jpeg[pos + 2]) << 8) | jpeg[pos + 3]);
    }
    ADD_FAILURE() << "marker " << int(marker) << " not found";
    return 0;
}

size_t segmentEnd(const Bytes& jpeg, size_t at)
{
    return at + 2 + ((size_t(jpeg[at + 2]) << 8) | jpeg[at + 3]);
}

// First byte of the entropy-coded data.
size_t scanData(const Bytes& jpeg)
{
    return segmentEnd(jpeg, findSegment(jpeg, 0xDA));
}

struct Case
{
    const char* name;
    int width;
    int height;
    EncodeOptions options;
    uint32_t mcuWidth;
    uint32_t mcuHeight;
    Bytes (*picture)(int, int, uint32_t) = makePicture;
};

EncodeOptions colour(int h, int v, int restart = 0, int quality = 90)
{
    EncodeOptions o;
    o.lumaH = h;
    o.lumaV = v;
    o.restartMcus = restart;
    o.quality = quality;
    return o;
}

EncodeOptions grey(int h = 1, int v = 1, int restart = 0)
{
    EncodeOptions o = colour(h, v, restart);
    o.components = 1;
    return o;
}

const Case kCases[] = {
    {"444_1x1", 1, 1, colour(1, 1), 8, 8},
    {"444_17x9", 17, 9, colour(1, 1), 8, 8},
    {"444_33x65", 33, 65, colour(1, 1), 8, 8},
    {"444_q100", 40, 24, colour(1, 1, 0, 100), 8, 8},
    {"444_q20", 40, 24, colour(1, 1, 0, 20), 8, 8},
    {"444_restart1", 64, 40, colour(1, 1, 1), 8, 8},
    {"422_17x9", 17, 9, colour(2, 1), 16, 8},
    {"422_33x65", 33, 65, colour(2, 1), 16, 8},
    {"440_33x65", 33, 65, colour(1, 2), 8, 16},
    {"420_1x1", 1, 1, colour(2, 2), 16, 16},
    {"420_17x17", 17, 17, colour(2, 2), 16, 16},
    {"420_33x65", 33, 65, colour(2, 2), 16, 16},
    {"420_restart3", 100, 70, colour(2, 2, 3), 16, 16},
    {"420_q100", 48, 48, colour(2, 2, 0, 100), 16, 16},
    {"420_chroma_dc_zero", 48, 32, colour(2, 2), 16, 16, makeBalancedColour},
    {"422_chroma_dc_zero", 48, 32, colour(2, 1), 16, 8, makeBalancedColour},
    {"grey_1x1", 1, 1, grey(), 8, 8},
    {"grey_17x9", 17, 9, grey(), 8, 8},
    {"grey_33x65_restart2", 33, 65, grey(1, 1, 2), 8, 8},
    // A one-component scan is not interleaved, whatever its sampling factors.
    {"grey_sampled2x2", 33, 20, grey(2, 2), 8, 8},
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class FastJpegDecodeCases : public ::testing::TestWithParam<Case>
{
};

TEST_P(FastJpegDecodeCases, MatchesLibjpegTurbo)
{
    const Case& c = GetParam();
    const Bytes jpeg = encode(c.picture(c.width, c.height, 7), c.width, c.height, c.options);
    const Picture pic = decode(jpeg);
    ASSERT_TRUE(pic);
    EXPECT_EQ(uint32_t(c.width), pic->width);
    EXPECT_EQ(uint32_t(c.height), pic->height);
    EXPECT_EQ(32u, pic->bitsPerPixel);
    EXPECT_EQ((c.width + c.mcuWidth - 1) / c.mcuWidth * c.mcuWidth, pic->rowPitch);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(pic->pixels) % 16);

    const Comparison cmp = compare(*pic, referenceDecode(jpeg, c.width, c.height));
    const bool subsampled = c.options.components == 3 && (c.options.lumaH > 1 || c.options.lumaV > 1);
    if (subsampled)
        EXPECT_GE(cmp.psnr, 40.0) << "largest difference " << cmp.maxDiff;
    else
        EXPECT_LE(cmp.maxDiff, 2);

    if (c.options.components == 1)
    {
        for (uint32_t y = 0; y < pic->height; ++y)
            for (uint32_t x = 0; x < pic->width; ++x)
            {
                const uint8_t* p = pic->pixels + (size_t(y) * pic->rowPitch + x) * 4;
                ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && p[2] == p[3]) << x << "," << y;
            }
    }
}

TEST_P(FastJpegDecodeCases, PortableKernelsMatchVectorKernels)
{
    const Case& c = GetParam();
    const Bytes jpeg = encode(c.picture(c.width, c.height, 3), c.width, c.height, c.options);
    const Picture fast = decode(jpeg);
    FastJpegForceScalarKernels(true);
    const Picture portable = decode(jpeg);
    FastJpegForceScalarKernels(false);
    ASSERT_TRUE(fast && portable);
    ASSERT_EQ(fast->rowPitch, portable->rowPitch);
    const uint32_t rows = (fast->height + c.mcuHeight - 1) / c.mcuHeight * c.mcuHeight;
    EXPECT_EQ(0, std::memcmp(fast->pixels, portable->pixels, size_t(fast->rowPitch) * rows * 4));
}

INSTANTIATE_TEST_SUITE_P(Pictures, FastJpegDecodeCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info)
                         { return std::string(info.param.name); });

TEST(FastJpegDecode, TwoThreadsDecodeAtOnce)
{
    const Bytes a = encode(makePicture(96, 80, 1), 96, 80, colour(2, 2, 2));
    const Bytes b = encode(makePicture(70, 50, 2), 70, 50, colour(1, 1));
    const Picture refA = decode(a);
    const Picture refB = decode(b);
    ASSERT_TRUE(refA && refB);
    auto worker = [](const Bytes* jpeg, const FastJpegState* ref, int* mismatches)
    {
        for (int i = 0; i < 40; ++i)
        {
            FastJpegState* s = nullptr;
            if (FastJpegDecode(jpeg->data(), jpeg->size(), &s, 0) != eFastJpegSuccess ||
                std::memcmp(s->pixels, ref->pixels, size_t(ref->rowPitch) * ref->height * 4) != 0)
                ++*mismatches;
            FastJpegFree(s);
        }
    };
    int mismatchesA = 0, mismatchesB = 0;
    std::thread ta(worker, &a, refA.get(), &mismatchesA);
    std::thread tb(worker, &b, refB.get(), &mismatchesB);
    ta.join();
    tb.join();
    EXPECT_EQ(0, mismatchesA);
    EXPECT_EQ(0, mismatchesB);
}

TEST(FastJpegDecode, LayoutsOutsideTheKernelsAreRefused)
{
    const Bytes rgb = makePicture(32, 16, 5);
    EncodeOptions progressive = colour(2, 2);
    progressive.progressive = true;
    EncodeOptions cmyk = colour(1, 1);
    cmyk.components = 4;
    const struct
    {
        const char* name;
        EncodeOptions options;
    } cases[] = {
        {"progressive", progressive},
        {"411", colour(4, 1)},
        {"410", colour(4, 2)},
        {"cmyk", cmyk},
    };
    for (const auto& c : cases)
        EXPECT_EQ(eFastJpegBadData, statusOf(encode(rgb, 32, 16, c.options))) << c.name;
}

// libjpeg's colour space of a file, as its decoder decides it from the headers.
J_COLOR_SPACE libjpegColourSpace(const Bytes& jpeg)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    const J_COLOR_SPACE space = d.jpeg_color_space;
    jpeg_destroy_decompress(&d);
    return space;
}

TEST(FastJpegDecode, RgbCodedPicturesAreRefusedAsLibjpegReadsThem)
{
    const Bytes rgb = makePicture(24, 16, 8);
    struct Signal
    {
        const char* name;
        bool rgb;
        int jfif;
        int adobe;
        const char* ids;
        bool codedAsRgb;
    } cases[] = {
        {"JFIF, identifiers 1 2 3", false, 1, 0, nullptr, false},
        {"as cjpeg -rgb writes it", true, -1, -1, nullptr, true},
        {"identifiers R G B alone", true, 0, 0, nullptr, true},
        {"Adobe flag 0, identifiers 1 2 3", true, 0, 1, "\1\2\3", true},
        {"JFIF before identifiers R G B", true, 1, 0, nullptr, false},
        {"JFIF before Adobe flag 0", true, 1, 1, nullptr, false},
        {"Adobe flag 1 before identifiers R G B", false, 0, 1, "RGB", false},
        {"no segment, identifiers 1 2 3", false, 0, 0, nullptr, false},
        {"no segment, other identifiers", false, 0, 0, "rgb", false},
    };
    for (const Signal& c : cases)
    {
        EncodeOptions o = colour(2, 2);
        o.rgb = c.rgb;
        o.jfif = c.jfif;
        o.adobe = c.adobe;
        o.ids = c.ids;
        const Bytes jpeg = encode(rgb, 24, 16, o);
        ASSERT_EQ(libjpegColourSpace(jpeg) == JCS_RGB, c.codedAsRgb) << c.name;
        EXPECT_EQ(statusOf(jpeg), c.codedAsRgb ? eFastJpegBadData : eFastJpegSuccess) << c.name;
    }

    // One component is grey whatever an Adobe segment says.
    EncodeOptions greyAdobe = grey();
    greyAdobe.adobe = 1;
    EXPECT_EQ(statusOf(encode(rgb, 24, 16, greyAdobe)), eFastJpegSuccess);
}

// Each case changes a valid 4:2:0 file with restart intervals of 2 MCUs.
struct Damage
{
    const char* name;
    void (*apply)(Bytes&);
    uint8_t status;
};

void setSofByte(Bytes& j, size_t offset, uint8_t v)
{
    j[findSegment(j, 0xC0) + 4 + offset] = v;
}

const Damage kDamages[] = {
    {"not_soi_first", [](Bytes& j) { j[1] = 0xD9; }, eFastJpegBadData},
    {"sof_lossless", [](Bytes& j) { j[findSegment(j, 0xC0) + 1] = 0xC3; }, eFastJpegBadData},
    {"sof_arithmetic", [](Bytes& j) { j[findSegment(j, 0xC0) + 1] = 0xC9; }, eFastJpegBadData},
    {"precision_9", [](Bytes& j) { setSofByte(j, 0, 9); }, eFastJpegBadData},
    {"height_0", [](Bytes& j) { setSofByte(j, 1, 0), setSofByte(j, 2, 0); }, eFastJpegBadData},
    {"width_0", [](Bytes& j) { setSofByte(j, 3, 0), setSofByte(j, 4, 0); }, eFastJpegBadData},
    {"width_over_max", [](Bytes& j) { setSofByte(j, 3, 0xFF), setSofByte(j, 4, 0xF0); }, eFastJpegBadData},
    {"two_components", [](Bytes& j) { setSofByte(j, 5, 2); }, eFastJpegBadData},
    {"sampling_zero", [](Bytes& j) { setSofByte(j, 7, 0x02); }, eFastJpegBadData},
    {"sampling_five", [](Bytes& j) { setSofByte(j, 7, 0x55); }, eFastJpegBadData},
    {"quant_table_undefined", [](Bytes& j) { setSofByte(j, 8, 3); }, eFastJpegBadData},
    {"sof_cut_short",
     [](Bytes& j)
     {
         const size_t at = findSegment(j, 0xC0);
         j[at + 3] = 8; // length covers only part of the component list
     },
     eFastJpegBadData},
    {"scan_before_frame",
     [](Bytes& j)
     {
         const size_t at = findSegment(j, 0xC0);
         j.erase(j.begin() + at, j.begin() + segmentEnd(j, at));
     },
     eFastJpegBadData},
    {"empty_scan_before_frame",
     [](Bytes& j)
     {
         // A scan of no components before any frame would decode nothing and end as a success.
         const size_t at = findSegment(j, 0xC0);
         j.erase(j.begin() + at, j.begin() + segmentEnd(j, at));
         j[findSegment(j, 0xDA) + 4] = 0;
     },
     eFastJpegBadData},
    {"scan_uses_undefined_table", [](Bytes& j) { j[findSegment(j, 0xDA) + 6] = 0x33; }, eFastJpegBadData},
    {"scan_component_count", [](Bytes& j) { j[findSegment(j, 0xDA) + 4] = 1; }, eFastJpegBadData},
    {"huffman_counts_overflow",
     [](Bytes& j)
     {
         const size_t at = findSegment(j, 0xC4);
         j[at + 5] = 3; // three codes of length 1
     },
     eFastJpegBadData},
    {"huffman_symbols_past_segment",
     [](Bytes& j)
     {
         const size_t at = findSegment(j, 0xC4);
         j[at + 20] = 200; // many codes of length 16, far more symbols than the segment holds
     },
     eFastJpegBadData},
    {"dqt_cut_short",
     [](Bytes& j)
     {
         const size_t at = findSegment(j, 0xDB);
         j[at + 3] -= 10;
     },
     eFastJpegBadData},
    {"dri_cut_short",
     [](Bytes& j)
     {
         const size_t at = findSegment(j, 0xDD);
         j[at + 3] = 2;
     },
     eFastJpegBadData},
    {"segment_length_1", [](Bytes& j) { j[findSegment(j, 0xDB) + 3] = 1, j[findSegment(j, 0xDB) + 2] = 0; },
     eFastJpegBadData},
    {"segment_past_end", [](Bytes& j) { j[findSegment(j, 0xDB) + 2] = 0xFF; }, eFastJpegDataEnded},
    {"code_longer_than_16_bits",
     [](Bytes& j)
     {
         const size_t at = scanData(j);
         for (size_t i = at; i + 1 < at + 40; i += 2)
             j[i] = 0xFF, j[i + 1] = 0x00;
     },
     eFastJpegBadData},
    {"second_scan",
     [](Bytes& j)
     {
         const size_t sos = findSegment(j, 0xDA);
         const Bytes header(j.begin() + sos, j.begin() + segmentEnd(j, sos));
         j.insert(j.end() - 2, header.begin(), header.end());
     },
     eFastJpegBadData},
    {"table_after_scan",
     [](Bytes& j)
     {
         const size_t dht = findSegment(j, 0xC4);
         const Bytes table(j.begin() + dht, j.begin() + segmentEnd(j, dht));
         j.insert(j.end() - 2, table.begin(), table.end());
     },
     eFastJpegBadData},
    {"comment_after_scan",
     [](Bytes& j)
     {
         const uint8_t comment[] = {0xFF, 0xFE, 0x00, 0x04, 'h', 'i'};
         j.insert(j.end() - 2, comment, comment + sizeof(comment));
     },
     eFastJpegBadData},
    {"no_eoi", [](Bytes& j) { j.resize(j.size() - 2); }, eFastJpegDataEnded},
    // Not damage: an extended sequential frame header with 8-bit Huffman data decodes alike.
    {"sof1_is_accepted", [](Bytes& j) { j[findSegment(j, 0xC0) + 1] = 0xC1; }, eFastJpegSuccess},
};

void PrintTo(const Damage& d, std::ostream* os)
{
    *os << d.name;
}

class FastJpegDamage : public ::testing::TestWithParam<Damage>
{
};

TEST_P(FastJpegDamage, GivesItsStatus)
{
    const Bytes rgb = makePicture(40, 40, 11);
    Bytes jpeg = encode(rgb, 40, 40, colour(2, 2, 2));
    ASSERT_EQ(eFastJpegSuccess, statusOf(jpeg));
    GetParam().apply(jpeg);
    EXPECT_EQ(GetParam().status, statusOf(jpeg));
}

INSTANTIATE_TEST_SUITE_P(Files, FastJpegDamage, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info)
                         { return std::string(info.param.name); });

TEST(FastJpegDecode, EveryTruncationEndsTheData)
{
    const Bytes rgb = makePicture(24, 20, 4);
    for (const EncodeOptions& o : {colour(2, 2, 1), grey()})
    {
        const Bytes jpeg = encode(rgb, 24, 20, o);
        for (size_t n = 0; n < jpeg.size(); ++n)
        {
            // A copy of exactly n bytes, so that ASan sees any read past it.
            const std::unique_ptr<uint8_t[]> cut(new uint8_t[n ? n : 1]);
            std::memcpy(cut.get(), jpeg.data(), n);
            FastJpegState* s = nullptr;
            ASSERT_EQ(eFastJpegDataEnded, FastJpegDecode(cut.get(), n, &s, 0)) << "cut at " << n;
            ASSERT_EQ(nullptr, s);
        }
    }
}

TEST(FastJpegDecode, CorruptScanDataNeverCrashes)
{
    const Bytes rgb = makePicture(48, 32, 9);
    const Bytes jpeg = encode(rgb, 48, 32, colour(2, 1, 2));
    const size_t start = scanData(jpeg);
    uint32_t state = 12345;
    for (int round = 0; round < 300; ++round)
    {
        Bytes damaged = jpeg;
        for (int k = 0; k < 1 + round % 4; ++k)
        {
            state = state * 1664525u + 1013904223u;
            const size_t at = start + (state >> 8) % (damaged.size() - start);
            damaged[at] ^= uint8_t(1 + (state >> 3) % 255);
        }
        uint8_t status = 0;
        const Picture pic = decode(damaged, &status);
        if (pic)
        {
            EXPECT_EQ(48u, pic->width);
            EXPECT_EQ(32u, pic->height);
        }
        else
        {
            EXPECT_TRUE(status == eFastJpegDataEnded || status == eFastJpegBadData) << int(status);
        }
    }
}

TEST(FastJpegDecode, MarkerHandling)
{
    const Bytes rgb = makePicture(64, 32, 6);
    const Bytes jpeg = encode(rgb, 64, 32, colour(1, 1, 8)); // an interval is one MCU row
    const Picture whole = decode(jpeg);
    ASSERT_TRUE(whole);

    // Junk before SOI and a comment before the scan are skipped.
    Bytes junk = {0x00, 0x12, 0xFF, 0x00};
    junk.insert(junk.end(), jpeg.begin(), jpeg.end());
    const uint8_t comment[] = {0xFF, 0xFE, 0x00, 0x05, 'a', 'b', 'c'};
    const size_t dqt = 4 + findSegment(jpeg, 0xDB);
    junk.insert(junk.begin() + dqt, comment, comment + sizeof(comment));
    const Picture skipped = decode(junk);
    ASSERT_TRUE(skipped);
    EXPECT_EQ(0, std::memcmp(whole->pixels, skipped->pixels, size_t(whole->rowPitch) * 32 * 4));

    // Restart markers out of sequence are accepted.
    Bytes renumbered = jpeg;
    size_t firstRst = 0;
    for (size_t i = scanData(jpeg); i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7)
        {
            firstRst = firstRst ? firstRst : i;
            renumbered[i + 1] = 0xD5;
        }
    ASSERT_NE(0u, firstRst);
    const Picture out = decode(renumbered);
    ASSERT_TRUE(out);
    EXPECT_EQ(0, std::memcmp(whole->pixels, out->pixels, size_t(whole->rowPitch) * 32 * 4));

    // EOI right after the first interval: the rest of the picture is zero.
    Bytes early(jpeg.begin(), jpeg.begin() + firstRst);
    early.push_back(0xFF);
    early.push_back(0xD9);
    const Picture part = decode(early);
    ASSERT_TRUE(part);
    const size_t top = size_t(whole->rowPitch) * 8 * 4;
    EXPECT_EQ(0, std::memcmp(whole->pixels, part->pixels, top));
    for (size_t i = top; i < top * 4; ++i)
        ASSERT_EQ(0, part->pixels[i]) << i;
}

TEST(FastJpegDecode, EarlyEoiInsideAnMcuRowClearsTheRestOfIt)
{
    // Intervals of 3 MCUs of 16 x 16 on a picture 5 MCUs wide.
    const Bytes jpeg = encode(makePicture(80, 32, 12), 80, 32, colour(2, 2, 3));
    const Picture whole = decode(jpeg);
    ASSERT_TRUE(whole);
    size_t firstRst = 0;
    for (size_t i = scanData(jpeg); i + 1 < jpeg.size() && !firstRst; ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7)
            firstRst = i;
    ASSERT_NE(0u, firstRst);
    Bytes early(jpeg.begin(), jpeg.begin() + firstRst);
    early.insert(early.end(), {0xFF, 0xD9});
    const Picture part = decode(early);
    ASSERT_TRUE(part);
    ASSERT_EQ(80u, part->rowPitch);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 80; ++x)
        {
            const size_t at = (size_t(y) * 80 + x) * 4;
            const bool decoded = y < 16 && x < 48;
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(decoded ? whole->pixels[at + c] : 0, part->pixels[at + c]) << x << "," << y;
        }
}

TEST(FastJpegDecode, TwelveBitFramesAreAcceptedAndSaturate)
{
    // The same entropy data read as a 12-bit frame: the level shift of 2048
    // drives every sample to the top of the 8-bit range.
    Bytes jpeg = encode(makePicture(16, 16, 2), 16, 16, grey());
    jpeg[findSegment(jpeg, 0xC0) + 4] = 12;
    const Picture pic = decode(jpeg);
    ASSERT_TRUE(pic);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            ASSERT_EQ(255, pic->pixels[(y * pic->rowPitch + x) * 4]) << x << "," << y;
}

TEST(FastJpegDecode, SideLimitIsCheckedBeforeAllocating)
{
    const Bytes jpeg = encode(makePicture(33, 65, 8), 33, 65, colour(2, 2));
    EXPECT_EQ(eFastJpegBadData, statusOf(jpeg, 64));
    EXPECT_EQ(eFastJpegBadData, statusOf(jpeg, 32));
    EXPECT_EQ(eFastJpegSuccess, statusOf(jpeg, 65));

    // A header alone that claims the largest picture JPEG allows.
    Bytes tiny = encode(makePicture(8, 8, 1), 8, 8, colour(1, 1));
    const size_t sof = findSegment(tiny, 0xC0);
    tiny[sof + 5] = tiny[sof + 6] = tiny[sof + 7] = tiny[sof + 8] = 0xFF;
    EXPECT_EQ(eFastJpegBadData, statusOf(tiny));
}

// Natural position of each zig-zag index, walked along the anti-diagonals.
std::vector<int> zigzagOrder()
{
    std::vector<int> order;
    for (int d = 0; d < 15; ++d)
        for (int i = 0; i <= d; ++i)
        {
            const int a = d % 2 ? i : d - i; // row
            const int b = d - a;             // column
            if (a < 8 && b < 8)
                order.push_back(a * 8 + b);
        }
    return order;
}

struct HuffmanSpec
{
    std::vector<uint8_t> counts; // codes of each length from 1 on
    std::vector<uint8_t> symbols;
};

// A hand-made grey 8x8 picture: quantisation 100 everywhere, the two given
// Huffman tables (DC 0 and AC 0) and the given entropy-coded bytes, then EOI.
Bytes handMadeGrey(const HuffmanSpec& dc, const HuffmanSpec& ac, std::initializer_list<uint8_t> scan)
{
    Bytes j = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    const Bytes quantisation(64, 100);
    j.insert(j.end(), quantisation.begin(), quantisation.end());
    const uint8_t sof[] = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00};
    j.insert(j.end(), sof, sof + sizeof(sof));
    auto table = [&j](uint8_t classAndId, const HuffmanSpec& spec)
    {
        std::vector<uint8_t> counts = spec.counts;
        counts.resize(16, 0);
        const size_t length = 2 + 1 + 16 + spec.symbols.size();
        j.insert(j.end(), {0xFF, 0xC4, uint8_t(length >> 8), uint8_t(length), classAndId});
        j.insert(j.end(), counts.begin(), counts.end());
        j.insert(j.end(), spec.symbols.begin(), spec.symbols.end());
    };
    table(0x00, dc);
    table(0x10, ac);
    const uint8_t sos[] = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
    j.insert(j.end(), sos, sos + sizeof(sos));
    j.insert(j.end(), scan);
    j.insert(j.end(), {0xFF, 0xD9});
    return j;
}

TEST(FastJpegDecode, HuffmanTablesOverfillingTheirCodeSpaceAreRefused)
{
    // Each table holds its symbols within its own segment, so only the count
    // of codes per length tells that they do not fit: more codes of a length
    // than there are left would spill past the 8-bit lookahead table.
    const HuffmanSpec dc = {{1}, {0x00}};
    const HuffmanSpec ac = {{1}, {0x00}};
    const struct
    {
        const char* what;
        HuffmanSpec dc, ac;
    } cases[] = {
        {"three codes of one bit", {{3}, {0x00, 0x01, 0x02}}, ac},
        {"five codes of two bits", dc, {{0, 5}, {0x00, 0x01, 0x11, 0x21, 0x31}}},
        {"one bit and then 255 codes of eight", {{1, 0, 0, 0, 0, 0, 0, 255}, std::vector<uint8_t>(256, 0)}, ac},
        {"full at one bit, one more of sixteen", dc,
         {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0x00, 0x01, 0x11}}},
    };
    ASSERT_EQ(eFastJpegSuccess, statusOf(handMadeGrey(dc, ac, {0x00})));
    for (const auto& c : cases)
        EXPECT_EQ(eFastJpegBadData, statusOf(handMadeGrey(c.dc, c.ac, {0x00}))) << c.what;
}

TEST(FastJpegDecode, AcRunPastTheLastCoefficientLandsOnIt)
{
    // The picture's DC table holds the single symbol 0 (code '0') and its AC
    // table {0x00: '0', 0xF1: '10', 0x11: '110'}. The block is DC 0 then four
    // times 0xF1 with value +1: the runs put coefficients at zig-zag 16, 32
    // and 48, and the fourth run carries past 63, so its value lands on
    // coefficient 63. '0' then '101' four times, padded with 1s:
    // 0101 1011 0110 1111.
    const Bytes j = handMadeGrey({{1}, {0x00}}, {{1, 1, 1}, {0x00, 0xF1, 0x11}}, {0x5B, 0x6F});
    const Picture pic = decode(j);
    ASSERT_TRUE(pic);
    const std::vector<int> zigzag = zigzagOrder();
    const int positions[4] = {zigzag[16], zigzag[32], zigzag[48], 63};
    const double pi = 3.14159265358979323846;
    auto basis = [&](int u, int x)
    { return (u == 0 ? 0.5 / std::sqrt(2.0) : 0.5) * std::cos((2 * x + 1) * u * pi / 16); };
    int worst = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            double s = 128;
            for (int n : positions)
                s += 100 * basis(n % 8, x) * basis(n / 8, y);
            const int expect = int(std::lround(std::fmin(255, std::fmax(0, s))));
            worst = std::max(worst, std::abs(expect - int(pic->pixels[(y * pic->rowPitch + x) * 4])));
        }
    EXPECT_LE(worst, 1);
}

TEST(FastJpegDecode, FreeIgnoresNullAndTrapsOnAForeignBlock)
{
    FastJpegFree(nullptr);
    // Large enough for the decoder's whole state, all zero: no stamp.
    std::vector<uint64_t> foreign(1 << 14);
    EXPECT_DEATH(FastJpegFree(reinterpret_cast<FastJpegState*>(foreign.data())), "");
}

void checkBlocksEndingEarly(const FastJpegKernelSet& vector, const FastJpegKernelSet& portable)
{
    const std::vector<int> zigzag = zigzagOrder();
    uint32_t state = 99;
    auto next = [&]
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int kernel = 0; kernel < 4; ++kernel)
    {
        const FastJpegCoefficientLayout& layout = FastJpegLayout(kernel);
        const int nx = kernel & 1 ? 16 : 8, ny = kernel & 2 ? 16 : 8;
        alignas(16) float dq[64];
        for (int z = 0; z < 64; ++z)
            dq[layout.position[z]] = float(1 + next() % 99) * layout.scale[z];
        for (int end : {1, 2, 3, 6, 9, 10, 11, 64})
            for (int round = 0; round < 30; ++round)
            {
                alignas(16) int32_t block[64] = {};
                for (int k = 0; k < end; ++k)
                {
                    const uint32_t r = next();
                    int32_t v = r % 7 == 0 ? 0 : int32_t(r % 61) - 30;
                    if (round % 10 == 9 && r % 3 == 0)
                        v = int32_t(next() << 8) | int32_t(r & 0xFF); // any 32-bit value
                    block[layout.position[zigzag[k]]] = v;
                }
                alignas(16) float shortOut[16 * 16], fullOut[16 * 16], portableOut[16 * 16];
                alignas(16) int32_t coef[64];
                std::memcpy(coef, block, sizeof(coef));
                vector.transform[kernel](coef, dq, end, shortOut, 16);
                for (int i = 0; i < 64; ++i)
                    ASSERT_EQ(0, coef[i]) << "the kernel leaves the block zero";
                std::memcpy(coef, block, sizeof(coef));
                vector.transform[kernel](coef, dq, 64, fullOut, 16);
                std::memcpy(coef, block, sizeof(coef));
                portable.transform[kernel](coef, dq, 64, portableOut, 16);
                for (int y = 0; y < ny; ++y)
                    for (int x = 0; x < nx; ++x)
                    {
                        // Compared as numbers: only the sign of a zero may differ.
                        const int i = y * 16 + x;
                        ASSERT_TRUE(shortOut[i] == fullOut[i] && fullOut[i] == portableOut[i])
                            << "kernel " << kernel << ", end " << end << ", round " << round << " at " << x
                            << "," << y << ": " << shortOut[i] << " " << fullOut[i] << " " << portableOut[i];
                    }
            }
    }
}

// Blocks whose coefficients end early in zig-zag order take shorter paths in
// the vector kernels; each must give the samples of the full transform and of
// the portable kernel, also with values as large as damaged data makes them.
TEST(FastJpegKernels, BlocksEndingEarlyMatchTheFullTransform)
{
    const FastJpegKernelSet& portable = FastJpegScalarKernels();
    for (const FastJpegKernelSet* set : {FastJpegSse2Kernels(), FastJpegAvx2Kernels()})
        if (set)
        {
            SCOPED_TRACE(set == FastJpegSse2Kernels() ? "SSE2" : "AVX2");
            checkBlocksEndingEarly(*set, portable);
        }
}

// Every colour routine gives the same bytes: in range, at rounding ties,
// beyond 0..255 and beyond the 32-bit range, which damaged data can reach.
TEST(FastJpegKernels, ColourRoutinesAgree)
{
    std::vector<const FastJpegKernelSet*> sets = {&FastJpegScalarKernels()};
    for (const FastJpegKernelSet* k : {FastJpegSse2Kernels(), FastJpegAvx2Kernels()})
        if (k)
            sets.push_back(k);
    uint32_t state = 7;
    auto next = [&]
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const float special[] = {-1e12f, -3e9f, -129.5f, -0.5f, 0.5f, 1.5f, 126.5f, 127.5f, 254.5f, 3e9f, 1e12f};
    constexpr uint32_t kSide = 32;
    alignas(16) float planes[3][kSide * kSide];
    for (int round = 0; round < 40; ++round)
    {
        for (auto& plane : planes)
            for (float& v : plane)
            {
                const uint32_t r = next();
                v = r % 5 == 0 ? special[r / 5 % std::size(special)] : float(int(r % 4001) - 2000) / 8.0f;
            }
        const float* const p[3] = {planes[0], planes[1], planes[2]};
        const uint32_t w = 8 * (1 + round % 4), h = 8 * (1 + round / 4 % 4);
        std::vector<std::vector<uint8_t>> outs;
        for (const FastJpegKernelSet* k : sets)
        {
            std::vector<uint8_t> out(kSide * kSide * 4 + 16);
            uint8_t* aligned = out.data() + (16 - reinterpret_cast<uintptr_t>(out.data()) % 16) % 16;
            (round % 2 ? k->colourGrey : k->colourYCbCr)(p, w, w, h, aligned, w * 4, 128.0f);
            outs.emplace_back(aligned, aligned + w * h * 4);
        }
        for (size_t i = 1; i < outs.size(); ++i)
            ASSERT_EQ(outs[0], outs[i]) << "set " << i << ", round " << round;
    }
}

} // namespace
