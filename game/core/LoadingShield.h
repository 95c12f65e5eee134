// The loading movie's class: a movie that hides itself, stops taking the
// mouse and goes to the back of its parent once its animation has played
// out. The game object shows it again before each long load.
#pragma once

#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"

class LoadingShield final : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(LoadingShield)
    TARN_LUA_CLASS("LoadingShield")
public:
    void Initialize(const std::wstring& instanceName) override;
    void OnTimelineStop(TarnEngine::InstanceHandle instance) override;

    static void RegisterLua(lua_State* state);
};

void RegisterLoadingShieldClass();
