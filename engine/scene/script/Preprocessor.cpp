// Script preprocessor: a run, its directives, includes and macro definitions, and the system macros;
// see Preprocessor.h. The expansion of macros in text is in PreprocessorExpansion.cpp.
#include "engine/scene/script/Preprocessor.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/TextConversion.h"
#include "engine/scene/script/PreprocessorContext.h"

#include <cstring>
#include <functional>
#include <unordered_map>

namespace TarnEngine
{

namespace PreprocessorInternal
{

// One table for the process, made by whichever static initialiser defines the first system macro.
MacroMap& systemMacros()
{
    static MacroMap table;
    return table;
}

} // namespace PreprocessorInternal

using namespace PreprocessorInternal;

namespace
{

// One logical line starting at `pos`: physical lines are joined where a backslash, followed by
// nothing but blanks, ends one (the backslash and the line end are dropped). A line ends at LF, CR
// LF or CR. The line's leading blanks are dropped. False at the end of the text.
bool readLogicalLine(std::string_view text, size_t& pos, std::string& scratch, std::string_view& line,
                     uint32_t& physical)
{
    const size_t size = text.size();
    if (pos >= size)
        return false;
    physical = 0;
    bool joined = false;
    for (;;)
    {
        // LF first, then a CR before it; both searches run over whole words at a time.
        const char* lineFeed = static_cast<const char*>(std::memchr(text.data() + pos, '\n', size - pos));
        size_t end = lineFeed ? static_cast<size_t>(lineFeed - text.data()) : size;
        if (const void* carriage = std::memchr(text.data() + pos, '\r', end - pos))
            end = static_cast<size_t>(static_cast<const char*>(carriage) - text.data());
        size_t next = end;
        if (next < size)
            next += text[next] == '\r' && next + 1 < size && text[next + 1] == '\n' ? 2 : 1;
        ++physical;
        size_t contentEnd = end;
        while (contentEnd > pos && isBlank(text[contentEnd - 1]))
            --contentEnd;
        const bool continues = contentEnd > pos && text[contentEnd - 1] == '\\';
        const std::string_view piece = text.substr(pos, (continues ? contentEnd - 1 : end) - pos);
        pos = next;
        if (!continues || pos >= size)
        {
            if (joined)
            {
                scratch += piece;
                line = scratch;
            }
            else
            {
                line = piece;
            }
            break;
        }
        if (!joined)
            scratch.clear();
        scratch += piece;
        joined = true;
    }
    line = trimLeadingBlanks(line);
    return true;
}

// The content of a quoted directive argument: the first token when it is a string, without its
// quotes and without escape processing; anything else gives the empty text.
std::string_view quotedArgument(ScriptTokenizer& tokens)
{
    const ScriptToken token = tokens.Next();
    if (!token.Is(ScriptTokenKind::String))
        return {};
    const std::string_view core = token.Core();
    return core.substr(1, core.size() - 2);
}

} // namespace

namespace PreprocessorInternal
{

bool Context::report(bool error, std::string text)
{
    if (ILogger* logger = ILogger::Get())
    {
        logger->Log(LogLua, __FILE__, __LINE__, L"%s:%u: %s%s", Utf8ToWString(source), line + 1,
                    error ? L"" : L"warning: ", Utf8ToWString(text));
    }
    messages.push_back({error, std::move(text), source, line + 1});
    return false;
}

bool Context::RunSource(std::string_view text)
{
    if (depth > ScriptPreprocessor::MaxIncludeDepth)
        return fail("Maximum include level.");
    size_t pos = 0;
    std::string scratch;
    // Includes have blocks of their own; their text is only checked.
    std::string includeBlock;
    std::string& block = depth == 0 ? buffers.block : includeBlock;
    std::string_view logical;
    uint32_t physical = 0;
    for (;;)
    {
        // The lines up to the next directive; skipped lines still count, as empty lines.
        block.clear();
        const uint32_t blockLine = line;
        bool directive = false;
        while (readLogicalLine(text, pos, scratch, logical, physical))
        {
            if (!logical.empty() && logical[0] == '#')
            {
                directive = true;
                break;
            }
            if (active || depth > 0)
                block += logical;
            block.append(physical, '\n');
            line += physical;
            if (block.size() > limit)
                return tooLarge();
        }
        if (!block.empty())
        {
            // The block is walked again from its first line.
            const uint32_t after = line;
            line = blockLine;
            if (!(depth > 0 ? checkIncludeBlock(block) : expand(block, output)))
                return false;
            line = after;
        }
        if (!directive)
        {
            if (depth == 0 && !savedConditions.empty())
                return fail("Unexpected end of file, expected #endif.");
            return true;
        }
        if (depth == 0)
        {
            output.append(physical, '\n');
            if (output.size() > limit)
                return tooLarge();
        }
        if (!runDirective(logical.substr(1)))
            return false;
        line += physical;
    }
}

bool Context::checkIncludeBlock(std::string_view block)
{
    ScriptTokenizer tokens(block);
    for (;;)
    {
        const ScriptToken token = tokens.Next();
        switch (token.kind)
        {
        case ScriptTokenKind::End:
            return true;
        case ScriptTokenKind::Newline:
            ++line;
            break;
        case ScriptTokenKind::LineComment:
            break;
        case ScriptTokenKind::BlockComment:
            line += countLineFeeds(token.Core());
            break;
        case ScriptTokenKind::Error:
            return fail("Unexpected symbols.");
        default:
            return fail("Plain text in includes.");
        }
    }
}

bool Context::runDirective(std::string_view text)
{
    ScriptTokenizer tokens(text);
    const ScriptToken nameToken = tokens.Next();
    const std::string_view name = nameToken.Is(ScriptTokenKind::Identifier) ? nameToken.Core() : std::string_view();

    const bool isIfdef = name == "ifdef";
    if (isIfdef || name == "ifndef")
    {
        const ScriptToken macro = tokens.Next();
        if (!macro.Is(ScriptTokenKind::Identifier))
            return fail("Expected identifier.");
        const bool defined = lookup(macro.Core()) != nullptr;
        savedConditions.push_back(condition);
        skippedSaved += condition & 1;
        condition = defined == isIfdef ? 0 : 1;
        updateActive();
        return true;
    }
    if (name == "else")
    {
        if (savedConditions.empty())
            return fail("#else without corresponding #if<...>.");
        if (condition & 2)
            return fail("#else after #else.");
        condition = (condition | 2) ^ 1;
        updateActive();
        return true;
    }
    if (name == "endif")
    {
        if (savedConditions.empty())
            return fail("#endif without corresponding #if<...>.");
        condition = savedConditions.back();
        savedConditions.pop_back();
        skippedSaved -= condition & 1;
        updateActive();
        return true;
    }

    const bool known = name == "define" || name == "undef" || name == "warning" || name == "error" ||
                       name == "include";
    if (!known)
        return fail("Unknown preprocessor directive: " + std::string(name));
    if (!active)
        return true;

    if (name == "define")
        return define(tokens, text);
    if (name == "undef")
    {
        const ScriptToken macro = tokens.Next();
        if (!macro.Is(ScriptTokenKind::Identifier))
            return fail("Expected identifier.");
        const std::string macroName(macro.Core());
        if (findIn(system, macroName))
            warn("System macro '" + macroName + "' can not be undefined.");
        else if (locals.erase(macroName) == 0)
            warn("Macro '" + macroName + "' not defined, #undef ignored.");
        return true;
    }
    if (name == "warning")
    {
        warn(std::string(quotedArgument(tokens)));
        return true;
    }
    if (name == "error")
        return fail(std::string(quotedArgument(tokens)));
    return include(quotedArgument(tokens));
}

bool Context::define(ScriptTokenizer& tokens, std::string_view text)
{
    const ScriptToken nameToken = tokens.Next();
    if (!nameToken.Is(ScriptTokenKind::Identifier))
        return fail("Expected identifier.");
    const std::string name(nameToken.Core());

    ScriptMacro macro;
    const size_t after = tokens.Position();
    if (after < text.size() && text[after] == '(')
    {
        macro.objectLike = false;
        tokens.Next(); // the '('
        ScriptToken token = tokens.Next();
        if (!token.Is(ScriptTokenKind::CloseParen))
        {
            for (;;)
            {
                const bool variadic = token.Is(ScriptTokenKind::Hash);
                if (variadic)
                    token = tokens.Next();
                if (!token.Is(ScriptTokenKind::Identifier))
                    return fail("Expected identifier.");
                macro.parameters.emplace_back(token.Core());
                macro.variadic = variadic;
                token = tokens.Next();
                if (token.Is(ScriptTokenKind::CloseParen))
                    break;
                if (variadic || !token.Is(ScriptTokenKind::Comma))
                    return fail("Expected ')'.");
                token = tokens.Next();
            }
        }
    }
    else if (after < text.size() && !isBlank(text[after]))
    {
        return fail("Expected '(' or ' '.");
    }

    // The body runs to the line end or to a line comment, without the blanks around it.
    size_t bodyStart = std::string_view::npos;
    size_t bodyEnd = 0;
    for (;;)
    {
        const size_t tokenStart = tokens.Position();
        const ScriptToken token = tokens.Next();
        if (token.Is(ScriptTokenKind::End) || token.Is(ScriptTokenKind::LineComment))
            break;
        if (token.Is(ScriptTokenKind::BlockComment))
            return fail("Unexpected multiline comment.");
        if (token.Is(ScriptTokenKind::Error))
            return fail("Unexpected symbols.");
        if (bodyStart == std::string_view::npos)
            bodyStart = tokenStart + token.blanks;
        bodyEnd = tokenStart + token.text.size();
    }
    if (bodyStart != std::string_view::npos)
        macro.body.assign(text.substr(bodyStart, bodyEnd - bodyStart));

    // The local definition is kept even where it warns; a system macro still wins at expansion.
    if (findIn(system, name))
        warn("System macro '" + name + "' can not be redefined.");
    if (findIn(locals, name))
        warn("Macro '" + name + "' redefinition.");
    names.Add(name);
    locals.insert_or_assign(name, std::move(macro));
    return true;
}

bool Context::include(std::string_view name)
{
    const std::string included(name);
    if (!IsScriptNameInsideFolder(name))
        return fail("Include name '" + included + "' leaves the script folder.");
    std::wstring path = L"script\\" + Utf8ToWString(name);
    for (wchar_t& c : path)
    {
        if (c == L'/')
            c = L'\\';
    }
    FileSystem* files = FileSystem::Get();
    Stream stream = files ? files->OpenStream(path) : Stream();
    if (!stream.IsValid())
        return fail("Can not include '" + included + "'.");
    // Counted over the whole run, so that a file that includes itself many times ends early.
    const uint32_t size = stream.GetSize();
    if (size > limit - includedBytes)
        return fail("Included text too large.");
    includedBytes += size;
    std::string text(size, '\0');
    uint32_t read = 0;
    if (size && (!stream.Read(reinterpret_cast<uint8_t*>(text.data()), size, &read) || read != size))
        return fail("Can not include '" + included + "'.");

    ++depth;
    std::string savedSource = std::move(source);
    const uint32_t savedLine = line;
    source = included;
    line = 0;
    const bool ok = RunSource(text);
    // A failure is reported where it happened; the place is restored only to go on.
    if (ok)
    {
        source = std::move(savedSource);
        line = savedLine;
    }
    --depth;
    return ok;
}

} // namespace PreprocessorInternal

bool IsScriptNameInsideFolder(std::string_view name)
{
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string_view::npos)
        return false;
    size_t start = 0;
    while (start <= name.size())
    {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

void DefineSystemMacroInt(std::string_view name, int32_t value)
{
    ScriptMacro macro;
    macro.body = std::to_string(value);
    systemMacros().insert_or_assign(std::string(name), std::move(macro));
}

void DefineSystemMacroString(std::string_view name, std::wstring_view value)
{
    ScriptMacro macro;
    macro.body = WStringToUtf8(value);
    systemMacros().insert_or_assign(std::string(name), std::move(macro));
}

const ScriptMacro* FindSystemMacro(std::string_view name)
{
    return findIn(systemMacros(), name);
}

ScriptPreprocessor::ScriptPreprocessor() : buffers(std::make_unique<ScriptPreprocessorBuffers>()) {}

ScriptPreprocessor::~ScriptPreprocessor() = default;

bool ScriptPreprocessor::Run(std::string_view input, std::string& output)
{
    messages.clear();
    Context context(messages, *buffers, wholeRescans, outputLimit);
    context.output.reserve(input.size() + input.size() / 4);
    if (!context.RunSource(input))
        return false;
    output = std::move(context.output);
    return true;
}

bool ScriptPreprocessor::DefineMacrosFromText(std::string_view text)
{
    messages.clear();
    Context context(messages, *buffers, wholeRescans, outputLimit);
    const bool ok = context.RunSource(text);
    MacroMap& table = systemMacros();
    for (auto& [name, macro] : context.locals)
        table.try_emplace(name, std::move(macro));
    return ok;
}

} // namespace TarnEngine
