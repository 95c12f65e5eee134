// The typed-code reader; see TypedCodes.h.
#include "game/core/TypedCodes.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/scene/ui/UserInterface.h"

#include <ctime>

using namespace TarnEngine;

namespace
{

CalendarDate localDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

void engineConsole(const std::wstring& line)
{
    if (UserInterface* ui = UserInterface::Get())
        if (Console* console = ui->GetConsole())
            console->HandleConsoleFunction(line);
}

// The character a key code stands for, or 0: the letter keys give their lower-case letter, the
// space bar a space.
wchar_t keyCharacter(uint32_t keyCode)
{
    if (keyCode >= 'A' && keyCode <= 'Z')
        return wchar_t(keyCode - 'A' + 'a');
    if (keyCode == ' ')
        return L' ';
    return 0;
}

} // namespace

TypedCodeReader::TypedCodeReader() : date(&localDate), console(&engineConsole) {}

bool TypedCodeReader::IsWindowOpen(const CalendarDate& d)
{
    if (d.year > 2010 || d.month > 7)
        return false;
    return !(d.month == 7 && d.day > 12);
}

void TypedCodeReader::fillTable()
{
    table = {{L"kvmwp", L"findall"}, {L"tjhuxe", L"ispywin"}};
}

void TypedCodeReader::OnKeyUp(uint32_t keyCode)
{
    if (table.empty())
        fillTable();
    if (!date || !IsWindowOpen(date()))
        return;
    const wchar_t c = keyCharacter(keyCode);
    if (!c)
        return;
    buffer += c;
    for (const auto& [code, command] : table)
    {
        if (code.compare(0, buffer.size(), buffer) != 0 || buffer.size() > code.size())
            continue;
        if (code == buffer)
        {
            buffer.clear();
            if (console)
                console(command);
        }
        return;
    }
    buffer.clear();
}
