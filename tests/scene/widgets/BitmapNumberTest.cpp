// Bitmap numbers: which slots show which digits, signs and separators for each alignment, the
// smallest int, and the centring offset.
#include "tests/scene/widgets/InputFixture.h"

#include "engine/scene/widgets/BitmapNumber.h"

#include <climits>
#include <cmath>

namespace WidgetTest
{
namespace
{

class BitmapNumbers : public WidgetFixture
{
protected:
    // A number with `count` digit slots 20 pixels apart, each with a 16-pixel picture.
    BitmapNumber* MakeNumber(int count, float px = 0, float py = 0)
    {
        BitmapNumber* number = Make<BitmapNumber>(root, L"score", L"", px, py);
        for (int i = 0; i < count; ++i)
        {
            Instance_Movie* digit = Movie(number, L"digit_" + std::to_wstring(i), 20.0f * float(i), 0);
            Leaf(digit, L"picture", INSTANCE_IMAGE, 0, 0, 16, 24);
            Movie(digit, L"minus");
            Movie(digit, L"point");
        }
        Load(number);
        return number;
    }

    // One character a slot: the digit shown, '.' for a hidden digit; then '-' and ',' when the
    // slot's minus or point shows.
    static std::string Shown(BitmapNumber& number)
    {
        std::string text;
        for (const BitmapNumber::DigitSlot& slot : number.slots)
        {
            const auto* digit = RObjectCast<Instance_Movie>(slot.digit.GetInstance());
            text += digit->visible ? char('0' + digit->requestedFrame) : '.';
            if (slot.minus.GetInstance()->visible)
                text += '-';
            if (slot.point.GetInstance()->visible)
                text += ',';
            text += ' ';
        }
        return text;
    }
};

TEST_F(BitmapNumbers, DigitsSignsAndSeparators)
{
    struct Case
    {
        int32_t value;
        int32_t alignment;
        bool group;
        bool zeros;
        const char* shown;
    };
    const Case cases[] = {
        {-1234, BitmapNumber::AlignLeft, true, false, "1-, 2 3 4 . "},
        {42, BitmapNumber::AlignRight, false, false, ". . . 4 2 "},
        {42, BitmapNumber::AlignRight, false, true, "0 0 0 4 2 "},
        {42, BitmapNumber::AlignLeft, false, false, "4 2 . . . "},
        {0, BitmapNumber::AlignLeft, false, false, "0 . . . . "},
        {123456, BitmapNumber::AlignLeft, false, false, ". . . . . "},
        {123456, BitmapNumber::AlignCentre, false, false, ". . . . . "},
        {-7, BitmapNumber::AlignRight, false, false, ". . . . 7- "},
        {-98765, BitmapNumber::AlignRight, true, false, "9- 8, 7 6 5 "},
    };
    BitmapNumber* number = MakeNumber(5);
    for (const Case& c : cases)
    {
        number->alignment = c.alignment;
        number->groupThousands = c.group;
        number->fillWithZeros = c.zeros;
        number->SetValue(c.value);
        EXPECT_EQ(Shown(*number), c.shown) << c.value;
    }
}

TEST_F(BitmapNumbers, RightAlignedOverflowShowsTheLastDigits)
{
    BitmapNumber* number = MakeNumber(4);
    number->alignment = BitmapNumber::AlignRight;
    number->SetValue(123456);
    EXPECT_EQ(Shown(*number), "3 4 5 6 ");
    EXPECT_EQ(number->shownCount, 4);
}

TEST_F(BitmapNumbers, TheSmallestIntHasItsMagnitude)
{
    BitmapNumber* number = MakeNumber(12);
    number->alignment = BitmapNumber::AlignLeft;
    number->groupThousands = true;
    number->SetValue(INT_MIN); // -2147483648
    EXPECT_EQ(number->shownCount, 10);
    const auto digitAt = [&](size_t slot)
    { return RObjectCast<Instance_Movie>(number->slots[slot].digit.GetInstance())->requestedFrame; };
    const uint32_t expected[] = {2, 1, 4, 7, 4, 8, 3, 6, 4, 8};
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(digitAt(i), expected[i]) << i;
    EXPECT_TRUE(number->slots[0].minus.GetInstance()->visible);
    EXPECT_TRUE(number->slots[0].point.GetInstance()->visible) << "2,147,483,648";
    EXPECT_TRUE(number->slots[3].point.GetInstance()->visible);
    EXPECT_TRUE(number->slots[6].point.GetInstance()->visible);
    EXPECT_FALSE(number->slots[9].point.GetInstance()->visible);
}

TEST_F(BitmapNumbers, CentringMovesByTheSlotOffsetAndHalfAStep)
{
    BitmapNumber* number = MakeNumber(5, 100.5f, 40.0f);
    EXPECT_FLOAT_EQ(number->halfStepX, 10.0f) << "(36 - 16) / 2";
    EXPECT_FLOAT_EQ(number->halfStepY, 0.0f);
    number->alignment = BitmapNumber::AlignCentre;
    number->SetValue(42); // h = 1.5: slot 1's offset and half a step
    EXPECT_FLOAT_EQ(number->x, std::floor(100.5f + 20.0f + 10.0f));
    EXPECT_FLOAT_EQ(number->y, 40.0f);
    number->SetValue(123); // h = 1: slot 1's offset alone
    EXPECT_FLOAT_EQ(number->x, std::floor(100.5f + 20.0f));
    number->SetValue(12345);
    EXPECT_FLOAT_EQ(number->x, 100.5f) << "all slots used: the loaded position";
}

using BitmapNumberDefinitions = InputFixture;

TEST_F(BitmapNumberDefinitions, DigitMoviesShowTheirDigitFrames)
{
    // Five 10-frame digit movies 20 pixels apart, each with "minus" and "point".
    BitmapNumber* number = Create<BitmapNumber>(root, L"w_number", L"score", 100, 40);
    ASSERT_NE(number, nullptr);
    ASSERT_EQ(number->slotCount, 5);
    number->groupThousands = true;
    number->SetValue(-1234);
    std::string frames;
    for (const BitmapNumber::DigitSlot& slot : number->slots)
    {
        const auto* digit = RObjectCast<Instance_Movie>(slot.digit.GetInstance());
        frames += digit->visible ? char('0' + digit->currentFrame) : '.';
    }
    EXPECT_EQ(frames, "1234.");
    EXPECT_TRUE(number->slots[0].minus.GetInstance()->visible);
    EXPECT_TRUE(number->slots[0].point.GetInstance()->visible) << "1,234";
    EXPECT_FALSE(number->slots[1].point.GetInstance()->visible);
}

TEST_F(BitmapNumberDefinitions, ScriptsSetTheNumber)
{
    BitmapNumber* number = Create<BitmapNumber>(root, L"w_number", L"score", 100, 40);
    ASSERT_NE(number, nullptr);
    SetGlobal("score", number);
    ASSERT_TRUE(Run("score:SetValue(305)"));
    EXPECT_EQ(number->value, 305);
    EXPECT_EQ(number->shownCount, 3);
    // A value that is not a number leaves the number as it was.
    ASSERT_TRUE(Run("score:SetValue('many')"));
    EXPECT_EQ(number->value, 305);
}

TEST_F(BitmapNumbers, NoDigitChildrenShowNothing)
{
    BitmapNumber* number = MakeNumber(0);
    number->SetValue(77);
    EXPECT_TRUE(number->slots.empty());
    EXPECT_EQ(number->shownCount, 0);
}

} // namespace
} // namespace WidgetTest
