// The effect settings of the player's profile on the fixture board: "fx_" effects shown or hidden
// and "video" pictures paused, when the board is loaded and on the game event "SETTINGS".
#include "tests/game/hiddenobject/BoardFixture.h"

#include "engine/scene/effects/Instance_Effect.h"
#include "engine/media/video/IImageSource.h"

namespace BoardTest
{

namespace
{

class StillVideo final : public IImageSource
{
public:
    bool Open(bool, float) override { return true; }
    void Close() override {}
    bool IsActive() override { return true; }
    bool Update() override { return false; }
    int GetWidth() override { return 4; }
    int GetHeight() override { return 4; }
};

class EffectSettings : public BoardFixture
{
protected:
    void Profile(const wchar_t* effectsOn)
    {
        services.profile = std::make_unique<XmlNode>(L"PROFILE");
        if (effectsOn)
            services.profile->AddNewChild(L"SETTINGS_KEY")->SetAttribute(L"SETTINGS_FX_ON", effectsOn);
    }

    // The board with an effect "fx_glow", an effect "smoke", a video picture "video_tv" and a movie
    // "Video_wall" holding a video picture, made before the board's first frame.
    ISpyBoard* BoardWithMedia()
    {
        auto* made = RObjectCast<ISpyBoard>(
            Instance_Movie::CreateChild(root, L"level_board", L"level_board", nullptr).GetInstance());
        if (!made)
            return nullptr;
        glow = Effect(made, L"fx_glow");
        smoke = Effect(made, L"smoke");
        tv = Video(made, L"video_tv");
        Instance_Movie* wall = RObjectCast<Instance_Movie>(
            Instance_Movie::CreateChild(made, L"ho_disc_body", L"Video_wall", nullptr).GetInstance());
        inWall = Video(wall, L"screen");
        SetGlobal("board", made);
        EXPECT_TRUE(Run("InstallLevel(board)"));
        Frames(1);
        return made;
    }

    Instance_Effect* Effect(Instance_Movie* parent, const std::wstring& name)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent, L"", name, true, Instance_Effect::StaticClass(), &made);
        auto* effect = RObjectCast<Instance_Effect>(made);
        if (effect)
            effect->startPending = true; // waits for its start, so it lives without particles
        return effect;
    }

    StillVideo* Video(Instance_Movie* parent, const std::wstring& name)
    {
        auto* image = RObjectCast<Instance_Image>(
            Instance_Movie::CreateChild(parent, L"ho_letter", name, nullptr).GetInstance());
        if (!image)
            return nullptr;
        auto source = std::make_unique<StillVideo>();
        StillVideo* kept = source.get();
        image->SetVideoSource(std::move(source));
        return kept;
    }

    Instance_Effect* glow = nullptr;
    Instance_Effect* smoke = nullptr;
    StillVideo* tv = nullptr;
    StillVideo* inWall = nullptr;
};

TEST_F(EffectSettings, EffectsOffHideFxEffectsAndPauseVideosAtLoadAndOnTheSettingsEvent)
{
    Profile(L"0");
    ISpyBoard* board = BoardWithMedia();
    ASSERT_NE(board, nullptr);
    ASSERT_NE(glow, nullptr);
    ASSERT_NE(tv, nullptr);
    ASSERT_NE(inWall, nullptr);
    EXPECT_FALSE(glow->visible);
    EXPECT_TRUE(smoke->visible) << "only effects named fx_";
    EXPECT_TRUE(tv->IsPaused());
    EXPECT_TRUE(inWall->IsPaused()) << "a movie named video passes it to its pictures";

    Profile(L"yes");
    board->OnGameEvent(L"SETTINGS", L"");
    EXPECT_TRUE(glow->visible);
    EXPECT_FALSE(tv->IsPaused());
    EXPECT_FALSE(inWall->IsPaused());

    Profile(L"0");
    board->OnGameEvent(L"PAUSE", L"1");
    EXPECT_TRUE(glow->visible) << "other game events change nothing";
}

TEST_F(EffectSettings, WithoutTheSettingsElementNothingChanges)
{
    Profile(nullptr);
    ISpyBoard* board = BoardWithMedia();
    ASSERT_NE(board, nullptr);
    EXPECT_TRUE(glow->visible);
    EXPECT_FALSE(tv->IsPaused());
    services.profile.reset();
    board->OnGameEvent(L"SETTINGS", L"");
    EXPECT_TRUE(glow->visible);
}

} // namespace

} // namespace BoardTest
