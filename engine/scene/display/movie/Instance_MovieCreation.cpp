// The movie's creation family (from a definition, a class, a class name, empty, as a clone), the
// copy of a movie's state and children, and the lookups of children by name, prefix and path. See
// Instance_Movie.h.
#include "engine/scene/display/movie/Instance_Movie.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Base.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{


bool hasChildNamed(const Instance_Movie& movie, const std::wstring& name)
{
    for (const Instance_Base* child : movie.children)
        if (child->name == name)
            return true;
    return false;
}

// Whether `node` is `ancestor` or lies below it.
bool isWithin(const Instance_Base* node, const Instance_Base* ancestor)
{
    for (int depth = 0; node && depth < Instance_Base::MaxTreeDepth; ++depth)
    {
        if (node == ancestor)
            return true;
        node = node->parent.GetInstance();
    }
    return false;
}

} // namespace

// ---- Creation.

InstanceHandle Instance_Movie::CreateInstanceCore(Instance_Movie* parentMovie, const std::wstring& definition,
                                                  const std::wstring& instanceName, bool applyNow,
                                                  RClass* instanceClass, Instance_Base** created)
{
    if (created)
        *created = nullptr;
    if (!parentMovie || hasChildNamed(*parentMovie, instanceName) || !parentMovie->HasRoomBelow(1, instanceName))
        return {};
    const InstanceHandle parentHandle = parentMovie->handle;
    const bool parentRegistered = parentHandle.IsValid();

    Instance_Base* child = nullptr;
    if (!definition.empty())
    {
        const UserInterface* ui = UserInterface::Get();
        DefinitionMap* map = ui ? ui->GetDefinitionMap() : nullptr;
        Definition_Base* found = map ? map->FindDefinition(definition, -1) : nullptr;
        if (!found)
            return {};
        child = found->CreateInstance(instanceName, instanceClass);
    }
    else
    {
        if (!instanceClass)
        {
            const UserInterface* ui = UserInterface::Get();
            instanceClass = ui ? ui->GetDefaultInstanceClass() : Instance_Movie::StaticClass();
        }
        RObjectFactoryFn factory = instanceClass ? instanceClass->GetFactory() : nullptr;
        RObject* object = factory ? factory() : nullptr;
        child = RObjectCast<Instance_Base>(object);
        if (!child)
            RObject::DeleteSelf(object);
        else
            child->Initialize(instanceName);
    }
    if (!child)
        return {};
    // The definition's nugget scripts may have taken the name, or the parent, meanwhile.
    if ((parentRegistered && !parentHandle.IsValid()) || hasChildNamed(*parentMovie, instanceName) ||
        !parentMovie->HasRoomBelow(SubtreeLevels(*child), instanceName))
    {
        RObject::DeleteSelf(child);
        return {};
    }
    parentMovie->adoptChild(child);
    const InstanceHandle made = child->handle;
    if (applyNow && child->type == INSTANCE_MOVIE)
        startNewMovie(child, true);
    // The child lives at least until the parent's update ends, even when its first frame removed it.
    if (created)
        *created = child;
    return made;
}

InstanceHandle Instance_Movie::CreateChild(Instance_Movie* parentMovie, const std::wstring& definition,
                                           const std::wstring& instanceName, RClass* instanceClass)
{
    return CreateInstanceCore(parentMovie, definition, instanceName, true, instanceClass, nullptr);
}

InstanceHandle Instance_Movie::CreateChildFromDefault(Instance_Movie* parentMovie,
                                                      const std::wstring& instanceName)
{
    return CreateInstanceCore(parentMovie, L"", instanceName, true, nullptr, nullptr);
}

InstanceHandle Instance_Movie::CreateInstanceByClassName(Instance_Movie* parentMovie,
                                                         const std::wstring& definition,
                                                         const std::wstring& instanceName,
                                                         const std::wstring& className)
{
    RClass* found = className.empty() ? nullptr : RClass::FindByName(className);
    RClass* instanceClass = found && RObjectCast<RInstanceClass>(found) ? found : nullptr;
    return CreateChild(parentMovie, definition, instanceName, instanceClass);
}

void Instance_Movie::adoptChild(Instance_Base* child)
{
    child->parent = movieHandle;
    setSubtreeDepth(child);
    if (!(child->material & eMaterialNoAutoInherit))
        child->material = material & ~eMaterialNoAutoInherit;
    if (UserInterface* ui = UserInterface::Get())
        ui->RegisterInstance(child);
    if (child->type == INSTANCE_MOVIE)
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child); movie && movie->eventHandler)
            movie->eventHandler->OnCreated(movie->movieHandle);
    drawOrder.push_back(child);
    children.push_back(child);
    InvalidateMatrix(this, false);
}

// ---- Cloning.

InstanceHandle Instance_Movie::CloneInstance(Instance_Movie* parentMovie, const InstanceHandle& source,
                                             const std::wstring& newName)
{
    Instance_Base* original = source.GetInstance();
    if (!original)
        return {};
    const std::wstring definition = original->definitionName;
    Instance_Base* made = nullptr;
    const InstanceHandle copy =
        CreateInstanceCore(parentMovie, definition, newName, false, original->GetClass(), &made);
    // Creation runs nugget scripts: the source is asked for again.
    original = source.GetInstance();
    if (!made || !original)
        return copy;
    made->CopyFrom(*original);
    if (made->type == INSTANCE_MOVIE)
    {
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(made); movie && copy.IsValid())
        {
            if (const Instance_Movie* sourceMovie = RObjectCast<Instance_Movie>(source.GetInstance()))
                movie->timeChannel = sourceMovie->timeChannel;
            startNewMovie(movie, false);
        }
    }
    return copy;
}

void Instance_Movie::CopyFrom(const Instance_Base& source)
{
    Instance_Base::CopyFrom(source);
    const Instance_Movie* original = RObjectCast<Instance_Movie>(&source);
    if (!original || original == this)
        return;
    const InstanceHandle sourceHandle = original->handle;
    const bool sourceRegistered = sourceHandle.IsValid();
    const InstanceHandle self = handle;
    const bool registered = self.IsValid();
    frameMultiplier = original->frameMultiplier;
    playing = original->playing;
    paused = original->paused;
    eatingMouse = original->eatingMouse;
    reverse = original->reverse;
    frozen = original->frozen;
    SetFrame(original->requestedFrame);
    if ((registered && !self.IsValid()) || (sourceRegistered && !sourceHandle.IsValid()))
        return;

    // The source's children as they stand now; a clone made under the source itself (this movie)
    // or above it is left out, or the copy would go on copying itself.
    const std::vector<Instance_Base*> sourceChildren = original->children;
    const std::vector<Instance_Base*> sourceOrder = original->drawOrder;
    std::vector<std::pair<Instance_Base*, Instance_Base*>> counterparts; // (source child, own child)
    for (Instance_Base* sourceChild : sourceChildren)
    {
        if (isWithin(this, sourceChild))
            continue;
        if (sourceChild->timelineIndex != -1)
        {
            const auto match = std::find_if(children.begin(), children.end(), [&](const Instance_Base* own)
                                            { return own->timelineIndex == sourceChild->timelineIndex; });
            if (match == children.end())
                continue;
            Instance_Base* own = *match;
            counterparts.emplace_back(sourceChild, own);
            own->CopyFrom(*sourceChild);
        }
        else
        {
            Instance_Base* own = nullptr;
            const InstanceHandle cloned = CloneInstance(this, sourceChild->handle, sourceChild->name);
            if (cloned.IsValid())
                own = cloned.GetInstance();
            if (own)
                counterparts.emplace_back(sourceChild, own);
        }
        if ((registered && !self.IsValid()) || (sourceRegistered && !sourceHandle.IsValid()))
            return;
    }

    // The children with a counterpart take the source's drawing order among the places they hold;
    // the others keep their places. With a counterpart for every child this is the source's order.
    std::vector<size_t> places;
    for (size_t at = 0; at < drawOrder.size(); ++at)
        if (std::any_of(counterparts.begin(), counterparts.end(),
                        [&](const auto& pair) { return pair.second == drawOrder[at]; }))
            places.push_back(at);
    std::vector<Instance_Base*> ordered;
    for (Instance_Base* sourceChild : sourceOrder)
        for (const auto& [from, own] : counterparts)
            if (from == sourceChild && std::find(ordered.begin(), ordered.end(), own) == ordered.end())
                ordered.push_back(own);
    if (ordered.size() == places.size())
        for (size_t k = 0; k < places.size(); ++k)
            drawOrder[places[k]] = ordered[k];
}

// ---- Lookups.

InstanceHandle Instance_Movie::FindChildByPath(const std::wstring& path, size_t start)
{
    // Walked down in a loop: a path is text from scripts and may be long.
    Instance_Movie* movie = this;
    while (movie && start < path.size())
    {
        const size_t rest = path.size() - start;
        Instance_Movie* next = nullptr;
        for (Instance_Base* child : movie->children)
        {
            const std::wstring& name = child->name;
            if (name.size() > rest)
                continue;
            if (name.size() < rest && path[start + name.size()] != L'.')
                continue;
            if (path.compare(start, name.size(), name) != 0)
                continue;
            if (name.size() == rest)
                return child->handle;
            if (child->type != INSTANCE_MOVIE)
                continue;
            next = RObjectCast<Instance_Movie>(child);
            if (next)
            {
                start += name.size() + 1;
                break;
            }
        }
        // The first child that leads on decides; the others of that name are not tried.
        if (!next)
            return {};
        movie = next;
    }
    return {};
}

InstanceHandle Instance_Movie::FindChildByPath(const InstanceHandle& movie, const std::wstring& path)
{
    Instance_Movie* found = RObjectCast<Instance_Movie>(movie.AsMovie().GetInstance());
    return found ? found->FindChildByPath(path, 0) : InstanceHandle{};
}

InstanceHandle Instance_Movie::FindChildByName(const std::wstring& childName)
{
    for (Instance_Base* child : children)
        if (child->name == childName)
            return child->handle;
    for (Instance_Base* child : children)
    {
        if (child->type != INSTANCE_MOVIE)
            continue;
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
        {
            const InstanceHandle found = movie->FindChildByName(childName);
            if (found.IsValid())
                return found;
        }
    }
    return {};
}

InstanceHandle Instance_Movie::FindChildByPrefix(const std::wstring& prefix)
{
    for (Instance_Base* child : children)
        if (StartsWith(child->name, prefix))
            return child->handle;
    return {};
}

void Instance_Movie::CollectChildren(std::vector<InstanceHandle>& out, bool fromDrawOrder)
{
    out.clear();
    for (const Instance_Base* child : fromDrawOrder ? drawOrder : children)
        out.push_back(child->handle);
}

void Instance_Movie::CollectChildrenByPrefix(std::vector<InstanceHandle>& out, const std::wstring& prefix,
                                             bool ignoreCase)
{
    const std::wstring wanted = ignoreCase ? ToLower(prefix) : prefix;
    for (Instance_Base* child : children)
    {
        if (StartsWith(ignoreCase ? ToLower(child->name) : child->name, wanted))
            out.push_back(child->handle);
        if (child->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
                movie->CollectChildrenByPrefix(out, prefix, ignoreCase);
    }
}

void Instance_Movie::CollectChildrenByPartialName(std::vector<InstanceHandle>& out, const std::wstring& text)
{
    const std::wstring wanted = ToLower(text);
    // Depth first with a stack of its own (children still to visit, in reverse), as deep as the tree is.
    std::vector<Instance_Base*> pending(children.rbegin(), children.rend());
    while (!pending.empty())
    {
        Instance_Base* child = pending.back();
        pending.pop_back();
        if (ToLower(child->name).find(wanted) != std::wstring::npos)
            out.push_back(child->handle);
        if (child->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
                pending.insert(pending.end(), movie->children.rbegin(), movie->children.rend());
    }
}

} // namespace TarnEngine
