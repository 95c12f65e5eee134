// Distortion meshes and their handlers: the rest grid and its size limits, the nine- and
// three-slice scalers at several scales (through their script functions), the water ripple's
// defaults, required arguments, fix and fade modes on an injected clock, and the drawn cells.
#include "engine/core/time/TimeManager.h"
#include "engine/scene/display/geometry/UVWaterWaveDistortionHandler.h"
#include "engine/scene/display/image/SliceScalers.h"
#include "tests/scene/display/ImageFixture.h"

#include <cmath>

namespace SceneTest
{
namespace
{

class Distortion : public ImageFixture
{
protected:
    // "frame": a 30 x 30 picture filling a 32 x 32 texture's top left.
    void SetUp() override
    {
        ImageFixture::SetUp();
        texture = new MemoryTexture(32, 32, 30, 30);
        ASSERT_NE(Define(L"frame", texture.Get()), nullptr);
        image = Image(L"frame", L"f");
        ASSERT_NE(image, nullptr);
        SetGlobal("img", image);
    }

    // The vertex offset from its rest position.
    float OffsetX(uint32_t row, uint32_t column)
    {
        const Distortion_Mesh* mesh = image->GetDistortionMesh();
        return mesh->GetVertex(row, column).x - (float(column) / float(mesh->GetColumns() - 1) - 0.5f);
    }
    float OffsetY(uint32_t row, uint32_t column)
    {
        const Distortion_Mesh* mesh = image->GetDistortionMesh();
        return mesh->GetVertex(row, column).y - (float(row) / float(mesh->GetRows() - 1) - 0.5f);
    }

    RefPtr<MemoryTexture> texture;
    Instance_Image* image = nullptr;
};

TEST_F(Distortion, MeshesRefuseSizesWithoutAStepAndHugeOnes)
{
    const struct
    {
        uint32_t columns, rows;
        bool made;
    } cases[] = {
        {0, 4, false}, {1, 4, false},   {4, 1, false},          {2, 2, true},
        {256, 256, true}, {257, 2, false}, {0xFFFFFFFF, 2, false}, {2, 0x80000000, false},
    };
    for (const auto& c : cases)
    {
        const float rect[4] = {0, 0, 1, 1};
        EXPECT_EQ(Distortion_Mesh::Create(rect, c.columns, c.rows) != nullptr, c.made) << c.columns << " x " << c.rows;
    }
    Distortion_Mesh* mesh = image->CreateDistortionMesh(3, 3);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(image->CreateDistortionMesh(1, 3), nullptr);
    EXPECT_EQ(image->GetDistortionMesh(), mesh) << "a refused size keeps the mesh there was";
}

TEST_F(Distortion, TheRestGridCutsTheTextureRectangleEvenly)
{
    const float rect[4] = {0.1f, 0.2f, 0.7f, 0.8f};
    std::unique_ptr<Distortion_Mesh> mesh = Distortion_Mesh::Create(rect, 4, 3);
    ASSERT_NE(mesh, nullptr);
    for (uint32_t r = 0; r < 3; ++r)
        for (uint32_t c = 0; c < 4; ++c)
        {
            const Distortion_Mesh::Vertex& v = mesh->GetVertex(r, c);
            EXPECT_NEAR(v.x, float(c) / 3.0f - 0.5f, 1e-6f);
            EXPECT_NEAR(v.y, float(r) / 2.0f - 0.5f, 1e-6f);
            EXPECT_NEAR(v.u, 0.1f + 0.6f * float(c) / 3.0f, 1e-6f);
            EXPECT_NEAR(v.v, 0.2f + 0.6f * float(r) / 2.0f, 1e-6f);
        }

    mesh->SetVertexOffset(1, 2, 0.05f, -0.05f);
    EXPECT_NEAR(mesh->GetVertex(1, 2).x, 2.0f / 3.0f - 0.5f + 0.05f, 1e-6f);
    EXPECT_NEAR(mesh->GetVertex(1, 2).y, -0.05f, 1e-6f);
    mesh->SetTexCoordOffset(2, 0.1f, 0.0f);
    EXPECT_NEAR(mesh->GetVertex(2, 1).u, 0.6f * (1.0f / 3.0f + 0.1f) + 0.1f, 1e-6f) << "column 1 only";
    EXPECT_NEAR(mesh->GetVertex(2, 1).v, 0.8f, 1e-6f);
    // Outside the grid: ignored.
    mesh->SetVertexOffset(3, 0, 1, 1);
    mesh->SetVertexOffset(0, 4, 1, 1);
    mesh->SetTexCoordOffset(3, 1, 1);
    EXPECT_NEAR(mesh->GetVertex(0, 0).x, -0.5f, 1e-6f);
}

TEST_F(Distortion, NineSliceKeepsTheBordersAtTheirUnscaledSize)
{
    ASSERT_TRUE(Run("Set9Scale(img)"));
    ASSERT_NE(image->GetDistortionMesh(), nullptr);
    EXPECT_EQ(image->GetDistortionMesh()->GetColumns(), 4u);
    EXPECT_EQ(image->GetDistortionMesh()->GetRows(), 4u);
    const struct
    {
        float scale;
        float offset; // how far the inner lines move out
    } cases[] = {
        {3.0f, 2.0f / 9.0f}, // inner columns at -0.5 + 1/9 and 0.5 - 1/9
        {0.5f, -1.0f / 3.0f},
        {1.0f, 0.0f},
        {0.33f, 0.0f}, // at 0.33 and below the image scales uniformly
        {0.2f, 0.0f},
    };
    for (const auto& c : cases)
    {
        image->SetScale(c.scale, c.scale);
        const std::vector<RecordedQuad> quads = DrawnQuads(*image);
        ASSERT_EQ(quads.size(), 9u) << "one quad per cell";
        EXPECT_NEAR(OffsetX(0, 1), -c.offset, 1e-5f) << c.scale;
        EXPECT_NEAR(OffsetX(1, 2), c.offset, 1e-5f) << c.scale;
        EXPECT_NEAR(OffsetY(1, 0), -c.offset, 1e-5f) << c.scale;
        EXPECT_NEAR(OffsetY(2, 3), c.offset, 1e-5f) << c.scale;
        EXPECT_NEAR(OffsetX(3, 3), 0.0f, 1e-6f) << "the outer ring stays";
        EXPECT_NEAR(OffsetY(0, 0), 0.0f, 1e-6f);
    }

    // At scale 3 the top-left cell covers 10 of the 90 pixels on screen, as it does unscaled.
    image->SetScale(3, 3);
    const std::vector<RecordedQuad> quads = DrawnQuads(*image);
    ASSERT_FALSE(quads[0].fromMatrix);
    EXPECT_NEAR(quads[0].points[0].x, 0.0f, 1e-3f);
    EXPECT_NEAR(quads[0].points[1].x, 10.0f, 1e-3f);
    EXPECT_NEAR(quads[0].points[2].y, 10.0f, 1e-3f);
    EXPECT_NEAR(quads[8].points[2].x, 90.0f, 1e-3f);
    EXPECT_NEAR(quads[0].uvs[1].x, 10.0f / 32.0f, 1e-6f) << "a third of the picture";
    EXPECT_TRUE(quads[0].filtering);
}

TEST_F(Distortion, ThreeSliceScalesOnlyAcross)
{
    ASSERT_TRUE(Run("Set3Scale(img)"));
    ASSERT_NE(image->GetDistortionMesh(), nullptr);
    EXPECT_EQ(image->GetDistortionMesh()->GetColumns(), 4u);
    EXPECT_EQ(image->GetDistortionMesh()->GetRows(), 2u);
    image->SetScale(3, 3);
    EXPECT_EQ(DrawnQuads(*image).size(), 3u);
    for (uint32_t row = 0; row < 2; ++row)
    {
        EXPECT_NEAR(OffsetX(row, 1), -2.0f / 9.0f, 1e-5f);
        EXPECT_NEAR(OffsetX(row, 2), 2.0f / 9.0f, 1e-5f);
        EXPECT_NEAR(OffsetY(row, 1), 0.0f, 1e-6f);
    }
}

TEST_F(Distortion, ScriptFunctionsWithoutAnImageDoNothing)
{
    Instance_Movie* movie = Movie(root, L"m");
    SetGlobal("mov", movie);
    ASSERT_TRUE(Run("Set9Scale(mov) Set3Scale(nil) Set9Scale() CreateWaterRippleEx(mov, {})"
                    "CreateWaterRipple(mov, 4, 4, 1, 1, 0.1, 0.1, 0, 0) CreateWaterRippleEx(img)"
                    "CreateWaterRippleEx(img, 5)"));
    EXPECT_EQ(image->GetDistortionMesh(), nullptr);
}

TEST_F(Distortion, WaterRippleExTakesItsDefaultsFromAnEmptyTable)
{
    image->SetAllowFiltering(false);
    ASSERT_TRUE(Run("CreateWaterRippleEx(img, {})"));
    const Distortion_Mesh* mesh = image->GetDistortionMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetColumns(), 10u);
    EXPECT_EQ(mesh->GetRows(), 10u);
    auto* handler = dynamic_cast<UVWaterWaveDistortionHandler*>(mesh->GetHandler());
    ASSERT_NE(handler, nullptr);
    const UVWaterWaveDistortionHandler::Params& p = handler->GetParams();
    EXPECT_FLOAT_EQ(p.frequency, 10.0f);
    EXPECT_FLOAT_EQ(p.phaseStep, 8.0f);
    EXPECT_FLOAT_EQ(p.amplitudeX, 0.01f);
    EXPECT_FLOAT_EQ(p.amplitudeY, 0.01f);
    EXPECT_EQ(p.fadeMode, 0u);
    EXPECT_EQ(p.fixMode, 0u);
    EXPECT_TRUE(image->allowFiltering) << "ripples are always filtered";

    ASSERT_TRUE(Run("CreateWaterRippleEx(img, {i_dim_x = 3, f_freq = 2.5, i_fixMode = WR_All or 15, f_diff = 'x'})"));
    handler = dynamic_cast<UVWaterWaveDistortionHandler*>(image->GetDistortionMesh()->GetHandler());
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(image->GetDistortionMesh()->GetColumns(), 3u);
    EXPECT_EQ(image->GetDistortionMesh()->GetRows(), 10u);
    EXPECT_FLOAT_EQ(handler->GetParams().frequency, 2.5f);
    EXPECT_FLOAT_EQ(handler->GetParams().phaseStep, 8.0f) << "a field of the wrong type keeps its default";
    EXPECT_EQ(handler->GetParams().fixMode, 15u);
}

TEST_F(Distortion, WaterRippleNeedsAllItsArgumentsAndASizeAMeshTakes)
{
    ASSERT_TRUE(Run("CreateWaterRipple(img, 4, 4, 1, 1, 0.1, 0.1, 0)"));
    EXPECT_EQ(image->GetDistortionMesh(), nullptr) << "eight arguments of nine";
    for (const char* call : {"CreateWaterRipple(img, 1, 4, 1, 1, 0.1, 0.1, 0, 0)",
                             "CreateWaterRipple(img, -3, 4, 1, 1, 0.1, 0.1, 0, 0)",
                             "CreateWaterRipple(img, 4, 100000, 1, 1, 0.1, 0.1, 0, 0)",
                             "CreateWaterRippleEx(img, {i_dim_y = 0})"})
    {
        ASSERT_TRUE(Run(call));
        EXPECT_EQ(image->GetDistortionMesh(), nullptr) << call;
    }
    ASSERT_TRUE(Run("CreateWaterRipple(img, 5, 6, 1.5, 2, 0.1, 0.2, 4, 8)"));
    ASSERT_NE(image->GetDistortionMesh(), nullptr);
    EXPECT_EQ(image->GetDistortionMesh()->GetColumns(), 5u);
    EXPECT_EQ(image->GetDistortionMesh()->GetRows(), 6u);
    auto* handler = dynamic_cast<UVWaterWaveDistortionHandler*>(image->GetDistortionMesh()->GetHandler());
    ASSERT_NE(handler, nullptr);
    EXPECT_FLOAT_EQ(handler->GetParams().amplitudeY, 0.2f);
    EXPECT_EQ(handler->GetParams().fadeMode, 4u);
    EXPECT_EQ(handler->GetParams().fixMode, 8u);
}

class WaterRipple : public Distortion
{
protected:
    void SetUp() override
    {
        Distortion::SetUp();
        clock.GetClock(0).now = 1234; // ms
    }

    // The wave at a vertex, before fading.
    static float Wave(uint32_t row, uint32_t column)
    {
        return float(std::sin(10.0 * 1.234 + 8.0 * double(row + column)));
    }

    TimeManager clock;
};

TEST_F(WaterRipple, FixModeAllHoldsTheOuterRingAtRest)
{
    ASSERT_TRUE(Run("CreateWaterRipple(img, 5, 4, 10, 8, 0.01, 0.02, 0, 15)"));
    ASSERT_EQ(DrawnQuads(*image).size(), 12u);
    for (uint32_t r = 0; r < 4; ++r)
        for (uint32_t c = 0; c < 5; ++c)
        {
            const bool edge = r == 0 || c == 0 || r == 3 || c == 4;
            EXPECT_NEAR(OffsetX(r, c), edge ? 0.0f : Wave(r, c) * 0.01f, 1e-5f) << r << ", " << c;
            EXPECT_NEAR(OffsetY(r, c), edge ? 0.0f : Wave(r, c) * 0.02f, 1e-5f) << r << ", " << c;
        }
}

TEST_F(WaterRipple, EachFixBitHoldsOneEdge)
{
    const struct
    {
        int fix;
        uint32_t row, column; // a vertex that is held
        uint32_t freeRow, freeColumn;
    } cases[] = {
        {0, 99, 99, 0, 0}, {1, 0, 2, 1, 0}, {2, 2, 4, 0, 3}, {4, 3, 1, 2, 4}, {8, 1, 0, 3, 1},
    };
    for (const auto& c : cases)
    {
        ASSERT_TRUE(Run("CreateWaterRipple(img, 5, 4, 10, 8, 0.01, 0.01, 0, " + std::to_string(c.fix) + ")"));
        DrawnQuads(*image);
        if (c.row != 99)
        {
            EXPECT_NEAR(OffsetX(c.row, c.column), 0.0f, 1e-6f) << "fix " << c.fix;
        }
        EXPECT_NEAR(OffsetX(c.freeRow, c.freeColumn), Wave(c.freeRow, c.freeColumn) * 0.01f, 1e-5f)
            << "fix " << c.fix;
    }
}

TEST_F(WaterRipple, FadeModesLetTheWaveDieOutTowardsAnEdge)
{
    // Fade 8: strength c / columns, nothing in the left column. Fade 4: 1 - r / rows.
    ASSERT_TRUE(Run("CreateWaterRipple(img, 5, 4, 10, 8, 0.01, 0.01, 8, 0)"));
    DrawnQuads(*image);
    EXPECT_NEAR(OffsetX(2, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(OffsetX(2, 3), Wave(2, 3) * 0.01f * 3.0f / 5.0f, 1e-5f);
    ASSERT_TRUE(Run("CreateWaterRipple(img, 5, 4, 10, 8, 0.01, 0.01, 12, 0)"));
    DrawnQuads(*image);
    EXPECT_NEAR(OffsetX(3, 4), Wave(3, 4) * 0.01f * 0.25f, 1e-5f) << "the smaller of the two fades";
}

TEST_F(WaterRipple, AGridSmallerThanItsHeldEdgesStaysAtRest)
{
    ASSERT_TRUE(Run("CreateWaterRipple(img, 2, 2, 10, 8, 0.5, 0.5, 0, 15)"));
    EXPECT_EQ(DrawnQuads(*image).size(), 1u);
    for (uint32_t r = 0; r < 2; ++r)
        for (uint32_t c = 0; c < 2; ++c)
            EXPECT_NEAR(OffsetX(r, c), 0.0f, 1e-6f);
}

TEST_F(WaterRipple, TheWaveMovesWithTheClock)
{
    ASSERT_TRUE(Run("CreateWaterRipple(img, 3, 3, 10, 8, 0.01, 0.01, 0, 0)"));
    DrawnQuads(*image);
    const float before = OffsetX(1, 1);
    clock.GetClock(0).now += 100;
    DrawnQuads(*image);
    EXPECT_NEAR(OffsetX(1, 1), float(std::sin(10.0 * 1.334 + 16.0)) * 0.01f, 1e-5f);
    EXPECT_NE(OffsetX(1, 1), before);
}

} // namespace
} // namespace SceneTest
