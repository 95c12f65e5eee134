// The social-network dialog on the sample's "dlg_facebook", in the headless game, with a fake
// social-network object whose status the test sets: the offer through "srv.FB.OnPost", the refusal,
// posting, connecting from the options screen, failure and retry, pages and children that are
// missing, a name that looks like a key, settings re-applied on close and "srv.FB.IsEnabled".
#include "tests/game/ui/PlayerScreensFixture.h"

#include "engine/core/text/StringTable.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/widgets/CheckBox.h"
#include "game/social/FaceBook.h"
#include "game/social/UIFaceBook.h"
#include "game/ui/UIOptions.h"

namespace PlayerScreensTest
{
namespace
{

struct SocialState
{
    bool init = true;
    bool enabled = false;
    bool firstOffer = false;
    int32_t status = 0;
    std::vector<std::string> calls;

    size_t Count(const std::string& prefix) const
    {
        size_t n = 0;
        for (const std::string& call : calls)
            n += call.rfind(prefix, 0) == 0;
        return n;
    }
};

class FakeSocial final : public IFaceBook
{
public:
    explicit FakeSocial(SocialState& state) : state(state) {}
    bool Init(int32_t game) override
    {
        state.calls.push_back("Init " + std::to_string(game));
        return state.init;
    }
    void LoadProfile() override { state.calls.push_back("LoadProfile"); }
    void Update() override {}
    bool IsEnabled() const override { return state.enabled; }
    void Disable() override
    {
        state.enabled = false;
        state.calls.push_back("Disable");
    }
    void Restart() override { state.calls.push_back("Restart"); }
    int32_t GetStatus() override { return state.status; }
    void Post(int32_t templateId, const std::wstring& text) override
    {
        state.calls.push_back("Post " + std::to_string(templateId) + " " + std::string(text.begin(), text.end()));
    }
    bool IsFirstOffer() const override { return state.firstOffer; }
    void ClearFirstOffer() override { state.firstOffer = false; }

private:
    SocialState& state;
};

class FaceBookDialogTest : public PlayerScreens
{
public:
    void SetUp() override
    {
        PlayerScreens::SetUp();
        const std::filesystem::path from = SampleInput();
        for (const char* file : {"definitions/facebook.xml", "translator_facebook.xml"})
            std::filesystem::copy_file(from / file, Content("input") / file,
                                       std::filesystem::copy_options::overwrite_existing);
        std::string libraries = ReadText(Content("input/libraries.xml"));
        libraries.insert(libraries.rfind("</libraries>"), "  <library file=\"definitions\\facebook.xml\"/>\n");
        WriteContent("input/libraries.xml", libraries);
        SetFaceBookMaker([this] { return std::make_unique<FakeSocial>(social); });
    }
    void TearDown() override
    {
        PlayerScreens::TearDown();
        SetFaceBookMaker({});
    }

    void StartAnn(const std::string& name = "Ann") { StartWith(name, "<PROFILE NAME=\"" + name + "\"/>"); }

    UIFaceBook* Dialog()
    {
        Screen* found = Screens().FindScreen(UIFaceBook::DefinitionName);
        return RObjectCast<UIFaceBook>(found);
    }
    // The open dialog after frames enough for it to be fully open; null when none opened.
    UIFaceBook* OpenedDialog()
    {
        UIFaceBook* dialog = Dialog();
        if (dialog)
            FramesUntilOpen(dialog);
        return dialog;
    }
    void Status(int32_t status)
    {
        social.status = status;
        Frame();
    }
    std::wstring Text(const wchar_t* name)
    {
        auto* text = Child<Instance_Text>(Dialog(), name);
        return text ? text->text : L"(missing)";
    }
    std::wstring Translation(const wchar_t* key) { return StringTable::GetKeyed()->GetText(key); }
    // A page's buttons join the dialog on the frame after the page shows: a frame first.
    void Press(const wchar_t* button)
    {
        Frame();
        Instance_Base* found = Child(Dialog(), button);
        ASSERT_NE(found, nullptr) << "no button " << std::string(button, button + std::wcslen(button));
        Click(found);
    }

    SocialState social;
};

TEST_F(FaceBookDialogTest, AFirstPostIsOfferedOnceWithTheBoxCheckedAndTheGreeting)
{
    StartAnn();
    social.firstOffer = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'Found the key')"));
    UIFaceBook* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetPage(), L"new_user");
    EXPECT_EQ(dialog->GetMode(), UIFaceBook::ModeOffer);
    ASSERT_NE(Child<CheckBox>(dialog, L"enable"), nullptr);
    EXPECT_TRUE(Child<CheckBox>(dialog, L"enable")->ticked);
    EXPECT_EQ(Text(L"l1"), L"Ann" + Translation(L"WouldConnect"));
    EXPECT_NE(Translation(L"WouldConnect"), L"WouldConnect") << "the sample has the key";
    EXPECT_FALSE(social.firstOffer) << "offered once";
    EXPECT_EQ(social.Count("Post"), 0u) << "nothing posted before the player agrees";
    // The new_user page waits for the player whatever the status does.
    Status(2);
    EXPECT_EQ(dialog->GetPage(), L"new_user");

    dialog->Close(false);
    ASSERT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'again')"));
    Frames(3);
    EXPECT_EQ(Dialog(), nullptr) << "a player who did not enable it is not asked again";
}

TEST_F(FaceBookDialogTest, AgreeingPostsAndFollowsTheConnectionToPosted)
{
    StartAnn();
    social.firstOffer = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost(2, 'Level 1 done')"));
    UIFaceBook* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    Press(L"btn_new_user");
    EXPECT_EQ(dialog->GetPage(), L"posting");
    EXPECT_EQ(social.Count("Post 2 Level 1 done"), 1u);
    // Not enabled yet: the object sent nothing and stays idle, so the dialog connects.
    Status(0);
    EXPECT_EQ(dialog->GetPage(), L"enable_connect");
    EXPECT_EQ(social.Count("Restart"), 1u);
    Status(2);
    social.enabled = true;
    ClearScriptEvents();
    Status(1);
    EXPECT_EQ(ScriptEvents("ConnectedToFacebook").size(), 1u);
    EXPECT_EQ(dialog->GetPage(), L"posting");
    EXPECT_EQ(social.Count("Post 2 Level 1 done"), 2u);
    Status(3);
    EXPECT_EQ(dialog->GetPage(), L"posting") << "posting never changes the page";
    Status(1);
    EXPECT_EQ(dialog->GetPage(), L"posted");
    Press(L"btn_close");
    EXPECT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));
}

TEST_F(FaceBookDialogTest, RefusingAsksOnceThenDisablesThenSavesAndCloses)
{
    StartAnn();
    social.firstOffer = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'x')"));
    UIFaceBook* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    Click(Child<CheckBox>(dialog, L"enable"));
    ASSERT_FALSE(Child<CheckBox>(dialog, L"enable")->ticked);
    Press(L"btn_new_user");
    EXPECT_EQ(dialog->GetPage(), L"new_user");
    EXPECT_EQ(Text(L"l1"), L"Ann" + Translation(L"ConfirmRefuse"));
    EXPECT_EQ(social.Count("Disable"), 0u);
    Press(L"btn_new_user");
    EXPECT_EQ(dialog->GetPage(), L"disable_connect");
    EXPECT_EQ(dialog->GetMode(), UIFaceBook::ModeDisconnect);
    EXPECT_EQ(social.Count("Disable"), 1u);
    const int writes = ProfileWrites();
    Press(L"btn_done");
    EXPECT_EQ(ProfileWrites(), writes + 1) << "the game is saved";
    EXPECT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));
    EXPECT_EQ(social.Count("Post"), 0u);
}

TEST_F(FaceBookDialogTest, APostWhileEnabledGoesOutAtOnce)
{
    struct Case
    {
        int32_t templateId;
        bool initial;
    };
    StartAnn();
    social.enabled = true;
    for (const Case& c : {Case{1, true}, Case{2, false}})
    {
        SCOPED_TRACE(c.templateId);
        social.calls.clear();
        social.status = 3;
        ASSERT_TRUE(Lua("srv.FB.OnPost(" + std::to_string(c.templateId) + ", 'Chapter two')"));
        UIFaceBook* dialog = OpenedDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->GetMode(), UIFaceBook::ModePost);
        EXPECT_EQ(dialog->GetPage(), L"posting");
        EXPECT_EQ(social.Count("Post " + std::to_string(c.templateId) + " Chapter two"), 1u);
        EXPECT_EQ(Text(L"l5"), c.initial ? Translation(L"InitialPosting") : L"");
        // Ready after the post was handed over: posted.
        Status(1);
        EXPECT_EQ(dialog->GetPage(), L"posted");
        dialog->Close(false);
        ASSERT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));
    }
}

TEST_F(FaceBookDialogTest, WorkingThenReadyPostsAgainThenShowsPosted)
{
    StartAnn();
    social.enabled = true;
    social.status = 3;
    ASSERT_TRUE(Lua("srv.FB.OnPost(2, 'p')"));
    UIFaceBook* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetPage(), L"posting");
    Status(2);
    EXPECT_EQ(dialog->GetPage(), L"posting");
    EXPECT_FALSE(dialog->IsPostingStarted());
    Status(1);
    EXPECT_EQ(dialog->GetPage(), L"posting");
    EXPECT_TRUE(dialog->IsPostingStarted());
    EXPECT_EQ(social.Count("Post 2 p"), 2u);
    Status(3);
    Status(1);
    EXPECT_EQ(dialog->GetPage(), L"posted");
}

TEST_F(FaceBookDialogTest, TheOptionsBoxConnectsThroughTheDialogAndFollowsTheObject)
{
    StartAnn();
    UIOptions* options = Open<UIOptions>(L"dlg_options");
    ASSERT_NE(options, nullptr);
    Frames(2);
    CheckBox* box = Child<CheckBox>(options, L"cb_facebook");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->visible);
    EXPECT_TRUE(Child(options, L"_8")->visible);
    EXPECT_FALSE(box->ticked);

    Click(box);
    UIFaceBook* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetMode(), UIFaceBook::ModeConnect);
    EXPECT_EQ(dialog->GetPage(), L"enable_connect");
    // Once on opening, once more on the first open frame (the set-up makes every first status new).
    EXPECT_EQ(social.Count("Restart"), 2u);
    Status(2);
    Status(3);
    EXPECT_EQ(dialog->GetPage(), L"enable_connect") << "posting never changes the page";
    social.enabled = true;
    ClearScriptEvents();
    Status(1);
    EXPECT_EQ(ScriptEvents("ConnectedToFacebook").size(), 1u);
    EXPECT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName)) << "connected with nothing to post: closes";
    EXPECT_EQ(social.Count("Post"), 0u);
    Frames(2);
    EXPECT_TRUE(box->ticked) << "the box follows the object";

    Click(box);
    EXPECT_EQ(social.Count("Disable"), 1u);
    Frames(2);
    EXPECT_FALSE(box->ticked);
    EXPECT_EQ(Dialog(), nullptr);
}

TEST_F(FaceBookDialogTest, FailureShowsTheErrorPageWhereTheButtonsRetryOrGiveUp)
{
    StartAnn();
    UIFaceBook* dialog = UIFaceBook::Open();
    ASSERT_NE(dialog, nullptr);
    dialog->Setup(UIFaceBook::ModeConnect);
    FramesUntilOpen(dialog);
    Status(4);
    EXPECT_EQ(dialog->GetPage(), L"error");
    EXPECT_EQ(dialog->GetLastStatus(), 0);
    Status(0);
    EXPECT_EQ(dialog->GetPage(), L"error") << "the error page waits for the player";
    EXPECT_EQ(social.Count("Restart"), 2u);

    Press(L"btn_connect");
    EXPECT_EQ(dialog->GetPage(), L"enable_connect");
    EXPECT_EQ(social.Count("Restart"), 3u);
    EXPECT_EQ(dialog->GetLastStatus(), 0);
    Frame();
    EXPECT_EQ(dialog->GetPage(), L"enable_connect") << "status 0 is no change after a restart";
    Status(4);
    ASSERT_EQ(dialog->GetPage(), L"error");
    Press(L"btnCancel");
    EXPECT_EQ(social.Count("Disable"), 1u);
    EXPECT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));
}

TEST_F(FaceBookDialogTest, StoppedShowsTheDisablePage)
{
    StartAnn();
    UIFaceBook* dialog = UIFaceBook::Open();
    ASSERT_NE(dialog, nullptr);
    dialog->Setup(UIFaceBook::ModeConnect);
    FramesUntilOpen(dialog);
    Status(5);
    EXPECT_EQ(dialog->GetPage(), L"disable_connect");
    EXPECT_EQ(social.Count("Disable"), 1u);
}

TEST_F(FaceBookDialogTest, MissingPagesAndAMissingBoxSkipTheirSteps)
{
    std::string definition = ReadText(Content("input/definitions/facebook.xml"));
    definition = std::regex_replace(definition, std::regex("    <Label name=\"posting\" frame=\"3\"/>\n"), "");
    definition = std::regex_replace(definition, std::regex("instancename=\"enable\""), "instancename=\"enable_gone\"");
    WriteContent("input/definitions/facebook.xml", definition);
    StartAnn();
    social.firstOffer = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'x')"));
    UIFaceBook* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetPage(), L"new_user");
    Press(L"btn_new_user");
    Frames(2);
    EXPECT_EQ(dialog->GetPage(), L"new_user") << "without the box a press does nothing";
    EXPECT_TRUE(social.calls.size() == 2u) << "Init and LoadProfile only";
    dialog->Close(false);
    ASSERT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));

    // No "posting" page: the post is not handed over.
    social.enabled = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'x')"));
    dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(social.Count("Post"), 0u);
    EXPECT_FALSE(dialog->GotoPage(L"posting"));
}

TEST_F(FaceBookDialogTest, ANameThatLooksLikeAKeyIsShownAsTyped)
{
    StartAnn("|T|Ok^FF0000");
    social.firstOffer = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'x')"));
    ASSERT_NE(OpenedDialog(), nullptr);
    // Drawn as typed: no key resolved, the colour mark kept as a plain "^" (stored doubled).
    auto* greeting = Child<Instance_Text>(Dialog(), L"l1");
    ASSERT_NE(greeting, nullptr);
    EXPECT_TRUE(greeting->textKey.empty());
    EXPECT_EQ(greeting->text, L"|T|Ok^^FF0000" + Translation(L"WouldConnect"));
}

TEST_F(FaceBookDialogTest, ClosingReappliesTheSettingsOnce)
{
    StartAnn();
    UIFaceBook* dialog = UIFaceBook::Open();
    ASSERT_NE(dialog, nullptr);
    FramesUntilOpen(dialog);
    ClearScriptEvents();
    dialog->Close(false);
    ASSERT_TRUE(FramesUntilGone(UIFaceBook::DefinitionName));
    EXPECT_EQ(ScriptEvents("EnableTutorials").size(), 1u);
}

TEST_F(FaceBookDialogTest, IsEnabledTellsWhetherTheGameHasTheFeature)
{
    StartAnn();
    EXPECT_TRUE(LuaBool("srv.FB.IsEnabled()"));
    Game().GetFaceBook()->Disable();
    EXPECT_TRUE(LuaBool("srv.FB.IsEnabled()")) << "also after the player disabled it";
    EXPECT_EQ(social.calls[0], "Init 3");
    EXPECT_EQ(social.calls[1], "LoadProfile");
    // Wrong arguments do nothing.
    social.enabled = true;
    ASSERT_TRUE(Lua("srv.FB.OnPost('1', 'x') srv.FB.OnPost(1) srv.FB.OnPost(1.5, 'x') srv.FB.OnPost(1e12, 'x')"));
    Frames(2);
    EXPECT_EQ(Dialog(), nullptr);
}

class FaceBookDialogWithoutObjectTest : public FaceBookDialogTest
{
};

TEST_F(FaceBookDialogWithoutObjectTest, AnInitThatFailsLeavesTheGameWithoutTheFeature)
{
    social.init = false;
    social.firstOffer = true;
    StartAnn();
    EXPECT_EQ(Game().GetFaceBook(), nullptr);
    EXPECT_FALSE(LuaBool("srv.FB.IsEnabled()"));
    ASSERT_TRUE(Lua("srv.FB.OnPost(1, 'x')"));
    Frames(2);
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(UIFaceBook::Open(), nullptr);
    UIOptions* options = Open<UIOptions>(L"dlg_options");
    ASSERT_NE(options, nullptr);
    Frames(2);
    EXPECT_FALSE(Child(options, L"cb_facebook")->visible);
    EXPECT_FALSE(Child(options, L"_8")->visible);
}

} // namespace
} // namespace PlayerScreensTest
