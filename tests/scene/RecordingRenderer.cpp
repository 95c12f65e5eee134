// The recording renderer, device and canvas of the scene suites; see RecordingRenderer.h.
#include "tests/scene/RecordingRenderer.h"

#include "engine/graphics/device/DynamicBuffers.h"

namespace SceneTest
{

namespace
{

class MemoryVertexBuffer final : public IDynamicVertexBuffer
{
public:
    MemoryVertexBuffer(uint32_t count, uint32_t stride)
        : count(count), stride(stride), bytes(size_t(count) * stride)
    {
    }
    uint32_t GetCount() override { return count; }
    bool Bind(uint32_t, bool) override { return true; }
    bool Lock(void** data, uint32_t lockCount, uint32_t offset, bool) override
    {
        if (uint64_t(offset) + lockCount > count)
            return false;
        *data = bytes.data() + size_t(offset) * stride;
        return true;
    }
    void Unlock() override {}

private:
    uint32_t count;
    uint32_t stride;
    std::vector<uint8_t> bytes;
};

class MemoryIndexBuffer final : public IDynamicIndexBuffer
{
public:
    explicit MemoryIndexBuffer(uint32_t count) : indices(count) {}
    uint32_t GetCount() override { return uint32_t(indices.size()); }
    bool Bind(bool) override { return true; }
    bool Lock(void** data, uint32_t count, uint32_t offset, bool) override
    {
        if (uint64_t(offset) + count > indices.size())
            return false;
        *data = indices.data() + offset;
        return true;
    }
    void Unlock() override {}

private:
    std::vector<uint16_t> indices;
};

RecordingCanvas* g_lastCanvas = nullptr;

std::unique_ptr<IRenderCanvas> makeRecordingCanvas()
{
    return std::make_unique<RecordingCanvas>();
}

} // namespace

std::unique_ptr<IDynamicVertexBuffer>
RecordingDevice::CreateDynamicVertexBuffer(IBufferFiller*, uint32_t count, uint32_t stride, uint32_t, bool)
{
    return std::make_unique<MemoryVertexBuffer>(count, stride);
}

std::unique_ptr<IDynamicIndexBuffer> RecordingDevice::CreateDynamicIndexBuffer(IBufferFiller*, uint32_t count,
                                                                               bool)
{
    return std::make_unique<MemoryIndexBuffer>(count);
}

RecordingRenderer::RecordingRenderer()
{
    Init(std::make_unique<RecordingDevice>(), nullptr);
}

void RecordingRenderer::DrawQuad(const SpriteMaterial& material, const Matrix3& matrix,
                                 const SpriteRect& source, uint32_t colour, bool halfPixel)
{
    RecordedQuad quad;
    quad.material = material.material;
    quad.texture = material.texture.Get();
    quad.filtering = material.filtering;
    quad.matrix = matrix;
    quad.source = source;
    quad.colour = colour;
    quad.halfPixel = halfPixel;
    quads.push_back(quad);
}

void RecordingRenderer::SelectBatch(const SpriteMaterial& material, const SpritePoint positions[4],
                                    const SpritePoint uvs[4], uint32_t colour, bool halfPixel)
{
    RecordedQuad quad;
    quad.fromMatrix = false;
    quad.material = material.material;
    quad.texture = material.texture.Get();
    quad.filtering = material.filtering;
    for (int i = 0; i < 4; ++i)
    {
        quad.points[i] = positions[i];
        quad.uvs[i] = uvs[i];
    }
    quad.colour = colour;
    quad.halfPixel = halfPixel;
    quads.push_back(quad);
}

RecordingCanvas::RecordingCanvas()
{
    g_lastCanvas = this;
}

RecordingCanvas::~RecordingCanvas()
{
    if (g_lastCanvas == this)
        g_lastCanvas = nullptr;
}

RecordingCanvas* RecordingCanvas::Last()
{
    return g_lastCanvas;
}

void RecordingCanvas::record(CanvasCall call, bool primitive)
{
    if (primitive)
        ++primitives[renderPass == 0 ? 0 : 1];
    calls.push_back(std::move(call));
}

void RecordingCanvas::Clear()
{
    primitives[0] = primitives[1] = 0;
    record(CanvasCall("Clear"), false);
}

void RecordingCanvas::Render(const Matrix3& matrix, uint32_t pass)
{
    CanvasCall call("Render");
    call.matrix = matrix;
    call.numbers = {float(pass)};
    record(call, false);
    if (clearOnRender)
        primitives[0] = primitives[1] = 0;
}

void RecordingCanvas::DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colour)
{
    CanvasCall call("Line", {a, b}, colour);
    record(call, true);
}

void RecordingCanvas::DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colourA, uint32_t colourB)
{
    CanvasCall call("Line", {a, b}, colourA);
    call.numbers = {float(colourB)};
    record(call, true);
}

void RecordingCanvas::DrawPolyline(uint32_t count, const SpritePoint* points, const uint32_t* colours)
{
    CanvasCall call("Polyline", std::vector<SpritePoint>(points, points + count), count ? colours[0] : 0u);
    record(call, true);
}

void RecordingCanvas::DrawPolyline(uint32_t count, const SpritePoint* points, uint32_t colour)
{
    CanvasCall call("Polyline", std::vector<SpritePoint>(points, points + count), colour);
    record(call, true);
}

void RecordingCanvas::DrawTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3,
                                   uint32_t colour, bool filled)
{
    CanvasCall call("Triangle", {p1, p2, p3}, colour, filled);
    record(call, true);
}

void RecordingCanvas::DrawRect(float x, float y, float width, float height, uint32_t colour, bool filled)
{
    CanvasCall call("Rect", {{x, y}, {x + width, y + height}}, colour, filled);
    record(call, true);
}

void RecordingCanvas::DrawRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                               bool filled)
{
    CanvasCall call("Rect", {topLeft, bottomRight}, colour, filled);
    record(call, true);
}

void RecordingCanvas::DrawTexturedRect(float x, float y, float width, float height, uint32_t colour,
                                       IResourceTexture*, const SpriteRect* textureRect)
{
    CanvasCall call("TexturedRect", {{x, y}, {x + width, y + height}}, colour);
    if (textureRect)
        call.numbers = {textureRect->left, textureRect->top, textureRect->right, textureRect->bottom};
    record(call, true);
}

void RecordingCanvas::DrawTexturedRect(const SpritePoint& topLeft, const SpritePoint& bottomRight,
                                       uint32_t colour, IResourceTexture*, const SpriteRect* textureRect)
{
    CanvasCall call("TexturedRect", {topLeft, bottomRight}, colour);
    if (textureRect)
        call.numbers = {textureRect->left, textureRect->top, textureRect->right, textureRect->bottom};
    record(call, true);
}

void RecordingCanvas::DrawCircle(const SpritePoint& centre, float radius, uint32_t colour, bool filled,
                                 uint32_t segments)
{
    CanvasCall call("Circle", {centre}, colour, filled);
    call.numbers = {radius, float(segments)};
    record(call, segments >= 3);
}

void RecordingCanvas::DrawPie(const SpritePoint& centre, float radius, const std::vector<PieSlice>& slices)
{
    CanvasCall call("Pie", {centre});
    call.numbers = {radius};
    for (const PieSlice& slice : slices)
    {
        call.numbers.push_back(float(slice.colour));
        call.numbers.push_back(float(slice.steps));
    }
    record(call, true);
}

void RecordingCanvas::DrawPlainTextLine(const SpritePoint& position, uint32_t size, uint32_t colour,
                                        const std::wstring& text)
{
    CanvasCall call("Text", {position}, colour);
    call.numbers = {float(size)};
    call.text = text;
    record(call, !text.empty());
}

void RecordingCanvas::MeasurePlainTextLine(int32_t& width, int32_t& height, uint32_t size,
                                           const std::wstring& text)
{
    // A fixed cell per character stands in for a font.
    width = int32_t(text.size() * size / 2);
    height = int32_t(size);
}

RecordingCanvasScope::RecordingCanvasScope() : previous(Instance_Base::SetCanvasFactory(&makeRecordingCanvas))
{
}

RecordingCanvasScope::~RecordingCanvasScope()
{
    Instance_Base::SetCanvasFactory(previous);
}

} // namespace SceneTest
