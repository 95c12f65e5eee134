// A debugging aid behind the game object's input: while the date window is
// open (1 January to 12 July of any year up to 2010), typing one of two
// letter codes anywhere runs a console command of the hidden-object screen.
// Only the key codes of the letters A to Z and the space bar are read;
// function and keypad keys, whose codes would lower-case into letters, are
// not. The date and the console are injectable for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct CalendarDate
{
    int32_t year = 0;
    int32_t month = 0; // 1 to 12
    int32_t day = 0;   // 1 to 31
};

class TypedCodeReader
{
public:
    using DateSource = std::function<CalendarDate()>;
    using ConsoleDispatch = std::function<void(const std::wstring& line)>;

    // Defaults: the local date, and the engine console's command dispatcher.
    TypedCodeReader();

    void SetDateSource(DateSource source) { date = std::move(source); }
    void SetConsole(ConsoleDispatch dispatch) { console = std::move(dispatch); }

    static bool IsWindowOpen(const CalendarDate& date);

    // One key-up event's key code.
    void OnKeyUp(uint32_t keyCode);

    const std::wstring& GetBuffer() const { return buffer; }

private:
    void fillTable();

    std::vector<std::pair<std::wstring, std::wstring>> table;
    std::wstring buffer;
    DateSource date;
    ConsoleDispatch console;
};
