// What definitions and nuggets set on the leaves they make. Image and text instances are made
// through the class registry by name ("Instance_Image", "TextureText", "BitmapText"), so the
// definitions do not depend on those classes; each of them implements the matching interface here,
// and a made object that does not is not used.
#pragma once

#include "engine/core/base/Matrix.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/text/FontDesc.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class IImageSource;
class IResourceTexture;

class IImageInstanceSetup
{
public:
    virtual ~IImageInstanceSetup() = default;

    // The picture: the texture (the image keeps a count of its own), the image size in pixels, the
    // matrix that maps the unit quad centred at the origin onto the drawn rectangle of the image's
    // space, and that rectangle's texture coordinates (uMin, vMin, uMax, vMax).
    virtual void SetImage(const RefPtr<IResourceTexture>& texture, uint32_t width, uint32_t height,
                          const Matrix3& imageMatrix, const float (&uvRect)[4]) = 0;
    // How the pointer hits the image: HTT_All, HTT_NonAlpha (alpha above the threshold) or HTT_None.
    virtual void SetHitTest(uint32_t hitTestType, uint32_t alphaThreshold) = 0;
    // Makes the video source of the files (a colour video, a colour video with an alpha video, or
    // an alpha video alone when fileName is empty) with the image as its target and shows it from
    // now on; the source, or null when none could be made.
    virtual IImageSource* AttachVideo(const std::wstring& fileName, const std::wstring& alphaFileName) = 0;
};

class ITextInstanceSetup
{
public:
    virtual ~ITextInstanceSetup() = default;

    // The text box in pixels.
    virtual void SetWidth(int32_t width) = 0;
    virtual void SetHeight(int32_t height) = 0;
    virtual void SetFont(const FontDesc& font) = 0;
    virtual void SetText(const std::wstring& text) = 0;
    // The layout flags (TextFormat), the line-spacing factor and the rendering gamma; each change
    // lays the text out again.
    virtual void SetTextFormat(uint32_t flags) = 0;
    virtual void SetLineSpacing(double spacing) = 0;
    virtual void SetGamma(double gamma) = 0;
};

} // namespace TarnEngine
