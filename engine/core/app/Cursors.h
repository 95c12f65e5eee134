// The set of mouse cursors the game chooses from: the game data's cursor files
// ("cursors\<id>.cur") or else the program's cursor resources, named by id as
// the game names them, the system arrow standing in for any that cannot be
// loaded, and the index of the one to show. The render
// window owns it and applies it whenever the pointer is over its client area.
#pragma once

#include "platform/window/WindowSystem.h"

#include <cstdint>
#include <vector>

namespace TarnEngine
{

class Cursors
{
public:
    explicit Cursors(Platform::WindowSystem& system) : system_(system) {}
    ~Cursors();
    Cursors(const Cursors&) = delete;
    Cursors& operator=(const Cursors&) = delete;

    // One cursor for each resource id (its low 16 bits are the resource
    // number), in order, replacing those loaded before: the mounted data's
    // cursor file of that number when it reads, else the program's resource;
    // an id that gives neither gives the system arrow. Always true.
    bool Load(const std::vector<uint32_t>& resourceIds);
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
