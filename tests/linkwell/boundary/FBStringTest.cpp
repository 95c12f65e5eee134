// Boundary strings: the edge cases of both types, texts taken from the string
// itself, deep copies, units above 0xD7FF, and buffers that change module.
#include <gtest/gtest.h>

#include <string>

#include "../LinkwellTestSupport.h"
#include "linkwell/boundary/FBString.h"

using linkwell::FBString;
using linkwell::FBWString;

namespace {

const char* const kSentence = "this is a unit test of String and this is so";

TEST(FBStringTest, ConstructionAndAssignEdgeCases) {
    FBString empty;
    EXPECT_EQ(empty.Capacity(), 1u);
    EXPECT_EQ(empty.Length(), 0u);
    FBString fromNull(nullptr);
    EXPECT_EQ(fromNull.Capacity(), 1u);
    FBString text("hello world");
    text.Assign(nullptr);
    EXPECT_EQ(text.Capacity(), 1u);
    EXPECT_STREQ(text.Text(), "");

    FBString reserved("some text");
    reserved.Reserve(40);
    EXPECT_EQ(reserved.Capacity(), 40u);
    EXPECT_STREQ(reserved.Text(), "");

    FBString shorter("a longer text than the next");
    uint32_t capacity = shorter.Capacity();
    shorter.Assign("short");
    EXPECT_EQ(shorter.Capacity(), capacity);
    EXPECT_STREQ(shorter.Text(), "short");

    FBString counted;
    counted.Assign("abcdef", 3);
    EXPECT_STREQ(counted.Text(), "abc");
    EXPECT_EQ(counted.Capacity(), 4u);
}

TEST(FBStringTest, AppendGrowsOnlyWhenFull) {
    // Capacity exactly L0 + L1: grows to L0 + L1 + 1.
    FBString text;
    text.Reserve(7);
    text.Assign("abc");
    text.Append("defg");
    EXPECT_EQ(text.Capacity(), 8u);
    EXPECT_STREQ(text.Text(), "abcdefg");
    // Room left: the buffer stays.
    FBString roomy;
    roomy.Reserve(20);
    roomy.Append("abc").Append("def");
    EXPECT_EQ(roomy.Capacity(), 20u);
    EXPECT_STREQ(roomy.Text(), "abcdef");
    // Grow keeps the text; a smaller Grow does nothing.
    roomy.Grow(10);
    EXPECT_EQ(roomy.Capacity(), 20u);
    roomy.Grow(64);
    EXPECT_EQ(roomy.Capacity(), 64u);
    EXPECT_STREQ(roomy.Text(), "abcdef");
}

TEST(FBStringTest, FindAndSubstrTable) {
    FBString text(kSentence);
    struct FindCase {
        const char* needle;
        int32_t start;
        int32_t expected;
    };
    const FindCase finds[] = {
        {"this", 0, 0},   {"this", 11, 34}, {"this", 35, -1}, {"so", 0, 42},  // separator at the very end
        {"", 5, 5},       {"absent", 0, -1}, {"o", 44, -1},   {"this", 44, -1},
        {"this", 45, -1}, {"this", 1000, -1}, {"this", -1, -1}, {"", 44, 44},
    };
    for (const FindCase& c : finds) {
        EXPECT_EQ(text.Find(c.needle, c.start), c.expected) << c.needle << " from " << c.start;
    }
    FBString shortText("this is a unit test of String");
    EXPECT_STREQ(shortText.Substr(10, -1).Text(), "unit test of String");
    EXPECT_STREQ(shortText.Substr(10, 19).Text(), "unit test of String");
    EXPECT_STREQ(shortText.Substr(10, 4).Text(), "unit");
    // Starts beyond the length and counts beyond the end read nothing outside.
    EXPECT_STREQ(shortText.Substr(29, -1).Text(), "");
    EXPECT_STREQ(shortText.Substr(30, -1).Text(), "");
    EXPECT_STREQ(shortText.Substr(5000, 3).Text(), "");
    EXPECT_STREQ(shortText.Substr(-3, 3).Text(), "");
    EXPECT_STREQ(shortText.Substr(25, 100).Text(), "ring");
}

TEST(FBStringTest, EqualsAndStartsWith) {
    FBString text("error;navigateurl=x");
    EXPECT_TRUE(text.StartsWith("error"));
    EXPECT_TRUE(text.StartsWith(""));
    EXPECT_FALSE(text.StartsWith("error;navigateurl=xy"));
    EXPECT_TRUE(text.Equals("error;navigateurl=x"));
    EXPECT_FALSE(text.Equals("error"));
    EXPECT_FALSE(text.Equals("error;navigateurl=X"));
}

TEST(FBStringTest, TextTakenFromItself) {
    FBString self("abcdef");
    self.Assign(self.Text());
    EXPECT_STREQ(self.Text(), "abcdef");
    FBString& alias = self;
    self = alias;
    EXPECT_STREQ(self.Text(), "abcdef");
    // Appending its own text forces a grow that must not free the source first.
    self.Append(self.Text());
    EXPECT_STREQ(self.Text(), "abcdefabcdef");
    self.Append(self.Text() + 9);
    EXPECT_STREQ(self.Text(), "abcdefabcdefdef");
    // A part of itself, with and without a larger buffer.
    self.Assign(self.Text() + 3, 4);
    EXPECT_STREQ(self.Text(), "defa");
    FBString small("xyz");
    small.Assign(small.Text() + 1);
    EXPECT_STREQ(small.Text(), "yz");
}

TEST(FBStringTest, CopiesAreDeepAndDieInEitherOrder) {
    for (bool originalFirst : {true, false}) {
        auto* original = new FBString("shared text");
        auto* copy = new FBString(*original);
        EXPECT_NE(copy->Text(), original->Text());
        copy->Buffer()[0] = 'S';
        EXPECT_STREQ(original->Text(), "shared text");
        FBString assigned;
        assigned = *original;
        EXPECT_NE(assigned.Text(), original->Text());
        if (originalFirst) {
            delete original;
            EXPECT_STREQ(copy->Text(), "Shared text");
            delete copy;
        } else {
            delete copy;
            EXPECT_STREQ(original->Text(), "shared text");
            delete original;
        }
        EXPECT_STREQ(assigned.Text(), "shared text");
    }
}

TEST(FBWStringTest, UnitsAboveD7FFAreKeptAsTheyAre) {
    const char16_t units[] = {u'a', 0xD7FF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0xE000, 0xFFFF, u'z', 0};
    FBWString text(units);
    EXPECT_EQ(text.Length(), 9u);
    FBWString copy(text);
    copy.Append(units);
    EXPECT_EQ(copy.Length(), 18u);
    EXPECT_EQ(copy.Text()[11], 0xD800);
    EXPECT_EQ(copy.Text()[16], 0xFFFF);
    EXPECT_EQ(text.FindChar(0xDC00), 3);
    EXPECT_EQ(copy.Find(units + 2, 3), 11);
    FBWString part = text.Substr(2, 4);
    const char16_t expected[] = {0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0};
    EXPECT_TRUE(part.Equals(expected));
    EXPECT_TRUE(text.StartsWith(units));
}

TEST(FBWStringTest, SelfTestPasses) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(linkwell::FBWStringSelfTest());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

class FBStringAcrossModulesTest : public linkwell_test::TempFolderTest {};

// Escape fills and replaces the caller's strings inside the shared library, so
// buffers cross in both directions: the test's buffer is released inside the
// library, and the library's buffer is grown and released here.
TEST_F(FBStringAcrossModulesTest, BuffersChangeModules) {
    linkwell_test::LoadedLibrary library;
    ASSERT_TRUE(library.Loaded());
    linkwell::IClientFactory* factory = library.MakeFactory();
    ASSERT_NE(factory, nullptr);
    linkwell::IHttpClient* client = factory->CreateHttpClient();
    ASSERT_NE(client, nullptr);

    FBString out("a buffer made by the test, released inside the library");
    FBString in("a b");
    client->Escape(&out, &in);
    EXPECT_STREQ(out.Text(), "a%20b");
    out.Append(" grown by the test executable to a length that needs a larger buffer");
    out.Grow(100000);
    EXPECT_EQ(out.Capacity(), 100000u);
    EXPECT_EQ(out.Find("grown", 0), 6);
    out.Free();
    EXPECT_EQ(out.Text(), nullptr);

    FBWString wide(u"\u00e9t\u00e9");
    FBString escaped;
    client->EscapeWide(&escaped, &wide);
    EXPECT_STREQ(escaped.Text(), "%E9t%E9");

    client->Destroy(linkwell::kDestroyFree);
    factory->Destroy(linkwell::kDestroyFree);
}

} // namespace

namespace {

TEST(FBStringDeathTest, RefusedPagesEndTheProcessWithOneLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(linkwell::BoundaryAllocate(1ull << 62), "page allocator refused");
}

} // namespace
