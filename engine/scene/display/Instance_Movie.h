// The movie: the container node of the display tree, from which every widget, screen, board and
// item derives. It owns its children (`children`, in creation order) and keeps them in drawing order
// as well (`drawOrder`, back to front); a removed child is unloaded at once and waits in
// `pendingDeletes` until the movie's update is over, so that no walk of the lists or caller on the
// stack holds a freed instance.
//
// What is here is the part the rest of the display tree stands on: the playback state that
// initialisation resets, the child lists with creation, adoption and removal, the extent of the
// children, passing material, colour and filtering down, unloading and destruction, the event
// handler, and the class record with its script class. The timeline (update, frames, labels, frame
// actions, key entries, tweens, the notification queue's dispatch), drawing, lookups by name or
// path, cloning, the script methods and the console commands are completed by the movie work.
#pragma once

#include "engine/scene/display/Instance_Base.h"

#include <deque>
#include <optional>

namespace TarnEngine
{

class IInstanceEventHandler;
class RClass;

class Instance_Movie : public Instance_Base
{
    TARN_RCLASS(Instance_Movie)
    TARN_LUA_CLASS("Instance_Movie")
public:
    // Notifications waiting for the event handler.
    enum class EventKind : uint32_t
    {
        Load,
        LabelHit,
        FrameChanged,
        Update,
        TimelineStop,
    };
    struct QueuedEvent
    {
        EventKind kind = EventKind::Load;
        std::optional<std::wstring> text;
    };

    Instance_Movie();
    ~Instance_Movie() override;

    void Initialize(const std::wstring& instanceName) override;
    bool IsReady() override;
    void SetMaterial(uint32_t flags) override;
    void SetColor(uint32_t colour) override;
    void SetAllowFiltering(bool allow) override;
    // The union of the children's corners; effects never count, and no children gives the origin.
    void ComputeBounds() override;
    void Unload() override;

    // ---- Creation. Every path ends in CreateInstanceCore: a child named like an existing child, a
    // definition that the map does not hold, or a class that cannot be made gives the zero handle.
    static InstanceHandle CreateInstanceCore(Instance_Movie* parentMovie, const std::wstring& definition,
                                             const std::wstring& instanceName, bool applyNow,
                                             RClass* instanceClass, Instance_Base** created);
    static InstanceHandle CreateChild(Instance_Movie* parentMovie, const std::wstring& definition,
                                      const std::wstring& instanceName, RClass* instanceClass);
    // An empty container of the user interface's default instance class.
    static InstanceHandle CreateChildFromDefault(Instance_Movie* parentMovie,
                                                 const std::wstring& instanceName);

    // ---- Removal. The child is unloaded, leaves both lists and waits in pendingDeletes.
    void RemoveAndQueueDelete(Instance_Base* child);
    // Removes the first child of that name unless it is a timeline child of a movie that is not frozen.
    void RemoveChild(const std::wstring& childName);
    // Drops the event handler of this movie and of every movie below it.
    void ClearEventHandlersRecursive();
    // Deletes what waits in pendingDeletes, last first; a deletion may queue more.
    void DeletePending();

    // Replaces the handler (deleting an owned one); a null handler also drops queued notifications.
    void SetEventHandler(IInstanceEventHandler* handler);
    IInstanceEventHandler* GetEventHandler() const { return eventHandler; }

    static void RegisterLua(lua_State* state);

    // ---- Data: the children, then the playback state.
    InstanceHandle movieHandle; // own handle as a movie handle, set by registration
    std::vector<Instance_Base*> children;
    std::vector<Instance_Base*> pendingDeletes;
    std::vector<Instance_Base*> drawOrder; // not owning
    int32_t timeChannel = -1;              // -1: the delta handed down by the parent
    uint32_t currentFrame = 0xFFFFFFFF;
    uint32_t requestedFrame = 0;
    float frameFraction = 0.0f;
    float frameMultiplier = 1.0f;
    bool playing = false;
    bool paused = false;
    bool reverse = false;
    bool frozen = false; // timeline children may be removed by name
    IInstanceEventHandler* eventHandler = nullptr;
    std::deque<QueuedEvent> eventQueue;
    bool handlerLoadPending = false;
    bool scriptLoadPending = false;
    bool ownsEventHandler = true;
    bool onUpdateEnabled = false;
    bool eatingMouse = false;
    bool frameChangeEvents = true;
    // From the definition that made the movie: its creation hook's result, and the free text of the
    // instance entry that made it a timeline child.
    uint32_t creationValue = 0;
    std::wstring userData;

private:
    // Parent link, inherited material, registration, the creation notice and both lists.
    void adoptChild(Instance_Base* child);
};

} // namespace TarnEngine
