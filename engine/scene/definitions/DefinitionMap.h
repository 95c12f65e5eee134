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
