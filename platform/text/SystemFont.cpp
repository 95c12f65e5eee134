// System fonts through fontconfig and FreeType; see SystemFont.h.
#include "platform/text/SystemFont.h"
#include "platform/text/FontFolders.h"

#include "platform/system/Utf8.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cwctype>
#include <unordered_map>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace Platform
{

namespace
{

constexpr int kDefaultHeight = 12;
// Glyph bitmaps grow with the square of the size; larger requests are refused.
constexpr int kMaxHeight = 2048;

// Families that Windows content names for fixed-pitch text; when they are not
// installed the request falls back to a monospace face, not a sans one.
constexpr std::wstring_view kFixedPitchFamilies[] = {
    L"lucida console", L"courier new", L"courier",   L"consolas", L"lucida sans typewriter",
    L"fixedsys",       L"terminal",    L"ms gothic", L"fixed",
};

std::wstring lower(std::wstring_view text)
{
    std::wstring out(text);
    for (wchar_t& c : out)
        c = wchar_t(std::towlower(wint_t(c)));
    return out;
}

bool isFixedPitchFamily(std::wstring_view family)
{
    const std::wstring name = lower(family);
    for (std::wstring_view known : kFixedPitchFamilies)
    {
        if (name == known)
            return true;
    }
    return name.find(L"mono") != std::wstring::npos || name.find(L"courier") != std::wstring::npos;
}

FcConfig* fontConfig()
{
    return SystemFontConfiguration();
}

struct Match
{
    std::string file;
    int index = 0;
    std::wstring family;
};

bool findFont(const SystemFontDesc& desc, int height, Match& match)
{
    FcConfig* config = fontConfig();
    if (!config)
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    if (!desc.family.empty())
    {
        const std::string family = Utf8FromWide(desc.family);
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    const char* generic = isFixedPitchFamily(desc.family) ? "monospace" : "sans-serif";
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(desc.weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, desc.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, height);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!found)
        return false;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    const bool ok = FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok)
    {
        match.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch && family)
            match.family = WideFromUtf8(reinterpret_cast<const char*>(family));
        FcPatternGetInteger(found, FC_INDEX, 0, &match.index);
    }
    FcPatternDestroy(found);
    return ok;
}

// One FreeType library for all system fonts, released with the last of them.
std::shared_ptr<FT_LibraryRec_> sharedLibrary()
{
    static std::weak_ptr<FT_LibraryRec_> shared;
    std::shared_ptr<FT_LibraryRec_> library = shared.lock();
    if (library)
        return library;
    FT_Library handle = nullptr;
    if (FT_Init_FreeType(&handle) != 0)
        return nullptr;
    library.reset(handle, [](FT_Library done) { FT_Done_FreeType(done); });
    shared = library;
    return library;
}

int roundToInt(double value)
{
    return int(std::lround(std::clamp(value, double(INT_MIN), double(INT_MAX))));
}

} // namespace

// ---------------------------------------------------------------------------
// Coverage bitmap

CoverageBitmap::CoverageBitmap(int width, int height)
{
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxPixels)
        return;
    m_width = width;
    m_height = height;
    m_pixels.assign(size_t(width) * size_t(height), 0);
}

uint8_t CoverageBitmap::AtFromTop(int column, int rowFromTop) const
{
    if (column < 0 || column >= m_width || rowFromTop < 0 || rowFromTop >= m_height)
        return 0;
    return m_pixels[size_t(m_height - 1 - rowFromTop) * m_width + column];
}

void CoverageBitmap::Combine(int column, int rowFromTop, uint8_t coverage)
{
    if (column < 0 || column >= m_width || rowFromTop < 0 || rowFromTop >= m_height)
        return;
    uint8_t& pixel = m_pixels[size_t(m_height - 1 - rowFromTop) * m_width + column];
    pixel = std::max(pixel, coverage);
}

// ---------------------------------------------------------------------------
// Font

struct SystemFont::Impl
{
    std::shared_ptr<FT_LibraryRec_> library;
    FT_Face face = nullptr;
    bool faceBold = false;
    bool embolden = false;
    bool oblique = false;

    ~Impl()
    {
        if (face)
            FT_Done_Face(face);
    }

    // Loads the glyph of a character as the line draws it, emboldened or
    // slanted when the face lacks the asked style. Missing characters give
    // the face's missing-glyph box, as they do on Windows.
    bool Load(wchar_t c, bool render) const
    {
        const uint32_t code = uint32_t(c);
        const FT_UInt index = code <= 0x10FFFF ? FT_Get_Char_Index(face, code) : 0;
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
            return false;
        if (oblique)
            FT_GlyphSlot_Oblique(face->glyph);
        if (embolden)
            FT_GlyphSlot_Embolden(face->glyph);
        if (render && face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            return false;
        return true;
    }

    int64_t Advance() const { return (int64_t(face->glyph->advance.x) + 32) >> 6; }

    // Lines are measured far more often than drawn (every frame for console
    // text), so advances are kept once loaded.
    int64_t CachedAdvance(wchar_t c) const
    {
        auto it = advances.find(uint32_t(c));
        if (it != advances.end())
            return it->second;
        const int64_t advance = Load(c, false) ? Advance() : 0;
        if (advances.size() >= kMaxCachedAdvances)
            advances.clear();
        advances.emplace(uint32_t(c), advance);
        return advance;
    }

    static constexpr size_t kMaxCachedAdvances = 4096;
    mutable std::unordered_map<uint32_t, int64_t> advances;
};

SystemFont::SystemFont(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

SystemFont::~SystemFont() = default;

std::unique_ptr<SystemFont> SystemFont::Create(const SystemFontDesc& desc)
{
    const int height = desc.height == 0 ? kDefaultHeight : desc.height;
    if (height < 0 || height > kMaxHeight)
        return nullptr;
    Match match;
    if (!findFont(desc, height, match))
        return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->library = sharedLibrary();
    if (!impl->library)
        return nullptr;
    if (FT_New_Face(impl->library.get(), match.file.c_str(), match.index, &impl->face) != 0)
    {
        impl->face = nullptr;
        return nullptr;
    }
    FT_Face face = impl->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 || FT_Set_Pixel_Sizes(face, 0, FT_UInt(height)) != 0)
        return nullptr;
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    // Styles the installed face lacks are made, as Windows does: the face's
    // own flags decide, whatever fontconfig's synthesis rules say.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const bool faceIsBold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ||
                            (os2 && os2->version != 0xFFFF && os2->usWeightClass >= 600);
    impl->faceBold = faceIsBold;
    impl->embolden = desc.weight >= 600 && !faceIsBold;
    impl->oblique = desc.italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;

    std::unique_ptr<SystemFont> font(new SystemFont(std::move(impl)));
    font->m_desc = desc;
    font->m_desc.height = height;
    font->m_familyName = match.family;
    font->m_filePath = match.file;

    // Line metrics as Windows reports them: the OS/2 table's Windows ascent
    // and descent when the face has them, else the horizontal header's.
    const double scale = double(height) / face->units_per_EM;
    SystemTextMetrics& metrics = font->m_metrics;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
    {
        metrics.ascent = roundToInt(os2->usWinAscent * scale);
        metrics.descent = roundToInt(os2->usWinDescent * scale);
    }
    else
    {
        metrics.ascent = roundToInt(face->ascender * scale);
        metrics.descent = roundToInt(-face->descender * scale);
    }
    metrics.height = metrics.ascent + metrics.descent;
    metrics.internalLeading = std::max(0, metrics.height - height);
    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0)
        metrics.averageWidth = roundToInt(os2->xAvgCharWidth * scale);
    else if (font->m_impl->Load(L'x', false))
        metrics.averageWidth = int(font->m_impl->Advance());
    return font;
}

bool SystemFont::IsFixedPitch() const
{
    return FT_IS_FIXED_WIDTH(m_impl->face);
}

bool SystemFont::IsBold() const
{
    return m_impl->embolden || m_impl->faceBold;
}

bool SystemFont::IsItalic() const
{
    return m_impl->oblique || (m_impl->face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
}

TextExtent SystemFont::MeasureLine(std::wstring_view text) const
{
    int64_t width = 0;
    for (wchar_t c : text)
        width += m_impl->CachedAdvance(c);
    return {int(std::min<int64_t>(width, INT_MAX)), m_metrics.height};
}

void SystemFont::DrawLine(CoverageBitmap& target, int x, int rowFromTop, std::wstring_view text) const
{
    if (target.IsEmpty())
        return;
    const int64_t baseline = int64_t(rowFromTop) + m_metrics.ascent;
    int64_t pen = x;
    for (wchar_t c : text)
    {
        // Nothing further can land in the box.
        if (pen >= target.Width() + int64_t(m_metrics.height))
            break;
        if (!m_impl->Load(c, true))
            continue;
        const FT_GlyphSlot slot = m_impl->face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const uint8_t* row = bitmap.buffer;
        if (bitmap.pitch < 0 && row)
            row += size_t(-bitmap.pitch) * (bitmap.rows > 0 ? bitmap.rows - 1 : 0);
        for (unsigned r = 0; row && r < bitmap.rows; ++r, row += bitmap.pitch)
        {
            const int64_t y = baseline - slot->bitmap_top + r;
            if (y < 0 || y >= target.Height())
                continue;
            for (unsigned col = 0; col < bitmap.width; ++col)
            {
                const int64_t px = pen + slot->bitmap_left + col;
                if (px < 0 || px >= target.Width())
                    continue;
                uint8_t value = 0;
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                    value = (row[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
                else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                    value = row[col];
                target.Combine(int(px), int(y), value);
            }
        }
        pen += m_impl->Advance();
    }

    if (m_desc.underline)
    {
        // The post table's underline: its position is the centre of the
        // stroke, below the baseline when negative.
        const FT_Face face = m_impl->face;
        const double scale = double(m_desc.height) / face->units_per_EM;
        const int thickness = std::max(1, roundToInt(face->underline_thickness * scale));
        int centre = roundToInt(-face->underline_position * scale);
        if (face->underline_position == 0 && face->underline_thickness == 0)
            centre = std::max(1, m_metrics.descent / 2);
        const int64_t top = baseline + centre - thickness / 2;
        const int64_t end = std::min<int64_t>(pen, target.Width());
        for (int64_t y = top; y < top + thickness; ++y)
        {
            if (y < 0 || y >= target.Height())
                continue;
            for (int64_t px = std::max<int64_t>(x, 0); px < end; ++px)
                target.Combine(int(px), int(y), 255);
        }
    }
}

} // namespace Platform
