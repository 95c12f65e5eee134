// Font base and the rendered-text cache; see Font.h.
#include "engine/graphics/text/Font.h"

#include <algorithm>

#include "engine/graphics/device/Renderer.h"
#include "engine/graphics/text/TextRenderer.h"

namespace TarnEngine
{

namespace
{

uint32_t nextPowerOfTwo(uint32_t value)
{
    if (value == 0 || (value & (value - 1)) == 0)
        return value;
    uint32_t power = 1;
    while (power < value && power < (1u << 31))
        power <<= 1;
    return power;
}

void fillOut(TextTexture& out, const Font::CacheEntry& entry, RefPtr<IResourceTexture> texture, Font* font)
{
    out.leftU = entry.leftU;
    out.topV = entry.topV;
    out.rightU = entry.rightU;
    out.bottomV = entry.bottomV;
    out.texture = std::move(texture);
    out.font = font;
}

} // namespace

// The font the text renderer keeps for the style; the rendering font itself
// when it keeps none (a console font, or no text renderer), so that a block
// found in the cache is always taken and not rendered anew.
Font* Font::FontForStyle(const FontDesc& desc)
{
    TextRenderer* textRenderer = TextRenderer::Get();
    Font* font = textRenderer ? textRenderer->GetFont(desc) : nullptr;
    return font ? font : this;
}

Font::~Font()
{
    // Textures that outlive the font must not call back into it.
    for (auto& [desc, entry] : m_cache)
        if (IResourceTexture* texture = entry->texture.Get())
            texture->DetachRecreater(this);
    m_cache.clear();
}

void Font::RenderText(TextTexture& out, const FontDesc& desc, const TextRenderParams& params)
{
    out = TextTexture();
    auto [it, end] = m_cache.equal_range(desc);
    while (it != end)
    {
        const CacheEntry& entry = *it->second;
        RefPtr<IResourceTexture> texture = entry.texture.Lock();
        if (!texture)
        {
            it = m_cache.erase(it);
            continue;
        }
        if (entry.text == params.text && entry.renderWidth == params.renderWidth &&
            entry.renderHeight == params.renderHeight && entry.format == params.format &&
            entry.heightMultiplier == params.heightMultiplier && entry.gamma == params.gamma)
        {
            fillOut(out, entry, std::move(texture), FontForStyle(desc));
            return;
        }
        ++it;
    }

    Renderer* renderer = Renderer::Get();
    if (renderer == nullptr || !renderer->IsReady() || renderer->GetDevice() == nullptr ||
        !renderer->GetDevice()->IsRunning())
        return;
    uint32_t textureWidth = params.renderWidth;
    uint32_t textureHeight = params.renderHeight;
    if (renderer->GetDevice()->RequiresSquareTextures())
        textureWidth = textureHeight = std::max(textureWidth, textureHeight);
    textureWidth = nextPowerOfTwo(textureWidth);
    textureHeight = nextPowerOfTwo(textureHeight);

    RefPtr<IResourceTexture> texture = renderer->CreateDynamicTexture(this);
    if (!texture)
        return;

    RefPtr<CacheEntry> entry(new CacheEntry);
    entry->format = params.format;
    entry->text = params.text;
    entry->texture = texture;
    entry->renderWidth = params.renderWidth;
    entry->renderHeight = params.renderHeight;
    entry->textureWidth = textureWidth;
    entry->textureHeight = textureHeight;
    entry->heightMultiplier = params.heightMultiplier;
    entry->gamma = params.gamma;
    // Half a texel in, so that the edge texels are sampled at their centres.
    if (textureWidth != 0)
    {
        entry->leftU = 0.5f / float(textureWidth);
        entry->rightU = float(params.renderWidth) / float(textureWidth) + 0.5f / float(textureWidth);
    }
    if (textureHeight != 0)
    {
        entry->bottomV = -0.5f / float(textureHeight);
        entry->topV = float(params.renderHeight) / float(textureHeight) - 0.5f / float(textureHeight);
    }
    m_cache.emplace(desc, entry);
    fillOut(out, *entry, std::move(texture), FontForStyle(desc));
}

bool Font::Recreate(IResourceTexture* texture)
{
    if (texture == nullptr)
        return false;
    RefPtr<CacheEntry> found;
    for (auto it = m_cache.begin(); it != m_cache.end();)
    {
        IResourceTexture* live = it->second->texture.Get();
        if (live == nullptr)
        {
            it = m_cache.erase(it);
            continue;
        }
        if (live->GetName() == texture->GetName())
        {
            found = it->second;
            break;
        }
        ++it;
    }
    if (!found)
        return false;
    if (!texture->Allocate(ImageSize{found->textureWidth, found->textureHeight}))
        return false;
    // Odd widths are drawn one column wider; the drawing stays inside the
    // storage, which may be narrower (a 1-wide texture).
    const uint32_t width = found->renderWidth + (found->renderWidth & 1);
    const TextRenderParams params(found->text, width, found->renderHeight, found->format,
                                  found->heightMultiplier, found->gamma);
    return RenderToTexture(RefPtr<IResourceTexture>(texture), params);
}

} // namespace TarnEngine
