// User interface; see UserInterface.h.
#include "engine/scene/ui/UserInterface.h"

#include "engine/core/app/EngineManager.h"
#include "engine/scene/script/LuaMgr.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{
UserInterface* g_userInterface = nullptr;

// Key flags of the mouse messages.
constexpr uint32_t kFlagShift = 0x0004;
constexpr uint32_t kFlagControl = 0x0008;
} // namespace

UserInterface::UserInterface(EngineManager* engine, DefinitionMap* defaultLibrary)
    : engine(engine), defaultLibrary(defaultLibrary)
{
    g_userInterface = this;
}

UserInterface::~UserInterface()
{
    console.reset();
    if (g_userInterface == this)
        g_userInterface = nullptr;
}

UserInterface* UserInterface::Get()
{
    return g_userInterface;
}

bool UserInterface::Init()
{
    if (!defaultLibrary)
    {
        ownLibrary = std::make_unique<DefinitionMap>();
        defaultLibrary = ownLibrary.get();
    }
    if (!console)
        console = std::make_unique<Console>(engine, LuaMgr::Get(), this);
    return true;
}

void UserInterface::AddEventListener(IEventListener* listener)
{
    if (listener && std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void UserInterface::RemoveEventListener(IEventListener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

void UserInterface::dispatch(const Event_Base& event)
{
    // A listener may remove itself (or another) while the event is passed on.
    const std::vector<IEventListener*> current = listeners;
    for (IEventListener* listener : current)
        if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
            listener->OnEvent(event);
}

uint32_t UserInterface::heldFlags() const
{
    return (mouseHeld[0] ? 1u : 0u) | (mouseHeld[1] ? 2u : 0u) | (mouseHeld[2] ? 4u : 0u);
}

void UserInterface::Render() {}

void UserInterface::UpdateEffect() {}

void UserInterface::OnKeyDown(uint32_t virtualKey)
{
    dispatch(Event_Key(Event_Base::KeyDown, static_cast<uint16_t>(virtualKey & 0xFFFF)));
}

void UserInterface::OnKeyUp(uint32_t virtualKey)
{
    dispatch(Event_Key(Event_Base::KeyUp, static_cast<uint16_t>(virtualKey & 0xFFFF)));
}

void UserInterface::OnChar(uint32_t) {}

void UserInterface::OnMouseDown(int button, uint32_t keyFlags, int extra)
{
    // The console's pages take the press first while they are shown.
    if (console && console->IsOverlayShown() && console->HandleMousePress(button, keyFlags, extra))
        return;
    if (button < 0 || button > 2)
        return;
    UpdateHitList(false);
    if (mouseHeld[button])
        return;
    mouseHeld[button] = true;
    dispatch(Event_Mouse(Event_Base::MouseDown, heldFlags(), pointerX, pointerY,
                         (keyFlags & kFlagControl) != 0, (keyFlags & kFlagShift) != 0, button));
}

void UserInterface::OnMouseUp(int button, uint32_t keyFlags, int)
{
    if (button < 0 || button > 2 || !mouseHeld[button])
        return;
    mouseHeld[button] = false;
    dispatch(Event_Mouse(Event_Base::MouseUp, heldFlags(), pointerX, pointerY, (keyFlags & kFlagControl) != 0,
                         (keyFlags & kFlagShift) != 0, button));
}

void UserInterface::OnMouseMove(int x, int y)
{
    pointerX = x;
    pointerY = y;
    pointerInside = true;
    UpdateHitList(false);
}

void UserInterface::UpdateHitList(bool pointerLeft)
{
    if (pointerLeft)
        pointerInside = false;
}

} // namespace TarnEngine
