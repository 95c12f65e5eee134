#include "engine/core/diagnostics/Console.h"

#include <algorithm>
#include <limits>

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{

IConsoleDrawing* g_drawing = nullptr;
MainConsoleLookup g_mainConsole = nullptr;

} // namespace

void SetConsoleDrawing(IConsoleDrawing* drawing)
{
    g_drawing = drawing;
}

IConsoleDrawing* GetConsoleDrawing()
{
    return g_drawing;
}

void SetMainConsoleLookup(MainConsoleLookup lookup)
{
    g_mainConsole = lookup;
}

Console* GetMainConsole()
{
    return g_mainConsole ? g_mainConsole() : nullptr;
}

Console::Console(IConsoleHost* host, IConsoleScripting* scripting, IConsoleDisplay* display)
    : host_(host), scripting_(scripting), display_(display)
{
    if (g_drawing)
        overlays_.push_back({g_drawing->GetLogPage(), InstanceHandle{}});
    RegisterFunction(L"exit", this, 0);
    RegisterFunction(L"echo", this, 1);
    RegisterFunction(L"?", this, 0);
    Print(L"Use \"?\" to print a list of registered functions");
    if (scripting_)
        scripting_->ConsoleCreated(*this);
}

Console::~Console()
{
    releaseScripts(root_);
    if (scripting_)
        scripting_->ConsoleDestroyed(*this);
    // The log prints into the console it was given; it must not print into a dead one.
    if (ILogger* logger = ILogger::Get())
        logger->ForgetConsole(*this);
}

void Console::SetScripting(IConsoleScripting* scripting)
{
    if (scripting == scripting_)
        return;
    if (scripting_)
        scripting_->ConsoleDestroyed(*this);
    scripting_ = scripting;
    if (scripting_)
        scripting_->ConsoleCreated(*this);
}

void Console::releaseScripts(Namespace& space)
{
    for (auto& [name, function] : space.functions)
    {
        if (function.scriptTable > 0 && scripting_)
            scripting_->ReleaseScriptTable(function.scriptTable);
    }
    for (auto& [name, child] : space.namespaces)
        releaseScripts(*child);
}

bool Console::addFunction(const std::wstring& name, Function function)
{
    if (name.empty())
        return false;
    const std::vector<std::wstring> parts = SplitString(name, L'.', true);
    if (parts.empty())
        return false;
    for (const std::wstring& part : parts)
    {
        if (part.empty())
            return false;
    }
    Namespace* space = &root_;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
    {
        std::unique_ptr<Namespace>& child = space->namespaces[parts[i]];
        if (!child)
        {
            child = std::make_unique<Namespace>();
            child->name = parts[i];
        }
        space = child.get();
    }
    if (function.parameterCount < 0)
        function.parameterCount = 0;
    function.name = parts.back();
    return space->functions.emplace(parts.back(), std::move(function)).second;
}

bool Console::RegisterFunction(const std::wstring& name, IConsoleHandler* handler, int32_t parameterCount)
{
    if (!handler)
        return false;
    Function function;
    function.parameterCount = parameterCount;
    function.handler = handler;
    return addFunction(name, std::move(function));
}

bool Console::RegisterLuaFunction(const std::wstring& name, int32_t parameterCount, int scriptTable)
{
    if (scriptTable <= 0)
        return false;
    Function function;
    function.parameterCount = parameterCount;
    function.scriptTable = scriptTable;
    return addFunction(name, std::move(function));
}

void Console::UnregisterFunction(const std::wstring& name)
{
    if (name.empty())
        return;
    const std::vector<std::wstring> parts = SplitString(name, L'.', true);
    if (parts.empty())
        return;
    for (const std::wstring& part : parts)
    {
        if (part.empty())
            return;
    }
    Namespace* space = &root_;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
    {
        auto child = space->namespaces.find(parts[i]);
        if (child == space->namespaces.end())
            return;
        space = child->second.get();
    }
    auto function = space->functions.find(parts.back());
    if (function == space->functions.end())
        return;
    if (function->second.scriptTable > 0 && scripting_)
        scripting_->ReleaseScriptTable(function->second.scriptTable);
    space->functions.erase(function);
}

void Console::HandleConsoleFunction(const std::wstring& line)
{
    const std::vector<std::wstring> words = SplitString(line, L' ', true, 2);
    if (words.empty())
        return;
    if (line[0] == L'/')
    {
        if (scripting_)
            scripting_->DoString(line.substr(1));
        return;
    }
    const std::wstring& first = words[0];
    const std::vector<std::wstring> parts = SplitString(first, L'.', true);
    const Namespace* space = &root_;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
    {
        auto child = space->namespaces.find(parts[i]);
        if (child == space->namespaces.end())
        {
            Print(StringPrintf(L"Couldn't find namespace for function %s", first));
            return;
        }
        space = child->second.get();
    }
    const auto found = parts.empty() ? space->functions.end() : space->functions.find(parts.back());
    if (found == space->functions.end())
    {
        Print(StringPrintf(L"Function \"%s\" wasn't found", first));
    }
    else
    {
        // Copied out: the handler may unregister the function it runs.
        const Function function = found->second;
        // A count as large as the type allows cannot be met; it must not overflow on the way.
        const int mostParts = function.parameterCount < std::numeric_limits<int32_t>::max()
                                  ? function.parameterCount + 1
                                  : std::numeric_limits<int32_t>::max();
        const std::vector<std::wstring> arguments = SplitString(line, L' ', true, mostParts);
        if (arguments.size() < static_cast<size_t>(function.parameterCount) + 1)
        {
            Print(StringPrintf(L"Invalid Param Count - Function \"%s\" uses %d parameters", first,
                               function.parameterCount));
        }
        else if (function.handler)
        {
            function.handler->ExecuteCommand(arguments, InstanceHandle{});
        }
        else if (scripting_)
        {
            std::vector<std::string> narrow;
            narrow.reserve(arguments.size());
            for (const std::wstring& argument : arguments)
                narrow.push_back(WStringToUtf8(argument));
            scripting_->CallConsoleFunction(function.scriptTable, narrow);
        }
    }
    if (host_)
        host_->InvalidateDevice();
}

void Console::Print(const std::wstring& text)
{
    if (lines_.size() >= MaxLines)
        lines_.erase(lines_.begin(), lines_.begin() + TrimmedLines);
    lines_.push_back(text);
}

std::wstring Console::listFunctions() const
{
    std::wstring listing;
    for (const auto& [name, function] : root_.functions)
        listing += StringPrintf(L"%s ( %d arg(s) )\n", name, function.parameterCount);
    for (const auto& [spaceName, space] : root_.namespaces)
    {
        for (const auto& [name, function] : space->functions)
            listing += StringPrintf(L"%s.%s ( %d arg(s) )\n", spaceName, name, function.parameterCount);
    }
    return listing;
}

void Console::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.empty())
        return;
    const std::wstring& command = arguments[0];
    if (command == L"echo")
    {
        if (arguments.size() > 1)
            Print(arguments[1]);
    }
    else if (command == L"?")
    {
        const std::wstring text =
            StringPrintf(L"Console functions:\n-----------------------------------\n%s\n\n", listFunctions());
        for (const std::wstring& part : SplitString(text, L'\n', true))
            Print(part);
    }
    else if (command == L"exit")
    {
        if (host_)
            host_->RequestClose();
    }
}

bool Console::AddOverlay(IConsoleOverlay* overlay, const InstanceHandle& instance)
{
    if (!overlay)
        return false;
    overlays_.push_back({overlay, instance});
    return true;
}

bool Console::IsOverlayShown() const
{
    return display_ && overlayInstance_.IsValid() && display_->IsInstanceVisible(overlayInstance_);
}

void Console::ShowOverlay(bool show)
{
    if (!display_ || !overlayInstance_.IsValid())
        return;
    deselectOverlay();
    selectedOverlay_ = show ? 1 : 0;
    display_->SetInstanceVisible(overlayInstance_, show);
    selectOverlay();
}

void Console::PrintOverlay(const DeviceRect& area)
{
    if (IsOverlayShown() && g_drawing)
        g_drawing->PrintOverlay(*this, *display_, area);
}

void Console::deselectOverlay()
{
    if (selectedOverlay_ < 1 || selectedOverlay_ > overlays_.size() || !display_)
        return;
    // Copied: the page may add pages while it is told.
    const OverlayEntry entry = overlays_[selectedOverlay_ - 1];
    if (entry.instance.IsValid())
        display_->SetInstanceVisible(entry.instance, false);
    entry.overlay->OnDeactivate(*display_, entry.instance);
}

void Console::selectOverlay()
{
    if (selectedOverlay_ < 1 || selectedOverlay_ > overlays_.size() || !display_)
        return;
    const OverlayEntry entry = overlays_[selectedOverlay_ - 1];
    if (!entry.instance.IsValid())
        return;
    display_->SetInstanceVisible(entry.instance, true);
    entry.overlay->OnActivate(*display_, entry.instance);
}

bool Console::HandleMousePress(int button, uint32_t keyFlags, int extra)
{
    if (!display_)
        return false;
    int32_t x = 0;
    int32_t y = 0;
    display_->GetPointerPosition(x, y);
    uint32_t area[2] = {0, 0};
    uint32_t value[2] = {0, 0};
    const bool hit = g_drawing && g_drawing->HitTest(*display_, overlayInstance_, x, y, area, value);
    const uint32_t count = static_cast<uint32_t>(overlays_.size());
    if (!hit)
    {
        if (selectedOverlay_ < 1 || selectedOverlay_ > count)
            return false;
        const OverlayEntry entry = overlays_[selectedOverlay_ - 1];
        return entry.overlay->OnMousePress(*display_, entry.instance, button, keyFlags, extra);
    }
    if (area[0] == TabArea && area[1] == 0)
    {
        deselectOverlay();
        // A tab for a page that is not there selects none.
        selectedOverlay_ = value[0] <= count ? value[0] : 0;
        selectOverlay();
    }
    else if (area[0] == ArrowArea && area[1] == 0)
    {
        deselectOverlay();
        if (value[0] != 0 || value[1] != 0)
            selectedOverlay_ = selectedOverlay_ >= count ? 0 : selectedOverlay_ + 1;
        else
            selectedOverlay_ = selectedOverlay_ == 0 || selectedOverlay_ > count ? count : selectedOverlay_ - 1;
        selectOverlay();
    }
    return true;
}

} // namespace TarnEngine
