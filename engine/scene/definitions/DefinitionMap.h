// The map of loaded definitions that the user interface holds, and the loaders that fill it from a
// content group's library list ("libraries.xml"), the definition files it names and the meta files
// ("libraries_meta.xml", "libraries_metaex.xml") that attach nuggets once every definition exists.
//
// Names are compared exactly. A name keeps every definition loaded under it, in loading order: a
// file loaded later overrides a name for lookups of the last definition while the older ones stay
// reachable by index. Images and movies share the names: a definition of the other kind hides the
// earlier one just the same, and the loader logs it (file and name), since it is most likely a
// content mistake. Loading only adds; a definition file is loaded whole or not at all. Loading
// failures are answered with false and nothing else: what a failed library means is the caller's
// decision.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class Definition_Base;
class IEngineHost;
class XmlNode;

class DefinitionMap
{
public:
    using List = std::vector<std::unique_ptr<Definition_Base>>;

    DefinitionMap();
    ~DefinitionMap();
    DefinitionMap(const DefinitionMap&) = delete;
    DefinitionMap& operator=(const DefinitionMap&) = delete;

    // The definition at that position of the name's list; -1 is the last (the one loaded most
    // recently). Null for an empty or unknown name or a position beyond the list.
    Definition_Base* FindDefinition(const std::wstring& name, int32_t index = -1) const;
    bool HasName(const std::wstring& name) const { return definitions.count(name) != 0; }

    // Appends the definition to its name's list (the list is made for a new name) and sets its
    // list index; true when the name was new.
    bool Append(std::unique_ptr<Definition_Base> definition);

    // The splash screens' own images: a new image definition of the file under the name, appended
    // without loading anything; false for an empty name.
    bool AddImageDefinition(const std::wstring& name, const std::wstring& file);
    // Deletes every definition of the name and forgets the name.
    void RemoveDefinitions(const std::wstring& name);
    // Grows whenever any map deletes definitions (a removal or a map's end): a definition pointer
    // kept across frames is still good while the count is the one it was found under.
    static uint32_t GetRemovalCount();

    // The sound that the definition (name, list index) names for an event through its sound-effect
    // nuggets: the first such nugget whose event name is the given one. False when the map holds no
    // such definition or the definition no such nugget; the display tree's event sounds ask here.
    bool FindEventSound(const std::wstring& definitionName, uint32_t definitionIndex,
                        const std::wstring& eventName, std::wstring& soundName) const;

    const std::map<std::wstring, List>& GetDefinitions() const { return definitions; }

private:
    std::map<std::wstring, List> definitions;
};

// A new definition of the element's "type" ("movie" or "image", case ignored) and "name", loaded;
// null when either attribute is missing, the type is another, or the definition does not load.
std::unique_ptr<Definition_Base> CreateDefinition(const XmlNode& definitionElement, DefinitionMap& map);

// Loads every "Definition" child of the document's root into the map, all or nothing: false, and
// the map as it was, when one of them fails. A name defined twice in the file keeps the later one.
// added counts the new names, appended the definitions added to names the map already had.
bool LoadDefinitionFile(const XmlNode& document, DefinitionMap& map, uint32_t& added, uint32_t& appended);

// Loads the definition files that the "library" children of the list name ("file"), in order,
// each read afresh through the engine's XML document cache; stops with false at the first that is
// unnamed, unreadable or fails (the files before it stay loaded). With validate set, the movies must
// then name only definitions the map holds. Only when everything succeeded is the meta document
// applied. Without a list only the meta document is applied.
bool LoadLibraryXml(const XmlNode* libraryList, DefinitionMap& map, IEngineHost* engine,
                    const XmlNode* metaDocument, bool validate);

// Applies a meta file: the "Nuggets" of each "Definition" (by "name") go to the last definition of
// that name, those of its "Instance" children (by "name") to the movie's instance entry of that
// name (case ignored). Unknown names are passed over.
void LoadDefinitionsXml(const XmlNode& metaDocument, DefinitionMap& map);

// True when no movie (the last definition of each name) has a library entry naming a definition
// that the map does not hold.
bool ValidateReferences(const DefinitionMap& map);

} // namespace TarnEngine
