// The credits screen: the choice of the next entry and panel (trophies, missing panels, the multi-
// line panel's rate, never the panel that reached the label), the screen on the game fixture with its
// music and ambient sound, the mirrors under the first panel and their ripple.
#include "tests/game/minigames/MiniGameFixture.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/media/sound/SoundFader.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/ui/CreditsPad.h"
#include "game/ui/DlgCredits.h"
#include "game/ui/WarpedText.h"

#include <cmath>
#include <set>

using namespace TarnEngine;

namespace
{

using Entries = std::vector<DlgCredits::CreditEntry>;

// The titles shown by `labels` successive label hits, each reached by the panel that showed the
// entry before, with the trophy count of each.
struct PickRun
{
    std::vector<std::wstring> shown;
    std::vector<uint32_t> panels;
    std::vector<uint32_t> trophies;
};

PickRun runPicks(const Entries& entries, const bool (&present)[4], int labels, uint32_t seed = 1)
{
    RandomPool& pool = GetRandomPool();
    FillRandomPool();
    pool.words[0] ^= seed;
    PickRun result;
    uint32_t counter = 0;
    int32_t reached = -1;
    for (int i = 0; i < labels; ++i)
    {
        const DlgCredits::Pick pick =
            DlgCredits::PickNext(entries, counter, present, reached, &DlgCredits::PoolDraw);
        result.trophies.push_back(pick.trophies);
        if (!pick.found)
            continue;
        result.shown.push_back(entries[pick.entry].title);
        result.panels.push_back(pick.panel);
        reached = int32_t(pick.panel);
    }
    return result;
}

const bool kAll[4] = {true, true, true, true};

TEST(CreditsPick, TrophyEntriesAreSkippedAndCountedEveryTimeTheCyclePassesThem)
{
    const PickRun abc = runPicks({{L"A", L"a"}, {L"trophy", L""}, {L"B", L"b"}}, kAll, 6);
    EXPECT_EQ(abc.shown, (std::vector<std::wstring>{L"A", L"B", L"A", L"B", L"A", L"B"}));
    EXPECT_EQ(abc.trophies, (std::vector<uint32_t>{0, 1, 0, 1, 0, 1}));

    const PickRun twice = runPicks({{L"trophy", L""}, {L"trophy", L""}, {L"A", L"a"}}, kAll, 3);
    EXPECT_EQ(twice.shown, (std::vector<std::wstring>{L"A", L"A", L"A"}));
    EXPECT_EQ(twice.trophies, (std::vector<uint32_t>{2, 2, 2}));

    // Nothing but trophies: each label goes round once and shows nothing.
    const PickRun only = runPicks({{L"trophy", L""}}, kAll, 2);
    EXPECT_TRUE(only.shown.empty());
    EXPECT_EQ(only.trophies, (std::vector<uint32_t>{1, 1}));
}

TEST(CreditsPick, NoEntriesGiveNothing)
{
    uint32_t counter = 7;
    const DlgCredits::Pick pick = DlgCredits::PickNext({}, counter, kAll, 1, &DlgCredits::PoolDraw);
    EXPECT_FALSE(pick.found);
    EXPECT_EQ(pick.trophies, 0u);
    EXPECT_EQ(counter, 7u);
}

TEST(CreditsPick, MultiLineEntriesGoOnTheFourthPanelAtARateForTheirLength)
{
    struct Case
    {
        std::wstring names;
        bool multiLine;
        float rate;
    };
    const std::wstring line(99, L'x');
    const Case cases[] = {
        {line + L"\n" + std::wstring(150, L'y'), true, 0.4f},          // 250 characters
        {line.substr(0, 49) + L"\n" + line.substr(0, 50), true, 1.0f}, // 100 characters
        {std::wstring(80, L'z'), false, 1.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.names.size());
        for (uint32_t seed = 0; seed < 8; ++seed)
        {
            uint32_t counter = 0;
            GetRandomPool().words[5] ^= seed;
            const DlgCredits::Pick pick =
                DlgCredits::PickNext({{L"T", c.names}}, counter, kAll, -1, &DlgCredits::PoolDraw);
            ASSERT_TRUE(pick.found);
            if (c.multiLine)
                EXPECT_EQ(pick.panel, 3u);
            else
                EXPECT_LT(pick.panel, 3u);
            EXPECT_FLOAT_EQ(pick.rate, c.rate);
        }
    }
}

TEST(CreditsPick, SingleLineEntriesNeverGoOnThePanelThatReachedTheLabel)
{
    const Entries entries = {{L"A", L"a"}, {L"B", L"b"}, {L"C", L"c"}};
    std::set<uint32_t> used;
    for (uint32_t seed = 1; seed < 20; ++seed)
    {
        const PickRun r = runPicks(entries, kAll, 30, seed);
        ASSERT_EQ(r.panels.size(), 30u);
        for (size_t i = 1; i < r.panels.size(); ++i)
            EXPECT_NE(r.panels[i], r.panels[i - 1]);
        used.insert(r.panels.begin(), r.panels.end());
    }
    EXPECT_EQ(used, (std::set<uint32_t>{0, 1, 2}));
}

TEST(CreditsPick, MissingPanelsAreSkippedAndTheDrawAlwaysEnds)
{
    // "anim1" and "anim2" missing: every single-line entry goes on "anim0", which reached the label.
    const bool onlyFirst[4] = {true, false, false, true};
    const PickRun alone = runPicks({{L"A", L"a"}, {L"B", L"b"}}, onlyFirst, 5);
    EXPECT_EQ(alone.shown, (std::vector<std::wstring>{L"A", L"B", L"A", L"B", L"A"}));
    EXPECT_EQ(alone.panels, (std::vector<uint32_t>(5, 0u)));

    // Without the fourth panel the multi-line entry is left out; without the first three the
    // single-line ones are.
    const bool noFourth[4] = {true, true, true, false};
    const PickRun skipMulti = runPicks({{L"A", L"a"}, {L"M", L"1\n2"}}, noFourth, 3);
    EXPECT_EQ(skipMulti.shown, (std::vector<std::wstring>{L"A", L"A", L"A"}));
    const bool onlyFourth[4] = {false, false, false, true};
    const PickRun skipSingle = runPicks({{L"A", L"a"}, {L"M", L"1\n2"}}, onlyFourth, 3);
    EXPECT_EQ(skipSingle.shown, (std::vector<std::wstring>{L"M", L"M", L"M"}));
    const bool none[4] = {false, false, false, false};
    EXPECT_TRUE(runPicks({{L"A", L"a"}, {L"M", L"1\n2"}}, none, 3).shown.empty());
}

TEST(CreditsPick, EntriesAreReadInDocumentOrderWithMissingAttributesEmpty)
{
    const std::string xml =
        "<c><Entry title=\"A\" names=\"x&#10;y\"/><Other/><Entry/><Entry names=\"n\"/></c>";
    std::unique_ptr<XmlNode> root =
        ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(xml.data()), xml.size(), false);
    ASSERT_TRUE(root);
    const Entries entries = DlgCredits::ReadEntries(*root);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].title, L"A");
    EXPECT_EQ(entries[0].names, L"x\ny");
    EXPECT_EQ(entries[1].title, L"");
    EXPECT_EQ(entries[2].names, L"n");
}

// ---- The screen on the game.

const char* const kCredits = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Credits>"
                             "<Entry title=\"A\" names=\"Ann\"/><Entry title=\"trophy\"/>"
                             "<Entry title=\"B\" names=\"Bob\"/></Credits>\n";

class CreditsScreen : public MiniGameFixture
{
public:
    DlgCredits* Open(const std::vector<bool>& panels, const std::string& creditsXml)
    {
        WriteCreditsContent(panels, creditsXml);
        if (!StartInMenu())
            return nullptr;
        ClearScriptEvents();
        Game().GetSound().PlayMusic(L"credits_music", 0.0f, false);
        Frames(130); // the music's fade-in is over
        _ScreenMgr::Get()->OpenScreen(L"scr_credits", L"", true, false);
        Frame();
        return RObjectCast<DlgCredits>(Dialog(L"scr_credits"));
    }

    // The title that a panel shows, empty without one.
    static std::wstring Title(CreditsPad* pad)
    {
        auto* title = pad ? RObjectCast<Instance_Text>(pad->GetTitle().GetInstance()) : nullptr;
        return title ? title->text : std::wstring();
    }

    // The sound of the music class that the test started.
    ISound* Music() { return ISoundManager::Get()->FindPlayingSound(L"credits_music").Get(); }

    const FadeEntry* FadeOf(const std::vector<FadeEntry>& list, ISound* sound)
    {
        for (const FadeEntry& entry : list)
            if (entry.sound.Get() == sound)
                return &entry;
        return nullptr;
    }
};

TEST_F(CreditsScreen, EntriesCycleOnLabelsWithTheTrophyEventAndTheMusicFadesOut)
{
    DlgCredits* credits = Open({true, true, true, true}, kCredits);
    ASSERT_NE(credits, nullptr);
    // The first entry shows at once, on one of the first three panels.
    std::wstring shown;
    CreditsPad* showing = nullptr;
    for (uint32_t i = 0; i < 3; ++i)
        if (!Title(credits->GetPad(i)).empty())
        {
            shown = Title(credits->GetPad(i));
            showing = credits->GetPad(i);
        }
    EXPECT_EQ(shown, L"A");
    ASSERT_NE(showing, nullptr);
    EXPECT_TRUE(showing->playing);
    EXPECT_TRUE(ScriptEvents("WatchedCredits").empty());

    // The music fades out over two seconds; the ambient scene plays.
    ASSERT_NE(Music(), nullptr);
    const FadeEntry* fade = FadeOf(ISoundManager::Get()->GetFader()->GetFadeOuts(), Music());
    ASSERT_NE(fade, nullptr);
    EXPECT_NEAR(fade->step, -Music()->GetDefaultVolume() / 120.0f, 1e-6f);
    EXPECT_TRUE(Game().GetSound().GetAmbient().IsPlaying());

    // Each label reached by the panel that shows an entry brings the next on another panel; the
    // event comes each time the cycle passes from A to B.
    const std::wstring expected[] = {L"B", L"A", L"B", L"A"};
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        for (uint32_t k = 0; k < 4; ++k)
            credits->GetPad(k)->SetTexts(L"", L"");
        credits->OnLabelHit(showing->movieHandle, L"next");
        CreditsPad* next = nullptr;
        for (uint32_t k = 0; k < 4; ++k)
            if (!Title(credits->GetPad(k)).empty())
                next = credits->GetPad(k);
        ASSERT_NE(next, nullptr);
        EXPECT_NE(next, showing);
        EXPECT_EQ(Title(next), expected[i]);
        EXPECT_EQ(ScriptEvents("WatchedCredits").size(), size_t(i / 2 + 1));
        showing = next;
    }
}

TEST_F(CreditsScreen, PanelsPaceTheCreditsThroughTheirLabels)
{
    DlgCredits* credits = Open({true, true, true, true}, kCredits);
    ASSERT_NE(credits, nullptr);
    EXPECT_EQ(credits->GetCounter(), 1u);
    // A panel runs at 30 frames a second and reaches its label at frame 20.
    Frames(45);
    EXPECT_EQ(credits->GetCounter(), 3u);
    EXPECT_EQ(ScriptEvents("WatchedCredits").size(), 1u);
    Frames(45);
    EXPECT_EQ(credits->GetCounter(), 4u);
}

TEST_F(CreditsScreen, ThePressClosesTheCreditsStopsTheAmbientSoundAndFadesTheMusicIn)
{
    DlgCredits* credits = Open({true, true, true, true}, kCredits);
    ASSERT_NE(credits, nullptr);
    Frames(130); // the music has faded out
    ISound* music = Music();
    ASSERT_NE(music, nullptr);
    credits->OnMouseDown(credits->movieHandle, 0);
    EXPECT_EQ(_ScreenMgr::Get()->FindScreen(L"scr_credits"), nullptr);
    EXPECT_FALSE(Game().GetSound().GetAmbient().IsPlaying());
    EXPECT_FALSE(Playing(L"credits_wind"));
    const FadeEntry* fade = FadeOf(ISoundManager::Get()->GetFader()->GetFadeIns(), music);
    ASSERT_NE(fade, nullptr);
    EXPECT_NEAR(fade->step, music->GetDefaultVolume() / 120.0f, 1e-6f);
    EXPECT_NEAR(fade->target, music->GetDefaultVolume(), 1e-6f);
}

TEST_F(CreditsScreen, WithoutEntriesNothingShowsAndTheSoundIsLeftAlone)
{
    const char* const files[] = {"", "<?xml version=\"1.0\"?><Credits><Other title=\"A\"/></Credits>"};
    for (const char* file : files)
    {
        SCOPED_TRACE(file);
        TearDown();
        SetUp();
        DlgCredits* credits = Open({true, true, true, true}, file);
        ASSERT_NE(credits, nullptr);
        EXPECT_TRUE(credits->GetEntries().empty());
        EXPECT_TRUE(ISoundManager::Get()->GetFader()->GetFadeOuts().empty());
        EXPECT_FALSE(Game().GetSound().GetAmbient().IsPlaying());
        credits->OnLabelHit(credits->GetPad(0)->movieHandle, L"next");
        Frames(60);
        for (uint32_t k = 0; k < 4; ++k)
        {
            EXPECT_TRUE(Title(credits->GetPad(k)).empty());
            EXPECT_FALSE(credits->GetPad(k)->GetTitleMirror().IsValid());
        }
        credits->OnMouseDown(credits->movieHandle, 0);
        EXPECT_TRUE(ISoundManager::Get()->GetFader()->GetFadeIns().empty());
        Stop();
    }
}

TEST_F(CreditsScreen, WithTheMiddlePanelsMissingEntriesAlternateOnTheFirst)
{
    DlgCredits* credits = Open({true, false, false, true}, kCredits);
    ASSERT_NE(credits, nullptr);
    EXPECT_EQ(credits->GetPad(1), nullptr);
    EXPECT_EQ(Title(credits->GetPad(0)), L"A");
    credits->OnLabelHit(credits->GetPad(0)->movieHandle, L"next");
    EXPECT_EQ(Title(credits->GetPad(0)), L"B");
    credits->OnLabelHit(credits->GetPad(0)->movieHandle, L"next");
    EXPECT_EQ(Title(credits->GetPad(0)), L"A");
}

TEST_F(CreditsScreen, MultiLineNamesPlayOnTheFourthPanelAtTheirRate)
{
    const std::string names = std::string(99, 'x') + "&#10;" + std::string(150, 'y');
    DlgCredits* credits =
        Open({true, true, true, true},
             "<?xml version=\"1.0\"?><Credits><Entry title=\"M\" names=\"" + names + "\"/></Credits>");
    ASSERT_NE(credits, nullptr);
    CreditsPad* fourth = credits->GetPad(3);
    EXPECT_EQ(Title(fourth), L"M");
    EXPECT_FLOAT_EQ(fourth->frameMultiplier, 0.4f);
}

TEST_F(CreditsScreen, MirrorsLieUnderTheFirstPanelOnlyUpsideDownAndRipple)
{
    DlgCredits* credits = Open({true, true, true, true}, kCredits);
    ASSERT_NE(credits, nullptr);
    for (uint32_t k = 1; k < 4; ++k)
    {
        EXPECT_FALSE(credits->GetPad(k)->GetTitleMirror().IsValid());
        EXPECT_FALSE(credits->GetPad(k)->GetNamesMirror().IsValid());
    }
    CreditsPad* first = credits->GetPad(0);
    auto* pad = RObjectCast<Instance_Movie>(first->FindChildByPath(L"pad").GetInstance());
    ASSERT_NE(pad, nullptr);
    struct Mirror
    {
        const wchar_t* name;
        const wchar_t* source;
        float opacity;
    };
    for (const Mirror& m :
         {Mirror{L"lbl_titlem", L"lbl_title", 0.15f}, Mirror{L"lbl_namesm", L"lbl_name", 0.2f}})
    {
        SCOPED_TRACE(m.name);
        auto* mirror = RObjectCast<WarpedText>(pad->FindChildByPath(m.name).GetInstance());
        auto* source = RObjectCast<Instance_Text>(pad->FindChildByPath(m.source).GetInstance());
        ASSERT_NE(mirror, nullptr);
        ASSERT_NE(source, nullptr);
        EXPECT_FLOAT_EQ(mirror->scaleY, -1.0f);
        EXPECT_FLOAT_EQ(mirror->y, 150.0f - source->y);
        EXPECT_FLOAT_EQ(mirror->opacity, m.opacity);
        // The vertex colour: the integer part of opacity x parent opacity x 255 over the text colour.
        EXPECT_EQ(mirror->VertexColour(0.5f) >> 24, uint32_t(m.opacity * 0.5f * 255.0f));
        EXPECT_EQ(mirror->VertexColour(1.0f) & 0xFFFFFFu, mirror->colour);
        // The texts follow the entries.
        EXPECT_EQ(mirror->text, source->text);

        // The ripple at a fixed engine time.
        Distortion_Mesh* mesh = mirror->GetMesh();
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->GetRows(), 5u);
        ASSERT_EQ(mesh->GetColumns(), 5u);
        TimeManager::Get()->GetClock(0).now = 12345;
        mesh->UpdateHandler();
        const double t = 12.345;
        for (uint32_t j = 0; j < 5; ++j)
            for (uint32_t i = 0; i < 5; ++i)
            {
                const double phase = 8.0 * double(i + j) + 5.0 * t;
                const Distortion_Mesh::Vertex& v = mesh->GetVertex(j, i);
                EXPECT_NEAR(v.x, 0.25 * i - 0.5 + 0.005 * std::sin(phase), 1e-6);
                EXPECT_NEAR(v.y, 0.25 * j - 0.5 + 0.002 * std::sin(phase), 1e-6);
            }
    }
}

} // namespace
