// A falling word; see TypeWord.h.
#include "game/minigames/TypeWord.h"

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(TypeWord, Instance_Movie, RObjectFactory<TypeWord>, L"TypeWord",
                              &TypeWord::RegisterLua)

void TypeWord::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.SetConstructor(&LuaConstruct<TypeWord>);
    def.Build(StaticScriptName());
}

InstanceHandle TypeWord::GetTextHandle()
{
    if (!text.IsValid())
        text = FindChildByPath(L"text").AsText();
    return text;
}

std::wstring TypeWord::GetText()
{
    auto* label = RObjectCast<Instance_Text>(GetTextHandle().GetInstance());
    return label ? label->text : std::wstring();
}

void TypeWord::show()
{
    std::wstring shown;
    if (landed >= plain.size() && !plain.empty())
        shown = TypedColour + plain;
    else if (landed == 0)
        shown = UntypedColour + plain;
    else
        shown = TypedColour + plain.substr(0, landed) + UntypedColour + plain.substr(landed);
    if (auto* label = RObjectCast<Instance_Text>(GetTextHandle().GetInstance()))
        label->SetText(shown);
}

void TypeWord::SetWord(const std::wstring& word)
{
    plain = word;
    landed = 0;
    if (auto* label = RObjectCast<Instance_Text>(GetTextHandle().GetInstance()))
        label->SetColor(0xFFFFFF);
    show();
}

bool TypeWord::AcceptLetter(wchar_t c)
{
    if (landed >= plain.size() || plain[landed] != c)
        return false;
    ++landed;
    show();
    return landed == plain.size();
}

void TypeWord::LetterPosition(uint32_t k, float& px, float& py)
{
    px = py = 0.0f;
    if (k >= plain.size())
        return;
    auto* label = RObjectCast<Instance_Text>(GetTextHandle().GetInstance());
    if (!label)
    {
        px = x;
        py = y;
        return;
    }
    const float w = float(label->MeasureText(plain).width);
    const float p = float(label->MeasureText(plain.substr(0, k)).width);
    const float textWidth = label->ComputeWidth(false);
    const float textHeight = label->ComputeHeight(false);
    px = x + label->x + 0.5f * textWidth - 0.5f * w + p;
    py = y + label->y + 0.5f * textHeight;
}

void TypeWord::OpacityPulse()
{
    const float step = 1.0f / 60.0f;
    if (!fading)
    {
        float value = opacity - step;
        if (value <= 0.5f)
        {
            value = 0.5f;
            fading = true;
        }
        SetOpacity(value);
    }
    else
    {
        float value = opacity + step;
        if (value >= 1.0f)
        {
            value = 1.0f;
            fading = false;
        }
        SetOpacity(value);
    }
}

void TypeWord::StartMoving()
{
    if (state == StateResting)
        state = StateFalling;
    else if (state == StateRestingInZone)
        state = StateFallingInZone;
}
