// System-font text blocks; see GdiFont.h.
#include "engine/graphics/text/GdiFont.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/graphics/device/Renderer.h"
#include "platform/text/LineBreaks.h"

namespace TarnEngine
{

namespace
{

struct BoxLine
{
    std::wstring_view text;
    int64_t width = 0;
};

int64_t advanceOf(const Platform::SystemFont& font, wchar_t c)
{
    return font.MeasureLine(std::wstring_view(&c, 1)).width;
}

int64_t widthOf(const Platform::SystemFont& font, std::wstring_view text)
{
    int64_t width = 0;
    for (wchar_t c : text)
        width += advanceOf(font, c);
    return width;
}

// CR LF, LF and CR each end a line.
std::vector<std::wstring_view> splitParagraphs(std::wstring_view text)
{
    std::vector<std::wstring_view> out;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != L'\r' && text[i] != L'\n')
            continue;
        out.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        start = i + 1;
    }
    out.push_back(text.substr(start));
    return out;
}

// Greedy filling at the places a line may start; the white space at a break
// stays on the line it ends but takes no width there. A word wider than the
// box is not broken.
void wrapParagraph(const Platform::SystemFont& font, std::wstring_view paragraph, int64_t boxWidth,
                   std::vector<BoxLine>& out)
{
    if (paragraph.empty())
    {
        out.push_back({paragraph, 0});
        return;
    }
    const std::vector<Platform::CharBreakFlags> flags = Platform::AnalyzeLineBreaks(paragraph);
    auto isWhite = [&](size_t i) { return i < flags.size() && flags[i].whiteSpace; };

    size_t lineStart = 0;
    size_t lineInkEnd = 0;
    int64_t lineFull = 0; // the line's segments with their white space
    int64_t lineInk = 0;  // without the white space after the last one
    bool lineHasSegments = false;
    size_t segmentStart = 0;
    while (segmentStart < paragraph.size())
    {
        size_t segmentEnd = segmentStart + 1;
        while (segmentEnd < paragraph.size() && !(segmentEnd < flags.size() && flags[segmentEnd].softBreak))
            ++segmentEnd;
        size_t inkEnd = segmentEnd;
        while (inkEnd > segmentStart && isWhite(inkEnd - 1))
            --inkEnd;
        const int64_t ink = widthOf(font, paragraph.substr(segmentStart, inkEnd - segmentStart));
        const int64_t full = ink + widthOf(font, paragraph.substr(inkEnd, segmentEnd - inkEnd));

        if (lineHasSegments && lineFull + ink > boxWidth)
        {
            out.push_back({paragraph.substr(lineStart, lineInkEnd - lineStart), lineInk});
            lineStart = segmentStart;
            lineFull = 0;
        }
        lineInk = lineFull + ink;
        lineFull += full;
        lineInkEnd = inkEnd;
        lineHasSegments = true;
        segmentStart = segmentEnd;
    }
    out.push_back({paragraph.substr(lineStart, lineInkEnd - lineStart), lineInk});
}

std::vector<BoxLine> layoutLines(const Platform::SystemFont& font, std::wstring_view text, uint32_t format,
                                 int64_t boxWidth)
{
    std::vector<BoxLine> lines;
    if (format & eTextFormatSingleLine)
    {
        lines.push_back({text, widthOf(font, text)});
        return lines;
    }
    for (std::wstring_view paragraph : splitParagraphs(text))
    {
        if (format & eTextFormatWordBreak)
            wrapParagraph(font, paragraph, boxWidth, lines);
        else
            lines.push_back({paragraph, widthOf(font, paragraph)});
    }
    return lines;
}

int clampToInt(int64_t value)
{
    return int(std::clamp<int64_t>(value, INT_MIN / 2, INT_MAX / 2));
}

// White ink on black inside the box, placed as the system's box drawing
// places it: vertical centring and bottom alignment apply to single-line
// text only.
void drawBlock(const Platform::SystemFont& font, Platform::CoverageBitmap& ink,
               const TextRenderParams& params)
{
    const int64_t boxWidth = params.renderWidth;
    const int64_t boxHeight = params.renderHeight;
    const int64_t lineHeight = font.Metrics().height;
    const std::vector<BoxLine> lines = layoutLines(font, params.text, params.format, boxWidth);
    int64_t top = 0;
    if (params.format & eTextFormatSingleLine)
    {
        if (params.format & eTextFormatVCenter)
            top = (boxHeight - lineHeight) / 2;
        else if (params.format & eTextFormatBottom)
            top = boxHeight - lineHeight;
    }
    for (size_t i = 0; i < lines.size(); ++i)
    {
        const int64_t y = top + int64_t(i) * lineHeight;
        if (y >= boxHeight)
            break;
        int64_t x = 0;
        if (params.format & eTextFormatCenter)
            x = (boxWidth - lines[i].width) / 2;
        else if (params.format & eTextFormatRight)
            x = boxWidth - lines[i].width;
        font.DrawLine(ink, clampToInt(x), clampToInt(y), lines[i].text);
    }
}

bool displayIsSixteenBit()
{
    Renderer* renderer = Renderer::Get();
    return renderer != nullptr && renderer->GetDevice() != nullptr && renderer->GetDevice()->Is16Bit();
}

} // namespace

GdiFont::GdiFont(const FontDesc& desc)
{
    Platform::SystemFontDesc system;
    system.family = desc.name;
    system.weight = desc.bold ? 700 : 400;
    system.italic = desc.italic != 0;
    system.underline = desc.underline != 0;
    if (desc.size >= 0)
    {
        system.height = desc.size;
        m_font = Platform::SystemFont::Create(system);
        return;
    }
    // A cell height: the character height that gives a line of that height.
    const int64_t cell = -int64_t(desc.size);
    if (cell > INT_MAX)
        return;
    system.height = int(cell);
    m_font = Platform::SystemFont::Create(system);
    if (m_font && m_font->Metrics().height > cell)
    {
        system.height = std::max(1, int(std::lround(double(cell) * double(cell) / m_font->Metrics().height)));
        m_font = Platform::SystemFont::Create(system);
    }
}

GdiFont::~GdiFont() = default;

void GdiFont::MeasureLine(int32_t& width, int32_t& height, const std::wstring& text)
{
    width = height = 0;
    if (!m_font)
        return;
    const Platform::TextExtent extent = m_font->MeasureLine(text);
    width = extent.width;
    height = extent.height;
}

void GdiFont::MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text, uint32_t wrapWidth)
{
    width = height = 0;
    if (!m_font)
        return;
    const std::vector<BoxLine> lines = layoutLines(*m_font, text, eTextFormatWordBreak, wrapWidth);
    int64_t widest = 0;
    for (const BoxLine& line : lines)
        widest = std::max(widest, line.width);
    // One line is measured to its end; several keep the wrap width unless a
    // word is wider.
    const int64_t outWidth = lines.size() > 1 ? std::max<int64_t>(widest, wrapWidth) : widest;
    width = int32_t(std::min<int64_t>(outWidth, INT32_MAX));
    height = int32_t(std::min<int64_t>(int64_t(lines.size()) * m_font->Metrics().height, INT32_MAX));
}

uint8_t GdiFont::AlphaFromCoverage(uint8_t coverage, bool sixteenBit)
{
    uint32_t value = coverage;
    if (sixteenBit)
        value = uint32_t((value >> 3) / 31.0 * 255.0);
    return uint8_t(value * value * value / 65025);
}

bool GdiFont::RenderToTexture(RefPtr<IResourceTexture> texture, const TextRenderParams& params)
{
    if (!texture || !m_font)
        return false;
    if (params.renderWidth == 0 || params.renderHeight == 0 || params.renderWidth > INT_MAX ||
        params.renderHeight > INT_MAX)
        return false;
    Platform::CoverageBitmap ink(int(params.renderWidth), int(params.renderHeight));
    if (ink.IsEmpty())
        return false;
    drawBlock(*m_font, ink, params);

    uint8_t alpha[256];
    const bool sixteenBit = displayIsSixteenBit();
    for (int i = 0; i < 256; ++i)
        alpha[i] = AlphaFromCoverage(uint8_t(i), sixteenBit);

    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || bits == nullptr)
        return false;
    // Only the storage that was allocated is written; what lies outside the
    // box is cleared.
    uint32_t storageWidth = 0, storageHeight = 0;
    texture->GetTextureSize(&storageWidth, &storageHeight);
    if (pitch > 0)
        storageWidth = std::min<uint32_t>(storageWidth, uint32_t(pitch) / 4);
    else
        storageWidth = 0;
    const uint32_t inkWidth = std::min<uint32_t>(storageWidth, uint32_t(ink.Width()));
    for (uint32_t row = 0; row < storageHeight; ++row)
    {
        auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + int64_t(row) * pitch);
        uint32_t column = 0;
        if (row < uint32_t(ink.Height()))
        {
            const uint8_t* coverage = ink.Row(int(row));
            for (; column < inkWidth; ++column)
                out[column] = uint32_t(alpha[coverage[column]]) << 24 | 0x00FFFFFFu;
        }
        std::memset(out + column, 0, size_t(storageWidth - column) * 4);
    }
    texture->Unlock();
    return true;
}

} // namespace TarnEngine
