// A movie that shows a whole number with digit movies prepared in its definition: children
// "digit_0", "digit_1", ... whose frames 0 to 9 show the digits, each with a "minus" and a "point"
// child (the sign and the thousands separator). Left alignment fills slots from the first, right
// alignment ends in the last, centred moves the number so the digits sit in the middle of the
// slots. Digits that do not fit are not shown.
#pragma once

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"

#include <vector>

namespace TarnEngine
{

class BitmapNumber : public Instance_Movie, public IInstanceEventHandler
{
    TARN_RCLASS(BitmapNumber)
    TARN_LUA_CLASS("BitmapNumber")
public:
    enum Alignment : int32_t
    {
        AlignLeft = 0,
        AlignRight = 1,
        AlignCentre = 2,
    };

    struct DigitSlot
    {
        InstanceHandle digit;
        InstanceHandle minus;
        InstanceHandle point;
    };

    void Initialize(const std::wstring& instanceName) override;
    // Also the script method "SetValue"(number).
    void SetValue(int32_t newValue);

    // IInstanceEventHandler
    void OnLoad(InstanceHandle instance) override;

    static void RegisterLua(lua_State* state);

    int32_t value = 0;
    std::vector<DigitSlot> slots;
    int32_t slotCount = 0;
    int32_t shownCount = 0;
    int32_t alignment = AlignLeft;
    bool groupThousands = false;
    bool fillWithZeros = false;
    float baseX = 0.0f;
    float baseY = 0.0f;
    float halfStepX = 0.0f;
    float halfStepY = 0.0f;
};

} // namespace TarnEngine
