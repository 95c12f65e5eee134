// A text drawn through a 5 x 5 grid that ripples in time: the credits' mirror images under their
// first panel. It is a texture text whose block is drawn through a distortion mesh instead of one
// quad; the engine's water-wave handler moves the grid before every draw, on the engine clock, so
// the mirror keeps rippling while the panel stands still.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/display/geometry/Distortion_Mesh.h"
#include "engine/scene/display/text/TextureText.h"

#include <memory>
#include <string>

namespace TarnEngine
{
class Instance_Movie;
}

class WarpedText final : public TarnEngine::TextureText
{
    TARN_RCLASS(WarpedText)
    TARN_LUA_CLASS("WarpedText")
public:
    static constexpr uint32_t GridSide = 5;
    static constexpr float RippleSpeed = 5.0f;
    static constexpr float RipplePhaseStep = 8.0f;
    static constexpr float RippleAmplitudeX = 0.005f;
    static constexpr float RippleAmplitudeY = 0.002f;

    WarpedText() = default;
    ~WarpedText() override;

    // Takes the source's position, text and style, renders the block and builds a fresh mesh.
    void InitFrom(const TarnEngine::Instance_Text& source);
    void Draw(const TarnEngine::Matrix3& parent, float parentOpacity) override;

    TarnEngine::Distortion_Mesh* GetMesh() const { return mesh.get(); }
    // The vertex colour of a draw under that parent opacity.
    uint32_t VertexColour(float parentOpacity) const;

    static void RegisterLua(lua_State* state);

private:
    // A mesh over the rendered block's texture rectangle, with its ripple; the text's block may
    // change size when the text changes, so the grid follows the rectangle.
    void buildMesh();

    std::unique_ptr<TarnEngine::Distortion_Mesh> mesh;
    float meshRect[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// A mirror of the source text under the parent: named, upside down, at y minus the source's y, with
// that opacity. The empty handle when the copy cannot be made.
TarnEngine::InstanceHandle CreateWarpedCopy(TarnEngine::Instance_Movie* parent,
                                            TarnEngine::Instance_Text* source, const std::wstring& name,
                                            float y, float opacity);
