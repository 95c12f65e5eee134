// The loaded particle-effect definitions by name: one instance, created
// empty by start-up, published while it exists; deleting it deletes every
// definition it holds. Effects are loaded on demand from "effects\" + name +
// ".xml" (always read anew) and kept under the lower-cased name; display
// instances never run a definition, they run clones made by CreateEffect.
//
// Template images name image definitions, which the library finds in the
// user interface's definition map; a resolver set in its place (tools and
// tests) answers instead.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/scene/effects/ParticleEffect.h"

namespace TarnEngine
{

class EffectLibrary
{
public:
    using ImageResolver = std::function<bool(const std::wstring& name, EffectImage& image)>;

    EffectLibrary();
    ~EffectLibrary();
    EffectLibrary(const EffectLibrary&) = delete;
    EffectLibrary& operator=(const EffectLibrary&) = delete;

    static EffectLibrary* Get();

    // Reads the effect file and stores its definition, replacing one stored
    // under the same name; false (nothing stored) when the file is missing,
    // does not parse or has no "ParticleEffect" element.
    bool Load(const std::wstring& effectName);
    bool Contains(const std::wstring& effectName) const;
    // A clone of the stored definition for one instance, or null.
    std::unique_ptr<ParticleEffect> CreateEffect(const std::wstring& effectName) const;
    // The stored definition (never to be run), or null.
    const ParticleEffect* GetDefinition(const std::wstring& effectName) const;

    // An empty resolver goes back to the definition map.
    void SetImageResolver(ImageResolver resolver) { imageResolver = std::move(resolver); }
    bool ResolveImage(const std::wstring& name, EffectImage& image) const;

private:
    std::map<std::wstring, std::unique_ptr<ParticleEffect>> definitions;
    ImageResolver imageResolver;
};

} // namespace TarnEngine
