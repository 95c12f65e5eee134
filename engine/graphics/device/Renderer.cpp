// Sprite batching, flushing, the texture keeper and rendering into targets.
#include "engine/graphics/device/Renderer.h"

#include "engine/graphics/device/DynamicBuffers.h"
#include "engine/graphics/device/RenderStats.h"
#include "engine/graphics/text/TextRenderer.h"

#include "platform/raster/RasterTypes.h"

#include <algorithm>
#include <cstring>

namespace TarnEngine
{

namespace
{
Renderer* current = nullptr;
const std::wstring dynamicPrefix = L"dynamic_texture";
} // namespace

void TextureKeeper::Use(IResourceTexture* texture)
{
    if (!texture || texture->GetName().compare(0, dynamicPrefix.size(), dynamicPrefix) != 0)
        return;
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const Entry& entry) { return entry.texture.Get() == texture; });
    if (found != entries.end() && found + 1 == entries.end())
    {
        found->lastUsed = frame;
        return;
    }
    if (found != entries.end())
    {
        // Moved to the end, so that the entries stay in the order of their last use.
        Entry entry = std::move(*found);
        entries.erase(found);
        entry.lastUsed = frame;
        entries.push_back(std::move(entry));
        return;
    }
    entries.push_back({RefPtr<IResourceTexture>(texture), frame});
}

uint64_t TextureKeeper::GetHeldBytes() const
{
    uint64_t bytes = 0;
    for (const Entry& entry : entries)
        bytes += entry.texture->GetMemorySize();
    return bytes;
}

void TextureKeeper::Age()
{
    const uint32_t shown = frame;
    ++frame;
    std::erase_if(entries, [&](const Entry& entry) { return uint64_t(entry.lastUsed) + keepCount < frame; });
    uint64_t held = GetHeldBytes();
    size_t drop = 0;
    while (held > keepBytes && drop < entries.size() && entries[drop].lastUsed != shown)
        held -= entries[drop++].texture->GetMemorySize();
    entries.erase(entries.begin(), entries.begin() + ptrdiff_t(drop));
}

Renderer::Renderer()
{
    current = this;
}

Renderer::~Renderer()
{
    if (device)
        device->RemoveEventSubscriber(this);
    textureKeeper.reset();
    textRenderer.reset();
    batches.clear();
    indexBuffer.reset();
    vertexBuffer.reset();
    device.reset();
    if (current == this)
        current = nullptr;
}

Renderer* Renderer::Get()
{
    return current;
}

bool Renderer::Init(std::unique_ptr<IGIL> graphicsDevice, IRenderWindow* renderWindow)
{
    device = std::move(graphicsDevice);
    window = renderWindow;
    if (!device)
        return false;
    device->AddEventSubscriber(this);
    vertexBuffer = device->CreateDynamicVertexBuffer(nullptr, VertexCapacity, sizeof(SpriteVertex),
                                                     Raster::Value::VertexFormatSprite, false);
    if (!vertexBuffer)
        return false;
    indexBuffer = device->CreateDynamicIndexBuffer(nullptr, IndexCount, false);
    if (!indexBuffer)
        return false;
    if (!FillIndexBuffer())
        return false;
    vertices.reserve(VertexCapacity);
    textRenderer = std::make_unique<TextRenderer>();
    textureKeeper = std::make_unique<TextureKeeper>(KeepPresents, KeepBytes);
    return true;
}

bool Renderer::FillIndexBuffer()
{
    indicesFilled = false;
    void* data = nullptr;
    if (!indexBuffer || !indexBuffer->Lock(&data, IndexCount, 0, false) || !data)
        return false;
    auto* out = static_cast<uint16_t*>(data);
    for (uint32_t quad = 0; quad < QuadCapacity; ++quad)
    {
        const uint16_t base = uint16_t(quad * 4);
        out[0] = base;
        out[1] = uint16_t(base + 1);
        out[2] = uint16_t(base + 2);
        out[3] = base;
        out[4] = uint16_t(base + 2);
        out[5] = uint16_t(base + 3);
        out += 6;
    }
    indexBuffer->Unlock();
    indicesFilled = true;
    return true;
}

bool Renderer::IsReady() const
{
    return device && vertexBuffer && indexBuffer && textRenderer && textureKeeper && device->IsCreated();
}

bool Renderer::CanRender() const
{
    return device && device->CanRender();
}

SpritePoint Renderer::TransformPoint(SpritePoint p, const Matrix3& m)
{
    return {m.m[0][0] * p.x + m.m[1][0] * p.y + m.m[2][0], m.m[0][1] * p.x + m.m[1][1] * p.y + m.m[2][1]};
}

Matrix3 Renderer::MakeRectMatrix(int32_t x, int32_t y, uint32_t width, uint32_t height)
{
    Matrix3 m;
    m.m[0][0] = float(width);
    m.m[0][1] = 0.0f;
    m.m[0][2] = 0.0f;
    m.m[1][0] = 0.0f;
    m.m[1][1] = float(height);
    m.m[1][2] = 0.0f;
    m.m[2][0] = float(x) + float(width) * 0.5f;
    m.m[2][1] = float(y) + float(height) * 0.5f;
    m.m[2][2] = 1.0f;
    return m;
}

void Renderer::DrawQuad(const SpriteMaterial& material, const Matrix3& matrix, const SpriteRect& source,
                        uint32_t colour, bool halfPixel)
{
    static constexpr SpritePoint corners[4] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    SpritePoint positions[4];
    for (int i = 0; i < 4; ++i)
        positions[i] = TransformPoint(corners[i], matrix);
    const SpritePoint uvs[4] = {{source.left, source.bottom},
                                {source.right, source.bottom},
                                {source.right, source.top},
                                {source.left, source.top}};
    uint32_t word = material.material;
    IResourceTexture* texture = material.texture.Get();
    bool filtering = material.filtering;
    // The flags (mask tests, mask clear) belong to the quad whatever its material.
    if ((word & MaterialIndexMask) == eMaterialNoTexture)
        filtering = false;
    else if (!texture)
    {
        // A missing texture shows as magenta rather than as nothing.
        word = eMaterialNoTexture;
        filtering = false;
        colour = ColourMissingTexture;
    }
    QueueQuad(word, texture, filtering, positions, uvs, colour, halfPixel);
}

void Renderer::SelectBatch(const SpriteMaterial& material, const SpritePoint positions[4],
                           const SpritePoint uvs[4], uint32_t colour, bool halfPixel)
{
    QueueQuad(material.material, material.texture.Get(), material.filtering, positions, uvs, colour,
              halfPixel);
}

void Renderer::QueueQuad(uint32_t material, IResourceTexture* texture, bool filtering,
                         const SpritePoint positions[4], const SpritePoint uvs[4], uint32_t colour,
                         bool halfPixel)
{
    if (vertices.size() > VertexCapacity - 4)
        Flush();
    if (batches.empty() || batches.back().material != material || batches.back().texture.Get() != texture ||
        batches.back().filtering != filtering)
        batches.push_back({material, RefPtr<IResourceTexture>(texture), filtering, 0});
    const float z = (material & 4) ? DepthMask : DepthSprite;
    const float shift = halfPixel ? 0.5f : 0.0f;
    for (int i = 0; i < 4; ++i)
        vertices.push_back(
            {positions[i].x - shift, positions[i].y - shift, z, 0.5f, colour, uvs[i].x, uvs[i].y});
    batches.back().triangles += 2;
}

void Renderer::DropQueue()
{
    vertices.clear();
    batches.clear();
}

void Renderer::Keep(IResourceTexture* texture)
{
    if (textureKeeper && texture)
        textureKeeper->Use(texture);
}

void Renderer::Flush()
{
    if (batches.empty())
        return;
    // A refill that failed after a reset left the index buffer empty: every quad would vanish until
    // the next reset, so it is tried again before drawing.
    if (!device || !vertexBuffer || !indexBuffer || (!indicesFilled && !FillIndexBuffer()))
    {
        DropQueue();
        return;
    }
    void* data = nullptr;
    if (!vertexBuffer->Lock(&data, uint32_t(vertices.size()), 0, false) || !data)
    {
        // Drawing now would show whatever the buffer held before: the queue is lost instead.
        DropQueue();
        return;
    }
    std::memcpy(data, vertices.data(), vertices.size() * sizeof(SpriteVertex));
    vertexBuffer->Unlock();
    uint32_t vertexStart = 0;
    uint32_t indexStart = 0;
    DrawCall call;
    for (SpriteBatch& batch : batches)
    {
        call.material = batch.material;
        call.texture = batch.texture;
        call.filtering = batch.filtering;
        call.primitiveType = Raster::PrimitiveType::TriangleList;
        call.primitiveCount = batch.triangles;
        call.minVertexIndex = vertexStart;
        call.vertexCount = batch.triangles * 2;
        call.startIndex = indexStart;
        call.indexCount = batch.triangles * 3;
        device->DrawIndexed(call, vertexBuffer.get(), indexBuffer.get());
        Keep(batch.texture.Get());
        vertexStart += batch.triangles * 2;
        indexStart += batch.triangles * 3;
    }
    DropQueue();
}

void Renderer::Present()
{
    if (device)
        device->Present();
    if (textureKeeper)
        textureKeeper->Age();
}

void Renderer::DrawItem(const DrawCall& call, IDynamicVertexBuffer* itemVertices,
                        IDynamicIndexBuffer* itemIndices)
{
    Flush();
    if (!device)
        return;
    device->DrawIndexed(call, itemVertices, itemIndices);
    Keep(call.texture.Get());
}

bool Renderer::RenderToTarget(IRenderTarget* target, const InstanceHandle& instance, const Matrix3* matrix)
{
    if (!target || !instance.IsValid() || !instances.draw)
        return false;
    if (!CanRender())
        return false;
    if (inFrame)
        Flush();
    else if (!device->BeginFrame())
        return false;
    if (!target->BeginRender())
    {
        // The clear and the drawing would land on the frame being built.
        target->EndRender();
        if (!inFrame)
            device->EndFrame();
        return false;
    }
    device->Clear(true, true, ClearRenderToTarget);
    const Matrix3 identity;
    // An instance that cannot draw itself leaves only the clear colour behind: not a rendering.
    const bool drawn = instances.draw(instance, matrix ? *matrix : identity, 1.0f);
    Flush();
    target->EndRender();
    if (!inFrame)
        device->EndFrame();
    return drawn;
}

bool Renderer::DrawInstanceToTexture(IRenderTarget* target, const InstanceHandle& instance)
{
    if (!target || !CanRender() || !instances.imageTexture)
        return false;
    RefPtr<IResourceTexture> texture = instances.imageTexture(instance);
    if (!texture)
        return false;
    return target->CopyToTexture(texture.Get());
}

void Renderer::RenderItemsToTarget(const Matrix4* world, const Matrix4* view, const Matrix4* projection,
                                   RefPtr<IRenderTarget> target, const std::vector<DrawCall>& items,
                                   IDynamicVertexBuffer* itemVertices, IDynamicIndexBuffer* itemIndices)
{
    if (!device || !target)
        return;
    if (inFrame)
        Flush();
    else if (!device->BeginFrame())
        return;
    if (!target->BeginRender())
    {
        target->EndRender();
        if (!inFrame)
            device->EndFrame();
        return;
    }
    device->Clear(true, true, ClearItemsToTarget);
    device->SetTransforms(world, view, projection);
    for (const DrawCall& item : items)
        DrawItem(item, itemVertices, itemIndices);
    target->EndRender();
    device->SetTransforms(nullptr, nullptr, nullptr);
    if (!inFrame)
        device->EndFrame();
}

RefPtr<IResourceTexture> Renderer::CreateDynamicTexture(Recreater* recreater)
{
    return device ? device->CreateDynamicTexture(recreater, RenderStats::CounterDynamicTextures) : nullptr;
}

RefPtr<IResourceTexture> Renderer::CreateTexture(const std::wstring& name)
{
    return device ? device->CreateTexture(name, RenderStats::CounterTextures) : nullptr;
}

RefPtr<IRenderTarget> Renderer::CreateRenderTarget(ImageSize size)
{
    return device ? device->CreateRenderTarget(nullptr, size) : nullptr;
}

std::unique_ptr<IDynamicVertexBuffer> Renderer::CreateCanvasVertexBuffer()
{
    if (!device)
        return nullptr;
    return device->CreateDynamicVertexBuffer(nullptr, CanvasVertexCount, sizeof(SpriteVertex),
                                             Raster::Value::VertexFormatSprite, false);
}

bool Renderer::OnDeviceReset()
{
    if (vertexBuffer)
        vertexBuffer->Bind(0, true);
    if (indexBuffer)
        indexBuffer->Bind(true);
    DropQueue();
    return FillIndexBuffer();
}

} // namespace TarnEngine
