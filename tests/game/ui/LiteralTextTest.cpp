// The literal text path of text instances for what the player typed: no key resolution, no
// numbered or tagged string references, and "^" shown as typed rather than read as a colour, while
// an ordinary SetText of the same text still resolves it.
#include "engine/core/text/StringTable.h"
#include "engine/graphics/text/TextColorCodes.h"
#include "tests/game/ui/DialogFixture.h"

namespace GameUiTest
{
namespace
{

class LiteralText : public DialogFixture
{
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        keys = std::make_unique<StringTable>(StringTable::Keyed);
        files->files[L"translator_en.xml"] = "<t><r KEY=\"Ok\" VALUE=\"Fine\"/></t>";
        ASSERT_TRUE(keys->LoadTranslator(L"en"));
    }
    void TearDown() override
    {
        DialogFixture::TearDown();
        keys.reset();
    }
    std::unique_ptr<StringTable> keys;
};

TEST_F(LiteralText, TypedTextsShowAsTyped)
{
    WidgetTest::MeasuredText text;
    text.Initialize(L"label");
    for (const wchar_t* typed : {L"|T|Ok", L"^FF0000Red", L"a^^b", L"|String|x|y|", L"50%s", L"", L"^"})
    {
        SCOPED_TRACE(typed);
        text.SetLiteralText(typed);
        std::vector<TextColorChange> changes;
        EXPECT_EQ(ParseColorCodes(text.text, changes), typed);
        EXPECT_TRUE(changes.empty());
        EXPECT_TRUE(text.textKey.empty());
    }
    // The ordinary path resolves the key and reads the colour.
    text.SetText(L"|T|Ok");
    EXPECT_EQ(text.text, L"Fine");
    EXPECT_EQ(text.textKey, L"Ok");
    text.SetLiteralText(L"|T|Ok");
    EXPECT_EQ(text.text, L"|T|Ok");
    EXPECT_TRUE(text.textKey.empty());
}

} // namespace
} // namespace GameUiTest
