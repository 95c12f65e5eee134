// Boundary strings over the page allocator (see FBString.h for why).
#include "linkwell/boundary/FBString.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace linkwell {

void* BoundaryAllocate(uint64_t bytes) {
    void* p = mmap(nullptr, bytes == 0 ? 1 : bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        std::fprintf(stderr, "linkwell: the page allocator refused %llu bytes for a boundary string\n",
                     static_cast<unsigned long long>(bytes));
        std::abort();
    }
    return p;
}

void BoundaryRelease(void* buffer, uint64_t bytes) {
    if (buffer != nullptr) {
        munmap(buffer, bytes == 0 ? 1 : bytes);
    }
}

namespace {

template <class Unit>
Unit* allocateUnits(uint64_t units) {
    return static_cast<Unit*>(BoundaryAllocate(units * sizeof(Unit)));
}

template <class Unit>
void releaseUnits(Unit* text, uint32_t capacity) {
    BoundaryRelease(text, static_cast<uint64_t>(capacity) * sizeof(Unit));
}

// Capacities are u32 on the boundary; a text that cannot fit one is treated as
// a refused allocation rather than silently wrapped.
uint32_t checkedCapacity(uint64_t units) {
    if (units > 0xFFFFFFFFull) {
        std::fprintf(stderr, "linkwell: boundary string of %llu units exceeds its capacity field\n",
                     static_cast<unsigned long long>(units));
        std::abort();
    }
    return static_cast<uint32_t>(units);
}

} // namespace

template <class Unit>
uint32_t FBBasicString<Unit>::Measure(const Unit* text) {
    if (text == nullptr) {
        return 0;
    }
    uint64_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return checkedCapacity(n);
}

template <class Unit>
FBBasicString<Unit>::FBBasicString() {
    Reserve(1);
}

template <class Unit>
FBBasicString<Unit>::FBBasicString(const Unit* text) {
    Assign(text);
}

template <class Unit>
FBBasicString<Unit>::FBBasicString(const FBBasicString& other) {
    Assign(other.text_);
}

template <class Unit>
FBBasicString<Unit>& FBBasicString<Unit>::operator=(const FBBasicString& other) {
    Assign(other.text_);
    return *this;
}

template <class Unit>
FBBasicString<Unit>::~FBBasicString() {
    Free();
}

template <class Unit>
void FBBasicString<Unit>::Free() {
    releaseUnits(text_, capacity_);
    text_ = nullptr;
    capacity_ = 0;
}

template <class Unit>
uint32_t FBBasicString<Unit>::Length() const {
    return Measure(text_);
}

template <class Unit>
void FBBasicString<Unit>::Reserve(uint32_t units) {
    if (units == 0) {
        units = 1;
    }
    Free();
    text_ = allocateUnits<Unit>(units);
    capacity_ = units;
    text_[0] = 0;
}

template <class Unit>
void FBBasicString<Unit>::Grow(uint32_t units) {
    if (units <= capacity_) {
        return;
    }
    Unit* grown = allocateUnits<Unit>(units);
    if (text_ != nullptr) {
        std::memcpy(grown, text_, (static_cast<uint64_t>(Length()) + 1) * sizeof(Unit));
    } else {
        grown[0] = 0;
    }
    releaseUnits(text_, capacity_);
    text_ = grown;
    capacity_ = units;
}

template <class Unit>
void FBBasicString<Unit>::Assign(const Unit* text) {
    if (text == nullptr) {
        Reserve(1);
        return;
    }
    Assign(text, Measure(text));
}

template <class Unit>
void FBBasicString<Unit>::Assign(const Unit* text, uint32_t count) {
    if (text == nullptr) {
        count = 0;
    }
    uint32_t needed = checkedCapacity(static_cast<uint64_t>(count) + 1);
    if (needed > capacity_) {
        // The source may be this string's own text: copy before releasing.
        Unit* fresh = allocateUnits<Unit>(needed);
        if (count > 0) {
            std::memcpy(fresh, text, static_cast<uint64_t>(count) * sizeof(Unit));
        }
        fresh[count] = 0;
        releaseUnits(text_, capacity_);
        text_ = fresh;
        capacity_ = needed;
        return;
    }
    if (count > 0) {
        std::memmove(text_, text, static_cast<uint64_t>(count) * sizeof(Unit));
    }
    text_[count] = 0;
}

template <class Unit>
FBBasicString<Unit>& FBBasicString<Unit>::Append(const Unit* text) {
    uint32_t l0 = Length();
    uint32_t l1 = Measure(text);
    if (l1 == 0) {
        return *this;
    }
    uint64_t total = static_cast<uint64_t>(l0) + l1;
    if (capacity_ <= total) {
        // Grown by hand so that a text lying inside the old buffer is still
        // readable while it is copied.
        uint32_t units = checkedCapacity(total + 1);
        Unit* grown = allocateUnits<Unit>(units);
        std::memcpy(grown, text_, static_cast<uint64_t>(l0) * sizeof(Unit));
        std::memcpy(grown + l0, text, static_cast<uint64_t>(l1) * sizeof(Unit));
        grown[total] = 0;
        releaseUnits(text_, capacity_);
        text_ = grown;
        capacity_ = units;
        return *this;
    }
    std::memmove(text_ + l0, text, static_cast<uint64_t>(l1) * sizeof(Unit));
    text_[total] = 0;
    return *this;
}

template <class Unit>
int32_t FBBasicString<Unit>::Find(const Unit* needle, int32_t start) const {
    uint32_t length = Length();
    if (start < 0 || static_cast<uint32_t>(start) > length) {
        return -1;
    }
    uint32_t ln = Measure(needle);
    uint32_t lt = length - static_cast<uint32_t>(start);
    if (lt < ln) {
        return -1;
    }
    const Unit* t = text_ + start;
    for (uint32_t p = 0; p <= lt - ln; ++p) {
        if (ln == 0 || std::memcmp(t + p, needle, static_cast<uint64_t>(ln) * sizeof(Unit)) == 0) {
            return start + static_cast<int32_t>(p);
        }
    }
    return -1;
}

template <class Unit>
FBBasicString<Unit> FBBasicString<Unit>::Substr(int32_t start, int32_t count) const {
    FBBasicString result;
    uint32_t length = Length();
    if (start < 0 || static_cast<uint32_t>(start) > length || count < -1) {
        return result;
    }
    uint32_t rest = length - static_cast<uint32_t>(start);
    uint32_t take = count == -1 ? rest : static_cast<uint32_t>(count);
    if (take > rest) {
        take = rest;
    }
    result.Assign(text_ + start, take);
    return result;
}

template <class Unit>
bool FBBasicString<Unit>::Equals(const Unit* text) const {
    uint32_t length = Length();
    if (Measure(text) != length) {
        return false;
    }
    return length == 0 || std::memcmp(text_, text, static_cast<uint64_t>(length) * sizeof(Unit)) == 0;
}

template <class Unit>
bool FBBasicString<Unit>::StartsWith(const Unit* text) const {
    uint32_t ln = Measure(text);
    if (Length() < ln) {
        return false;
    }
    return ln == 0 || std::memcmp(text_, text, static_cast<uint64_t>(ln) * sizeof(Unit)) == 0;
}

template <class Unit>
int32_t FBBasicString<Unit>::FindChar(Unit ch) const {
    uint32_t length = Length();
    for (uint32_t i = 0; i < length; ++i) {
        if (text_[i] == ch) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

template class FBBasicString<char>;
template class FBBasicString<char16_t>;

bool FBWStringSelfTest() {
    bool ok = true;
    FBWString empty;
    ok = ok && empty.Length() == 0 && empty.Capacity() == 1;
    FBWString text(u"this is a unit test of String and this is so");
    ok = ok && text.Equals(u"this is a unit test of String and this is so");
    ok = ok && !text.Equals(u"this is a unit test");
    ok = ok && text.StartsWith(u"this is") && !text.StartsWith(u"that");
    ok = ok && text.Substr(10, 19).Equals(u"unit test of String");
    ok = ok && text.Substr(10, -1).StartsWith(u"unit test of String and");
    ok = ok && text.Find(u"this", 11) == 34 && text.Find(u"so", 0) == 42;
    ok = ok && text.Find(u"absent", 0) == -1;
    ok = ok && text.FindChar(u'u') == 10 && text.FindChar(u'#') == -1;
    FBWString joined(u"unit");
    joined.Append(u" test");
    ok = ok && joined.Equals(u"unit test");
    if (!ok) {
        std::fputs("FBWString unit test fails!\n", stderr);
    }
    return ok;
}

} // namespace linkwell
