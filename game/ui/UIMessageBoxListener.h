// The receiver side of the message box for game objects (the game object, the game manager, the
// hidden-object screen, the profile screen, the typewriter board): told (id, result) once the box
// that names it has finished closing. Boxes keep only a pointer to their listener, so a listener
// that goes away first takes itself off every box that still names it.
#pragma once

#include <cstdint>

class UIMessageBoxListener
{
public:
    // id: the number the opener gave; result: MB_LEFT 0, MB_CENTER 1 or MB_RIGHT 2.
    virtual void HandleMsgBox(int32_t id, int32_t result) = 0;

protected:
    UIMessageBoxListener() = default;
    UIMessageBoxListener(const UIMessageBoxListener&) = default;
    UIMessageBoxListener& operator=(const UIMessageBoxListener&) = default;
    virtual ~UIMessageBoxListener();
};
