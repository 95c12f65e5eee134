// Script preprocessor tokenizer; see PreprocessorTokens.h.
#include "engine/scene/script/PreprocessorTokens.h"

#include <array>

namespace TarnEngine
{

namespace
{

enum : uint8_t
{
    kLetter = 1, // letters and '_'
    kDigit = 2,
};

constexpr std::array<uint8_t, 256> makeClasses()
{
    std::array<uint8_t, 256> classes{};
    for (int c = 'a'; c <= 'z'; ++c)
        classes[c] = kLetter;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[c] = kLetter;
    classes['_'] = kLetter;
    for (int c = '0'; c <= '9'; ++c)
        classes[c] = kDigit;
    return classes;
}

constexpr std::array<uint8_t, 256> kClasses = makeClasses();

inline uint8_t classOf(char c)
{
    return kClasses[static_cast<unsigned char>(c)];
}

} // namespace

size_t ScriptTokenizer::scanLongBracket(size_t at) const
{
    // Lua 5.1 still accepts "[[" nested inside a long bracket, so pairs are counted.
    size_t depth = 1;
    size_t i = at + 2;
    const size_t size = text.size();
    while (i + 1 < size)
    {
        const char c = text[i];
        if (c == '[' && text[i + 1] == '[')
        {
            ++depth;
            i += 2;
        }
        else if (c == ']' && text[i + 1] == ']')
        {
            i += 2;
            if (--depth == 0)
                return i;
        }
        else
        {
            ++i;
        }
    }
    return std::string_view::npos;
}

size_t ScriptTokenizer::scanString(size_t at) const
{
    const char quote = text[at];
    size_t i = at + 1;
    const size_t size = text.size();
    while (i < size)
    {
        const char c = text[i];
        if (c == '\\')
            i += 2;
        else if (c == quote)
            return i + 1;
        else if (c == '\n' || c == '\r')
            return std::string_view::npos; // Lua does not let a quoted string run on to the next line
        else
            ++i;
    }
    return std::string_view::npos;
}

size_t ScriptTokenizer::scanNumber(size_t at) const
{
    const size_t size = text.size();
    size_t i = at;
    while (i < size && classOf(text[i]) == kDigit)
        ++i;
    if (i < size && text[i] == '.' && !(i + 1 < size && text[i + 1] == '.'))
    {
        ++i;
        while (i < size && classOf(text[i]) == kDigit)
            ++i;
    }
    if (i < size && (text[i] == 'e' || text[i] == 'E'))
    {
        ++i;
        if (i < size && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (i >= size || classOf(text[i]) != kDigit)
            return std::string_view::npos;
        while (i < size && classOf(text[i]) == kDigit)
            ++i;
    }
    // Letters run on into the number as in Lua's own lexer, so that "0x1F" stays one token and no
    // part of it is mistaken for a name.
    while (i < size && classOf(text[i]) != 0)
        ++i;
    return i;
}

ScriptToken ScriptTokenizer::Next()
{
    const size_t start = position;
    const size_t size = text.size();
    size_t i = start;
    while (i < size && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    ScriptToken token;
    token.blanks = static_cast<uint32_t>(i - start);
    size_t end = i + 1;
    if (i >= size)
    {
        token.kind = ScriptTokenKind::End;
        end = size;
    }
    else
    {
        const char c = text[i];
        const char next = i + 1 < size ? text[i + 1] : '\0';
        switch (c)
        {
        case '\n':
            token.kind = ScriptTokenKind::Newline;
            break;
        case '-':
            if (next != '-')
            {
                token.kind = ScriptTokenKind::Other;
            }
            else if (i + 3 < size && text[i + 2] == '[' && text[i + 3] == '[')
            {
                end = scanLongBracket(i + 2);
                token.kind = end == std::string_view::npos ? ScriptTokenKind::Error : ScriptTokenKind::BlockComment;
            }
            else
            {
                token.kind = ScriptTokenKind::LineComment;
                end = text.find('\n', i);
                if (end == std::string_view::npos)
                    end = size;
            }
            break;
        case '#':
            token.kind = next == '#' ? ScriptTokenKind::HashHash : ScriptTokenKind::Hash;
            end = next == '#' ? i + 2 : i + 1;
            break;
        case '(':
            token.kind = ScriptTokenKind::OpenParen;
            break;
        case ')':
            token.kind = ScriptTokenKind::CloseParen;
            break;
        case ',':
            token.kind = ScriptTokenKind::Comma;
            break;
        case '{':
            token.kind = ScriptTokenKind::OpenBrace;
            break;
        case '}':
            token.kind = ScriptTokenKind::CloseBrace;
            break;
        case '"':
        case '\'':
            end = scanString(i);
            token.kind = end == std::string_view::npos ? ScriptTokenKind::Error : ScriptTokenKind::String;
            break;
        case '[':
            if (next == '[')
            {
                end = scanLongBracket(i);
                token.kind = end == std::string_view::npos ? ScriptTokenKind::Error : ScriptTokenKind::LongString;
            }
            else
            {
                token.kind = ScriptTokenKind::Other;
            }
            break;
        case '.':
            if (next == '.')
            {
                const bool three = i + 2 < size && text[i + 2] == '.';
                token.kind = three ? ScriptTokenKind::Ellipsis : ScriptTokenKind::Concat;
                end = i + (three ? 3 : 2);
            }
            else
            {
                token.kind = ScriptTokenKind::Dot;
            }
            break;
        case '=':
        case '~':
            if (next == '=')
            {
                token.kind = c == '=' ? ScriptTokenKind::Equal : ScriptTokenKind::NotEqual;
                end = i + 2;
            }
            else
            {
                token.kind = ScriptTokenKind::Other;
            }
            break;
        case '<':
        case '>':
            if (next == '=')
            {
                token.kind = c == '<' ? ScriptTokenKind::LessEqual : ScriptTokenKind::GreaterEqual;
                end = i + 2;
            }
            else
            {
                token.kind = c == '<' ? ScriptTokenKind::Less : ScriptTokenKind::Greater;
            }
            break;
        default:
            if (classOf(c) == kLetter)
            {
                token.kind = ScriptTokenKind::Identifier;
                end = i + 1;
                while (end < size && classOf(text[end]) != 0)
                    ++end;
            }
            else if (classOf(c) == kDigit)
            {
                end = scanNumber(i);
                token.kind = end == std::string_view::npos ? ScriptTokenKind::Error : ScriptTokenKind::Number;
            }
            else
            {
                token.kind = ScriptTokenKind::Other;
            }
            break;
        }
        // An error token takes the rest of the text: nothing after it is read.
        if (end == std::string_view::npos)
            end = size;
    }
    token.text = text.substr(start, end - start);
    position = end;
    return token;
}

} // namespace TarnEngine
