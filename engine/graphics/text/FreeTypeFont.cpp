// FreeType outline font; see FreeTypeFont.h.
#include "engine/graphics/text/FreeTypeFont.h"

#include <algorithm>

#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/TextLayout.h"

namespace TarnEngine
{

FreeTypeFont::FreeTypeFont(const FontDesc& desc) : m_size(desc.size)
{
    if (FontManager* manager = FontManager::Get())
    {
        const FontFaceInfo info = manager->FindFace(desc);
        m_face = info.face;
        m_options = info.options;
    }
}

void FreeTypeFont::MeasureLine(int32_t& width, int32_t& height, const std::wstring& text)
{
    width = height = 0;
    if (m_face != nullptr)
        MeasureTextLine(m_face, m_size, m_options, text, width, height);
}

void FreeTypeFont::MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text,
                                  uint32_t wrapWidth)
{
    width = height = 0;
    if (m_face != nullptr)
        MeasureTextWrapped(m_face, m_size, m_options, text, wrapWidth, width, height);
}

bool FreeTypeFont::RenderToTexture(RefPtr<IResourceTexture> texture, const TextRenderParams& params)
{
    if (!texture || m_face == nullptr)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || bits == nullptr)
        return false;
    // Only the storage that was allocated is written, whatever the box says.
    uint32_t storageWidth = 0, storageHeight = 0;
    texture->GetTextureSize(&storageWidth, &storageHeight);
    if (pitch > 0)
        storageWidth = std::min<uint32_t>(storageWidth, uint32_t(pitch) / 4);
    TextPixels pixels{static_cast<uint8_t*>(bits), pitch, storageWidth, storageHeight};
    const FontManager* manager = FontManager::Get();
    const double defaultGamma = manager ? manager->GetDefaultOptions().gamma : 1.1;
    RenderTextBlock(m_face, m_size, m_options, defaultGamma, params, pixels);
    texture->Unlock();
    return true;
}

} // namespace TarnEngine
