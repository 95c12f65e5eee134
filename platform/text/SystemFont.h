// System fonts for text that the engine draws without its own font files:
// a family name, a pixel size, weight, italic and underline are resolved
// through fontconfig to an installed font and drawn with FreeType.
//
// Windows family names that content asks for ("Lucida Console", "Arial"...)
// are usually not installed; fontconfig's own aliases apply first and then a
// generic family (monospace for the fixed-pitch Windows families, sans-serif
// otherwise), so every request finds some installed face.
//
// Drawing writes 8-bit coverage (0 = background, 255 = full ink) into a
// CoverageBitmap whose rows run from the bottom of the box upward, the order
// in which a text texture is filled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Platform
{

struct SystemFontDesc
{
    std::wstring family;
    // Character height (the em) in pixels; 0 picks a default of 12 pixels.
    int height = 0;
    int weight = 400; // 100 to 900; 700 is bold
    bool italic = false;
    bool underline = false;
};

struct SystemTextMetrics
{
    int ascent = 0;  // pixels above the baseline
    int descent = 0; // pixels below it
    int height = 0;  // ascent + descent: the height of one line
    int internalLeading = 0;
    int averageWidth = 0;
};

struct TextExtent
{
    int width = 0;
    int height = 0;
};

// 8-bit coverage; row 0 is the bottom row of the box, each row Width() bytes.
class CoverageBitmap
{
public:
    // Sides at or below 0, or a box larger than kMaxPixels, give an empty
    // bitmap (0 x 0).
    static constexpr int64_t kMaxPixels = int64_t(1) << 28;

    CoverageBitmap() = default;
    CoverageBitmap(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsEmpty() const { return m_pixels.empty(); }
    const std::vector<uint8_t>& Pixels() const { return m_pixels; }
    const uint8_t* Row(int rowFromBottom) const { return m_pixels.data() + size_t(rowFromBottom) * m_width; }
    // Coverage at a column and a row counted from the top of the box; 0
    // outside it.
    uint8_t AtFromTop(int column, int rowFromTop) const;

    // Keeps the stronger coverage where glyphs overlap; clipped to the box.
    void Combine(int column, int rowFromTop, uint8_t coverage);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_pixels;
};

class SystemFont
{
public:
    // Null when fontconfig finds no face or FreeType cannot open it.
    static std::unique_ptr<SystemFont> Create(const SystemFontDesc& desc);
    ~SystemFont();
    SystemFont(const SystemFont&) = delete;
    SystemFont& operator=(const SystemFont&) = delete;

    const SystemFontDesc& Desc() const { return m_desc; }
    // The installed family that was found, and its file.
    const std::wstring& FamilyName() const { return m_familyName; }
    const std::string& FilePath() const { return m_filePath; }
    bool IsFixedPitch() const;
    // The face drawn is bold or italic, by its own style or made so.
    bool IsBold() const;
    bool IsItalic() const;

    const SystemTextMetrics& Metrics() const { return m_metrics; }

    // The width of the string's advances and the height of one line. Every
    // character is measured as a glyph, line ends included.
    TextExtent MeasureLine(std::wstring_view text) const;

    // Draws the string on one line, its cell's left edge at column x and its
    // top at rowFromTop (the baseline lies Metrics().ascent below it).
    void DrawLine(CoverageBitmap& target, int x, int rowFromTop, std::wstring_view text) const;

private:
    struct Impl;
    explicit SystemFont(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> m_impl;
    SystemFontDesc m_desc;
    std::wstring m_familyName;
    std::string m_filePath;
    SystemTextMetrics m_metrics;
};

} // namespace Platform
