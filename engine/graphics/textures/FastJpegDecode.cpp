// Marker state machine, table parsing and entropy decoding of the fast JPEG
// decoder. The kernels that turn coefficients into pixels live in
// FastJpegKernels.cpp.
//
// Every read of the input is bounded by its length; a damaged stream ends the
// decode with a status, never with a read outside the input or a table. The
// entropy decoder returns its failures up the call chain instead of jumping,
// so nothing is shared between decodes.
#include "engine/graphics/textures/FastJpegDecode.h"

#include "engine/graphics/textures/FastJpegKernels.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <new>

namespace TarnEngine
{
namespace
{

constexpr uint32_t kStamp = 0xABCDDCBA;
constexpr uint8_t kGoOn = 0xFF; // internal: the handler asks the marker loop to continue
constexpr size_t kImageAlign = 64;
constexpr int kFastBits = 11;

std::atomic<bool> g_forceScalar{false};

// Natural position of each zig-zag index; the 16 extra entries catch a run
// that carries past the last coefficient.
constexpr uint8_t kNatural[80] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                  35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                  58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
                                  63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

struct HuffTable
{
    // (code length << 8 | symbol) for an 8-bit prefix that starts a code of
    // at most 8 bits, 0xFFFF when the prefix needs the slow path.
    uint16_t lookahead[256];
    int32_t lastCode[17];     // by length; -1 for a length without codes
    int32_t symbolOffset[17]; // symbol index = code + offset, by length
    uint8_t symbols[256];
    // For a kFastBits prefix that holds a whole code and its value bits, 0
    // otherwise. The low byte is the bits used. DC: difference * 256 + bits.
    // AC: value * 65536 + run * 256 + bits; a value of 0 is the end of the
    // block, or 16 zeros with run 15.
    int32_t fast[1 << kFastBits];
    bool defined;
};

struct Component
{
    uint32_t h;
    uint32_t v;
    uint32_t blockWidth; // output samples of one block in the plane: 8 or 16
    uint32_t blockHeight;
    uint32_t dcTable; // Huffman slot
    uint32_t acTable;
    uint32_t quantTable;
    int32_t predictor;
    FastJpegTransformFn kernel;
    uint32_t kernelIndex;
    uint8_t order[80]; // where the kernel wants each zig-zag index stored
};

// Entropy-coded data reader. The next bit to use is the top bit of `buf`;
// `bits` counts the valid ones, and the bits below them are zero or already
// the data that follows (a refill only ORs in the same bits again). Once a
// marker or the end of the data is met, zero bits are appended and counted
// in `padded`; consuming any of them means the data ran out.
struct BitReader
{
    uint64_t buf;
    int bits;
    int padded;
    bool stopped;
    const uint8_t* p;
    const uint8_t* end;
};

using DecodeBlockFn = uint8_t (*)(BitReader&, const HuffTable&, const HuffTable&, const uint8_t*, int32_t&,
                                  int32_t*, int&);

struct Decoder : FastJpegState
{
    uint32_t componentCount;
    uint32_t stamp;
    uint8_t status;
    uint8_t parserState;
    uint32_t marker;
    uint32_t applicationMarker; // APPn before its normalisation to 0xE0
    uint32_t mode;
    uint32_t processorLevel;
    uint32_t maxSide;

    const uint8_t* data;
    size_t length;
    size_t pos; // header reader position

    Component components[3];
    uint8_t componentIds[3];
    // What the application segments said of how three components are coded.
    bool sawJfif;
    bool sawAdobe;
    uint8_t adobeTransform;
    uint32_t maxH;
    uint32_t maxV;
    uint32_t mcuWidth;
    uint32_t mcuHeight;
    uint32_t mcusLeft;
    uint32_t mcuCount;
    uint32_t restartInterval;
    uint32_t mcusPerRow;
    uint32_t mcuColumn; // of the next MCU
    uint32_t mcuRow;
    size_t pitchBytes;
    float levelShift;
    void* image;
    const FastJpegKernelSet* kernels;
    DecodeBlockFn decodeBlock;

    bool quantDefined[4];
    alignas(16) float quant[4][64]; // natural order
    // Each component's quantisation table, placed and scaled as its kernel's
    // coefficient layout says.
    alignas(16) float dequant[3][64];
    // The block being decoded, quantised values in the kernel's layout; the
    // kernels leave it all zero.
    alignas(16) int32_t coef[64];
    HuffTable huffman[8]; // slot 2n: DC table n, slot 2n + 1: AC table n
    alignas(16) float planes[3][32 * 32];
};

inline uint32_t be16(const uint8_t* p)
{
    return (uint32_t(p[0]) << 8) | p[1];
}

// ---------------------------------------------------------------- bit reader

// Sets the top bit of each byte of `w` (in memory order, lowest first) that
// is 0xFF; above the first such byte there may be false flags.
inline uint64_t markFF(uint64_t w)
{
    const uint64_t x = ~w;
    return (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
}

inline bool hasFF(uint64_t w)
{
    return markFF(w) != 0;
}

// Byte by byte near 0xFF bytes and at the end of the data. Takes and gives
// the reader by value so that the hot loop keeps it in registers.
__attribute__((noinline)) BitReader fillSlow(BitReader br)
{
    while (br.bits < 56) // at most 63 bits, so that a refill may follow
    {
        uint64_t byte = 0;
        if (!br.stopped)
        {
            if (br.p < br.end && *br.p != 0xFF)
                byte = *br.p++;
            else if (br.end - br.p >= 2 && br.p[1] == 0x00)
            {
                byte = 0xFF;
                br.p += 2;
            }
            else
                br.stopped = true; // a marker or the end: stay before it
        }
        if (br.stopped)
            br.padded += 8;
        br.buf |= byte << (56 - br.bits);
        br.bits += 8;
    }
    return br;
}

// Makes at least 32 bits (real or padding) available.
inline void fill(BitReader& br)
{
    if (br.bits >= 32)
        return;
    if (br.end - br.p >= 8)
    {
        uint64_t w;
        std::memcpy(&w, br.p, 8);
        if (!hasFF(w))
        {
            // Takes whole bytes up to 56 bits; the part of the next byte that
            // also lands in the buffer is the same data the next refill adds.
            br.buf |= __builtin_bswap64(w) >> br.bits;
            br.p += (63 - br.bits) >> 3;
            br.bits |= 56;
            return;
        }
    }
    br = fillSlow(br);
}

// Tops the buffer up to 56 bits or more whenever the next 8 bytes hold no
// 0xFF; otherwise only when fewer than 32 bits are left. Doing it for every
// symbol costs less than a branch on the bit count, which the processor
// cannot predict. Afterwards at least 32 bits are available.
inline void refill(BitReader& br)
{
    if (__builtin_expect(br.end - br.p >= 8, 1))
    {
        uint64_t w;
        std::memcpy(&w, br.p, 8);
        const uint64_t ff = markFF(w);
        if (__builtin_expect(ff == 0, 1))
        {
            br.buf |= __builtin_bswap64(w) >> br.bits;
            br.p += (63 - br.bits) >> 3;
            br.bits |= 56;
            return;
        }
        // Takes the bytes before the first 0xFF at once (its flag is exact);
        // the byte-wise path deals with the 0xFF itself.
        const int before = __builtin_ctzll(ff) >> 3;
        const int room = (63 - br.bits) >> 3;
        const int take = before < room ? before : room;
        if (take > 0)
        {
            br.buf |= (__builtin_bswap64(w) & ~(~uint64_t(0) >> (8 * take))) >> br.bits;
            br.p += take;
            br.bits += 8 * take;
        }
    }
    if (br.bits < 32)
        br = fillSlow(br);
}

// Decodes one Huffman symbol; needs 16 bits available. -1 for a code that
// the table does not hold.
inline int decodeSymbol(BitReader& br, const HuffTable& t)
{
    const uint32_t entry = t.lookahead[br.buf >> 56];
    if (entry != 0xFFFF)
    {
        br.buf <<= entry >> 8;
        br.bits -= entry >> 8;
        return entry & 0xFF;
    }
    const int32_t code16 = static_cast<int32_t>(br.buf >> 48);
    for (int len = 9; len <= 16; ++len)
    {
        const int32_t code = code16 >> (16 - len);
        if (code <= t.lastCode[len])
        {
            const uint32_t index = static_cast<uint32_t>(code + t.symbolOffset[len]);
            if (index >= sizeof(t.symbols))
                return -1;
            br.buf <<= len;
            br.bits -= len;
            return t.symbols[index];
        }
    }
    return -1;
}

// Takes s (1..16) bits and extends them to a signed value.
inline int32_t receiveExtend(BitReader& br, int s)
{
    const int32_t v = static_cast<int32_t>(br.buf >> (64 - s));
    br.buf <<= s;
    br.bits -= s;
    return v < (1 << (s - 1)) ? v - ((1 << s) - 1) : v;
}

// ---------------------------------------------------------------- entropy decoding

// Field by field: a whole-struct copy may go through the stack and read back
// wider than it was written, which stalls the processor at every block.
__attribute__((always_inline)) inline void copyReader(BitReader& to, const BitReader& from)
{
    to.buf = from.buf;
    to.bits = from.bits;
    to.padded = from.padded;
    to.stopped = from.stopped;
    to.p = from.p;
    to.end = from.end;
}

// Decodes one block's coefficients into `coef` (which the kernels leave all
// zero) and tells how far in zig-zag order they reach. Works on a copy of the
// reader, and the callers below keep it out of line, so that the reader and
// the block's pointers stay in registers for the per-coefficient loop.
__attribute__((always_inline)) inline uint8_t decodeBlockBody(BitReader& reader, const HuffTable& dc,
                                                              const HuffTable& ac, const uint8_t* order,
                                                              int32_t& predictor, int32_t* coef,
                                                              int& zigzagEnd)
{
    BitReader br;
    copyReader(br, reader);
    fill(br);
    const int32_t dcEntry = dc.fast[br.buf >> (64 - kFastBits)];
    if (dcEntry)
    {
        br.buf <<= dcEntry & 63;
        br.bits -= dcEntry & 63;
        // Wraps instead of overflowing on hostile data.
        predictor =
            static_cast<int32_t>(static_cast<uint32_t>(predictor) + static_cast<uint32_t>(dcEntry >> 8));
    }
    else
    {
        const int s = decodeSymbol(br, dc);
        if (s < 0 || s > 16)
        {
            copyReader(reader, br);
            return eFastJpegBadData;
        }
        if (s)
        {
            predictor = static_cast<int32_t>(static_cast<uint32_t>(predictor) +
                                             static_cast<uint32_t>(receiveExtend(br, s)));
        }
    }
    coef[0] = predictor;
    fill(br);
    const int32_t* fast = ac.fast;
    int k = 1;
    for (;;)
    {
        // At least 11 bits are left here, so the lookup may go before the
        // refill, which then stays off the chain from one symbol to the next.
        const int32_t e = fast[br.buf >> (64 - kFastBits)];
        refill(br);
        if (e >> 16)
        {
            // A short code with its value bits: one lookup.
            k += (e >> 8) & 15;
            br.buf <<= e & 63;
            br.bits -= e & 63;
            coef[order[k]] = e >> 16;
            if (++k >= 64)
                break;
            continue;
        }
        if (e)
        {
            // A short code without value bits: end of block or 16 zeros.
            br.buf <<= e & 63;
            br.bits -= e & 63;
            if ((e >> 8) != 15)
                break;
            k += 16;
            if (k >= 64)
                break;
            continue;
        }
        const int rs = decodeSymbol(br, ac);
        if (rs < 0)
        {
            copyReader(reader, br);
            return eFastJpegBadData;
        }
        const int r = rs >> 4;
        const int size = rs & 15;
        if (size)
        {
            k += r;
            coef[order[k]] = receiveExtend(br, size);
            ++k;
        }
        else if (r == 15)
            k += 16;
        else
            break;
        if (k >= 64)
            break;
        // A long code with its value may have used up to 31 bits.
        fill(br);
    }
    copyReader(reader, br);
    if (br.bits < br.padded)
        return eFastJpegDataEnded;
    zigzagEnd = k; // nothing was stored at k or beyond
    return kGoOn;
}

__attribute__((noinline)) uint8_t decodeBlockPortable(BitReader& reader, const HuffTable& dc,
                                                      const HuffTable& ac, const uint8_t* order,
                                                      int32_t& predictor, int32_t* coef, int& zigzagEnd)
{
    return decodeBlockBody(reader, dc, ac, order, predictor, coef, zigzagEnd);
}

#if defined(__x86_64__) || defined(__i386__)
// The same code with one-instruction variable shifts, which shortens the
// chain from one Huffman code to the next.
__attribute__((noinline, target("bmi2"))) uint8_t decodeBlockBmi2(BitReader& reader, const HuffTable& dc,
                                                                  const HuffTable& ac, const uint8_t* order,
                                                                  int32_t& predictor, int32_t* coef,
                                                                  int& zigzagEnd)
{
    return decodeBlockBody(reader, dc, ac, order, predictor, coef, zigzagEnd);
}
#endif

// Decodes the next restart interval (or the whole scan without one).
uint8_t decodeInterval(Decoder& d)
{
    uint32_t n = d.restartInterval ? d.restartInterval : d.mcusLeft;
    if (n > d.mcusLeft)
        n = d.mcusLeft;
    if (n == 0)
        return kGoOn;
    d.mcusLeft -= n;

    BitReader br{0, 0, 0, false, d.data + d.pos, d.data + d.length};
    const FastJpegKernelSet& kernels = *d.kernels;
    const FastJpegColourFn colour = d.componentCount == 3 ? kernels.colourYCbCr : kernels.colourGrey;
    const float* const planes[3] = {d.planes[0], d.planes[1], d.planes[2]};
    const size_t planeStride = d.mcuWidth;
    uint8_t status = kGoOn;
    for (uint32_t i = 0; i < n && status == kGoOn; ++i)
    {
        for (uint32_t c = 0; c < d.componentCount && status == kGoOn; ++c)
        {
            Component& comp = d.components[c];
            const HuffTable& dc = d.huffman[comp.dcTable];
            const HuffTable& ac = d.huffman[comp.acTable];
            const float* q = d.dequant[c];
            for (uint32_t by = 0; by < comp.v && status == kGoOn; ++by)
            {
                float* row = d.planes[c] + by * comp.blockHeight * planeStride;
                for (uint32_t bx = 0; bx < comp.h; ++bx)
                {
                    int zigzagEnd = 64;
                    status = d.decodeBlock(br, dc, ac, comp.order, comp.predictor, d.coef, zigzagEnd);
                    if (status != kGoOn)
                        break;
                    comp.kernel(d.coef, q, zigzagEnd, row + bx * comp.blockWidth, planeStride);
                }
            }
        }
        if (status != kGoOn)
            break;
        uint8_t* out =
            d.pixels + d.mcuRow * d.mcuHeight * d.pitchBytes + size_t(d.mcuColumn) * d.mcuWidth * 4;
        colour(planes, planeStride, d.mcuWidth, d.mcuHeight, out, d.pitchBytes, d.levelShift);
        if (++d.mcuColumn == d.mcusPerRow)
        {
            d.mcuColumn = 0;
            ++d.mcuRow;
        }
    }
    // The bytes the reader took but did not use are entropy data without
    // markers, so the marker search may go on from the reader's position.
    d.pos = static_cast<size_t>(br.p - d.data);
    return status;
}

// ---------------------------------------------------------------- headers

// Reads the segment length at the reader position and moves past the
// segment. A segment beyond the data: status 0.
uint8_t takeSegment(Decoder& d, const uint8_t*& seg, size_t& segLength)
{
    if (d.length - d.pos < 2)
        return eFastJpegDataEnded;
    const size_t total = be16(d.data + d.pos);
    if (total < 2)
        return eFastJpegBadData;
    if (total > d.length - d.pos)
        return eFastJpegDataEnded;
    seg = d.data + d.pos + 2;
    segLength = total - 2;
    d.pos += total;
    return kGoOn;
}

void releaseImage(Decoder& d)
{
    if (d.image)
        ::operator delete(d.image, std::align_val_t(kImageAlign));
    d.image = nullptr;
    d.pixels = nullptr;
}

uint8_t frameHeader(Decoder& d)
{
    const uint8_t* seg;
    size_t len;
    const uint8_t st = takeSegment(d, seg, len);
    if (st != kGoOn)
        return st;
    releaseImage(d);
    d.bitsPerPixel = 32;
    d.componentCount = 0;
    if (len < 6)
        return eFastJpegBadData;
    const uint32_t precision = seg[0];
    const uint32_t height = be16(seg + 1);
    const uint32_t width = be16(seg + 3);
    const uint32_t count = seg[5];
    if ((precision != 8 && precision != 12) || height == 0 || width == 0 || (count != 1 && count != 3))
        return eFastJpegBadData;
    // Checked before anything is allocated: a few bytes must not claim a huge picture.
    if (width > d.maxSide || height > d.maxSide)
        return eFastJpegBadData;
    if (len < 6 + 3 * size_t(count))
        return eFastJpegBadData;
    d.levelShift = static_cast<float>(1u << (precision - 1));

    uint32_t maxH = 0, maxV = 0;
    for (uint32_t c = 0; c < count; ++c)
    {
        Component& comp = d.components[c];
        const uint8_t* f = seg + 6 + 3 * c;
        d.componentIds[c] = f[0];
        comp.h = f[1] >> 4;
        comp.v = f[1] & 15;
        comp.quantTable = f[2] & 3;
        if (comp.h == 0 || comp.v == 0)
            return eFastJpegBadData;
        // A one-component scan is not interleaved: its MCU is a single block
        // whatever the sampling factors say.
        if (count == 1)
            comp.h = comp.v = 1;
        maxH = comp.h > maxH ? comp.h : maxH;
        maxV = comp.v > maxV ? comp.v : maxV;
    }
    if (maxH > 4 || maxV > 4)
        return eFastJpegBadData;
    for (uint32_t c = 0; c < count; ++c)
    {
        Component& comp = d.components[c];
        if (maxH % comp.h || maxV % comp.v)
            return eFastJpegBadData;
        const uint32_t rx = maxH / comp.h, ry = maxV / comp.v;
        if (rx > 2 || ry > 2)
            return eFastJpegBadData;
        comp.blockWidth = 8 * rx;
        comp.blockHeight = 8 * ry;
        comp.kernelIndex = (rx - 1) + 2 * (ry - 1);
        comp.kernel = d.kernels->transform[comp.kernelIndex];
        const FastJpegCoefficientLayout& layout = FastJpegLayout(comp.kernelIndex);
        for (int k = 0; k < 80; ++k)
            comp.order[k] = layout.position[kNatural[k]];
        comp.predictor = 0;
    }

    d.maxH = maxH;
    d.maxV = maxV;
    d.mcuWidth = 8 * maxH;
    d.mcuHeight = 8 * maxV;
    d.mcusPerRow = (width + d.mcuWidth - 1) / d.mcuWidth;
    const uint32_t mcuRows = (height + d.mcuHeight - 1) / d.mcuHeight;
    const uint64_t rowPitch = uint64_t(d.mcusPerRow) * d.mcuWidth;
    const uint64_t imageBytes = rowPitch * mcuRows * d.mcuHeight * 4;
    if (imageBytes == 0 || imageBytes > 0x7FFFFFFF)
        return eFastJpegBadData;
    d.image = ::operator new(static_cast<size_t>(imageBytes), std::align_val_t(kImageAlign), std::nothrow);
    if (!d.image)
        return eFastJpegNoMemory;

    d.width = width;
    d.height = height;
    d.rowPitch = static_cast<uint32_t>(rowPitch);
    d.pixels = static_cast<uint8_t*>(d.image);
    d.pitchBytes = static_cast<size_t>(rowPitch) * 4;
    d.componentCount = count;
    d.mcuCount = d.mcusPerRow * mcuRows;
    d.mcusLeft = d.mcuCount;
    d.mcuColumn = 0;
    d.mcuRow = 0;
    return kGoOn;
}

uint8_t quantTables(Decoder& d)
{
    const uint8_t* seg;
    size_t len;
    const uint8_t st = takeSegment(d, seg, len);
    if (st != kGoOn)
        return st;
    while (len > 0)
    {
        const bool wide = (seg[0] & 0x10) != 0;
        const uint32_t sel = seg[0] & 3;
        const size_t need = 1 + (wide ? 128 : 64);
        if (len < need)
            return eFastJpegBadData;
        float* table = d.quant[sel];
        for (int k = 0; k < 64; ++k)
        {
            const uint32_t v = wide ? be16(seg + 1 + 2 * k) : seg[1 + k];
            table[kNatural[k]] = static_cast<float>(v);
        }
        d.quantDefined[sel] = true;
        seg += need;
        len -= need;
    }
    return kGoOn;
}

// Fills the combined lookup of codes that fit kFastBits together with their
// value bits. The code space was checked, so every entry lies in the table.
void buildFast(HuffTable& t, bool isAc, const uint8_t* counts)
{
    std::memset(t.fast, 0, sizeof(t.fast));
    int32_t code = 0;
    int32_t next = 0;
    for (int length = 1; length <= kFastBits; ++length)
    {
        for (int32_t i = 0; i < counts[length - 1]; ++i, ++code, ++next)
        {
            const int symbol = t.symbols[next];
            const int size = isAc ? symbol & 15 : symbol;
            const int run = isAc ? symbol >> 4 : 0;
            if (length + size > kFastBits)
                continue;
            const int spare = kFastBits - length - size;
            for (int32_t bits = 0; bits < (1 << size); ++bits)
            {
                const int32_t value = size == 0                  ? 0
                                      : bits < (1 << (size - 1)) ? bits - ((1 << size) - 1)
                                                                 : bits;
                const uint32_t entry =
                    isAc ? static_cast<uint32_t>(value) << 16 | uint32_t(run) << 8 | uint32_t(length + size)
                         : static_cast<uint32_t>(value) << 8 | uint32_t(length + size);
                const int32_t first = ((code << size) | bits) << spare;
                for (int32_t j = 0; j < (1 << spare); ++j)
                    t.fast[first + j] = static_cast<int32_t>(entry);
            }
        }
        code <<= 1;
    }
}

uint8_t huffmanTables(Decoder& d)
{
    const uint8_t* seg;
    size_t len;
    const uint8_t st = takeSegment(d, seg, len);
    if (st != kGoOn)
        return st;
    while (len > 0)
    {
        if (len < 17)
            return eFastJpegBadData;
        const uint32_t slot = 2 * (seg[0] & 3) + ((seg[0] >> 4) & 1);
        const uint8_t* counts = seg + 1;
        size_t total = 0;
        for (int i = 0; i < 16; ++i)
            total += counts[i];
        if (total > 256 || len < 17 + total)
            return eFastJpegBadData;
        HuffTable& t = d.huffman[slot];
        t.defined = false;
        std::memcpy(t.symbols, seg + 17, total);
        std::memset(t.lookahead, 0xFF, sizeof(t.lookahead));
        int32_t code = 0;
        int32_t next = 0; // index of the next unused symbol
        for (int length = 1; length <= 16; ++length)
        {
            const int32_t n = counts[length - 1];
            if (n == 0)
            {
                t.lastCode[length] = -1;
                t.symbolOffset[length] = 0;
            }
            else
            {
                // Counts that overflow the code space would also write past
                // the lookahead table.
                if (code + n > (int32_t(1) << length))
                    return eFastJpegBadData;
                t.symbolOffset[length] = next - code;
                if (length <= 8)
                {
                    const int shift = 8 - length;
                    for (int32_t i = 0; i < n; ++i)
                    {
                        const uint16_t entry = static_cast<uint16_t>(length << 8 | t.symbols[next + i]);
                        const int32_t first = (code + i) << shift;
                        for (int32_t j = 0; j < (1 << shift); ++j)
                            t.lookahead[first + j] = entry;
                    }
                }
                t.lastCode[length] = code + n - 1;
                code += n;
                next += n;
            }
            code <<= 1;
        }
        buildFast(t, slot & 1, counts);
        t.defined = true;
        seg += 17 + total;
        len -= 17 + total;
    }
    return kGoOn;
}

uint8_t restartInterval(Decoder& d)
{
    const uint8_t* seg;
    size_t len;
    const uint8_t st = takeSegment(d, seg, len);
    if (st != kGoOn)
        return st;
    if (len < 2)
        return eFastJpegBadData;
    d.restartInterval = be16(seg);
    return kGoOn;
}

// The colour space of three components, decided as libjpeg decides it: a JFIF
// segment means YCbCr; otherwise an Adobe segment's transform flag 0 means RGB
// (any other flag YCbCr); otherwise component identifiers 'R', 'G', 'B' mean
// RGB. The two decoders must agree, or an RGB file would be shown through the
// YCbCr equations instead of reaching libjpeg.
bool codedAsRgb(const Decoder& d)
{
    if (d.componentCount != 3 || d.sawJfif)
        return false;
    if (d.sawAdobe)
        return d.adobeTransform == 0;
    return d.componentIds[0] == 'R' && d.componentIds[1] == 'G' && d.componentIds[2] == 'B';
}

uint8_t scanHeader(Decoder& d)
{
    const uint8_t* seg;
    size_t len;
    const uint8_t st = takeSegment(d, seg, len);
    if (st != kGoOn)
        return st;
    // A scan needs a frame before it.
    if (d.componentCount == 0 || len < 1 || seg[0] != d.componentCount)
        return eFastJpegBadData;
    if (len < 1 + 2 * size_t(d.componentCount) + 3)
        return eFastJpegBadData;
    // Only the YCbCr equations are built in; RGB is left to libjpeg.
    if (codedAsRgb(d))
        return eFastJpegBadData;
    for (uint32_t c = 0; c < d.componentCount; ++c)
    {
        Component& comp = d.components[c];
        const uint32_t tables = seg[2 + 2 * c];
        comp.dcTable = 2 * ((tables >> 4) & 3);
        comp.acTable = 2 * (tables & 3) + 1;
        // A table that was never defined would decode garbage.
        if (!d.huffman[comp.dcTable].defined || !d.huffman[comp.acTable].defined ||
            !d.quantDefined[comp.quantTable])
            return eFastJpegBadData;
        comp.predictor = 0;
        const FastJpegCoefficientLayout& layout = FastJpegLayout(comp.kernelIndex);
        for (int z = 0; z < 64; ++z)
            d.dequant[c][layout.position[z]] = d.quant[comp.quantTable][z] * layout.scale[z];
    }
    return decodeInterval(d);
}

// Application segments are skipped, except that the JFIF (APP0) and Adobe
// (APP14) ones are noted for codedAsRgb, with the lengths libjpeg requires of them.
uint8_t applicationSegment(Decoder& d)
{
    const uint8_t* seg;
    size_t len;
    const uint8_t st = takeSegment(d, seg, len);
    if (st != kGoOn)
        return st;
    if (d.applicationMarker == 0xE0 && len >= 14 && std::memcmp(seg, "JFIF", 5) == 0)
        d.sawJfif = true;
    else if (d.applicationMarker == 0xEE && len >= 12 && std::memcmp(seg, "Adobe", 5) == 0)
    {
        d.sawAdobe = true;
        d.adobeTransform = seg[11];
    }
    return kGoOn;
}

bool findMarker(Decoder& d, uint32_t& marker)
{
    for (;;)
    {
        while (d.pos < d.length && d.data[d.pos] != 0xFF)
            ++d.pos;
        while (d.pos < d.length && d.data[d.pos] == 0xFF)
            ++d.pos;
        if (d.pos >= d.length)
            return false;
        const uint32_t m = d.data[d.pos++];
        if (m > 0xBF)
        {
            if (m >= 0xD0 && m <= 0xD7)
                marker = 0xD0;
            else if (m >= 0xE0)
            {
                d.applicationMarker = m;
                marker = 0xE0;
            }
            else
                marker = m;
            return true;
        }
    }
}

// One step of the marker loop; kGoOn to continue, otherwise the final status.
uint8_t dispatch(Decoder& d)
{
    switch (d.parserState)
    {
    case 0:
        if (d.marker != 0xD8)
            return eFastJpegBadData;
        d.parserState = 1;
        return kGoOn;
    case 1:
        switch (d.marker)
        {
        case 0xC0:
        case 0xC1:
            return frameHeader(d);
        case 0xDB:
            return quantTables(d);
        case 0xC4:
            return huffmanTables(d);
        case 0xDD:
            return restartInterval(d);
        case 0xE0:
            return applicationSegment(d);
        case 0xDA:
            d.parserState = 2;
            return scanHeader(d);
        default:
            d.parserState = 0;
            return eFastJpegBadData;
        }
    default:
        if (d.marker == 0xD0)
        {
            for (uint32_t c = 0; c < d.componentCount; ++c)
                d.components[c].predictor = 0;
            return decodeInterval(d);
        }
        d.parserState = 0;
        return d.marker == 0xD9 ? eFastJpegSuccess : eFastJpegBadData;
    }
}

// Pixels of MCUs that were never decoded (EOI came early) read as zero.
void clearUndecoded(Decoder& d)
{
    if (d.mcusLeft == 0)
        return;
    const uint32_t decoded = d.mcuCount - d.mcusLeft;
    const uint32_t fullRows = decoded / d.mcusPerRow;
    const uint32_t partial = decoded % d.mcusPerRow;
    uint8_t* rowStart = d.pixels + size_t(fullRows) * d.mcuHeight * d.pitchBytes;
    const size_t skip = size_t(partial) * d.mcuWidth * 4;
    for (uint32_t r = 0; r < d.mcuHeight; ++r)
        std::memset(rowStart + r * d.pitchBytes + skip, 0, d.pitchBytes - skip);
    const uint32_t mcuRows = d.mcuCount / d.mcusPerRow;
    const size_t rest = size_t(mcuRows - fullRows - 1) * d.mcuHeight * d.pitchBytes;
    std::memset(rowStart + d.mcuHeight * d.pitchBytes, 0, rest);
}

void destroy(Decoder* d)
{
    releaseImage(*d);
    d->stamp = 0;
    delete d;
}

struct ProcessorFeatures
{
    // As the decoder records it: 4 with SSE3, 3 with SSE2, 2 with SSE only, 0
    // otherwise (or on processors of other families, where the portable
    // kernels serve).
    uint32_t level;
    bool avx2; // wider kernels
    bool bmi2; // one-instruction variable shifts for the entropy decoder
};

const ProcessorFeatures& processorFeatures()
{
    // Queried once: the feature query itself is not safe to run on two
    // threads at once.
    static const ProcessorFeatures features = []
    {
        ProcessorFeatures f{0, false, false};
#if defined(__x86_64__) || defined(__i386__)
        __builtin_cpu_init();
        f.level = __builtin_cpu_supports("sse3")   ? 4u
                  : __builtin_cpu_supports("sse2") ? 3u
                  : __builtin_cpu_supports("sse")  ? 2u
                                                   : 0u;
        f.avx2 = __builtin_cpu_supports("avx2") != 0;
        f.bmi2 = __builtin_cpu_supports("bmi2") != 0;
#endif
        return f;
    }();
    return features;
}

DecodeBlockFn chooseEntropyDecoder()
{
#if defined(__x86_64__) || defined(__i386__)
    if (processorFeatures().bmi2 && !g_forceScalar.load(std::memory_order_relaxed))
        return decodeBlockBmi2;
#endif
    return decodeBlockPortable;
}

const FastJpegKernelSet* chooseKernels(uint32_t level)
{
#if defined(__x86_64__) || defined(__i386__)
    if (level < 2)
        return nullptr;
    const FastJpegKernelSet* sse2 = FastJpegSse2Kernels();
    if (level >= 3 && sse2 && !g_forceScalar.load(std::memory_order_relaxed))
    {
        const FastJpegKernelSet* wide = FastJpegAvx2Kernels();
        return processorFeatures().avx2 && wide ? wide : sse2;
    }
#else
    (void)level;
#endif
    return &FastJpegScalarKernels();
}

} // namespace

uint8_t FastJpegDecode(const uint8_t* data, size_t length, FastJpegState** out, uint32_t mode,
                       uint32_t maxSide)
{
    if (!out)
        return eFastJpegBadData;
    *out = nullptr;
    Decoder* d = new (std::nothrow) Decoder();
    if (!d)
        return eFastJpegNoMemory;
    d->stamp = kStamp;
    d->mode = mode;
    d->maxSide = maxSide;
    d->processorLevel = processorFeatures().level;
    d->kernels = chooseKernels(d->processorLevel);
    d->decodeBlock = chooseEntropyDecoder();
    if (!d->kernels)
    {
        destroy(d);
        return eFastJpegNoSse;
    }
    d->data = data;
    d->length = data ? length : 0;

    uint8_t status = kGoOn;
    while (status == kGoOn)
    {
        if (!findMarker(*d, d->marker))
            status = eFastJpegDataEnded;
        else
            status = dispatch(*d);
    }
    d->status = status;
    if (status != eFastJpegSuccess)
    {
        destroy(d);
        return status;
    }
    clearUndecoded(*d);
    d->data = nullptr; // nothing refers to the input afterwards
    *out = d;
    return status;
}

void FastJpegFree(FastJpegState* state)
{
    if (!state)
        return;
    Decoder* d = static_cast<Decoder*>(state);
    if (d->stamp != kStamp)
    {
        std::raise(SIGTRAP); // not a live picture of FastJpegDecode: the caller's error
        return;
    }
    destroy(d);
}

void FastJpegForceScalarKernels(bool force)
{
    g_forceScalar.store(force, std::memory_order_relaxed);
}

} // namespace TarnEngine
