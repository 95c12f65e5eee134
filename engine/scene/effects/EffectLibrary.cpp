// Effect definitions by name; see EffectLibrary.h.
#include "engine/scene/effects/EffectLibrary.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/ui/UserInterface.h"

namespace TarnEngine
{

namespace
{

EffectLibrary* g_effectLibrary = nullptr;

// The picture of the image definition of that name in the user interface's definition map.
bool resolveFromDefinitions(const std::wstring& name, EffectImage& image)
{
    const UserInterface* ui = UserInterface::Get();
    const DefinitionMap* map = ui ? ui->GetDefinitionMap() : nullptr;
    auto* definition = map ? dynamic_cast<Definition_Image*>(map->FindDefinition(name)) : nullptr;
    if (!definition)
        return false;
    uint32_t width = 0, height = 0;
    float uv[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    definition->GetPicture(image.texture, width, height, image.placement, uv);
    image.rect = SpriteRect{uv[0], uv[1], uv[2], uv[3]};
    return true;
}

} // namespace

EffectLibrary::EffectLibrary()
{
    g_effectLibrary = this;
}

EffectLibrary::~EffectLibrary()
{
    if (g_effectLibrary == this)
        g_effectLibrary = nullptr;
}

EffectLibrary* EffectLibrary::Get()
{
    return g_effectLibrary;
}

bool EffectLibrary::Load(const std::wstring& effectName)
{
    const std::wstring fileName = L"effects\\" + effectName + L".xml";
    // The cached copy goes first, so an effect file is always read anew.
    UnloadXmlDocument(fileName);
    const XmlNode* root = LoadXmlDocument(fileName);
    if (!root)
        return false;
    // The document's root element is the effect; a file that wraps it in
    // another element is read as well.
    const XmlNode* element = root->GetName() == L"ParticleEffect" ? root : root->GetChild(L"ParticleEffect");
    if (!element)
        return false;
    auto definition = std::make_unique<ParticleEffect>();
    if (!definition->LoadTemplates(*element))
        return false;
    definitions[ToLower(effectName)] = std::move(definition);
    return true;
}

bool EffectLibrary::Contains(const std::wstring& effectName) const
{
    return definitions.count(ToLower(effectName)) != 0;
}

std::unique_ptr<ParticleEffect> EffectLibrary::CreateEffect(const std::wstring& effectName) const
{
    const ParticleEffect* definition = GetDefinition(effectName);
    return definition ? definition->Clone() : nullptr;
}

const ParticleEffect* EffectLibrary::GetDefinition(const std::wstring& effectName) const
{
    const auto found = definitions.find(ToLower(effectName));
    return found == definitions.end() ? nullptr : found->second.get();
}

bool EffectLibrary::ResolveImage(const std::wstring& name, EffectImage& image) const
{
    return imageResolver ? imageResolver(name, image) : resolveFromDefinitions(name, image);
}

} // namespace TarnEngine
