// The game's cursor set; see Cursors.h.
#include "engine/core/app/Cursors.h"

#include "platform/system/ProgramResources.h"

namespace TarnEngine
{

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
        if (Platform::LoadCursorResource(id & 0xFFFF, picture))
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
