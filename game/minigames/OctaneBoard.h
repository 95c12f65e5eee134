// The Dudude number puzzle: three rows and four columns of digit rollers. Some cells hold a fixed
// number; the others roll up and down through a short list with two buttons. Each row and each
// column has a target sum, shown red while its sum is wrong and green once it is right; when all
// seven are green after a roll the puzzle is solved and the scripts hear "MinigameComplete" with
// "OctanePuzzle". The script function "EnterOctanePuzzle" places the board under an instance.
//
// The board reads its numbers from the string table ("Dudude Anim Values", "Dudude Const Values");
// a set-up that fails for any reason leaves the board inert. Parsing and the rolling of an index are
// plain functions, so that content can be checked and fuzzed without a board.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/widgets/Container.h"

#include <cstdint>
#include <string>
#include <vector>

class OctaneAnimController;

class OctaneBoard final : public TarnEngine::Container
{
    TARN_RCLASS(OctaneBoard)
    TARN_LUA_CLASS("OctaneBoard")
public:
    // A cell's buttons "btn_up" and "btn_down"; the container is named "cont_<row>_<column>".
    class OctaneBtnContainer final : public TarnEngine::Container
    {
        TARN_RCLASS(OctaneBtnContainer)
        TARN_LUA_CLASS("OctaneBtnContainer")
    public:
        void HandleButtonPressed(TarnEngine::Button* button) override;
        OctaneBoard* board = nullptr; // not owned; set by the board's set-up
        static void RegisterLua(lua_State* state);
    };

    enum State : int32_t
    {
        StateNotReady = 0,
        StatePlaying = 1,
        StateSolved = 2,
    };

    static constexpr uint32_t Rows = 3;
    static constexpr uint32_t Columns = 4;
    static constexpr uint32_t CellCount = Rows * Columns;
    static constexpr uint32_t TargetCount = Rows + Columns;
    static constexpr uint32_t Red = 0xFF0000;
    static constexpr uint32_t Green = 0x00FF00;
    static constexpr uint32_t Blue = 0x0000FF;
    static constexpr uint32_t Black = 0x000000;
    static constexpr const wchar_t* ValuesKey = L"Dudude Anim Values";
    static constexpr const wchar_t* TargetsKey = L"Dudude Const Values";

    struct Cell
    {
        TarnEngine::InstanceHandle buttons; // the cell's OctaneBtnContainer
        TarnEngine::InstanceHandle roller;  // the cell's OctaneAnimController
        std::vector<int32_t> values;
        uint32_t current = 0;
    };
    struct Target
    {
        int32_t target = 0;
        TarnEngine::InstanceHandle label;
    };

    OctaneBoard() = default;
    ~OctaneBoard() override;

    void OnLoad(TarnEngine::InstanceHandle instance) override;

    // A press of "btn_up" (up) or "btn_down" in the cell's container.
    void Press(uint32_t row, uint32_t column, bool up);
    // A roller's roll ended.
    void OnRollStopped(OctaneAnimController& roller);

    int32_t GetState() const { return state; }
    // values[current], or -1 for a cell without buttons, roller or values, or outside the grid.
    int32_t CellValue(uint32_t row, uint32_t column) const;
    const Cell* GetCell(uint32_t row, uint32_t column) const;
    const std::vector<Target>& GetTargets() const { return targets; }
    OctaneAnimController* GetRoller(uint32_t row, uint32_t column) const;
    OctaneBtnContainer* GetButtons(uint32_t row, uint32_t column) const;

    // ---- Content parsing and rolling, without a board.
    // A number as content writes it: decimal, "0x" hexadecimal or leading-0 octal, blanks trimmed.
    static int32_t ParseNumber(std::wstring text);
    // The cells' values: items split at ';', numbers at ','. False when there is no item, an item
    // without numbers or one with two. Items past the twelfth are dropped (extra is set).
    static bool ParseValues(const std::wstring& text, std::vector<std::vector<int32_t>>& items, bool& extra);
    // Exactly seven targets split at ','; their texts (trimmed) and values.
    static bool ParseTargets(const std::wstring& text, std::vector<std::wstring>& texts,
                             std::vector<int32_t>& values);
    // The index after a press: down one on, up one back, wrapping; an empty list stays where it is.
    static uint32_t NextIndex(uint32_t current, size_t count, bool up);
    // The row and column of a name "<prefix>_<row>_<column>" with both inside the grid.
    static bool ParseCellName(const std::wstring& name, const wchar_t* prefix, uint32_t& row,
                              uint32_t& column);

    static void RegisterLua(lua_State* state);

private:
    void setup();
    bool setupGrid();
    bool setupValues();
    bool setupTargets();

    Cell grid[Rows][Columns];
    std::vector<Target> targets;
    int32_t state = StateNotReady;
};

// "EnterOctanePuzzle"(parent): the board as the child "octane" of the parent instance.
int LuaEnterOctanePuzzle(lua_State* state);
