// Registrations of the hidden-object screen; see ScreenRegistrations.h.
#include "game/hiddenobject/ScreenRegistrations.h"

#include "game/hiddenobject/DlgGuess.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/HUDLetters.h"
#include "game/hiddenobject/HUDList.h"
#include "game/hiddenobject/HUDListEntry.h"
#include "game/hiddenobject/HiddenObjectRegistrations.h"
#include "game/hiddenobject/ISpyState.h"
#include "game/hiddenobject/RechargableButton.h"

void RegisterHiddenObjectClasses()
{
    RegisterHiddenObjectBoardClasses();
    // Class records are made whenever missing (an engine shutdown deletes them).
    RechargableButton::StaticClass();
    HUDListEntry::StaticClass();
    HUDList::StaticClass();
    HUDLetters::StaticClass();
    DlgGuess::StaticClass();
    HOScreen::StaticClass();
    ISpyState::StaticClass();
}
