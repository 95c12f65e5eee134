// The screen manager: steps the game's screens once per full frame, after the
// game's own update. One instance, created by engine start-up and deleted by
// shutdown; it publishes itself while it exists. The screens themselves arrive
// with the user-interface toolkit.
#pragma once

namespace TarnEngine
{

class _ScreenMgr
{
public:
    _ScreenMgr();
    ~_ScreenMgr();
    _ScreenMgr(const _ScreenMgr&) = delete;
    _ScreenMgr& operator=(const _ScreenMgr&) = delete;

    static _ScreenMgr* Get();

    // The per-frame step of the screens.
    void Update();
};

} // namespace TarnEngine
