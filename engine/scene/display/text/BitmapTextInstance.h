// The text drawn glyph by glyph from a bitmap font (a face whose name ends in ".fnt"): a text node
// whose layout and drawing are the graphics layer's bitmap text, which it keeps in step with the
// node's text, box, format flags and font. It is laid out again whenever any of them changes;
// drawing only queues the stored glyph quads.
//
// Its class is "BitmapText" in the class registry and to scripts, as definitions and content name
// it; in C++ that name is the graphics layout it draws with.
#pragma once

#include "engine/graphics/text/BitmapText.h"
#include "engine/scene/display/text/Instance_Text.h"

namespace TarnEngine
{

class BitmapTextInstance : public Instance_Text
{
    TARN_RCLASS(BitmapTextInstance)
    TARN_LUA_CLASS("BitmapText")
public:
    BitmapTextInstance();
    ~BitmapTextInstance() override;

    void Draw(const Matrix3& parent, float parentOpacity) override;
    // The text state, then the font of the source when it is a bitmap text, laid out again.
    void CopyFrom(const Instance_Base& source) override;
    // Takes the bitmap font of the face; size, bold and italic play no part.
    void SetFont(const FontDesc& desc) override;

    MeasuredSize MeasureText(const std::wstring& other) override;
    // The size the last layout measured.
    MeasuredSize GetTextRenderSize() override;
    void Relayout() override;

    const BitmapText& GetLayout() const { return layout; }

protected:
    // Bitmap glyphs draw every "^" as it is.
    bool DrawsColorCodes() const override { return false; }

public:
    static void RegisterLua(lua_State* state);

private:
    BitmapText layout;
};

} // namespace TarnEngine
