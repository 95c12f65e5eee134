// The script preprocessor: expansions, directives, line keeping, system macros, includes and the
// message of every failure.
#include "engine/scene/script/Preprocessor.h"
#include "engine/scene/script/PreprocessorTokens.h"

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "tests/core/FileTestSupport.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace
{

using namespace TarnEngine;

struct Outcome
{
    bool ok = false;
    std::string output;
    std::vector<ScriptPreprocessorMessage> messages;
};

Outcome preprocess(std::string_view input, bool wholeRescans = false)
{
    ScriptPreprocessor preprocessor;
    preprocessor.SetWholeRescans(wholeRescans);
    Outcome outcome;
    outcome.ok = preprocessor.Run(input, outcome.output);
    outcome.messages = preprocessor.GetMessages();
    return outcome;
}

// Lines as an editor counts them: every line end, plus an unterminated last line.
size_t physicalLines(std::string_view text)
{
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n')))
            ++lines;
    }
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        ++lines;
    return lines;
}

// System macros are process-wide; these names belong to this file.
class Preprocessor : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DefineSystemMacroInt("PPTEST_TEXT", 2);
        DefineSystemMacroInt("PPTEST_NEGATIVE", -7);
        DefineSystemMacroString("PPTEST_NAME", L"gr\u00FCn");
    }
};

struct Expansion
{
    const char* what;
    const char* input;
    const char* output;
};

const Expansion kExpansions[] = {
    {"object-like", "#define N 42\nx = N\n", "\nx = 42\n"},
    {"variadic part empty: the comma before it goes, its blank stays",
     "#define F(a, #rest) call(a, rest)\nF(1)\n", "\ncall(1 )\n"},
    {"variadic part joined by bare commas", "#define F(a, #rest) call(a, rest)\nF(1, 2, 3)\n",
     "\ncall(1, 2,3)\n"},
    {"stringise", "#define S(x) #x\nS(hello)\n", "\n\"hello\"\n"},
    {"stringise a name that is no parameter", "#define S(x) #y\nS(1)\n", "\n\"y\"\n"},
    {"paste two parameters", "#define CAT(a, b) a ## b\nCAT(foo , bar)\n", "\nfoobar\n"},
    {"paste onto a word", "#define GET(n) get_ ## n\nGET(x)()\n", "\nget_x()\n"},
    {"rescan", "#define A B + B\n#define B 7\nA\n", "\n\n7 + 7\n"},
    {"macro call in an argument", "#define TWICE(x) x x\n#define ONE 1\nTWICE(ONE)\n", "\n\n1 1\n"},
    {"no parameters", "#define Z() 0\nZ( )\n", "\n0\n"},
    {"brackets and braces nest in arguments", "#define F(x) [x]\nF({1, (2, 3)})\n", "\n[{1, (2, 3)}]\n"},
    {"an empty argument that is not last counts", "#define F(a, b) <a|b>\nF(, 2)\n", "\n<|2>\n"},
    {"a call over several lines gives its lines back after it", "#define F(x, y) x + y\nv = F(1,\n2)\nw\n",
     "\nv = 1 + 2\n\nw\n"},
    {"a comment inside a call does not swallow the expansion",
     "#define F(x, y) x + y\nv = F(1, -- one\n2) + 1\n", "\nv = 1 + 2\n + 1\n"},
    {"nothing replaced in strings, long strings and comments",
     "#define X 1\na = \"X\" .. 'X\\'' .. [[X]] -- X\n--[[ X\nX ]] b = X\n",
     "\na = \"X\" .. 'X\\'' .. [[X]]  \n \n b = 1\n"},
    {"a long string keeps its lines", "#define X 1\ns = [[X\n[[X]]\n]] .. X\n", "\ns = [[X\n[[X]]\n]] .. 1\n"},
    {"numbers are not names", "#define x1F 0\n#define e5 0\nv = 0x1F + 1e5 + 2.5e-3\n",
     "\n\nv = 0x1F + 1e5 + 2.5e-3\n"},
    {"line and file", "a = __LINE__\n\nb = __LINE__, __FILE__\n", "a = 1\n\nb = 3, \"[string]\"\n"},
    {"line of a macro's use", "#define HERE __LINE__\n\nx = HERE\n", "\n\nx = 3\n"},
    {"the body stops at a line comment", "#define V 5 -- five\nV\n", "\n5\n"},
    {"a backslash joins lines", "#define LONG 1 + \\\n 2\nLONG\n", "\n\n1 +  2\n"},
    {"blanks after the joining backslash", "x = 1 + \\  \t\n2\n", "x = 1 + 2\n\n"},
    {"a backslash at the very end is dropped", "x = 1\\", "x = 1\n"},
    {"CR LF and CR end lines", "a\r\nb\rc\n", "a\nb\nc\n"},
    {"leading blanks dropped", "  \tx = 1\n", "x = 1\n"},
    {"blanks after the hash", "#  define N 3\nN\n", "\n3\n"},
    {"system macros", "x = PPTEST_TEXT + PPTEST_NEGATIVE .. \"PPTEST_TEXT\"\n",
     "x = 2 + -7 .. \"PPTEST_TEXT\"\n"},
    {"a text system macro is UTF-8", "s = 'PPTEST_NAME' .. PPTEST_NAME\n", "s = 'PPTEST_NAME' .. gr\xC3\xBCn\n"},
    {"ifdef of a system macro", "#ifdef PPTEST_TEXT\nyes\n#else\nno\n#endif\n", "\nyes\n\n\n\n"},
    {"ifndef and else", "#ifndef NOPE\nyes\n#else\nno\n#endif\n", "\nyes\n\n\n\n"},
    {"skipped lines stay as empty lines", "a\n#ifdef NOPE\nb\n#endif\nc", "a\n\n\n\nc\n"},
    {"nested conditionals inside a skipped one",
     "#ifdef NOPE\n#ifndef NOPE\nx\n#else\ny\n#endif\n#else\nz\n#endif\n", "\n\n\n\n\n\n\nz\n\n"},
    {"directives are ignored when skipped", "#ifdef NOPE\n#error \"no\"\n#define Q 1\n#include \"x\"\n#endif\nQ\n",
     "\n\n\n\n\nQ\n"},
    {"an undefined local macro is gone", "#define L 1\n#undef L\nL\n", "\n\nL\n"},
    {"no text at all", "", ""},
};

// Rescans read only around what the pass before changed; where a change runs on into the text
// after it, or two changes meet, the result must be what reading the whole text again gives.
const Expansion kRescans[] = {
    {"two expansions make one name", "#define A(x) x\n#define BC 9\nA(B)A(C)\n", "\n\n9\n"},
    {"an expansion runs on into the next word", "#define E(x) x\n#define abcd 7\nE(ab)cd + E(ab)\n",
     "\n\n7 + ab\n"},
    {"a pasted comment hides the rest of its line", "#define M(a, b) a ## b\nx = M(-, -) y\nz\n",
     "\nx =  \nz\n"},
    {"a produced name takes its arguments from the text after it",
     "#define G F\n#define F(x) [x]\n#define K 3\nG(1) + K\nK\n", "\n\n\n[1] + 3\n3\n"},
    {"changes far apart", "#define K 3\n#define L K\nL\n\nx = 1\ny = 2 -- c\nL L\n__LINE__\n",
     "\n\n3\n\nx = 1\ny = 2  \n3 3\n8\n"},
    {"a change at the very end", "#define K J\n#define J 1\nlocal a = {K", "\n\nlocal a = {1\n"},
};

TEST_F(Preprocessor, Expansions)
{
    for (const bool whole : {false, true})
    {
        for (const std::span<const Expansion> table : {std::span<const Expansion>(kExpansions), std::span<const Expansion>(kRescans)})
        {
            for (const Expansion& row : table)
            {
                SCOPED_TRACE(std::string(row.what) + (whole ? ", whole rescans" : ""));
                const Outcome outcome = preprocess(row.input, whole);
                ASSERT_TRUE(outcome.ok) << (outcome.messages.empty() ? "" : outcome.messages.back().text);
                EXPECT_EQ(outcome.output, row.output);
                EXPECT_TRUE(outcome.messages.empty());
                // Lua's line numbers must match the source's.
                EXPECT_EQ(static_cast<size_t>(std::count(outcome.output.begin(), outcome.output.end(), '\n')),
                          physicalLines(row.input));
            }
        }
    }
}

TEST_F(Preprocessor, RescansFindWhatAnExpansionBroke)
{
    // Stringising a quote gives an unterminated string, which only the rescan reads.
    for (const bool whole : {false, true})
    {
        const Outcome outcome = preprocess("#define S(x) #x\na = 1\nb = S(\"'\")\n", whole);
        EXPECT_FALSE(outcome.ok);
        ASSERT_FALSE(outcome.messages.empty());
        EXPECT_EQ(outcome.messages.back().text, "Unexpected symbols.");
        EXPECT_EQ(outcome.messages.back().line, 3u);
    }
}

struct Failure
{
    const char* input;
    const char* message;
    uint32_t line;
};

const Failure kFailures[] = {
    {"#ifdef A\nx\n", "Unexpected end of file, expected #endif.", 3},
    {"#endif\n", "#endif without corresponding #if<...>.", 1},
    {"#else\n", "#else without corresponding #if<...>.", 1},
    {"#ifdef A\n#else\n#else\n#endif\n", "#else after #else.", 3},
    {"#pragma once\n", "Unknown preprocessor directive: pragma", 1},
    {"#ifdef NOPE\n#pragma\n#endif\n", "Unknown preprocessor directive: pragma", 2},
    {"#!/usr/bin/lua\n", "Unknown preprocessor directive: ", 1},
    {"#define\n", "Expected identifier.", 1},
    {"#ifdef\n#endif\n", "Expected identifier.", 1},
    {"#define F(1) x\n", "Expected identifier.", 1},
    {"#define F(a b) x\n", "Expected ')'.", 1},
    {"#define F(#a, b) x\n", "Expected ')'.", 1},
    {"#define X+1\n", "Expected '(' or ' '.", 1},
    {"#define X 1 --[[ c ]]\n", "Unexpected multiline comment.", 1},
    {"#define X \"open\n", "Unexpected symbols.", 1},
    {"#error \"stop here\"\n", "stop here", 1},
    {"#error stop\n", "", 1},
    {"a\nb\nx = 'open\n", "Unexpected symbols.", 3},
    {"x = 1e\n", "Unexpected symbols.", 1},
    {"\n\n#define X X\nX\n", "Maximum macro-inside-macro level.", 4},
    {"#define F(x) x\ny = F\n", "Expected '('.", 2},
    {"#define F(x) x\nF(})\n", "Unexpected '}'.", 2},
    {"#define F(x) x\nF({)})\n", "Unexpected ')'.", 2},
    {"#define F(x) x\nF(1\n", "Unexpected end of line.", 2},
    {"#define F(a, b) a\nF(1)\n", "Macro <F> used with wrong number of arguments.", 2},
    {"#define F(a) a\nF(1, 2)\n", "Macro <F> used with wrong number of arguments.", 2},
    {"#define F(a, #b) a\nF()\n", "Macro <F> used with wrong number of arguments.", 2},
    {"#define F(a) a, , a\nF(1)\n", "Expected identifier.", 2},
    {"#define F(a) # 1\nF(1)\n", "Expected identifier.", 2},
};

TEST_F(Preprocessor, EveryFailureHasItsMessage)
{
    for (const Failure& row : kFailures)
    {
        SCOPED_TRACE(row.input);
        ScriptPreprocessor preprocessor;
        std::string output = "untouched";
        EXPECT_FALSE(preprocessor.Run(row.input, output));
        EXPECT_EQ(output, "untouched");
        ASSERT_FALSE(preprocessor.GetMessages().empty());
        const ScriptPreprocessorMessage& message = preprocessor.GetMessages().back();
        EXPECT_TRUE(message.error);
        EXPECT_EQ(message.text, row.message);
        EXPECT_EQ(message.source, "[string]");
        EXPECT_EQ(message.line, row.line);
    }
}

struct Warning
{
    const char* input;
    const char* message;
    const char* output;
};

const Warning kWarnings[] = {
    {"#define PPTEST_TEXT 5\nx = PPTEST_TEXT\n", "System macro 'PPTEST_TEXT' can not be redefined.", "\nx = 2\n"},
    {"#undef PPTEST_TEXT\nx = PPTEST_TEXT\n", "System macro 'PPTEST_TEXT' can not be undefined.", "\nx = 2\n"},
    {"#define Y 1\n#define Y 2\nY\n", "Macro 'Y' redefinition.", "\n\n2\n"},
    {"#undef Y\nY\n", "Macro 'Y' not defined, #undef ignored.", "\nY\n"},
    {"#warning \"careful\" and more\nx\n", "careful", "\nx\n"},
};

TEST_F(Preprocessor, WarningsGoOn)
{
    for (const Warning& row : kWarnings)
    {
        SCOPED_TRACE(row.input);
        const Outcome outcome = preprocess(row.input);
        ASSERT_TRUE(outcome.ok);
        EXPECT_EQ(outcome.output, row.output);
        ASSERT_EQ(outcome.messages.size(), 1u);
        EXPECT_FALSE(outcome.messages[0].error);
        EXPECT_EQ(outcome.messages[0].text, row.message);
    }
}

TEST_F(Preprocessor, MacroGrowthIsCapped)
{
    // Each name stands for 256 of the next: three rescans would make 16 million words.
    std::string input;
    for (const char* name : {"A", "B", "C", "D"})
    {
        input += std::string("#define ") + name;
        for (int i = 0; i < 256; ++i)
            input += std::string(" ") + char(name[0] + 1);
        input += '\n';
    }
    input += "x = A\n";
    const Outcome outcome = preprocess(input);
    EXPECT_FALSE(outcome.ok);
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_EQ(outcome.messages.back().text, "Preprocessed text too large.");

    // A function-like macro that copies its argument grows it just as fast.
    std::string calls = "#define F(x) x x x x x x x x x x x x x x x x\n";
    std::string use = "1";
    for (int i = 0; i < 8; ++i)
        use = "F(" + use + ")";
    const Outcome nested = preprocess(calls + use + "\n");
    EXPECT_FALSE(nested.ok);
    ASSERT_FALSE(nested.messages.empty());
    EXPECT_EQ(nested.messages.back().text, "Preprocessed text too large.");
}

TEST_F(Preprocessor, LocalMacrosLastOneRun)
{
    ScriptPreprocessor preprocessor;
    std::string output;
    ASSERT_TRUE(preprocessor.Run("#define LOCAL 1\nLOCAL\n", output));
    EXPECT_EQ(output, "\n1\n");
    ASSERT_TRUE(preprocessor.Run("LOCAL\n", output));
    EXPECT_EQ(output, "LOCAL\n");
    EXPECT_EQ(FindSystemMacro("LOCAL"), nullptr);
}

// The class macros as the script manager defines them: one text, each later line starting with a
// blank and fourteen tabs.
const char* const kClassMacros =
    "#define _clType(x) local __type = {}; __type._type = #x; __type._parents = {}; __type._fields = {}; "
    "__type._fields.__type = #x\n \t\t\t\t\t\t\t\t\t\t\t\t\t\t"
    "#define _clParent(x) table.insert(__type._parents, #x)\n \t\t\t\t\t\t\t\t\t\t\t\t\t\t"
    "#define _clMember(#x) __type._fields\n \t\t\t\t\t\t\t\t\t\t\t\t\t\t"
    "#define _clEnd(#x) BuildType(__type); __type = nil";

TEST_F(Preprocessor, DefinedTextBecomesSystemMacros)
{
    DefineSystemMacroInt("PPTEST_KEEP", 1);
    ScriptPreprocessor preprocessor;
    ASSERT_TRUE(preprocessor.DefineMacrosFromText(kClassMacros));
    EXPECT_TRUE(preprocessor.DefineMacrosFromText("#define PPTEST_KEEP 9\n#define PPTEST_NEW PPTEST_KEEP + 1\n"));
    ASSERT_NE(FindSystemMacro("PPTEST_KEEP"), nullptr);
    EXPECT_EQ(FindSystemMacro("PPTEST_KEEP")->body, "1");

    const char* script = "_clType(Button)\n"
                         "_clParent(Component)\n"
                         "function _clMember().OnLoad(self) return PPTEST_NEW end\n"
                         "_clEnd()\n";
    std::string classText;
    ASSERT_TRUE(preprocessor.Run(script, classText));
    EXPECT_EQ(classText, "local __type = {}; __type._type = \"Button\"; __type._parents = {}; __type._fields = {}; "
                      "__type._fields.__type = \"Button\"\n"
                      "table.insert(__type._parents, \"Component\")\n"
                      "function __type._fields.OnLoad(self) return 1 + 1 end\n"
                      "BuildType(__type); __type = nil\n");

    // What comes out is Lua.
    lua_State* state = luaL_newstate();
    EXPECT_EQ(luaL_loadbuffer(state, classText.data(), classText.size(), "class"), 0);
    lua_close(state);

    // Console text cannot take them away.
    std::string output;
    ASSERT_TRUE(preprocessor.Run("#undef _clEnd\n_clEnd()\n", output));
    EXPECT_EQ(output, "\nBuildType(__type); __type = nil\n");
}

TEST_F(Preprocessor, TokensCoverTheText)
{
    const char* texts[] = {
        "local a = { 1, 2 } -- c\n",
        "x = [[ [[ ]] ]] .. \"q\\\"\" ~= 'r' <= 3.5e+2 >= ... ## #\n",
        "--[[ a\n b ]] f(a, b)\t \n",
        "unterminated = [[ x",
        "  ",
    };
    for (const char* text : texts)
    {
        SCOPED_TRACE(text);
        ScriptTokenizer tokens(text);
        std::string joined;
        for (;;)
        {
            const ScriptToken token = tokens.Next();
            joined += token.text;
            if (token.Is(ScriptTokenKind::End) || token.Is(ScriptTokenKind::Error))
                break;
        }
        EXPECT_EQ(joined, text);
    }
}

// Includes read "script\" + the name through the file system.
class PreprocessorIncludes : public Preprocessor
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.AddSource(std::make_unique<FSLooseFiles>(folder.Engine("data/"), L"input")));
    }
    void Write(const std::string& name, const std::string& text) { folder.Write("data/script/" + name, text); }

    FileTest::TempFolder folder;
    FileSystem files;
};

TEST_F(PreprocessorIncludes, DefinitionsOfIncludedFilesCount)
{
    Write("lib/defs.lua", "-- shared numbers\n#define ANSWER 42\n--[[ more\n]]\n#include \"lib/more.lua\"\n");
    Write("lib/more.lua", "#define MORE(x) x + ANSWER\n");
    const Outcome outcome = preprocess("#include \"lib/defs.lua\"\nx = MORE(1)\ny = __LINE__\n");
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.output, "\nx = 1 + 42\ny = 3\n");
}

TEST_F(PreprocessorIncludes, TenLevelsDeepAndNoMore)
{
    for (int i = 1; i <= 11; ++i)
    {
        const std::string next = i < 11 ? "#include \"level" + std::to_string(i + 1) + ".lua\"\n" : "";
        Write("level" + std::to_string(i) + ".lua", "#define DEPTH" + std::to_string(i) + " " +
                                                        std::to_string(i) + "\n" + next);
    }
    // Ten nested includes: the tenth is the last that may include nothing more.
    Write("level10.lua", "#define DEPTH10 10\n");
    Outcome outcome = preprocess("#include \"level1.lua\"\nx = DEPTH10\n");
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.output, "\nx = 10\n");

    Write("level10.lua", "#define DEPTH10 10\n#include \"level11.lua\"\n");
    outcome = preprocess("#include \"level1.lua\"\nx = DEPTH10\n");
    EXPECT_FALSE(outcome.ok);
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_EQ(outcome.messages.back().text, "Maximum include level.");
    EXPECT_EQ(outcome.messages.back().source, "level11.lua");
}

TEST_F(PreprocessorIncludes, RefusedIncludes)
{
    Write("text.lua", "-- fine\n\nlocal x = 1\n");
    Write("broken.lua", "-- fine\n--[[ never closed\n");
    folder.Write("data/secret.lua", "#define SECRET 1\n");
    const struct
    {
        const char* input;
        const char* message;
        const char* source;
        uint32_t line;
    } rows[] = {
        {"#include \"text.lua\"\n", "Plain text in includes.", "text.lua", 3},
        {"#include \"broken.lua\"\n", "Unexpected symbols.", "broken.lua", 2},
        {"\n#include \"missing.lua\"\n", "Can not include 'missing.lua'.", "[string]", 2},
        {"#include \"\"\n", "Include name '' leaves the script folder.", "[string]", 1},
        {"#include \"../secret.lua\"\n", "Include name '../secret.lua' leaves the script folder.", "[string]", 1},
        {"#include \"lib/../../secret.lua\"\n", "Include name 'lib/../../secret.lua' leaves the script folder.",
         "[string]", 1},
        {"#include \"..\\\\secret.lua\"\n", "Include name '..\\\\secret.lua' leaves the script folder.", "[string]",
         1},
        {"#include \"/etc/passwd\"\n", "Include name '/etc/passwd' leaves the script folder.", "[string]", 1},
        {"#include \"C:secret.lua\"\n", "Include name 'C:secret.lua' leaves the script folder.", "[string]", 1},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.input);
        const Outcome outcome = preprocess(row.input);
        EXPECT_FALSE(outcome.ok);
        ASSERT_FALSE(outcome.messages.empty());
        EXPECT_EQ(outcome.messages.back().text, row.message);
        EXPECT_EQ(outcome.messages.back().source, row.source);
        EXPECT_EQ(outcome.messages.back().line, row.line);
    }
}

TEST_F(PreprocessorIncludes, IncludedTextIsBudgeted)
{
    // Ten files each including the next 64 times would read 64^9 files.
    const std::string padding = "--[[" + std::string(64 * 1024, '.') + "]]\n";
    for (int i = 1; i <= 10; ++i)
    {
        std::string text = padding;
        for (int k = 0; i < 10 && k < 64; ++k)
            text += "#include \"fan" + std::to_string(i + 1) + ".lua\"\n";
        Write("fan" + std::to_string(i) + ".lua", text);
    }
    const Outcome outcome = preprocess("#include \"fan1.lua\"\n");
    EXPECT_FALSE(outcome.ok);
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_EQ(outcome.messages.back().text, "Included text too large.");
}

} // namespace
