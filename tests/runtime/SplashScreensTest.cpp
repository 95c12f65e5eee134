// Splash screens: the attributes of a screen, the fixed-step fade and hold with its skip rules, and
// the sequence as start-up runs it, over a display tree with stand-in images.
#include "engine/runtime/SplashScreens.h"

#include "engine/core/files/FileSystem.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/media/video/IImageSource.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "tests/common/MemoryFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

namespace TarnEngine
{

// The image instance as the splash screens use it: a size from its picture's name, a tint, and a
// video that stays active for a set number of updates.
class SplashImage : public Instance_Base, public IImageInstanceSetup
{
    TARN_RCLASS(SplashImage)
public:
    class Video final : public IImageSource
    {
    public:
        bool Open(bool loopFlag, float delay) override
        {
            opened = true;
            loop = loopFlag;
            endDelay = delay;
            return true;
        }
        void Close() override {}
        bool IsActive() override { return opened && activeFor > 0; }
        bool Update() override { return false; }
        int GetWidth() override { return 320; }
        int GetHeight() override { return videoHeight; }

        bool opened = false;
        bool loop = true;
        float endDelay = -1;
        int activeFor = 0;
    };

    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_IMAGE;
    }
    void SetImage(const RefPtr<IResourceTexture>&, uint32_t, uint32_t, const Matrix3&, const float (&)[4]) override
    {
        // The picture's size comes with its name: "WxH" anywhere in it, else 1024 x 768.
        auto* definition = dynamic_cast<Definition_Image*>(
            UserInterface::Get()->GetDefinitionMap()->FindDefinition(definitionName, int32_t(definitionIndex)));
        source = definition ? definition->source : L"";
        width = 1024;
        height = 768;
        swscanf(source.c_str(), L"%*[^0-9]%ux%u", &width, &height);
    }
    void SetHitTest(uint32_t, uint32_t) override {}
    IImageSource* AttachVideo(const std::wstring& fileName, const std::wstring& alphaFileName) override
    {
        videoFile = fileName + L"|" + alphaFileName;
        video = std::make_unique<Video>();
        video->activeFor = videoFrames;
        return video.get();
    }
    void SetColor(uint32_t colour) override { tint = colour; }
    void ComputeBounds() override
    {
        corners[0] = {0, 0};
        corners[1] = {0, float(height)};
        corners[2] = {float(width), 0};
        corners[3] = {float(width), float(height)};
    }

    static inline int videoFrames = 0;
    static inline int videoHeight = 248;
    std::wstring source;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t tint = 0;
    std::wstring videoFile;
    std::unique_ptr<Video> video;
};

TARN_IMPLEMENT_RCLASS(SplashImage, Instance_Base, RObjectFactory<SplashImage>)

namespace
{

class Sound final : public ISound
{
public:
    explicit Sound(const std::wstring& name) : name(name) {}
    void SetPaused(bool) override {}
    void SetMute(bool) override {}
    void Stop() override { stopped = true; }
    void SetVolume(float value) override { volumes.push_back(value); }
    float GetVolume() override { return volumes.empty() ? 1.0f : volumes.back(); }
    void SetPan(float) override {}
    float GetPan() override { return 0; }
    void SetFrequency(float) override {}
    float GetFrequency() override { return 0; }
    bool SetPosition(float) override { return false; }
    float GetPosition() override { return 0; }
    bool SetLoopCount(int32_t) override { return false; }
    int32_t GetLoopCount() override { return 0; }
    bool SetLoopPoints(float, float) override { return false; }
    bool IsPlaying() override { return !stopped; }
    bool IsStopped() override { return stopped; }
    bool GetPaused() override { return false; }
    const std::wstring& GetName() const override { return name; }
    std::wstring GetSoundClass() override { return L"sfx"; }
    float GetDefaultVolume() override { return 1; }
    int32_t GetPriority() override { return 0; }

    std::wstring name;
    bool stopped = false;
    std::vector<float> volumes;
};

class Sounds final : public ISoundManager
{
public:
    bool Init(int32_t) override { return true; }
    bool LoadAudioXml() override { return true; }
    void SetEnabled(bool) override {}
    WeakPtr<ISound> PlaySoundWithParams(const std::wstring& name, bool, bool) override { return PlaySound(name, false); }
    WeakPtr<ISound> PlaySound(const std::wstring& name, bool) override
    {
        playing.push_back(RefPtr<Sound>(new Sound(name)));
        return WeakPtr<ISound>(playing.back().Get());
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

    std::vector<RefPtr<Sound>> playing;
};

std::unique_ptr<XmlNode> Element(const std::string& text)
{
    auto node = std::make_unique<XmlNode>();
    EXPECT_TRUE(ParseXmlText(*node, text.c_str(), false)) << text;
    return node;
}

TEST(SplashScreenAttributes, ReadAsTheTableSays)
{
    SplashScreenSettings s;
    ASSERT_TRUE(ReadSplashScreen(*Element("<Splash src=\"a.png\"/>"), s));
    EXPECT_EQ(s.source, L"a.png");
    EXPECT_FLOAT_EQ(s.fadeTime, 0.5f);
    EXPECT_FLOAT_EQ(s.waitTime, 2.0f);
    EXPECT_EQ(s.colour, 0xFFFFFFu);
    EXPECT_EQ(s.sound, L"");
    EXPECT_FALSE(s.isVideo);
    EXPECT_TRUE(s.skippable);

    struct Case
    {
        const char* attributes;
        float fade, wait;
        uint32_t colour;
        bool video, skippable;
    };
    const Case cases[] = {
        {"fadetime=\"1.25\" waittime=\"\"", 1.25f, 2.0f, 0xFFFFFF, false, true}, // empty: the default
        {"fadetime=\"-1\" waittime=\"0\"", 0.0f, 0.0f, 0xFFFFFF, false, true},   // no negative fade
        // Times that are not finite as floats, or negative, are refused: they would never end.
        {"fadetime=\"1e39\" waittime=\"1e39\"", 0.0f, 0.0f, 0xFFFFFF, false, true},
        {"fadetime=\"-1e39\" waittime=\"-2\"", 0.0f, 0.0f, 0xFFFFFF, false, true},
        {"fadetime=\"0.5\" waittime=\"1e308\"", 0.5f, 0.0f, 0xFFFFFF, false, true},
        {"color=\"16711680\"", 0.5f, 2.0f, 0xFF0000, false, true},
        {"color=\"0xff0000\"", 0.5f, 2.0f, 0xFF0000, false, true},
        {"color=\"077600000\"", 0.5f, 2.0f, 0xFF0000, false, true}, // octal
        {"isVideo=\"true\" isSkipable=\"false\"", 0.5f, 2.0f, 0xFFFFFF, true, false},
        {"isVideo=\"TRUE\" isSkipable=\"False\"", 0.5f, 2.0f, 0xFFFFFF, false, true}, // exact words only
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(ReadSplashScreen(*Element(std::string("<Splash src=\"a.png\" ") + c.attributes + "/>"), s));
        EXPECT_FLOAT_EQ(s.fadeTime, c.fade) << c.attributes;
        EXPECT_FLOAT_EQ(s.waitTime, c.wait) << c.attributes;
        EXPECT_EQ(s.colour, c.colour) << c.attributes;
        EXPECT_EQ(s.isVideo, c.video) << c.attributes;
        EXPECT_EQ(s.skippable, c.skippable) << c.attributes;
    }
    EXPECT_FALSE(ReadSplashScreen(*Element("<Splash fadetime=\"1\"/>"), s)) << "no src";
}

class SplashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lua.Init());
        ui = std::make_unique<UserInterface>(nullptr, nullptr);
        ASSERT_TRUE(ui->Init());
        files = new TestFiles::MemoryFiles;
        fileSystem.AddSource(std::unique_ptr<IFSSource>(files));
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(ui->GetRoot(), L"", L"overlay", true, nullptr, &made);
        overlay = made;
        SplashImage::videoFrames = 0;
        SplashImage::videoHeight = 248;
    }
    void TearDown() override { ui.reset(); }

    void Put(const std::wstring& name, const std::string& text) { files->files[name].assign(text.begin(), text.end()); }

    // The handler of a screen over the test's overlay; steps until done or the limit.
    int StepsUntilDone(SplashHandler& handler, int limit = 1000)
    {
        for (int i = 1; i <= limit; ++i)
        {
            handler.OnUpdate({});
            if (done)
                return i;
        }
        return 0;
    }
    static SplashScreenSettings Screen(float fade = 0.5f, float wait = 2.0f, bool skippable = true)
    {
        SplashScreenSettings s;
        s.source = L"a.png";
        s.fadeTime = fade;
        s.waitTime = wait;
        s.skippable = skippable;
        return s;
    }

    LuaMgr lua;
    std::unique_ptr<UserInterface> ui;
    FileSystem fileSystem;
    XmlDocumentCache xml;
    TestFiles::MemoryFiles* files = nullptr; // owned by the file system
    Sounds sounds;
    Instance_Base* overlay = nullptr;
    bool done = false;
};

TEST_F(SplashTest, FadeInHoldAndFadeOutInFixedSteps)
{
    auto sound = sounds.PlaySound(L"jingle", false);
    SplashHandler handler(Screen(), &done, overlay->handle, nullptr, sound);
    int step = 0;
    // Fade-in: 0.5 s is 30 steps of a 60th, the overlay clearing as it goes.
    for (; step < 29; ++step)
        handler.OnUpdate({});
    EXPECT_EQ(handler.GetState(), SplashHandler::FadingIn);
    EXPECT_NEAR(overlay->opacity, 1.0f - 29.0f / 30.0f, 1e-4);
    handler.OnUpdate({});
    EXPECT_EQ(handler.GetState(), SplashHandler::Holding);
    EXPECT_EQ(overlay->opacity, 0.0f);
    // Hold: 2 s.
    int hold = 0;
    while (handler.GetState() == SplashHandler::Holding && hold < 1000)
    {
        handler.OnUpdate({});
        ++hold;
    }
    EXPECT_NEAR(hold, 120, 1);
    // Fade-out: the overlay returns and the sound fades with it, then stops.
    const int out = StepsUntilDone(handler);
    EXPECT_NEAR(out, 30, 1);
    Sound& playing = *sounds.playing[0];
    ASSERT_FALSE(playing.volumes.empty());
    EXPECT_NEAR(playing.volumes.front(), 29.0f / 30.0f, 1e-3);
    EXPECT_LT(playing.volumes.back(), 0.05f);
    EXPECT_TRUE(playing.stopped);
    EXPECT_GT(overlay->opacity, 0.95f);
    handler.OnUpdate({});
    EXPECT_TRUE(done) << "done stays done";
}

TEST_F(SplashTest, SkipRules)
{
    const Event_Key press(Event_Base::KeyDown, 32);
    const Event_Key release(Event_Base::KeyUp, 32);
    const Event_Mouse click(Event_Base::MouseDown, 1, 10, 10, false, false, 0);
    const Event_Mouse mouseUp(Event_Base::MouseUp, 0, 10, 10, false, false, 0);
    {
        // 0.05 s into the fade-in: ignored.
        SplashHandler handler(Screen(), &done, overlay->handle, nullptr, {});
        for (int i = 0; i < 3; ++i)
            handler.OnUpdate({});
        handler.OnEvent(click);
        EXPECT_EQ(handler.GetState(), SplashHandler::FadingIn);
        // 0.3 s: the fade-out starts from the overlay as it is.
        for (int i = 0; i < 15; ++i)
            handler.OnUpdate({});
        const float before = overlay->opacity;
        EXPECT_NEAR(before, 0.4f, 1e-3);
        handler.OnEvent(click);
        EXPECT_EQ(handler.GetState(), SplashHandler::FadingOut);
        handler.OnUpdate({});
        EXPECT_GT(overlay->opacity, before);
        EXPECT_LT(overlay->opacity, before + 0.05f);
        EXPECT_NEAR(StepsUntilDone(handler), 17, 1);
    }
    for (const Event_Base* skip : {static_cast<const Event_Base*>(&press), static_cast<const Event_Base*>(&release),
                                   static_cast<const Event_Base*>(&click)})
    {
        // During the hold: the fade-out starts at once, from full brightness.
        done = false;
        SplashHandler handler(Screen(), &done, overlay->handle, nullptr, {});
        for (int i = 0; i < 40; ++i)
            handler.OnUpdate({});
        ASSERT_EQ(handler.GetState(), SplashHandler::Holding);
        handler.OnEvent(mouseUp);
        EXPECT_EQ(handler.GetState(), SplashHandler::Holding) << "a release of the mouse does nothing";
        handler.OnEvent(*skip);
        EXPECT_EQ(handler.GetState(), SplashHandler::FadingOut);
        EXPECT_FLOAT_EQ(handler.GetTimer(), 0.5f);
        handler.OnEvent(*skip);
        EXPECT_FLOAT_EQ(handler.GetTimer(), 0.5f) << "fading out already: ignored";
        EXPECT_NEAR(StepsUntilDone(handler), 30, 1);
    }
    {
        // Unskippable: nothing shortens it.
        done = false;
        SplashHandler handler(Screen(0.5f, 2.0f, false), &done, overlay->handle, nullptr, {});
        int steps = 0;
        while (!done && steps < 1000)
        {
            handler.OnUpdate({});
            handler.OnEvent(press);
            handler.OnEvent(click);
            ++steps;
        }
        EXPECT_NEAR(steps, 180, 2);
    }
}

TEST_F(SplashTest, NoFadeAndVideoHolds)
{
    SplashHandler instant(Screen(0.0f, 0.0f), &done, overlay->handle, nullptr, {});
    instant.OnUpdate({});
    EXPECT_EQ(instant.GetState(), SplashHandler::Holding) << "the first step ends a fade of 0";
    EXPECT_EQ(StepsUntilDone(instant), 2);

    // A video screen holds while its video plays.
    done = false;
    SplashImage::Video video;
    video.Open(false, 0);
    video.activeFor = 1;
    SplashScreenSettings settings = Screen(0.1f, 0.0f);
    settings.isVideo = true;
    SplashHandler handler(settings, &done, overlay->handle, &video, {});
    for (int i = 0; i < 300; ++i)
        handler.OnUpdate({});
    EXPECT_EQ(handler.GetState(), SplashHandler::Holding);
    video.activeFor = 0;
    handler.OnUpdate({});
    EXPECT_EQ(handler.GetState(), SplashHandler::FadingOut);
}

class SplashSequenceTest : public SplashTest
{
protected:
    void SetUp() override
    {
        SplashTest::SetUp();
        previous = RClass::GetRegistry().names["Instance_Image"];
        RClass::GetRegistry().names["Instance_Image"] = SplashImage::StaticClass();
    }
    void TearDown() override
    {
        if (previous)
            RClass::GetRegistry().names["Instance_Image"] = previous;
        else
            RClass::GetRegistry().names.erase("Instance_Image");
        SplashTest::TearDown();
    }

    void WriteXml(const std::string& body)
    {
        Put(SplashScreens::FileName, "<?xml version=\"1.0\"?><Screens>" + body + "</Screens>");
        UnloadXmlDocument(SplashScreens::FileName);
    }

    // What one frame of the engine's loop does for the screens, and what the test sees of it.
    struct Seen
    {
        std::wstring picture;
        uint32_t tint = 0;
        float x = 0, y = 0, scaleX = 1, scaleY = 1;
        int frames = 0;
        std::wstring videoFile;
    };
    SplashScreens Sequence(std::function<bool(int frame)> onFrame = nullptr)
    {
        SplashScreens::Services services;
        services.ui = ui.get();
        services.setClearColour = [this](uint32_t colour) { clears.push_back(colour); };
        services.pump = [this, onFrame]
        {
            Instance_Base* container = nullptr;
            for (Instance_Base* child : ui->GetRoot()->children)
                if (child->name == L"SplashScreenContainer")
                    container = child;
            auto* movie = RObjectCast<Instance_Movie>(container);
            if (!movie || !movie->GetEventHandler())
                return false;
            if (seen.empty() || movie->handle.serial != lastContainer)
                seen.push_back({});
            lastContainer = movie->handle.serial;
            Seen& now = seen.back();
            for (Instance_Base* child : movie->children)
                if (auto* image = dynamic_cast<SplashImage*>(child))
                {
                    if (child->name == L"SplashScreen")
                    {
                        if (now.frames == 0)
                        {
                            now.picture = image->source;
                            now.x = image->x;
                            now.y = image->y;
                            now.scaleX = image->scaleX;
                            now.scaleY = image->scaleY;
                            now.videoFile = image->videoFile;
                        }
                        // The video plays one frame per pass of the loop.
                        if (image->video && image->video->activeFor > 0)
                            --image->video->activeFor;
                    }
                    else if (now.frames == 0)
                        now.tint = image->tint;
                }
            ++now.frames;
            ++totalFrames;
            movie->GetEventHandler()->OnUpdate(movie->movieHandle);
            return onFrame ? onFrame(totalFrames) : true;
        };
        return SplashScreens(services);
    }

    RClass* previous = nullptr;
    std::vector<Seen> seen;
    std::vector<uint32_t> clears;
    int totalFrames = 0;
    uint32_t lastContainer = 0;
};

TEST_F(SplashSequenceTest, ShowsTheScreensInOrderAndCleansUp)
{
    SplashImage::videoFrames = 50;
    Put(L"logo_400x300.png", "");
    Put(L"movie.ogv", "");
    WriteXml("<Splash src=\"missing.png\"/>"                        // no such file: passed over
             "<Splash fadetime=\"0.5\"/>"                           // no src: passed over
             "<Other src=\"logo_400x300.png\"/>"                    // not a screen
             "<Splash src=\"movie.ogv\" isVideo=\"true\" fadetime=\"0.1\"/>"
             "<Splash src=\"logo_400x300.png\" color=\"0xff0000\" sound=\"jingle\" waittime=\"1\"/>");
    int screens = 0;
    SplashScreens sequence = Sequence([&](int) {
        screens = int(ui->GetDefinitionMap()->GetDefinitions().count(L"SplashScreen"));
        return true;
    });
    EXPECT_FALSE(sequence.Run());
    ASSERT_EQ(seen.size(), 2u);
    // The video: its placeholder picture, scaled so that the bottom 8 rows fall off the screen.
    EXPECT_EQ(seen[0].picture, SplashScreens::VideoPicture);
    EXPECT_EQ(seen[0].videoFile, L"movie.ogv|");
    EXPECT_FLOAT_EQ(seen[0].scaleX, 1024.0f / 320.0f);
    EXPECT_FLOAT_EQ(seen[0].scaleY, 768.0f / 240.0f);
    // The video plays from the first frame on, under the fade-in, then the screen fades out.
    EXPECT_NEAR(seen[0].frames, 50 + 6, 2);
    // The picture, centred, under a red overlay, with its sound.
    EXPECT_EQ(seen[1].picture, L"logo_400x300.png");
    EXPECT_EQ(seen[1].tint, 0xFF0000u);
    EXPECT_FLOAT_EQ(seen[1].x, (1024 - 400) * 0.5f);
    EXPECT_FLOAT_EQ(seen[1].y, (768 - 300) * 0.5f);
    EXPECT_NEAR(seen[1].frames, 30 + 60 + 30, 3);
    ASSERT_EQ(sounds.playing.size(), 1u);
    EXPECT_EQ(sounds.playing[0]->name, L"jingle");
    EXPECT_TRUE(sounds.playing[0]->stopped);
    EXPECT_EQ(clears, (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(screens, 1) << "one definition of the picture at a time";
    // Nothing of the screens is left.
    EXPECT_FALSE(ui->GetDefinitionMap()->HasName(L"SplashScreen"));
    EXPECT_FALSE(ui->GetDefinitionMap()->HasName(L"SplashScreenFading"));
    for (Instance_Base* child : ui->GetRoot()->children)
        EXPECT_NE(child->name, L"SplashScreenContainer");
}

TEST_F(SplashSequenceTest, AVideoOfEightRowsOrFewerIsNotCutToNothing)
{
    Put(L"tiny.ogv", "");
    WriteXml("<Splash src=\"tiny.ogv\" isVideo=\"true\" fadetime=\"0\"/>");
    for (int height : {8, 0})
    {
        SplashImage::videoHeight = height;
        seen.clear();
        EXPECT_FALSE(Sequence().Run());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_FLOAT_EQ(seen[0].scaleY, height > 0 ? 768.0f / float(height) : 1.0f) << height;
        EXPECT_TRUE(std::isfinite(seen[0].scaleY));
    }
}

TEST_F(SplashSequenceTest, SkippedByAKeyThroughTheUserInterface)
{
    Put(L"a.png", "");
    WriteXml("<Splash src=\"a.png\" waittime=\"100\"/>");
    SplashScreens sequence = Sequence([&](int frame) {
        if (frame == 60)
            ui->OnKeyDown(32);
        return true;
    });
    EXPECT_FALSE(sequence.Run());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NEAR(seen[0].frames, 60 + 30, 1);
}

TEST_F(SplashSequenceTest, QuittingEndsTheSequence)
{
    Put(L"a.png", "");
    Put(L"b.png", "");
    WriteXml("<Splash src=\"a.png\"/><Splash src=\"b.png\"/>");
    SplashScreens sequence = Sequence([](int frame) { return frame < 10; });
    EXPECT_TRUE(sequence.Run());
    ASSERT_EQ(seen.size(), 1u) << "the second screen is not shown";
    EXPECT_FALSE(ui->GetDefinitionMap()->HasName(L"SplashScreen"));
    for (Instance_Base* child : ui->GetRoot()->children)
        EXPECT_NE(child->name, L"SplashScreenContainer");

    // Without the file there is nothing to show.
    files->files.erase(SplashScreens::FileName);
    UnloadXmlDocument(SplashScreens::FileName);
    EXPECT_FALSE(Sequence().Run());
}

} // namespace
} // namespace TarnEngine
