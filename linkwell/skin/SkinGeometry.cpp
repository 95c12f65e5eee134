#include "linkwell/skin/SkinGeometry.h"

#include <algorithm>

namespace linkwell
{

namespace
{
int32_t clampSide(int32_t value)
{
    return std::clamp<int32_t>(value, 0, SkinGeometry::kMaxBitmapSide);
}

int32_t clampClient(int32_t value)
{
    return std::clamp<int32_t>(value, 0, SkinGeometry::kMaxClientSide);
}

SkinPaint copy(int bitmap, const SkinSize& size, int32_t x, int32_t y)
{
    return SkinPaint{bitmap, {0, 0, size.width, size.height}, {x, y, size.width, size.height}};
}

SkinPaint stretch(int bitmap, const SkinSize& size, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return SkinPaint{bitmap, {0, 0, size.width, size.height}, {x, y, width, height}};
}
} // namespace

SkinGeometry::SkinGeometry(const std::array<SkinSize, kSkinPieces>& sizes)
{
    for (int i = 0; i < kSkinPieces; ++i)
        sizes_[i] = SkinSize{clampSide(sizes[i].width), clampSide(sizes[i].height)};
}

int32_t SkinGeometry::InnerWidth(int32_t clientWidth) const
{
    const int64_t inner = static_cast<int64_t>(clampClient(clientWidth)) - sizes_[kSkinTopLeft].width -
                          sizes_[kSkinTopRight].width;
    return static_cast<int32_t>(std::max<int64_t>(inner, 0));
}

int32_t SkinGeometry::InnerHeight(int32_t clientHeight) const
{
    const int64_t inner = static_cast<int64_t>(clampClient(clientHeight)) - sizes_[kSkinTopLeft].height -
                          sizes_[kSkinBottomLeft].height;
    return static_cast<int32_t>(std::max<int64_t>(inner, 0));
}

std::array<SkinPaint, kSkinPieces> SkinGeometry::Paints(int32_t clientWidth, int32_t clientHeight,
                                                        int closeFrame) const
{
    const std::array<SkinSize, kSkinPieces>& s = sizes_;
    const int32_t iw = InnerWidth(clientWidth);
    const int32_t ih = InnerHeight(clientHeight);
    // Every sum is of bitmap sides and one inner size, which the clamps keep
    // far from the limits of int32_t.
    const int32_t right = s[kSkinTopLeft].width + iw;
    const int32_t captionX = s[kSkinTopLeft].width + (iw - s[kSkinCaption].width) / 2;
    const SkinRect button = CloseButton(clientWidth);
    const int frame = std::clamp(closeFrame, 0, 2);
    return {
        copy(kSkinTopLeft, s[kSkinTopLeft], 0, 0),
        stretch(kSkinTopEdge, s[kSkinTopEdge], s[kSkinTopLeft].width, 0, iw, s[kSkinTopEdge].height),
        copy(kSkinCaption, s[kSkinCaption], captionX, 0),
        copy(kSkinTopRight, s[kSkinTopRight], right, 0),
        stretch(kSkinLeftEdge, s[kSkinLeftEdge], 0, s[kSkinTopLeft].height, s[kSkinLeftEdge].width, ih),
        stretch(kSkinRightEdge, s[kSkinRightEdge], right, s[kSkinTopRight].height, s[kSkinRightEdge].width,
                ih),
        copy(kSkinBottomLeft, s[kSkinBottomLeft], 0, s[kSkinTopLeft].height + ih),
        stretch(kSkinBottomEdge, s[kSkinBottomEdge], s[kSkinBottomLeft].width, s[kSkinTopLeft].height + ih,
                iw, s[kSkinBottomEdge].height),
        copy(kSkinBottomRight, s[kSkinBottomRight], right, s[kSkinTopRight].height + ih),
        SkinPaint{kSkinCloseButton, {frame * button.width, 0, button.width, button.height}, button},
    };
}

SkinRect SkinGeometry::Content(int32_t clientWidth, int32_t clientHeight) const
{
    return {sizes_[kSkinLeftEdge].width, CaptionHeight(), InnerWidth(clientWidth), InnerHeight(clientHeight)};
}

SkinSize SkinGeometry::MinimumSize() const
{
    return {sizes_[kSkinTopLeft].width + sizes_[kSkinTopRight].width + sizes_[kSkinCloseButton].width +
                sizes_[kSkinCaption].width,
            kMinHeight};
}

SkinRect SkinGeometry::CloseButton(int32_t clientWidth) const
{
    const int32_t width = sizes_[kSkinCloseButton].width / 3;
    return {clampClient(clientWidth) - width, 0, width, sizes_[kSkinCloseButton].height};
}

bool SkinGeometry::InDragZone(int32_t clientWidth, int32_t x, int32_t y) const
{
    return y >= 0 && y < CaptionHeight() && !CloseButton(clientWidth).Contains(x, y);
}

SkinPointer::Action SkinPointer::Motion(int32_t clientWidth, int32_t x, int32_t y)
{
    const bool inside = geometry_.CloseButton(clientWidth).Contains(x, y);
    if (inside == inside_)
        return Action::Nothing;
    inside_ = inside;
    return Action::Repaint;
}

SkinPointer::Action SkinPointer::Press(int32_t clientWidth, int32_t x, int32_t y)
{
    inside_ = geometry_.CloseButton(clientWidth).Contains(x, y);
    if (inside_)
    {
        down_ = true;
        return Action::Repaint;
    }
    if (geometry_.InDragZone(clientWidth, x, y))
        return Action::StartMove;
    down_ = true;
    return Action::Nothing;
}

SkinPointer::Action SkinPointer::Release(int32_t clientWidth, int32_t x, int32_t y)
{
    down_ = false;
    inside_ = geometry_.CloseButton(clientWidth).Contains(x, y);
    return inside_ ? Action::Close : Action::Repaint;
}

void SkinPointer::Leave()
{
    inside_ = false;
}

int SkinPointer::CloseFrame() const
{
    if (!inside_)
        return 0;
    return down_ ? 2 : 1;
}

} // namespace linkwell
