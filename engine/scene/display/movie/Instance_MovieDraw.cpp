// Drawing a movie: its canvas's lower layer, its children back to front, its canvas's upper layer,
// the whole subtree skipped when it lies off the screen. See Instance_Movie.h.
#include "engine/scene/display/movie/Instance_Movie.h"

#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/Renderer.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{

// Whether the movie, whose extent lies at `corners` in its parent's space, lies wholly off the back
// buffer. The parent matrix carries the view (offset and scale of a full-screen picture), so the
// test is made in device pixels, where the back buffer's size means something.
bool offScreen(const Instance_Base::Point (&corners)[4], const Matrix3& parentMatrix)
{
    Renderer* renderer = Renderer::Get();
    IGIL* device = renderer ? renderer->GetDevice() : nullptr;
    if (!device)
        return false;
    uint32_t width = 0, height = 0;
    device->GetBackBufferSize(&width, &height);
    float left = 0, top = 0, right = 0, bottom = 0;
    for (int i = 0; i < 4; ++i)
    {
        float px = 0, py = 0;
        parentMatrix.TransformPoint(corners[i].x, corners[i].y, px, py);
        left = i == 0 ? px : std::min(left, px);
        right = i == 0 ? px : std::max(right, px);
        top = i == 0 ? py : std::min(top, py);
        bottom = i == 0 ? py : std::max(bottom, py);
    }
    return right < 0.0f || bottom < 0.0f || left > float(width) || top > float(height);
}

// Every movie asks for the readiness of its subtree before it draws: within one drawing pass the
// answer is kept per movie, so a frame costs the number of nodes, not nodes times depth.
uint64_t drawPass = 0;
int drawNesting = 0;

struct DrawPassScope
{
    DrawPassScope()
    {
        if (drawNesting++ == 0)
            ++drawPass;
    }
    ~DrawPassScope() { --drawNesting; }
    DrawPassScope(const DrawPassScope&) = delete;
    DrawPassScope& operator=(const DrawPassScope&) = delete;
};

} // namespace

bool Instance_Movie::IsReady()
{
    const bool inPass = drawNesting > 0;
    if (inPass && readyPass == drawPass)
        return readyInPass;
    bool ready = true;
    for (Instance_Base* child : children)
        if (!child->IsReady())
        {
            ready = false;
            break;
        }
    if (inPass)
    {
        readyPass = drawPass;
        readyInPass = ready;
    }
    return ready;
}

void Instance_Movie::Draw(const Matrix3& parentMatrix, float parentAlpha)
{
    if (!visible)
        return;
    const DrawPassScope pass;
    const float alpha = opacity * parentAlpha;
    const Matrix3 world = Matrix3::Multiply(GetLocalMatrix(), parentMatrix);
    // A movie that is not ready (an effect below it) has no extent to trust and is always drawn.
    if (IsReady())
    {
        UpdateCorners();
        if (offScreen(corners, parentMatrix))
            return;
    }
    IRenderCanvas* layers = canvas.get();
    if (layers && layers->GetVisible() && !layers->IsPassEmpty(0))
        layers->Render(world, 0);
    for (size_t i = 0; i < drawOrder.size(); ++i)
        drawOrder[i]->Draw(world, alpha);
    if (layers && layers->GetVisible() && !layers->IsPassEmpty(1))
        layers->Render(world, 1);
}

} // namespace TarnEngine
