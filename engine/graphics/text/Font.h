// The base of the outline fonts: a text is never drawn glyph by glyph on
// screen but rendered once, as a whole block, into a device texture that the
// renderer then draws as one quad. The font keeps the cache of those blocks
// per text style and hands out the texture and its texture-coordinate
// rectangle; as the textures' recreater it draws a block again whenever the
// device needs the content (first use, device reset). Drawing the pixels is
// left to the derived font.
//
// The block texture holds the text upside down relative to the screen: row 0
// is the bottom of the text box.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/Referenced.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/text/TextTexture.h"

namespace TarnEngine
{

class Font : public Recreater
{
public:
    struct CacheEntry : public Referenced
    {
        uint32_t format = 0;
        std::wstring text;
        WeakPtr<IResourceTexture> texture; // does not keep the texture alive
        float leftU = 0;
        float bottomV = 0;
        float rightU = 0;
        float topV = 0;
        uint32_t renderWidth = 0;
        uint32_t renderHeight = 0;
        uint32_t textureWidth = 0;
        uint32_t textureHeight = 0;
        double heightMultiplier = 0;
        double gamma = 0;
    };

    Font() = default;
    ~Font() override;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // A texture that shows the text: a cached block when one fits, else a
    // new dynamic texture that draws itself through Recreate when first used.
    // Empty when the renderer or device is not ready.
    void RenderText(TextTexture& out, const FontDesc& desc, const TextRenderParams& params);

    // Draws the cached block of the texture again into fresh storage.
    bool Recreate(IResourceTexture* texture) override;

    virtual bool IsValid() const = 0;
    virtual void MeasureLine(int32_t& width, int32_t& height, const std::wstring& text) = 0;
    virtual void MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text,
                                uint32_t wrapWidth) = 0;
    // Clears the texture's locked area and draws the text in white-based
    // ARGB with alpha coverage.
    virtual bool RenderToTexture(RefPtr<IResourceTexture> texture, const TextRenderParams& params) = 0;

    size_t GetCacheSize() const { return m_cache.size(); }

private:
    Font* FontForStyle(const FontDesc& desc);

    std::multimap<FontDesc, RefPtr<CacheEntry>> m_cache;
};

} // namespace TarnEngine
