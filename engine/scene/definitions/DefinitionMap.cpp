// The definition map and the library loaders; see DefinitionMap.h.
#include "engine/scene/definitions/DefinitionMap.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/diagnostics/StartupProblem.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/definitions/nuggets/RSoundEffectNugget.h"

namespace TarnEngine
{

DefinitionMap::DefinitionMap() = default;
namespace
{
uint32_t g_removals = 0;
} // namespace

DefinitionMap::~DefinitionMap()
{
    ++g_removals;
}

uint32_t DefinitionMap::GetRemovalCount()
{
    return g_removals;
}

Definition_Base* DefinitionMap::FindDefinition(const std::wstring& name, int32_t index) const
{
    if (name.empty())
        return nullptr;
    const auto found = definitions.find(name);
    if (found == definitions.end() || found->second.empty())
        return nullptr;
    const List& list = found->second;
    if (index == -1)
        return list.back().get();
    if (index < 0 || size_t(index) >= list.size())
        return nullptr;
    return list[size_t(index)].get();
}

bool DefinitionMap::Append(std::unique_ptr<Definition_Base> definition)
{
    List& list = definitions[definition->name];
    const bool isNew = list.empty();
    definition->listIndex = uint32_t(list.size());
    list.push_back(std::move(definition));
    return isNew;
}

bool DefinitionMap::AddImageDefinition(const std::wstring& name, const std::wstring& file)
{
    if (name.empty())
        return false;
    auto image = std::make_unique<Definition_Image>(this);
    image->name = name;
    image->source = file;
    // Its list index is its place in the list like any other definition's, so that an instance of
    // it finds it again when the name already had definitions.
    Append(std::move(image));
    return true;
}

void DefinitionMap::RemoveDefinitions(const std::wstring& name)
{
    if (!name.empty() && definitions.erase(name))
        ++g_removals;
}

bool DefinitionMap::FindEventSound(const std::wstring& definitionName, uint32_t definitionIndex,
                                   const std::wstring& eventName, std::wstring& soundName) const
{
    const Definition_Base* definition = FindDefinition(definitionName, int32_t(definitionIndex));
    if (!definition)
        return false;
    for (const std::unique_ptr<RNuggetBase>& nugget : definition->nuggets.nuggets)
    {
        const RSoundEffectNugget* sound = RObjectCast<RSoundEffectNugget>(nugget.get());
        if (sound && sound->eventName == eventName)
        {
            soundName = sound->soundName;
            return true;
        }
    }
    return false;
}

namespace
{

// What was wrong with a definition element that CreateDefinition refused.
std::wstring describeRefusal(const XmlNode& element)
{
    const std::wstring* type = element.FindAttribute(L"type");
    const std::wstring* name = element.FindAttribute(L"name");
    if (!name)
        return L"a definition has no name";
    if (!type)
        return L"the definition \"" + *name + L"\" has no type";
    if (!EqualsNoCase(*type, L"movie") && !EqualsNoCase(*type, L"image"))
        return L"the definition \"" + *name + L"\" is of the unknown type \"" + *type + L"\"";
    return L"the " + *type + L" definition \"" + *name + L"\" is damaged (a required attribute is missing or wrong)";
}

const wchar_t* kindOf(const Definition_Base& definition)
{
    return definition.isMovie ? L"movie" : L"image";
}

// Images and movies share one name table, so a definition of the other kind under a name hides the
// one before it from every lookup by name: most likely a content mistake, which the log names.
void reportKindCollision(const std::wstring& file, const Definition_Base& later, const Definition_Base& earlier)
{
    if (earlier.isMovie == later.isMovie)
        return;
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogLibrary, __FILE__, __LINE__,
                    L"%s: the %s definition \"%s\" hides the %s definition of the same name",
                    file.empty() ? std::wstring(L"(definition file)") : file, std::wstring(kindOf(later)),
                    later.name, std::wstring(kindOf(earlier)));
}

} // namespace

std::unique_ptr<Definition_Base> CreateDefinition(const XmlNode& element, DefinitionMap& map)
{
    static const std::wstring kType = L"type";
    static const std::wstring kName = L"name";
    const std::wstring* type = element.FindAttribute(kType);
    const std::wstring* name = element.FindAttribute(kName);
    if (!type || !name)
        return nullptr;
    std::unique_ptr<Definition_Base> definition;
    if (EqualsNoCase(*type, L"movie"))
        definition = std::make_unique<Definition_Movie>(&map);
    else if (EqualsNoCase(*type, L"image"))
        definition = std::make_unique<Definition_Image>(&map);
    else
        return nullptr;
    definition->name = *name;
    if (!definition->Load(element))
        return nullptr;
    return definition;
}

bool LoadDefinitionFile(const XmlNode& document, DefinitionMap& map, uint32_t& added, uint32_t& appended)
{
    static const std::wstring kDefinition = L"Definition";
    // Gathered first, so that a failing file leaves the map untouched; a name that comes again in
    // the same file replaces (and frees) the earlier definition.
    std::map<std::wstring, std::unique_ptr<Definition_Base>> gathered;
    // Replaced in the file with one of the other kind: reported once the file has loaded.
    std::vector<std::unique_ptr<Definition_Base>> hiddenInFile;
    for (const std::unique_ptr<XmlNode>& child : document.children)
    {
        if (child->name != kDefinition)
            continue;
        std::unique_ptr<Definition_Base> definition = CreateDefinition(*child, map);
        if (!definition)
        {
            NoteProblem(document.sourceName + L": " + describeRefusal(*child));
            return false;
        }
        std::unique_ptr<Definition_Base>& slot = gathered[definition->name];
        if (slot && slot->isMovie != definition->isMovie)
            hiddenInFile.push_back(std::move(slot));
        slot = std::move(definition);
    }
    for (const std::unique_ptr<Definition_Base>& hidden : hiddenInFile)
        reportKindCollision(document.sourceName, *gathered.at(hidden->name), *hidden);
    hiddenInFile.clear();
    for (auto& [name, definition] : gathered)
    {
        if (const Definition_Base* earlier = map.FindDefinition(name, -1))
            reportKindCollision(document.sourceName, *definition, *earlier);
        if (map.Append(std::move(definition)))
            ++added;
        else
            ++appended;
    }
    return true;
}

bool LoadLibraryXml(const XmlNode* libraryList, DefinitionMap& map, IEngineHost* engine,
                    const XmlNode* metaDocument, bool validate)
{
    // The documents come through the running engine's document cache.
    (void)engine;
    static const std::wstring kLibrary = L"library";
    static const std::wstring kFile = L"file";
    if (libraryList)
    {
        uint32_t added = 0;
        uint32_t appended = 0;
        for (const std::unique_ptr<XmlNode>& child : libraryList->children)
        {
            if (child->name != kLibrary)
                continue;
            const std::wstring* file = child->FindAttribute(kFile);
            if (!file)
            {
                NoteProblem(libraryList->sourceName + L": a library names no file");
                return false;
            }
            // A library that names the list or the meta file itself gets the tree already read: dropping
            // it from the cache would free the documents this walk is reading.
            const bool inUse = *file == libraryList->sourceName || (metaDocument && *file == metaDocument->sourceName);
            if (!inUse)
                UnloadXmlDocument(*file);
            const XmlNode* document = LoadXmlDocument(*file);
            if (!document)
            {
                NoteProblem(*file + L" cannot be read"); // unless the reader named its fault already
                return false;
            }
            const bool loaded = LoadDefinitionFile(*document, map, added, appended);
            // The definitions hold everything the file said; its tree is not kept.
            if (!inUse)
                UnloadXmlDocument(*file);
            if (!loaded)
                return false;
        }
        if (validate && !ValidateReferences(map))
        {
            NoteProblem(libraryList->sourceName + L": a definition refers to one that no library holds");
            return false;
        }
    }
    if (metaDocument)
        LoadDefinitionsXml(*metaDocument, map);
    return true;
}

void LoadDefinitionsXml(const XmlNode& metaDocument, DefinitionMap& map)
{
    static const std::wstring kDefinition = L"Definition";
    static const std::wstring kInstance = L"Instance";
    static const std::wstring kNuggets = L"Nuggets";
    static const std::wstring kName = L"name";
    for (const std::unique_ptr<XmlNode>& child : metaDocument.children)
    {
        if (child->name != kDefinition)
            continue;
        const std::wstring* name = child->FindAttribute(kName);
        Definition_Base* definition = name ? map.FindDefinition(*name, -1) : nullptr;
        if (!definition)
            continue;
        if (const XmlNode* nuggets = child->GetChild(kNuggets))
            definition->AddNuggets(*nuggets, L"");
        for (const std::unique_ptr<XmlNode>& instance : child->children)
        {
            if (instance->name != kInstance)
                continue;
            const std::wstring* instanceName = instance->FindAttribute(kName);
            const XmlNode* nuggets = instance->GetChild(kNuggets);
            if (instanceName && nuggets)
                definition->AddNuggets(*nuggets, *instanceName);
        }
    }
}

bool ValidateReferences(const DefinitionMap& map)
{
    bool valid = true;
    for (const auto& [name, list] : map.GetDefinitions())
    {
        const auto* movie = list.empty() ? nullptr : dynamic_cast<const Definition_Movie*>(list.back().get());
        if (!movie)
            continue;
        for (const InstanceEntry& entry : movie->entries)
            if (entry.kind == eEntryLibrary && !map.HasName(entry.source))
                valid = false;
    }
    return valid;
}

} // namespace TarnEngine
