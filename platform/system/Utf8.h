// UTF-8 for the platform layer's libraries (SDL, fontconfig) from and to the
// engine's wide text. The engine has its own conversions, which the platform
// cannot use; this is the one copy the platform folders share.
#pragma once

#include <string>
#include <string_view>

namespace Platform
{
// Appends the characters of a UTF-8 text; malformed sequences, overlong
// forms, surrogates and values above U+10FFFF are skipped.
void AppendUtf8Characters(const char* text, std::u32string& out);

// The wide text of a UTF-8 text, decoded as AppendUtf8Characters does; null
// gives the empty string.
std::wstring WideFromUtf8(const char* text);

// UTF-8 from the engine's wide text; values that are no characters become
// U+FFFD.
std::string Utf8FromWide(std::wstring_view text);
} // namespace Platform
