// The text drawn from a texture: the engine's text renderer renders the whole text block into a
// texture, which is drawn as one quad over the box. Rendering is lazy: every change only drops the
// rendered block, and the next draw or measurement renders once, however many changes came first.
// Unless the text is filtered (allowed, and scaled or turned), it is put on whole pixels so that
// its glyphs stay sharp.
#pragma once

#include "engine/graphics/text/TextTexture.h"
#include "engine/scene/display/text/Instance_Text.h"

namespace TarnEngine
{

class TextureText : public Instance_Text
{
    TARN_RCLASS(TextureText)
    TARN_LUA_CLASS("TextureText")
public:
    // What renders a text block: the text renderer unless replaced (tests count renders). Returns
    // the one it replaces; null restores the text renderer.
    using TextTextureBuilder = TextTexture (*)(const FontDesc& desc, const TextRenderParams& params);
    static TextTextureBuilder SetTextTextureBuilder(TextTextureBuilder builder);

    TextureText() = default;
    ~TextureText() override;

    void Draw(const Matrix3& parent, float parentOpacity) override;
    // The text state, then the source's rendered block (sharing its texture) when it has one.
    void CopyFrom(const Instance_Base& source) override;

    MeasuredSize MeasureText(const std::wstring& other) override;
    MeasuredSize GetTextRenderSize() override;
    MeasuredSize MeasureTextInBox(const std::wstring& other) override;
    MeasuredSize GetTextRenderSizeInBox() override;
    // Drops the rendered block.
    void Relayout() override;

    // Renders the block unless it has one.
    void EnsureRendered();
    const TextTexture& GetTextTexture() const { return textTexture; }

    static void RegisterLua(lua_State* state);

private:
    TextTexture textTexture;
};

} // namespace TarnEngine
