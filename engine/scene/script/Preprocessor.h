// The script preprocessor: a small macro language over Lua text, with directive lines that begin
// with '#' ("define", "undef", "warning", "error", "include", "ifdef", "ifndef", "else", "endif").
//
// It exists for two things. The engine's and the game's enumerations reach scripts as system macros
// (DefineSystemMacroInt / DefineSystemMacroString, from static initialisers): names with fixed values
// that no script can redefine or undefine. And the script manager defines the class macros through
// it (DefineMacrosFromText) and runs console text and "ExecString" text through it (Run). Script
// files are loaded without it.
//
// Every input line gives exactly one output line (directives and skipped lines become empty), so Lua
// reports errors on the lines of the source. Included files ("script\" + name, through the file
// system) may only define macros: their own output is dropped.
//
// Warnings and failures are logged on the "lua" channel and kept with the run for the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace TarnEngine
{

struct ScriptMacro
{
    std::string body;
    std::vector<std::string> parameters;
    bool variadic = false;  // the last parameter takes every remaining argument
    bool objectLike = true; // defined without a parameter list
};

// Script and include names are relative to the script folder; one that climbs out of it (a ".."
// part) or names a place of its own (a leading separator, a drive colon) is refused rather than
// handed to the file system. True for a name that stays inside.
bool IsScriptNameInsideFolder(std::string_view name);

// Defines or replaces the object-like system macro `name` with the value in decimal.
void DefineSystemMacroInt(std::string_view name, int32_t value);
// The same with a text value (UTF-8 in the script text).
void DefineSystemMacroString(std::string_view name, std::wstring_view value);
// The system macro of that name, or null.
const ScriptMacro* FindSystemMacro(std::string_view name);

struct ScriptPreprocessorMessage
{
    bool error = false; // the run failed with it; otherwise a warning
    std::string text;   // exactly as the preprocessor words it
    std::string source; // "[string]" or the included name
    uint32_t line = 0;  // 1-based, within the source
};

// Working text of a run, kept from one run to the next (Preprocessor.cpp).
struct ScriptPreprocessorBuffers;

class ScriptPreprocessor
{
public:
    // Nesting of includes, and rescans of a text whose expansion still holds macro names.
    static constexpr uint32_t MaxIncludeDepth = 10;
    static constexpr uint32_t MaxRescans = 10;
    // The most text a run may produce, and the most it may read through includes: macros can
    // double the text with every rescan.
    static constexpr size_t MaxOutputSize = 16u << 20;

    ScriptPreprocessor();
    ~ScriptPreprocessor();
    ScriptPreprocessor(const ScriptPreprocessor&) = delete;
    ScriptPreprocessor& operator=(const ScriptPreprocessor&) = delete;

    // Preprocesses the input as the source "[string]". On success the result replaces `output`;
    // on failure `output` is left as it was.
    bool Run(std::string_view input, std::string& output);
    // Runs the text in a fresh context, drops its output, and copies each macro it defined into
    // the system macros unless one of that name is there already. False when the run failed (the
    // macros defined before the failure are copied all the same).
    bool DefineMacrosFromText(std::string_view text);

    // Lowers the most text a run may produce (MaxOutputSize at most); the fuzz target uses it to
    // keep inputs that grow from taking long.
    void SetOutputLimit(size_t bytes) { outputLimit = bytes < MaxOutputSize ? bytes : MaxOutputSize; }
    // A rescan reads only the text around what the pass before it changed; with this set it reads
    // the whole text every time, as a reference for tests. The results are the same.
    void SetWholeRescans(bool whole) { wholeRescans = whole; }

    // The warnings and the failure of the last run, in order.
    const std::vector<ScriptPreprocessorMessage>& GetMessages() const { return messages; }

private:
    std::vector<ScriptPreprocessorMessage> messages;
    std::unique_ptr<ScriptPreprocessorBuffers> buffers;
    bool wholeRescans = false;
    size_t outputLimit = MaxOutputSize;
};

} // namespace TarnEngine
