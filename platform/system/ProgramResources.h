// The program's own resources by id, as a Windows program carries them in its
// file: the window icon (101) and the game's mouse cursors (102 to 109). The
// pictures are our own, drawn by code when they are loaded (shapes with an
// outline, smoothed at the edges), so nothing is read from disk and any icon
// size comes out sharp. The resource strings stay with LoadResourceString.
// Depends on nothing but the standard library.
#pragma once

#include <cstdint>
#include <vector>

namespace Platform
{

// A loaded picture: width x height pixels of 4 bytes, red, green, blue,
// alpha (not premultiplied), rows from the top. Cursors carry their hot spot.
struct ResourcePicture
{
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<std::uint8_t> rgba;
};

// The sizes at which the window layer asks for icons.
constexpr int LargeIconSize = 48;
constexpr int SmallIconSize = 16;

// The icon of that id drawn size x size pixels (1 to 256); false when the
// program has no icon of that id or the size is out of range.
bool LoadIconResource(std::uint32_t id, int size, ResourcePicture& picture);
// The cursor of that id (32 x 32 with its hot spot); false when the program
// has no cursor of that id.
bool LoadCursorResource(std::uint32_t id, ResourcePicture& picture);

} // namespace Platform
