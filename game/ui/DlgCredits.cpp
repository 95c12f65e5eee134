// The credits screen; see DlgCredits.h.
#include "game/ui/DlgCredits.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/media/sound/SoundFader.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/core/Core.h"
#include "game/core/GameScript.h"
#include "game/media/SoundMgr.h"
#include "game/ui/CreditsPad.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(DlgCredits, Screen, RObjectFactory<DlgCredits>, L"DlgCredits",
                              &DlgCredits::RegisterLua)

DlgCredits::~DlgCredits()
{
    // The panels outlive this part of the screen by a moment (the movie deletes its children); they
    // must not report to it meanwhile.
    for (const InstanceHandle& handle : pads)
        if (auto* pad = RObjectCast<CreditsPad>(handle.GetInstance()))
            if (pad->GetEventHandler() == static_cast<IInstanceEventHandler*>(this))
                pad->SetEventHandler(nullptr);
    if (auto* back = RObjectCast<Instance_Movie>(backdrop.GetInstance()))
        if (back->GetEventHandler() == static_cast<IInstanceEventHandler*>(this))
            back->SetEventHandler(nullptr);
}

void DlgCredits::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<DlgCredits>);
    def.Build(StaticScriptName());
}

CreditsPad* DlgCredits::FindPad(const std::wstring& name)
{
    return RObjectCast<CreditsPad>(FindChildByPath(name).GetInstance());
}

CreditsPad* DlgCredits::GetPad(uint32_t index) const
{
    return index < PanelCount ? RObjectCast<CreditsPad>(pads[index].GetInstance()) : nullptr;
}

std::vector<DlgCredits::CreditEntry> DlgCredits::ReadEntries(const XmlNode& root)
{
    std::vector<CreditEntry> list;
    for (const std::unique_ptr<XmlNode>& child : root.children)
    {
        if (!child || child->GetName() != L"Entry")
            continue;
        CreditEntry entry;
        child->GetAttribute(L"title", entry.title);
        child->GetAttribute(L"names", entry.names);
        list.push_back(std::move(entry));
    }
    return list;
}

uint32_t DlgCredits::PoolDraw(uint32_t count)
{
    const uint32_t k = uint32_t(PoolRandomFloat(float(count)));
    return k < count ? k : count - 1;
}

DlgCredits::Pick DlgCredits::PickNext(const std::vector<CreditEntry>& list, uint32_t& count,
                                      const bool (&present)[PanelCount], int32_t reached, const Draw& draw)
{
    Pick pick;
    const size_t n = list.size();
    for (size_t step = 0; step < n; ++step)
    {
        const CreditEntry& entry = list[count % n];
        const uint32_t index = uint32_t(count % n);
        ++count;
        if (entry.title == TrophyTitle)
        {
            ++pick.trophies;
            continue;
        }
        if (entry.names.find(L'\n') != std::wstring::npos)
        {
            if (!present[MultiLinePanel])
                continue;
            pick.found = true;
            pick.entry = index;
            pick.panel = MultiLinePanel;
            const size_t length = entry.names.size();
            pick.rate = length > LongNames ? float(LongNames) / float(length) : 1.0f;
            return pick;
        }
        uint32_t candidates[MultiLinePanel];
        uint32_t candidateCount = 0;
        for (uint32_t panel = 0; panel < MultiLinePanel; ++panel)
            if (present[panel] && int32_t(panel) != reached)
                candidates[candidateCount++] = panel;
        if (candidateCount == 0)
        {
            // Only the panel that reached the label is left: it shows the entry again.
            if (reached < 0 || reached >= int32_t(MultiLinePanel) || !present[reached])
                continue;
            candidates[candidateCount++] = uint32_t(reached);
        }
        uint32_t k = candidateCount > 1 && draw ? draw(candidateCount) : 0;
        if (k >= candidateCount)
            k = candidateCount - 1;
        pick.found = true;
        pick.entry = index;
        pick.panel = candidates[k];
        pick.rate = 1.0f;
        return pick;
    }
    return pick;
}

void DlgCredits::OnScreenLoaded()
{
    counter = 0;
    MoveTo(0.0f, 0.0f);
    for (uint32_t i = 0; i < PanelCount; ++i)
    {
        CreditsPad* pad = FindPad(PanelNames[i]);
        pads[i] = pad ? pad->movieHandle : InstanceHandle();
        // A missing panel is left out; the rest still run the credits.
        if (pad)
            pad->SetEventHandler(this);
    }
    // Opened modal, the screen lies on a backdrop that takes every press around it; a press there
    // is a press on the credits as well.
    if (auto* back = RObjectCast<Instance_Movie>(backdrop.GetInstance()); back && !back->GetEventHandler())
        back->SetEventHandler(this);
    const XmlNode* root = LoadXmlDocument(CreditsFile);
    if (!root)
    {
        if (ILogger* logger = ILogger::Get())
            logger->Log(LogGame, __FILE__, __LINE__, L"%s",
                        std::wstring(L"the credits have no \"credits.xml\""));
        return;
    }
    entries = ReadEntries(*root);
    if (entries.empty())
        return;
    if (CreditsPad* first = GetPad(0))
        first->CreateReflections();
    OnLabelHit(InstanceHandle(), std::wstring());
    soundChanged = true;
    if (ISoundManager* manager = ISoundManager::Get())
        if (SoundFader* fader = manager->GetFader())
            fader->FadeGroupOut(SOUND_CLASS_MUSIC, MusicFadeSeconds, 1.0f, 0.0f);
    if (Core* core = Core::Get())
    {
        AmbientSoundScene& ambient = core->GetSound().GetAmbient();
        ambient.Load(AmbientScene);
        ambient.Play();
    }
}

void DlgCredits::OnLabelHit(InstanceHandle instance, const std::wstring&)
{
    bool present[PanelCount];
    int32_t reached = -1;
    for (uint32_t i = 0; i < PanelCount; ++i)
    {
        present[i] = GetPad(i) != nullptr;
        if (present[i] && instance.IsValid() && instance.GetInstance() == pads[i].GetInstance())
            reached = int32_t(i);
    }
    const Pick pick = PickNext(entries, counter, present, reached, &PoolDraw);
    for (uint32_t i = 0; i < pick.trophies; ++i)
        RaiseScriptEvent("WatchedCredits");
    if (!pick.found)
        return;
    // The event may have closed the screen, or a script removed the panel.
    CreditsPad* pad = GetPad(pick.panel);
    if (!pad || pick.entry >= entries.size())
        return;
    const CreditEntry& entry = entries[pick.entry];
    pad->SetFrame(0);
    pad->SetTexts(entry.title, entry.names);
    pad->SetPlaying(true);
    if (pick.panel == MultiLinePanel)
        pad->SetFrameMultiplier(pick.rate);
}

void DlgCredits::OnMouseDown(InstanceHandle, uint32_t)
{
    Close(false);
}

void DlgCredits::OnRemoved()
{
    if (!soundChanged)
        return;
    soundChanged = false;
    if (Core* core = Core::Get())
        core->GetSound().StopAmbient();
    if (ISoundManager* manager = ISoundManager::Get())
        if (SoundFader* fader = manager->GetFader())
            fader->FadeGroupIn(SOUND_CLASS_MUSIC, MusicFadeSeconds, 0.0f, 1.0f);
}
