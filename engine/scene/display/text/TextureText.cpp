// The texture text; see TextureText.h.
#include "engine/scene/display/text/TextureText.h"

#include "engine/graphics/device/Renderer.h"
#include "engine/graphics/text/Font.h"
#include "engine/scene/display/node/LeafDrawing.h"

#include <cmath>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(TextureText, Instance_Text, RObjectFactory<TextureText>, L"TextureText",
                              &TextureText::RegisterLua)

namespace
{

TextureText::TextTextureBuilder g_builder = &TextTexture::Build;

uint32_t boxSide(int32_t value)
{
    return value > 0 ? uint32_t(value) : 0u;
}

} // namespace

TextureText::TextTextureBuilder TextureText::SetTextTextureBuilder(TextTextureBuilder builder)
{
    const TextTextureBuilder previous = g_builder;
    g_builder = builder ? builder : &TextTexture::Build;
    return previous;
}

TextureText::~TextureText()
{
    textTexture = TextTexture();
}

void TextureText::Relayout()
{
    textTexture = TextTexture();
}

void TextureText::EnsureRendered()
{
    if (textTexture.texture && textTexture.font)
        return;
    const TextRenderParams params(text, boxSide(boxWidth), boxSide(boxHeight), textFormat, lineSpacing, gamma);
    textTexture = g_builder(font, params);
}

void TextureText::Draw(const Matrix3& parent, float parentOpacity)
{
    if (!visible)
        return;
    const float alpha = opacity * parentOpacity;
    Matrix3 world = Matrix3::Multiply(GetLocalMatrix(), parent);
    const bool filtering = allowFiltering && !Matrix3::IsIdentityLinear(world);
    if (!filtering)
    {
        // Glyphs rendered for the pixel grid stay sharp only on it.
        world.m[2][0] = std::trunc(world.m[2][0]);
        world.m[2][1] = std::trunc(world.m[2][1]);
    }
    const uint32_t vertexColour = VertexAlpha(alpha) << 24 | colour;

    RenderCanvasPass(*this, 0, world);
    EnsureRendered();
    Renderer* renderer = Renderer::Get();
    // A text that could not be rendered shows nothing rather than the renderer's magenta square.
    if (renderer && textTexture.texture)
    {
        const Matrix3 quad =
            Matrix3::Multiply(Renderer::MakeRectMatrix(0, 0, boxSide(boxWidth), boxSide(boxHeight)), world);
        const SpriteRect source{textTexture.leftU, textTexture.topV, textTexture.rightU, textTexture.bottomV};
        renderer->DrawQuad(SpriteMaterial{material, textTexture.texture, filtering}, quad, source, vertexColour, true);
    }
    RenderCanvasPass(*this, 1, world);
}

void TextureText::CopyFrom(const Instance_Base& source)
{
    Instance_Text::CopyFrom(source);
    if (const TextureText* other = RObjectCast<TextureText>(&source); other && other != this)
        textTexture = other->textTexture;
}

MeasuredSize TextureText::MeasureText(const std::wstring& other)
{
    EnsureRendered();
    MeasuredSize size;
    if (textTexture.font)
        textTexture.font->MeasureLine(size.width, size.height, other);
    return size;
}

MeasuredSize TextureText::GetTextRenderSize()
{
    return MeasureText(text);
}

MeasuredSize TextureText::MeasureTextInBox(const std::wstring& other)
{
    EnsureRendered();
    MeasuredSize size;
    if (textTexture.font)
        textTexture.font->MeasureWrapped(size.width, size.height, other, boxSide(boxWidth));
    return size;
}

MeasuredSize TextureText::GetTextRenderSizeInBox()
{
    return MeasureTextInBox(text);
}

void TextureText::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Text::StaticScriptName());
    def.SetConstructor(&LuaConstruct<TextureText>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
