// Line-break flags through ICU; see LineBreaks.h.
#include "platform/text/LineBreaks.h"

#include <cstdint>
#include <memory>
#include <string>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

namespace Platform
{

namespace
{

struct BreakIteratorCloser
{
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// Opening a line breaker loads its rules; one per thread is kept.
UBreakIterator* lineBreaker()
{
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator;
    thread_local bool tried = false;
    if (!tried)
    {
        tried = true;
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_LINE, "en", nullptr, 0, &status);
        if (U_SUCCESS(status))
            iterator.reset(opened);
        else if (opened)
            ubrk_close(opened);
    }
    return iterator.get();
}

} // namespace

std::vector<CharBreakFlags> AnalyzeLineBreaks(std::wstring_view text)
{
    std::vector<CharBreakFlags> flags(text.size());
    if (text.empty())
        return flags;

    // ICU works on UTF-16: remember where each character starts in it. A
    // value that is no Unicode scalar becomes U+FFFD, so the map stays one
    // entry per character.
    std::u16string units;
    units.reserve(text.size());
    std::vector<size_t> characterAt; // UTF-16 offset -> character index
    characterAt.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i)
    {
        uint32_t c = uint32_t(text[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        flags[i].whiteSpace = u_isUWhiteSpace(UChar32(c)) != 0;
        if (c >= 0x10000)
        {
            units += char16_t(0xD800 + ((c - 0x10000) >> 10));
            units += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            characterAt.push_back(i);
            characterAt.push_back(i);
        }
        else
        {
            units += char16_t(c);
            characterAt.push_back(i);
        }
    }
    if (units.size() > size_t(INT32_MAX))
        return flags;

    UBreakIterator* iterator = lineBreaker();
    if (!iterator)
        return flags;
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(iterator, reinterpret_cast<const UChar*>(units.data()), int32_t(units.size()), &status);
    if (U_FAILURE(status))
        return flags;
    for (int32_t boundary = ubrk_following(iterator, 0);
         boundary != UBRK_DONE && size_t(boundary) < units.size(); boundary = ubrk_next(iterator))
    {
        if (boundary > 0)
            flags[characterAt[size_t(boundary)]].softBreak = true;
    }
    // Do not leave the iterator pointing at this call's text.
    static const UChar nothing[1] = {0};
    status = U_ZERO_ERROR;
    ubrk_setText(iterator, nothing, 0, &status);
    return flags;
}

} // namespace Platform
