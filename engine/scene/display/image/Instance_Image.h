// The image instance: the leaf of the display tree that shows one picture, a texture (or a
// rectangle of a texture atlas) drawn as a tinted quad, or through a distortion mesh, optionally fed
// by a video source that writes its frames into the texture. It is also what the pointer hits: with
// the non-alpha hit test a click on a transparent pixel goes through, decided by an alpha mask that
// every image of a definition shares and that is built only when first needed.
//
// Images are made by image definitions (Definition_Image through IImageInstanceSetup), which set the
// picture, and get their hit-test rule and video from nuggets. The script methods are in
// Instance_ImageLua.cpp.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/media/video/IVideoTarget.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/geometry/Distortion_Mesh.h"
#include "engine/scene/display/node/Instance_Base.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace TarnEngine
{

class Definition_Image;
class IImageSource;

// How the pointer hits an image.
enum HitTestType : uint32_t
{
    HTT_All = 0,
    HTT_NonAlpha = 1, // pixels whose alpha is above the threshold
    HTT_None = 2,
    HTT_COUNT = 3,
};

class Instance_Image : public Instance_Base, public IImageInstanceSetup, public IVideoImage
{
    TARN_RCLASS(Instance_Image)
    TARN_LUA_CLASS("Instance_Image")
public:
    Instance_Image();
    ~Instance_Image() override;

    void Initialize(const std::wstring& instanceName) override;
    // The tint; the alpha byte is dropped (opacity alone gives the alpha).
    void SetColor(uint32_t argb) override;
    void Draw(const Matrix3& parent, float parentOpacity) override;
    void ComputeBounds() override;
    void CopyFrom(const Instance_Base& source) override;
    // x and y in pixels of the image's own space; a distorted image is tested undistorted.
    bool HitTestPixel(uint32_t px, uint32_t py) override;

    // ---- What definitions and nuggets set.
    void SetImage(const RefPtr<IResourceTexture>& imageTexture, uint32_t imageWidth, uint32_t imageHeight,
                  const Matrix3& matrix, const float (&uv)[4]) override;
    void SetHitTest(uint32_t type, uint32_t threshold) override;
    IImageSource* AttachVideo(const std::wstring& fileName, const std::wstring& alphaFileName) override;

    // The image's pixels, width x height 32-bit ARGB words row by row (transparent where a trimmed
    // atlas rectangle leaves the image empty). Empty when the definition or texture is missing or
    // the texture cannot be locked.
    std::vector<uint32_t> ReadPixels(uint32_t& outWidth, uint32_t& outHeight);
    // Writes a w x h block of ARGB words into the texture at the image's place. Refused (false,
    // nothing written) when the block is larger than the image or there is no texture.
    bool UploadPixels(const uint32_t* pixels, uint32_t w, uint32_t h);
    // Hands `write` the texture locked for writing when the image is its whole top-left width x
    // height block (not a trimmed or placed piece of an atlas): the bits of its first pixel, the row pitch in bytes and
    // the texture's pixel size. For a filter that writes the image straight into its texture, with
    // no buffer between. False, nothing called, when the image lies otherwise or there is no
    // definition or texture, or the lock fails.
    bool WritePixelsInPlace(
        const std::function<void(uint8_t* bits, int32_t pitch, uint32_t textureWidth, uint32_t textureHeight)>& write);
    // Builds the definition's alpha mask unless it has one; true when it has one now.
    bool BuildAlphaMask();
    // Any of the outputs may be null.
    void GetRenderInfo(float* outUvRect, uint32_t* outSize, Matrix3* outMatrix,
                       RefPtr<IResourceTexture>* outTexture) const;

    // Replaces the mesh (and its handler) by a new rest grid over the texture rectangle. Sizes
    // outside what a mesh takes are refused: null, and the current mesh stays.
    Distortion_Mesh* CreateDistortionMesh(uint32_t columns, uint32_t rows);
    Distortion_Mesh* GetDistortionMesh() const { return distortionMesh.get(); }
    // The source that fills the texture from now on (null: none).
    void SetVideoSource(std::unique_ptr<IImageSource> source) override;
    IImageSource* GetVideoSource() const override { return videoSource.get(); }
    // What video sources read and write: ReadPixels and UploadPixels.
    std::vector<uint32_t> ReadVideoPixels(uint32_t& outWidth, uint32_t& outHeight) override
    {
        return ReadPixels(outWidth, outHeight);
    }
    void UploadVideoPixels(const uint32_t* pixels, uint32_t w, uint32_t h) override { UploadPixels(pixels, w, h); }

    static void RegisterLua(lua_State* state);

    // ---- Data.
    uint32_t colour = 0xFFFFFF; // 0x00RRGGBB
    uint32_t width = 0;
    uint32_t height = 0;
    RefPtr<IResourceTexture> texture;
    Matrix3 imageMatrix; // the unit quad centred at the origin onto the drawn rectangle
    float uvRect[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // uMin, vMin, uMax, vMax
    uint32_t hitTestType = HTT_All;
    uint32_t alphaThreshold = 0; // compared unsigned: -1 from a nugget hits nothing

private:
    Definition_Image* findDefinition() const;

    std::unique_ptr<Distortion_Mesh> distortionMesh;
    std::unique_ptr<IImageSource> videoSource;
};

} // namespace TarnEngine
