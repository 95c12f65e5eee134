// The ten bitmaps of the skinned frame (ids 101 to 110), decoded from the BMP
// files that the skin module hands out. All or nothing: loading stops at the
// first bitmap that is missing or unreadable, and whatever was decoded is
// released with the object on every path.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "linkwell/skin/SkinGeometry.h"

typedef struct _GdkPixbuf GdkPixbuf;

namespace linkwell
{

// The module's export: the bytes of a BMP file for an id, or null.
using SkinBitmapSource = std::function<const uint8_t*(uint32_t id, uint32_t* byteCount)>;

class SkinBitmaps
{
public:
    static constexpr uint32_t kFirstId = 101;
    // A skin bitmap is a small frame piece; anything larger is refused before decoding.
    static constexpr uint32_t kMaxFileBytes = 8u << 20;

    SkinBitmaps() = default;
    ~SkinBitmaps();
    SkinBitmaps(const SkinBitmaps&) = delete;
    SkinBitmaps& operator=(const SkinBitmaps&) = delete;

    // True when all ten decode; what an earlier call loaded is released first.
    bool Load(const SkinBitmapSource& source);
    void Release();

    bool Loaded() const { return loaded_; }
    // How many decoded before loading stopped (all ten when loaded).
    int Count() const;
    GdkPixbuf* Bitmap(int index) const
    {
        return index >= 0 && index < kSkinPieces ? bitmaps_[index] : nullptr;
    }
    const std::array<SkinSize, kSkinPieces>& Sizes() const { return sizes_; }

    // Decodes one BMP file (owned by the caller on success), or null; the
    // header's sides are checked against SkinGeometry::kMaxBitmapSide first.
    static GdkPixbuf* Decode(const uint8_t* bytes, uint32_t byteCount);

private:
    std::array<GdkPixbuf*, kSkinPieces> bitmaps_{};
    std::array<SkinSize, kSkinPieces> sizes_{};
    bool loaded_ = false;
};

} // namespace linkwell
