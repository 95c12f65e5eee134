// Cursor files: the ".cur" layout a Windows program's cursor resources come from, read so that a
// game's content can bring its own cursors ("cursors\<resource id>.cur" in the data). Only
// 32-bit pictures are taken, which carry their own alpha; an image whose alpha is zero everywhere
// takes its transparency from the file's AND mask instead, as older files have it. The file is
// untrusted: every size and offset is checked against the data. Depends on nothing but the
// platform's picture record.
#pragma once

#include "platform/system/ProgramResources.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace TarnEngine
{

// The largest side of a cursor picture, as the file's one-byte sizes allow.
constexpr int MaxCursorFileSide = 256;

// The first image of the file that is a 32-bit picture, rows from the top in red, green, blue and
// alpha, with the entry's hot spot; false when the data holds none or is not a cursor file.
bool ReadCursorFile(const uint8_t* data, size_t size, Platform::ResourcePicture& picture);

// The engine file system's name of the cursor file of a resource id.
std::wstring CursorFileName(uint32_t resourceId);

} // namespace TarnEngine
