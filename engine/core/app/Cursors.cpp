// The game's cursor set; see Cursors.h.
#include "engine/core/app/Cursors.h"

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

bool Cursors::Load(const std::vector<CursorPicture>& pictures)
{
    release();
    list_.reserve(pictures.size());
    for (const CursorPicture& p : pictures)
    {
        Platform::CursorHandle cursor = system_.NewColourCursor(p.picture, p.hotX, p.hotY);
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
