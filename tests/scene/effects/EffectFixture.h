// Shared set-up of the particle tests: effect files held in memory and read
// through the engine's XML document cache, an effect library with an image
// resolver over a small table of images, the particle manager, and the
// random pool at its fixed start, so every run draws the same numbers.
// Curve helpers write the texts effect files use.
#pragma once

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/ParticleEffect.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/scene/effects/RPfxActionBase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace EffectTest
{

using namespace TarnEngine;

// A curve that is the constant v everywhere.
inline std::string C(double v)
{
    char text[128];
    std::snprintf(text, sizeof text, "1;linear;0;1;0,1;0,%.9g;0,%.9g,0", v, v);
    return text;
}

// A straight line from (t0, v0) to (t1, v1), held beyond both ends.
inline std::string L(double t0, double v0, double t1, double v1)
{
    char text[192];
    std::snprintf(text, sizeof text, "1;linear;0;2;%.9g,%.9g;%.9g,%.9g;%.9g,%.9g,0;%.9g,%.9g,0", t0, t1,
                  v0 < v1 ? v0 : v1, v0 < v1 ? v1 : v0, t0, v0, t1, v1);
    return text;
}

// <Name>body</Name>
inline std::string E(const std::string& name, const std::string& body)
{
    return "<" + name + ">" + body + "</" + name + ">";
}

// A behaviour item around an action element; attributes as written.
inline std::string Item(const std::string& attributes, const std::string& action)
{
    return "<BehaviorItem " + attributes + "><Action>" + action + "</Action></BehaviorItem>";
}

inline std::string Template(const std::string& attributes, const std::string& items)
{
    return "<Template " + attributes + ">" + items + "</Template>";
}

inline std::string Effect(const std::string& templates)
{
    return "<ParticleEffect>" + templates + "</ParticleEffect>";
}

// Parses one element (UTF-8 text); fails the test when it does not parse.
inline std::unique_ptr<XmlNode> ParseElement(const std::string& text)
{
    auto node = std::make_unique<XmlNode>();
    EXPECT_TRUE(ParseXmlText(*node, text.c_str(), false)) << text;
    return node;
}

// An action of class A read from its element's text.
template <class A> std::unique_ptr<A> ReadAction(const std::string& element)
{
    auto node = ParseElement(element);
    auto action = std::make_unique<A>();
    action->ReadParameters(*node);
    return action;
}

// Owner services over one fixed owner: its position and a scatter image.
struct FakeOwner : IEffectOwnerServices
{
    bool GetOwnerPosition(const InstanceHandle&, float& x, float& y) override
    {
        x = ownerX;
        y = ownerY;
        return true;
    }
    bool GetScatterImage(const InstanceHandle&, ScatterImage& image) override
    {
        image = scatter;
        return hasScatter;
    }
    bool HitTestScatterPixel(const InstanceHandle&, int32_t x, int32_t y) override
    {
        ++hitTests;
        return hit ? hit(x, y) : false;
    }

    float ownerX = 0.0f;
    float ownerY = 0.0f;
    bool hasScatter = false;
    ScatterImage scatter;
    std::function<bool(int32_t, int32_t)> hit;
    int hitTests = 0;
};

class EffectFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterEngineStatics();
        FillRandomPool();
        library.SetImageResolver(
            [this](const std::wstring& name, EffectImage& image)
            {
                const auto found = images.find(name);
                if (found == images.end())
                    return false;
                image = found->second;
                return true;
            });
        manager.SetOwnerServices(&owner);
    }

    void TearDown() override { FillRandomPool(); }

    // Stores the file of effect `name`.
    void AddEffect(const std::string& name, const std::string& xml)
    {
        files[L"effects\\" + Utf8ToWString(name) + L".xml"] = xml;
    }

    // Loads effect "test" from the XML and returns a running clone (null when it does not load).
    std::unique_ptr<ParticleEffect> Make(const std::string& xml)
    {
        AddEffect("test", xml);
        if (!library.Load(L"test"))
            return nullptr;
        return library.CreateEffect(L"test");
    }

    // The loaded definition of effect "test".
    const ParticleEffect* Definition(const std::string& xml)
    {
        AddEffect("test", xml);
        return library.Load(L"test") ? library.GetDefinition(L"test") : nullptr;
    }

    // The live particles of a template, in list order (phases in order).
    static std::vector<Particle*> Live(const ParticleTemplate& t)
    {
        std::vector<Particle*> out;
        for (const auto& phase : t.phases)
            for (ParticleLink* link = phase->live.next; link != &phase->live; link = link->next)
                out.push_back(static_cast<Particle*>(link));
        return out;
    }

    std::map<std::wstring, std::string> files;
    XmlDocumentCache cache{[this](const std::wstring& name, std::vector<uint8_t>& bytes)
                           {
                               const auto found = files.find(name);
                               if (found == files.end())
                                   return false;
                               bytes.assign(found->second.begin(), found->second.end());
                               return true;
                           }};
    std::map<std::wstring, EffectImage> images;
    EffectLibrary library;
    ParticleManager manager;
    FakeOwner owner;
};

} // namespace EffectTest
