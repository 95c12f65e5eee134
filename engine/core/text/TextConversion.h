// Conversions between the engine's wide text and the encodings met at its edges: UTF-8 (the XML and
// script libraries, file names of libraries), UTF-16 (files that store it, little-endian) and the
// "ANSI code page", which is Windows-1252 here. Wide text holds one code point per wchar_t.
// Malformed input never fails a conversion: each bad sequence becomes U+FFFD, and code points outside
// the Basic Multilingual Plane round-trip through every Unicode form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace TarnEngine
{

inline constexpr wchar_t kReplacementChar = 0xFFFD;

// UTF-8. A null or empty input gives the empty string.
std::wstring Utf8ToWString(const char* text);
std::wstring Utf8ToWString(std::string_view text);
// Decodes into out, which has room for text.size() characters (never too few); returns how many it wrote.
size_t Utf8ToWideChars(std::string_view text, wchar_t* out);
std::string WStringToUtf8(std::wstring_view text);
// Whether the bytes are well-formed UTF-8 throughout (no overlong forms, surrogates or code points
// past U+10FFFF): the input that Utf8ToWString decodes without a replacement.
bool IsValidUtf8(std::string_view text);
// The UTF-8 of length characters of text (or up to its NUL when length is -1), zero-terminated;
// null when the result would be empty.
std::unique_ptr<char[]> WideToUtf8Alloc(const wchar_t* text, int length = -1);

// UTF-16, as code units and as little-endian bytes; an odd last byte becomes U+FFFD.
std::wstring Utf16ToWString(std::u16string_view text);
std::u16string WStringToUtf16(std::wstring_view text);
std::wstring Utf16LeToWString(const void* bytes, size_t byteCount);
std::vector<uint8_t> WStringToUtf16Le(std::wstring_view text);

// Windows-1252. Every byte has a character (the five bytes the code page leaves unassigned map to the
// control characters of the same value, as Windows does), so narrow text survives a round trip;
// characters the code page lacks become '?'.
wchar_t AnsiCharToWide(unsigned char c);
std::wstring AnsiToWString(const char* text);
std::wstring AnsiToWString(std::string_view text);
// Exactly text.size() characters into out.
void AnsiToWideChars(std::string_view text, wchar_t* out);
// The first min(count, length) bytes of the zero-terminated text.
std::wstring AnsiToWStringN(const char* text, size_t count);
std::wstring ToWideString(const std::string& text);
// Exactly count characters of the buffer (count 0 gives the empty string).
std::string WideToAnsiN(const wchar_t* text, size_t count);
std::string WStringToAnsi(std::wstring_view text);

} // namespace TarnEngine
