// The blurred copy of the hidden-object scene: the board is rendered into a render target the size
// of the screen's image "blur", and the target's pixels are blurred on the processor with a disc
// kernel into the image's texture. The screen shows it behind the pause menu and, when a level
// turns the blurer on, all the time with a hole cut around a mask.
//
// The disc kernel keeps the offsets (dx, dy) with dx and dy from -r to r - 1 (not r: the disc is
// shifted by half a pixel) and dx² + dy² <= r², 11 of them at radius 2 and 47 at radius 4. One
// kernel is cached for the whole process and rebuilt only for another radius. The result is
// exactly the plain per-offset average: the sum of channels 0, 1 and 2 over the points that lie
// inside the image, divided by their count (truncating), and alpha 255. The filter gets there by
// grouping the kernel rows that share a span of columns (added once per column), summing the spans
// over the pixel's four bytes widened to 16-bit lanes, several pixels a vector, and dividing by
// a multiplication checked for every sum that can occur. Kernels with too many points for 16-bit
// sums use 32-bit running sums along the rows instead.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/core/base/RefPtr.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace TarnEngine
{
class IRenderTarget;
class Instance_Base;
class Instance_Image;
} // namespace TarnEngine

namespace SceneBlur
{

// The logical screen the board is drawn for.
constexpr float ScreenWidth = 1024.0f;
constexpr float ScreenHeight = 768.0f;
// Radii outside 1 to MaxRadius are refused: below 1 the kernel would be empty.
constexpr int MaxRadius = 64;

// The cached kernel for that radius, rebuilt when the cache holds another one; empty for a radius
// that is refused.
const std::vector<std::pair<int, int>>& GetKernel(int radius);

// Blurs w x h pixels of 4 bytes (bytes 0 to 2 colour, byte 3 alpha) from `source` into `target`,
// rows `sourcePitch` and `targetPitch` bytes apart; the two may be the same memory with the same
// pitch (in place), but must not overlap otherwise. False (nothing written) for a refused radius, an
// empty image or a pitch shorter than a row.
bool BlurInto(const uint8_t* source, size_t sourcePitch, uint8_t* target, size_t targetPitch, uint32_t w, uint32_t h,
              int radius);

// Tests turn the 256-bit code off (on by default where the processor has it) to check the
// 128-bit code beside it.
void SetWideVectors(bool on);

// Blurs w x h pixels of 4 bytes (bytes 0 to 2 colour, byte 3 alpha) in place. False (nothing
// changed) for a refused radius, an empty image or a buffer of another size.
bool Blur(std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, int radius);

// Scale x so that the instance is `width` wide; an instance of width 0 is left alone.
void FitWidth(TarnEngine::Instance_Base* instance, float width);
// FitWidth, then scale y so that it is `height` high; height 0 is left alone too.
void FitSize(TarnEngine::Instance_Base* instance, float width, float height);

// Renders the board into the target (made on first use at the image's pixel size and kept) scaled
// from the 1024 x 768 screen, makes it the image's texture, lays the image over the board and blurs
// its pixels. False when any step cannot be done (no renderer, an image of size 0, a refused
// target, a failed render); nothing is changed then.
bool Capture(const TarnEngine::InstanceHandle& board, TarnEngine::Instance_Image* image,
             TarnEngine::RefPtr<TarnEngine::IRenderTarget>& target, int radius);

} // namespace SceneBlur
