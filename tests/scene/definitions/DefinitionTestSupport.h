// Shared pieces of the definition suites: definition files parsed from text, an in-memory document
// cache for library lists, stand-ins for the image and text instance classes (entered under their
// registry names only while a test holds a ScopedClassName), a video source and a texture that
// record what they are asked, and a logger that keeps the lines the script error handler writes.
#pragma once

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/media/video/IImageSource.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/node/Instance_Base.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace DefinitionTest
{

using namespace TarnEngine;

// The root of an XML text; fails the test when it does not parse.
inline std::unique_ptr<XmlNode> Parse(const std::string& text)
{
    std::unique_ptr<XmlNode> root =
        ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
    EXPECT_NE(root, nullptr) << text;
    return root;
}

// Loads one definition file given as text; the result of LoadDefinitionFile.
inline bool LoadFile(DefinitionMap& map, const std::string& text)
{
    std::unique_ptr<XmlNode> root = Parse(text);
    uint32_t added = 0, appended = 0;
    return root && LoadDefinitionFile(*root, map, added, appended);
}

// A movie definition made from the text of its "Definition" element, or null when it fails.
inline std::unique_ptr<Definition_Base> MakeDefinition(DefinitionMap& map, const std::string& element)
{
    std::unique_ptr<XmlNode> root = Parse(element);
    return root ? CreateDefinition(*root, map) : nullptr;
}

// While it lives, the engine's document cache reads these files from memory.
class MemoryFiles
{
public:
    MemoryFiles()
        : cache(
              [this](const std::wstring& name, std::vector<uint8_t>& bytes)
              {
                  ++reads[name];
                  const auto found = files.find(name);
                  if (found == files.end())
                      return false;
                  bytes.assign(found->second.begin(), found->second.end());
                  return true;
              })
    {
        RegisterEngineStatics();
    }

    std::map<std::wstring, std::string> files;
    std::map<std::wstring, int> reads;
    XmlDocumentCache cache;
};

// Makes `name` stand for another class record while it lives (null: no class of that name).
class ScopedClassName
{
public:
    ScopedClassName(const char* className, RClass* record) : name(className)
    {
        auto& names = RClass::GetRegistry().names;
        const auto found = names.find(name);
        hadPrevious = found != names.end();
        if (hadPrevious)
            previous = found->second;
        if (record)
            names[name] = record;
        else if (hadPrevious)
            names.erase(name);
    }
    ~ScopedClassName()
    {
        auto& names = RClass::GetRegistry().names;
        if (hadPrevious)
            names[name] = previous;
        else
            names.erase(name);
    }
    ScopedClassName(const ScopedClassName&) = delete;
    ScopedClassName& operator=(const ScopedClassName&) = delete;

private:
    std::string name;
    RClass* previous = nullptr;
    bool hadPrevious = false;
};

class RecordingVideo final : public IImageSource
{
public:
    bool Open(bool loopFlag, float endDelay) override
    {
        opens.push_back({loopFlag ? 1 : 0, endDelay});
        return true;
    }
    void Close() override {}
    bool IsActive() override { return !opens.empty(); }
    bool Update() override { return false; }
    int GetWidth() override { return 0; }
    int GetHeight() override { return 0; }

    struct OpenCall
    {
        int loop;
        float start;
    };
    std::vector<OpenCall> opens;
};

// The image instance as definitions and nuggets see it.
class SetupImage : public Instance_Base, public IImageInstanceSetup
{
    TARN_RCLASS(SetupImage)
public:
    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_IMAGE;
    }
    void SetImage(const RefPtr<IResourceTexture>& imageTexture, uint32_t imageWidth, uint32_t imageHeight,
                  const Matrix3& matrix, const float (&uv)[4]) override
    {
        texture = imageTexture;
        width = imageWidth;
        height = imageHeight;
        imageMatrix = matrix;
        std::copy(uv, uv + 4, uvRect);
    }
    void SetHitTest(uint32_t type, uint32_t threshold) override
    {
        hitTestType = type;
        alphaThreshold = threshold;
    }
    IImageSource* AttachVideo(const std::wstring& fileName, const std::wstring& alphaFileName) override
    {
        videoFiles.push_back(fileName + L"|" + alphaFileName);
        if (!videosWork)
            return nullptr;
        video = std::make_unique<RecordingVideo>();
        return video.get();
    }

    static inline bool videosWork = true;
    RefPtr<IResourceTexture> texture;
    uint32_t width = 0;
    uint32_t height = 0;
    Matrix3 imageMatrix;
    float uvRect[4] = {-1, -1, -1, -1};
    uint32_t hitTestType = 99;
    uint32_t alphaThreshold = 99;
    std::vector<std::wstring> videoFiles;
    std::unique_ptr<RecordingVideo> video;
};

// The text instance as a text entry sets it up: every call in order.
class SetupText : public Instance_Base, public ITextInstanceSetup
{
    TARN_RCLASS(SetupText)
public:
    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_TEXT;
        calls.push_back(L"Initialize " + instanceName);
    }
    void SetWidth(int32_t width) override { calls.push_back(L"SetWidth " + std::to_wstring(width)); }
    void SetHeight(int32_t height) override { calls.push_back(L"SetHeight " + std::to_wstring(height)); }
    void SetFont(const FontDesc& font) override
    {
        calls.push_back(L"SetFont " + font.name + L" " + std::to_wstring(font.size) + L" " +
                        std::to_wstring(font.bold) + L" " + std::to_wstring(font.italic));
    }
    void SetText(const std::wstring& text) override { calls.push_back(L"SetText " + text); }
    void SetTextFormat(uint32_t flags) override { calls.push_back(L"SetTextFormat " + std::to_wstring(flags)); }
    void SetLineSpacing(double spacing) override { calls.push_back(L"SetLineSpacing " + std::to_wstring(spacing)); }
    void SetGamma(double gamma) override { calls.push_back(L"SetGamma " + std::to_wstring(gamma)); }
    void SetColor(uint32_t colour) override { calls.push_back(L"SetColor " + std::to_wstring(colour)); }
    void SetMaterial(uint32_t flags) override
    {
        Instance_Base::SetMaterial(flags);
        calls.push_back(L"SetMaterial " + std::to_wstring(flags));
    }

    std::vector<std::wstring> calls;
};

// The bitmap-font kind of text.
class SetupBitmapText : public SetupText
{
    TARN_RCLASS(SetupBitmapText)
};

// A texture of a given picture and texture size.
class SizedTexture final : public IResourceTexture
{
public:
    SizedTexture(uint32_t imageWidth, uint32_t imageHeight, uint32_t textureWidth, uint32_t textureHeight)
        : IResourceTexture(L"sized"), imageWidth(imageWidth), imageHeight(imageHeight), textureWidth(textureWidth),
          textureHeight(textureHeight)
    {
    }
    bool Load() override { return true; }
    bool Allocate(ImageSize) override { return true; }
    void Bind(uint32_t, bool) override {}
    bool Lock(void**, int32_t*, bool) override { return false; }
    void Unlock() override {}
    void GetTextureSize(uint32_t* width, uint32_t* height) override
    {
        *width = textureWidth;
        *height = textureHeight;
    }
    void GetImageSize(uint32_t* width, uint32_t* height) override
    {
        *width = imageWidth;
        *height = imageHeight;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return 0; }

private:
    uint32_t imageWidth, imageHeight, textureWidth, textureHeight;
};

// Keeps every line logged while it lives.
class CapturingLogger final : public ILogger
{
public:
    void LogString(uint32_t, const char*, int, std::wstring_view text) override { lines.emplace_back(text); }
    void EnableChannels(uint32_t mask) override { channelMask_ |= mask; }
    void DisableChannels(uint32_t mask) override { channelMask_ &= ~mask; }

    // Lines that begin with the text.
    size_t Count(const std::wstring& prefix) const
    {
        size_t count = 0;
        for (const std::wstring& line : lines)
            count += line.rfind(prefix, 0) == 0;
        return count;
    }

    std::vector<std::wstring> lines;
};

} // namespace DefinitionTest
