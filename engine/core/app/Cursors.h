// The set of mouse cursors the game chooses from: colour cursors made from
// the game's pictures, the system arrow standing in for any that cannot be
// made, and the index of the one to show. The render window owns it.
#pragma once

#include "platform/window/WindowSystem.h"

#include <cstdint>
#include <vector>

namespace TarnEngine
{

// A cursor picture and its hot spot inside it.
struct CursorPicture
{
    Platform::PictureView picture;
    int hotX = 0;
    int hotY = 0;
};

class Cursors
{
public:
    explicit Cursors(Platform::WindowSystem& system) : system_(system) {}
    ~Cursors();
    Cursors(const Cursors&) = delete;
    Cursors& operator=(const Cursors&) = delete;

    // One cursor for each picture, in order, replacing those loaded before; a
    // picture that makes no cursor gives the system arrow. Always true.
    bool Load(const std::vector<CursorPicture>& pictures);
    // Shows the cursor at `current`; false when the index is outside the set.
    bool Apply();

    size_t Count() const { return list_.size(); }
    Platform::CursorHandle At(size_t index) const { return index < list_.size() ? list_[index] : 0; }

    uint32_t current = 0;

private:
    void release();

    Platform::WindowSystem& system_;
    std::vector<Platform::CursorHandle> list_;
};

} // namespace TarnEngine
