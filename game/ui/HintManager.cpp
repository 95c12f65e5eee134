// The hint boxes; see HintManager.h.
#include "game/ui/HintManager.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringFormat.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/ui/DlgHelp.h"
#include "game/ui/HintPopup.h"
#include "game/ui/HintTracker.h"

#include <algorithm>
#include <vector>

using namespace TarnEngine;

namespace
{

// The managers that exist, oldest first; the newest is the one reached process-wide. Never
// destroyed: a manager owned by a static may go after function statics.
std::vector<HintManager*>& liveManagers()
{
    static auto* managers = new std::vector<HintManager*>;
    return *managers;
}

// Hints keep clear of the right and bottom edges of the 1024 x 768 screen by these limits.
constexpr int32_t kRightLimit = 1016;
constexpr int32_t kBottomLimit = 760;
constexpr int32_t kBelowPointer = 55;
constexpr int32_t kAbovePointer = 10;
constexpr int32_t kMargin = 5;

// Marks the lifetime timer finished so that the service drops it unnotified. The handle belongs
// to the service's table, which must still exist to be asked.
void finishTimer(InstanceHandle& timer)
{
    if (TimerService::Get() && timer.IsValid())
        if (auto* record = static_cast<TimerRecord*>(timer.Get()))
            record->removed = true;
    timer = {};
}

// Only handles of the live user interface's table may be resolved to instances.
Instance_Base* liveInstance(const InstanceHandle& handle)
{
    const UserInterface* ui = UserInterface::Get();
    if (!ui || handle.table != &ui->instanceTable)
        return nullptr;
    return handle.GetInstance();
}

} // namespace

HintManager::Hint::~Hint()
{
    if (Instance_Base* back = liveInstance(background))
        back->Delete(false);
    if (Instance_Base* movie = liveInstance(textMovie))
        movie->Delete(false);
}

HintManager::HintManager()
{
    liveManagers().push_back(this);
}

HintManager::~HintManager()
{
    Clear();
    std::vector<HintManager*>& managers = liveManagers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

HintManager* HintManager::Get()
{
    const std::vector<HintManager*>& managers = liveManagers();
    return managers.empty() ? nullptr : managers.back();
}

int32_t HintManager::AddHint(const wchar_t* text, float lifetime)
{
    const int32_t n = lastId;
    auto hint = std::make_unique<Hint>();
    UserInterface* ui = UserInterface::Get();
    Instance_Movie* root = ui ? ui->GetRoot() : nullptr;
    if (root)
    {
        hint->background =
            Instance_Movie::CreateChild(root, BackgroundImage, StringPrintf(L"text_hint_bkg_%d", n), nullptr);
        Instance_Base* back = hint->background.GetInstance();
        if (back)
        {
            back->SetVisible(true);
            back->SetOpacity(1.0f);
        }
        hint->textMovie =
            Instance_Movie::CreateChild(root, TextDefinition, StringPrintf(L"text_hint_%d", n), nullptr);
        Instance_Base* movie = hint->textMovie.GetInstance();
        auto* label = RObjectCast<Instance_Text>(Instance_Movie::GetMyText(hint->textMovie).GetInstance());
        if (movie && label)
        {
            label->SetText(text ? text : L"");
            label->SetTextFormat(eTextFormatCenter);
            const MeasuredSize size = label->MeasureText(label->text);
            const int32_t w = int32_t(size.width);
            const int32_t h = int32_t(size.height);
            label->SetWidth(w);
            label->SetHeight(h);
            label->Relayout();
            if (back)
            {
                const float backWidth = back->ComputeWidth(false) / back->scaleX;
                const float backHeight = back->ComputeHeight(false) / back->scaleY;
                if (backWidth > 0.0f && backHeight > 0.0f)
                    back->SetScale(float(w + 2 * kMargin) / backWidth, float(h + 2 * kMargin) / backHeight);
            }
            const int32_t mx = ui->mouseX;
            const int32_t my = ui->mouseY;
            int32_t px = mx;
            if (w + mx >= kRightLimit)
                px = kRightLimit - w;
            int32_t py = my + kBelowPointer;
            if (h + py >= kBottomLimit)
                py = my - h - kAbovePointer;
            if (back)
            {
                back->SetPosition(float(px - kMargin), float(py - kMargin));
                back->MoveToFront();
            }
            movie->SetPosition(float(px), float(py));
            movie->MoveToFront();
        }
    }
    if (lifetime > 0.0f)
        if (TimerService* timers = TimerService::Get())
            hint->timer = timers->AddTimer(lifetime, this);
    ++lastId;
    hints[lastId] = std::move(hint);
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"hint %d shown: %s", lastId,
                    std::wstring(text ? text : L""));
    return lastId;
}

void HintManager::RemoveHint(int32_t id)
{
    const auto found = hints.find(id);
    if (found == hints.end())
        return;
    std::unique_ptr<Hint> hint = std::move(found->second);
    hints.erase(found);
    finishTimer(hint->timer);
}

void HintManager::Clear()
{
    // Every timer is finished, so none reaches a manager that has gone.
    std::map<int32_t, std::unique_ptr<Hint>> gone;
    gone.swap(hints);
    for (auto& [id, hint] : gone)
        finishTimer(hint->timer);
}

void HintManager::OnTimer(InstanceHandle timer)
{
    for (auto it = hints.begin(); it != hints.end(); ++it)
        if (it->second->timer.Equals(timer))
        {
            std::unique_ptr<Hint> hint = std::move(it->second);
            hints.erase(it);
            finishTimer(hint->timer);
            return;
        }
}

namespace
{

// A text argument: a string (UTF-8) or nil, which is the empty text.
bool readText(lua_State* state, int index, std::wstring& out)
{
    const int kind = lua_type(state, index);
    if (kind != LUA_TSTRING && kind != LUA_TNIL)
        return false;
    return LuaGetWStringArg(state, out, index) == 1;
}

// ShowHintPopup(title, text, x, y, id, timeout): nothing unless all six read.
int luaShowHintPopup(lua_State* state)
{
    std::wstring title, text;
    float px = 0.0f, py = 0.0f, timeout = 0.0f;
    int id = 0;
    if (lua_gettop(state) < 6 || !readText(state, 1, title) || !readText(state, 2, text))
        return 0;
    if (LuaGetFloatArg(state, px, 3) + LuaGetFloatArg(state, py, 4) + LuaGetIntArg(state, id, 5) +
            LuaGetFloatArg(state, timeout, 6) ==
        4)
        ShowHintPopup(title, text, px, py, id, timeout);
    return 0;
}

} // namespace

void RegisterHintScript()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    HintPopup::StaticClass();
    DlgHelp::StaticClass();
    HintTracker::StaticClass();
    RegisterScriptFunction("ShowHintPopup", &luaShowHintPopup);
}
