// The log printing into the engine's console, where the "Log" page shows it, and the bound on the
// lines the console keeps.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/Logger.h"

namespace
{

using namespace TarnEngine;

// The console's lines after the first `from`.
std::vector<std::wstring> linesAfter(const Console& console, size_t from)
{
    const std::vector<std::wstring>& lines = console.GetLines();
    return std::vector<std::wstring>(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
}

TEST(ConsoleLog, LogLinesArePrintedIntoTheConsole)
{
    Logger logger;
    auto console = std::make_unique<Console>();
    logger.RegisterConsoleCommands(*console);
    const size_t start = console->GetLines().size();

    logger.Log(LogLua, "engine/scene/script/Thing.cpp", 12, L"Lua: %s\n.  C    error\n", std::wstring(L"boom"));
    logger.Log(LogUi, nullptr, 0, L"%s", std::wstring(L"100% plain"));
    // The channels and the filter hold for the console as for every output.
    console->HandleConsoleFunction(L"log.disable ui");
    logger.Log(LogUi, nullptr, 0, L"hidden");
    console->HandleConsoleFunction(L"log.filteron keep");
    logger.Log(LogLua, nullptr, 0, L"dropped");
    logger.Log(LogLua, nullptr, 0, L"keep this");
    EXPECT_EQ(linesAfter(*console, start), (std::vector<std::wstring>{L"Thing.cpp(12): Lua: boom", L".  C    error",
                                                                      L"100% plain", L"keep this"}));

    // Lines logged on another thread are not the console's.
    const size_t before = console->GetLines().size();
    std::thread([&logger] { logger.Log(LogLua, nullptr, 0, L"keep: elsewhere"); }).join();
    EXPECT_EQ(console->GetLines().size(), before);

    // A console that goes is no output any more.
    console.reset();
    logger.Log(LogLua, nullptr, 0, L"keep: after the console");
}

TEST(ConsoleLog, TheConsoleKeepsTheNewestLines)
{
    Console console;
    for (size_t i = 0; i < Console::MaxLines + 3; ++i)
        console.Print(std::to_wstring(i));
    const std::vector<std::wstring>& lines = console.GetLines();
    EXPECT_LE(lines.size(), Console::MaxLines);
    EXPECT_GE(lines.size(), Console::MaxLines - Console::TrimmedLines);
    EXPECT_EQ(lines.back(), std::to_wstring(Console::MaxLines + 2));
    // Oldest first, none missing between the first kept and the newest.
    EXPECT_EQ(lines.front(), std::to_wstring(Console::MaxLines + 3 - lines.size()));
}

} // namespace
