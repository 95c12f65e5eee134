// Small free functions on wide text used throughout the engine and the game: splitting, trimming,
// replacing, case-blind comparison, number parsing, the program's own resource strings and the
// value-to-text steps of the game's XML serialisation. Formatting and encoding conversions live in
// StringFormat.h and TextConversion.h, included here so one include brings the whole family.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{

// Splits text at separator and appends the parts to out; returns how many were appended.
// A separator of 0 or mostParts 1 gives the whole text as one part. With trim, white space around
// each part is left out. Empty parts before the first non-empty one are dropped, later ones kept.
// With mostParts N (-1: no limit), the N-th part is the rest of the text, separators included.
int SplitString(const std::wstring& text, wchar_t separator, bool trim, int mostParts,
                std::vector<std::wstring>& out);
std::vector<std::wstring> SplitString(const std::wstring& text, wchar_t separator, bool trim = false,
                                      int mostParts = -1);

// Removes every leading and trailing occurrence of c, in place.
void TrimChar(std::wstring& text, wchar_t c);
// TrimChar with space, TAB, LF, CR and VT, in that order, once each.
void Trim(std::wstring& text);

// Replaces every occurrence of what, left to right, resuming after the inserted text; returns the
// number of replacements (0 when text or what is empty).
int ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with);
int ReplaceChar(std::wstring& text, wchar_t from, wchar_t to);

bool StartsWith(std::wstring_view text, std::wstring_view prefix);
bool EndsWith(std::wstring_view text, std::wstring_view suffix);

// Simple (one to one) Unicode lower-casing, independent of the process locale.
std::wstring ToLower(std::wstring_view text);
// Compares the lower-cased texts: negative, 0 or positive.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// Integer literals with automatic base: "0x" hexadecimal, a leading 0 octal, otherwise decimal;
// leading white space and a sign are accepted, reading stops at the first character that does not
// fit, no digits gives 0. WStringToInt is unsigned 32-bit (a minus gives the two's complement, an
// overflow 0xFFFFFFFF); WStringToLong is signed 32-bit, clamped to its range.
uint32_t WStringToInt(std::wstring_view text);
int32_t WStringToLong(std::wstring_view text);
// Decimal floating conversion in the "C" locale, whatever the process locale; no number gives 0,
// and neither do the words "inf" and "nan" or hexadecimal text.
double WStringToDouble(const std::wstring& text);

// A string of the program's own resources by id; empty when there is none.
std::wstring LoadResourceString(uint32_t id);

// Value to text for the game's XML serialisation; typeName receives the type word.
std::wstring SerializeIntValue(int32_t value, std::wstring& typeName);
// Written with "%d" as well, so values from 2^31 up read back as negative numbers, as stored files have them.
std::wstring SerializeUIntValue(uint32_t value, std::wstring& typeName);
std::wstring SerializeBoolValue(bool value, std::wstring& typeName);

} // namespace TarnEngine
