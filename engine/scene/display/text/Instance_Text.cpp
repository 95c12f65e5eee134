// The text node; see Instance_Text.h.
#include "engine/scene/display/text/Instance_Text.h"

#include "engine/core/text/StringTable.h"
#include "engine/graphics/device/Renderer.h"

namespace TarnEngine
{

// Only its two kinds are ever made.
TARN_IMPLEMENT_RINSTANCECLASS(Instance_Text, Instance_Base, RNoFactory, L"Text", &Instance_Text::RegisterLua)

void Instance_Text::Initialize(const std::wstring& instanceName)
{
    Instance_Base::Initialize(instanceName);
    type = INSTANCE_TEXT;
    // White with the opacity applied: a text fades with its movie whether or not a colour was set.
    colour = 0xFFFFFF;
    inputEnabled = false;
}

void Instance_Text::SetColor(uint32_t argb)
{
    colour = argb & 0xFFFFFF;
    if (Renderer* renderer = Renderer::Get())
        if (IGIL* device = renderer->GetDevice())
            device->Invalidate();
}

void Instance_Text::ComputeBounds()
{
    const float w = float(boxWidth), h = float(boxHeight);
    corners[0] = {0.0f, 0.0f};
    corners[1] = {0.0f, h};
    corners[2] = {w, 0.0f};
    corners[3] = {w, h};
}

void Instance_Text::CopyFrom(const Instance_Base& source)
{
    Instance_Base::CopyFrom(source);
    const Instance_Text* other = RObjectCast<Instance_Text>(&source);
    if (!other || other == this)
        return;
    SetText(other->text);
    colour = other->colour;
    textKey = other->textKey;
    font = other->font;
    text = other->text;
    boxWidth = other->boxWidth;
    boxHeight = other->boxHeight;
    textFormat = other->textFormat;
    lineSpacing = other->lineSpacing;
    gamma = other->gamma;
    InvalidateMatrix(this, false);
}

void Instance_Text::SetWidth(int32_t width)
{
    boxWidth = width;
    InvalidateMatrix(this, false);
    Relayout();
}

void Instance_Text::SetHeight(int32_t height)
{
    boxHeight = height;
    InvalidateMatrix(this, false);
    Relayout();
}

void Instance_Text::SetFont(const FontDesc& desc)
{
    font.name = desc.name;
    font.size = desc.size;
    font.bold = desc.bold;
    font.italic = desc.italic;
    font.underline = desc.underline;
    Relayout();
}

void Instance_Text::SetText(const std::wstring& newText)
{
    if (newText == text)
        return;
    if (IsTextKey(newText))
    {
        text = ResolveTextKey(newText);
        textKey = newText.substr(3);
    }
    else
        text = LocalizeText(newText);
    Relayout();
}

void Instance_Text::SetLiteralText(const std::wstring& typed)
{
    std::wstring shown;
    if (DrawsColorCodes())
    {
        shown.reserve(typed.size());
        for (const wchar_t c : typed)
        {
            shown += c;
            if (c == L'^')
                shown += L'^';
        }
    }
    else
        shown = typed;
    textKey.clear();
    if (shown == text)
        return;
    text = std::move(shown);
    Relayout();
}

void Instance_Text::SetTextFormat(uint32_t flags)
{
    textFormat = flags;
    Relayout();
}

void Instance_Text::SetLineSpacing(double spacing)
{
    lineSpacing = spacing;
    Relayout();
}

void Instance_Text::SetGamma(double value)
{
    gamma = value;
    Relayout();
}

} // namespace TarnEngine
