// The map of loaded definitions that the user interface holds as its default
// definition library, and the loaders that fill it from a content group's
// library list ("libraries.xml") and meta files. The definition classes come
// with the display tree; until then the loaders check that every listed
// definition file is there and parses, and the map records their names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TarnEngine
{

class EngineManager;
class XmlNode;

class DefinitionMap
{
public:
    // The sound that the definition (name, list index) names for an event through its sound-effect
    // nuggets: the first such nugget whose event name is the given one. False when the map holds no
    // such definition or the definition no such nugget; the display tree's event sounds ask here.
    // The map records no definitions until the definition classes join it, so for now it has none.
    bool FindEventSound(const std::wstring& definitionName, uint32_t definitionIndex,
                        const std::wstring& eventName, std::wstring& soundName) const;

    // The definition files loaded into the map, in loading order.
    const std::vector<std::wstring>& GetLoadedFiles() const { return loadedFiles; }
    void AddLoadedFile(const std::wstring& file) { loadedFiles.push_back(file); }

private:
    std::vector<std::wstring> loadedFiles;
};

// Loads every definition file that a "library" child of the list names with its "file" attribute;
// false when one of them is missing or does not parse (the others are still loaded).
bool LoadLibraryXml(const XmlNode& libraryList, DefinitionMap& map, EngineManager* engine,
                    const XmlNode* metaDocument, uint32_t validate);
// Applies a meta file to the definitions of the map.
void LoadDefinitionsXml(const XmlNode& metaDocument, DefinitionMap& map);

} // namespace TarnEngine
