// The bitmap-font text node; see BitmapTextInstance.h.
#include "engine/scene/display/text/BitmapTextInstance.h"

#include "engine/scene/display/node/LeafDrawing.h"

namespace TarnEngine
{

// Registered under the name that content and scripts use (see the header).
RClass* BitmapTextInstance::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record
                  : RInstanceClass::Obtain(record, "BitmapText", &Instance_Text::StaticClass,
                                           RObjectFactory<BitmapTextInstance>, &typeid(BitmapTextInstance),
                                           L"BitmapText", &BitmapTextInstance::RegisterLua);
}

BitmapTextInstance::BitmapTextInstance()
{
    layout.Instance().renderCanvasPass = [this](uint32_t pass, const Matrix3& world)
    { RenderCanvasPass(*this, pass, world); };
}

BitmapTextInstance::~BitmapTextInstance() = default;

void BitmapTextInstance::Relayout()
{
    layout.SetBox(boxWidth > 0 ? uint32_t(boxWidth) : 0u, boxHeight);
    layout.SetFormat(textFormat);
    layout.SetText(text);
}

void BitmapTextInstance::SetFont(const FontDesc& desc)
{
    Instance_Text::SetFont(desc);
    layout.SetFont(font);
}

void BitmapTextInstance::CopyFrom(const Instance_Base& source)
{
    Instance_Text::CopyFrom(source);
    if (const BitmapTextInstance* other = RObjectCast<BitmapTextInstance>(&source); other && other != this)
        layout.CopyFrom(other->layout);
    Relayout();
}

MeasuredSize BitmapTextInstance::MeasureText(const std::wstring& other)
{
    return layout.MeasureText(other);
}

MeasuredSize BitmapTextInstance::GetTextRenderSize()
{
    return layout.GetRenderSize();
}

void BitmapTextInstance::Draw(const Matrix3& parent, float parentOpacity)
{
    BitmapText::InstanceState& state = layout.Instance();
    state.local = GetLocalMatrix();
    state.opacity = opacity;
    state.colour = colour;
    state.material = material;
    state.visible = visible;
    state.allowFiltering = allowFiltering;
    layout.Draw(parent, parentOpacity);
}

void BitmapTextInstance::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Text::StaticScriptName());
    def.SetConstructor(&LuaConstruct<BitmapTextInstance>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
