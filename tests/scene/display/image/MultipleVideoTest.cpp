// Video playlists: the playing order, repeats with their sounds, the end of the list, the image that
// shows the list, and the script class.
#include "engine/scene/display/image/MultipleVideo.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"

#include "tests/media/video/VideoWorld.h"

namespace VideoTest
{

// An image as the playlist sees it: it shows one source, owned or not, and keeps what is written.
class PlaylistImage : public Instance_Base, public IVideoImage
{
    TARN_RCLASS(PlaylistImage)
public:
    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_IMAGE;
    }
    std::vector<uint32_t> ReadVideoPixels(uint32_t& w, uint32_t& h) override
    {
        w = 16;
        h = 16;
        return std::vector<uint32_t>(16 * 16, 0);
    }
    void UploadVideoPixels(const uint32_t* pixels, uint32_t, uint32_t) override { lastLuma = G(pixels[0]) + 16; }
    void SetVideoSource(std::unique_ptr<IImageSource> source) override { shown = std::move(source); }
    IImageSource* GetVideoSource() const override { return shown.get(); }
    // What drawing does: the source's update.
    void Frame()
    {
        if (shown)
            shown->Update();
    }

    std::unique_ptr<IImageSource> shown;
    int lastLuma = 0;
};

TARN_IMPLEMENT_RCLASS(PlaylistImage, Instance_Base, RObjectFactory<PlaylistImage>)

namespace
{

class PlayedSounds final : public ISoundManager
{
public:
    bool Init(int32_t) override { return true; }
    bool LoadAudioXml() override { return true; }
    void SetEnabled(bool) override {}
    WeakPtr<ISound> PlaySoundWithParams(const std::wstring&, bool, bool) override { return {}; }
    WeakPtr<ISound> PlaySound(const std::wstring& name, bool) override
    {
        played.push_back(name);
        return {};
    }
    WeakPtr<ISound> FindPlayingSound(const std::wstring&) override { return {}; }
    void GetPlayingSoundsOfClass(const std::wstring&, std::vector<WeakPtr<ISound>>&) override {}
    void PauseAll(bool) override {}
    void PauseClass(const std::wstring&, bool) override {}
    void MuteAll(bool) override {}
    void StopAll() override {}
    void StopClass(const std::wstring&) override {}
    void SetClassVolume(const std::wstring&, float) override {}
    std::wstring GetSoundClass(const std::wstring&) override { return {}; }
    float GetDefaultVolume(const std::wstring&) override { return 1; }
    int32_t GetPriority(const std::wstring&) override { return 0; }
    void Update() override {}
    void ExecuteCommand(const std::vector<std::wstring>&, const InstanceHandle&) override {}

    std::vector<std::wstring> played;
};

using Sounds = std::vector<std::wstring>;

class MultipleVideoTest : public VideoWorld
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lua.Init());
        ui = std::make_unique<UserInterface>(nullptr, nullptr);
        ASSERT_TRUE(ui->Init());
        // One-frame videos at 2 frames a second: a play lasts 60 updates (frame, then the end).
        VideoSpec spec;
        for (auto [name, luma] : {std::pair{L"a.ogv", 50}, std::pair{L"b.ogv", 100}, std::pair{L"c.ogv", 150}})
            Write(name, TheoraFiles::Encode(spec, {TheoraFiles::FlatFrame(spec, uint8_t(luma))}));
        image = MakeImage(L"screen");
        ASSERT_NE(image, nullptr);
    }
    void TearDown() override
    {
        playlist.reset();
        ui.reset();
    }

    PlaylistImage* MakeImage(const std::wstring& name)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(ui->GetRoot(), L"", name, true, PlaylistImage::StaticClass(), &made);
        return dynamic_cast<PlaylistImage*>(made);
    }

    MultipleVideo& Playlist()
    {
        playlist = std::make_unique<MultipleVideo>();
        playlist->SetClock(&clock);
        return *playlist;
    }

    // Draws the image for that many 60ths of a second; the lumas shown, one per new frame.
    std::vector<int> Run(int updates, PlaylistImage* on = nullptr)
    {
        PlaylistImage* target = on ? on : image;
        std::vector<int> shown;
        for (int i = 0; i < updates; ++i)
        {
            clock.Advance(kTicksPerUpdate);
            const int before = target->lastLuma;
            target->lastLuma = 0;
            target->Frame();
            if (target->lastLuma != 0)
                shown.push_back(target->lastLuma);
            else
                target->lastLuma = before;
        }
        return shown;
    }

    LuaMgr lua;
    std::unique_ptr<UserInterface> ui;
    PlayedSounds sounds;
    PlaylistImage* image = nullptr;
    std::unique_ptr<MultipleVideo> playlist;
};

MATCHER_P(LumasNear, expected, "")
{
    if (arg.size() != expected.size())
        return false;
    for (size_t i = 0; i < arg.size(); ++i)
        if (std::abs(arg[i] - expected[i]) > 2)
            return false;
    return true;
}

TEST_F(MultipleVideoTest, PlaysInOrderWithRepeatsAndTheirSounds)
{
    MultipleVideo& list = Playlist();
    list.AddVideoEntry(L"c.ogv", L"", L"c-sound", 3, 1, 0.0f);
    list.AddVideoEntry(L"a.ogv", L"", L"a-sound", 1, 2, 0.0f);
    list.AddVideoEntry(L"none.ogv", L"", L"never", 0, 0, 0.0f); // repeat 0: not added
    list.AddVideoEntry(L"b.ogv", L"", L"", 2, 1, 0.0f);
    EXPECT_EQ(list.GetVideoFiles(), (std::vector<std::wstring>{L"a.ogv", L"b.ogv", L"c.ogv"}));
    EXPECT_EQ(list.GetRemaining(), 2u);
    list.SetImage(image);
    EXPECT_EQ(MultipleVideo::ShownBy(image->GetVideoSource()), &list);
    ASSERT_TRUE(list.Open(false, 0.0f));
    EXPECT_EQ(list.GetWidth(), 16);

    EXPECT_THAT(Run(4 * 60), LumasNear(std::vector<int>{50, 50, 100, 150}));
    EXPECT_EQ(sounds.played, (Sounds{L"a-sound", L"a-sound", L"c-sound"})) << "a sound with every play";
    // Idle after the last play.
    EXPECT_FALSE(list.IsActive());
    EXPECT_EQ(list.GetWidth(), -1);
    EXPECT_EQ(list.GetCurrent(), -1);
    EXPECT_FALSE(list.Update());
    EXPECT_FALSE(list.Open(false, 0.0f));
    EXPECT_TRUE(Run(120).empty());
    // A stray end notice of a finished list does not wind its count below 0 and start an entry.
    static_cast<ITheoraEventListener&>(list).OnTheoraEvent(L"a.ogv");
    EXPECT_EQ(list.GetCurrent(), -1);
    EXPECT_EQ(list.GetRemaining(), 0u);
    EXPECT_TRUE(Run(120).empty());
}

TEST_F(MultipleVideoTest, ALoopingListStartsAgainAtItsFirstEntry)
{
    MultipleVideo& list = Playlist();
    list.AddVideoEntry(L"a.ogv", L"", L"", 1, 1, 0.0f);
    list.AddVideoEntry(L"b.ogv", L"", L"", 2, 2, 0.0f);
    list.SetImage(image);
    ASSERT_TRUE(list.Open(true, 0.0f));
    EXPECT_THAT(Run(7 * 60), LumasNear(std::vector<int>{50, 100, 100, 50, 100, 100, 50}));
    EXPECT_TRUE(list.IsActive());
}

TEST_F(MultipleVideoTest, EntriesOfOneOrderKeepTheirTurnAndAddingRewinds)
{
    MultipleVideo& list = Playlist();
    list.AddVideoEntry(L"b.ogv", L"", L"", 5, 1, 0.0f);
    list.AddVideoEntry(L"c.ogv", L"", L"", 5, 1, 0.0f);
    list.AddVideoEntry(L"a.ogv", L"", L"", 5, 1, 0.0f);
    EXPECT_EQ(list.GetVideoFiles(), (std::vector<std::wstring>{L"b.ogv", L"c.ogv", L"a.ogv"}));
    list.SetImage(image);
    ASSERT_TRUE(list.Open(false, 0.0f));
    EXPECT_THAT(Run(90), LumasNear(std::vector<int>{100, 150})); // b, and c has begun
    EXPECT_EQ(list.GetCurrent(), 1);
    list.AddVideoEntry(L"a.ogv", L"", L"", 1, 3, 0.0f);
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(list.GetRemaining(), 3u);
}

TEST_F(MultipleVideoTest, AVideoThatCannotOpenKeepsTheListOnIt)
{
    MultipleVideo& list = Playlist();
    list.AddVideoEntry(L"missing.ogv", L"", L"", 1, 1, 0.0f);
    list.AddVideoEntry(L"a.ogv", L"", L"", 2, 1, 0.0f);
    list.SetImage(image);
    EXPECT_TRUE(list.Open(false, 0.0f));
    EXPECT_TRUE(Run(300).empty());
    EXPECT_EQ(list.GetCurrent(), 0);
}

TEST_F(MultipleVideoTest, TheImageShowsTheListWithoutOwningIt)
{
    PlaylistImage* second = MakeImage(L"second");
    ASSERT_NE(second, nullptr);
    {
        MultipleVideo& list = Playlist();
        list.AddVideoEntry(L"a.ogv", L"", L"", 1, 1, 0.0f);
        list.SetImage(image);
        list.SetImage(image); // again: still shown once, nothing deleted
        EXPECT_EQ(MultipleVideo::ShownBy(image->GetVideoSource()), &list);
        list.SetImage(second);
        EXPECT_EQ(image->GetVideoSource(), nullptr) << "the previous image lets go";
        EXPECT_EQ(MultipleVideo::ShownBy(second->GetVideoSource()), &list);
        ASSERT_TRUE(list.Open(false, 0.0f));
        EXPECT_THAT(Run(40, second), LumasNear(std::vector<int>{50}));
        playlist.reset();
        EXPECT_EQ(second->GetVideoSource(), nullptr) << "a playlist that goes leaves no image showing it";
    }
    // An image that goes first leaves the list idle.
    MultipleVideo& list = Playlist();
    list.AddVideoEntry(L"a.ogv", L"", L"", 1, 1, 0.0f);
    list.SetImage(second);
    ASSERT_TRUE(list.Open(false, 0.0f));
    second->Delete(false);
    ui->GetRoot()->DeletePending();
    EXPECT_FALSE(list.IsActive());
    EXPECT_FALSE(list.Update());
    EXPECT_EQ(list.GetWidth(), -1);
}

TEST_F(MultipleVideoTest, ScriptsBuildAndStartAPlaylist)
{
    image->CreateLuaTable();
    image->PushTable();
    lua_setglobal(lua.GetState(), "screen");
    ASSERT_TRUE(lua.DoString(LR"(
        list = Make("MultipleVideo")()
        list:AddVideoEntry("b.ogv", "", "b-sound", 2, 1, 0)
        list:AddVideoEntry("a.ogv", "", "a-sound", 1, 1, 0)
        list:AddVideoEntry("c.ogv", "", "c-sound", 3)      -- too few arguments: nothing
        list:AddVideoEntry("c.ogv", "", "c-sound", 3, 0, 0) -- repeat 0: nothing
        early = list:Play(false, 0)                         -- no image yet
        list:SetImage({})                                   -- not an image
        list:SetImage(screen)
        missing = select("#", list:Play(false))
        started = list:Play(false, 0)
    )"));
    auto global = [&](const char* name) {
        lua_getglobal(lua.GetState(), name);
        std::string text = lua_isboolean(lua.GetState(), -1) ? (lua_toboolean(lua.GetState(), -1) ? "true" : "false")
                                                             : (lua_tostring(lua.GetState(), -1) ?: "nil");
        lua_pop(lua.GetState(), 1);
        return text;
    };
    EXPECT_EQ(global("early"), "false");
    EXPECT_EQ(global("missing"), "0") << "no result without both arguments";
    EXPECT_EQ(global("started"), "true");
    MultipleVideo* list = MultipleVideo::ShownBy(image->GetVideoSource());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetVideoFiles(), (std::vector<std::wstring>{L"a.ogv", L"b.ogv"}));
    EXPECT_EQ(sounds.played, (Sounds{L"a-sound"})) << "the first entry started";
    EXPECT_TRUE(list->IsActive());
    // The script's playlist is the script's: the test lets it go before the user interface.
    delete list;
    EXPECT_EQ(image->GetVideoSource(), nullptr);
}

} // namespace
} // namespace VideoTest
