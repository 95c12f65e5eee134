// The engine's own baseline JPEG decoder: one call turns a whole JPEG held in
// memory into a 32-bit picture (bytes blue, green, red, fourth byte, rows from
// the top). It handles sequential Huffman-coded frames of grey or YCbCr
// pictures, chroma at full or half resolution and restart intervals; anything
// else (RGB-coded pictures among it) is refused so that the texture loader can
// fall back to libjpeg.
// Self-contained: it calls nothing of the engine and keeps no process-wide
// state, so several decodes may run at once on different threads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TarnEngine
{

// Result of FastJpegDecode.
enum FastJpegStatus : uint8_t
{
    eFastJpegDataEnded = 0, // no EOI, a segment past the end, or the scan data ran out
    eFastJpegNoMemory = 1,  // an allocation failed
    eFastJpegSuccess = 2,   // EOI after a decoded scan
    eFastJpegNoSse = 3,     // the processor lacks the vector unit the kernels need
    eFastJpegBadData = 5,   // refused: not baseline, RGB-coded, unsupported layout, damaged headers or codes
};

// Largest picture side accepted unless the caller passes its own limit.
constexpr uint32_t kFastJpegMaxSide = 8192;

// The decoded picture. Callers read only these five fields; the decoder's
// working state lies behind them in the same block.
struct FastJpegState
{
    uint32_t width;        // picture width in pixels
    uint32_t height;       // picture height in pixels
    uint32_t rowPitch;     // pixels per row of the image area (width rounded up to whole MCUs)
    uint8_t* pixels;       // first pixel of the image area, 16-byte aligned
    uint32_t bitsPerPixel; // always 32
};

// Decodes `length` bytes at `data`. Sets *out to null first; with
// eFastJpegSuccess *out receives the picture, which the caller gives back
// with FastJpegFree. Pictures with a side above maxSide are refused before
// anything is allocated. `mode` is recorded only.
uint8_t FastJpegDecode(const uint8_t* data, size_t length, FastJpegState** out, uint32_t mode,
                       uint32_t maxSide = kFastJpegMaxSide);

// Releases a picture of FastJpegDecode; null is ignored. A pointer that is not
// a live picture stops the program with a breakpoint trap.
void FastJpegFree(FastJpegState* state);

// Makes later decodes use the portable kernels and entropy decoder instead
// of the ones built for the processor's extensions (tests compare the two).
// Off by default.
void FastJpegForceScalarKernels(bool force);

} // namespace TarnEngine
