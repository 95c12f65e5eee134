// Text fields: the case of typed letters from Shift and Caps Lock, keys that type nothing, the
// refusals, scrolling with Home, End and Backspace, the caret, and random key streams that must
// keep the caret inside a visible part that fits.
#include "tests/scene/widgets/WidgetFixture.h"

#include "engine/core/text/TextConversion.h"
#include "engine/scene/display/Instance_Text.h"
#include "engine/scene/widgets/TextField.h"
#include "platform/window/ScriptedWindowSystem.h"

#include <SDL.h>

#include <random>

namespace WidgetTest
{

// A text that measures 10 pixels a character; 'W' and 'w' measure `wide`.
class MeasuredText : public Instance_Text
{
    TARN_RCLASS(MeasuredText)
public:
    MeasuredSize MeasureText(const std::wstring& part) override
    {
        MeasuredSize size;
        for (wchar_t c : part)
            size.width += (c == L'W' || c == L'w') ? wide : 10;
        size.height = 12;
        return size;
    }
    static inline int32_t wide = 20;
};
TARN_IMPLEMENT_RCLASS(MeasuredText, Instance_Text, RObjectFactory<MeasuredText>)

namespace
{

constexpr uint32_t kShift = 0x10;
constexpr uint32_t kLeft = 37;
constexpr uint32_t kRight = 39;
constexpr uint32_t kHome = 36;
constexpr uint32_t kEnd = 35;
constexpr uint32_t kBackspace = 8;
constexpr uint32_t kDelete = 46;

class TextFields : public WidgetFixture
{
protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        TextField::SetKeyboard(&windows);
    }
    void TearDown() override
    {
        TextField::SetKeyboard(nullptr);
        WidgetFixture::TearDown();
    }

    // A focused field whose text box is `box` pixels wide, at x 5 in the field.
    TextField* Field(int32_t box = 55)
    {
        Container* form = Make<Container>(root, L"form");
        Load(form);
        TextField* field = Make<TextField>(form, L"name", L"button");
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(field, L"", L"text", true, MeasuredText::StaticClass(), &made);
        text = RObjectCast<MeasuredText>(made);
        text->SetWidth(box);
        text->SetPosition(5, 0);
        bar = Movie(field, L"bar");
        bar->definitionName = L"box3";
        Load(field);
        form->SetFocus(field);
        return field;
    }

    void Type(TextField* field, const std::string& keys)
    {
        for (char key : keys)
            field->OnKeyDown(field->movieHandle, uint32_t(uint8_t(key)));
    }

    static std::string Visible(const TextField* field)
    {
        return WStringToAnsi(field->text.substr(field->firstVisible, field->endVisible - field->firstVisible));
    }

    Platform::ScriptedWindowSystem windows;
    MeasuredText* text = nullptr;
    Instance_Movie* bar = nullptr;
};

TEST_F(TextFields, LettersTakeTheirCaseFromShiftAndCapsLock)
{
    struct Case
    {
        uint16_t modifiers;
        const char* typed;
    };
    const Case cases[] = {
        {0, "a"}, {KMOD_LSHIFT, "A"}, {KMOD_RSHIFT, "A"}, {KMOD_CAPS, "A"}, {KMOD_CAPS | KMOD_LSHIFT, "a"},
    };
    TextField* field = Field(500);
    for (const Case& c : cases)
    {
        field->text.clear();
        field->caret = field->firstVisible = field->endVisible = 0;
        windows.SetHeldModifiers(c.modifiers);
        Type(field, "A");
        EXPECT_EQ(WStringToAnsi(field->text), c.typed) << c.modifiers;
    }
}

TEST_F(TextFields, OnlySpacesDigitsLettersAndKeypadDigitsType)
{
    TextField* field = Field(500);
    // Up, Down, F1, keypad +, keypad -, a keyboard layout's punctuation keys and Shift itself.
    for (uint32_t key : {38u, 40u, 112u, 107u, 109u, 106u, 110u, 111u, 186u, 188u, 190u, 222u, kShift, 0u})
        field->OnKeyDown(field->movieHandle, key);
    EXPECT_EQ(field->text, L"");
    EXPECT_TRUE(TakeSounds().empty()) << "a refused key does nothing";
    for (uint32_t key : {101u, 96u, uint32_t('7'), uint32_t(' '), uint32_t('Q')})
        field->OnKeyDown(field->movieHandle, key);
    EXPECT_EQ(field->text, L"507 q");
    EXPECT_EQ(TakeSounds().size(), 5u);
}

TEST_F(TextFields, Refusals)
{
    TextField* field = Field(500);
    field->allowRepeatedSpaces = false;
    Type(field, "A  B");
    EXPECT_EQ(field->text, L"a b");
    field->OnKeyDown(field->movieHandle, kLeft);
    field->OnKeyDown(field->movieHandle, kLeft);
    Type(field, " ");
    EXPECT_EQ(field->text, L"a b") << "nor before a space";

    field->allowedCharacters = L"0123456789ABC";
    Type(field, "1D");
    windows.SetHeldModifiers(0);
    Type(field, "C");
    EXPECT_EQ(field->text, L"a1c b") << "listed upper-case letters admit both cases";

    field->maxLength = 5;
    Type(field, "2");
    EXPECT_EQ(field->text.size(), 5u);
    field->maxLength = TextField::Unlimited;
    field->maxTextWidth = 60;
    Type(field, "2");
    EXPECT_EQ(field->text, L"a1c b") << "the whole text must measure narrower than 60";
}

TEST_F(TextFields, HomeEndAndBackspaceScrollTheView)
{
    TextField* field = Field(55); // five characters fit
    Type(field, "ABCDEFGHIJ");
    EXPECT_EQ(Visible(field), "fghij");
    EXPECT_EQ(field->caret, 10u);
    field->OnKeyDown(field->movieHandle, kHome);
    EXPECT_EQ(Visible(field), "abcde");
    EXPECT_EQ(field->caret, 0u);
    field->OnKeyDown(field->movieHandle, kEnd);
    EXPECT_EQ(Visible(field), "fghij");

    for (int i = 0; i < 5; ++i)
        field->OnKeyDown(field->movieHandle, kLeft);
    ASSERT_EQ(field->caret, field->firstVisible);
    field->OnKeyDown(field->movieHandle, kBackspace);
    EXPECT_EQ(WStringToAnsi(field->text), "abcdfghij");
    EXPECT_EQ(field->firstVisible, 4u) << "one character to the left";
    EXPECT_EQ(Visible(field), "fghij");
    EXPECT_EQ(field->caret, 4u);

    field->OnKeyDown(field->movieHandle, kDelete);
    EXPECT_EQ(WStringToAnsi(field->text), "abcdghij");
    EXPECT_EQ(text->text, L"ghij") << "the text child shows the visible part";
    EXPECT_FLOAT_EQ(bar->x, 5.0f) << "the caret sits at the text child's x plus the part before it";
}

TEST_F(TextFields, TheCaretBlinksOnlyWhileFocused)
{
    TextField* field = Field();
    EXPECT_TRUE(bar->visible);
    EXPECT_TRUE(bar->playing);
    field->owner->ClearFocus(false);
    EXPECT_FALSE(field->focused);
    EXPECT_FALSE(bar->visible);
    Type(field, "A");
    EXPECT_EQ(field->text, L"") << "keys need the focus";

    field->OnMouseDown(field->movieHandle, 0);
    EXPECT_TRUE(field->focused);
    field->SetEnabled(false);
    EXPECT_FALSE(field->focused) << "disabling takes the focus away";

    SetGlobal("f", field);
    field->SetEnabled(true);
    ASSERT_TRUE(Run("f:SetFocus(true)"));
    EXPECT_TRUE(bar->visible);
    EXPECT_EQ(field->owner->focusedComponent, nullptr);
    Type(field, "AB");
    ASSERT_TRUE(Run("typed = f:GetText()"));
    EXPECT_EQ(Global("typed"), "ab");
}

TEST_F(TextFields, RandomKeyStreamsKeepTheCaretInAVisiblePartThatFits)
{
    const uint32_t keys[] = {'A', 'W', ' ', '5', 101, kLeft, kRight, kHome, kEnd, kBackspace, kDelete, 38, 112};
    std::mt19937 random(20261210);
    // Wide letters much wider than the others can push the caret out of a part that fits.
    MeasuredText::wide = 45;
    for (int run = 0; run < 40; ++run)
    {
        TextField* field = Field(50 + int32_t(random() % 60));
        field->maxLength = 1 + random() % 30;
        field->allowRepeatedSpaces = random() % 2 == 0;
        for (int step = 0; step < 200; ++step)
        {
            windows.SetHeldModifiers(random() % 2 ? KMOD_LSHIFT : 0);
            const uint32_t key = keys[random() % std::size(keys)];
            field->OnKeyDown(field->movieHandle, key);
            const uint32_t length = uint32_t(field->text.size());
            ASSERT_LE(field->firstVisible, field->caret) << run << ":" << step;
            ASSERT_LE(field->caret, field->endVisible) << run << ":" << step;
            ASSERT_LE(field->endVisible, length) << run << ":" << step;
            ASSERT_LE(length, field->maxLength);
            const std::wstring visible =
                field->text.substr(field->firstVisible, field->endVisible - field->firstVisible);
            ASSERT_LT(text->MeasureText(visible).width, text->boxWidth) << run << ":" << step;
        }
        root->RemoveAndQueueDelete(RObjectCast<Instance_Base>(field->owner));
        root->DeletePending();
    }
    MeasuredText::wide = 20;
}

} // namespace
} // namespace WidgetTest
