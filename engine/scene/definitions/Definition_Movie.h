// The movie definition: a timeline of `length` frames at `fps` with labels, one action per frame,
// and the instance entries whose children the timeline creates and removes: each entry names what
// to make (another definition, or a text), when it lives, and one key entry per frame of the movie
// (position, scale, rotation, opacity, colour, tween). Playing it is the movie instance's business;
// this is the data and the creation of the instances.
#pragma once

#include "engine/scene/definitions/Definition_Base.h"

#include <map>
#include <vector>

namespace TarnEngine
{

// One frame of an instance entry's life.
struct KeyEntry
{
    float x = 0.0f;
    float y = 0.0f;
    float scaleX = 1.0f; // negative when the frame's transform mirrors
    float scaleY = 1.0f;
    float rotation = 0.0f; // radians, in [0, 2 pi)
    float alpha = 0.0f;
    uint32_t color = 0xFFFFFFFF; // 0xFFFFFFFF: no colour
    uint32_t tween = 0;          // tweened towards the next frame's key
};

enum InstanceEntryKind : uint32_t
{
    eEntryLibrary = 0, // an instance of another definition
    eEntryText = 1,    // a text instance
};

struct InstanceEntry
{
    uint32_t kind = eEntryLibrary;
    // The definition to make, or the text to show (prepared).
    std::wstring source;
    std::wstring instanceName;
    uint32_t depth = 0;
    uint32_t create = 0;
    uint32_t death = 0; // lives on frames create <= f < death
    float regX = 0.0f;
    float regY = 0.0f;
    // Key i describes frame create + i; there are as many as the movie has frames.
    std::vector<KeyEntry> keys;
    uint32_t elementIndex = 0;
    // Text entries only.
    uint32_t fontSize = 0;
    uint32_t textColor = 0;
    uint8_t bold = 0;
    std::wstring face;
    uint32_t textFormat = 0;
    uint32_t boxWidth = 0;
    uint32_t boxHeight = 0;
    double lineSpacing = 1.0;
    double gamma = 0.0;
    // Handed to movies made from a library entry.
    std::wstring userData;
    // The entry's own nuggets, applied after the definition's, and the class they ask for.
    NuggetList nuggets;
};

enum FrameActionCode : uint32_t
{
    eFrameStop = 0,
    eFramePlay = 1,
    eFrameDeleteSelf = 2,
    eFrameGotoAndStop = 3,
    eFrameGotoAndPlay = 4,
};

struct FrameAction
{
    uint32_t action = eFrameStop;
    uint32_t target = 0; // the frame to go to, for the goto actions
};

class Definition_Movie final : public Definition_Base
{
public:
    using CreationHook = uint32_t (*)();

    // Keys that one movie may hold over all its entries (each entry has one per frame): far beyond
    // any content, and a bound on what a damaged "length" can make the loader allocate.
    static constexpr uint64_t MaxKeys = uint64_t(1) << 20;

    explicit Definition_Movie(DefinitionMap* owner) : Definition_Base(owner) { isMovie = 1; }
    ~Definition_Movie() override;

    // The class is the argument, else the definition's class override, else the user interface's
    // default instance class; it must make an Instance_Movie.
    Instance_Base* CreateInstance(const std::wstring& instanceName, RClass* classOverride) override;
    void AddNuggets(const XmlNode& nuggetsElement, const std::wstring& instanceName) override;
    void ClearNuggets() override;
    bool Load(const XmlNode& definitionElement) override;

    // The child of one instance entry: a library entry makes the last definition of its name, a
    // text entry a text instance. Null when the entry, its definition or its class is missing.
    Instance_Base* CreateInstanceFromEntry(uint32_t entryIndex);

    // Called by CreateInstance when set; its result is kept in the movie. Never set by the loader.
    CreationHook creationHook = nullptr;
    std::vector<InstanceEntry> entries;
    std::map<uint32_t, FrameAction> frameActions;
    uint32_t length = 0;
    uint32_t fps = 0;
    std::map<uint32_t, std::wstring> labels;

private:
    bool loadEntry(const XmlNode& element, uint32_t elementIndex, InstanceEntry& entry) const;
};

} // namespace TarnEngine
