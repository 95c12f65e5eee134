// Fuzz target for text layout and drawing: texts from content and scripts
// (colour codes, line ends, any characters) in any box and format, with any
// sizes and overrides, drawn into a block smaller than the box asks for.
// Input: format byte, size byte, box width and height bytes, storage width
// and height bytes, gamma byte, then the text as 16-bit characters.
#include "engine/graphics/text/TextLayout.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace
{

struct Face
{
    Face()
    {
        std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (FT_Init_FreeType(&library) != 0 ||
            FT_New_Memory_Face(library, bytes.data(), FT_Long(bytes.size()), 0, &face) != 0)
            face = nullptr;
    }
    std::vector<uint8_t> bytes;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Face font;
    if (font.face == nullptr || size < 7)
        return 0;
    using namespace TarnEngine;
    const uint32_t format = data[0] & 0x3F;
    const int32_t fontSize = 1 + data[1] % 48;
    const uint32_t boxWidth = data[2];
    const uint32_t boxHeight = data[3];
    const uint32_t storageWidth = 1 + data[4] % 64;
    const uint32_t storageHeight = 1 + data[5] % 64;
    const double gamma = (int(data[6]) - 64) / 16.0;
    std::wstring text;
    for (size_t i = 7; i + 1 < size && text.size() < 512; i += 2)
        text += wchar_t(data[i] | (data[i + 1] << 8));

    FontRenderOptions options;
    options.loadFlags = FontRenderOptions::eNoBitmap | (data[0] & 0x40 ? FontRenderOptions::eTargetMono : 0) |
                        (data[0] & 0x80 ? FontRenderOptions::eTargetLight : 0);
    options.offsetLeftAlign = {2, -3};
    std::vector<uint8_t> block(size_t(storageWidth) * storageHeight * 4);
    TextPixels pixels{block.data(), int32_t(storageWidth * 4), storageWidth, storageHeight};
    RenderTextBlock(font.face, fontSize, options, 1.1,
                    TextRenderParams(text, boxWidth, boxHeight, format, 0, gamma), pixels);
    int32_t width = 0, height = 0;
    MeasureTextWrapped(font.face, fontSize, options, text, boxWidth, width, height);
    return 0;
}
