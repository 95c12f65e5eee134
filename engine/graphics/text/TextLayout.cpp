// Text layout and drawing with FreeType; see TextLayout.h.
#include "engine/graphics/text/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <limits>

#include "engine/graphics/text/COtfGpos.h"
#include "platform/text/LineBreaks.h"

namespace TarnEngine
{

namespace
{

// Larger sizes would only make glyph bitmaps no text block can hold.
constexpr int32_t kMaxPixelSize = 4096;
constexpr uint32_t kWhite = 0xFFFFFF;
// Positions stay well inside 32 bits so that sums of a few of them cannot
// overflow.
constexpr int64_t kMinCoordinate = -(int64_t(1) << 29);
constexpr int64_t kMaxCoordinate = int64_t(1) << 29;

// The font manager hangs the GPOS reader of an OpenType face on it.
const IOtfFont* gposReader(FT_Face face)
{
    return static_cast<const IOtfFont*>(face->generic.data);
}

int32_t clampToInt(double value)
{
    if (!(value > double(kMinCoordinate)))
        return int32_t(kMinCoordinate);
    if (!(value < double(kMaxCoordinate)))
        return int32_t(kMaxCoordinate);
    return int32_t(value);
}

void releaseGlyphs(std::vector<TextGlyph>& glyphs, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
    {
        FT_Done_Glyph(glyphs[i].glyph);
        glyphs[i].glyph = nullptr;
    }
}

// Coverage 0..255 to alpha through the gamma curve. A gamma that is not a
// positive number would divide by zero or overflow; it draws linearly.
void buildCoverageTable(double gamma, uint8_t table[256])
{
    if (!(gamma > 0) || !std::isfinite(gamma))
        gamma = 1;
    for (int i = 0; i < 256; ++i)
    {
        const double value = std::pow(i / 255.0, 1.0 / gamma) * 255.0;
        table[i] = uint8_t(std::clamp(value, 0.0, 255.0));
    }
}

FT_Render_Mode renderMode(uint32_t loadFlags)
{
    if (loadFlags & FontRenderOptions::eTargetLight)
        return FT_RENDER_MODE_LIGHT;
    if (loadFlags & FontRenderOptions::eTargetMono)
        return FT_RENDER_MODE_MONO;
    return FT_RENDER_MODE_NORMAL;
}

// The fraction of the pen position the glyph is rasterised at; small sizes
// snap to quarter pixels so that equal letters look alike.
double subPixelOrigin(double exactX, int32_t fontSize)
{
    double f = exactX - std::trunc(exactX);
    if (fontSize < 26)
    {
        if (f > 0 && f < 0.5)
            f = 0.25;
        else if (f > 0.5 && f < 1)
            f = 0.75;
    }
    return f;
}

} // namespace

void SetFacePixelSize(FT_Face face, int32_t size)
{
    const FT_F26Dot6 charSize = std::clamp(size, 1, kMaxPixelSize) * 64;
    FT_Set_Char_Size(face, charSize, charSize, 72, 72);
}

TextLayout::TextLayout(FT_Face face, const FontRenderOptions& options, uint32_t format, uint32_t boxWidth,
                       uint32_t boxHeight, std::wstring_view text)
    : m_face(face), m_options(options), m_format(format),
      m_boxWidth(int32_t(std::min<int64_t>(boxWidth, kMaxCoordinate))),
      m_boxHeight(int32_t(std::min<int64_t>(boxHeight, kMaxCoordinate)))
{
    m_lines.emplace_back();
    if (m_face == nullptr || m_face->size == nullptr)
    {
        m_lines.clear();
        return;
    }
    buildGlyphs(text);
    wrapAndAlign();
    placeVertically();
    std::erase_if(m_lines, [](const TextLine& line) { return line.glyphs.empty(); });
}

TextLayout::~TextLayout()
{
    for (TextLine& line : m_lines)
        releaseGlyphs(line.glyphs, 0, line.glyphs.size());
}

void TextLayout::buildGlyphs(std::wstring_view text)
{
    const bool carriageReturns = text.find(L'\r') != std::wstring_view::npos;
    const bool kernTable = FT_HAS_KERNING(m_face);
    const IOtfFont* gpos = kernTable ? nullptr : gposReader(m_face);
    FT_Pos rightDelta = 0;
    for (wchar_t c : text)
    {
        if (c == L'\n' && carriageReturns)
            continue;
        if (c == L'\r' || c == L'\n')
        {
            if ((m_format & eTextFormatSingleLine) == 0)
            {
                m_lines.emplace_back();
                rightDelta = 0;
            }
            continue;
        }
        const FT_UInt index = FT_Get_Char_Index(m_face, FT_ULong(c));
        if (FT_Load_Glyph(m_face, index, FT_Int32(m_options.loadFlags)) != 0)
            continue;
        FT_Glyph glyph = nullptr;
        if (FT_Get_Glyph(m_face->glyph, &glyph) != 0)
            continue;

        std::vector<TextGlyph>& glyphs = m_lines.back().glyphs;
        double exactX = 0;
        if (!glyphs.empty())
        {
            const TextGlyph& previous = glyphs.back();
            exactX = previous.exactX + previous.glyph->advance.x / 65536.0;
            if (kernTable)
            {
                FT_Vector delta{0, 0};
                if (FT_Get_Kerning(m_face, previous.index, index, FT_KERNING_DEFAULT, &delta) == 0)
                    exactX += delta.x / 64.0;
            }
            else if (gpos != nullptr)
            {
                OtfValueRecord value1, value2;
                if (gpos->GetGpos().GetPairAdjustment(previous.index, index, value1, value2))
                    exactX += value1.XAdvance * double(m_face->size->metrics.x_scale) / 65536.0 / 64.0;
            }
            exactX -= double(rightDelta - m_face->glyph->lsb_delta) / 64.0;
            rightDelta = m_face->glyph->rsb_delta;
        }
        glyphs.push_back(TextGlyph{c, index, glyph, clampToInt(exactX), 0, exactX});
    }
}

int32_t TextLayout::LineWidth(const TextLine& line)
{
    if (line.glyphs.empty())
        return 0;
    const TextGlyph& first = line.glyphs.front();
    const TextGlyph& last = line.glyphs.back();
    return clampToInt(std::ceil(last.glyph->advance.x / 65536.0 + last.exactX - first.exactX));
}

void TextLayout::wrapAndAlign()
{
    for (size_t lineIndex = 0; lineIndex < m_lines.size(); ++lineIndex)
    {
        int32_t width = LineWidth(m_lines[lineIndex]);
        std::vector<TextGlyph>& glyphs = m_lines[lineIndex].glyphs;
        if ((m_format & eTextFormatWordBreak) && width > m_boxWidth && glyphs.size() >= 2)
        {
            std::wstring lineText;
            lineText.reserve(glyphs.size());
            for (const TextGlyph& glyph : glyphs)
                lineText += glyph.character;
            std::vector<Platform::CharBreakFlags> flags = Platform::AnalyzeLineBreaks(lineText);
            flags.resize(glyphs.size());
            for (size_t i = 0; i < glyphs.size(); ++i)
                if (std::iswspace(wint_t(glyphs[i].character)))
                    flags[i].whiteSpace = true;

            // The last glyph that still starts inside the box is the cut of
            // last resort; a soft break at or before it is preferred.
            size_t fallback = 0;
            size_t softBreak = 0;
            for (size_t i = glyphs.size() - 1; i >= 1; --i)
            {
                if (glyphs[i].x > m_boxWidth)
                    continue;
                if (fallback == 0)
                    fallback = i;
                if (flags[i].softBreak)
                {
                    softBreak = i;
                    break;
                }
            }
            size_t breakAt = softBreak;
            size_t keptEnd = softBreak;
            if (softBreak != 0)
            {
                size_t j = softBreak - 1;
                while (j >= 1 && flags[j].whiteSpace)
                    --j;
                keptEnd = j >= 1 ? j + 1 : softBreak;
            }
            else if (fallback != 0)
                breakAt = keptEnd = fallback;
            else
            {
                // No glyph after the first starts inside the box (it is
                // narrower than a glyph). Every line keeps at least its first
                // glyph so that wrapping ends: the first word when a soft
                // break follows it, else the first glyph alone.
                breakAt = keptEnd = 1;
                for (size_t i = 1; i < glyphs.size(); ++i)
                {
                    if (!flags[i].softBreak)
                        continue;
                    size_t j = i - 1;
                    while (j >= 1 && flags[j].whiteSpace)
                        --j;
                    breakAt = i;
                    keptEnd = j + 1;
                    break;
                }
            }

            TextLine next;
            const int32_t shift = glyphs[breakAt].x;
            next.glyphs.assign(glyphs.begin() + ptrdiff_t(breakAt), glyphs.end());
            for (TextGlyph& glyph : next.glyphs)
                glyph.x -= shift;
            releaseGlyphs(glyphs, keptEnd, breakAt);
            glyphs.resize(keptEnd);
            m_lines.insert(m_lines.begin() + ptrdiff_t(lineIndex) + 1, std::move(next));
            width = LineWidth(m_lines[lineIndex]);
        }

        TextLine& line = m_lines[lineIndex];
        if ((m_format & eTextFormatSingleLine) && width > m_boxWidth)
            continue;
        if (m_format & eTextFormatCenter)
            line.xOffset += (m_boxWidth - width) / 2;
        else if (m_format & eTextFormatRight)
            line.xOffset += m_boxWidth - width;
    }
}

void TextLayout::placeVertically()
{
    // Sums in 64 bits: the line count and the multiplier come from content.
    const FT_Size_Metrics& metrics = m_face->size->metrics;
    const double multiplier = m_options.heightMultiplier != 0 ? m_options.heightMultiplier : 1.0;
    const int64_t lineStep = clampToInt(metrics.height / 64.0 * multiplier);
    int64_t baseline = int64_t(m_boxHeight) - ((metrics.height + metrics.descender) >> 6);
    for (size_t i = 0; i < m_lines.size(); ++i)
    {
        if (i > 0)
            baseline = std::clamp<int64_t>(baseline - lineStep, kMinCoordinate, kMaxCoordinate);
        m_lines[i].baseline = int32_t(baseline);
    }

    const bool vcenter = (m_format & eTextFormatVCenter) != 0;
    const bool bottom = (m_format & eTextFormatBottom) != 0;
    int64_t originY = 0;
    if (vcenter || bottom)
    {
        const int64_t total = int64_t(m_lines.size()) * (metrics.height >> 6);
        if (vcenter)
            originY -= (m_boxHeight - total) / 2;
        else
            originY += total - m_boxHeight;
    }

    const FontOffset& offset = (m_format & eTextFormatCenter)  ? m_options.offsetCenterAlign
                               : (m_format & eTextFormatRight) ? m_options.offsetRightAlign
                                                               : m_options.offsetLeftAlign;
    originY += int64_t(offset.y) * (bottom ? -1 : vcenter ? 0 : 1);
    m_originX = offset.x;
    m_originY = int32_t(std::clamp<int64_t>(originY, kMinCoordinate, kMaxCoordinate));
}

TextBounds TextLayout::GetBounds() const
{
    TextBounds bounds;
    if (m_lines.empty() || m_face == nullptr)
        return bounds;
    const FT_Size_Metrics& metrics = m_face->size->metrics;
    const int32_t ascent = int32_t((metrics.height + metrics.descender) >> 6);
    const int32_t height = int32_t(metrics.height >> 6);
    bool first = true;
    for (const TextLine& line : m_lines)
    {
        if (line.glyphs.empty())
            continue;
        const int32_t left = line.glyphs.front().x + line.xOffset;
        const int32_t top = line.glyphs.front().y + line.baseline + ascent;
        const int32_t bottom = top - height;
        const int32_t right = left + LineWidth(line);
        if (first)
        {
            bounds = TextBounds{left, top, right, bottom};
            first = false;
            continue;
        }
        bounds.left = std::min(bounds.left, left);
        bounds.top = std::max(bounds.top, top);
        bounds.right = std::max(bounds.right, right);
        bounds.bottom = std::min(bounds.bottom, bottom);
    }
    if (first)
        return bounds;
    bounds.left += m_originX;
    bounds.right += m_originX;
    bounds.top += m_originY;
    bounds.bottom += m_originY;
    if (m_options.offsetLeftAlign.x > 0)
        bounds.right += m_options.offsetLeftAlign.x;
    if (m_options.offsetLeftAlign.y < 0)
        bounds.bottom += m_options.offsetLeftAlign.y;
    return bounds;
}

void TextLayout::Draw(TextPixels& target, uint32_t renderWidth, uint32_t renderHeight, int32_t fontSize,
                      double gamma, const std::vector<TextColorChange>& changes) const
{
    if (target.bits == nullptr)
        return;
    // Only the render box, and of it only what the storage holds.
    const int64_t columns = std::min(renderWidth, target.width);
    const int64_t rows = std::min(renderHeight, target.height);
    if (columns <= 0 || rows <= 0)
        return;
    uint8_t table[256];
    buildCoverageTable(gamma, table);
    const FT_Render_Mode mode = renderMode(m_options.loadFlags);

    size_t nextChange = 0;
    std::vector<uint32_t> counts;
    counts.reserve(changes.size());
    for (const TextColorChange& change : changes)
        counts.push_back(change.count);
    uint32_t color = kWhite;

    for (const TextLine& line : m_lines)
    {
        for (const TextGlyph& glyph : line.glyphs)
        {
            while (nextChange < counts.size() && counts[nextChange] == 0)
                color = changes[nextChange++].color & kWhite;
            if (glyph.character != L' ' && nextChange < counts.size())
                --counts[nextChange];
            if (std::iswspace(wint_t(glyph.character)) || glyph.index == 0)
                continue;

            FT_Vector origin{FT_Pos(subPixelOrigin(glyph.exactX, fontSize) * 64), 0};
            FT_Glyph image = glyph.glyph;
            if (FT_Glyph_To_Bitmap(&image, mode, &origin, 0) != 0)
                continue;
            const FT_BitmapGlyph bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(image);
            const FT_Bitmap& bitmap = bitmapGlyph->bitmap;
            const int64_t px = int64_t(glyph.x) + line.xOffset + m_originX + bitmapGlyph->left;
            const int64_t topRow = int64_t(glyph.y) + line.baseline + m_originY + bitmapGlyph->top;
            const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
            if (mono || bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
            {
                for (int64_t r = 0; r < int64_t(bitmap.rows); ++r)
                {
                    const int64_t row = topRow - r;
                    if (row < 0 || row >= rows)
                        continue;
                    const uint8_t* source = bitmap.buffer + r * bitmap.pitch;
                    uint8_t* dest = target.bits + row * target.pitch;
                    const int64_t firstColumn = std::max<int64_t>(0, -px);
                    const int64_t endColumn = std::min<int64_t>(bitmap.width, columns - px);
                    for (int64_t c = firstColumn; c < endColumn; ++c)
                    {
                        const uint8_t coverage =
                            mono ? ((source[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0) : source[c];
                        const uint8_t alpha = table[coverage];
                        uint8_t* pixel = dest + (px + c) * 4;
                        if (alpha > pixel[3])
                        {
                            pixel[0] = uint8_t(color);
                            pixel[1] = uint8_t(color >> 8);
                            pixel[2] = uint8_t(color >> 16);
                            pixel[3] = alpha;
                        }
                    }
                }
            }
            FT_Done_Glyph(image);
        }
    }
}

void MeasureTextLine(FT_Face face, int32_t size, const FontRenderOptions& options, std::wstring_view text,
                     int32_t& width, int32_t& height)
{
    SetFacePixelSize(face, size);
    const TextLayout layout(face, options, eTextFormatLeftTop, 0, 0, RemoveColorCodes(text));
    const TextBounds bounds = layout.GetBounds();
    width = bounds.right - bounds.left;
    height = bounds.top - bounds.bottom;
}

void MeasureTextWrapped(FT_Face face, int32_t size, const FontRenderOptions& options, std::wstring_view text,
                        uint32_t wrapWidth, int32_t& width, int32_t& height)
{
    SetFacePixelSize(face, size);
    const TextLayout layout(face, options, eTextFormatWordBreak, wrapWidth, 1000000, RemoveColorCodes(text));
    const TextBounds bounds = layout.GetBounds();
    width = bounds.right - bounds.left;
    height = bounds.top - bounds.bottom;
}

void RenderTextBlock(FT_Face face, int32_t size, const FontRenderOptions& options, double defaultGamma,
                     const TextRenderParams& params, TextPixels& target)
{
    if (target.bits == nullptr)
        return;
    SetFacePixelSize(face, size);
    const uint32_t clearedRows = std::min(params.renderHeight, target.height);
    for (uint32_t row = 0; row < clearedRows; ++row)
        std::memset(target.bits + int64_t(row) * target.pitch, 0, size_t(target.width) * 4);

    double gamma = params.gamma != 0 ? params.gamma : options.gamma != 0 ? options.gamma : defaultGamma;
    std::vector<TextColorChange> changes;
    const std::wstring clean = ParseColorCodes(params.text, changes);
    FontRenderOptions used = options;
    if (params.heightMultiplier != 0)
        used.heightMultiplier = params.heightMultiplier;
    if (params.gamma != 0)
        used.gamma = params.gamma;
    const TextLayout layout(face, used, params.format, params.renderWidth, params.renderHeight, clean);
    layout.Draw(target, params.renderWidth, params.renderHeight, size, gamma, changes);
}

} // namespace TarnEngine
