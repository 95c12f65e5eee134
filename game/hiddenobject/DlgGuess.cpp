// The word-guess dialog; see DlgGuess.h.
#include "game/hiddenobject/DlgGuess.h"

#include "engine/core/text/StringTable.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/TextField.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/HUDLetters.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ScreenServices.h"
#include "game/ui/UIMessageBox.h"

#include <cwctype>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(DlgGuess, Screen, RObjectFactory<DlgGuess>, L"DlgGuess", &DlgGuess::RegisterLua)

void DlgGuess::SetOwner(HOScreen* screen)
{
    owner = WeakPtr<Instance_Movie>(screen);
}

HOScreen* DlgGuess::GetOwner() const
{
    Instance_Movie* movie = owner.Get();
    return movie && !movie->unloaded ? RObjectCast<HOScreen>(movie) : nullptr;
}

void DlgGuess::OnScreenLoaded()
{
    HOScreen* screen = GetOwner();
    ISpyBoard* board = screen ? screen->GetBoard() : nullptr;
    if (!board)
        return;
    if (auto* row = RObjectCast<HUDLetters>(FindChildByPath(L"letters").GetInstance()))
    {
        const WeakPtr<LuaObjectBase> alive(this);
        row->SetOwner(screen);
        row->Refill(board);
        if (!alive.IsAlive() || !(screen = GetOwner()) || !(board = screen->GetBoard()))
            return;
    }
    wordBuilt = HUDLetters::BuildWord(board->GetLetters(), word);
    if (auto* field = RObjectCast<TextField>(FindChildByPath(L"lbl_text").GetInstance()))
    {
        const StringTable* strings = StringTable::GetKeyed();
        field->allowedCharacters = strings ? strings->GetText(L"Allowed Symbols") : L"Allowed Symbols";
    }
}

bool DlgGuess::IsSameWord(const std::wstring& expected, const std::wstring& typed)
{
    if (expected.size() != typed.size())
        return false;
    for (size_t i = 0; i < expected.size(); ++i)
        if (std::towupper(wint_t(expected[i])) != std::towupper(wint_t(typed[i])))
            return false;
    return true;
}

bool DlgGuess::Judge()
{
    const auto* field = RObjectCast<TextField>(FindChildByPath(L"lbl_text").GetInstance());
    if (!field)
        return false;
    HOScreen* screen = GetOwner();
    ISpyBoard* board = screen ? screen->GetBoard() : nullptr;
    // Without a word built from the board nothing can be guessed: an empty text would otherwise
    // match the empty word and reveal every letter.
    if (board && wordBuilt && IsSameWord(word, field->GetText()))
    {
        board->OnWordGuessed();
        ScreenServices::Get().ReportPowerUpUsed(L"guess", L"correct");
        return true;
    }
    ShowMessageBox(nullptr, nullptr, 0, L"|T|BadGuessTitle", L"|T|BadGuessText", nullptr, L"|T|Ok", nullptr);
    ScreenServices::Get().ReportPowerUpUsed(L"guess", L"wrong");
    return false;
}

void DlgGuess::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    const WeakPtr<LuaObjectBase> alive(this);
    if (button->name == L"okButton")
    {
        Judge();
        if (alive.IsAlive() && !unloaded)
            Close(true);
    }
    else if (button->name == L"cancelButton")
    {
        if (HOScreen* screen = GetOwner())
            screen->OnGuessClosed();
        if (alive.IsAlive() && !unloaded)
            Close(false);
    }
}

void DlgGuess::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<DlgGuess>);
    def.Build(StaticScriptName());
}
