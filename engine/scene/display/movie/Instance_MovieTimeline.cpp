// The movie's timeline: the per-frame update, frame stepping, frame application with its actions,
// the children that the timeline makes and removes, key entries and tweens, the notification queue
// and labels. See Instance_Movie.h.
//
// Frame actions, script events and notifications run foreign code in the middle of these walks: it
// may create, remove or re-frame instances, this movie included. So lists are walked by index with
// their size read afresh, the definition is looked up again after anything that ran a script, and
// the movie's own handle is copied before and checked after: a movie that was unloaded or deleted
// meanwhile is never touched again through `this`.
#include "engine/scene/display/movie/Instance_Movie.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/time/TimeManager.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/media/video/IImageSource.h"
#include "engine/media/video/IVideoTarget.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/ui/UserInterface.h"

#include <cmath>

namespace TarnEngine
{

namespace
{

constexpr uint32_t kNoColour = 0xFFFFFFFF;

bool lives(const InstanceEntry& entry, uint32_t frame)
{
    return entry.create <= frame && frame < entry.death;
}

// The key of the entry for a frame of the movie, or null when the frame lies outside the keys
// (before the entry's first frame, or past the keys a damaged or stretched life has).
const KeyEntry* keyAt(const InstanceEntry& entry, uint32_t frame)
{
    if (frame < entry.create)
        return nullptr;
    const uint32_t index = frame - entry.create;
    return index < entry.keys.size() ? &entry.keys[index] : nullptr;
}

const InstanceEntry* entryOf(const Definition_Movie& definition, const Instance_Base& child)
{
    if (child.timelineIndex < 0 || size_t(child.timelineIndex) >= definition.entries.size())
        return nullptr;
    return &definition.entries[size_t(child.timelineIndex)];
}

// A still valid handle that was valid before: false once the movie was unloaded or deleted.
bool stillHere(const InstanceHandle& copy, bool wasValid)
{
    return !wasValid || copy.IsValid();
}

uint32_t lerpChannel(uint32_t a, uint32_t b, int shift, float t)
{
    const float from = float((a >> shift) & 0xFF);
    const float to = float((b >> shift) & 0xFF);
    return uint32_t((1.0f - t) * from + t * to) << shift;
}

// Effect children step with their parent; false once the effect has ended, so the parent removes it.
bool UpdateEffectChild(Instance_Base* child, float dt)
{
    Instance_Effect* effect = RObjectCast<Instance_Effect>(child);
    return effect && effect->UpdateEffect(dt);
}

// The video of an image child pauses and resumes with the movie.
void PauseImageSource(Instance_Base* child, bool on)
{
    const IVideoImage* image = dynamic_cast<IVideoImage*>(child);
    if (IImageSource* source = image ? image->GetVideoSource() : nullptr)
        source->SetPaused(on);
}

// Whether the movie or one of its ancestors was made from the named definition: a timeline child of
// that definition would contain itself, and its creation would never end.
bool containsItself(const Instance_Base& movie, const std::wstring& definitionName)
{
    const Instance_Base* node = &movie;
    for (int depth = 0; node && depth < Instance_Base::MaxTreeDepth; ++depth)
    {
        if (node->definitionName == definitionName)
            return true;
        node = node->parent.GetInstance();
    }
    return false;
}

void raiseNoArguments(Instance_Base& instance, const char* name)
{
    LuaRaiseEvent(instance, LuaBinding::GetState(), name, [](lua_State*) { return 0; });
}

} // namespace

// ---- Definition.

Definition_Movie* Instance_Movie::FindMovieDefinition()
{
    const UserInterface* ui = UserInterface::Get();
    const DefinitionMap* map = ui ? ui->GetDefinitionMap() : nullptr;
    if (!map || definitionName.empty())
        return nullptr;
    // Every timeline operation asks, many times a frame: the last answer stands while no definition
    // was deleted anywhere and the movie still names the same one.
    const uint32_t removals = DefinitionMap::GetRemovalCount();
    if (removals == cachedRemovalCount && map == cachedMap && definitionIndex == cachedDefinitionIndex &&
        definitionName == cachedDefinitionName)
        return cachedDefinition;
    Definition_Base* found = map->FindDefinition(definitionName, int32_t(definitionIndex));
    cachedDefinition = found && found->isMovie ? static_cast<Definition_Movie*>(found) : nullptr;
    cachedDefinitionName = definitionName;
    cachedDefinitionIndex = definitionIndex;
    cachedRemovalCount = removals;
    cachedMap = map;
    return cachedDefinition;
}

uint32_t Instance_Movie::GetNumFrames()
{
    const Definition_Movie* definition = FindMovieDefinition();
    return definition ? definition->length : 0;
}

// ---- Update.

void Instance_Movie::Update(float dt)
{
    if (timeChannel != -1)
        if (TimeManager* time = TimeManager::Get())
            dt = time->GetClock(uint32_t(timeChannel)).deltaSeconds;
    if (paused)
        return;
    if (!(dt >= 0.00001f))
        return;

    OnFrameUpdate(dt);
    if (onUpdateEnabled)
        LuaRaiseEvent(*this, LuaBinding::GetState(), "OnUpdate",
                      [dt](lua_State* state)
                      {
                          lua_pushnumber(state, dt);
                          return 1;
                      });
    if (playing && !stepTimeline(dt))
        return;
    if (eventHandler)
        QueueEvent(EventKind::Update);

    std::vector<Instance_Base*> ended;
    for (size_t i = 0; i < children.size(); ++i)
    {
        Instance_Base* child = children[i];
        if (child->type == INSTANCE_MOVIE)
        {
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
                movie->Update(dt);
        }
        else if (child->type == INSTANCE_EFFECT)
        {
            if (!UpdateEffectChild(child, dt))
                ended.push_back(child);
        }
    }
    for (Instance_Base* child : ended)
        RemoveAndQueueDelete(child);

    if (!unloaded)
        DispatchEvents();
    DeletePending();
}

bool Instance_Movie::stepTimeline(float dt)
{
    Definition_Movie* definition = FindMovieDefinition();
    if (!definition)
        return true;
    const InstanceHandle self = handle;
    const bool registered = self.IsValid();

    const float multiplier = reverse ? -frameMultiplier : frameMultiplier;
    float acc = float(definition->fps) * dt * multiplier + frameFraction;
    // An unreadable rate or multiplier gives no frames rather than a loop that never ends.
    if (!std::isfinite(acc))
        acc = 0.0f;
    uint32_t steps = 0;
    while (std::fabs(acc) >= 1.0f)
    {
        if (steps++ == MaxFrameStepsPerUpdate)
        {
            // Whole frames beyond the bound are dropped; the fraction is kept.
            acc = std::fmod(acc, 1.0f);
            break;
        }
        acc += acc >= 0.0f ? -1.0f : 1.0f;
        const bool reverseBefore = reverse;
        const float multiplierBefore = frameMultiplier;
        definition = FindMovieDefinition();
        const uint32_t count = definition ? definition->length : 0;
        uint32_t next = reverseBefore ? currentFrame - 1 : currentFrame + 1;
        if (next >= count)
            next = 0;
        SetFrame(next);
        if (!stillHere(self, registered))
            return false;
        if (!playing)
            acc = 0.0f;
        if (reverse != reverseBefore)
            acc = -acc;
        if (frameMultiplier != multiplierBefore)
        {
            acc *= frameMultiplier / multiplierBefore;
            if (!std::isfinite(acc))
                acc = 0.0f;
        }
    }
    if (acc >= 0.0f && acc < 1.0f)
        if (Definition_Movie* current = FindMovieDefinition())
            applyTweens(*current, currentFrame, acc);
    frameFraction = acc;
    return true;
}

// ---- Frames.

void Instance_Movie::SetFrame(uint32_t frame)
{
    requestedFrame = frame;
    ApplyFrame();
}

void Instance_Movie::ApplyFrame()
{
    Definition_Movie* definition = FindMovieDefinition();
    if (unloaded)
        return;
    const InstanceHandle self = handle;
    const bool registered = self.IsValid();

    // Children whose life does not include the frame go. Removal unloads them, which runs scripts.
    if (definition)
    {
        for (size_t i = children.size(); i-- > 0;)
        {
            if (i >= children.size())
                continue;
            Instance_Base* child = children[i];
            if (child->timelineIndex == -1)
                continue;
            definition = FindMovieDefinition();
            if (!definition)
                break;
            const InstanceEntry* entry = entryOf(*definition, *child);
            if (!entry || !lives(*entry, requestedFrame))
            {
                RemoveAndQueueDelete(child);
                if (!stillHere(self, registered))
                    return;
            }
        }
    }
    if (unloaded || currentFrame == requestedFrame)
        return;

    definition = FindMovieDefinition();
    if (definition && createTimelineChildren(*definition))
        InvalidateMatrix(this, false);
    if (!stillHere(self, registered) || unloaded)
        return;
    currentFrame = requestedFrame;

    bool deleteSelf = false;
    definition = FindMovieDefinition();
    if (definition)
    {
        const auto action = definition->frameActions.find(currentFrame);
        if (action != definition->frameActions.end())
        {
            const FrameAction todo = action->second;
            const bool stops = todo.action == eFrameStop || todo.action == eFrameGotoAndStop;
            if (stops)
            {
                QueueEvent(EventKind::TimelineStop);
                raiseNoArguments(*this, "OnTimelineStop");
                if (!stillHere(self, registered))
                    return;
            }
            switch (todo.action)
            {
            case eFrameStop:
                playing = false;
                break;
            case eFramePlay:
                playing = true;
                break;
            case eFrameDeleteSelf:
                deleteSelf = true;
                break;
            case eFrameGotoAndStop:
            case eFrameGotoAndPlay:
                if (applyDepth < MaxGotoDepth)
                {
                    requestedFrame = todo.target;
                    ++applyDepth;
                    ApplyFrame();
                    if (!stillHere(self, registered))
                        return;
                    --applyDepth;
                }
                else if (ILogger* logger = ILogger::Get())
                    logger->Log(LogInstances, __FILE__, __LINE__, L"%s: gotos nest deeper than %u at frame %u",
                                name, MaxGotoDepth, currentFrame);
                playing = todo.action == eFrameGotoAndPlay;
                break;
            default:
                break;
            }
        }
    }

    if (frameChangeEvents)
    {
        QueueEvent(EventKind::FrameChanged);
        const uint32_t frame = currentFrame;
        LuaRaiseEvent(*this, LuaBinding::GetState(), "OnFrameChanged",
                      [frame](lua_State* state)
                      {
                          lua_pushnumber(state, frame);
                          return 1;
                      });
        if (!stillHere(self, registered))
            return;
    }

    definition = FindMovieDefinition();
    if (definition)
    {
        const auto label = definition->labels.find(currentFrame);
        if (label != definition->labels.end())
        {
            // The definition may go while the script runs: the text is the movie's own.
            const std::wstring text = label->second;
            if (eventHandler)
                QueueEvent(EventKind::LabelHit, &text);
            LuaRaiseEvent(*this, LuaBinding::GetState(), "OnLabelHit",
                          [&text](lua_State* state) { return PushWString(state, text); });
            if (!stillHere(self, registered))
                return;
        }
    }

    definition = FindMovieDefinition();
    if (definition)
        applyKeyFrames(*definition, currentFrame);
    if (deleteSelf)
        Delete(false);
}

bool Instance_Movie::createTimelineChildren(Definition_Movie& first)
{
    const InstanceHandle self = handle;
    const bool registered = self.IsValid();
    UserInterface* ui = UserInterface::Get();
    Definition_Movie* definition = &first;
    bool made = false;
    for (size_t i = 0; definition && i < definition->entries.size(); ++i)
    {
        const InstanceEntry& entry = definition->entries[i];
        if (!lives(entry, requestedFrame) || lives(entry, currentFrame))
            continue;
        const uint32_t depth = entry.depth;
        const bool libraryEntry = entry.kind == eEntryLibrary;
        const std::wstring source = libraryEntry ? entry.source : std::wstring();
        if (libraryEntry && containsItself(*this, source))
            continue;
        Instance_Base* child = definition->CreateInstanceFromEntry(uint32_t(i));
        // Making the child may have run nugget scripts.
        if (!stillHere(self, registered) || unloaded)
        {
            RObject::DeleteSelf(child);
            return made;
        }
        definition = FindMovieDefinition();
        if (!child)
            continue;
        bool taken = false;
        for (const Instance_Base* sibling : children)
            taken = taken || sibling->name == child->name;
        if (taken || !HasRoomBelow(SubtreeLevels(*child), child->name))
        {
            RObject::DeleteSelf(child);
            continue;
        }
        child->parent = movieHandle;
        setSubtreeDepth(child);
        if (!(child->material & eMaterialNoAutoInherit))
            child->material = material & ~eMaterialNoAutoInherit;
        if (ui)
            ui->RegisterInstance(child);
        Instance_Movie* movie = child->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(child) : nullptr;
        if (movie && movie->eventHandler)
            movie->eventHandler->OnCreated(movie->movieHandle);

        // In front of the timeline children of lower or equal depth, behind the first deeper one.
        size_t position = drawOrder.size();
        for (size_t at = 0; definition && at < drawOrder.size(); ++at)
        {
            const InstanceEntry* other = entryOf(*definition, *drawOrder[at]);
            if (drawOrder[at]->timelineIndex != -1 && other && other->depth > depth)
            {
                position = at;
                break;
            }
        }
        drawOrder.insert(drawOrder.begin() + std::ptrdiff_t(position), child);
        children.push_back(child);
        made = true;

        const InstanceHandle childHandle = child->handle;
        if (movie)
            startNewMovie(movie, true);
        if (!stillHere(self, registered) || unloaded)
            return made;
        definition = FindMovieDefinition();
        // The nuggets' second step, once the child stands in its place: the entry's, then those of
        // the definition it names.
        if (definition && i < definition->entries.size() && childHandle.IsValid())
        {
            PostApplyNuggets(definition->entries[i].nuggets, child);
            if (libraryEntry && ui && ui->GetDefinitionMap())
                if (Definition_Base* named = ui->GetDefinitionMap()->FindDefinition(source, -1))
                    if (childHandle.IsValid())
                        PostApplyNuggets(named->nuggets, child);
        }
        if (!stillHere(self, registered) || unloaded)
            return made;
        definition = FindMovieDefinition();
    }
    return made;
}

void Instance_Movie::startNewMovie(Instance_Base* child, bool applyFrame)
{
    Instance_Movie* movie = RObjectCast<Instance_Movie>(child);
    if (!movie)
        return;
    if (applyFrame)
        movie->ApplyFrame();
    movie->scriptLoadPending = true;
    movie->QueueEvent(EventKind::Load);
}

// ---- Key entries and tweens.

void Instance_Movie::applyKeyFrames(Definition_Movie& definition, uint32_t frame)
{
    bool changed = false;
    for (size_t i = 0; i < children.size(); ++i)
    {
        Instance_Base* child = children[i];
        const InstanceEntry* entry = entryOf(definition, *child);
        const KeyEntry* key = entry ? keyAt(*entry, frame) : nullptr;
        if (!key)
            continue;
        child->x = key->x;
        child->y = key->y;
        child->scaleX = key->scaleX;
        child->scaleY = key->scaleY;
        child->rotation = key->rotation;
        child->opacity = key->alpha;
        if (key->color != kNoColour)
            child->SetColor(key->color);
        child->localMatrixValid = false;
        child->cornersValid = false;
        changed = true;
    }
    // The children's own caches are cleared above; the extents of this movie and its ancestors
    // contain them.
    if (changed)
        InvalidateMatrix(this, false);
}

void Instance_Movie::applyTweens(Definition_Movie& definition, uint32_t frame, float t)
{
    if (!(t >= 0.0f && t <= 1.0f) || frame >= definition.length || frame + 1 >= definition.length)
        return;
    bool changed = false;
    for (size_t i = 0; i < children.size(); ++i)
    {
        Instance_Base* child = children[i];
        const InstanceEntry* entry = entryOf(definition, *child);
        const KeyEntry* a = entry ? keyAt(*entry, frame) : nullptr;
        const KeyEntry* b = entry ? keyAt(*entry, frame + 1) : nullptr;
        if (!a || !b || !a->tween)
            continue;
        const float u = 1.0f - t;
        child->x = u * a->x + t * b->x;
        child->y = u * a->y + t * b->y;
        child->scaleX = u * a->scaleX + t * b->scaleX;
        child->scaleY = u * a->scaleY + t * b->scaleY;
        child->rotation = u * a->rotation + t * b->rotation;
        child->opacity = u * a->alpha + t * b->alpha;
        if (a->color != kNoColour && b->color != kNoColour)
            child->SetColor(lerpChannel(a->color, b->color, 24, t) | lerpChannel(a->color, b->color, 16, t) |
                            lerpChannel(a->color, b->color, 8, t) | lerpChannel(a->color, b->color, 0, t));
        child->localMatrixValid = false;
        child->cornersValid = false;
        changed = true;
    }
    if (changed)
        InvalidateMatrix(this, false);
}

// ---- Notifications.

void Instance_Movie::SetEventHandler(IInstanceEventHandler* handler)
{
    if (ownsEventHandler && eventHandler && eventHandler != handler)
        delete eventHandler;
    ownsEventHandler = false;
    eventHandler = handler;
    if (!handler)
        eventQueue.clear();
}

bool Instance_Movie::QueueEvent(EventKind kind, const std::wstring* text)
{
    if (kind == EventKind::Load)
    {
        scriptLoadPending = true;
        if (!eventHandler)
        {
            handlerLoadPending = true;
            return false;
        }
    }
    QueuedEvent event;
    event.kind = kind;
    if (text)
        event.text = *text;
    eventQueue.push_back(std::move(event));
    return true;
}

void Instance_Movie::DispatchEvents()
{
    bool loadDelivered = false;
    while (!eventQueue.empty())
    {
        const QueuedEvent event = std::move(eventQueue.front());
        eventQueue.pop_front();
        IInstanceEventHandler* handler = eventHandler;
        if (!handler || unloaded)
            continue;
        switch (event.kind)
        {
        case EventKind::Load:
            loadDelivered = true;
            // The owed notice is this one; it must not come a second time.
            handlerLoadPending = false;
            handler->OnLoad(movieHandle);
            break;
        case EventKind::LabelHit:
            handler->OnLabelHit(movieHandle, event.text ? *event.text : std::wstring());
            break;
        case EventKind::FrameChanged:
            handler->OnFrameChanged(movieHandle);
            break;
        case EventKind::Update:
            handler->OnUpdate(movieHandle);
            break;
        case EventKind::TimelineStop:
            handler->OnTimelineStop(movieHandle);
            break;
        }
    }
    if (scriptLoadPending)
    {
        scriptLoadPending = false;
        if (Instance_Base* target = movieHandle.GetInstance())
            raiseNoArguments(*target, "OnLoad");
    }
    if (handlerLoadPending && !loadDelivered && eventHandler && !unloaded)
    {
        handlerLoadPending = false;
        eventHandler->OnLoad(movieHandle);
    }
}

// ---- Labels.

bool Instance_Movie::LookupLabelFrame(const std::wstring& label, uint32_t& frame)
{
    const Definition_Movie* definition = FindMovieDefinition();
    if (!definition)
        return false;
    for (const auto& [at, text] : definition->labels)
    {
        if (text == label)
        {
            frame = at;
            return true;
        }
    }
    return false;
}

bool Instance_Movie::LookupPartialLabelFrame(const std::wstring& prefix, uint32_t& frame)
{
    const Definition_Movie* definition = FindMovieDefinition();
    if (!definition)
        return false;
    for (const auto& [at, text] : definition->labels)
    {
        if (text.compare(0, prefix.size(), prefix) == 0)
        {
            frame = at;
            return true;
        }
    }
    return false;
}

bool Instance_Movie::GotoLabel(const std::wstring& label)
{
    uint32_t frame = 0;
    if (!LookupLabelFrame(label, frame))
        return false;
    SetFrame(frame);
    return true;
}

std::wstring Instance_Movie::GetLabelAtFrame(uint32_t frame)
{
    const Definition_Movie* definition = FindMovieDefinition();
    if (!definition)
        return {};
    const auto found = definition->labels.find(frame);
    return found != definition->labels.end() ? found->second : std::wstring();
}

// ---- Recursive setters.

void Instance_Movie::SetPlayingRecursive(bool on)
{
    playing = on;
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i]->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(children[i]))
                movie->SetPlayingRecursive(on);
}

void Instance_Movie::SetPausedRecursive(bool on)
{
    paused = on;
    for (size_t i = 0; i < children.size(); ++i)
    {
        Instance_Base* child = children[i];
        if (child->type == INSTANCE_MOVIE)
        {
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
                movie->SetPausedRecursive(on);
        }
        else if (child->type == INSTANCE_IMAGE)
            PauseImageSource(child, on);
    }
}

void Instance_Movie::SetReverseRecursive(bool on)
{
    reverse = on;
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i]->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(children[i]))
                movie->SetReverseRecursive(on);
}

void Instance_Movie::SetFrameFromPartialLabelRecursive(const std::wstring& prefix)
{
    uint32_t frame = 0;
    if (LookupPartialLabelFrame(prefix, frame))
        SetFrame(frame);
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i]->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(children[i]))
                movie->SetFrameFromPartialLabelRecursive(prefix);
}

} // namespace TarnEngine
