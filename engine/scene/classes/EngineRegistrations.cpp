// The engine's lists of class records, script functions and system macros;
// see EngineRegistrations.h.
#include "engine/scene/classes/EngineRegistrations.h"

#include "engine/graphics/device/DrawCall.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/definitions/nuggets/RNuggetBase.h"
#include "engine/scene/display/geometry/UVWaterWaveDistortionHandler.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/image/MultipleVideo.h"
#include "engine/scene/display/image/SliceScalers.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/text/BitmapTextInstance.h"
#include "engine/scene/display/text/TextureText.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/effects/RPfxAppearanceActions.h"
#include "engine/scene/effects/RPfxEmitterActions.h"
#include "engine/scene/effects/RPfxImageActions.h"
#include "engine/scene/effects/RPfxMotionActions.h"
#include "engine/scene/effects/RPfxRotationActions.h"
#include "engine/scene/script/LuaBaseSubclass.h"
#include "engine/scene/script/LuaConsole.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/BitmapNumber.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/Panel.h"
#include "engine/scene/widgets/RadioButton.h"
#include "engine/scene/widgets/Slider.h"
#include "engine/scene/widgets/TextField.h"

namespace TarnEngine
{

namespace
{

void registerClasses()
{
    RObject::StaticClass();
    RClass::StaticClass();
    RInstanceClass::StaticClass();
    LuaSubclass::StaticClass();
    LuaBaseClass::StaticClass();
    Instance_Base::StaticClass();
    Instance_Movie::StaticClass();
    Instance_Image::StaticClass();
    Instance_Text::StaticClass();
    TextureText::StaticClass();
    BitmapTextInstance::StaticClass();
    Instance_Effect::StaticClass();
    UserInterface::StaticClass();
    LuaConsole::StaticClass();
    // The UI toolkit and the screen manager, which definitions and scripts name.
    Component::StaticClass();
    Container::StaticClass();
    Screen::StaticClass();
    Button::StaticClass();
    TextField::StaticClass();
    CheckBox::StaticClass();
    Slider::StaticClass();
    VSlider::StaticClass();
    RadioButton::StaticClass();
    Panel::StaticClass();
    BitmapNumber::StaticClass();
    _ScreenMgr::StaticClass();
    // Scripts make video playlists.
    MultipleVideo::StaticClass();
    // Meta files name nuggets by class.
    RegisterNuggetClasses();
    // The particle actions, which effect files name.
    Effects::RPfxActionBase::StaticClass();
    Effects::RPfxStreamEmitterAction::StaticClass();
    Effects::RPfxExplosionEmitterAction::StaticClass();
    Effects::RPfxMovePositionAction::StaticClass();
    Effects::RPfxRandomMoveAction::StaticClass();
    Effects::RPfxRandomMoveTargetAction::StaticClass();
    Effects::RPfxSetVelocityAction::StaticClass();
    Effects::RPfxGravityAction::StaticClass();
    Effects::RPfxSetVelocityTowardAction::StaticClass();
    Effects::RPfxPointGravityAction::StaticClass();
    Effects::RPfxSetRotationAction::StaticClass();
    Effects::RPfxSpinRotationAction::StaticClass();
    Effects::RPfxAlignRotationToVelocityAction::StaticClass();
    Effects::RPfxSetScaleAction::StaticClass();
    Effects::RPfxSetUniformScaleAction::StaticClass();
    Effects::RPfxSetScaleFromVelocityAction::StaticClass();
    Effects::RPfxSetOpacityAction::StaticClass();
    Effects::RPfxSetColorRGBAction::StaticClass();
    Effects::RPfxSetColorHSVAction::StaticClass();
    Effects::RPfxSetImageListFrameAction::StaticClass();
    Effects::RPfxSetFamilyImageListAction::StaticClass();
    Effects::RPfxImageScatterAction::StaticClass();
    Effects::RPfxSplineMoveAction::StaticClass();
}

void registerScriptFunctions()
{
    RegisterScriptFunction("Set9Scale", &LuaSet9Scale);
    RegisterScriptFunction("Set3Scale", &LuaSet3Scale);
    RegisterScriptFunction("CreateWaterRipple", &LuaCreateWaterRipple);
    RegisterScriptFunction("CreateWaterRippleEx", &LuaCreateWaterRippleEx);
}

void registerSystemMacros()
{
    // Instance kinds.
    RegisterSystemMacroInt("INSTANCE_MOVIE", 0);
    RegisterSystemMacroInt("INSTANCE_IMAGE", 1);
    RegisterSystemMacroInt("INSTANCE_TEXT", 2);
    RegisterSystemMacroInt("INSTANCE_EFFECT", 3);
    // Time channels.
    RegisterSystemMacroInt("SYSTEM_TIME", 0);
    RegisterSystemMacroInt("GAME_TIME", 1);
    // Hit-test types.
    RegisterSystemMacroInt("HTT_All", 0);
    RegisterSystemMacroInt("HTT_NonAlpha", 1);
    RegisterSystemMacroInt("HTT_None", 2);
    RegisterSystemMacroInt("HTT_COUNT", 3);
    // Materials: a blend mode in the low values, flags above; one word together.
    RegisterSystemMacroInt("eMaterialNoBlend", eMaterialNoBlend);
    RegisterSystemMacroInt("eMaterialAlpha", eMaterialAlpha);
    RegisterSystemMacroInt("eMaterialAdditive", eMaterialAdditive);
    RegisterSystemMacroInt("eMaterialNoTexture", eMaterialNoTexture);
    RegisterSystemMacroInt("eMaterialMaskLayer", eMaterialMaskLayer);
    RegisterSystemMacroInt("eMaterialDebug", eMaterialDebug);
    RegisterSystemMacroInt("eMaterialCount", eMaterialCount); // 6, depth-writing alpha, has no script name
    RegisterSystemMacroInt("eMaterialCanvas", eMaterialCanvas);
    RegisterSystemMacroInt("eMaterialMaskedIn", eMaterialMaskedIn);
    RegisterSystemMacroInt("eMaterialMaskClear", eMaterialMaskClear);
    RegisterSystemMacroInt("eMaterialMaskedOut", eMaterialMaskedOut);
    RegisterSystemMacroInt("eMaterialNoAutoInherit", eMaterialNoAutoInherit);
    // Edge bits of the water ripples.
    RegisterSystemMacroInt("WR_Top", 1);
    RegisterSystemMacroInt("WR_Right", 2);
    RegisterSystemMacroInt("WR_Bottom", 4);
    RegisterSystemMacroInt("WR_Left", 8);
    RegisterSystemMacroInt("WR_All", 15);
}

} // namespace

void RegisterEngineStatics()
{
    // The class records every time: shutdown deletes them, and an engine started again in the same
    // process needs them back. Records that exist are not made again.
    registerClasses();
    static bool done = false;
    if (done)
        return;
    done = true;
    registerScriptFunctions();
    registerSystemMacros();
}

} // namespace TarnEngine
