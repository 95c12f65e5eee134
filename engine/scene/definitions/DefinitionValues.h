// The value forms of definition files: integers with automatic base, decimal reals, the text of
// text entries (punctuation spacing and backslash escapes), and a frame's transform split into the
// position, scale and rotation that a key entry stores. Exposed for the loader and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace TarnEngine
{

struct KeyEntry;

// "0x" hexadecimal, a leading "0" octal, else decimal; a minus gives the two's complement (-1 is
// 0xFFFFFFFF); the empty text gives 0.
uint32_t ReadUnsignedValue(std::wstring_view text);
// The same forms, clamped to the signed 32-bit range (0xFFFFFFFF gives 0x7FFFFFFF).
int32_t ReadSignedValue(std::wstring_view text);
// A decimal floating literal after leading blanks (sign, fraction, exponent); no number gives 0.
// `used` (when given) receives the count of characters read, blanks included; 0 when no number.
double ReadRealValue(std::wstring_view text, size_t* used = nullptr);

// A text entry's text as it is shown: after ".", ",", ":", ";", "!" or "?" a run of spaces before
// a letter or digit shrinks to one space; then "\\", "\n", "\r" and "\t" become their characters
// and a backslash before anything else (or standing last) goes with that character.
std::wstring PrepareEntryText(const std::wstring& text);

// Fills position, scales and rotation of the key from a "transform" text of six numbers
// (a, b, c, d, tx, ty: rows (a, b), (c, d), (tx, ty) of a matrix for row vectors). Missing numbers
// at the end are those of the identity. Text entries are placed 2 pixels up and left.
void ReadKeyTransform(std::wstring_view text, bool textEntry, KeyEntry& key);

} // namespace TarnEngine
