// Screen manager; see _ScreenMgr.h.
#include "engine/scene/ui/_ScreenMgr.h"

namespace TarnEngine
{

namespace
{
_ScreenMgr* g_screenManager = nullptr;
}

_ScreenMgr::_ScreenMgr()
{
    g_screenManager = this;
}

_ScreenMgr::~_ScreenMgr()
{
    if (g_screenManager == this)
        g_screenManager = nullptr;
}

_ScreenMgr* _ScreenMgr::Get()
{
    return g_screenManager;
}

void _ScreenMgr::Update() {}

} // namespace TarnEngine
