// The user interface: the engine singleton between the window and the display tree. It owns the
// root movie ("root"), the table of live display-instance handles and the map of loaded
// definitions, keeps the pointer position in game coordinates and the held buttons, builds the hit
// list (the input-enabled movies under the pointer, innermost and front-most first, cut after the
// first that eats the mouse), and turns the window's key and mouse messages into engine events:
// mouse events go to the registered event listeners and then to the hovered instances (their event
// handler and their script events), key events to the listeners and then to the global key
// handlers. It also hides the system pointer while a custom cursor instance stands in for it, draws
// the tree from the root each frame and keeps the custom-cursor effect alive.
// Created by engine start-up with the engine and the class of the root, deleted by shutdown; it
// publishes itself while it exists, and to scripts as "g_UserInterface" with its hit list "t_HitList".
//
// Key and mouse input reaches it from the render window (IWindowInput). Handlers and scripts may
// create and delete instances while an event is passed on: every list of handles is walked by index
// and every handle is tested again after each call made for it, so a deleted instance is skipped and
// its entry dropped, never reached. The input dispatch and the hit list are in UserInterfaceInput.cpp.
#pragma once

#include "engine/core/app/IWindowInput.h"
#include "engine/core/app/InputEvent.h"
#include "engine/core/base/HandleTable.h"
#include "engine/core/base/InstanceHandle.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/script/LuaBaseSubclass.h"
#include "platform/window/VirtualKeys.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class IEngineHost;
class Instance_Base;
class Instance_Movie;

class UserInterface final : public LuaSubclass, public IWindowInput, public IConsoleHandler, public IConsoleDisplay
{
    TARN_RCLASS(UserInterface)
    TARN_LUA_CLASS("UserInterface")
public:
    // rootClass: the class of the root and of instances made without a definition; null, or a
    // class that is not a movie, stands for Instance_Movie.
    explicit UserInterface(IEngineHost* engine = nullptr, RClass* rootClass = nullptr);
    ~UserInterface() override;
    UserInterface(const UserInterface&) = delete;
    UserInterface& operator=(const UserInterface&) = delete;

    static UserInterface* Get();

    // Makes the root and its handle, the script globals, the console and the definition map; false
    // when the root cannot be made.
    bool Init();

    // Gives the instance its handle (and a movie its movie handle) and counts it as live.
    InstanceHandle RegisterInstance(Instance_Base* instance);
    // Frees the handle's slot and stops counting the instance.
    void ReleaseInstance(const InstanceHandle& instance);
    // Adds the handle to the bookmarks (once) or removes its first occurrence.
    void SetBookmarked(const InstanceHandle& instance, bool on);

    void AddEventListener(IEventListener* listener);
    void RemoveEventListener(IEventListener* listener);
    // A global key handler receives every key and character, in the order the handlers were added;
    // a handle is added once. Handles of deleted instances leave the list when a key meets them.
    void AddGlobalHandler(const InstanceHandle& instance);
    const std::vector<InstanceHandle>& GetGlobalHandlers() const { return globalHandlers; }

    // The draw pass of the display tree, inside a device frame: the custom cursor, the root with
    // the device's view transform, the overlay quads, then the console while it is shown.
    void Render();
    // Spawns the custom-cursor effect again under the root at its position, with its target; the
    // tick calls it while the effect is enabled, named, placed and not alive (otherwise it does
    // nothing).
    void UpdateCursorEffect();

    // The key that shows and hides the console (the grave accent key).
    static constexpr uint32_t ConsoleKey = Platform::VirtualKey::Grave;
    // Makes the console's display instance: an invisible movie outside the tree, drawn over
    // everything else and covering the screen, whose canvas carries the console's pages. Until it
    // exists the console key is an ordinary key.
    bool CreateConsoleInstance();
    Instance_Movie* GetConsoleInstance() const { return consoleInstance.get(); }

    // IWindowInput
    void OnKeyDown(uint32_t virtualKey) override;
    void OnKeyUp(uint32_t virtualKey) override;
    void OnChar(uint32_t character) override;
    // button 0 left, 1 right, 2 middle; keyFlags as the mouse messages carry them.
    void OnMouseDown(int button, uint32_t keyFlags, int extra) override;
    void OnMouseUp(int button, uint32_t keyFlags, int unused) override;
    // x and y in client pixels.
    void OnMouseMove(int x, int y) override;
    // Collects the hit list afresh (none once the pointer has left the window).
    void UpdateHitList(bool skipHitTest) override;
    void SetPointerInside(bool inside) override { mouseInside = inside; }
    void SetCursorCount(int count) override { cursorShowCount = count; }

    // IConsoleHandler: the user interface has no commands of its own.
    void ExecuteCommand(const std::vector<std::wstring>&, const InstanceHandle&) override {}

    // IConsoleDisplay: the console draws its pages into display instances.
    Console* GetConsole() const override { return console.get(); }
    IRenderCanvas* GetInstanceCanvas(const InstanceHandle& instance, bool create) override;
    bool IsInstanceVisible(const InstanceHandle& instance) const override;
    void SetInstanceVisible(const InstanceHandle& instance, bool visible) override;
    void GetPointerPosition(int32_t& x, int32_t& y) const override
    {
        x = mouseX;
        y = mouseY;
    }

    DefinitionMap* GetDefinitionMap() const { return definitionMap.get(); }
    IEngineHost* GetEngine() const { return engine; }
    Instance_Movie* GetRoot() const { return root.get(); }
    RClass* GetDefaultInstanceClass() const { return rootClass; }
    // The effective hit list of the last refresh, front-most first.
    const std::vector<InstanceHandle>& GetHitList() const { return hitList; }
    // The instances under the pointer, and those the pointer left while a button (0 left, 1 right,
    // 2 middle) was held.
    const std::vector<InstanceHandle>& GetHovered() const { return hovered; }
    const std::vector<InstanceHandle>& GetOutside(int button) const { return outside[button]; }

    static void RegisterLua(lua_State* state);

    // ---- Data that the engine core and the display tree read and write.
    int32_t screenWidth = 0; // logical screen size, from the start-up record
    int32_t screenHeight = 0;
    LuaStrongTable hitListTable; // "t_HitList"
    uint32_t hitListCount = 0;
    int32_t mouseX = 0; // pointer position in game coordinates
    int32_t mouseY = 0;
    bool buttonHeld[3] = {false, false, false}; // left, right, middle
    uint32_t liveInstanceCount = 0;
    HandleTable instanceTable;
    InstanceHandle rootHandle;
    std::unique_ptr<DefinitionMap> definitionMap;
    InstanceHandle customCursor; // the instance drawn as the pointer, when any
    bool mouseInside = false;
    bool customCursorEnabled = false;
    int32_t cursorShowCount = 0;
    std::vector<InstanceHandle> bookmarks;

    struct CursorEffect
    {
        bool enabled = false;
        std::wstring name;
        float targetX = 0.0f; // where the effect's particles head
        float targetY = 0.0f;
        float x = -1.0f; // where it is spawned; negative: nowhere
        float y = -1.0f;
        InstanceHandle instance;
    };
    CursorEffect cursorEffect;

    // Textured quads drawn over the whole tree, after the root.
    struct OverlayQuad
    {
        float x = 0.0f;
        float y = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
        RefPtr<IResourceTexture> texture;
        SpriteRect source;
        uint32_t colour = 0xFFFFFFFF;
        uint32_t material = eMaterialAlpha;
    };
    std::vector<std::unique_ptr<OverlayQuad>> overlayQuads;

private:
    // The device's view transform: screen = game x scale + offset.
    struct ViewTransform
    {
        float offsetX = 0.0f;
        float offsetY = 0.0f;
        float scale = 1.0f;
    };
    static ViewTransform currentView();

    // ---- Input dispatch and the hit list (UserInterfaceInput.cpp).
    void dispatch(const Event_Base& event);
    uint32_t heldFlags() const;
    void publishHitList();
    void leavePass();
    void enterPass();
    void overPass();
    void keyToGlobalHandlers(uint32_t key, bool down);
    // Shows or hides the system pointer through the window system, keeping cursorShowCount.
    void showSystemPointer(bool show);

    IEngineHost* engine;
    RClass* rootClass;
    std::unique_ptr<Instance_Movie> root;
    std::unique_ptr<Instance_Movie> consoleInstance;
    std::unique_ptr<Console> console;
    std::vector<IEventListener*> listeners;
    std::vector<InstanceHandle> globalHandlers;
    std::vector<InstanceHandle> hitCandidates;
    std::vector<InstanceHandle> hitList;
    std::vector<InstanceHandle> hovered;
    std::vector<InstanceHandle> outside[3];
};

} // namespace TarnEngine
