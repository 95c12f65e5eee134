// Bitmap numbers; see BitmapNumber.h.
#include "engine/scene/widgets/BitmapNumber.h"

#include <algorithm>
#include <cmath>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(BitmapNumber, Instance_Movie, RObjectFactory<BitmapNumber>, L"BitmapNumber",
                              &BitmapNumber::RegisterLua)

namespace
{

void setVisible(const InstanceHandle& instance, bool show)
{
    if (Instance_Base* node = instance.GetInstance())
        node->SetVisible(show);
}

void showDigit(const InstanceHandle& digit, uint32_t frame)
{
    if (Instance_Movie* movie = RObjectCast<Instance_Movie>(digit.GetInstance()))
        movie->SetFrame(frame);
}

InstanceHandle childHandle(Instance_Movie* movie, const wchar_t* childName)
{
    return movie ? movie->FindChildByPath(childName) : InstanceHandle{};
}

Instance_Base* firstImage(const InstanceHandle& digit)
{
    const Instance_Movie* movie = RObjectCast<Instance_Movie>(digit.GetInstance());
    if (!movie)
        return nullptr;
    for (Instance_Base* child : movie->children)
        if (child->type == INSTANCE_IMAGE)
            return child;
    return nullptr;
}

} // namespace

void BitmapNumber::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
}

void BitmapNumber::SetValue(int32_t newValue)
{
    value = newValue;
    shownCount = 0;
    SetPosition(baseX, baseY);
    for (const DigitSlot& slot : slots)
    {
        if (fillWithZeros)
            showDigit(slot.digit, 0);
        setVisible(slot.digit, fillWithZeros);
        setVisible(slot.minus, false);
        setVisible(slot.point, false);
    }

    // The magnitude of the smallest int does not fit an int.
    uint64_t magnitude = newValue < 0 ? uint64_t(-int64_t(newValue)) : uint64_t(newValue);
    int32_t digitCount = 1;
    for (uint64_t rest = magnitude / 10; rest != 0; rest /= 10)
        ++digitCount;

    for (int32_t placed = 0; placed < digitCount; ++placed)
    {
        const uint32_t digit = uint32_t(magnitude % 10);
        magnitude /= 10;
        const int32_t index =
            alignment == AlignRight ? slotCount - shownCount - 1 : digitCount - shownCount - 1;
        if (index < 0 || index >= slotCount || size_t(index) >= slots.size())
            continue;
        const DigitSlot& slot = slots[size_t(index)];
        showDigit(slot.digit, digit);
        setVisible(slot.digit, true);
        // The separator follows the fourth, seventh, ... digit from the right.
        if (groupThousands && shownCount > 0 && shownCount % 3 == 0)
            setVisible(slot.point, true);
        ++shownCount;
    }

    if (alignment == AlignCentre && shownCount < slotCount)
    {
        const float half = float(slotCount - shownCount) * 0.5f;
        const int32_t k = int32_t(half);
        const bool whole = float(k) == half;
        if (const Instance_Base* anchor = size_t(k) < slots.size() ? slots[size_t(k)].digit.GetInstance() : nullptr)
            SetPosition(std::floor(x + anchor->x + (whole ? 0.0f : halfStepX)),
                        std::floor(y + anchor->y + (whole ? 0.0f : halfStepY)));
    }

    if (newValue < 0)
    {
        const int32_t index = alignment == AlignRight ? slotCount - shownCount : 0;
        if (index >= 0 && index < slotCount && size_t(index) < slots.size())
            setVisible(slots[size_t(index)].minus, true);
    }
}

void BitmapNumber::OnLoad(InstanceHandle instance)
{
    if (instance.GetInstance() != static_cast<Instance_Base*>(this))
        return;
    baseX = x;
    baseY = y;
    halfStepX = halfStepY = 0.0f;
    slots.clear();
    for (size_t index = 0; index < children.size(); ++index)
    {
        Instance_Base* digit = FindChildByPath(L"digit_" + std::to_wstring(index)).GetInstance();
        if (!digit)
            break;
        Instance_Movie* movie = RObjectCast<Instance_Movie>(digit);
        DigitSlot slot{digit->handle, childHandle(movie, L"minus"), childHandle(movie, L"point")};
        setVisible(slot.minus, false);
        setVisible(slot.point, false);
        slots.push_back(slot);
    }
    slotCount = int32_t(slots.size());

    if (slots.size() >= 2)
    {
        Instance_Base* first = firstImage(slots[0].digit);
        Instance_Base* second = firstImage(slots[1].digit);
        if (first && second)
        {
            float l0, t0, r0, b0, l1, t1, r1, b1;
            first->GetBounds(l0, t0, r0, b0, true);
            second->GetBounds(l1, t1, r1, b1, true);
            halfStepX = ((std::max(r0, r1) - std::min(l0, l1)) - (r0 - l0)) * 0.5f;
            halfStepY = ((std::max(b0, b1) - std::min(t0, t1)) - (b0 - t0)) * -0.5f;
        }
    }
    SetValue(value);
}

namespace
{

// self:SetValue(number): a game whose score lives in its scripts shows it this way.
int setValue(lua_State* state)
{
    BitmapNumber* self = GetLuaSelf<BitmapNumber>(state);
    int number = 0;
    if (self && LuaGetIntArg(state, number, 2))
        self->SetValue(int32_t(number));
    return 0;
}

} // namespace

void BitmapNumber::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.AddMethod("SetValue", &setValue);
    def.SetConstructor(&LuaConstruct<BitmapNumber>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
