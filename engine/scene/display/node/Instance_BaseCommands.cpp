// The node's console commands and its inspection lines on the console; see Instance_Base.h.
#include "engine/scene/display/node/Instance_Base.h"

#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/scene/ui/UserInterface.h"

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
    {L"delete", 1}, {L"inspect", 1}, {L"movetofront", 1}, {L"movetoback", 1},  {L"seta", 2},
    {L"setp", 3},   {L"setr", 2},    {L"sets", 3},        {L"setreg", 3},      {L"getbounds", 1},
    {L"ltog", 4},   {L"gtol", 4},    {L"setcolor", 2},    {L"setmaterial", 2},
};

} // namespace

void Instance_Base::ExecuteCommand(const std::vector<std::wstring>& arguments)
{
    if (arguments.empty())
        return;
    const std::wstring& command = arguments[0];
    const CommandShape* shape = nullptr;
    for (const CommandShape& known : kCommands)
        if (command == known.word)
            shape = &known;
    if (!shape || arguments.size() < shape->words)
        return;
    auto number = [&](size_t i) { return float(WStringToDouble(arguments[i])); };

    if (command == L"delete")
        Delete(false);
    else if (command == L"inspect")
        Inspect();
    else if (command == L"movetofront")
        MoveToFront();
    else if (command == L"movetoback")
        MoveToBack();
    else if (command == L"seta")
        SetOpacity(number(1));
    else if (command == L"setp")
        SetPosition(number(1), number(2));
    else if (command == L"setr")
        SetRotation(number(1));
    else if (command == L"sets")
        SetScale(number(1), number(2));
    else if (command == L"setreg")
        SetRegistrationPoint(number(1), number(2));
    else if (command == L"getbounds")
    {
        float left, top, right, bottom;
        GetBounds(left, top, right, bottom, true);
        printLine(StringPrintf(L"Bounds: %f  %f  %f  %f", double(left), double(top), double(right),
                               double(bottom)));
    }
    else if (command == L"ltog")
    {
        // Argument 1 is not read: the point is arguments 2 and 3.
        float px = number(2), py = number(3);
        LocalToGlobal(px, py);
        printLine(StringPrintf(L"Global: %f %f", double(px), double(py)));
    }
    else if (command == L"gtol")
    {
        float px = number(2), py = number(3);
        if (GlobalToLocal(px, py))
            printLine(StringPrintf(L"Local: %f %f", double(px), double(py)));
    }
    else if (command == L"setcolor")
    {
        if (type == INSTANCE_IMAGE)
            SetColor(WStringToInt(arguments[1]));
        else
            printLine(L"Only works on images.");
    }
    else if (command == L"setmaterial")
    {
        if (arguments[1] == L"mask")
            SetMaterial(4);
        else if (arguments[1] == L"maskedalpha")
            SetMaterial(0x10001);
    }
}

void Instance_Base::Inspect()
{
    std::vector<const Instance_Base*> ancestors;
    for (const Instance_Base* node = parent.GetInstance(); node && ancestors.size() < size_t(MaxTreeDepth);
         node = node->parent.GetInstance())
        ancestors.push_back(node);
    std::wstring path = L"-={";
    for (auto node = ancestors.rbegin(); node != ancestors.rend(); ++node)
        path += (*node)->name + L".";
    path += name + L"}=-";
    if (const RInstanceClass* record = RObjectCast<RInstanceClass>(GetClass()))
        path += L" (" + record->GetLuaClassName() + L")";
    printLine(path);

    float left, top, right, bottom;
    GetBounds(left, top, right, bottom, true);
    printLine(StringPrintf(L"A: %.2f P: %.1f %.1f S: %.2f %.2f R: %.3f @ %.1f,%.1f x %.1f,%.1f",
                           double(opacity), double(x), double(y), double(scaleX), double(scaleY),
                           double(rotation), double(left), double(top), double(right), double(bottom)));
}

} // namespace TarnEngine
