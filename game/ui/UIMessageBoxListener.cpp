// See UIMessageBoxListener.h.
#include "game/ui/UIMessageBoxListener.h"

#include "game/ui/UIMessageBox.h"

UIMessageBoxListener::~UIMessageBoxListener()
{
    UIMessageBox::ForgetListener(this);
}
