// The movie: the animated container node of the display tree, from which every widget, screen,
// board and item derives. It plays the timeline of its movie definition (frames at the
// definition's rate, frame actions, labels, the children that the timeline creates and removes by
// frame, key entries and tweens), owns its children (`children`, in creation order) and keeps them
// in drawing order as well (`drawOrder`, back to front). A removed child is unloaded at once and
// waits in `pendingDeletes` until the movie's update is over, so that no walk of the lists or
// caller on the stack holds a freed instance.
//
// The work is split by theme: Instance_Movie.cpp (child lists, removal, extent, passing down,
// unloading, destruction), Instance_MovieTimeline.cpp (update, frame stepping, frame application,
// key entries, tweens, notifications, labels), Instance_MovieCreation.cpp (the creation family,
// cloning, lookups), Instance_MovieDraw.cpp, Instance_MovieLua.cpp (the script class) and
// Instance_MovieCommands.cpp (console commands and inspection).
//
// Depends on the user interface (handle table, definition map, default class) and the definitions.
#pragma once

#include "engine/scene/display/node/Instance_Base.h"

#include <deque>
#include <optional>

namespace TarnEngine
{

class Definition_Movie;
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

    // Frames that one update steps at most. Far above any real rate (60 fps at the longest frame
    // delta is 15); beyond it the rest of the time is dropped, so a wild rate or multiplier cannot
    // hang the frame.
    static constexpr uint32_t MaxFrameStepsPerUpdate = 256;
    // How deep gotos may chain inside one frame application; a cycle of gotos stops here.
    static constexpr uint32_t MaxGotoDepth = 32;

    Instance_Movie();
    ~Instance_Movie() override;

    // ---- Operations of Instance_Base.
    void Initialize(const std::wstring& instanceName) override;
    void Inspect() override;
    bool IsReady() override;
    void SetMaterial(uint32_t flags) override;
    void SetColor(uint32_t colour) override;
    void SetAllowFiltering(bool allow) override;
    void Draw(const Matrix3& parentMatrix, float parentAlpha) override;
    void ExecuteCommand(const std::vector<std::wstring>& arguments) override;
    // The union of the children's corners; effects never count, and no children gives the origin.
    void ComputeBounds() override;
    void Unload() override;
    void CopyFrom(const Instance_Base& source) override;

    // ---- Operations the movie adds.
    // Native per-frame work of subclasses, at the start of every effective update.
    virtual void OnFrameUpdate(float dt) { (void)dt; }
    virtual void SetPlayingRecursive(bool on);

    // ---- Playback.
    // The per-frame step of the movie and everything below it.
    void Update(float dt);
    void SetFrame(uint32_t frame);
    // Applies requestedFrame: timeline children, frame action, events, key entries.
    void ApplyFrame();
    bool GotoLabel(const std::wstring& label);
    bool LookupLabelFrame(const std::wstring& label, uint32_t& frame);
    bool LookupPartialLabelFrame(const std::wstring& prefix, uint32_t& frame);
    std::wstring GetLabelAtFrame(uint32_t frame);
    std::wstring GetCurrentLabel() { return GetLabelAtFrame(requestedFrame); }
    uint32_t GetNumFrames();
    void SetPlaying(bool on) { playing = on; }
    void SetPaused(bool on) { paused = on; }
    void SetReverse(bool on) { reverse = on; }
    void SetFrozen(bool on) { frozen = on; }
    void SetFrameMultiplier(float multiplier) { frameMultiplier = multiplier; }
    void SetTimeChannel(int32_t channel) { timeChannel = channel; }
    void SetOnUpdateEnabled(bool on) { onUpdateEnabled = on; }
    void SetEatingMouse(bool on) { eatingMouse = on; }
    // Also pauses the videos of image children.
    void SetPausedRecursive(bool on);
    void SetReverseRecursive(bool on);
    void SetFrameFromPartialLabelRecursive(const std::wstring& prefix);

    // The movie's definition, or null (no name, not in the map, or not a movie).
    Definition_Movie* FindMovieDefinition();

    // ---- Notifications.
    // Replaces the handler (deleting an owned one); a null handler also drops queued notifications.
    void SetEventHandler(IInstanceEventHandler* handler);
    IInstanceEventHandler* GetEventHandler() const { return eventHandler; }
    // False when a load notice is owed to a handler that does not exist yet.
    bool QueueEvent(EventKind kind, const std::wstring* text = nullptr);
    void DispatchEvents();

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
    // The class by its name, used only when it is an instance class.
    static InstanceHandle CreateInstanceByClassName(Instance_Movie* parentMovie, const std::wstring& definition,
                                                    const std::wstring& instanceName, const std::wstring& className);
    // A copy of the source (its definition, class, state and children) under the parent.
    static InstanceHandle CloneInstance(Instance_Movie* parentMovie, const InstanceHandle& source,
                                        const std::wstring& newName);

    // ---- Lookups. Names compare exactly.
    // Dotted path of names from `start` on: "a.b" is the child b of the child a.
    InstanceHandle FindChildByPath(const std::wstring& path, size_t start = 0);
    // The direct children first, then the movie children's subtrees in order.
    InstanceHandle FindChildByName(const std::wstring& name);
    // The first direct child whose name begins with the text.
    InstanceHandle FindChildByPrefix(const std::wstring& prefix);
    void CollectChildren(std::vector<InstanceHandle>& out, bool fromDrawOrder);
    // Every instance below, depth first, whose name begins with the text.
    void CollectChildrenByPrefix(std::vector<InstanceHandle>& out, const std::wstring& prefix, bool ignoreCase);
    // Every instance below, depth first, whose name contains the text, compared in lower case.
    void CollectChildrenByPartialName(std::vector<InstanceHandle>& out, const std::wstring& text);
    // The lookup on the movie a handle refers to; the zero handle for anything else.
    static InstanceHandle FindChildByPath(const InstanceHandle& movie, const std::wstring& path);
    // The text child of a dialog.
    static InstanceHandle GetMyText(const InstanceHandle& movie) { return FindChildByPath(movie, L"MyText"); }

    // ---- Removal. The child is unloaded, leaves both lists and waits in pendingDeletes.
    void RemoveAndQueueDelete(Instance_Base* child);
    // Removes the first child of that name unless it is a timeline child of a movie that is not frozen.
    void RemoveChild(const std::wstring& childName);
    // Drops the event handler of this movie and of every movie below it.
    void ClearEventHandlersRecursive();
    // Removes every particle-effect child.
    void DeleteAllParticles();
    // Deletes what waits in pendingDeletes, last first; a deletion may queue more.
    void DeletePending();

    // Whether a subtree of that many levels (1: a single node) may be added below the movie without
    // a chain longer than MaxTreeDepth; logs the refusal, naming the child.
    bool HasRoomBelow(uint32_t levels, const std::wstring& childName) const;
    // The levels of the subtree under `top`, itself included, counted without recursion; stops
    // counting past MaxTreeDepth.
    static uint32_t SubtreeLevels(Instance_Base& top);

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
    // Sets the depth of a newly adopted child and of everything below it.
    void setSubtreeDepth(Instance_Base* child) const;
    // Readiness memo of the drawing pass (see Instance_MovieDraw.cpp).
    uint64_t readyPass = 0;
    bool readyInPass = true;
    // Applies frame 0 of a new movie and owes it its load events.
    static void startNewMovie(Instance_Base* child, bool applyFrame);
    bool createTimelineChildren(Definition_Movie& definition);
    void applyKeyFrames(Definition_Movie& definition, uint32_t frame);
    void applyTweens(Definition_Movie& definition, uint32_t frame, float t);
    // Steps the timeline; false when the movie went away while its frames were applied.
    bool stepTimeline(float dt);

    // The definition found last and the removal count it was found under.
    Definition_Movie* cachedDefinition = nullptr;
    std::wstring cachedDefinitionName;
    uint32_t cachedDefinitionIndex = 0;
    uint32_t cachedRemovalCount = 0xFFFFFFFF;
    const void* cachedMap = nullptr;
    // Nesting of frame applications, for the goto bound.
    uint32_t applyDepth = 0;
};

} // namespace TarnEngine
