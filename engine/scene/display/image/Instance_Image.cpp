// The image instance; see Instance_Image.h.
#include "engine/scene/display/image/Instance_Image.h"

#include "engine/graphics/device/Renderer.h"
#include "engine/media/video/VideoSources.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/display/node/LeafDrawing.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Instance_Image, Instance_Base, RObjectFactory<Instance_Image>, L"Image",
                              &Instance_Image::RegisterLua)

namespace
{

// Where the image's pixels lie: a rectangle of the texture and its place in the image.
struct Placement
{
    uint32_t textureX = 0;
    uint32_t textureY = 0;
    uint32_t imageX = 0;
    uint32_t imageY = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// An atlas definition puts its stored (possibly trimmed) rectangle at its offset in the image;
// otherwise the image is the top left of its texture.
Placement placementOf(const Definition_Image* definition, uint32_t width, uint32_t height)
{
    if (definition && definition->HasAtlasInfo())
        return {definition->atlasX,  definition->atlasY,       definition->offsetX,
                definition->offsetY, definition->storedWidth, definition->storedHeight};
    return {0, 0, 0, 0, width, height};
}

// Cuts the rectangle to what lies inside both the texture and the image-side buffer, so that no
// row is read or written past either (the definition and the texture may disagree).
void clip(Placement& place, uint32_t textureWidth, uint32_t textureHeight, uint32_t bufferWidth,
          uint32_t bufferHeight)
{
    const auto room = [](uint32_t start, uint32_t size) { return start >= size ? 0u : size - start; };
    place.width = std::min({place.width, room(place.textureX, textureWidth), room(place.imageX, bufferWidth)});
    place.height =
        std::min({place.height, room(place.textureY, textureHeight), room(place.imageY, bufferHeight)});
}

// The texture locked for the length of a scope; bits null when the lock failed.
class TextureLock
{
public:
    TextureLock(IResourceTexture& lockedTexture, bool readOnly) : texture(lockedTexture)
    {
        void* data = nullptr;
        int32_t rowPitch = 0;
        if (texture.Lock(&data, &rowPitch, readOnly))
        {
            bits = static_cast<uint8_t*>(data);
            pitch = rowPitch;
            // A lock that hands out no memory or an impossible pitch is no lock to copy through.
            uint32_t textureWidth = 0, textureHeight = 0;
            texture.GetTextureSize(&textureWidth, &textureHeight);
            if (!bits || pitch < 0 || uint64_t(pitch) < uint64_t(textureWidth) * 4)
            {
                texture.Unlock();
                bits = nullptr;
            }
        }
    }
    ~TextureLock()
    {
        if (bits)
            texture.Unlock();
    }
    TextureLock(const TextureLock&) = delete;
    TextureLock& operator=(const TextureLock&) = delete;

    uint8_t* Row(uint32_t y) const { return bits + size_t(y) * size_t(pitch); }
    int32_t Pitch() const { return pitch; }

    uint8_t* bits = nullptr;

private:
    IResourceTexture& texture;
    int32_t pitch = 0;
};

// Images are filtered unless they stand exactly on the pixel grid of the screen.
bool isIdentity(const Matrix3& world)
{
    return Matrix3::IsIdentityLinear(world) && std::fabs(world.m[2][0]) < 0.001f &&
           std::fabs(world.m[2][1]) < 0.001f;
}

// A source that decodes over time writes its next frame into the texture here, once per draw.
template <class Source> void advance(Source& source)
{
    if constexpr (requires { source.Update(); })
        source.Update();
}

} // namespace

Instance_Image::Instance_Image() = default;

Instance_Image::~Instance_Image()
{
    videoSource.reset();
    distortionMesh.reset();
    texture.Release();
}

void Instance_Image::Initialize(const std::wstring& instanceName)
{
    Instance_Base::Initialize(instanceName);
    type = INSTANCE_IMAGE;
    colour = 0xFFFFFF;
    width = height = 0;
    imageMatrix.SetIdentity();
    std::fill(std::begin(uvRect), std::end(uvRect), 0.0f);
    hitTestType = HTT_All;
    alphaThreshold = 0;
    distortionMesh.reset();
    videoSource.reset();
}

void Instance_Image::SetColor(uint32_t argb)
{
    colour = argb & 0xFFFFFF;
    if (Renderer* renderer = Renderer::Get())
        if (IGIL* device = renderer->GetDevice())
            device->Invalidate();
}

void Instance_Image::ComputeBounds()
{
    const float w = float(width), h = float(height);
    corners[0] = {0.0f, 0.0f};
    corners[1] = {0.0f, h};
    corners[2] = {w, 0.0f};
    corners[3] = {w, h};
}

void Instance_Image::CopyFrom(const Instance_Base& source)
{
    Instance_Base::CopyFrom(source);
    const Instance_Image* image = RObjectCast<Instance_Image>(&source);
    if (!image || image == this)
        return;
    colour = image->colour;
    material = image->material;
    width = image->width;
    height = image->height;
    texture = image->texture;
    imageMatrix = image->imageMatrix;
    std::copy(std::begin(image->uvRect), std::end(image->uvRect), uvRect);
}

void Instance_Image::Draw(const Matrix3& parent, float parentOpacity)
{
    if (!visible)
        return;
    const float alpha = opacity * parentOpacity;
    const Matrix3 world = Matrix3::Multiply(GetLocalMatrix(), parent);
    const bool filtering = allowFiltering && (distortionMesh || !isIdentity(world));
    const Matrix3 quad = Matrix3::Multiply(imageMatrix, world);
    const uint32_t vertexColour = VertexAlpha(alpha) << 24 | colour;

    if (distortionMesh)
        distortionMesh->UpdateHandler();
    if (videoSource)
        advance(*videoSource);

    RenderCanvasPass(*this, 0, world);
    Renderer* renderer = Renderer::Get();
    // Without a texture (its file was missing) there is nothing to show; the renderer would
    // stand a magenta square in for it.
    if (renderer && texture)
    {
        const SpriteMaterial binding{material, texture, filtering};
        if (distortionMesh)
            distortionMesh->Draw(binding, quad, vertexColour, true);
        else
            renderer->DrawQuad(binding, quad, SpriteRect{uvRect[0], uvRect[1], uvRect[2], uvRect[3]}, vertexColour,
                               true);
    }
    RenderCanvasPass(*this, 1, world);
}

// ---- Set-up.

void Instance_Image::SetImage(const RefPtr<IResourceTexture>& imageTexture, uint32_t imageWidth,
                              uint32_t imageHeight, const Matrix3& matrix, const float (&uv)[4])
{
    texture = imageTexture;
    width = imageWidth;
    height = imageHeight;
    imageMatrix = matrix;
    std::copy(std::begin(uv), std::end(uv), uvRect);
    InvalidateMatrix(this, false);
}

void Instance_Image::SetHitTest(uint32_t type, uint32_t threshold)
{
    hitTestType = type;
    alphaThreshold = threshold;
}

IImageSource* Instance_Image::AttachVideo(const std::wstring& fileName, const std::wstring& alphaFileName)
{
    SetVideoSource(CreateVideoSource(this, fileName, alphaFileName));
    return videoSource.get();
}

void Instance_Image::SetVideoSource(std::unique_ptr<IImageSource> source)
{
    videoSource = std::move(source);
}

Distortion_Mesh* Instance_Image::CreateDistortionMesh(uint32_t columns, uint32_t rows)
{
    std::unique_ptr<Distortion_Mesh> mesh = Distortion_Mesh::Create(uvRect, columns, rows);
    if (!mesh)
        return nullptr;
    distortionMesh = std::move(mesh);
    return distortionMesh.get();
}

void Instance_Image::GetRenderInfo(float* outUvRect, uint32_t* outSize, Matrix3* outMatrix,
                                   RefPtr<IResourceTexture>* outTexture) const
{
    if (outUvRect)
        std::copy(std::begin(uvRect), std::end(uvRect), outUvRect);
    if (outSize)
    {
        outSize[0] = width;
        outSize[1] = height;
    }
    if (outMatrix)
        *outMatrix = imageMatrix;
    if (outTexture)
        *outTexture = texture;
}

// ---- Pixels.

Definition_Image* Instance_Image::findDefinition() const
{
    const UserInterface* ui = UserInterface::Get();
    const DefinitionMap* map = ui ? ui->GetDefinitionMap() : nullptr;
    if (!map || definitionName.empty())
        return nullptr;
    Definition_Base* definition = map->FindDefinition(definitionName, int32_t(definitionIndex));
    return dynamic_cast<Definition_Image*>(definition);
}

std::vector<uint32_t> Instance_Image::ReadPixels(uint32_t& outWidth, uint32_t& outHeight)
{
    const Definition_Image* definition = findDefinition();
    if (!definition || !texture || width == 0 || height == 0)
        return {};
    TextureLock lock(*texture, true);
    if (!lock.bits)
        return {};
    uint32_t textureWidth = 0, textureHeight = 0;
    texture->GetTextureSize(&textureWidth, &textureHeight);
    Placement place = placementOf(definition, width, height);
    clip(place, textureWidth, textureHeight, width, height);
    std::vector<uint32_t> pixels(size_t(width) * height, 0u);
    for (uint32_t row = 0; row < place.height; ++row)
        std::memcpy(&pixels[size_t(place.imageY + row) * width + place.imageX],
                    lock.Row(place.textureY + row) + size_t(place.textureX) * 4, size_t(place.width) * 4);
    outWidth = width;
    outHeight = height;
    return pixels;
}

bool Instance_Image::UploadPixels(const uint32_t* pixels, uint32_t w, uint32_t h)
{
    if (!pixels || !texture || w > width || h > height)
        return false;
    TextureLock lock(*texture, false);
    if (!lock.bits)
        return false;
    uint32_t textureWidth = 0, textureHeight = 0;
    texture->GetTextureSize(&textureWidth, &textureHeight);
    Placement place = placementOf(findDefinition(), w, h);
    clip(place, textureWidth, textureHeight, w, h);
    for (uint32_t row = 0; row < place.height; ++row)
        std::memcpy(lock.Row(place.textureY + row) + size_t(place.textureX) * 4,
                    &pixels[size_t(place.imageY + row) * w + place.imageX], size_t(place.width) * 4);
    return true;
}

bool Instance_Image::WritePixelsInPlace(
    const std::function<void(uint8_t* bits, int32_t pitch, uint32_t textureWidth, uint32_t textureHeight)>& write)
{
    const Definition_Image* definition = findDefinition();
    if (!definition || !texture || width == 0 || height == 0)
        return false;
    const Placement place = placementOf(definition, width, height);
    if (place.textureX != 0 || place.textureY != 0 || place.imageX != 0 || place.imageY != 0 ||
        place.width != width || place.height != height)
        return false;
    TextureLock lock(*texture, false);
    if (!lock.bits)
        return false;
    uint32_t textureWidth = 0, textureHeight = 0;
    texture->GetTextureSize(&textureWidth, &textureHeight);
    if (textureWidth < width || textureHeight < height)
        return false;
    write(lock.bits, lock.Pitch(), textureWidth, textureHeight);
    return true;
}

bool Instance_Image::BuildAlphaMask()
{
    Definition_Image* definition = findDefinition();
    if (!definition)
        return false;
    if (!definition->alphaMask.empty())
        return true;
    uint32_t w = 0, h = 0;
    const std::vector<uint32_t> pixels = ReadPixels(w, h);
    if (pixels.empty())
        return false;
    definition->alphaMask.resize(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        definition->alphaMask[i] = uint8_t(pixels[i] >> 24);
    return true;
}

bool Instance_Image::HitTestPixel(uint32_t px, uint32_t py)
{
    if (px >= width || py >= height)
        return false;
    const Definition_Image* definition = findDefinition();
    if (!definition)
        return false;
    if (hitTestType == HTT_All)
        return true;
    if (hitTestType == HTT_None)
        return false;
    if (!BuildAlphaMask())
        return false;
    const size_t index = size_t(width) * py + px;
    // The mask is the definition's; an image resized since it was built reads no further than it.
    if (index >= definition->alphaMask.size())
        return false;
    return uint32_t(definition->alphaMask[index]) > alphaThreshold;
}

} // namespace TarnEngine
