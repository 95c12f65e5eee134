// The movie's console commands and its inspection lines, after those of every display instance.
// See Instance_Movie.h.
#include "engine/scene/display/movie/Instance_Movie.h"

#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/ui/UserInterface.h"

#include <cstdint>

namespace TarnEngine
{

namespace
{

void printLine(const std::wstring& text)
{
    const UserInterface* ui = UserInterface::Get();
    if (Console* console = ui ? ui->GetConsole() : nullptr)
        console->Print(text);
}

// How many words (the command word included) each command reads; a shorter list is refused.
struct CommandShape
{
    const wchar_t* word;
    size_t words;
};

constexpr CommandShape kCommands[] = {
    {L"createchild", 3}, {L"createempty", 2}, {L"list", 1}, {L"reverse", 1},
    {L"setframe", 2},    {L"setframebylabel", 2}, {L"start", 1}, {L"stop", 1},
};

// The short name of an instance's class ("Movie", "Effect"); empty for other classes.
std::wstring shortClassName(const Instance_Base& instance)
{
    const RInstanceClass* record = RObjectCast<RInstanceClass>(instance.GetClass());
    return record ? record->GetLuaClassName() : std::wstring();
}

} // namespace

void Instance_Movie::ExecuteCommand(const std::vector<std::wstring>& arguments)
{
    Instance_Base::ExecuteCommand(arguments);
    if (arguments.empty())
        return;
    const std::wstring& command = arguments[0];
    const CommandShape* shape = nullptr;
    for (const CommandShape& known : kCommands)
        if (command == known.word)
            shape = &known;
    if (!shape || arguments.size() < shape->words)
        return;

    if (command == L"createchild")
        CreateChild(this, arguments[1], arguments[2], nullptr);
    else if (command == L"createempty")
        CreateChildFromDefault(this, arguments[1]);
    else if (command == L"list")
    {
        // Copied: printing runs nothing, but the list is the movie's own.
        const std::vector<Instance_Base*> listed = children;
        for (const Instance_Base* child : listed)
            printLine(StringPrintf(L"%s.%s instance of %s (%s)", name, child->name,
                                   child->definitionName.empty() ? std::wstring(L"<empty>") : child->definitionName,
                                   shortClassName(*child)));
        printLine(StringPrintf(L"Printed %d instances", int(listed.size())));
    }
    else if (command == L"reverse")
        reverse = !reverse;
    else if (command == L"setframe")
        SetFrame(uint32_t(WStringToInt(arguments[1])));
    else if (command == L"setframebylabel")
        GotoLabel(arguments[1]);
    else if (command == L"start")
        playing = true;
    else if (command == L"stop")
        playing = false;
}

void Instance_Movie::Inspect()
{
    Instance_Base::Inspect();
    // The handler's address identifies it; all of it is printed, as addresses are wider than 32 bits.
    printLine(StringPrintf(L"Frame: %d / %d, Child Count: %d, Handler: 0x%08llx", int32_t(requestedFrame),
                           int32_t(GetNumFrames()), int(children.size()),
                           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(eventHandler))));
    std::wstring names = L"{";
    for (size_t i = 0; i < children.size(); ++i)
        names += (i ? L", " : L"") + children[i]->name;
    printLine(names + L"}");
    if (const Definition_Movie* definition = FindMovieDefinition())
    {
        std::wstring labels = L"Labels:";
        for (const auto& [frame, label] : definition->labels)
            labels += StringPrintf(L" / %s @ %d", label, int(frame));
        printLine(labels);
    }
}

} // namespace TarnEngine
