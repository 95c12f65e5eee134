// Script preprocessor: the expansion of macros in text, pass by pass, with calls of function-like
// macros and the substitution of their arguments; see Preprocessor.h and PreprocessorContext.h.
#include "engine/scene/script/PreprocessorContext.h"

#include "engine/core/text/TextConversion.h"

#include <cstring>

namespace TarnEngine
{
namespace PreprocessorInternal
{

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

} // namespace PreprocessorInternal
} // namespace TarnEngine
