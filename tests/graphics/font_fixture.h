// Faces for the text tests: DejaVu from fonts-dejavu-core, opened from memory
// as the font manager opens them, optionally with its 'kern' table hidden so
// that kerning has to come from a GPOS reader hung on the face.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "engine/graphics/text/COtfGpos.h"
#include "engine/graphics/text/TextLayout.h"

namespace font_fixture
{

inline const char* kDejaVuFolder = "/usr/share/fonts/truetype/dejavu/";

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Renames the table directory entry 'from' to 'to' (same length tags).
inline void renameTable(std::vector<uint8_t>& bytes, const char* from, const char* to)
{
    if (bytes.size() < 12)
        return;
    const size_t tables = size_t(bytes[4]) << 8 | bytes[5];
    for (size_t i = 0; i < tables && 12 + 16 * i + 16 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[12 + 16 * i], from, 4) == 0)
            std::memcpy(&bytes[12 + 16 * i], to, 4);
}

// A FreeType library and one memory face; the bytes live as long as the face.
class Face
{
public:
    explicit Face(const std::string& file, bool hideKernTable = false)
    {
        m_bytes = readFile(std::string(kDejaVuFolder) + file);
        if (hideKernTable)
            renameTable(m_bytes, "kern", "xern");
        if (FT_Init_FreeType(&m_library) != 0)
            return;
        if (FT_New_Memory_Face(m_library, m_bytes.data(), FT_Long(m_bytes.size()), 0, &m_face) != 0)
            m_face = nullptr;
    }
    ~Face()
    {
        if (m_library)
            FT_Done_FreeType(m_library);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    FT_Face get() const { return m_face; }
    explicit operator bool() const { return m_face != nullptr; }

    // Hangs a GPOS reader on the face where the layout looks for it.
    void attachGpos(std::unique_ptr<TarnEngine::COtfHeader> reader)
    {
        m_gpos = std::move(reader);
        m_face->generic.data = static_cast<TarnEngine::IOtfFont*>(m_gpos.get());
        m_face->generic.finalizer = nullptr;
    }

    // The advance of a character's glyph at the face's current size, pixels.
    double advance(wchar_t c, uint32_t loadFlags = 0xA) const
    {
        FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, FT_ULong(c)), FT_Int32(loadFlags));
        return m_face->glyph->advance.x / 64.0;
    }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
    std::vector<uint8_t> m_bytes;
    std::unique_ptr<TarnEngine::COtfHeader> m_gpos;
};

// The options of "fonts\fonts.xml" when it sets none: only the offsets the
// manager starts with, and no hinting so positions follow the advances.
inline TarnEngine::FontRenderOptions plainOptions()
{
    TarnEngine::FontRenderOptions options;
    options.loadFlags = TarnEngine::FontRenderOptions::eNoBitmap | TarnEngine::FontRenderOptions::eNoHinting;
    options.gamma = 1.1;
    options.heightMultiplier = 1.07;
    return options;
}

// A block of pixels for the drawing tests.
struct Pixels
{
    Pixels(uint32_t w, uint32_t h) : width(w), height(h), data(size_t(w) * h * 4, 0xAB) {}

    TarnEngine::TextPixels view()
    {
        return TarnEngine::TextPixels{data.data(), int32_t(width * 4), width, height};
    }
    uint32_t at(uint32_t x, uint32_t y) const
    {
        const uint8_t* p = &data[(size_t(y) * width + x) * 4];
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }

    uint32_t width;
    uint32_t height;
    std::vector<uint8_t> data;
};

} // namespace font_fixture
