// The game-mode registration list; see BaseGame.h.
#include "game/core/BaseGame.h"

namespace
{

std::vector<std::pair<int32_t, std::unique_ptr<BaseGame>>>& registrations()
{
    static std::vector<std::pair<int32_t, std::unique_ptr<BaseGame>>> list;
    return list;
}

} // namespace

void RegisterGameMode(int32_t index, BaseGame* game)
{
    if (game)
        registrations().emplace_back(index, std::unique_ptr<BaseGame>(game));
}

std::vector<std::pair<int32_t, std::unique_ptr<BaseGame>>> TakeGameModeRegistrations()
{
    std::vector<std::pair<int32_t, std::unique_ptr<BaseGame>>> taken;
    taken.swap(registrations());
    return taken;
}
