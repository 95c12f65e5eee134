// Particle templates and their timelines; see ParticleTemplate.h.
#include "engine/scene/effects/ParticleTemplate.h"

#include <algorithm>
#include <map>

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/RPfxActionBase.h"

namespace TarnEngine
{

using Effects::RPfxActionBase;

namespace
{

enum class EventKind
{
    Timed,
    Creation,
    Destruction,
};

struct BehaviourRecord
{
    int32_t layer = 0;
    EventKind kind = EventKind::Timed;
    float start = 0.0f;
    RPfxActionBase* action = nullptr; // owned by the template, may be null
};

// "true" or "false" ignoring case; any other word keeps the default.
bool readFlagAttribute(const XmlNode& element, const wchar_t* name, bool fallback)
{
    std::wstring text;
    if (!element.GetAttribute(name, text))
        return fallback;
    if (EqualsNoCase(text, L"true"))
        return true;
    if (EqualsNoCase(text, L"false"))
        return false;
    return fallback;
}

// The action of a behaviour item: the first child element of its first
// "Action" child, made by class name; null when any of it is missing.
std::unique_ptr<RPfxActionBase> makeAction(const XmlNode& item, const XmlNode*& actionElement)
{
    actionElement = nullptr;
    const XmlNode* holder = item.GetChild(L"Action");
    if (!holder || holder->children.empty())
        return nullptr;
    actionElement = holder->children.front().get();
    RObject* made = RClass::CreateObject(L"RPfx" + actionElement->GetName());
    RPfxActionBase* action = RObjectCast<RPfxActionBase>(made);
    if (!action)
    {
        RObject::DeleteSelf(made);
        return nullptr;
    }
    return std::unique_ptr<RPfxActionBase>(action);
}

} // namespace

bool ResolveEffectImage(const std::wstring& name, EffectImage& image)
{
    const EffectLibrary* library = EffectLibrary::Get();
    if (!library || !library->ResolveImage(name, image))
        return false;
    image.name = name;
    return true;
}

ParticleTemplate::ParticleTemplate(ParticleEffect* owningEffect) : effect(owningEffect)
{
    creation.owner = this;
    destruction.owner = this;
}

ParticleTemplate::~ParticleTemplate() = default;

void ParticleTemplate::Load(const XmlNode& element)
{
    element.GetAttribute(L"name", name);
    std::wstring text;
    if (element.GetAttribute(L"lifetime", text))
        lifetime = ParseEffectReal(text);
    if (element.GetAttribute(L"image", text))
    {
        EffectImage image;
        if (ResolveEffectImage(text, image))
            images.push_back(std::move(image));
    }
    if (element.GetAttribute(L"regx", text))
        regX = ParseEffectInteger(text);
    if (element.GetAttribute(L"regy", text))
        regY = ParseEffectInteger(text);
    autoEmit = readFlagAttribute(element, L"autoemit", false);
    additive = readFlagAttribute(element, L"additive", true);

    std::vector<BehaviourRecord> records;
    std::vector<std::unique_ptr<RPfxActionBase>> loadTimeActions;
    std::vector<XmlNode*> items;
    element.GetChildren(L"BehaviorItem", items);
    for (const XmlNode* item : items)
    {
        if (item->GetAttribute(L"enabled", text) && EqualsNoCase(text, L"false"))
            continue;
        BehaviourRecord record;
        if (item->GetAttribute(L"layer", text))
            record.layer = ParseEffectInteger(text);
        if (item->GetAttribute(L"event", text))
        {
            if (EqualsNoCase(text, L"creation"))
                record.kind = EventKind::Creation;
            else if (EqualsNoCase(text, L"destruction"))
                record.kind = EventKind::Destruction;
            else
                record.start = ParseEffectReal(text);
        }
        const XmlNode* actionElement = nullptr;
        std::unique_ptr<RPfxActionBase> action = makeAction(*item, actionElement);
        if (action)
        {
            item->GetAttribute(L"label", action->label);
            action->owner = this;
            action->layer = record.layer;
            action->ReadParameters(*actionElement);
            if (action->IsLoadTimeAction())
            {
                loadTimeActions.push_back(std::move(action));
                continue;
            }
            record.action = action.get();
            actions.push_back(std::move(action));
        }
        records.push_back(record);
    }
    for (const std::unique_ptr<RPfxActionBase>& action : loadTimeActions)
        action->ApplyAtLoad(*this);
    loadTimeActions.clear();

    std::stable_sort(actions.begin(), actions.end(),
                     [](const auto& a, const auto& b) { return uint32_t(a->layer) < uint32_t(b->layer); });
    for (size_t i = 0; i < actions.size(); ++i)
        actions[i]->index = int32_t(i);

    // Creation and destruction actions, each set in layer order.
    for (auto [kind, phase] : {std::pair{EventKind::Creation, &creation}, std::pair{EventKind::Destruction, &destruction}})
    {
        std::vector<BehaviourRecord> chosen;
        for (const BehaviourRecord& record : records)
            if (record.kind == kind && record.action)
                chosen.push_back(record);
        std::stable_sort(chosen.begin(), chosen.end(),
                         [](const BehaviourRecord& a, const BehaviourRecord& b) { return a.layer < b.layer; });
        for (const BehaviourRecord& record : chosen)
            phase->actions.push_back(record.action);
    }

    // The timeline: a new phase wherever a timed item starts; each layer
    // runs the action of its latest item (an item without action ends it).
    // Slots are kept by layer in a map, so that a layer of any value costs
    // one entry; the order is the unsigned order of the action array.
    std::vector<BehaviourRecord> timed;
    for (const BehaviourRecord& record : records)
        if (record.kind == EventKind::Timed)
            timed.push_back(record);
    std::stable_sort(timed.begin(), timed.end(),
                     [](const BehaviourRecord& a, const BehaviourRecord& b) { return a.start < b.start; });
    std::map<uint32_t, RPfxActionBase*> slots;
    float running = 0.0f;
    auto closePhase = [&](float until)
    {
        if (!(running < until))
            return;
        auto phase = std::make_unique<ParticlePhase>();
        phase->owner = this;
        phase->index = int32_t(phases.size());
        phase->start = running;
        phase->end = until;
        for (const auto& [layerKey, action] : slots)
            if (action)
                phase->actions.push_back(action);
        phases.push_back(std::move(phase));
        running = until;
    };
    for (const BehaviourRecord& record : timed)
    {
        closePhase(record.start);
        slots[uint32_t(record.layer)] = record.action;
        if (record.action)
            record.action->startTime = record.start;
    }
    closePhase(PhaseEnd);
    if (phases.empty())
    {
        auto phase = std::make_unique<ParticlePhase>();
        phase->owner = this;
        phase->start = 0.0f;
        phase->end = PhaseEnd;
        phases.push_back(std::move(phase));
    }
}

RPfxActionBase* ParticleTemplate::FindAction(const std::wstring& actionLabel) const
{
    for (const auto& action : actions)
        if (EqualsNoCase(action->label, actionLabel))
            return action.get();
    return nullptr;
}

} // namespace TarnEngine
