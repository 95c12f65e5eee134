// Script preprocessor; see Preprocessor.h.
#include "engine/scene/script/Preprocessor.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/TextConversion.h"
#include "engine/scene/script/PreprocessorTokens.h"

#include <cstring>
#include <functional>
#include <unordered_map>

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

namespace
{

struct NameHash
{
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
};

using MacroMap = std::unordered_map<std::string, ScriptMacro, NameHash, std::equal_to<>>;

// One table for the process, made by whichever static initialiser defines the first system macro.
MacroMap& systemMacros()
{
    static MacroMap table;
    return table;
}

const ScriptMacro* findIn(const MacroMap& map, std::string_view name)
{
    const auto found = map.find(name);
    return found == map.end() ? nullptr : &found->second;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimLeadingBlanks(std::string_view text)
{
    size_t skip = 0;
    while (skip < text.size() && isBlank(text[skip]))
        ++skip;
    return text.substr(skip);
}

uint32_t countLineFeeds(std::string_view text)
{
    uint32_t count = 0;
    for (const char c : text)
        count += c == '\n';
    return count;
}

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

bool Context::expand(std::string_view text, std::string& out)
{
    // The first pass writes straight into the output. A text that held macros is read from there by
    // the second pass; the passes after it take turns with two buffers.
    const uint32_t firstLine = line;
    const size_t start = out.size();
    std::vector<TextChange>* changes = buffers.changes;
    bool replaced = false;
    bool changed = false;
    if (!expandPass(text, out, nullptr, changes[0], replaced, changed))
        return false;
    if (!changed)
        out += text;
    if (!replaced)
        return out.size() <= limit || tooLarge();

    std::string_view previous(out.data() + start, out.size() - start);
    bool previousInOutput = true;
    for (uint32_t level = 1;; ++level)
    {
        // Each pass walks the same lines again.
        line = firstLine;
        if (level > ScriptPreprocessor::MaxRescans)
            return fail("Maximum macro-inside-macro level.");
        std::string& target = buffers.passes[level & 1];
        target.clear();
        replaced = false;
        changed = false;
        const std::vector<TextChange>* before = wholeRescans ? nullptr : &changes[(level - 1) & 1];
        if (!expandPass(previous, target, before, changes[level & 1], replaced, changed))
            return false;
        if (!changed)
        {
            // The text stands as it is.
            if (!previousInOutput)
                out += previous;
            return out.size() <= limit || tooLarge();
        }
        if (previousInOutput)
        {
            out.resize(start);
            previousInOutput = false;
        }
        if (!replaced)
        {
            out += target;
            return out.size() <= limit || tooLarge();
        }
        previous = target;
    }
}

bool Context::expandPass(std::string_view text, std::string& out, const std::vector<TextChange>* before,
                         std::vector<TextChange>& after, bool& replaced, bool& changed)
{
    // Tokens that stay as they are are not copied one by one: the text since the last change is
    // copied in one piece when the next change comes, and not at all when nothing changes.
    //
    // A rescan (`before` given) only walks the text around what the pass before it changed. Between
    // two changes that pass left whole tokens as they were, none of them a macro; walked again from
    // the first of them, they give the same tokens once more, except the last, which may run on into
    // the changed text. So the walk skips from the start of such a run to its last token, and is
    // back at the start of a run whenever a token ends exactly where a change ended.
    ScriptTokenizer tokens(text);
    const size_t base = out.size();
    size_t copied = 0;              // the text before this is in the output
    size_t kept = std::string_view::npos; // start of the latest token left as it was
    size_t nextBefore = 0;          // the first change of `before` not yet passed
    bool atRun = before != nullptr; // at the start of a run of the pass before
    after.clear();

    // Where a position of the text lands in the output, when nothing changes in between.
    const auto outputAt = [&](size_t position) { return out.size() - base + (position - copied); };
    // Starts a change at the token that begins at `start`: the text before it goes to the output.
    // A change close behind the one before joins it, the few bytes between counting as changed:
    // the next pass reads them again, and the list stays short however many changes there are.
    const auto beginChange = [&](size_t start) {
        TextChange change;
        change.start = outputAt(start);
        change.resume = kept != std::string_view::npos && kept >= copied ? outputAt(kept) : change.start;
        out.append(text.data() + copied, start - copied);
        if (after.empty() || change.start - after.back().end > kJoinedGap)
            after.push_back(change);
        changed = true;
    };
    const auto endChange = [&](size_t resumeAt) {
        after.back().end = out.size() - base;
        copied = resumeAt;
    };

    for (;;)
    {
        if (atRun)
        {
            atRun = false;
            const size_t from = tokens.Position();
            const size_t to = nextBefore < before->size() ? (*before)[nextBefore].resume : text.size();
            if (to > from)
            {
                line += countLineFeeds(text.substr(from, to - from));
                kept = from;
                tokens.Seek(to);
            }
        }
        const size_t start = tokens.Position();
        const ScriptToken token = tokens.Next();
        bool keep = true;
        switch (token.kind)
        {
        case ScriptTokenKind::End:
            if (changed)
                out.append(text.data() + copied, text.size() - copied);
            return out.size() <= limit || tooLarge();
        case ScriptTokenKind::Error:
            return fail("Unexpected symbols.");
        case ScriptTokenKind::Newline:
            ++line;
            break;
        case ScriptTokenKind::LineComment:
        case ScriptTokenKind::BlockComment:
        {
            const uint32_t lineFeeds = countLineFeeds(token.Core());
            beginChange(start);
            out += token.Blanks();
            out += ' ';
            out.append(lineFeeds, '\n');
            endChange(tokens.Position());
            line += lineFeeds;
            keep = false;
            break;
        }
        case ScriptTokenKind::LongString:
            line += countLineFeeds(token.Core());
            break;
        case ScriptTokenKind::Identifier:
        {
            const std::string_view name = token.Core();
            if (!names.MayHold(name))
                break;
            if (name == "__FILE__" || name == "__LINE__")
            {
                beginChange(start);
                out += token.Blanks();
                if (name == "__FILE__")
                {
                    out += '"';
                    out += source;
                    out += '"';
                }
                else
                {
                    out += std::to_string(line + 1);
                }
                endChange(tokens.Position());
                keep = false;
                break;
            }
            const ScriptMacro* macro = lookup(name);
            if (!macro)
                break;
            replaced = true;
            keep = false;
            beginChange(start);
            out += token.Blanks();
            if (macro->objectLike)
                out += macro->body;
            else if (!expandCall(name, *macro, tokens, out))
                return false;
            endChange(tokens.Position());
            if (out.size() > limit)
                return tooLarge();
            break;
        }
        default:
            break;
        }
        if (keep)
            kept = start;
        if (before)
        {
            // A token that ends exactly where a change of the pass before ended starts a run.
            const size_t position = tokens.Position();
            while (nextBefore < before->size() && (*before)[nextBefore].end < position)
                ++nextBefore;
            if (nextBefore < before->size() && (*before)[nextBefore].end == position)
            {
                ++nextBefore;
                atRun = true;
            }
        }
    }
}

bool Context::expandCall(std::string_view name, const ScriptMacro& macro, ScriptTokenizer& tokens, std::string& out)
{
    if (!tokens.Next().Is(ScriptTokenKind::OpenParen))
        return fail("Expected '('.");

    // Arguments up to the matching ')': brackets and braces nest, a comma at the outer level ends
    // an argument, line ends become blanks (and are given back after the expansion).
    arguments.clear();
    brackets.assign(1, '(');
    std::string argument;
    uint32_t spanned = 0;
    const auto finishArgument = [&]() {
        const std::string_view trimmed = trimLeadingBlanks(argument);
        arguments.emplace_back(trimmed);
        argument.clear();
    };
    for (bool closed = false; !closed;)
    {
        const ScriptToken token = tokens.Next();
        switch (token.kind)
        {
        case ScriptTokenKind::End:
            return fail("Unexpected end of line.");
        case ScriptTokenKind::Error:
            return fail("Unexpected symbols.");
        case ScriptTokenKind::OpenParen:
        case ScriptTokenKind::OpenBrace:
            brackets.push_back(token.Is(ScriptTokenKind::OpenParen) ? '(' : '{');
            argument += token.text;
            break;
        case ScriptTokenKind::CloseParen:
            if (brackets.back() != '(')
                return fail("Unexpected ')'.");
            brackets.pop_back();
            if (brackets.empty())
            {
                // An empty last argument is no argument: "()" has none.
                if (!trimLeadingBlanks(argument).empty())
                    finishArgument();
                closed = true;
            }
            else
            {
                argument += token.text;
            }
            break;
        case ScriptTokenKind::CloseBrace:
            if (brackets.back() != '{')
                return fail("Unexpected '}'.");
            brackets.pop_back();
            argument += token.text;
            break;
        case ScriptTokenKind::Comma:
            if (brackets.size() == 1)
                finishArgument();
            else
                argument += token.text;
            break;
        case ScriptTokenKind::Newline:
            argument += token.Blanks();
            argument += ' ';
            ++spanned;
            break;
        case ScriptTokenKind::LineComment:
            // Dropped as everywhere else: left in, it would swallow the rest of the expansion.
            argument += token.Blanks();
            argument += ' ';
            break;
        case ScriptTokenKind::BlockComment:
            argument += token.Blanks();
            argument += ' ';
            spanned += countLineFeeds(token.Core());
            break;
        case ScriptTokenKind::LongString:
        {
            const size_t at = argument.size();
            argument += token.text;
            for (size_t i = at; i < argument.size(); ++i)
            {
                if (argument[i] == '\n')
                {
                    argument[i] = ' ';
                    ++spanned;
                }
            }
            break;
        }
        default:
            argument += token.text;
            break;
        }
        if (argument.size() > limit)
            return tooLarge();
    }

    const size_t parameterCount = macro.parameters.size();
    const size_t argumentCount = arguments.size();
    if (!(argumentCount == parameterCount || (macro.variadic && argumentCount + 1 >= parameterCount)))
        return fail("Macro <" + std::string(name) + "> used with wrong number of arguments.");

    values.resize(parameterCount);
    for (size_t i = 0; i < parameterCount; ++i)
    {
        if (macro.variadic && i + 1 == parameterCount)
        {
            values[i].clear();
            for (size_t j = i; j < argumentCount; ++j)
            {
                if (j > i)
                    values[i] += ',';
                values[i] += arguments[j];
            }
        }
        else
        {
            values[i].swap(arguments[i]);
        }
    }
    if (!substitute(macro, out))
        return false;
    out.append(spanned, '\n');
    line += spanned;
    return true;
}

bool Context::substitute(const ScriptMacro& macro, std::string& out)
{
    const size_t start = out.size();
    const auto parameterIndex = [&](std::string_view name) -> int {
        for (size_t i = 0; i < macro.parameters.size(); ++i)
        {
            if (macro.parameters[i] == name)
                return static_cast<int>(i);
        }
        return -1;
    };

    ScriptTokenizer tokens(macro.body);
    std::string_view heldComma; // the blanks before the comma held back
    bool holding = false;
    bool glue = false; // the token after "##" loses its blanks
    for (;;)
    {
        if (out.size() > limit)
            return tooLarge();
        const ScriptToken token = tokens.Next();
        if (token.Is(ScriptTokenKind::End))
            break;
        const std::string_view blanks = glue ? std::string_view() : token.Blanks();
        glue = false;
        if (token.Is(ScriptTokenKind::Comma))
        {
            if (holding)
                return fail("Expected identifier.");
            holding = true;
            heldComma = blanks;
            continue;
        }
        const int parameter = token.Is(ScriptTokenKind::Identifier) ? parameterIndex(token.Core()) : -1;
        if (holding)
        {
            // A comma before an empty parameter goes with it: F(a) of F(a, #rest) leaves no comma.
            if (parameter < 0 || !values[parameter].empty())
            {
                out += heldComma;
                out += ',';
            }
            holding = false;
        }
        switch (token.kind)
        {
        case ScriptTokenKind::HashHash:
            while (out.size() > start && isBlank(out.back()))
                out.pop_back();
            glue = true;
            break;
        case ScriptTokenKind::Hash:
        {
            const ScriptToken operand = tokens.Next();
            if (!operand.Is(ScriptTokenKind::Identifier))
                return fail("Expected identifier.");
            const int quoted = parameterIndex(operand.Core());
            out += blanks;
            out += '"';
            out += quoted >= 0 ? std::string_view(values[quoted]) : operand.Core();
            out += '"';
            break;
        }
        default:
            out += blanks;
            out += parameter >= 0 ? std::string_view(values[parameter]) : token.Core();
            break;
        }
    }
    if (holding)
    {
        out += heldComma;
        out += ',';
    }
    return true;
}

} // namespace

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
