// Fuzz target: a word list and a closing text (split at the first zero byte; the words at ',', a
// byte of each word's flag and the fade from the input) into the typewriter's closing view. Every "^"
// the view writes is followed by six hexadecimal digits, and removing the codes gives back the
// closing text. Texts that hold "^" themselves are content's own markup: they are checked only for
// running through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "game/minigames/TypeBoard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    if (size < 2)
        return 0;
    const int32_t fade = int32_t(data[0] % 101);
    const uint8_t flags = data[1];
    const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t split = input.find('\0');
    if (split == std::string::npos)
        return 0;
    const std::vector<std::wstring> plain =
        SplitString(Utf8ToWString(std::string_view(input).substr(0, split)), L',', true);
    std::vector<TypeBoard::ClosingWord> words;
    for (size_t i = 0; i < plain.size() && i < 64; ++i)
        words.push_back({plain[i], ((flags >> (i % 8)) & 1) != 0});
    const std::wstring text = Utf8ToWString(std::string_view(input).substr(split + 1));

    const std::wstring view = TypeBoard::ClosingView(text, words, fade, uint32_t(words.size()));
    if (text.find(L'^') != std::wstring::npos)
        return 0;
    const std::wstring coloured = TypeBoard::ColourClosingText(text, words, fade);
    if (view.compare(0, coloured.size(), coloured) != 0)
        abort();
    std::wstring back;
    for (size_t i = 0; i < coloured.size(); ++i)
    {
        if (coloured[i] != L'^')
        {
            back += coloured[i];
            continue;
        }
        if (i + 7 > coloured.size())
            abort();
        for (size_t k = 1; k <= 6; ++k)
            if (!std::iswxdigit(coloured[i + k]))
                abort();
        i += 6;
    }
    if (back != text)
        abort();
    return 0;
}
