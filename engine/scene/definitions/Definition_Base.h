// Definitions: the read-only templates from which display instances are made. Every screen, widget,
// board, item, picture and animation is one, loaded from the definition files of the libraries into
// the user interface's definition map (DefinitionMap.h). There are two kinds: movie definitions
// (Definition_Movie.h) and image definitions (Definition_Image.h).
//
// Instances never point at their definition: they keep its name and list index and look it up in
// the map again, so a definition that is removed makes those lookups fail instead of dangling.
#pragma once

#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class DefinitionMap;
class Instance_Base;
class RClass;
class XmlNode;

class Definition_Base
{
public:
    explicit Definition_Base(DefinitionMap* owner) : ownerMap(owner) {}
    virtual ~Definition_Base();
    Definition_Base(const Definition_Base&) = delete;
    Definition_Base& operator=(const Definition_Base&) = delete;

    // A new, initialised instance of the definition, not yet registered nor placed in the tree; the
    // caller does both. Null when the instance's class cannot be made.
    virtual Instance_Base* CreateInstance(const std::wstring& instanceName, RClass* classOverride) = 0;
    // Loads the children of a "Nuggets" element: with an empty instance name into the definition's
    // own list, otherwise into the list of the instance entry of that name (movies only).
    virtual void AddNuggets(const XmlNode& nuggetsElement, const std::wstring& instanceName);
    // Deletes the nuggets of the definition (and of its instance entries); class overrides stay.
    virtual void ClearNuggets();
    // Reads the definition from its "Definition" element; false when the element is unusable.
    virtual bool Load(const XmlNode& definitionElement) = 0;

    std::wstring GetName() const { return name; }

    uint32_t isMovie = 0;
    std::wstring name;
    uint32_t listIndex = 0;
    DefinitionMap* ownerMap;
    // The definition's own nuggets and the class they ask for.
    NuggetList nuggets;
};

} // namespace TarnEngine
