// One panel of the credits screen: an animated movie whose child movie "pad" holds the title
// "lbl_title" and the names "lbl_name". The first panel also carries rippling mirror images of both
// ("lbl_titlem", "lbl_namesm"). The panel's timeline paces the credits: every label it reaches asks
// the credits screen for the next entry.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <string>

class CreditsPad final : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(CreditsPad)
    TARN_LUA_CLASS("CreditsPad")
public:
    static constexpr float MirrorY = 150.0f;
    static constexpr float TitleMirrorOpacity = 0.15f;
    static constexpr float NamesMirrorOpacity = 0.2f;

    CreditsPad() = default;
    ~CreditsPad() override;

    // The panel is its own handler until the credits screen takes its notifications over.
    void Initialize(const std::wstring& instanceName) override;
    void OnLoad(TarnEngine::InstanceHandle instance) override;

    void SetTexts(const std::wstring& title, const std::wstring& names);
    void CreateReflections();

    const TarnEngine::InstanceHandle& GetTitle() const { return title; }
    const TarnEngine::InstanceHandle& GetNames() const { return names; }
    const TarnEngine::InstanceHandle& GetTitleMirror() const { return titleMirror; }
    const TarnEngine::InstanceHandle& GetNamesMirror() const { return namesMirror; }

    static void RegisterLua(lua_State* state);

private:
    // The texts of "pad", looked up when a handle is still empty: the screen may take the panel's
    // notifications before the panel heard its own attach.
    void findTexts();

    TarnEngine::InstanceHandle title;
    TarnEngine::InstanceHandle names;
    TarnEngine::InstanceHandle titleMirror;
    TarnEngine::InstanceHandle namesMirror;
};
