// Which kind of renderer will draw the windows, decided without making one:
// a GL renderer needs a window made for GL, and SDL destroys and re-creates
// (hides and shows again) any other window it is asked to make one for. On a
// machine without a graphics device node every GL runs on the processor, and
// SDL's software renderer is used instead, without loading GL at all.
#pragma once

namespace Platform
{

// Whether /dev/dri holds a device node.
bool HasGpuDevice();

// Whether windows should be made for GL: the renderer the user chose
// (SDL_RENDER_DRIVER) is a GL one, or there is no choice and there is a GPU.
bool WindowsWantGl();

} // namespace Platform
