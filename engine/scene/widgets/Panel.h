// A container that can be moved and centred in the window; everything else is Container's.
// Unlike a screen it keeps fractional positions.
#pragma once

#include "engine/scene/widgets/Container.h"

namespace TarnEngine
{

class Panel : public Container
{
    TARN_RCLASS(Panel)
    TARN_LUA_CLASS("Panel")
public:
    virtual void MoveTo(float newX, float newY);
    // Centres a w x h box in the window area right and below (ox, oy).
    virtual void CenterRect(float ox, float oy, float w, float h);
    // CenterRect with the panel's own size, children included.
    virtual void Center(float ox, float oy);
    virtual void CenterInWindow();

    static void RegisterLua(lua_State* state);
};

} // namespace TarnEngine
