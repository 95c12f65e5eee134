// Instance canvases on the software device: batching, the geometry of circles and pies, hit-test
// order, each pass drawn from its own range, the buffer limits, clearing on device loss, text lines
// through a console font, and a reference frame with every kind of primitive.
#include "tests/graphics/GraphicsFixture.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/graphics/canvas/CRenderCanvas.h"
#include "engine/graphics/text/Font.h"

#include <cmath>
#include <functional>

namespace GraphicsTest
{
namespace
{

using Raster::Call;
using Raster::PrimitiveType;
using Raster::Result;

constexpr uint32_t Red = 0xFFFF0000;
constexpr uint32_t Green = 0xFF00FF00;
constexpr uint32_t Blue = 0xFF0000FF;
constexpr uint32_t Black = 0xFF000000;

// A console font of fixed cells: 6 pixels a character, 10 high. Its text blocks show a vertical
// bar per character (two columns of ink, the rest clear), so a drawn line is easy to check.
class CellFont : public Font
{
public:
    bool IsValid() const override { return true; }
    void MeasureLine(int32_t& width, int32_t& height, const std::wstring& text) override
    {
        measured.push_back(text);
        width = int32_t(text.size() * 6);
        height = 10;
    }
    void MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text, uint32_t) override
    {
        MeasureLine(width, height, text);
    }
    bool RenderToTexture(RefPtr<IResourceTexture> texture, const TextRenderParams& params) override
    {
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture->Lock(&bits, &pitch, false))
            return false;
        uint32_t width = 0, height = 0;
        texture->GetTextureSize(&width, &height);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
            {
                const bool ink =
                    x < params.renderWidth && y < params.renderHeight && y > 1 && x % 6 >= 1 && x % 6 <= 2;
                static_cast<uint32_t*>(bits)[size_t(y) * (pitch / 4) + x] = ink ? 0xFFFFFFFFu : 0x00FFFFFFu;
            }
        texture->Unlock();
        return true;
    }

    std::vector<std::wstring> measured;
};

// Keeps the lines written on the rendering channel.
class RecordingLogger : public ILogger
{
public:
    void LogString(uint32_t channel, const char*, int, std::wstring_view text) override
    {
        if (channel == LogRendering)
            lines.emplace_back(text);
    }
    void EnableChannels(uint32_t) override {}
    void DisableChannels(uint32_t) override {}

    std::vector<std::wstring> lines;
};

class CanvasTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_TRUE(MakeDevice());
        dx = device.get();
        dx->SetClearParams(true, Black);
        renderer = std::make_unique<Renderer>();
        ASSERT_TRUE(renderer->Init(std::move(device), &window));
        canvas = CRenderCanvas::Create();
        ASSERT_TRUE(canvas);
        canvas->SetConsoleFontLookup(
            [this](uint32_t size)
            {
                fontSizes.push_back(size);
                return &font;
            });
        checker.size = {4, 4};
        checker.texel = [](uint32_t x, uint32_t y) { return (x + y) % 2 ? 0xFFFFFFFFu : 0xFF4060C0u; };
        texture = renderer->CreateDynamicTexture(&checker);
        ASSERT_TRUE(texture);
    }

    void TearDown() override
    {
        canvas.reset();
        texture.Release();
        renderer.reset();
        DeviceFixture::TearDown();
    }

    bool BeginFrame()
    {
        if (!dx->BeginFrame())
            return false;
        renderer->SetInFrame(true);
        return true;
    }

    void EndFrame()
    {
        renderer->Flush();
        dx->EndFrame();
        renderer->Present();
        renderer->SetInFrame(false);
    }

    // The device went to the renderer: the fixture's readers are re-done on the kept pointer.
    uint32_t Pixel(uint32_t x, uint32_t y)
    {
        std::shared_ptr<Raster::RasterSurface> target;
        dx->GetRasterDevice()->GetRenderTarget(0, target);
        return target->Pixels()[size_t(y) * target->Width() + x];
    }
    Picture Shown()
    {
        auto& presenter = dynamic_cast<Raster::NullPresenter&>(dx->GetRasterDevice()->Presenter());
        return {presenter.Width(), presenter.Height(), presenter.LastFrame()};
    }

    // Renders the pass in a frame of its own; the frame's pixels stay readable through Pixel.
    void RenderPass(uint32_t pass, const Matrix3& matrix = Matrix3())
    {
        ASSERT_TRUE(BeginFrame());
        canvas->Render(matrix, pass);
        renderer->Flush();
    }

    struct BatchShape
    {
        PrimitiveType type;
        uint32_t primitives, vertices, indices;
        bool operator==(const BatchShape&) const = default;
    };
    std::vector<BatchShape> Shapes(uint32_t pass)
    {
        std::vector<BatchShape> shapes;
        for (const DrawCall& b : canvas->GetBatches(pass))
            shapes.push_back({b.primitiveType, b.primitiveCount, b.vertexCount, b.indexCount});
        return shapes;
    }

    DirectXDevice* dx = nullptr;
    std::unique_ptr<Renderer> renderer;
    std::unique_ptr<CRenderCanvas> canvas;
    CellFont font;
    std::vector<uint32_t> fontSizes;
    FunctionRecreater checker;
    RefPtr<IResourceTexture> texture;
};

constexpr SpritePoint P(float x, float y)
{
    return {x, y};
}

TEST_F(CanvasTest, DefaultsAndAnEmptyCanvas)
{
    EXPECT_TRUE(canvas->IsClear());
    EXPECT_EQ(canvas->GetMaterial(), uint32_t(eMaterialAlpha));
    EXPECT_EQ(canvas->GetRenderPass(), 1u);
    EXPECT_TRUE(canvas->GetVisible());
    EXPECT_FALSE(canvas->GetClearOnRender());
    canvas->AddHitRect(P(0, 0), P(10, 10), {});
    EXPECT_TRUE(canvas->IsClear()) << "hit areas are not drawing";
    ASSERT_TRUE(BeginFrame());
    const uint64_t draws = Count(Call::DrawIndexedPrimitive);
    const uint64_t locks = Count(Call::LockBuffer);
    canvas->Render(Matrix3(), 0);
    canvas->Render(Matrix3(), 1);
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws);
    EXPECT_EQ(Count(Call::LockBuffer), locks) << "an empty pass uploads nothing";
    EndFrame();
}

TEST_F(CanvasTest, ConsecutivePrimitivesOfOneKindShareTheLastBatch)
{
    const auto L = PrimitiveType::LineList;
    const auto T = PrimitiveType::TriangleList;
    const SpritePoint line[4] = {P(0, 0), P(5, 0), P(5, 5), P(0, 5)};
    struct Case
    {
        const char* name;
        std::function<void()> draw;
        std::vector<BatchShape> batches;
    } cases[] = {
        {"filled rectangle, filled triangle, line, filled rectangle",
         [&]
         {
             canvas->DrawRect(0, 0, 10, 10, Red, true);
             canvas->DrawTriangle(P(0, 0), P(5, 0), P(0, 5), Red, true);
             canvas->DrawLine(P(0, 0), P(9, 9), Red);
             canvas->DrawRect(0, 0, 10, 10, Red, true);
         },
         {{T, 3, 7, 9}, {L, 1, 2, 2}, {T, 2, 4, 6}}},
        {"outlines are lines in one batch",
         [&]
         {
             canvas->DrawRect(0, 0, 10, 10, Red, false);
             canvas->DrawTriangle(P(0, 0), P(5, 0), P(0, 5), Green, false);
             canvas->DrawCircle(P(20, 20), 5, Blue, false, 8);
             canvas->DrawPolyline(4, line, Red);
         },
         {{L, 4 + 3 + 8 + 3, 8 + 6 + 8 + 4, 8 + 6 + 16 + 6}}},
        {"colour does not split",
         [&]
         {
             canvas->DrawRect(0, 0, 10, 10, Red, true);
             canvas->DrawRect(0, 0, 10, 10, Green, true);
         },
         {{T, 4, 8, 12}}},
        {"material splits",
         [&]
         {
             canvas->DrawRect(0, 0, 10, 10, Red, true);
             canvas->SetMaterial(eMaterialAdditive);
             canvas->DrawRect(0, 0, 10, 10, Red, true);
         },
         {{T, 2, 4, 6}, {T, 2, 4, 6}}},
        {"texture splits",
         [&]
         {
             canvas->DrawRect(0, 0, 10, 10, Red, true);
             canvas->DrawTexturedRect(0, 0, 4, 4, Red, texture.Get(), nullptr);
             canvas->DrawTexturedRect(4, 0, 4, 4, Red, texture.Get(), nullptr);
             canvas->DrawRect(0, 0, 10, 10, Red, true);
         },
         {{T, 2, 4, 6}, {T, 4, 8, 12}, {T, 2, 4, 6}}},
        {"degenerate input adds nothing",
         [&]
         {
             canvas->DrawPolyline(1, line, Red);
             canvas->DrawPolyline(0, nullptr, Red);
             canvas->DrawCircle(P(0, 0), 5, Red, true, 2);
             canvas->DrawPie(P(0, 0), 5, {});
             canvas->DrawTextLine(P(0, 0), 12, Red, L"");
             canvas->DrawTextLine(P(0, 0), 12, Red, L"%s", std::wstring());
         },
         {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        canvas->Clear();
        canvas->SetMaterial(eMaterialAlpha);
        c.draw();
        EXPECT_EQ(Shapes(1), c.batches);
        EXPECT_TRUE(canvas->IsPassEmpty(0));
        // Batches follow each other without gaps in the pass's arrays.
        uint32_t vertex = 0, index = 0;
        for (const DrawCall& b : canvas->GetBatches(1))
        {
            EXPECT_EQ(b.minVertexIndex, vertex);
            EXPECT_EQ(b.startIndex, index);
            EXPECT_FALSE(b.filtering);
            vertex += b.vertexCount;
            index += b.indexCount;
        }
        EXPECT_EQ(canvas->GetVertices(1).size(), vertex);
        EXPECT_EQ(canvas->GetIndices(1).size(), index);
        // One indexed call per batch.
        ASSERT_TRUE(BeginFrame());
        const uint64_t draws = Count(Call::DrawIndexedPrimitive);
        canvas->Render(Matrix3(), 1);
        EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + c.batches.size());
        EndFrame();
    }
}

TEST_F(CanvasTest, DepthFollowsTheMaskBitOfTheMaterial)
{
    const struct
    {
        uint32_t material;
        float z;
    } cases[] = {{eMaterialNoBlend, 0.51f},  {eMaterialAlpha, 0.51f},
                 {eMaterialAdditive, 0.51f}, {eMaterialMaskLayer, 0.4f},
                 {eMaterialDebug, 0.4f},     {eMaterialAlpha | eMaterialMaskedIn, 0.51f}};
    for (const auto& c : cases)
    {
        canvas->Clear();
        canvas->SetMaterial(c.material);
        canvas->DrawRect(0, 0, 10, 10, Red, true);
        ASSERT_EQ(canvas->GetBatches(1).size(), 1u);
        EXPECT_EQ(canvas->GetBatches(1)[0].material, c.material);
        for (const SpriteVertex& v : canvas->GetVertices(1))
        {
            EXPECT_EQ(v.z, c.z) << c.material;
            EXPECT_EQ(v.rhw, 0.5f);
        }
    }
}

TEST_F(CanvasTest, PrimitiveVerticesAndIndices)
{
    canvas->DrawLine(P(1, 2), P(3, 4), Red, Green); // base 0 of the line batch
    canvas->DrawRect(P(10, 20), P(30, 40), Blue, true);
    const SpriteRect part{0.25f, 0.5f, 0.75f, 1.0f};
    canvas->DrawTexturedRect(P(10, 20), P(30, 40), Green, texture.Get(), &part);
    canvas->DrawTexturedRect(10, 20, 20, 20, Green, texture.Get(), nullptr);

    const std::vector<SpriteVertex>& v = canvas->GetVertices(1);
    const std::vector<uint16_t>& i = canvas->GetIndices(1);
    ASSERT_EQ(v.size(), 2u + 4 + 4 + 4);
    EXPECT_EQ(std::vector<uint16_t>(i.begin(), i.begin() + 2), (std::vector<uint16_t>{0, 1}));
    EXPECT_EQ(v[0].colour, Red);
    EXPECT_EQ(v[1].colour, Green);
    EXPECT_EQ(std::vector<uint16_t>(i.begin() + 2, i.begin() + 8), (std::vector<uint16_t>{2, 3, 4, 2, 4, 5}));
    // TL, TR, BR, BL; untextured primitives sample nothing.
    const float rect[4][2] = {{10, 20}, {30, 20}, {30, 40}, {10, 40}};
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_EQ(v[2 + k].x, rect[k][0]);
        EXPECT_EQ(v[2 + k].y, rect[k][1]);
        EXPECT_EQ(v[2 + k].u, 0.0f);
        EXPECT_EQ(v[2 + k].v, 0.0f);
    }
    // Textured: half a pixel up and left, the texture rectangle at the corners, the whole texture
    // without one.
    const float uv[4][2] = {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.75f, 1.0f}, {0.25f, 1.0f}};
    const float whole[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_EQ(v[6 + k].x, rect[k][0] - 0.5f);
        EXPECT_EQ(v[6 + k].y, rect[k][1] - 0.5f);
        EXPECT_EQ(v[6 + k].u, uv[k][0]);
        EXPECT_EQ(v[6 + k].v, uv[k][1]);
        EXPECT_EQ(v[10 + k].u, whole[k][0]);
        EXPECT_EQ(v[10 + k].v, whole[k][1]);
        EXPECT_EQ(v[10 + k].x, v[6 + k].x);
        EXPECT_EQ(v[6 + k].colour, Green);
    }
    EXPECT_EQ(canvas->GetBatches(1)[2].texture.Get(), texture.Get());
}

TEST_F(CanvasTest, CircleRingsAndFans)
{
    canvas->DrawLine(P(0, 0), P(1, 1), Red); // the circles start at base 2
    struct Case
    {
        bool filled;
        uint32_t segments;
        size_t vertices, indices;
    } cases[] = {{true, 2, 0, 0},  {false, 2, 0, 0}, {true, 4, 5, 12},
                 {false, 4, 4, 8}, {true, 3, 4, 9},  {false, 64, 64, 128}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.filled ? "filled " : "outline ") << c.segments);
        canvas->SetRenderPass(0);
        canvas->Clear();
        canvas->DrawLine(P(0, 0), P(1, 1), Red);
        const uint16_t base = 2;
        canvas->DrawCircle(P(50, 40), 10.0f, Blue, c.filled, c.segments);
        const auto& v = canvas->GetVertices(0);
        const auto& i = canvas->GetIndices(0);
        ASSERT_EQ(v.size(), base + c.vertices);
        ASSERT_EQ(i.size(), base + c.indices);
        if (c.vertices == 0)
            continue;
        const DrawCall& batch = canvas->GetBatches(0).back();
        // An outline joins the line batch before it; a fan starts its own.
        EXPECT_EQ(batch.primitiveCount, c.segments + (c.filled ? 0 : 1));
        if (c.filled)
        {
            EXPECT_EQ(batch.primitiveType, PrimitiveType::TriangleList);
            const uint16_t centre = uint16_t(base + c.segments);
            EXPECT_EQ(v[centre].x, 50.0f);
            EXPECT_EQ(v[centre].y, 40.0f);
            for (uint32_t k = 0; k < c.segments; ++k)
            {
                EXPECT_EQ(i[base + 3 * k], base + k);
                EXPECT_EQ(i[base + 3 * k + 1], base + (k + 1) % c.segments);
                EXPECT_EQ(i[base + 3 * k + 2], centre);
            }
        }
        else
        {
            EXPECT_EQ(batch.primitiveType, PrimitiveType::LineList);
            for (uint32_t k = 0; k < c.segments; ++k)
            {
                EXPECT_EQ(i[base + 2 * k], base + k);
                EXPECT_EQ(i[base + 2 * k + 1], base + (k + 1) % c.segments);
            }
        }
        // The ring starts at angle 0 and turns clockwise on screen (y grows downwards).
        EXPECT_EQ(v[base].x, 60.0f);
        EXPECT_NEAR(v[base].y, 40.0f, 1e-5);
        for (uint32_t k = 0; k < c.segments; ++k)
        {
            const double t = 2 * 3.1415925 * k / c.segments;
            EXPECT_NEAR(v[base + k].x, 50 + 10 * std::cos(t), 1e-4);
            EXPECT_NEAR(v[base + k].y, 40 + 10 * std::sin(t), 1e-4);
            EXPECT_EQ(v[base + k].colour, Blue);
        }
        if (c.segments == 4)
        {
            EXPECT_GT(v[base + 1].y, 40.0f) << "the second ring vertex is below the centre";
        }
    }
}

TEST_F(CanvasTest, PieStepsTakeTheirSliceColours)
{
    const uint32_t translucentBlue = 0x800000FF;
    struct Case
    {
        const char* name;
        std::vector<PieSlice> slices;
        // Runs of steps: colour, centre vertex (offset from base), step count.
        std::vector<std::tuple<uint32_t, uint16_t, int>> runs;
    } cases[] = {
        {"remainder black with the last alpha",
         {{Red, 60}, {translucentBlue, 30}},
         {{Red, 0, 60}, {translucentBlue, 1, 30}, {0x80000000, 2, 10}}},
        {"steps past 100 dropped", {{Red, 70}, {Green, 60}, {Blue, 5}}, {{Red, 0, 70}, {Green, 1, 30}}},
        {"empty slices take no step", {{Red, 0}, {Green, 100}}, {{Green, 1, 100}}},
        {"a huge slice", {{Green, 0xFFFFFFFF}, {Red, 0xFFFFFFFF}}, {{Green, 0, 100}}},
        {"nothing but remainder", {{0x40FF0000, 0}}, {{0x40000000, 1, 100}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        canvas->Clear();
        canvas->DrawRect(0, 0, 1, 1, Red, true); // the pie starts at base 4
        const uint16_t base = 4;
        canvas->DrawPie(P(30, 30), 20.0f, c.slices);
        const auto& v = canvas->GetVertices(1);
        const auto& i = canvas->GetIndices(1);
        const size_t n = c.slices.size();
        ASSERT_EQ(v.size(), base + n + 1 + 200);
        ASSERT_EQ(i.size(), 6 + 300u);
        ASSERT_EQ(canvas->GetBatches(1).size(), 1u) << "a pie is a run of triangles";
        EXPECT_EQ(canvas->GetBatches(1)[0].primitiveCount, 2u + 100);
        for (size_t s = 0; s < n; ++s)
            EXPECT_EQ(v[base + s].colour, c.slices[s].colour);
        EXPECT_EQ(v[base + n].colour, c.slices.back().colour & 0xFF000000u);
        const uint16_t rim = uint16_t(base + n + 1);
        int step = 0;
        for (const auto& [colour, centre, count] : c.runs)
            for (int k = 0; k < count; ++k, ++step)
            {
                SCOPED_TRACE(step);
                EXPECT_EQ(i[6 + 3 * step], rim + 2 * step);
                EXPECT_EQ(i[6 + 3 * step + 1], rim + 2 * step + 1);
                EXPECT_EQ(i[6 + 3 * step + 2], base + centre);
                EXPECT_EQ(v[rim + 2 * step].colour, colour);
                EXPECT_EQ(v[rim + 2 * step + 1].colour, colour);
                EXPECT_EQ(v[base + centre].x, 30.0f);
            }
        EXPECT_EQ(step, 100);
        // The rim: step k from angle k to k + 1, the last step closing at angle 0.
        EXPECT_EQ(v[rim].x, 50.0f);
        EXPECT_EQ(v[rim + 199].x, 50.0f);
        EXPECT_NEAR(v[rim + 51].x, 30 + 20 * std::cos(2 * 3.1415925 * 26 / 100), 1e-4);
        EXPECT_NEAR(v[rim + 51].y, 30 + 20 * std::sin(2 * 3.1415925 * 26 / 100), 1e-4);
    }
}

TEST_F(CanvasTest, HitTestTakesTrianglesThenCirclesThenRectangles)
{
    canvas->AddHitRect(P(0, 0), P(100, 100), {{1, 2, 3, 4}});
    canvas->AddHitCircle(P(50, 50), 10.0f, {{5, 6, 7, 8}});
    canvas->AddHitTriangle(P(40, 40), P(60, 40), P(40, 60), {{9, 10, 11, 12}});
    canvas->AddHitRect(P(0, 0), P(200, 200), {{13, 14, 15, 16}});
    canvas->AddHitCircle(P(150, 150), 10.0f, {{17, 18, 19, 20}});
    canvas->AddHitTriangle(P(40, 40), P(60, 40), P(40, 60), {{21, 22, 23, 24}});
    struct Case
    {
        SpritePoint point;
        bool hit;
        uint32_t first[2], second[2];
    } cases[] = {
        {P(42, 42), true, {9, 10}, {11, 12}}, // triangle, circle and rectangle: the first triangle
        {P(55, 55), true, {5, 6}, {7, 8}},    // circle and rectangle: the circle
        {P(60, 50), true, {5, 6}, {7, 8}},    // on the circle's rim
        {P(61, 50), true, {1, 2}, {3, 4}},    // just outside it: the first rectangle
        {P(100, 100), true, {1, 2}, {3, 4}},  // on the first rectangle's corner
        {P(100.5f, 50), true, {13, 14}, {15, 16}},
        {P(150, 150), true, {17, 18}, {19, 20}}, // a circle before the rectangle added earlier
        {P(200, 200.01f), false, {0, 0}, {0, 0}},
        {P(-1, 5), false, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y);
        uint32_t first[2] = {0xEEEE, 0xEEEE}, second[2] = {0xEEEE, 0xEEEE};
        EXPECT_EQ(canvas->HitTest(c.point, first, second), c.hit);
        if (c.hit)
        {
            EXPECT_EQ(first[0], c.first[0]);
            EXPECT_EQ(first[1], c.first[1]);
            EXPECT_EQ(second[0], c.second[0]);
            EXPECT_EQ(second[1], c.second[1]);
        }
        else
        {
            EXPECT_EQ(first[0], 0xEEEEu) << "untouched on a miss";
            EXPECT_EQ(second[1], 0xEEEEu);
        }
        EXPECT_EQ(canvas->HitTest(c.point, nullptr, nullptr), c.hit);
    }
    uint32_t only[2] = {};
    EXPECT_TRUE(canvas->HitTest(P(42, 42), nullptr, only));
    EXPECT_EQ(only[0], 11u);
    canvas->Clear();
    EXPECT_FALSE(canvas->HitTest(P(42, 42), nullptr, nullptr)) << "Clear drops the hit areas";
}

TEST_F(CanvasTest, HitTrianglesOfEitherWinding)
{
    const SpritePoint a = P(0, 0), b = P(10, 0), c = P(0, 10);
    canvas->AddHitTriangle(a, b, c, {{1, 0, 0, 0}});                       // clockwise on screen
    canvas->AddHitTriangle(P(20, 0), P(20, 10), P(30, 0), {{2, 0, 0, 0}}); // counter-clockwise
    const struct
    {
        SpritePoint point;
        uint32_t tag; // 0: no hit
    } cases[] = {{P(2, 2), 1}, {P(6, 6), 0}, {P(22, 2), 2}, {P(26, 6), 0}, {P(-1, 2), 0}, {P(15, 5), 0}};
    for (const auto& c : cases)
    {
        uint32_t first[2] = {};
        EXPECT_EQ(canvas->HitTest(c.point, first, nullptr), c.tag != 0) << c.point.x << "," << c.point.y;
        EXPECT_EQ(first[0], c.tag);
    }
}

TEST_F(CanvasTest, EachPassIsDrawnFromItsOwnPrimitives)
{
    // Pass 1 starts a batch, pass 0 draws in between, pass 1 continues its batch.
    canvas->SetRenderPass(1);
    canvas->DrawRect(10, 10, 10, 10, Red, true);
    canvas->SetRenderPass(0);
    canvas->DrawRect(30, 10, 10, 10, Green, true);
    canvas->DrawLine(P(30, 30), P(40, 30), Green);
    canvas->SetRenderPass(1);
    canvas->DrawRect(50, 10, 10, 10, Blue, true);
    EXPECT_EQ(Shapes(1), (std::vector<BatchShape>{{PrimitiveType::TriangleList, 4, 8, 12}}));
    EXPECT_EQ(Shapes(0), (std::vector<BatchShape>{{PrimitiveType::TriangleList, 2, 4, 6},
                                                  {PrimitiveType::LineList, 1, 2, 2}}));
    struct Probe
    {
        uint32_t x, y, pass0, pass1;
    } probes[] = {
        {15, 15, Black, Red}, {35, 15, Green, Black}, {55, 15, Black, Blue}, {35, 30, Green, Black}};
    for (uint32_t pass : {0u, 1u})
    {
        SCOPED_TRACE(pass);
        const uint64_t draws = Count(Call::DrawIndexedPrimitive);
        RenderPass(pass);
        EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + canvas->GetBatches(pass).size());
        for (const Probe& p : probes)
            EXPECT_EQ(Pixel(p.x, p.y), pass == 0 ? p.pass0 : p.pass1) << p.x << "," << p.y;
        EndFrame();
    }
    EXPECT_FALSE(canvas->IsPassEmpty(7)) << "any pass but 0 is pass 1";
}

TEST_F(CanvasTest, RenderTransformsByTheWorldMatrix)
{
    canvas->DrawRect(0, 0, 10, 5, Red, true);
    Matrix3 scale;
    scale.m[0][0] = 2.0f;
    scale.m[1][1] = 2.0f;
    Matrix3 move;
    move.SetTranslation(30.0f, 40.0f);
    RenderPass(1, Matrix3::Multiply(scale, move));
    const struct
    {
        uint32_t x, y;
        bool inside;
    } probes[] = {{30, 40, true}, {49, 49, true}, {29, 40, false}, {50, 45, false}, {30, 50, false}};
    for (const auto& p : probes)
        EXPECT_EQ(Pixel(p.x, p.y), p.inside ? Red : Black) << p.x << "," << p.y;
    EndFrame();
    EXPECT_EQ(canvas->GetVertices(1)[2].x, 10.0f) << "the canvas keeps its own coordinates";
}

TEST_F(CanvasTest, ClearOnRenderVisibilityAndRefusedUploads)
{
    struct Case
    {
        const char* name;
        bool visible, clearOnRender;
        Call refused; // Call::Count: nothing refused
        uint64_t draws;
        bool clearAfter;
    } cases[] = {
        {"kept", true, false, Call::Count, 1, false},
        {"cleared after drawing", true, true, Call::Count, 1, true},
        {"invisible and cleared", false, true, Call::Count, 0, true},
        {"invisible", false, false, Call::Count, 0, false},
        {"refused lock keeps the content", true, true, Call::LockBuffer, 0, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        canvas->Clear();
        canvas->SetVisible(c.visible);
        canvas->SetClearOnRender(c.clearOnRender);
        canvas->DrawRect(0, 0, 10, 10, Red, true);
        ASSERT_TRUE(BeginFrame());
        if (c.refused != Call::Count)
            Control().Inject(c.refused, Result::InvalidCall);
        const uint64_t draws = Count(Call::DrawIndexedPrimitive);
        canvas->Render(Matrix3(), 1);
        EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + c.draws);
        EXPECT_EQ(canvas->IsClear(), c.clearAfter);
        Control().ClearInjections();
        EndFrame();
    }
    // A refused index upload (after the vertices went up) also draws nothing.
    canvas->SetVisible(true);
    canvas->SetClearOnRender(false);
    ASSERT_TRUE(BeginFrame());
    const uint64_t locks = Count(Call::LockBuffer);
    const uint64_t draws = Count(Call::DrawIndexedPrimitive);
    Control().Inject(Call::LockBuffer, Result::Ok);
    Control().Inject(Call::LockBuffer, Result::InvalidCall);
    canvas->Render(Matrix3(), 1);
    EXPECT_EQ(Count(Call::LockBuffer), locks + 2);
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws);
    Control().ClearInjections();
    canvas->Render(Matrix3(), 1);
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + 1);
    EXPECT_EQ(Count(Call::LockBuffer), locks + 4) << "one lock per buffer per Render";
    EndFrame();
}

TEST_F(CanvasTest, APassNeverOutgrowsTheDeviceBuffers)
{
    const uint32_t limit = CRenderCanvas::BufferCount;
    struct Case
    {
        const char* name;
        std::function<void()> fill; // fills the pass as far as it goes
        std::function<void()> more; // one primitive too many
        size_t vertices, indices;
    } cases[] = {
        {"lines up to the vertex limit",
         [&]
         {
             for (uint32_t k = 0; k < limit / 2; ++k)
                 canvas->DrawLine(P(float(k % 100), 0), P(float(k % 100), 50), Red);
         },
         [&] { canvas->DrawLine(P(0, 0), P(1, 1), Red); }, limit, limit},
        {"rectangles up to the index limit",
         [&]
         {
             for (uint32_t k = 0; k < limit / 6; ++k)
                 canvas->DrawRect(float(k % 100), 0, 1, 1, Red, true);
         },
         [&] { canvas->DrawRect(0, 0, 1, 1, Red, true); }, limit / 6 * 4, limit / 6 * 6},
        {"a circle of more segments than the buffer holds", [] {},
         [&] { canvas->DrawCircle(P(50, 50), 20, Red, false, limit + 1); }, 0, 0},
        {"a circle just inside", [&] { canvas->DrawCircle(P(50, 50), 20, Red, false, limit / 2); },
         [&] { canvas->DrawCircle(P(50, 50), 20, Red, false, limit / 2 + 1); }, limit / 2, limit},
        {"a polyline too long", [] {},
         [&]
         {
             const std::vector<SpritePoint> points(limit + 1, P(1, 1));
             canvas->DrawPolyline(uint32_t(points.size()), points.data(), Red);
         },
         0, 0},
        {"a pie with too many slices", [] {},
         [&] {
             canvas->DrawPie(P(0, 0), 5, std::vector<PieSlice>(limit, PieSlice{Red, 1}));
         },
         0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        RecordingLogger logger;
        canvas->Clear();
        c.fill();
        const std::vector<BatchShape> before = Shapes(1);
        c.more();
        EXPECT_EQ(Shapes(1), before) << "the primitive that does not fit is refused whole";
        EXPECT_EQ(canvas->GetVertices(1).size(), c.vertices);
        EXPECT_EQ(canvas->GetIndices(1).size(), c.indices);
        for (uint16_t index : canvas->GetIndices(1))
            ASSERT_LT(index, canvas->GetVertices(1).size());
        // Refusals are told once per filling, not once per primitive of a script's frame.
        c.more();
        EXPECT_EQ(logger.lines.size(), 1u);
        // The other pass has room of its own.
        canvas->SetRenderPass(0);
        canvas->DrawLine(P(0, 0), P(1, 1), Red);
        EXPECT_EQ(canvas->GetBatches(0).size(), 1u);
        canvas->SetRenderPass(1);
        const uint64_t draws = Count(Call::DrawIndexedPrimitive);
        RenderPass(1);
        EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + canvas->GetBatches(1).size());
        EndFrame();
    }
}

TEST_F(CanvasTest, DeviceLossClearsAndTheCanvasDrawsAgainAfterwards)
{
    struct Case
    {
        const char* name;
        bool atPresent; // lost when the next frame is shown
        std::function<void()> lose;
    } cases[] = {
        {"lost at present and reset", true,
         [&] { Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset); }},
        {"reset fails: a new device", true,
         [&]
         {
             Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
             Control().Inject(Call::Reset, Result::DriverInternalError);
         }},
        {"told from outside", false, [&] { dx->SetLost(true); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        canvas->DrawRect(10, 10, 10, 10, Red, true);
        canvas->AddHitRect(P(0, 0), P(5, 5), {});
        if (c.atPresent)
        {
            Control().Inject(Call::Present, Result::DeviceLost);
            ASSERT_TRUE(BeginFrame());
            canvas->Render(Matrix3(), 1);
            EndFrame();
        }
        c.lose();
        int skipped = 0;
        while (!BeginFrame())
            ASSERT_LT(++skipped, 5);
        EXPECT_GE(skipped, 1);
        EXPECT_TRUE(canvas->IsClear());
        EXPECT_FALSE(canvas->HitTest(P(1, 1), nullptr, nullptr));
        canvas->DrawRect(10, 10, 10, 10, Green, true);
        canvas->Render(Matrix3(), 1);
        renderer->Flush();
        EXPECT_EQ(Pixel(15, 15), Green) << "the buffers are there again";
        EndFrame();
        canvas->Clear();
    }
}

TEST_F(CanvasTest, CreationFailsCleanlyWhenABufferIsRefused)
{
    for (Call refused : {Call::CreateVertexBuffer, Call::CreateIndexBuffer})
    {
        Control().Inject(refused, Result::OutOfVideoMemory);
        EXPECT_EQ(CRenderCanvas::Create(), nullptr);
    }
    // Nothing of the failed canvases stays subscribed to the device.
    dx->SetLost(true);
    int skipped = 0;
    while (!BeginFrame())
        ASSERT_LT(++skipped, 5);
    EndFrame();
    texture.Release();
    canvas.reset();
    renderer.reset();
    EXPECT_EQ(CRenderCanvas::Create(), nullptr) << "no renderer, no canvas";
}

TEST_F(CanvasTest, ACanvasThatOutlivesTheRendererLetsGoOfTheDevice)
{
    canvas->DrawRect(10, 10, 10, 10, Red, true);
    texture.Release();
    renderer.reset();
    EXPECT_TRUE(canvas->IsClear()) << "the device's end is a loss";
    canvas->DrawRect(10, 10, 10, 10, Red, true);
    canvas->Render(Matrix3(), 1);
    canvas.reset();
}

TEST_F(CanvasTest, TextLinesTakeTheTextAsItIs)
{
    struct Case
    {
        const char* name;
        std::function<void()> draw;
        std::wstring measured; // empty: no font asked
    } cases[] = {
        {"a format", [&] { canvas->DrawTextLine(P(0, 0), 12, Red, L"score %d of %s", 7, L"ten"); },
         L"score 7 of ten"},
        {"script text with percent signs",
         [&] { canvas->DrawTextLine(P(0, 0), 12, Red, L"%s", std::wstring(L"100%d %s %n")); },
         L"100%d %s %n"},
        {"cut after 1022 characters",
         [&] { canvas->DrawTextLine(P(0, 0), 12, Red, L"%s", std::wstring(1500, L'x')); },
         std::wstring(1022, L'x')},
        {"empty", [&] { canvas->DrawTextLine(P(0, 0), 12, Red, L"%s", std::wstring()); }, L""},
        {"size 128 is past the console fonts", [&] { canvas->DrawTextLine(P(0, 0), 128, Red, L"big"); }, L""},
        {"a huge size", [&] { canvas->DrawTextLine(P(0, 0), 0xFFFFFFFF, Red, L"big"); }, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        canvas->Clear();
        font.measured.clear();
        c.draw();
        if (c.measured.empty())
        {
            EXPECT_TRUE(font.measured.empty());
            EXPECT_TRUE(canvas->IsClear());
            continue;
        }
        ASSERT_EQ(font.measured.size(), 1u);
        EXPECT_EQ(font.measured[0], c.measured);
        ASSERT_EQ(canvas->GetBatches(1).size(), 1u);
        EXPECT_NE(canvas->GetBatches(1)[0].texture.Get(), nullptr);
    }
    fontSizes.clear();
    canvas->DrawTextLine(P(0, 0), 127, Red, L"a");
    canvas->DrawTextLine(P(0, 0), 0, Red, L"a");
    EXPECT_EQ(fontSizes, (std::vector<uint32_t>{127, 0}));

    int32_t width = -1, height = -1;
    canvas->MeasureTextLine(width, height, 12, L"%s", std::wstring());
    canvas->MeasureTextLine(width, height, 200, L"abc");
    EXPECT_EQ(width, -1) << "untouched for an empty text or a size without a font";
    canvas->MeasureTextLine(width, height, 12, L"%d%%", 50);
    EXPECT_EQ(width, 18);
    EXPECT_EQ(height, 10);
}

TEST_F(CanvasTest, TextLineQuadCoversTheMeasuredBox)
{
    canvas->DrawTextLine(P(20, 30), 12, Green, L"abcd");
    const auto& v = canvas->GetVertices(1);
    ASSERT_EQ(v.size(), 4u);
    const float corners[4][2] = {{20, 30}, {44, 30}, {44, 40}, {20, 40}};
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_EQ(v[k].x, corners[k][0]) << "no half-pixel shift";
        EXPECT_EQ(v[k].y, corners[k][1]);
        EXPECT_EQ(v[k].colour, Green);
    }
    // The block's rectangle: 24 x 10 in a 32 x 16 texture, rows from the bottom.
    EXPECT_FLOAT_EQ(v[0].u, 0.5f / 32);
    EXPECT_FLOAT_EQ(v[1].u, 24.5f / 32);
    EXPECT_FLOAT_EQ(v[0].v, 9.5f / 16);
    EXPECT_FLOAT_EQ(v[3].v, -0.5f / 16);
    EXPECT_EQ(v[0].u, v[3].u);
    EXPECT_EQ(v[1].v, v[0].v);

    // Drawn again, the font hands back its cached block: one batch, one texture.
    canvas->DrawTextLine(P(20, 50), 12, Green, L"abcd");
    EXPECT_EQ(Shapes(1), (std::vector<BatchShape>{{PrimitiveType::TriangleList, 4, 8, 12}}));
    RenderPass(1);
    EXPECT_EQ(Pixel(21, 35), Green) << "ink of the first character";
    EXPECT_EQ(Pixel(24, 35), Black) << "clear between the bars";
    EXPECT_EQ(Pixel(27, 55), Green);
    EndFrame();
}

TEST_F(CanvasTest, FrameWithEveryPrimitiveMatchesItsReference)
{
    canvas = CRenderCanvas::Create(); // text lines in the text renderer's console font
    ASSERT_TRUE(canvas);
    canvas->SetRenderPass(0);
    canvas->DrawRect(4, 4, 70, 50, 0xFF203040, true);
    canvas->DrawTexturedRect(P(8, 8), P(24, 24), 0xFFFFFFFF, texture.Get(), nullptr);
    const SpriteRect half{0.0f, 0.0f, 0.5f, 0.5f};
    canvas->DrawTexturedRect(28, 8, 16, 16, 0xFFFF8080, texture.Get(), &half);
    canvas->SetRenderPass(1);
    canvas->DrawLine(P(4, 60), P(74, 70), Red, Blue);
    const SpritePoint zigzag[5] = {P(4, 80), P(20, 72), P(36, 88), P(52, 72), P(68, 80)};
    const uint32_t zigzagColours[5] = {Red, Green, Blue, 0xFFFFFF00, 0xFFFFFFFF};
    canvas->DrawPolyline(5, zigzag, zigzagColours);
    canvas->DrawTriangle(P(50, 8), P(70, 8), P(60, 26), 0xFF00C0C0, true);
    canvas->DrawTriangle(P(50, 30), P(70, 30), P(60, 48), 0xFFC0C000, false);
    canvas->DrawRect(P(8, 30), P(40, 48), 0xFFFF00FF, false);
    canvas->SetMaterial(eMaterialAdditive);
    canvas->DrawRect(20, 36, 40, 8, 0x80008000, true);
    canvas->SetMaterial(eMaterialAlpha);
    canvas->DrawCircle(P(100, 30), 20.0f, 0x80FFFFFF, true, 24);
    canvas->DrawCircle(P(100, 30), 24.0f, Green, false, 32);
    canvas->DrawPie(P(136, 30), 18.0f, {{Red, 50}, {Green, 25}, {0xC00000FF, 15}});
    canvas->DrawTextLine(P(84, 64), 12, 0xFFFFE080, L"%s %d", L"canvas", 2);
    canvas->DrawTextLine(P(84, 80), 12, 0xFF80C0FF, L"%s", std::wstring(L"50%"));
    canvas->AddHitRect(P(0, 0), P(160, 120), {}); // hit areas draw nothing

    Matrix3 move;
    move.SetTranslation(2.0f, 3.0f);
    ASSERT_TRUE(BeginFrame());
    canvas->Render(move, 0);
    canvas->Render(move, 1);
    EndFrame();
    // Kept in tests/data/canvas/.
    EXPECT_EQ(CompareWithReference("../canvas/shapes", Shown()), "");
}

} // namespace
} // namespace GraphicsTest
