// The credits' and mini-games' registrations; see MiniGameRegistrations.h.
#include "game/minigames/MiniGameRegistrations.h"

#include "engine/scene/script/ScriptRegistry.h"
#include "game/minigames/OctaneAnimController.h"
#include "game/minigames/OctaneBoard.h"
#include "game/minigames/TypeBoard.h"
#include "game/minigames/TypeLetter.h"
#include "game/minigames/TypeWord.h"
#include "game/ui/CreditsPad.h"
#include "game/ui/DlgCredits.h"
#include "game/ui/WarpedText.h"

void RegisterCreditsAndMiniGames()
{
    WarpedText::StaticClass();
    CreditsPad::StaticClass();
    DlgCredits::StaticClass();
    TypeLetter::StaticClass();
    TypeWord::StaticClass();
    TypeBoard::StaticClass();
    OctaneAnimController::StaticClass();
    OctaneBoard::OctaneBtnContainer::StaticClass();
    OctaneBoard::StaticClass();

    static bool functionsRegistered = false;
    if (functionsRegistered)
        return;
    functionsRegistered = true;
    TarnEngine::RegisterScriptFunction("EnterOctanePuzzle", &LuaEnterOctanePuzzle);
}
