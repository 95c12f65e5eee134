// The tokenizer of the script preprocessor. It knows just enough of Lua to keep macro names inside
// strings, long brackets, comments and numbers from being taken as names: the preprocessor copies
// every token it does not replace, so a token only has to say where it ends and what it is.
//
// Blanks and tabs before a token belong to it: a token's text starts with them, and copying token
// texts one after the other gives back the input exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace TarnEngine
{

enum class ScriptTokenKind : uint8_t
{
    End,          // no more text; its text holds the trailing blanks
    Error,        // an unterminated string or long bracket, or an exponent without digits
    Newline,      // LF
    LineComment,  // "--" up to the next LF, which is not part of it
    BlockComment, // "--[[" up to the matching "]]", nested pairs counted
    Identifier,
    Hash,         // '#'
    HashHash,     // "##"
    OpenParen,
    CloseParen,
    Comma,
    OpenBrace,
    CloseBrace,
    String,       // between double or between single quotes, backslash escapes skipped
    LongString,   // "[[" up to the matching "]]", nested pairs counted
    Number,
    Dot,
    Concat,       // ".."
    Ellipsis,     // "..."
    Equal,        // "=="
    NotEqual,     // "~="
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Other         // any other single character
};

struct ScriptToken
{
    ScriptTokenKind kind = ScriptTokenKind::End;
    std::string_view text; // the token with the blanks before it
    uint32_t blanks = 0;   // how many of text's first characters are those blanks

    std::string_view Blanks() const { return text.substr(0, blanks); }
    std::string_view Core() const { return text.substr(blanks); }
    bool Is(ScriptTokenKind k) const { return kind == k; }
};

class ScriptTokenizer
{
public:
    explicit ScriptTokenizer(std::string_view text) : text(text) {}

    ScriptToken Next();
    // Where the next token's blanks begin.
    size_t Position() const { return position; }
    // Goes on from there; it must be where a token begins.
    void Seek(size_t to) { position = to < text.size() ? to : text.size(); }

private:
    size_t scanLongBracket(size_t at) const; // end of the bracket opened at `at`, or npos
    size_t scanString(size_t at) const;      // end of the string opened at `at`, or npos
    size_t scanNumber(size_t at) const;      // end of the number starting at `at`, or npos

    std::string_view text;
    size_t position = 0;
};

} // namespace TarnEngine
