// Fuzz target: any bytes run through the script preprocessor, with the engine's system macros and
// class macros defined as the script manager defines them, must either fail or give exactly one
// output line per input line; no input may take unbounded time or memory (macro growth is capped). Rescans that
// read only around the last pass's changes must give what reading the whole text gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/script/Preprocessor.h"

namespace
{

using namespace TarnEngine;

// Lines as the preprocessor counts them: LF, CR LF and CR end one, and so does the end of the text
// after anything that is not a line end.
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

bool defineMacros()
{
    // The engine's own system macros and class macros, as the script manager defines them, and a
    // text-valued one.
    DefineSystemMacroString("GAME_TITLE", L"Pellwood");
    return LuaMgr::DefineScriptMacros();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool defined = defineMacros();
    if (!defined)
        std::abort();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Growth is stopped at a quarter of a megabyte: the cap works the same at any size, and inputs
    // that reach it stay quick.
    const size_t limit = 256 * 1024;
    ScriptPreprocessor preprocessor;
    preprocessor.SetOutputLimit(limit);
    std::string output;
    const bool ok = preprocessor.Run(input, output);
    ScriptPreprocessor reference;
    reference.SetOutputLimit(limit);
    reference.SetWholeRescans(true);
    std::string referenceOutput;
    if (reference.Run(input, referenceOutput) != ok || referenceOutput != output ||
        reference.GetMessages().size() != preprocessor.GetMessages().size())
        std::abort();
    for (size_t i = 0; i < reference.GetMessages().size(); ++i)
    {
        const ScriptPreprocessorMessage& a = reference.GetMessages()[i];
        const ScriptPreprocessorMessage& b = preprocessor.GetMessages()[i];
        if (a.text != b.text || a.line != b.line || a.error != b.error)
            std::abort();
    }
    if (!ok)
    {
        if (preprocessor.GetMessages().empty() || !preprocessor.GetMessages().back().error || !output.empty())
            std::abort();
        return 0;
    }
    if (output.size() > limit)
        std::abort();
    size_t lineFeeds = 0;
    for (const char c : output)
        lineFeeds += c == '\n';
    if (lineFeeds != physicalLines(input))
        std::abort();
    return 0;
}
