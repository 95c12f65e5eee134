// The user interface as the display tree's holder: the root and its script globals, the pointer in
// game coordinates, the hit list handed to scripts, and the draw pass from the root.
#include "tests/scene/display/DisplayFixture.h"

namespace SceneTest
{

// A root that records how it is drawn.
class TestRoot : public Instance_Movie
{
    TARN_RCLASS(TestRoot)
public:
    void Draw(const Matrix3& matrix, float alpha) override
    {
        draws.push_back(matrix);
        alphas.push_back(alpha);
        if (IRenderCanvas* own = GetCanvas(false))
            clearBeforeDraw.push_back(own->IsClear());
    }
    std::vector<Matrix3> draws;
    std::vector<float> alphas;
    std::vector<bool> clearBeforeDraw;
};

TARN_IMPLEMENT_RCLASS(TestRoot, Instance_Movie, RObjectFactory<TestRoot>)

namespace
{

using UserInterfaceRoot = DisplayFixture;

TEST_F(UserInterfaceRoot, InitMakesTheRootAndPublishesItToScripts)
{
    EXPECT_EQ(root->name, L"root");
    EXPECT_EQ(root->type, uint32_t(INSTANCE_MOVIE));
    EXPECT_TRUE(ui->rootHandle.IsValid());
    EXPECT_EQ(ui->rootHandle.GetInstance(), root);
    EXPECT_EQ(root->handle, ui->rootHandle);
    EXPECT_EQ(root->movieHandle, ui->rootHandle) << "so that its children know their parent";
    EXPECT_EQ(ui->liveInstanceCount, 0u) << "the root is not counted";
    EXPECT_EQ(ui->bookmarks, std::vector<InstanceHandle>{ui->rootHandle});
    ASSERT_NE(ui->GetConsole(), nullptr);
    ASSERT_NE(ui->GetDefinitionMap(), nullptr);

    SetGlobal("rootTable", root);
    ASSERT_TRUE(Run("got = tostring(root == rootTable) .. ' ' .. type(g_UserInterface.t_HitList) .. ' '"
                    ".. root:GetName()"));
    EXPECT_EQ(Global("got"), "true table root");
}

TEST_F(UserInterfaceRoot, RegistrationCountsLiveInstancesAndBookmarksHoldEachOnce)
{
    Instance_Movie* movie = Movie(root, L"movie");
    EXPECT_EQ(ui->liveInstanceCount, 1u);
    ui->SetBookmarked(movie->handle, true);
    ui->SetBookmarked(movie->handle, true);
    EXPECT_EQ(ui->bookmarks.size(), 2u);
    ui->SetBookmarked(movie->handle, false);
    ui->SetBookmarked(movie->handle, false);
    EXPECT_EQ(ui->bookmarks, std::vector<InstanceHandle>{ui->rootHandle});
    const InstanceHandle handle = movie->handle;
    ui->ReleaseInstance(handle);
    ui->ReleaseInstance(handle);
    EXPECT_EQ(ui->liveInstanceCount, 0u) << "released once";
    EXPECT_FALSE(handle.IsValid());
}

TEST_F(UserInterfaceRoot, ThePointerIsKeptInGameCoordinates)
{
    RecordingDevice& device = renderer->Device();
    device.viewOffsetX = 100;
    device.viewOffsetY = 50;
    device.viewScale = 2;
    const struct
    {
        int clientX, clientY;
        int32_t gameX, gameY;
    } cases[] = {
        {300, 150, 100, 50},
        {101, 51, 0, 0},
        {99, 49, 0, 0}, // -0.5 is truncated toward zero
        {97, 45, -1, -2},
    };
    for (const auto& c : cases)
    {
        ui->OnMouseMove(c.clientX, c.clientY);
        EXPECT_EQ(ui->mouseX, c.gameX) << c.clientX;
        EXPECT_EQ(ui->mouseY, c.gameY) << c.clientY;
    }
    EXPECT_TRUE(ui->mouseInside);
    ASSERT_TRUE(Run("p = g_UserInterface:GetMousePosition() got = p.x .. ' ' .. p.y"));
    EXPECT_EQ(Global("got"), "-1 -2");

    device.viewScale = 0;
    ui->OnMouseMove(130, 70);
    EXPECT_EQ(ui->mouseX, 30) << "a device without a scale shows the game unscaled";
}

struct EatingHandler : IInstanceEventHandler
{
    bool IsEatingMouse(InstanceHandle) override { return eats; }
    bool eats = true;
};

TEST_F(UserInterfaceRoot, TheHitListReachesScriptsFrontMostFirstAndStopsAtTheFirstThatEatsTheMouse)
{
    Instance_Movie* back = Movie(root, L"back");
    Leaf(back, L"b", INSTANCE_TEXT, 0, 0, 100, 100);
    Instance_Movie* front = Movie(root, L"front");
    Leaf(front, L"f", INSTANCE_TEXT, 20, 20, 50, 50);
    SetGlobal("back", back);
    SetGlobal("front", front);
    ASSERT_TRUE(Run(
        "updates = 0 function g_UserInterface:OnHitListUpdate() updates = updates + 1 end "
        "function list() local t = g_UserInterface.t_HitList local names = {} "
        "for i = 1, 4 do names[i] = t[i] and t[i]:GetName() or '-' end return table.concat(names, ' ') end"));

    ui->OnMouseMove(30, 30);
    ASSERT_TRUE(Run("got = list() .. ' ' .. updates"));
    EXPECT_EQ(Global("got"), "front back root - 1");
    EXPECT_EQ(ui->hitListCount, 3u);

    front->eatingMouse = true;
    ui->UpdateHitList(false);
    ASSERT_TRUE(Run("got = list() .. ' ' .. updates"));
    EXPECT_EQ(Global("got"), "front - - - 2") << "entries beyond the new count are cleared";

    EatingHandler handler;
    handler.eats = false;
    front->SetEventHandler(&handler);
    ui->UpdateHitList(false);
    EXPECT_EQ(ui->GetHitList().size(), 3u) << "the handler answers instead of the flag";
    handler.eats = true;
    back->SetEventHandler(&handler);
    ui->OnMouseMove(10, 10);
    ASSERT_TRUE(Run("got = list()"));
    EXPECT_EQ(Global("got"), "back - - -");

    ui->UpdateHitList(true);
    ASSERT_TRUE(Run("got = list()"));
    EXPECT_EQ(Global("got"), "- - - -") << "the pointer left the window";
    EXPECT_EQ(ui->hitListCount, 0u);
    front->SetEventHandler(nullptr);
    back->SetEventHandler(nullptr);
}

TEST_F(UserInterfaceRoot, MouseButtonsRefreshTheHitListFirst)
{
    Instance_Movie* target = Movie(root, L"target");
    Leaf(target, L"t", INSTANCE_TEXT, 0, 0, 10, 10);
    ui->mouseX = 5;
    ui->mouseY = 5;
    ui->OnMouseDown(0, 0, 0);
    EXPECT_EQ(ui->GetHitList().size(), 2u);
    ui->mouseX = 50;
    ui->OnMouseUp(0, 0, 0);
    EXPECT_TRUE(ui->GetHitList().empty());
    EXPECT_FALSE(ui->buttonHeld[0]);
}

TEST(UserInterfaceRootClass, TheRootIsAMovieOfTheGivenClassOrAPlainMovie)
{
    LuaMgr lua;
    ASSERT_TRUE(lua.Init());
    RecordingRenderer renderer;
    renderer.Device().viewOffsetX = 100;
    renderer.Device().viewOffsetY = 50;
    renderer.Device().viewScale = 2;
    RecordingCanvasScope canvases;
    {
        UserInterface ui(nullptr, TestRoot::StaticClass());
        ASSERT_TRUE(ui.Init());
        auto* root = RObjectCast<TestRoot>(ui.GetRoot());
        ASSERT_NE(root, nullptr);

        // The draw pass: the view transform, full opacity, then the root's canvas is emptied.
        root->GetCanvas(true)->DrawLine({0, 0}, {1, 1}, 0xFFFFFFFF);
        ui.Render();
        ASSERT_EQ(root->draws.size(), 1u);
        const Matrix3& m = root->draws[0];
        EXPECT_EQ((std::vector<float>{m.m[0][0], m.m[0][1], m.m[1][0], m.m[1][1], m.m[2][0], m.m[2][1]}),
                  (std::vector<float>{2, 0, 0, 2, 100, 50}));
        EXPECT_EQ(root->alphas, std::vector<float>{1.0f});
        EXPECT_EQ(root->clearBeforeDraw, std::vector<bool>{false});
        EXPECT_TRUE(root->GetCanvas(false)->IsClear());

        // The custom cursor follows the pointer and shows only while the pointer is inside.
        Instance_Base* cursor = nullptr;
        Instance_Movie::CreateInstanceCore(root, L"", L"cursor", true, nullptr, &cursor);
        ASSERT_NE(cursor, nullptr);
        ui.customCursor = cursor->handle;
        ui.customCursorEnabled = true;
        ui.mouseInside = true;
        ui.mouseX = 5;
        ui.mouseY = 6;
        ui.Render();
        EXPECT_TRUE(cursor->visible);
        EXPECT_EQ(cursor->x, 5);
        EXPECT_EQ(cursor->y, 6);
        ui.mouseInside = false;
        ui.Render();
        EXPECT_FALSE(cursor->visible);
    }
    {
        UserInterface ui(nullptr, RClass::StaticClass());
        ASSERT_TRUE(ui.Init());
        EXPECT_EQ(ui.GetRoot()->GetClass(), Instance_Movie::StaticClass()) << "not a movie class";
    }
    EXPECT_EQ(UserInterface::Get(), nullptr);
}

} // namespace
} // namespace SceneTest
