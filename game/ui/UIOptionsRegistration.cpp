// See UIOptionsRegistration.h.
#include "game/ui/UIOptionsRegistration.h"

#include "game/ui/DlgIngameMenu.h"
#include "game/ui/LuaScreen.h"
#include "game/ui/ProfileButton.h"
#include "game/ui/UINewProfile.h"
#include "game/ui/UIOptions.h"
#include "game/ui/UIProfile.h"
#include "game/ui/UISpeechParams.h"

void RegisterPlayerScreenClasses()
{
    UISpeechParams::StaticClass();
    UIOptions::StaticClass();
    ProfileButton::StaticClass();
    UIProfile::StaticClass();
    UINewProfile::StaticClass();
    DlgIngameMenu::StaticClass();
    LuaScreen::StaticClass();
}
