// Where the skinned frame's ten bitmaps go for a given client size, where the
// web view sits inside them, and what the pointer does over the frame. Pure
// arithmetic, so that it is checked without a display; the frame's painter
// and event handlers only follow it.
#pragma once

#include <array>
#include <cstdint>

namespace linkwell
{

struct SkinSize
{
    int32_t width = 0;
    int32_t height = 0;
};

struct SkinRect
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool Contains(int32_t px, int32_t py) const
    {
        return px >= x && py >= y && static_cast<int64_t>(px) < static_cast<int64_t>(x) + width &&
               static_cast<int64_t>(py) < static_cast<int64_t>(y) + height;
    }
};

// One copy of a bitmap (or of a part of it) into the window.
struct SkinPaint
{
    int bitmap = 0;  // index 0..9, resource 101 + index
    SkinRect source; // the part of the bitmap copied
    SkinRect target; // where it goes; stretched when the sizes differ
};

// Bitmap roles by index (resource 101 + index).
enum SkinPiece
{
    kSkinTopLeft = 0,
    kSkinTopRight = 1,
    kSkinBottomLeft = 2,
    kSkinBottomRight = 3,
    kSkinTopEdge = 4,
    kSkinCloseButton = 5,
    kSkinCaption = 6,
    kSkinLeftEdge = 7,
    kSkinRightEdge = 8,
    kSkinBottomEdge = 9,
    kSkinPieces = 10
};

class SkinGeometry
{
public:
    // Bitmap sides above this are refused when loading, which keeps every
    // sum below in range.
    static constexpr int32_t kMaxBitmapSide = 1024;
    static constexpr int32_t kMinHeight = 400;
    // No window is larger; client sizes are clamped to 0..kMaxClientSide.
    static constexpr int32_t kMaxClientSide = 1 << 20;

    // Sizes out of range are clamped to 0..kMaxBitmapSide.
    explicit SkinGeometry(const std::array<SkinSize, kSkinPieces>& sizes);

    // Client width less both top corners; never below 0, however small the window.
    int32_t InnerWidth(int32_t clientWidth) const;
    int32_t InnerHeight(int32_t clientHeight) const;

    // The ten copies in painting order, the close button last in the frame
    // given (0 normal, 1 hovered, 2 pressed).
    std::array<SkinPaint, kSkinPieces> Paints(int32_t clientWidth, int32_t clientHeight,
                                              int closeFrame) const;
    SkinRect Content(int32_t clientWidth, int32_t clientHeight) const;
    SkinSize MinimumSize() const;
    SkinRect CloseButton(int32_t clientWidth) const;
    int32_t CaptionHeight() const { return sizes_[kSkinTopEdge].height; }
    // A press here moves the window as a caption drag would.
    bool InDragZone(int32_t clientWidth, int32_t x, int32_t y) const;

private:
    std::array<SkinSize, kSkinPieces> sizes_;
};

// The pointer over the frame: which close-button frame shows, and what a
// press or a release does.
class SkinPointer
{
public:
    enum class Action
    {
        Nothing,
        Repaint,   // the close button's look changed
        StartMove, // hand the press to the window manager as a caption drag
        Close      // released inside the close button
    };

    explicit SkinPointer(const SkinGeometry& geometry) : geometry_(geometry) {}

    Action Motion(int32_t clientWidth, int32_t x, int32_t y);
    Action Press(int32_t clientWidth, int32_t x, int32_t y);
    Action Release(int32_t clientWidth, int32_t x, int32_t y);
    void Leave();
    int CloseFrame() const;

private:
    const SkinGeometry& geometry_;
    bool inside_ = false;
    bool down_ = false;
};

} // namespace linkwell
