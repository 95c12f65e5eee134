// The sample's options dialog; see SampleOptions.h.
#include "app/SampleOptions.h"

#include "game/core/Core.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/RadioButton.h"
#include "engine/scene/widgets/Slider.h"
#include "engine/core/text/TextConversion.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(SampleOptions, Screen, RObjectFactory<SampleOptions>, L"SampleOptions",
                              &SampleOptions::RegisterLua)

namespace
{

// The boolean field of that name in the table on top of the stack; anything else is false.
bool tableFlag(lua_State* state, const std::wstring& name)
{
    lua_getfield(state, -1, WStringToUtf8(name).c_str());
    const bool flag = lua_isboolean(state, -1) && lua_toboolean(state, -1);
    lua_pop(state, 1);
    return flag;
}

// The game's sound service, or null.
SoundMgr* gameSound()
{
    Core* core = Core::Get();
    return core ? &core->GetSound() : nullptr;
}

// The music classes' volume as this screen last set it; the game object starts them at 0.1.
float g_musicVolume = 0.1f;

void setMusicVolume(float volume)
{
    g_musicVolume = volume;
    if (SoundMgr* sound = gameSound())
        sound->SetMusicVolume(volume);
}

} // namespace

void SampleOptions::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<SampleOptions>);
    def.Build(StaticScriptName());
}

bool SampleOptions::showSettings()
{
    ISlider* music = nullptr;
    for (Component* component : components)
        if (component->name == MusicSlider)
            music = RObjectCast<ISlider>(component);
    // The widgets load together; the slider is the sign that they are all in.
    if (!music)
        return false;
    lua_State* state = LuaBinding::GetState();
    const bool hasTable = state && PushTable();
    for (Component* component : components)
    {
        if (auto* box = RObjectCast<CheckBox>(component))
            box->SetChecked(hasTable && tableFlag(state, box->name));
        else if (auto* radio = RObjectCast<RadioButton>(component))
            radio->SetSelected(hasTable && tableFlag(state, radio->name));
    }
    if (hasTable)
        lua_pop(state, 1);
    volumeAtOpen = g_musicVolume;
    music->SetValue(volumeAtOpen * 100.0f);
    return true;
}

void SampleOptions::UpdateState()
{
    Screen::UpdateState();
    if (!settingsShown)
        settingsShown = showSettings();
}

void SampleOptions::applyMusicSlider(ISlider* slider)
{
    if (slider && slider->name == MusicSlider)
        setMusicVolume(slider->GetValue() / 100.0f);
}

void SampleOptions::HandleSliderPressed(ISlider* slider)
{
    applyMusicSlider(slider);
    Screen::HandleSliderPressed(slider);
}

void SampleOptions::HandleSliderChanged(ISlider* slider)
{
    applyMusicSlider(slider);
    Screen::HandleSliderChanged(slider);
}

void SampleOptions::HandleButtonPressed(Button* button)
{
    RaiseWidgetEvent("HandleButtonPressed", button);
    if (button && button->name == L"cancelButton" && volumeAtOpen >= 0.0f)
        setMusicVolume(volumeAtOpen);
    Screen::HandleButtonPressed(button);
}
