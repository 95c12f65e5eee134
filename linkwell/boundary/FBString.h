// Boundary strings: the only text objects that cross between pellwood and
// liblinkwell.so. The two modules do not share a heap, so every buffer comes
// straight from the page allocator and either side may grow or free a buffer
// the other made. FBString holds bytes, FBWString UTF-16 units (char16_t; the
// engine's wchar_t is 32-bit, so the game converts at the boundary).
// This code is compiled into both deliverables (static library
// linkwell_boundary).
#pragma once

#include <cstdint>

namespace linkwell {

// Page-allocator pair behind every boundary buffer. A refused allocation writes
// one line to standard error and ends the process: no exception may cross the
// boundary and no caller could carry on without the buffer.
void* BoundaryAllocate(uint64_t bytes);
void BoundaryRelease(void* buffer, uint64_t bytes);

// Zero-terminated text of Unit with a capacity counted in units, terminator
// included. No length is stored: the length is the count before the first zero.
template <class Unit>
class FBBasicString {
public:
    FBBasicString();
    FBBasicString(const Unit* text);
    FBBasicString(const FBBasicString& other);
    FBBasicString& operator=(const FBBasicString& other);
    ~FBBasicString();

    void Free();
    void Reserve(uint32_t units);
    void Grow(uint32_t units);
    void Assign(const Unit* text);
    void Assign(const Unit* text, uint32_t count);
    FBBasicString& Append(const Unit* text);
    int32_t Find(const Unit* needle, int32_t start) const;
    FBBasicString Substr(int32_t start, int32_t count) const;
    bool Equals(const Unit* text) const;
    bool StartsWith(const Unit* text) const;
    int32_t FindChar(Unit ch) const;

    const Unit* Text() const { return text_; }
    Unit* Buffer() { return text_; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t Length() const;

    static uint32_t Measure(const Unit* text);

private:
    Unit* text_ = nullptr;
    uint32_t capacity_ = 0;
};

extern template class FBBasicString<char>;
extern template class FBBasicString<char16_t>;

using FBString = FBBasicString<char>;
using FBWString = FBBasicString<char16_t>;

// Construction, equality, prefix test, substring, find, find-character and
// append of FBWString. Writes "FBWString unit test fails!" to standard error
// and returns false when any of them misbehaves.
bool FBWStringSelfTest();

} // namespace linkwell
