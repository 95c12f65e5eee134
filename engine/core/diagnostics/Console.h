// The console: the engine's registry of named commands. Subsystems register
// functions under dotted names ("audio.playsound", "log.enable"), each with a
// handler and a parameter count; a command line (the name, then parameters
// separated by blanks, the last parameter taking the rest of the line) is
// split and handed to the handler. A line that starts with "/" is run as
// script text. Names are case-sensitive. The console also keeps the lines
// that commands and the log print (the newest MaxLines), and shows them
// through overlay pages (IConsoleOverlay.h): the built-in "Log" page and any
// others added, one of which may be selected by clicking the tab and arrow
// hit areas of the console's own display instance.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/diagnostics/IConsoleHandler.h"
#include "engine/core/diagnostics/IConsoleOverlay.h"

namespace TarnEngine
{

class Console;

// What the console needs of the script manager.
class IConsoleScripting
{
public:
    virtual ~IConsoleScripting() = default;
    // Loads the text as a script chunk and runs it in protected mode.
    virtual bool DoString(const std::wstring& text) = 0;
    // Calls the method "HandleConsoleFunction" of the referenced script table,
    // in protected mode, with a new table holding the arguments (UTF-8) at the
    // keys 1 to n; a table without that method does nothing.
    virtual void CallConsoleFunction(int scriptTable, const std::vector<std::string>& arguments) = 0;
    // Drops the console's strong reference to a script table.
    virtual void ReleaseScriptTable(int scriptTable) = 0;
    // A console now runs through this scripting, or no longer does (it is going, or changes
    // scripting): scripts reach the console as "g_Console" in between.
    virtual void ConsoleCreated(Console&) {}
    virtual void ConsoleDestroyed(Console&) {}
};

// What the console needs of the engine.
class IConsoleHost
{
public:
    virtual ~IConsoleHost() = default;
    virtual void RequestClose() = 0;     // "exit"
    virtual void InvalidateDevice() = 0; // after every command that ran or was looked up
};

class Console : public IConsoleHandler
{
public:
    // Hit-area tags of the console's canvas: the first pair of a tab is (TabArea, 0) with the
    // page's 1-based number first in the second pair; an arrow is (ArrowArea, 0) with a second pair
    // of (0, 0) for back and anything else for forward.
    static constexpr uint32_t TabArea = 1;
    static constexpr uint32_t ArrowArea = 2;

    // The bar of tabs and arrows.
    static constexpr int32_t TabBarHeight = 16;
    static constexpr int32_t ArrowWidth = 16;
    static constexpr int32_t TabPadding = 6; // on either side of a tab's name
    static constexpr int32_t TabGap = 2;
    static constexpr uint32_t TabTextSize = 10;
    static constexpr uint32_t TabColour = 0xC0303030;
    static constexpr uint32_t SelectedTabColour = 0xE0405080;
    static constexpr uint32_t TabTextColour = 0xFFFFFFFF;

    struct OverlayEntry
    {
        IConsoleOverlay* overlay = nullptr; // not owned
        InstanceHandle instance;            // the page's own display instance
    };

    explicit Console(IConsoleHost* host = nullptr, IConsoleScripting* scripting = nullptr,
                     IConsoleDisplay* display = nullptr);
    ~Console() override;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // False for an empty name, an empty part ("a..b", "a."), a null handler or
    // a name already registered (the first registration stays). A leading dot
    // is dropped. A count below 0 counts as 0.
    bool RegisterFunction(const std::wstring& name, IConsoleHandler* handler, int32_t parameterCount);
    // The same for a function written in script; scriptTable is a strong
    // reference (above 0) that the console releases when the function goes.
    bool RegisterLuaFunction(const std::wstring& name, int32_t parameterCount, int scriptTable);
    void UnregisterFunction(const std::wstring& name);

    // The most printed lines kept: the log prints into the console too, so a long session would
    // otherwise grow without end. Past it the oldest TrimmedLines go at once.
    static constexpr size_t MaxLines = 8192;
    static constexpr size_t TrimmedLines = 1024;

    // Runs one command line.
    void HandleConsoleFunction(const std::wstring& line);
    void Print(const std::wstring& text);
    const std::vector<std::wstring>& GetLines() const { return lines_; }

    void SetScripting(IConsoleScripting* scripting);
    void SetHost(IConsoleHost* host) { host_ = host; }
    void SetDisplay(IConsoleDisplay* display) { display_ = display; }
    IConsoleDisplay* GetDisplay() const { return display_; }

    // Overlays: entry 1 is the "Log" page (of the installed IConsoleDrawing), with no instance of its
    // own. The console does not own the pages; a null page is refused.
    bool AddOverlay(IConsoleOverlay* overlay, const InstanceHandle& instance);
    const std::vector<OverlayEntry>& GetOverlays() const { return overlays_; }
    // 0 for none, else the 1-based number of the selected page.
    uint32_t GetSelectedOverlay() const { return selectedOverlay_; }
    // The console's own display instance, whose canvas carries the tab and arrow hit areas.
    void SetOverlayInstance(const InstanceHandle& instance) { overlayInstance_ = instance; }
    const InstanceHandle& GetOverlayInstance() const { return overlayInstance_; }

    // The console's instance is valid and visible.
    bool IsOverlayShown() const;
    // Shows the console's instance with the "Log" page selected, or hides it (and the selected
    // page's own instance) with no page selected.
    void ShowOverlay(bool show);
    // While the console is shown: the tab of every page and the two arrows as a bar of hit areas
    // along the top of `area`, and the selected page drawn below the bar, into the console's
    // instance or the page's own one. The console's canvas is redrawn from nothing each time, so
    // this runs once a frame. Drawn by the installed IConsoleDrawing.
    void PrintOverlay(const DeviceRect& area);
    // A mouse press while the console is shown, at the pointer position the user interface keeps;
    // true when the console used it (it then goes no further).
    bool HandleMousePress(int button, uint32_t keyFlags, int extra);

    // The built-ins "echo", "?" and "exit".
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle& instance) override;

private:
    struct Function
    {
        std::wstring name;
        int32_t parameterCount = 0;
        IConsoleHandler* handler = nullptr; // not owned; null for a script function
        int scriptTable = 0;                // 0 for a native function
    };
    struct Namespace
    {
        std::wstring name;
        std::map<std::wstring, std::unique_ptr<Namespace>> namespaces;
        std::map<std::wstring, Function> functions;
    };

    bool addFunction(const std::wstring& name, Function function);
    void releaseScripts(Namespace& space);
    std::wstring listFunctions() const;
    void deselectOverlay();
    void selectOverlay();

    Namespace root_;
    std::vector<std::wstring> lines_;
    IConsoleHost* host_;
    IConsoleScripting* scripting_;
    IConsoleDisplay* display_;
    std::vector<OverlayEntry> overlays_;
    uint32_t selectedOverlay_ = 0;
    InstanceHandle overlayInstance_;
};

// The console the user interface shows, for services below the display tree that register commands
// or print (the sound manager); null while there is none. The user interface, a layer above, installs
// the lookup when it is made.
using MainConsoleLookup = Console* (*)();
void SetMainConsoleLookup(MainConsoleLookup lookup);
Console* GetMainConsole();

} // namespace TarnEngine
