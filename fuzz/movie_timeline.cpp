// Fuzz target: random walks over movie timelines. The input is a definition file, a zero byte, then
// a walk: pairs of bytes (operation, argument) that set frames and labels, change speed and
// direction (wild multipliers included), step time, start, stop, pause, freeze, delete, create and
// clone children, and draw. Every movie of the file is made under the root first. The walk must
// end (each update is bounded), and the tree must stay whole: every child in its parent's two lists
// once, every live instance counted.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

namespace
{

using namespace TarnEngine;

// Bounds of one walk: enough to reach deep states, small enough to stay fast.
constexpr size_t kMaxOperations = 64;
constexpr uint32_t kMaxLiveInstances = 160;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Wild values are few among the plain ones: each of them costs a whole bounded update.
const float kMultipliers[16] = {1.0f, 2.0f,  0.5f, -1.0f, 0.0f, 1.0f, 3.7f, 0.25f, 1.5f, -0.5f, 1.0f, 2.0f,
                                1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN()};
const float kSteps[16] = {0.0f,  0.000001f, 1.0f / 60.0f, 1.0f / 60.0f, 1.0f / 30.0f, 0.05f, 0.1f, 0.1f, 0.25f,
                          0.5f, 1.0f,      1.0f / 60.0f, 10.0f,        -1.0f,
                          std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};

// Every movie of the tree, depth first.
void collect(Instance_Movie* movie, std::vector<Instance_Movie*>& out, uint32_t& count, int depth)
{
    out.push_back(movie);
    check(movie->children.size() == movie->drawOrder.size());
    for (Instance_Base* child : movie->children)
    {
        ++count;
        check(child->parent.GetInstance() == movie);
        check(!child->unloaded);
        size_t inOrder = 0;
        for (Instance_Base* drawn : movie->drawOrder)
            inOrder += drawn == child;
        check(inOrder == 1);
        if (child->type == INSTANCE_MOVIE && depth < Instance_Base::MaxTreeDepth)
            if (Instance_Movie* inner = RObjectCast<Instance_Movie>(child))
                collect(inner, out, count, depth + 1);
    }
}

// How many instances one movie of the definition makes at once, through its entries' own
// definitions; capped. A file can describe trees far too large to walk (each of twenty definitions
// holding the next twice), which is a matter of content size, not of the timeline.
uint64_t expansion(const DefinitionMap& map, const std::wstring& name, std::map<std::wstring, uint64_t>& memo)
{
    constexpr uint64_t cap = 1u << 20;
    const auto known = memo.find(name);
    if (known != memo.end())
        return known->second;
    memo[name] = 1; // a definition that contains itself is refused by the timeline
    const auto* movie = dynamic_cast<const Definition_Movie*>(map.FindDefinition(name, -1));
    uint64_t total = 1;
    if (movie)
        for (const InstanceEntry& entry : movie->entries)
            if (total < cap)
                total += entry.kind == eEntryLibrary ? expansion(map, entry.source, memo) : 1;
    memo[name] = std::min(total, cap);
    return memo[name];
}

template <class T> const T& pick(const T (&table)[16], uint8_t argument)
{
    return table[argument % 16];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterEngineStatics();
    size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;

    // One user interface for the whole run, as in the program; each input gets a fresh map and an
    // empty root.
    static UserInterface* shared = []
    {
        auto* made = new UserInterface;
        made->Init();
        return made;
    }();
    UserInterface& ui = *shared;
    ui.definitionMap = std::make_unique<DefinitionMap>();
    DefinitionMap& map = *ui.GetDefinitionMap();
    Instance_Movie* root = ui.GetRoot();
    struct EmptyRoot
    {
        Instance_Movie* root;
        ~EmptyRoot()
        {
            for (size_t i = root->children.size(); i-- > 0;)
                if (i < root->children.size())
                    root->RemoveAndQueueDelete(root->children[i]);
            root->DeletePending();
        }
    } emptyRoot{root};
    if (std::unique_ptr<XmlNode> document = ParseXmlFileBytes(data, split, false))
    {
        uint32_t added = 0, appended = 0;
        LoadDefinitionFile(*document, map, added, appended);
    }
    std::vector<std::wstring> names;
    std::map<std::wstring, uint64_t> memo;
    uint64_t treeSize = 0;
    for (const auto& [name, list] : map.GetDefinitions())
    {
        names.push_back(name);
        treeSize += expansion(map, name, memo);
    }
    if (treeSize > kMaxLiveInstances)
        return 0;
    for (const std::wstring& name : names)
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(
                Instance_Movie::CreateChild(root, name, name, nullptr).GetInstance()))
            movie->SetPlaying(true);

    const uint8_t* walk = data + (split < size ? split + 1 : size);
    const size_t walkSize = size - size_t(walk - data);
    for (size_t i = 0; i + 1 < walkSize && i / 2 < kMaxOperations; i += 2)
    {
        const uint8_t operation = walk[i];
        const uint8_t argument = walk[i + 1];
        std::vector<Instance_Movie*> movies;
        uint32_t live = 0;
        collect(root, movies, live, 0);
        check(live == ui.liveInstanceCount);
        Instance_Movie* target = movies[(operation >> 4) % movies.size()];
        switch (operation & 0x0F)
        {
        case 0:
            target->SetFrame(argument);
            break;
        case 1:
            target->SetFrame(0xFFFFFF00u + argument);
            break;
        case 2:
            target->SetFrameMultiplier(pick(kMultipliers, argument));
            break;
        case 3:
            root->Update(pick(kSteps, argument));
            break;
        case 4:
            target->SetReverse(!target->reverse);
            break;
        case 5:
            target->SetPlayingRecursive(argument & 1);
            break;
        case 6:
            target->SetPausedRecursive(argument & 1);
            break;
        case 7:
            target->SetFrozen(!target->frozen);
            break;
        case 8:
            if (!target->children.empty())
                target->children[argument % target->children.size()]->Delete(argument & 0x80);
            break;
        case 9:
            if (!names.empty() && ui.liveInstanceCount < kMaxLiveInstances)
                Instance_Movie::CreateChild(target, names[argument % names.size()],
                                            L"made" + std::to_wstring(argument), nullptr);
            break;
        case 10:
            if (ui.liveInstanceCount < kMaxLiveInstances / 2)
                Instance_Movie::CloneInstance(movies[argument % movies.size()], target->handle,
                                              L"clone" + std::to_wstring(argument));
            break;
        case 11:
        {
            Definition_Movie* definition = target->FindMovieDefinition();
            if (definition && !definition->labels.empty())
            {
                auto label = definition->labels.begin();
                std::advance(label, argument % definition->labels.size());
                target->GotoLabel(label->second);
            }
            break;
        }
        case 12:
            target->Draw(Matrix3{}, 1.0f);
            break;
        case 13:
        {
            float left, top, right, bottom;
            target->GetBounds(left, top, right, bottom, true);
            break;
        }
        case 14:
            target->SetTimeChannel(int32_t(argument % 3) - 1);
            break;
        default:
            if (!names.empty())
                map.RemoveDefinitions(names[argument % names.size()]);
            break;
        }
    }
    root->Update(1.0f / 60.0f);
    check(ui.liveInstanceCount == uint32_t([&] {
        std::vector<Instance_Movie*> movies;
        uint32_t live = 0;
        collect(root, movies, live, 0);
        return live;
    }()));
    return 0;
}
