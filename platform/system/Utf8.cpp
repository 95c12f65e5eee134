// Implementation of Utf8.h.
#include "platform/system/Utf8.h"

namespace Platform
{
void AppendUtf8Characters(const char* text, std::u32string& out)
{
    if (text == nullptr)
        return;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0)
    {
        const unsigned char lead = *p;
        int length = 0;
        char32_t value = 0;
        char32_t smallest = 0;
        if (lead < 0x80)
        {
            out.push_back(lead);
            ++p;
            continue;
        }
        if ((lead & 0xE0) == 0xC0)
        {
            length = 2;
            value = lead & 0x1F;
            smallest = 0x80;
        }
        else if ((lead & 0xF0) == 0xE0)
        {
            length = 3;
            value = lead & 0x0F;
            smallest = 0x800;
        }
        else if ((lead & 0xF8) == 0xF0)
        {
            length = 4;
            value = lead & 0x07;
            smallest = 0x10000;
        }
        else
        {
            ++p; // a stray continuation byte or an invalid lead
            continue;
        }
        int taken = 1;
        while (taken < length && (p[taken] & 0xC0) == 0x80)
        {
            value = (value << 6) | (p[taken] & 0x3F);
            ++taken;
        }
        if (taken == length && value >= smallest && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF))
            out.push_back(value);
        p += taken;
    }
}

std::wstring WideFromUtf8(const char* text)
{
    std::u32string characters;
    AppendUtf8Characters(text, characters);
    return std::wstring(characters.begin(), characters.end());
}

std::string Utf8FromWide(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wide : text)
    {
        auto c = static_cast<char32_t>(wide);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80)
        {
            out.push_back(static_cast<char>(c));
        }
        else if (c < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
} // namespace Platform
