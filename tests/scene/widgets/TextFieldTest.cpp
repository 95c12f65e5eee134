// Text fields driven by the window's keys and characters through the user interface: typed
// characters of every kind, keys that type nothing, the refusals,
// scrolling with Home, End and Backspace, the caret, the focus taken by a click, and random key
// streams that must keep the caret inside a visible part that fits.
#include "tests/scene/widgets/InputFixture.h"

#include "engine/core/text/TextConversion.h"


#include <random>

namespace WidgetTest
{

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

class TextFields : public InputFixture
{
protected:
    // A field of a form at (100, 100), its text box `box` pixels wide, focused by a click on it.
    TextField* Field(int32_t box = 55)
    {
        form = Create<Container>(root, L"w_container", L"form", 100, 100);
        TextField* field = Create<TextField>(form, L"w_field", L"name", 20, 20);
        text = Find<MeasuredText>(field, L"text");
        bar = Find(field, L"bar");
        if (!text || !bar)
            return field;
        text->SetWidth(box);
        Click(150, 130);
        return field;
    }

    static std::string Visible(const TextField* field)
    {
        return WStringToAnsi(field->text.substr(field->firstVisible, field->endVisible - field->firstVisible));
    }

    Container* form = nullptr;
    MeasuredText* text = nullptr;
    Instance_Movie* bar = nullptr;
};

TEST_F(TextFields, TypedCharactersComeFromTheCharacterMessages)
{
    // What the window's characters say is what the field holds: punctuation, letters of other
    // scripts, characters beyond the Basic Multilingual Plane.
    const char* const texts[] = {"O'Neil", "Anne-Marie", "Zo\xC3\xAB", ("\xC3\x81ngel \xC5\x81\xC3\xB3" "d\xC5\xBA"),
                                 "\xD0\x96\xD0\xB5\xD0\xBD\xD1\x8F", "a.b@c, d!?", "\xF0\x9F\x98\x80"};
    TextField* field = Field(5000);
    ASSERT_TRUE(field->focused);
    for (const char* typed : texts)
    {
        Key(kHome);
        while (!field->text.empty())
            Key(kDelete);
        Type(typed);
        EXPECT_EQ(field->text, Utf8ToWString(typed)) << typed;
    }
}

TEST_F(TextFields, KeysThatMakeNoCharacterTypeNothing)
{
    TextField* field = Field(500);
    TakeSounds();
    // Up, Down, F1, the keypad operators, a keyboard layout's punctuation keys, Shift, and letter
    // keys whose character message never came (Ctrl held, say).
    for (uint32_t key : {38u, 40u, 112u, 107u, 109u, 106u, 110u, 111u, 186u, 188u, 190u, 222u, kShift,
                         uint32_t('A'), uint32_t('7'), 101u})
        Key(key);
    // Control characters come as characters too: Enter, Escape, Tab, Backspace, and DEL and C1.
    for (uint32_t character : {13u, 27u, 9u, 8u, 0x7Fu, 0x85u, 0xD800u})
        ui->OnChar(character);
    EXPECT_EQ(field->text, L"");
    EXPECT_TRUE(TakeSounds().empty()) << "a refused key does nothing";
    Type("5 7q");
    EXPECT_EQ(field->text, L"5 7q");
    EXPECT_EQ(TakeSounds(), std::vector<std::wstring>(4, L"tf_click"));
}

TEST_F(TextFields, Refusals)
{
    TextField* field = Field(500);
    field->allowRepeatedSpaces = false;
    Type("a  b");
    EXPECT_EQ(field->text, L"a b");
    Key(kLeft);
    Key(kLeft);
    Type(" ");
    EXPECT_EQ(field->text, L"a b") << "nor before a space";

    field->allowedCharacters = L"0123456789ABC";
    Type("1D");
    Type("c");
    Type("\xC3\xA7");
    EXPECT_EQ(field->text, L"a1c b") << "listed upper-case letters admit both cases; the rule holds for every character";

    field->maxLength = 5;
    Type("2");
    EXPECT_EQ(field->text.size(), 5u);
    field->maxLength = TextField::Unlimited;
    field->maxTextWidth = 60;
    Type("2");
    EXPECT_EQ(field->text, L"a1c b") << "the whole text must measure narrower than 60";
}

TEST_F(TextFields, HomeEndAndBackspaceScrollTheView)
{
    TextField* field = Field(55); // five characters fit
    Type("abcdefghij");
    EXPECT_EQ(Visible(field), "fghij");
    EXPECT_EQ(field->caret, 10u);
    Key(kHome);
    EXPECT_EQ(Visible(field), "abcde");
    EXPECT_EQ(field->caret, 0u);
    Key(kEnd);
    EXPECT_EQ(Visible(field), "fghij");

    for (int i = 0; i < 5; ++i)
        Key(kLeft);
    ASSERT_EQ(field->caret, field->firstVisible);
    Key(kBackspace);
    EXPECT_EQ(WStringToAnsi(field->text), "abcdfghij");
    EXPECT_EQ(field->firstVisible, 4u) << "one character to the left";
    EXPECT_EQ(Visible(field), "fghij");
    EXPECT_EQ(field->caret, 4u);

    Key(kDelete);
    EXPECT_EQ(WStringToAnsi(field->text), "abcdghij");
    EXPECT_EQ(text->text, L"ghij") << "the text child shows the visible part";
    EXPECT_FLOAT_EQ(bar->x, text->x) << "the caret sits at the text child's x plus the part before it";
    Key(kRight);
    EXPECT_FLOAT_EQ(bar->x, text->x + 10.0f);
}

TEST_F(TextFields, HoveringKeepsTheCaretBehindTheText)
{
    TextField* field = Field();
    Type("AB");
    const float behindText = text->x + 20.0f;
    EXPECT_FLOAT_EQ(bar->x, behindText);
    // The over and normal frames place the children anew, the caret with them.
    MoveTo(900, 700);
    EXPECT_EQ(field->currentFrame, 0u);
    MoveTo(200, 130);
    EXPECT_EQ(field->currentFrame, 1u);
    EXPECT_FLOAT_EQ(bar->x, behindText);
}

TEST_F(TextFields, TheFocusComesWithAClickAndTheCaretBlinksOnlyWhileFocused)
{
    TextField* field = Field();
    EXPECT_TRUE(bar->visible);
    EXPECT_TRUE(bar->playing);
    EXPECT_EQ(form->focusedComponent, field);

    // A press on the form beside the field takes the focus away; keys then do nothing.
    Click(400, 300);
    EXPECT_FALSE(field->focused);
    EXPECT_FALSE(bar->visible);
    EXPECT_FALSE(bar->playing);
    Type("a");
    EXPECT_EQ(field->text, L"") << "keys need the focus";

    Click(150, 130);
    EXPECT_TRUE(field->focused);
    // Right presses give no focus.
    Click(400, 300);
    MoveTo(150, 130);
    Press(1);
    Release(1);
    EXPECT_FALSE(field->focused);

    Click(150, 130);
    SetGlobal("f", field);
    ASSERT_TRUE(Run("f:SetEnable(false)"));
    EXPECT_FALSE(field->focused) << "disabling takes the focus away";
    ASSERT_TRUE(Run("f:SetEnable(true) f:SetFocus(true)"));
    EXPECT_TRUE(bar->visible);
    EXPECT_EQ(form->focusedComponent, nullptr) << "the script's focus is the flag alone";
    Type("ab");
    ASSERT_TRUE(Run("typed = f:GetText()"));
    EXPECT_EQ(Global("typed"), "ab");
}

TEST_F(TextFields, TheFocusIsUniqueAcrossNestedContainers)
{
    // outer (a form) holds a field, a panel with a field and a neighbouring panel with a field.
    Container* outer = Create<Container>(root, L"w_container", L"outer", 100, 100);
    TextField* outerField = Create<TextField>(outer, L"w_field", L"outerField", 10, 10);
    Container* left = Create<Container>(outer, L"w_frame", L"left", 10, 100);
    TextField* leftField = Create<TextField>(left, L"w_field", L"leftField", 0, 0);
    Container* right = Create<Container>(outer, L"w_frame", L"right", 10, 200);
    TextField* rightField = Create<TextField>(right, L"w_field", L"rightField", 0, 0);
    ASSERT_EQ(left->owner, outer);
    ASSERT_EQ(leftField->owner, left);

    struct Step
    {
        int x, y;
        TextField* focused;
    };
    const Step steps[] = {
        {150, 120, outerField}, // the outer form's own field
        {150, 210, leftField},  // the inner one takes it from the outer form
        {150, 310, rightField}, // and a neighbouring panel from that one
        {150, 120, outerField}, // the outer form takes it from below
        {160, 250, nullptr},    // a press on a panel's face clears it up to the top
    };
    for (const Step& step : steps)
    {
        Click(step.x, step.y);
        for (TextField* field : {outerField, leftField, rightField})
            EXPECT_EQ(field->focused, field == step.focused) << step.x << "," << step.y << " " << WStringToAnsi(field->name);
    }

    Click(150, 310);
    Type("x");
    EXPECT_EQ(rightField->text, L"x");
    EXPECT_EQ(outerField->text, L"");
    EXPECT_EQ(leftField->text, L"");
}

TEST_F(TextFields, RandomKeyStreamsKeepTheCaretInAVisiblePartThatFits)
{
    // Non-zero: a key; zero: the character message of the letter 'w'.
    const uint32_t keys[] = {'A', 0, ' ', '5', 101, kLeft, kRight, kHome, kEnd, kBackspace, kDelete, 38, 112};
    const char* const typed[] = {"a", "W", " ", "5", "5"};
    std::mt19937 random(20261210);
    // Wide letters much wider than the others can push the caret out of a part that fits.
    MeasuredText::wide = 45;
    for (int run = 0; run < 40; ++run)
    {
        TextField* field = Field(50 + int32_t(random() % 60));
        ASSERT_TRUE(field && field->focused);
        field->maxLength = 1 + random() % 30;
        field->allowRepeatedSpaces = random() % 2 == 0;
        for (int step = 0; step < 200; ++step)
        {
            const size_t pick = random() % std::size(keys);
            if (pick < std::size(typed))
                Type(typed[pick]);
            else
                Key(keys[pick]);
            const uint32_t length = uint32_t(field->text.size());
            ASSERT_LE(field->firstVisible, field->caret) << run << ":" << step;
            ASSERT_LE(field->caret, field->endVisible) << run << ":" << step;
            ASSERT_LE(field->endVisible, length) << run << ":" << step;
            ASSERT_LE(length, field->maxLength);
            const std::wstring visible =
                field->text.substr(field->firstVisible, field->endVisible - field->firstVisible);
            ASSERT_LT(text->MeasureText(visible).width, text->boxWidth) << run << ":" << step;
            ASSERT_EQ(text->text, visible) << run << ":" << step;
        }
        root->RemoveChild(L"form");
        Frames(1);
    }
    MeasuredText::wide = 20;
}

} // namespace
} // namespace WidgetTest
