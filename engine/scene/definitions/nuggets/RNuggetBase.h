// Nuggets: small data-driven parts that a definition, or one instance entry of a movie definition,
// carries and hands on to every instance made from it (a material, the class to make the instance
// as, a Lua class, an image's hit test, a video, an event sound, a particle effect). The library
// meta files declare them as the children of a "Nuggets" element; each child's element name is the
// nugget's class name without its leading "R", so the loader makes them through the class registry
// and content can name nothing but registered nugget classes.
//
// A nugget is loaded once and never changed by the instances it is applied to: Apply runs when an
// instance is made (definition first, then instance entry), PostApply once a timeline child is in
// place in its parent.
#pragma once

#include "engine/scene/classes/RObject.h"

#include <memory>
#include <vector>

namespace TarnEngine
{

class Instance_Base;
class XmlNode;

class RNuggetBase : public RObject
{
    TARN_RCLASS(RNuggetBase)
public:
    // The instance class that the nugget asks for, or null.
    virtual RClass* GetClassOverride() const { return nullptr; }
    // Reads the nugget's settings from its element.
    virtual bool Load(const XmlNode& element) = 0;
    virtual void Apply(Instance_Base* instance) { (void)instance; }
    virtual void PostApply(Instance_Base* instance) { (void)instance; }
};

// The nuggets of a definition or of an instance entry, in loading order, and the instance class
// that the first of them to ask for one named.
struct NuggetList
{
    std::vector<std::unique_ptr<RNuggetBase>> nuggets;
    RClass* classOverride = nullptr;
};

// Loads every child of a "Nuggets" element that names a nugget class into the list; false only
// without an element. Children that name no nugget class are passed over.
bool LoadNuggets(const XmlNode* element, NuggetList& list);
void ApplyNuggets(const NuggetList& list, Instance_Base* instance);
void PostApplyNuggets(const NuggetList& list, Instance_Base* instance);
// Deletes the nuggets; the class override stays as it is.
void ClearNuggets(NuggetList& list);
// ClearNuggets, and the list's storage is given back.
void DestroyNuggets(NuggetList& list);

// Enters the records of the nugget classes in the class registry (the engine's registrations run it).
void RegisterNuggetClasses();

} // namespace TarnEngine
