// The letter row; see HUDLetters.h.
#include "game/hiddenobject/HUDLetters.h"

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"

#include <algorithm>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(HUDLetters, Instance_Movie, RObjectFactory<HUDLetters>, L"HUDLetters",
                              &HUDLetters::RegisterLua)

namespace
{

using LetterDelegate = MethodDelegate1<HUDLetters, void, ISpyItem*>;
using RefillDelegate = MethodDelegate1<HUDLetters, void, ISpyBoard*>;

Instance_Movie* liveMovie(const InstanceHandle& handle)
{
    Instance_Base* instance = handle.GetInstance();
    return instance && !instance->unloaded ? RObjectCast<Instance_Movie>(instance) : nullptr;
}

} // namespace

HUDLetters::~HUDLetters()
{
    unsubscribe();
}

void HUDLetters::Initialize(const std::wstring& instanceName)
{
    owner.Release();
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
}

void HUDLetters::OnLoad(InstanceHandle instance)
{
    if (instance.GetInstance() != static_cast<Instance_Base*>(this))
        return;
    const float step = ComputeWidth(false) / 15.0f;
    for (int i = 0; i < SlotCount; ++i)
    {
        slots[i] = Instance_Movie::CreateChild(this, L"mov_letter", L"letter_" + std::to_wstring(i), nullptr).AsMovie();
        if (Instance_Movie* slot = liveMovie(slots[i]))
        {
            slot->SetX(float(i) * step);
            slot->SetVisible(false);
        }
    }
}

void HUDLetters::OnUnload(InstanceHandle instance)
{
    if (instance.GetInstance() == static_cast<Instance_Base*>(this))
        unsubscribe();
}

void HUDLetters::unsubscribe()
{
    Instance_Movie* movie = subscribed.Get();
    subscribed.Release();
    auto* board = movie ? RObjectCast<ISpyBoard>(movie) : nullptr;
    if (!board)
        return;
    const LetterDelegate letter(this, &HUDLetters::OnLetterFound);
    const RefillDelegate refill(this, &HUDLetters::Refill);
    while (board->letterFoundEvent.Remove(letter))
    {
    }
    while (board->boardLoadedEvent.Remove(refill))
    {
    }
}

void HUDLetters::SetOwner(HOScreen* screen)
{
    owner = WeakPtr<Instance_Movie>(screen);
}

HOScreen* HUDLetters::GetOwner() const
{
    Instance_Movie* movie = owner.Get();
    return movie && !movie->unloaded ? RObjectCast<HOScreen>(movie) : nullptr;
}

bool HUDLetters::ReadLetter(ISpyItem* letter, int32_t& index, std::wstring& text)
{
    if (!letter)
        return false;
    int32_t position = 0;
    if (!letter->GetLuaTable().GetFieldValue("i_idx", position))
        return false;
    // Computed wide: i_idx may be the smallest integer.
    const int64_t zeroBased = int64_t(position) - 1;
    if (zeroBased < 0)
        return false;
    std::wstring name;
    if (!letter->GetLuaTable().GetFieldValue("s_name", name))
        return false;
    index = int32_t(zeroBased);
    text = name;
    return true;
}

bool HUDLetters::BuildWord(const std::vector<ISpyItem*>& letters, std::wstring& word)
{
    std::wstring buffer(SlotCount, L' ');
    int32_t highest = 0;
    for (ISpyItem* letter : letters)
    {
        int32_t index = 0;
        std::wstring text;
        if (!ReadLetter(letter, index, text) || index >= SlotCount)
            return false;
        // The name is decoded text: its first character, whole (one outside the Basic
        // Multilingual Plane stays one character).
        buffer[size_t(index)] = text.empty() ? L'\0' : text[0];
        highest = std::max(highest, index);
    }
    buffer.resize(size_t(highest) + 1);
    const size_t end = buffer.find(L'\0');
    if (end != std::wstring::npos)
        buffer.resize(end);
    word = buffer;
    return true;
}

void HUDLetters::Refill(ISpyBoard*)
{
    HOScreen* screen = GetOwner();
    ISpyBoard* board = screen ? screen->GetBoard() : nullptr;
    if (!board)
        return;
    if (subscribed.Get() != static_cast<Instance_Movie*>(board))
    {
        unsubscribe();
        board->letterFoundEvent.Append(new LetterDelegate(this, &HUDLetters::OnLetterFound));
        board->boardLoadedEvent.Append(new RefillDelegate(this, &HUDLetters::Refill));
        subscribed = WeakPtr<Instance_Movie>(board);
    }
    for (ISpyItem* letter : board->GetLetters())
    {
        int32_t index = 0;
        std::wstring text;
        if (!ReadLetter(letter, index, text) || index >= SlotCount)
            continue;
        Instance_Movie* slot = liveMovie(slots[index]);
        if (!slot)
            continue;
        const bool found = letter->GetState() == ITEM_HIDDEN;
        Instance_Movie* holder = liveMovie(slot->FindChildByPath(L"letter").AsMovie());
        if (holder)
        {
            if (auto* label = RObjectCast<Instance_Text>(holder->FindChildByPath(L"letter").AsText().GetInstance()))
                label->SetText(text);
            holder->SetVisible(found);
        }
        const uint32_t frames = slot->GetNumFrames();
        slot->SetFrame(found && frames > 0 ? frames - 1 : 0);
        slot->SetVisible(true);
    }
}

void HUDLetters::OnLetterFound(ISpyItem* letter)
{
    int32_t index = 0;
    std::wstring text;
    if (!ReadLetter(letter, index, text) || index >= SlotCount)
        return;
    Instance_Movie* slot = liveMovie(slots[index]);
    if (!slot)
        return;
    slot->SetFrame(0);
    slot->SetPlaying(true);
    slot->SetVisible(true);
    if (Instance_Movie* holder = liveMovie(slot->FindChildByPath(L"letter").AsMovie()))
        holder->SetVisible(true);
}

void HUDLetters::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.SetConstructor(&LuaConstruct<HUDLetters>);
    def.Build(StaticScriptName());
}
