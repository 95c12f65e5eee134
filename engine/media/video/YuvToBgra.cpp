// YUV 4:2:0 to pixels; see YuvToBgra.h.
#include "engine/media/video/YuvToBgra.h"

#include <algorithm>
#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace TarnEngine
{

static_assert(std::endian::native == std::endian::little, "pixels are written as little-endian words");

namespace
{

// 16.16 fixed-point chroma contributions, with the arithmetic shift of signed values.
struct ChromaTables
{
    std::array<int16_t, 256> vToRed{};
    std::array<int16_t, 256> vToGreen{};
    std::array<int16_t, 256> uToGreen{};
    std::array<int16_t, 256> uToBlue{};
    std::array<uint8_t, 256> grey{};

    constexpr ChromaTables()
    {
        for (int32_t i = 0; i < 256; ++i)
        {
            vToRed[size_t(i)] = int16_t((113443 * i - 14487936) >> 16);
            vToGreen[size_t(i)] = int16_t((45744 * i - 5822464) >> 16);
            uToGreen[size_t(i)] = int16_t((22020 * i - 2785792) >> 16);
            uToBlue[size_t(i)] = int16_t((113508 * i - 14496256) >> 16);
        }
    }
};

// The grey scale's factor is 1/224 as a 32-bit float holds it; the products are truncated.
std::array<uint8_t, 256> makeGreyTable()
{
    std::array<uint8_t, 256> table{};
    for (int32_t i = 0; i < 256; ++i)
    {
        if (i < 16)
            table[size_t(i)] = 0;
        else if (i >= 240)
            table[size_t(i)] = 255;
        else
            table[size_t(i)] = uint8_t(double(i - 16) * 255.0 * 0.004464285913854837);
    }
    return table;
}

constexpr ChromaTables kChroma;
const std::array<uint8_t, 256> kGrey = makeGreyTable();

// The widest picture the decoder accepts; the per-column chroma terms of one row pair live on the stack.
constexpr uint32_t kMaxWidth = 4096;

inline int32_t clampByte(int32_t value)
{
    return std::min(std::max(value, 0), 255);
}

#if defined(__SSE2__)
// (factor x i - offset) >> 16 for eight samples, exactly as the tables hold it: the product is
// split as (factor >> 7) x (i << 7) + (factor & 127) x i, both parts 16-bit, summed in 32 bits.
inline __m128i chromaTerm(__m128i samples, int32_t factor, int32_t offset)
{
    const __m128i weights = _mm_set1_epi32(int32_t(uint32_t(factor & 127) << 16 | uint32_t(factor >> 7)));
    const __m128i shifted = _mm_slli_epi16(samples, 7);
    const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi16(shifted, samples), weights);
    const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi16(shifted, samples), weights);
    const __m128i bias = _mm_set1_epi32(offset);
    return _mm_packs_epi32(_mm_srai_epi32(_mm_sub_epi32(low, bias), 16),
                           _mm_srai_epi32(_mm_sub_epi32(high, bias), 16));
}

// A chroma term t as two bytes, max(t, 0) and max(-t, 0), each repeated for the two luma columns
// that share the sample: sixteen columns from eight terms.
inline void splitTerms(__m128i terms, uint8_t* positive, uint8_t* negative)
{
    const __m128i up = _mm_packus_epi16(terms, terms);
    const __m128i down = _mm_packus_epi16(_mm_sub_epi16(_mm_setzero_si128(), terms), terms);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(positive), _mm_unpacklo_epi8(up, up));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(negative), _mm_unpacklo_epi8(down, down));
}

// The terms of eight chroma samples as the byte parts convertSixteen adds and takes away, for the
// sixteen luma columns from `column` (the green term is taken away, so its parts swap).
inline void chromaTermsOfEight(const uint8_t* u, const uint8_t* v, uint8_t* const terms[6], uint32_t column)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i us = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)), zero);
    const __m128i vs = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)), zero);
    splitTerms(chromaTerm(us, 113508, 14496256), terms[0] + column, terms[1] + column);
    splitTerms(_mm_add_epi16(chromaTerm(vs, 45744, 5822464), chromaTerm(us, 22020, 2785792)), terms[3] + column,
               terms[2] + column);
    splitTerms(chromaTerm(vs, 113443, 14487936), terms[4] + column, terms[5] + column);
}

// Sixteen pixels of one row, in bytes: with one of the two parts of a term 0, adding the positive
// part and taking away the negative one with unsigned saturation is the clamp to 0..255 of the
// luma plus the term, so the result is the scalar formula's, byte for byte.
inline void convertSixteen(const uint8_t* luma, const uint8_t* const terms[6], uint32_t column, uint32_t* out)
{
    auto load = [column](const uint8_t* bytes)
    { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + column)); };
    const __m128i l = _mm_subs_epu8(load(luma), _mm_set1_epi8(16));
    const __m128i b = _mm_subs_epu8(_mm_adds_epu8(l, load(terms[0])), load(terms[1]));
    const __m128i g = _mm_subs_epu8(_mm_adds_epu8(l, load(terms[2])), load(terms[3]));
    const __m128i r = _mm_subs_epu8(_mm_adds_epu8(l, load(terms[4])), load(terms[5]));
    const __m128i opaque = _mm_set1_epi8(char(0xFF));
    const __m128i bgLow = _mm_unpacklo_epi8(b, g);
    const __m128i bgHigh = _mm_unpackhi_epi8(b, g);
    const __m128i raLow = _mm_unpacklo_epi8(r, opaque);
    const __m128i raHigh = _mm_unpackhi_epi8(r, opaque);
    __m128i* dst = reinterpret_cast<__m128i*>(out + column);
    _mm_storeu_si128(dst + 0, _mm_unpacklo_epi16(bgLow, raLow));
    _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(bgLow, raLow));
    _mm_storeu_si128(dst + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
    _mm_storeu_si128(dst + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
}
#endif

void convertColour(const th_img_plane planes[3], uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   uint32_t* pixels)
{
    // The chroma terms of one chroma row, one entry per chroma sample the picture touches (and
    // room for the reads of the last block of sixteen).
    constexpr uint32_t kTerms = kMaxWidth / 2 + 16;
    int16_t blue[kTerms];
    int16_t green[kTerms];
    int16_t red[kTerms];
    const uint32_t firstChroma = x >> 1;
    const uint32_t chromaCount = ((x + width - 1) >> 1) - firstChroma + 1;
    const uint32_t odd = x & 1;
#if defined(__SSE2__)
    // Pictures that start on an even column: the same terms as byte parts, one per luma column.
    constexpr uint32_t kColumns = kMaxWidth + 16;
    alignas(16) uint8_t parts[6][kColumns];
    uint8_t* const terms[6] = {parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
    const uint32_t vectorWidth = odd ? 0 : width & ~15u;
#else
    const uint32_t vectorWidth = 0;
#endif
    int64_t chromaRow = -1;
    for (uint32_t row = 0; row < height; ++row)
    {
        const int64_t lumaRow = int64_t(y) + row;
        // Two luma rows share one chroma row: its terms are worked out once per pair.
        if ((lumaRow >> 1) != chromaRow)
        {
            chromaRow = lumaRow >> 1;
            const uint8_t* u = planes[1].data + chromaRow * planes[1].stride + firstChroma;
            const uint8_t* v = planes[2].data + chromaRow * planes[2].stride + firstChroma;
            uint32_t c = 0;
#if defined(__SSE2__)
            for (; c * 2 < vectorWidth; c += 8)
                chromaTermsOfEight(u + c, v + c, terms, c * 2);
#endif
            for (; c < chromaCount; ++c)
            {
                blue[c] = kChroma.uToBlue[u[c]];
                green[c] = int16_t(kChroma.vToGreen[v[c]] + kChroma.uToGreen[u[c]]);
                red[c] = kChroma.vToRed[v[c]];
            }
        }
        const uint8_t* luma = planes[0].data + lumaRow * planes[0].stride + x;
        uint32_t* out = pixels + size_t(row) * width;
        // Column i of the picture takes chroma sample ((x + i) >> 1) - firstChroma.
        uint32_t column = 0;
#if defined(__SSE2__)
        for (; column < vectorWidth; column += 16)
            convertSixteen(luma, terms, column, out);
#endif
        for (; column < width; ++column)
        {
            const uint32_t c = (column + odd) >> 1;
            const int32_t l = std::max(int32_t(luma[column]) - 16, 0);
            const uint32_t b = uint32_t(clampByte(l + blue[c]));
            const uint32_t g = uint32_t(clampByte(l - green[c]));
            const uint32_t r = uint32_t(clampByte(l + red[c]));
            out[column] = b | (g << 8) | (r << 16) | 0xFF000000u;
        }
    }
}

void convertGrey(const th_img_plane& plane, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                 bool alphaOnly, uint32_t* pixels)
{
    for (uint32_t row = 0; row < height; ++row)
    {
        const uint8_t* luma = plane.data + (int64_t(y) + row) * plane.stride + x;
        uint32_t* out = pixels + size_t(row) * width;
        if (alphaOnly)
            for (uint32_t column = 0; column < width; ++column)
                out[column] = (out[column] & 0x00FFFFFFu) | (uint32_t(kGrey[luma[column]]) << 24);
        else
            for (uint32_t column = 0; column < width; ++column)
            {
                const uint32_t g = kGrey[luma[column]];
                out[column] = g | (g << 8) | (g << 16) | 0xFF000000u;
            }
    }
}

} // namespace

uint8_t LumaToGrey(uint8_t luma)
{
    return kGrey[luma];
}

void ConvertYuv420(const th_img_plane planes[3], uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   YuvConversion conversion, uint32_t* pixels)
{
    if (width == 0 || height == 0 || width > kMaxWidth)
        return;
    switch (conversion)
    {
    case YuvConversion::Colour:
        convertColour(planes, x, y, width, height, pixels);
        break;
    case YuvConversion::Grey:
        convertGrey(planes[0], x, y, width, height, false, pixels);
        break;
    case YuvConversion::AlphaOnly:
        convertGrey(planes[0], x, y, width, height, true, pixels);
        break;
    }
}

} // namespace TarnEngine
