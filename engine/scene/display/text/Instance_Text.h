// The text node of the display tree: one text in a box with a font, a colour and layout flags.
// Instance_Text keeps the text, the style and the box, resolves string-table keys ("|T|key") and
// offers the text methods to scripts; two kinds draw it: TextureText (the text rendered into a
// texture by the engine's text renderer, drawn as one quad) and the bitmap-font text
// (BitmapTextInstance, glyph by glyph). Every change of the text or its style goes through
// Relayout, where each kind marks or redoes its layout.
//
// Texts are made from the text entries of movie definitions (through ITextInstanceSetup) and by
// game code. The script methods are in Instance_TextLua.cpp.
#pragma once

#include "engine/graphics/text/BitmapText.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/node/Instance_Base.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class Instance_Text : public Instance_Base, public ITextInstanceSetup
{
    TARN_RCLASS(Instance_Text)
    TARN_LUA_CLASS("Instance_Text")
public:
    // Type INSTANCE_TEXT, white, and no input unless a script enables it.
    void Initialize(const std::wstring& instanceName) override;
    // Keeps the low 24 bits; the alpha comes from the opacity.
    void SetColor(uint32_t argb) override;
    // The box, (0, 0) to (boxWidth, boxHeight).
    void ComputeBounds() override;
    void CopyFrom(const Instance_Base& source) override;

    // ---- The text operations. Each change lays the text out again.
    void SetWidth(int32_t width) override;
    void SetHeight(int32_t height) override;
    virtual void SetTimelineIndex(int32_t index) { timelineIndex = index; }
    void SetFont(const FontDesc& desc) override;
    // The same text again does nothing; a text key shows the string table's text for the key.
    void SetText(const std::wstring& newText) override;
    // A text the player typed (a profile name, a sentence holding one): shown exactly as typed,
    // with no key resolution and no colour codes, however it begins or what "^" it holds.
    void SetLiteralText(const std::wstring& typed);
    void SetTextFormat(uint32_t flags) override;
    void SetLineSpacing(double spacing) override;
    void SetGamma(double value) override;
    // Sizes in pixels: of a given text or of the own one, on one line or wrapped at the box width.
    // A text node that cannot draw measures nothing.
    virtual MeasuredSize MeasureText(const std::wstring&) { return {}; }
    virtual MeasuredSize GetTextRenderSize() { return {}; }
    virtual MeasuredSize MeasureTextInBox(const std::wstring&) { return {}; }
    virtual MeasuredSize GetTextRenderSizeInBox() { return {}; }
    // The text or its style changed.
    virtual void Relayout() {}

    static void RegisterLua(lua_State* state);

    // ---- Data.
    std::wstring textKey; // the string-table key of the text, when it was set as one
    FontDesc font;
    std::wstring text; // what is shown
    int32_t boxWidth = 0;
    int32_t boxHeight = 0;
    uint32_t textFormat = 0; // TextFormat flags
    double lineSpacing = 0.0;
    double gamma = 0.0;
    uint32_t colour = 0xFFFFFF; // 0x00RRGGBB

protected:
    Instance_Text() = default;
    // Whether this kind draws "^RRGGBB" as a colour change (and "^^" as one "^").
    virtual bool DrawsColorCodes() const { return true; }
};

} // namespace TarnEngine
