// The user interface: the input dispatch of the engine and the holder of the
// display tree's root, the default definition library and the console. One
// instance, created by engine start-up with the engine and an optional
// default library, deleted by shutdown; it publishes itself while it exists.
// Key and mouse input reaches it from the render window (IWindowInput); every
// event goes to the registered event listeners. The display tree, hit testing and the
// global input handlers join it with the scene model.
#pragma once

#include "engine/core/diagnostics/Console.h"
#include "engine/core/app/IWindowInput.h"
#include "engine/core/app/InputEvent.h"
#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/definitions/DefinitionMap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class EngineManager;

class UserInterface final : public IWindowInput, public IConsoleDisplay
{
public:
    // defaultLibrary null: the user interface makes and owns its own.
    UserInterface(EngineManager* engine, DefinitionMap* defaultLibrary);
    ~UserInterface();
    UserInterface(const UserInterface&) = delete;
    UserInterface& operator=(const UserInterface&) = delete;

    static UserInterface* Get();

    // Sets up the default library and constructs the console.
    bool Init();

    void AddEventListener(IEventListener* listener);
    void RemoveEventListener(IEventListener* listener);

    // The draw pass of the display tree, inside a device frame.
    void Render();
    // Spawns the custom-cursor effect again when it is no longer alive.
    void UpdateEffect();

    // IWindowInput
    void OnKeyDown(uint32_t virtualKey) override;
    void OnKeyUp(uint32_t virtualKey) override;
    void OnChar(uint32_t character) override;
    // button 0 left, 1 right, 2 middle; keyFlags as the mouse messages carry them.
    void OnMouseDown(int button, uint32_t keyFlags, int extra) override;
    void OnMouseUp(int button, uint32_t keyFlags, int unused) override;
    void OnMouseMove(int x, int y) override;
    void UpdateHitList(bool pointerLeft) override;
    void SetPointerInside(bool inside) override { pointerInside = inside; }
    void SetCursorCount(int count) override { cursorCount = count; }

    // IConsoleDisplay. Display instances join the user interface with the display tree; until
    // then the console has no instance to draw into or to show.
    Console* GetConsole() const override { return console.get(); }
    IRenderCanvas* GetInstanceCanvas(const InstanceHandle&, bool) override { return nullptr; }
    bool IsInstanceVisible(const InstanceHandle&) const override { return false; }
    void SetInstanceVisible(const InstanceHandle&, bool) override {}
    void GetPointerPosition(int32_t& x, int32_t& y) const override
    {
        x = pointerX;
        y = pointerY;
    }

    DefinitionMap* GetDefaultLibrary() const { return defaultLibrary; }
    EngineManager* GetEngine() const { return engine; }

    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    InstanceHandle rootHandle;
    bool mouseHeld[3] = {false, false, false}; // left, right, middle
    int32_t pointerX = 0;
    int32_t pointerY = 0;
    bool pointerInside = false;
    int32_t cursorCount = 0;

    struct CursorEffect
    {
        bool enabled = false;
        std::wstring name;
        float x = -1.0f;
        float y = -1.0f;
        InstanceHandle instance;
    };
    CursorEffect cursorEffect;

private:
    void dispatch(const Event_Base& event);
    uint32_t heldFlags() const;

    EngineManager* engine;
    DefinitionMap* defaultLibrary;
    std::unique_ptr<DefinitionMap> ownLibrary;
    std::unique_ptr<Console> console;
    std::vector<IEventListener*> listeners;
};

} // namespace TarnEngine
