// The rippling text; see WarpedText.h.
#include "game/ui/WarpedText.h"

#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/node/LeafDrawing.h"
#include "engine/scene/display/geometry/UVWaterWaveDistortionHandler.h"
#include "engine/scene/script/LuaBinding.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(WarpedText, TextureText, RObjectFactory<WarpedText>, L"WarpedText",
                              &WarpedText::RegisterLua)

WarpedText::~WarpedText()
{
    mesh.reset();
}

void WarpedText::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(TextureText::StaticScriptName());
    def.SetConstructor(&LuaConstruct<WarpedText>);
    def.Build(StaticScriptName());
}

void WarpedText::buildMesh()
{
    const TextTexture& block = GetTextTexture();
    const float rect[4] = {block.leftU, block.topV, block.rightU, block.bottomV};
    std::unique_ptr<Distortion_Mesh> fresh = Distortion_Mesh::Create(rect, GridSide, GridSide);
    if (!fresh)
        return;
    UVWaterWaveDistortionHandler::Params params;
    params.columns = int32_t(GridSide);
    params.rows = int32_t(GridSide);
    params.frequency = RippleSpeed;
    params.phaseStep = RipplePhaseStep;
    params.amplitudeX = RippleAmplitudeX;
    params.amplitudeY = RippleAmplitudeY;
    params.fadeMode = 0;
    params.fixMode = 0;
    fresh->SetHandler(std::make_unique<UVWaterWaveDistortionHandler>(params));
    mesh = std::move(fresh);
    for (int i = 0; i < 4; ++i)
        meshRect[i] = rect[i];
}

void WarpedText::InitFrom(const Instance_Text& source)
{
    CopyFrom(source);
    EnsureRendered();
    buildMesh();
}

uint32_t WarpedText::VertexColour(float parentOpacity) const
{
    return VertexAlpha(opacity * parentOpacity) << 24 | (colour & 0xFFFFFFu);
}

void WarpedText::Draw(const Matrix3& parent, float parentOpacity)
{
    if (!visible)
        return;
    const Matrix3 world = Matrix3::Multiply(GetLocalMatrix(), parent);
    const uint32_t boxW = boxWidth > 0 ? uint32_t(boxWidth) : 0u;
    const uint32_t boxH = boxHeight > 0 ? uint32_t(boxHeight) : 0u;
    const Matrix3 matrix = Matrix3::Multiply(Renderer::MakeRectMatrix(0, 0, boxW, boxH), world);
    EnsureRendered();
    const TextTexture& block = GetTextTexture();
    if (!mesh || meshRect[0] != block.leftU || meshRect[1] != block.topV || meshRect[2] != block.rightU ||
        meshRect[3] != block.bottomV)
        buildMesh();
    if (!mesh)
        return;
    mesh->UpdateHandler();
    Renderer* renderer = Renderer::Get();
    if (renderer && block.texture)
        mesh->Draw(SpriteMaterial{material, block.texture, true}, matrix, VertexColour(parentOpacity), true);
}

InstanceHandle CreateWarpedCopy(Instance_Movie* parent, Instance_Text* source, const std::wstring& name,
                                float y, float opacity)
{
    if (!parent || !source)
        return {};
    const InstanceHandle made = Instance_Movie::CreateInstanceByClassName(parent, L"", name, L"WarpedText");
    auto* copy = RObjectCast<WarpedText>(made.GetInstance());
    if (!copy)
        return {};
    copy->InitFrom(*source);
    copy->SetScaleY(-1.0f);
    copy->SetY(y - source->y);
    copy->SetOpacity(opacity);
    return made;
}
