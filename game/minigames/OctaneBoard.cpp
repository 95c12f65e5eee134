// The Dudude puzzle board; see OctaneBoard.h.
#include "game/minigames/OctaneBoard.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/widgets/Button.h"
#include "game/core/Core.h"
#include "game/core/GameScript.h"
#include "game/minigames/OctaneAnimController.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(OctaneBoard, Container, RObjectFactory<OctaneBoard>, L"OctaneBoard",
                              &OctaneBoard::RegisterLua)

// The nested class is known to definitions and scripts by its short name.
RClass* OctaneBoard::OctaneBtnContainer::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record
                  : RInstanceClass::Obtain(record, "OctaneBtnContainer", &Container::StaticClass,
                                           RObjectFactory<OctaneBoard::OctaneBtnContainer>,
                                           &typeid(OctaneBoard::OctaneBtnContainer), L"OctaneBtnContainer",
                                           &OctaneBoard::OctaneBtnContainer::RegisterLua);
}

namespace
{

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

std::wstring stringText(const std::wstring& key)
{
    const StringTable* strings = StringTable::GetKeyed();
    return strings ? strings->GetText(key) : key;
}

bool isDecimal(const std::wstring& text)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9')
            return false;
    return true;
}

} // namespace

// ---- The button container.

void OctaneBoard::OctaneBtnContainer::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Container::StaticScriptName());
    def.SetConstructor(&LuaConstruct<OctaneBoard::OctaneBtnContainer>);
    def.Build(StaticScriptName());
}

void OctaneBoard::OctaneBtnContainer::HandleButtonPressed(Button* button)
{
    if (!board || !button)
        return;
    uint32_t row = 0, column = 0;
    if (!ParseCellName(name, L"cont", row, column))
        return;
    if (button->name == L"btn_up")
        board->Press(row, column, true);
    else if (button->name == L"btn_down")
        board->Press(row, column, false);
}

// ---- Parsing.

int32_t OctaneBoard::ParseNumber(std::wstring text)
{
    Trim(text);
    return WStringToLong(text);
}

bool OctaneBoard::ParseValues(const std::wstring& text, std::vector<std::vector<int32_t>>& items, bool& extra)
{
    items.clear();
    extra = false;
    const std::vector<std::wstring> parts = SplitString(text, L';', true);
    if (parts.empty())
        return false;
    for (size_t i = 0; i < parts.size(); ++i)
    {
        const std::vector<std::wstring> numbers = SplitString(parts[i], L',', true);
        if (numbers.empty() || numbers.size() == 2)
            return false;
        if (i >= CellCount)
        {
            extra = true;
            continue;
        }
        std::vector<int32_t> values;
        values.reserve(numbers.size());
        for (const std::wstring& number : numbers)
            values.push_back(ParseNumber(number));
        items.push_back(std::move(values));
    }
    return true;
}

bool OctaneBoard::ParseTargets(const std::wstring& text, std::vector<std::wstring>& texts,
                               std::vector<int32_t>& values)
{
    texts = SplitString(text, L',', true);
    values.clear();
    if (texts.size() != TargetCount)
        return false;
    for (const std::wstring& item : texts)
        values.push_back(ParseNumber(item));
    return true;
}

uint32_t OctaneBoard::NextIndex(uint32_t current, size_t count, bool up)
{
    if (count == 0)
        return current;
    if (up)
        return current == 0 || current >= count ? uint32_t(count - 1) : current - 1;
    return current + 1 >= count ? 0 : current + 1;
}

bool OctaneBoard::ParseCellName(const std::wstring& cellName, const wchar_t* prefix, uint32_t& row,
                                uint32_t& column)
{
    const std::vector<std::wstring> parts = SplitString(cellName, L'_');
    if (parts.size() != 3 || parts[0] != prefix || !isDecimal(parts[1]) || !isDecimal(parts[2]))
        return false;
    const uint32_t r = WStringToInt(parts[1]);
    const uint32_t c = WStringToInt(parts[2]);
    if (r >= Rows || c >= Columns)
        return false;
    row = r;
    column = c;
    return true;
}

// ---- The board.

OctaneBoard::~OctaneBoard()
{
    // The cells go after this part of the board.
    for (uint32_t r = 0; r < Rows; ++r)
        for (uint32_t c = 0; c < Columns; ++c)
        {
            if (OctaneAnimController* roller = GetRoller(r, c); roller && roller->board == this)
                roller->board = nullptr;
            if (OctaneBtnContainer* buttons = GetButtons(r, c); buttons && buttons->board == this)
                buttons->board = nullptr;
        }
}

void OctaneBoard::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Container::StaticScriptName());
    def.SetConstructor(&LuaConstruct<OctaneBoard>);
    def.Build(StaticScriptName());
}

OctaneAnimController* OctaneBoard::GetRoller(uint32_t row, uint32_t column) const
{
    return row < Rows && column < Columns
               ? RObjectCast<OctaneAnimController>(grid[row][column].roller.GetInstance())
               : nullptr;
}

OctaneBoard::OctaneBtnContainer* OctaneBoard::GetButtons(uint32_t row, uint32_t column) const
{
    return row < Rows && column < Columns
               ? RObjectCast<OctaneBtnContainer>(grid[row][column].buttons.GetInstance())
               : nullptr;
}

const OctaneBoard::Cell* OctaneBoard::GetCell(uint32_t row, uint32_t column) const
{
    return row < Rows && column < Columns ? &grid[row][column] : nullptr;
}

int32_t OctaneBoard::CellValue(uint32_t row, uint32_t column) const
{
    const Cell* cell = GetCell(row, column);
    if (!cell || !GetButtons(row, column) || !GetRoller(row, column) || cell->current >= cell->values.size())
        return -1;
    return cell->values[cell->current];
}

void OctaneBoard::OnLoad(InstanceHandle instance)
{
    Container::OnLoad(instance);
    if (IsSelf(instance) && state == StateNotReady)
        setup();
}

void OctaneBoard::setup()
{
    if (setupGrid() && setupValues() && setupTargets())
    {
        state = StatePlaying;
        // Where each cell starts (the index into its list), for whoever follows a game in the log.
        std::wstring starts;
        for (uint32_t r = 0; r < Rows; ++r)
            for (uint32_t c = 0; c < Columns; ++c)
                starts += (starts.empty() ? L"" : L",") + std::to_wstring(grid[r][c].current);
        logGame(L"the Dudude board starts at " + starts);
    }
    else
        logGame(L"the Dudude board is not complete and stays still");
}

bool OctaneBoard::setupGrid()
{
    for (uint32_t r = 0; r < Rows; ++r)
        for (uint32_t c = 0; c < Columns; ++c)
        {
            const std::wstring suffix = std::to_wstring(r) + L"_" + std::to_wstring(c);
            auto* buttons = RObjectCast<OctaneBtnContainer>(FindChildByPath(L"cont_" + suffix).GetInstance());
            auto* roller =
                RObjectCast<OctaneAnimController>(FindChildByPath(L"anim_" + suffix).GetInstance());
            if (!buttons || !roller)
                return false;
            buttons->board = this;
            roller->board = this;
            grid[r][c].buttons = buttons->movieHandle;
            grid[r][c].roller = roller->movieHandle;
        }
    return true;
}

bool OctaneBoard::setupValues()
{
    std::vector<std::vector<int32_t>> items;
    bool extra = false;
    if (!ParseValues(stringText(ValuesKey), items, extra))
        return false;
    if (extra)
        logGame(L"\"Dudude Anim Values\" has more items than the twelve cells; the rest are left out");
    for (size_t i = 0; i < items.size(); ++i)
    {
        Cell& cell = grid[i / Columns][i % Columns];
        cell.values = std::move(items[i]);
        OctaneAnimController* roller = GetRoller(uint32_t(i / Columns), uint32_t(i % Columns));
        OctaneBtnContainer* buttons = GetButtons(uint32_t(i / Columns), uint32_t(i % Columns));
        if (!roller || !buttons)
            return false;
        if (cell.values.size() == 1)
        {
            roller->SetDigitColour(Blue);
            roller->ShowValue(cell.values[0]);
            buttons->SetEnabled(false);
            buttons->SetVisible(false);
            cell.current = 0;
        }
        else
        {
            roller->SetDigitColour(Black);
            cell.current = (RandomGenerator::ForThread().Next() & 1) + 1;
            roller->ShowValue(cell.values[cell.current]);
        }
    }
    return true;
}

bool OctaneBoard::setupTargets()
{
    std::vector<std::wstring> texts;
    std::vector<int32_t> values;
    if (!ParseTargets(stringText(TargetsKey), texts, values))
        return false;
    targets.clear();
    for (uint32_t i = 0; i < TargetCount; ++i)
    {
        const std::wstring labelName =
            i < Rows ? L"lbl_" + std::to_wstring(i) + L"_x" : L"lbl_x_" + std::to_wstring(i - Rows);
        auto* label = RObjectCast<Instance_Text>(FindChildByPath(labelName).GetInstance());
        if (!label)
        {
            targets.clear();
            return false;
        }
        label->SetColor(Red);
        label->SetText(texts[i]);
        targets.push_back({values[i], label->handle});
    }
    return true;
}

void OctaneBoard::Press(uint32_t row, uint32_t column, bool up)
{
    if (state != StatePlaying || row >= Rows || column >= Columns)
        return;
    OctaneAnimController* roller = GetRoller(row, column);
    if (!roller || roller->IsRolling())
        return;
    Cell& cell = grid[row][column];
    cell.current = NextIndex(cell.current, cell.values.size(), up);
    roller->Roll(CellValue(row, column), up);
}

void OctaneBoard::OnRollStopped(OctaneAnimController& roller)
{
    if (state != StatePlaying)
        return;
    uint32_t row = 0, column = 0;
    if (!ParseCellName(roller.name, L"anim", row, column) || targets.size() != TargetCount)
        return;
    int64_t rowSum = 0;
    for (uint32_t c = 0; c < Columns; ++c)
        rowSum += CellValue(row, c);
    int64_t columnSum = 0;
    for (uint32_t r = 0; r < Rows; ++r)
        columnSum += CellValue(r, column);
    Target& rowTarget = targets[row];
    Target& columnTarget = targets[Rows + column];
    if (auto* label = RObjectCast<Instance_Text>(rowTarget.label.GetInstance()))
        label->SetColor(rowSum == rowTarget.target ? Green : Red);
    if (auto* label = RObjectCast<Instance_Text>(columnTarget.label.GetInstance()))
        label->SetColor(columnSum == columnTarget.target ? Green : Red);
    for (const Target& target : targets)
    {
        auto* label = RObjectCast<Instance_Text>(target.label.GetInstance());
        if (!label || label->colour == Red)
            return;
    }
    state = StateSolved;
    RaiseScriptEvent("MinigameComplete", {"OctanePuzzle"});
}

// ---- The script function.

int LuaEnterOctanePuzzle(lua_State* state)
{
    Instance_Base* parent = LuaGetObjectArg<Instance_Base>(state, 1);
    if (!parent)
        return 0;
    Core* core = Core::Get();
    if (!core || !core->EnsureLibraryLoaded(L"octane"))
        return LuaPushBool(state, false);
    auto* movie = parent->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(parent) : nullptr;
    if (!movie)
        return LuaPushBool(state, false);
    const InstanceHandle made = Instance_Movie::CreateChild(movie, L"mov_octane_board", L"octane", nullptr);
    return LuaPushBool(state, made.IsValid());
}
