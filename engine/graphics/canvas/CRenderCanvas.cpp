// Instance canvases; see CRenderCanvas.h.
#include "engine/graphics/canvas/CRenderCanvas.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/text/TextRenderer.h"
#include "engine/graphics/text/TextTexture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace TarnEngine
{

// A line on the rendering channel when there is a logger.
#define CANVAS_LOG(...)                                                                                      \
    do                                                                                                       \
    {                                                                                                        \
        if (ILogger* logger = ILogger::Get())                                                                \
            logger->Log(LogRendering, __FILE__, __LINE__, __VA_ARGS__);                                      \
    } while (0)

namespace
{

constexpr float Pi = 3.1415925f;
constexpr float Rhw = 0.5f;
constexpr uint32_t MaxIndexedVertices = 65536; // what a 16-bit index can reach

using Raster::PrimitiveType;

Font* textRendererConsoleFont(uint32_t size)
{
    TextRenderer* text = TextRenderer::Get();
    return text ? text->GetConsoleFont(int32_t(size)) : nullptr;
}

} // namespace

std::unique_ptr<CRenderCanvas> CRenderCanvas::Create()
{
    Renderer* renderer = Renderer::Get();
    if (!renderer || !renderer->GetDevice())
        return nullptr;
    std::unique_ptr<CRenderCanvas> canvas(new CRenderCanvas(renderer->GetDevice()));
    if (!canvas->CreateBuffers(*renderer))
        return nullptr;
    return canvas;
}

CRenderCanvas::CRenderCanvas(IGIL* owner) : device(owner), consoleFonts(textRendererConsoleFont)
{
    device->AddEventSubscriber(this);
}

CRenderCanvas::~CRenderCanvas()
{
    if (device)
        device->RemoveEventSubscriber(this);
    Clear();
    for (Pass& pass : passes)
    {
        pass.batches.shrink_to_fit();
        pass.vertices.shrink_to_fit();
        pass.indices.shrink_to_fit();
    }
    indexBuffer.reset();
    vertexBuffer.reset();
}

bool CRenderCanvas::CreateBuffers(Renderer& renderer)
{
    vertexBuffer = renderer.CreateCanvasVertexBuffer();
    if (!vertexBuffer)
        return false;
    indexBuffer = device->CreateDynamicIndexBuffer(nullptr, BufferCount, false);
    if (!indexBuffer)
        return false;
    vertexLimit = std::min(vertexBuffer->GetCount(), MaxIndexedVertices);
    indexLimit = indexBuffer->GetCount();
    return true;
}

void CRenderCanvas::Clear()
{
    for (Pass& pass : passes)
    {
        pass.batches.clear();
        pass.vertices.clear();
        pass.indices.clear();
    }
    hitTriangles.clear();
    hitRects.clear();
    hitCircles.clear();
    reportedFull = false;
}

bool CRenderCanvas::IsClear() const
{
    return passes[0].batches.empty() && passes[1].batches.empty();
}

bool CRenderCanvas::IsPassEmpty(uint32_t pass) const
{
    return Storage(pass).batches.empty();
}

bool CRenderCanvas::SelectBatch(PrimitiveType type, IResourceTexture* texture, uint64_t vertexCount,
                                uint64_t indexCount, uint16_t& base)
{
    Pass& pass = Storage(renderPass);
    if (pass.vertices.size() + vertexCount > vertexLimit || pass.indices.size() + indexCount > indexLimit)
    {
        if (!reportedFull)
            CANVAS_LOG(L"Canvas full: a primitive of %llu vertices and %llu indices is not drawn",
                       (unsigned long long)vertexCount, (unsigned long long)indexCount);
        reportedFull = true;
        return false;
    }
    // Reserved on first use, so that ordinary drawing does not reallocate and a pass that is never
    // drawn into costs nothing.
    if (pass.vertices.capacity() < vertexLimit)
        pass.vertices.reserve(vertexLimit);
    if (pass.indices.capacity() < indexLimit)
        pass.indices.reserve(indexLimit);
    const bool extend = !pass.batches.empty() && pass.batches.back().primitiveType == type &&
                        pass.batches.back().material == material &&
                        pass.batches.back().texture.Get() == texture;
    if (!extend)
    {
        DrawCall batch;
        batch.material = material;
        batch.texture = RefPtr<IResourceTexture>(texture);
        batch.filtering = false;
        batch.primitiveType = type;
        batch.minVertexIndex = uint32_t(pass.vertices.size());
        batch.startIndex = uint32_t(pass.indices.size());
        pass.batches.push_back(std::move(batch));
    }
    base = uint16_t(pass.vertices.size());
    return true;
}

void CRenderCanvas::Commit(uint32_t primitives, uint32_t vertexCount, uint32_t indexCount)
{
    DrawCall& batch = Storage(renderPass).batches.back();
    batch.primitiveCount += primitives;
    batch.vertexCount += vertexCount;
    batch.indexCount += indexCount;
}

void CRenderCanvas::AddVertex(float x, float y, uint32_t colour, float u, float v)
{
    const float z = (material & 4) ? DepthMask : DepthDefault;
    Storage(renderPass).vertices.push_back({x, y, z, Rhw, colour, u, v});
}

void CRenderCanvas::DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colour)
{
    DrawLine(a, b, colour, colour);
}

void CRenderCanvas::DrawLine(const SpritePoint& a, const SpritePoint& b, uint32_t colourA, uint32_t colourB)
{
    uint16_t base = 0;
    if (!SelectBatch(PrimitiveType::LineList, nullptr, 2, 2, base))
        return;
    std::vector<uint16_t>& indices = Storage(renderPass).indices;
    indices.push_back(base);
    indices.push_back(uint16_t(base + 1));
    AddVertex(a.x, a.y, colourA);
    AddVertex(b.x, b.y, colourB);
    Commit(1, 2, 2);
}

void CRenderCanvas::DrawPolyline(uint32_t count, const SpritePoint* points, const uint32_t* colours)
{
    if (count < 2 || !points || !colours)
        return;
    uint16_t base = 0;
    if (!SelectBatch(PrimitiveType::LineList, nullptr, count, 2 * uint64_t(count - 1), base))
        return;
    std::vector<uint16_t>& indices = Storage(renderPass).indices;
    for (uint32_t k = 0; k + 1 < count; ++k)
    {
        indices.push_back(uint16_t(base + k));
        indices.push_back(uint16_t(base + k + 1));
    }
    for (uint32_t k = 0; k < count; ++k)
        AddVertex(points[k].x, points[k].y, colours[k]);
    Commit(count - 1, count, 2 * (count - 1));
}

void CRenderCanvas::DrawPolyline(uint32_t count, const SpritePoint* points, uint32_t colour)
{
    if (count < 2 || !points)
        return;
    const std::vector<uint32_t> colours(count, colour);
    DrawPolyline(count, points, colours.data());
}

void CRenderCanvas::DrawTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3,
                                 uint32_t colour, bool filled)
{
    if (!filled)
    {
        DrawLine(p1, p2, colour);
        DrawLine(p2, p3, colour);
        DrawLine(p3, p1, colour);
        return;
    }
    uint16_t base = 0;
    if (!SelectBatch(PrimitiveType::TriangleList, nullptr, 3, 3, base))
        return;
    std::vector<uint16_t>& indices = Storage(renderPass).indices;
    for (uint16_t k = 0; k < 3; ++k)
        indices.push_back(uint16_t(base + k));
    AddVertex(p1.x, p1.y, colour);
    AddVertex(p2.x, p2.y, colour);
    AddVertex(p3.x, p3.y, colour);
    Commit(1, 3, 3);
}

void CRenderCanvas::DrawRect(float x, float y, float width, float height, uint32_t colour, bool filled)
{
    DrawRect(SpritePoint{x, y}, SpritePoint{x + width, y + height}, colour, filled);
}

void CRenderCanvas::DrawRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                             bool filled)
{
    const SpritePoint topRight{bottomRight.x, topLeft.y};
    const SpritePoint bottomLeft{topLeft.x, bottomRight.y};
    if (!filled)
    {
        DrawLine(topLeft, topRight, colour);
        DrawLine(topRight, bottomRight, colour);
        DrawLine(bottomRight, bottomLeft, colour);
        DrawLine(bottomLeft, topLeft, colour);
        return;
    }
    AddQuad(topLeft, bottomRight, colour, nullptr, SpriteRect{0.0f, 0.0f, 0.0f, 0.0f});
}

// Corners TL, TR, BR, BL as two triangles sharing the TL-BR diagonal.
void CRenderCanvas::AddQuad(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour,
                            IResourceTexture* texture, const SpriteRect& uv)
{
    uint16_t base = 0;
    if (!SelectBatch(PrimitiveType::TriangleList, texture, 4, 6, base))
        return;
    std::vector<uint16_t>& indices = Storage(renderPass).indices;
    for (uint16_t k : {0, 1, 2, 0, 2, 3})
        indices.push_back(uint16_t(base + k));
    AddVertex(topLeft.x, topLeft.y, colour, uv.left, uv.top);
    AddVertex(bottomRight.x, topLeft.y, colour, uv.right, uv.top);
    AddVertex(bottomRight.x, bottomRight.y, colour, uv.right, uv.bottom);
    AddVertex(topLeft.x, bottomRight.y, colour, uv.left, uv.bottom);
    Commit(2, 4, 6);
}

void CRenderCanvas::DrawTexturedRect(float x, float y, float width, float height, uint32_t colour,
                                     IResourceTexture* texture, const SpriteRect* textureRect)
{
    DrawTexturedRect(SpritePoint{x, y}, SpritePoint{x + width, y + height}, colour, texture, textureRect);
}

void CRenderCanvas::DrawTexturedRect(const SpritePoint& topLeft, const SpritePoint& bottomRight,
                                     uint32_t colour, IResourceTexture* texture,
                                     const SpriteRect* textureRect)
{
    const SpriteRect uv = textureRect ? *textureRect : SpriteRect{0.0f, 0.0f, 1.0f, 1.0f};
    // Half a pixel up and left, so that texels land on pixels.
    AddQuad(SpritePoint{topLeft.x - 0.5f, topLeft.y - 0.5f},
            SpritePoint{bottomRight.x - 0.5f, bottomRight.y - 0.5f}, colour, texture, uv);
}

void CRenderCanvas::DrawCircle(const SpritePoint& centre, float radius, uint32_t colour, bool filled,
                               uint32_t segments)
{
    if (segments < 3)
        return;
    const uint64_t vertexCount = uint64_t(segments) + (filled ? 1 : 0);
    const uint64_t indexCount = uint64_t(segments) * (filled ? 3 : 2);
    uint16_t base = 0;
    if (!SelectBatch(filled ? PrimitiveType::TriangleList : PrimitiveType::LineList, nullptr, vertexCount,
                     indexCount, base))
        return;
    std::vector<uint16_t>& indices = Storage(renderPass).indices;
    const uint16_t last = uint16_t(base + segments - 1);
    if (filled)
    {
        const uint16_t middle = uint16_t(base + segments);
        for (uint32_t k = 0; k + 1 < segments; ++k)
        {
            indices.push_back(uint16_t(base + k));
            indices.push_back(uint16_t(base + k + 1));
            indices.push_back(middle);
        }
        indices.push_back(last);
        indices.push_back(base);
        indices.push_back(middle);
    }
    else
    {
        for (uint32_t k = 0; k + 1 < segments; ++k)
        {
            indices.push_back(uint16_t(base + k));
            indices.push_back(uint16_t(base + k + 1));
        }
        indices.push_back(last);
        indices.push_back(base);
    }
    for (uint32_t k = 0; k < segments; ++k)
    {
        const float t = 2.0f * Pi * (float(k) / float(segments));
        AddVertex(centre.x + radius * std::cos(t), centre.y + radius * std::sin(t), colour);
    }
    if (filled)
        AddVertex(centre.x, centre.y, colour);
    Commit(segments, uint32_t(vertexCount), uint32_t(indexCount));
}

void CRenderCanvas::DrawPie(const SpritePoint& centre, float radius, const std::vector<PieSlice>& slices)
{
    if (slices.empty())
        return;
    const uint64_t n = slices.size();
    const uint64_t vertexCount = n + 1 + 2 * PieSteps;
    uint16_t base = 0;
    if (!SelectBatch(PrimitiveType::TriangleList, nullptr, vertexCount, 3 * PieSteps, base))
        return;

    // Colour and centre vertex of every step; steps no slice reaches take the remainder centre.
    uint32_t stepColour[PieSteps];
    uint16_t stepCentre[PieSteps];
    uint64_t cursor = 0;
    for (uint64_t i = 0; i < n && cursor < PieSteps; ++i)
    {
        const uint64_t end = std::min<uint64_t>(cursor + slices[i].steps, PieSteps);
        for (uint64_t k = cursor; k < end; ++k)
        {
            stepColour[k] = slices[i].colour;
            stepCentre[k] = uint16_t(base + i);
        }
        cursor += slices[i].steps;
    }
    const uint32_t remainderColour = slices.back().colour & 0xFF000000u;
    for (uint64_t k = cursor; k < PieSteps; ++k)
    {
        stepColour[k] = remainderColour;
        stepCentre[k] = uint16_t(base + n);
    }

    for (const PieSlice& slice : slices)
        AddVertex(centre.x, centre.y, slice.colour);
    AddVertex(centre.x, centre.y, remainderColour);

    Pass& pass = Storage(renderPass);
    const uint16_t rim = uint16_t(pass.vertices.size());
    for (uint32_t k = 0; k < PieSteps; ++k)
    {
        pass.indices.push_back(uint16_t(rim + 2 * k));
        pass.indices.push_back(uint16_t(rim + 2 * k + 1));
        pass.indices.push_back(stepCentre[k]);
    }
    for (uint32_t k = 0; k < PieSteps; ++k)
    {
        const float from = 2.0f * Pi * float(k) / float(PieSteps);
        const float to = 2.0f * Pi * float((k + 1) % PieSteps) / float(PieSteps);
        AddVertex(centre.x + radius * std::cos(from), centre.y + radius * std::sin(from), stepColour[k]);
        AddVertex(centre.x + radius * std::cos(to), centre.y + radius * std::sin(to), stepColour[k]);
    }
    Commit(PieSteps, uint32_t(vertexCount), 3 * PieSteps);
}

Font* CRenderCanvas::ConsoleFont(uint32_t size)
{
    if (size >= uint32_t(TextRenderer::ConsoleFontCount))
    {
        CANVAS_LOG(L"Canvas text of size %u: console fonts go up to %d", size,
                   TextRenderer::ConsoleFontCount - 1);
        return nullptr;
    }
    return consoleFonts ? consoleFonts(size) : nullptr;
}

void CRenderCanvas::DrawPlainTextLine(const SpritePoint& position, uint32_t size, uint32_t colour,
                                      const std::wstring& text)
{
    const std::wstring line = text.substr(0, TextLineLimit);
    if (line.empty())
        return;
    Font* font = ConsoleFont(size);
    if (!font)
        return;
    int32_t width = 0;
    int32_t height = 0;
    font->MeasureLine(width, height, line);
    if (width <= 0 || height <= 0)
        return;
    TextTexture image;
    font->RenderText(image, TextRenderer::ConsoleFontDesc(int32_t(size)),
                     TextRenderParams(line, uint32_t(width), uint32_t(height), 0, 0.0, 0.0));
    // A font that cannot render draws nothing rather than an untextured box.
    if (!image.texture)
        return;
    AddQuad(position, SpritePoint{position.x + float(width), position.y + float(height)}, colour,
            image.texture.Get(), SpriteRect{image.leftU, image.topV, image.rightU, image.bottomV});
}

void CRenderCanvas::MeasurePlainTextLine(int32_t& width, int32_t& height, uint32_t size,
                                         const std::wstring& text)
{
    const std::wstring line = text.substr(0, TextLineLimit);
    if (line.empty())
        return;
    Font* font = ConsoleFont(size);
    if (!font)
        return;
    font->MeasureLine(width, height, line);
}

void CRenderCanvas::AddHitTriangle(const SpritePoint& p1, const SpritePoint& p2, const SpritePoint& p3,
                                   const HitTag& tag)
{
    hitTriangles.push_back({tag, {p1, p2, p3}});
}

void CRenderCanvas::AddHitRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, const HitTag& tag)
{
    hitRects.push_back({tag, topLeft, bottomRight});
}

void CRenderCanvas::AddHitCircle(const SpritePoint& centre, float radius, const HitTag& tag)
{
    hitCircles.push_back({tag, centre, radius});
}

namespace
{

// Which side of the edge a-b the point lies on.
int sideOf(const SpritePoint& a, const SpritePoint& b, const SpritePoint& p)
{
    const float s = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    if (s > 0.00001f)
        return 1;
    return s == 0.00001f ? 0 : -1;
}

bool inside(const CanvasHitTriangle& area, const SpritePoint& p)
{
    const int ab = sideOf(area.points[0], area.points[1], p);
    return ab == sideOf(area.points[1], area.points[2], p) && ab == sideOf(area.points[2], area.points[0], p);
}

bool inside(const CanvasHitCircle& area, const SpritePoint& p)
{
    const float dx = p.x - area.centre.x;
    const float dy = p.y - area.centre.y;
    return std::sqrt(dx * dx + dy * dy) <= area.radius;
}

bool inside(const CanvasHitRect& area, const SpritePoint& p)
{
    return area.topLeft.x <= p.x && p.x <= area.bottomRight.x && area.topLeft.y <= p.y &&
           p.y <= area.bottomRight.y;
}

template <class Area> const HitTag* firstHolding(const std::vector<Area>& areas, const SpritePoint& p)
{
    for (const Area& area : areas)
        if (inside(area, p))
            return &area.tag;
    return nullptr;
}

} // namespace

bool CRenderCanvas::HitTest(const SpritePoint& point, uint32_t* firstPair, uint32_t* secondPair) const
{
    const HitTag* tag = firstHolding(hitTriangles, point);
    if (!tag)
        tag = firstHolding(hitCircles, point);
    if (!tag)
        tag = firstHolding(hitRects, point);
    if (!tag)
        return false;
    if (firstPair)
    {
        firstPair[0] = tag->words[0];
        firstPair[1] = tag->words[1];
    }
    if (secondPair)
    {
        secondPair[0] = tag->words[2];
        secondPair[1] = tag->words[3];
    }
    return true;
}

bool CRenderCanvas::UploadVertices(const Pass& pass, const Matrix3& m)
{
    const uint32_t count = uint32_t(pass.vertices.size());
    void* data = nullptr;
    if (!vertexBuffer->Lock(&data, count, 0, false) || !data)
        return false;
    auto* out = static_cast<SpriteVertex*>(data);
    for (const SpriteVertex& vertex : pass.vertices)
    {
        SpriteVertex moved = vertex;
        moved.x = vertex.x * m.m[0][0] + vertex.y * m.m[1][0] + m.m[2][0];
        moved.y = vertex.x * m.m[0][1] + vertex.y * m.m[1][1] + m.m[2][1];
        std::memcpy(out++, &moved, sizeof moved);
    }
    vertexBuffer->Unlock();
    return true;
}

bool CRenderCanvas::UploadIndices(const Pass& pass)
{
    const uint32_t count = uint32_t(pass.indices.size());
    void* data = nullptr;
    if (!indexBuffer->Lock(&data, count, 0, false) || !data)
        return false;
    std::memcpy(data, pass.indices.data(), count * sizeof(uint16_t));
    indexBuffer->Unlock();
    return true;
}

void CRenderCanvas::Render(const Matrix3& matrix, uint32_t pass)
{
    if (visible && !IsPassEmpty(pass))
    {
        Renderer* renderer = Renderer::Get();
        const Pass& drawn = Storage(pass);
        // A refused lock draws nothing this frame and keeps the content for the next.
        if (!renderer || !UploadVertices(drawn, matrix) || !UploadIndices(drawn))
            return;
        for (const DrawCall& batch : drawn.batches)
            renderer->DrawItem(batch, vertexBuffer.get(), indexBuffer.get());
    }
    if (clearOnRender)
        Clear();
}

} // namespace TarnEngine
