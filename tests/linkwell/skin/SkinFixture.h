// Skin bitmaps made in code: one colour per piece, so that a screenshot shows
// which piece landed where.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "linkwell/skin/SkinGeometry.h"

namespace SkinFixture
{

// A 24-bit bottom-up BMP file of one colour.
inline std::vector<uint8_t> MakeBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t pixels = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> file(54 + pixels, 0);
    const auto put32 = [&](size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    put32(34, pixels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            uint8_t* p = &file[54 + y * stride + x * 3];
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    return file;
}

// Sizes by piece, chosen so that no two neighbouring sums coincide.
inline std::array<linkwell::SkinSize, linkwell::kSkinPieces> Sizes()
{
    return {{{10, 30}, {12, 32}, {8, 14}, {9, 15}, {5, 28}, {60, 20}, {100, 26}, {6, 4}, {7, 4}, {3, 11}}};
}

// Piece colours, distinct in every channel combination used by the screenshot test.
inline std::array<std::array<uint8_t, 3>, linkwell::kSkinPieces> Colours()
{
    return {{{255, 0, 0},
             {0, 255, 0},
             {0, 0, 255},
             {255, 255, 0},
             {0, 255, 255},
             {255, 0, 255},
             {128, 0, 0},
             {0, 128, 0},
             {0, 0, 128},
             {128, 128, 0}}};
}

// The files of ids 101..110, without the ids listed in missing.
class Bitmaps
{
public:
    explicit Bitmaps(std::vector<uint32_t> missing = {})
    {
        const auto sizes = Sizes();
        const auto colours = Colours();
        for (int i = 0; i < linkwell::kSkinPieces; ++i)
        {
            const uint32_t id = 101 + static_cast<uint32_t>(i);
            bool skip = false;
            for (uint32_t m : missing)
                skip = skip || m == id;
            if (!skip)
                files_[id] =
                    MakeBmp(sizes[i].width, sizes[i].height, colours[i][0], colours[i][1], colours[i][2]);
        }
    }
    std::map<uint32_t, std::vector<uint8_t>>& Files() { return files_; }
    // A source over the files; valid while this object lives.
    auto Source()
    {
        return [this](uint32_t id, uint32_t* byteCount) -> const uint8_t*
        {
            auto found = files_.find(id);
            if (found == files_.end())
                return nullptr;
            *byteCount = static_cast<uint32_t>(found->second.size());
            return found->second.data();
        };
    }

private:
    std::map<uint32_t, std::vector<uint8_t>> files_;
};

} // namespace SkinFixture
