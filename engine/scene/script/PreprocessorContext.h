// The state of one preprocessing run and the helpers that its two halves share: Preprocessor.cpp
// (the run, directives, includes and macro definitions) and PreprocessorExpansion.cpp (the
// expansion of macros in text). Internal to the preprocessor.
#pragma once

#include "engine/scene/script/Preprocessor.h"
#include "engine/scene/script/PreprocessorTokens.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace TarnEngine
{

// Where a pass of macro expansion left its text other than it was: [start, end) of the pass's
// output is new, and the next pass needs to read again from `resume` (at or before `start`).
struct TextChange
{
    size_t resume = 0;
    size_t start = 0;
    size_t end = 0;
};

struct ScriptPreprocessorBuffers
{
    std::string block;
    std::string passes[2];
    std::vector<TextChange> changes[2];
};

namespace PreprocessorInternal
{

struct NameHash
{
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
};

using MacroMap = std::unordered_map<std::string, ScriptMacro, NameHash, std::equal_to<>>;

// The system macros: one table for the process (Preprocessor.cpp).
MacroMap& systemMacros();

inline const ScriptMacro* findIn(const MacroMap& map, std::string_view name)
{
    const auto found = map.find(name);
    return found == map.end() ? nullptr : &found->second;
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline std::string_view trimLeadingBlanks(std::string_view text)
{
    size_t skip = 0;
    while (skip < text.size() && isBlank(text[skip]))
        ++skip;
    return text.substr(skip);
}

inline uint32_t countLineFeeds(std::string_view text)
{
    uint32_t count = 0;
    for (const char c : text)
        count += c == '\n';
    return count;
}

// A quick first test of identifiers: most names in a script are no macro, and this answers for
// them without hashing the name. Two bits of 16384 per name, from its length and end characters.
class NameFilter
{
public:
    void Add(std::string_view name)
    {
        set(first(name));
        set(second(name));
    }
    bool MayHold(std::string_view name) const { return test(first(name)) && test(second(name)); }

private:
    static constexpr uint32_t kMask = 16383;
    static uint32_t at(std::string_view name, size_t i) { return static_cast<unsigned char>(name[i]); }
    static uint32_t first(std::string_view name)
    {
        return (at(name, 0) * 131 + at(name, name.size() - 1) * 31 + static_cast<uint32_t>(name.size())) & kMask;
    }
    static uint32_t second(std::string_view name)
    {
        const size_t size = name.size();
        const uint32_t inner = size > 1 ? at(name, 1) * 71 + at(name, size - 2) * 17 : 0;
        return (inner + static_cast<uint32_t>(size) * 7919) & kMask;
    }
    void set(uint32_t bit) { bits[bit >> 6] |= uint64_t(1) << (bit & 63); }
    bool test(uint32_t bit) const { return (bits[bit >> 6] >> (bit & 63)) & 1; }

    uint64_t bits[(kMask + 1) / 64] = {};
};

// Changes of a pass closer than this are kept as one.
constexpr size_t kJoinedGap = 32;

// One preprocessing run: local macros, where it is, the conditional state and the output.
class Context
{
public:
    Context(std::vector<ScriptPreprocessorMessage>& messages, ScriptPreprocessorBuffers& buffers,
            bool wholeRescans, size_t limit)
        : messages(messages), buffers(buffers), wholeRescans(wholeRescans), limit(limit)
    {
        for (const auto& entry : system)
            names.Add(entry.first);
        names.Add("__FILE__");
        names.Add("__LINE__");
    }

    bool RunSource(std::string_view text);

    std::string output;
    MacroMap locals;

private:
    bool fail(std::string text) { return report(true, std::move(text)); }
    void warn(std::string text) { report(false, std::move(text)); }
    bool report(bool error, std::string text);
    bool tooLarge() { return fail("Preprocessed text too large."); }

    const ScriptMacro* lookup(std::string_view name) const
    {
        if (const ScriptMacro* macro = findIn(system, name))
            return macro;
        return findIn(locals, name);
    }
    void updateActive() { active = (condition & 1) == 0 && skippedSaved == 0; }

    bool checkIncludeBlock(std::string_view block);
    bool runDirective(std::string_view text);
    bool define(ScriptTokenizer& tokens, std::string_view text);
    bool include(std::string_view name);

    bool expand(std::string_view text, std::string& out);
    bool expandPass(std::string_view text, std::string& out, const std::vector<TextChange>* before,
                    std::vector<TextChange>& after, bool& replaced, bool& changed);
    bool expandCall(std::string_view name, const ScriptMacro& macro, ScriptTokenizer& tokens, std::string& out);
    bool substitute(const ScriptMacro& macro, std::string& out);

    const MacroMap& system = systemMacros();
    NameFilter names; // every system and local macro name, and the built-in names
    std::vector<ScriptPreprocessorMessage>& messages;
    std::string source = "[string]";
    uint32_t line = 0; // counted from 0 within the source
    uint32_t depth = 0;
    uint32_t condition = 0; // bit 0: this branch is skipped; bit 1: its "#else" was seen
    std::vector<uint32_t> savedConditions;
    uint32_t skippedSaved = 0; // saved conditions with bit 0 set
    bool active = true;
    size_t includedBytes = 0;

    // Kept by the preprocessor from run to run: large texts would otherwise take fresh memory for
    // every block and pass.
    ScriptPreprocessorBuffers& buffers;
    bool wholeRescans;
    size_t limit; // the most text the run may produce, and read through includes
    // Scratch of expandCall.
    std::vector<std::string> arguments;
    std::vector<std::string> values;
    std::vector<char> brackets;
};

} // namespace PreprocessorInternal
} // namespace TarnEngine
