// Implementation of Referenced.h.
#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

Referenced::~Referenced()
{
    if (m_weak != nullptr)
    {
        m_weak->object = nullptr;
        if (m_weak->count == 0)
            delete m_weak;
        m_weak = nullptr;
    }
}

void WeakBlock::Drop(WeakBlock* block)
{
    if (block != nullptr && --block->count == 0 && block->object == nullptr)
        delete block;
}

bool Referenced::ReleaseCheck()
{
    if (m_count != 0)
        return false;
    delete this;
    return true;
}

WeakBlock* Referenced::GetWeakBlock()
{
    if (m_weak == nullptr)
    {
        m_weak = new WeakBlock;
        m_weak->object = this;
    }
    return m_weak;
}

} // namespace TarnEngine
