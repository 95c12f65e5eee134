// The hidden-object screen's blurred copy of the scene: the blurer switch, the pause look, the
// per-frame refresh and the renewal after the device re-created its resources. The capture and the
// filter are in SceneBlur.
#include "engine/scene/display/image/Instance_Image.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/SceneBlur.h"

using namespace TarnEngine;

namespace
{

constexpr uint32_t kMaterialAlpha = 1;
constexpr uint32_t kMaterialMaskClear = 0x20000;
constexpr uint32_t kMaterialMaskedOut = 0x40000;

} // namespace

bool HOScreen::capture(int radius)
{
    ISpyBoard* current = GetBoard();
    Instance_Image* image = GetBlurImage();
    if (!current || !image)
        return false;
    return SceneBlur::Capture(current->handle, image, captureTarget, radius);
}

void HOScreen::SetBlurer(bool on)
{
    blurerEnabled = on;
    if (!cursorMask.IsValid())
        cursorMask = Instance_Movie::CreateChild(this, L"cursor_mask", L"cursor_mask", nullptr).AsMovie();
    Instance_Base* mask = cursorMask.GetInstance();
    if (!mask)
        return;
    Instance_Image* image = GetBlurImage();
    if (image)
        mask->MoveBehind(image);
    mask->SetVisible(on);
    if (Instance_Base* background = FindChildByPath(L"bg").GetInstance())
        background->SetMaterial(on ? kMaterialAlpha | kMaterialMaskClear : kMaterialAlpha);
    if (!image)
        return;
    image->SetMaterial(on ? kMaterialAlpha | kMaterialMaskedOut : kMaterialAlpha);
    image->SetVisible(on);
    image->SetOpacity(0.75f);
}

void HOScreen::SetPaused(bool pause)
{
    Instance_Image* image = GetBlurImage();
    if (!image || !GetBoard())
        return;
    paused = pause;
    image->SetVisible(blurerEnabled || pause);
    if (pause)
    {
        image->SetOpacity(1.0f);
        capture(4);
    }
    else
    {
        image->SetOpacity(0.75f);
    }
    if (Instance_Base* mask = cursorMask.GetInstance())
        mask->SetVisible(blurerEnabled && !pause);
}

void HOScreen::RefreshBlur()
{
    const Instance_Base* mask = cursorMask.GetInstance();
    if (GetBoard() && GetBlurImage() && mask && mask->visible)
        capture(2);
}

void HOScreen::OnRecreateFinished()
{
    if (GetBoard() && GetBlurImage() && captureTarget)
        capture(2);
}
