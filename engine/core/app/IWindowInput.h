// Where the render window delivers the player's input: the user interface's
// key, character and mouse entry points, and the two pointer fields of the
// user interface that the window keeps when the pointer leaves. UserInterface
// implements it.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class IWindowInput
{
public:
    // Virtual-key codes and typed characters.
    virtual void OnKeyDown(uint32_t key) = 0;
    virtual void OnKeyUp(uint32_t key) = 0;
    virtual void OnChar(uint32_t character) = 0;

    // Buttons 0 left, 1 right, 2 middle; key flags as the mouse messages
    // carry them (Platform::MouseFlag*); the last value is always 0.
    virtual void OnMouseDown(int button, uint32_t keyFlags, int extra) = 0;
    virtual void OnMouseUp(int button, uint32_t keyFlags, int extra) = 0;
    // Pointer position in client pixels.
    virtual void OnMouseMove(int x, int y) = 0;
    // Rebuilds the list of instances under the pointer; true once the
    // pointer has left the window.
    virtual void UpdateHitList(bool pointerLeft) = 0;

    // The pointer-inside flag, and the last display count of the system
    // pointer (below 0 while it is hidden for a custom cursor).
    virtual void SetPointerInside(bool inside) = 0;
    virtual void SetCursorCount(int count) = 0;

protected:
    ~IWindowInput() = default;
};

} // namespace TarnEngine
