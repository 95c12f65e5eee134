// The user interface: the engine singleton between the window and the display tree. It owns the
// root movie ("root"), the table of live display-instance handles and the map of loaded
// definitions, keeps the pointer position in game coordinates and the held buttons, builds the hit
// list (the input-enabled movies under the pointer, innermost and front-most first), passes key and
// mouse events to the registered event listeners and draws the tree from the root each frame.
// Created by engine start-up with the engine and the class of the root, deleted by shutdown; it
// publishes itself while it exists, and to scripts as "g_UserInterface" with its hit list "t_HitList".
//
// Key and mouse input reaches it from the render window (IWindowInput). Dispatch to the hovered
// instances and to the global key handlers completes it with the input work.
#pragma once

#include "engine/core/app/IWindowInput.h"
#include "engine/core/app/InputEvent.h"
#include "engine/core/base/HandleTable.h"
#include "engine/core/base/InstanceHandle.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class EngineManager;
class Instance_Base;
class Instance_Movie;

class UserInterface final : public LuaSubclass, public IWindowInput, public IConsoleHandler, public IConsoleDisplay
{
    TARN_RCLASS(UserInterface)
    TARN_LUA_CLASS("UserInterface")
public:
    // rootClass: the class of the root and of instances made without a definition; null, or a
    // class that is not a movie, stands for Instance_Movie.
    explicit UserInterface(EngineManager* engine = nullptr, RClass* rootClass = nullptr);
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
    EngineManager* GetEngine() const { return engine; }
    Instance_Movie* GetRoot() const { return root.get(); }
    RClass* GetDefaultInstanceClass() const { return rootClass; }
    // The effective hit list of the last refresh, front-most first.
    const std::vector<InstanceHandle>& GetHitList() const { return hitList; }

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
        float x = -1.0f;
        float y = -1.0f;
        InstanceHandle instance;
    };
    CursorEffect cursorEffect;

private:
    void dispatch(const Event_Base& event);
    uint32_t heldFlags() const;
    void publishHitList();

    EngineManager* engine;
    RClass* rootClass;
    std::unique_ptr<Instance_Movie> root;
    std::unique_ptr<Console> console;
    std::vector<IEventListener*> listeners;
    std::vector<InstanceHandle> hitCandidates;
    std::vector<InstanceHandle> hitList;
};

} // namespace TarnEngine
