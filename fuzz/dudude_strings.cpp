// Fuzz target: the two "Dudude" strings (the input up to the first zero byte, then up to the next)
// set up a model of the board as the board's set-up does, and the remaining bytes are presses on
// containers whose names they spell. Every press that acts lands inside the grid, and every index
// stays inside its cell's list (or at 0 for a cell without values).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/core/text/TextConversion.h"
#include "game/minigames/OctaneBoard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t first = input.find('\0');
    if (first == std::string::npos)
        return 0;
    const size_t second = input.find('\0', first + 1);
    const std::string presses = second == std::string::npos ? std::string() : input.substr(second + 1);
    const std::wstring anim = Utf8ToWString(std::string_view(input).substr(0, first));
    const std::wstring consts = Utf8ToWString(std::string_view(input).substr(first + 1, second - first - 1));

    std::vector<std::vector<int32_t>> items;
    bool extra = false;
    std::vector<std::wstring> texts;
    std::vector<int32_t> targets;
    const bool valuesRead = OctaneBoard::ParseValues(anim, items, extra);
    const bool targetsRead = OctaneBoard::ParseTargets(consts, texts, targets);
    if (items.size() > OctaneBoard::CellCount || (targetsRead && targets.size() != OctaneBoard::TargetCount))
        abort();
    if (!valuesRead || !targetsRead)
        return 0;

    std::vector<int32_t> values[OctaneBoard::Rows][OctaneBoard::Columns];
    uint32_t current[OctaneBoard::Rows][OctaneBoard::Columns] = {};
    uint32_t random = 0x9E3779B9u;
    for (size_t i = 0; i < items.size(); ++i)
    {
        std::vector<int32_t>& cell = values[i / OctaneBoard::Columns][i % OctaneBoard::Columns];
        cell = items[i];
        if (cell.size() == 2 || cell.empty())
            abort();
        random = random * 1664525u + 1013904223u;
        current[i / OctaneBoard::Columns][i % OctaneBoard::Columns] = cell.size() == 1 ? 0 : (random & 1) + 1;
    }
    // Each press: a name from three bytes (row and column as signed numbers, or a letter), and up or down.
    for (size_t i = 0; i + 2 < presses.size(); i += 3)
    {
        const auto part = [](uint8_t b) -> std::wstring {
            return b & 0x80 ? std::wstring(1, wchar_t(L'a' + b % 26))
                            : std::to_wstring(int(int8_t(b << 1)) / 2);
        };
        const std::wstring name = L"cont_" + part(uint8_t(presses[i])) + L"_" + part(uint8_t(presses[i + 1]));
        uint32_t row = 0, column = 0;
        if (!OctaneBoard::ParseCellName(name, L"cont", row, column))
            continue;
        if (row >= OctaneBoard::Rows || column >= OctaneBoard::Columns)
            abort();
        uint32_t& index = current[row][column];
        index = OctaneBoard::NextIndex(index, values[row][column].size(), (presses[i + 2] & 1) != 0);
        if (values[row][column].empty() ? index != 0 : index >= values[row][column].size())
            abort();
    }
    return 0;
}
