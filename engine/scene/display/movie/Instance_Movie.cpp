// The movie's child lists, removal, extent, passing down, unloading and destruction; see
// Instance_Movie.h.
#include "engine/scene/display/movie/Instance_Movie.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Instance_Movie, Instance_Base, RObjectFactory<Instance_Movie>, L"Movie",
                              &Instance_Movie::RegisterLua)

bool IInstanceEventHandler::IsEatingMouse(InstanceHandle instance)
{
    const Instance_Movie* movie = RObjectCast<Instance_Movie>(instance.GetInstance());
    return movie && movie->eatingMouse;
}

namespace
{

// Erases the last occurrence, as the lists are searched from their end.
bool eraseLast(std::vector<Instance_Base*>& list, Instance_Base* item)
{
    const auto found = std::find(list.rbegin(), list.rend(), item);
    if (found == list.rend())
        return false;
    list.erase(std::next(found).base());
    return true;
}

} // namespace

Instance_Movie::Instance_Movie()
{
    type = INSTANCE_MOVIE;
}

Instance_Movie::~Instance_Movie()
{
    // Effects go the way a removal takes them; everything else is deleted in creation order.
    DeleteAllParticles();
    std::vector<Instance_Base*> owned;
    owned.swap(children);
    drawOrder.clear();
    for (Instance_Base* child : owned)
        RObject::DeleteSelf(child);
    while (!pendingDeletes.empty())
        DeletePending();
    if (ownsEventHandler)
        delete eventHandler;
    eventHandler = nullptr;
    eventQueue.clear();
}

void Instance_Movie::Initialize(const std::wstring& instanceName)
{
    Instance_Base::Initialize(instanceName);
    type = INSTANCE_MOVIE;
    definitionIndex = 0;
    timeChannel = -1;
    currentFrame = 0xFFFFFFFF;
    requestedFrame = 0;
    frameFraction = 0.0f;
    frameMultiplier = 1.0f;
    playing = paused = reverse = frozen = false;
    if (ownsEventHandler)
        delete eventHandler;
    eventHandler = nullptr;
    eventQueue.clear();
    handlerLoadPending = scriptLoadPending = false;
    ownsEventHandler = true;
    onUpdateEnabled = false;
    eatingMouse = false;
    frameChangeEvents = true;
    // Scripts reach the root of the display tree as the global "root".
    if (instanceName == L"root")
    {
        lua_State* state = LuaBinding::GetState();
        if (state && (HasTable() || CreateLuaTable()) && PushTable())
            lua_setglobal(state, "root");
    }
}

// ---- Depth. Walks of the tree run down by recursion (update, drawing, hit tests, destruction)
// and up by bounded loops; both are safe only while no chain is longer than MaxTreeDepth.

bool Instance_Movie::HasRoomBelow(uint32_t levels, const std::wstring& childName) const
{
    if (uint64_t(treeDepth) + levels < uint64_t(MaxTreeDepth))
        return true;
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogInstances, __FILE__, __LINE__,
                    L"%s: the child \"%s\" is refused: the display tree may be at most %d levels deep",
                    name.c_str(), childName.c_str(), MaxTreeDepth);
    return false;
}

uint32_t Instance_Movie::SubtreeLevels(Instance_Base& top)
{
    uint32_t deepest = 0;
    std::vector<std::pair<Instance_Base*, uint32_t>> open{{&top, 1u}};
    while (!open.empty())
    {
        const auto [node, level] = open.back();
        open.pop_back();
        deepest = std::max(deepest, level);
        if (level > uint32_t(MaxTreeDepth))
            return level;
        if (const Instance_Movie* movie = node->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(node) : nullptr)
            for (Instance_Base* child : movie->children)
                open.emplace_back(child, level + 1);
    }
    return deepest;
}

void Instance_Movie::setSubtreeDepth(Instance_Base* child) const
{
    std::vector<std::pair<Instance_Base*, uint32_t>> open{{child, treeDepth + 1}};
    while (!open.empty())
    {
        const auto [node, depth] = open.back();
        open.pop_back();
        node->treeDepth = depth;
        if (const Instance_Movie* movie = node->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(node) : nullptr)
            for (Instance_Base* below : movie->children)
                open.emplace_back(below, depth + 1);
    }
}

void Instance_Movie::SetMaterial(uint32_t flags)
{
    Instance_Base::SetMaterial(flags);
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->SetMaterial(flags);
}

void Instance_Movie::SetColor(uint32_t colour)
{
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->SetColor(colour);
}

void Instance_Movie::SetAllowFiltering(bool allow)
{
    Instance_Base::SetAllowFiltering(allow);
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->SetAllowFiltering(allow);
}

void Instance_Movie::ComputeBounds()
{
    if (children.empty())
    {
        for (Point& corner : corners)
            corner = {0.0f, 0.0f};
        return;
    }
    float minX = 1000000.0f, minY = 1000000.0f, maxX = -1000000.0f, maxY = -1000000.0f;
    for (Instance_Base* child : children)
    {
        if (child->type == INSTANCE_EFFECT)
            continue;
        child->UpdateCorners();
        for (const Point& corner : child->corners)
        {
            minX = std::min(minX, corner.x);
            minY = std::min(minY, corner.y);
            maxX = std::max(maxX, corner.x);
            maxY = std::max(maxY, corner.y);
        }
    }
    corners[0] = {minX, minY};
    corners[1] = {minX, maxY};
    corners[2] = {maxX, minY};
    corners[3] = {maxX, maxY};
}

void Instance_Movie::Unload()
{
    if (eventHandler)
        eventHandler->OnUnload(movieHandle);
    if (Instance_Base* self = movieHandle.GetInstance())
        LuaRaiseEvent(*self, LuaBinding::GetState(), "OnUnload", [](lua_State*) { return 0; });
    // A handler or script may change the list; it is read afresh each step.
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->Unload();
    Instance_Base::Unload();
}

// ---- Removal.

void Instance_Movie::RemoveAndQueueDelete(Instance_Base* child)
{
    if (!child || std::find(children.begin(), children.end(), child) == children.end())
        return;
    child->Unload();
    // Unloading may have run scripts that took the child out already.
    if (!eraseLast(children, child))
        return;
    eraseLast(drawOrder, child);
    pendingDeletes.push_back(child);
    InvalidateMatrix(this, false);
}

void Instance_Movie::RemoveChild(const std::wstring& childName)
{
    const auto found = std::find_if(children.begin(), children.end(),
                                    [&](const Instance_Base* child) { return child->name == childName; });
    if (found == children.end())
        return;
    Instance_Base* child = *found;
    const Instance_Movie* owner = RObjectCast<Instance_Movie>(child->parent.GetInstance());
    if ((owner && owner->frozen) || child->timelineIndex == -1)
        RemoveAndQueueDelete(child);
}

void Instance_Movie::ClearEventHandlersRecursive()
{
    SetEventHandler(nullptr);
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i]->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(children[i]))
                movie->ClearEventHandlersRecursive();
}

void Instance_Movie::DeleteAllParticles()
{
    for (size_t i = children.size(); i-- > 0;)
        if (i < children.size() && children[i]->type == INSTANCE_EFFECT)
            RemoveAndQueueDelete(children[i]);
}

void Instance_Movie::DeletePending()
{
    while (!pendingDeletes.empty())
    {
        std::vector<Instance_Base*> taken;
        taken.swap(pendingDeletes);
        for (size_t i = taken.size(); i-- > 0;)
            RObject::DeleteSelf(taken[i]);
    }
}

} // namespace TarnEngine
