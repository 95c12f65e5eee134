// The screen manager: owns the stack of open screens, all of them children of one movie named
// "_dialogs" under the root. It creates or finds a screen by name and opens it, keeps the order of
// the open screens (the last is the top), answers which open screen is the top-most modal one,
// steps every open and every fading-out screen once per frame after the game's own update,
// deletes screens once their closing fade has ended, and passes game events to the open screens.
// One instance, created by engine start-up right after the user interface and deleted by
// shutdown; it publishes itself while it exists, and to scripts as "g_ScreenMgr2".
//
// The screens are children of "_dialogs" and go with the display tree; the manager only points at
// them, and a screen that goes by any other way takes itself off the manager's lists.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/core/diagnostics/IConsoleHandler.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <string>
#include <vector>

namespace TarnEngine
{

class Screen;

class _ScreenMgr final : public LuaSubclass, public IInstanceEventHandler, public IConsoleHandler
{
    TARN_RCLASS(_ScreenMgr)
    TARN_LUA_CLASS("_ScreenMgr")
public:
    _ScreenMgr();
    ~_ScreenMgr() override;
    _ScreenMgr(const _ScreenMgr&) = delete;
    _ScreenMgr& operator=(const _ScreenMgr&) = delete;

    static _ScreenMgr* Get();

    // ShowScreen with the definition's own class.
    InstanceHandle OpenScreen(const std::wstring& definitionName, const std::wstring& instanceName, bool open,
                              bool modal);
    // The screen of that instance name under "_dialogs" (an empty name stands for the definition's
    // name): the existing one as it is, else a new one from the definition (as an instance of the
    // named class, when one is named), opened when asked and when it is a Screen. The zero handle
    // when nothing could be made.
    InstanceHandle ShowScreen(const std::wstring& definitionName, const std::wstring& className,
                              const std::wstring& instanceName, bool open, bool modal);
    // Puts the screen on top of the stack (adding it when it is not open) and in front.
    void PushScreen(Screen* screen);
    // Moves an open screen to the closing list; anything else is ignored.
    void RemoveScreen(Screen* screen);
    // A screen that is going away leaves both lists.
    void ForgetScreen(Screen* screen);
    Screen* GetTopModalScreen() const;
    Screen* FindScreen(const std::wstring& screenName) const;
    bool CloseScreen(const std::wstring& screenName, bool flag);
    void NotifyScreens(const std::wstring& event, const std::wstring& value);

    // The per-frame step of the screens.
    void Update();

    const InstanceHandle& GetDialogsHandle() const { return dialogsHandle; }
    const std::vector<Screen*>& GetOpenScreens() const { return openScreens; }
    const std::vector<Screen*>& GetClosingScreens() const { return closingScreens; }

    // IInstanceEventHandler of "_dialogs".
    void OnLoad(InstanceHandle instance) override;

    // IConsoleHandler: the manager has no commands.
    void ExecuteCommand(const std::vector<std::wstring>&, const InstanceHandle&) override {}

    static void RegisterLua(lua_State* state);

private:
    InstanceHandle dialogsHandle;
    std::vector<Screen*> openScreens;    // bottom first; not owned
    std::vector<Screen*> closingScreens; // not owned
};

} // namespace TarnEngine
