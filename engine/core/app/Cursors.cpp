// The game's cursor set; see Cursors.h.
#include "engine/core/app/Cursors.h"

#include "engine/core/app/CursorFile.h"
#include "engine/core/files/FileSystem.h"
#include "platform/system/ProgramResources.h"

namespace TarnEngine
{
namespace
{

// The content's own cursor of that id, when the mounted data holds a readable one.
bool loadCursorFile(uint32_t id, Platform::ResourcePicture& picture)
{
    FileSystem* files = FileSystem::Get();
    if (!files)
        return false;
    Stream stream = files->OpenStream(CursorFileName(id));
    // A cursor file of the largest picture with its mask is well below this.
    constexpr uint32_t kLargest = 1u << 20;
    if (!stream.IsValid() || stream.GetSize() == 0 || stream.GetSize() > kLargest)
        return false;
    uint32_t size = 0;
    const ByteBlock bytes = stream.ReadRemaining(&size);
    return bytes && ReadCursorFile(bytes.get(), size, picture);
}

} // namespace

Cursors::~Cursors()
{
    release();
}

void Cursors::release()
{
    for (Platform::CursorHandle cursor : list_)
        if (cursor != Platform::ArrowCursor)
            system_.DestroyCursor(cursor);
    list_.clear();
}

bool Cursors::Load(const std::vector<uint32_t>& resourceIds)
{
    release();
    list_.reserve(resourceIds.size());
    for (uint32_t id : resourceIds)
    {
        Platform::CursorHandle cursor = 0;
        Platform::ResourcePicture picture;
        // The game's data may bring its cursors as files; the program's own stand in for the rest.
        if (loadCursorFile(id & 0xFFFF, picture) || Platform::LoadCursorResource(id & 0xFFFF, picture))
            cursor = system_.NewColourCursor(Platform::PictureView{picture.width, picture.height, picture.rgba.data()},
                                             picture.hotX, picture.hotY);
        list_.push_back(cursor != 0 ? cursor : Platform::ArrowCursor);
    }
    return true;
}

bool Cursors::Apply()
{
    if (current >= list_.size())
        return false;
    return system_.SetCursor(list_[current]);
}

} // namespace TarnEngine
