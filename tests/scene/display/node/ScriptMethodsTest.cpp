// The script class "Instance_Base": arguments read by position (too few: nothing happens), values
// back to scripts, the canvas methods, the tree methods, hit tests and stale instances.
#include "tests/scene/display/DisplayFixture.h"

namespace SceneTest
{
namespace
{

using ScriptMethods = DisplayFixture;

TEST_F(ScriptMethods, SettersNeedAllTheirArgumentsAndGettersGiveTheValues)
{
    Instance_Movie* node = Movie(root, L"node", 3, 4);
    SetGlobal("node", node);
    ASSERT_TRUE(Run("node:SetPosition(50)"));
    EXPECT_EQ(node->x, 3) << "one coordinate is not a position";
    EXPECT_EQ(node->y, 4);
    ASSERT_TRUE(Run("node:SetPosition(50, 'sixty')"));
    EXPECT_EQ(node->x, 3) << "a text that is no number is not read";
    ASSERT_TRUE(Run("node:SetScale(2) node:SetRegistrationPoint(1) node:SetVisible(1)"));
    EXPECT_EQ(node->scaleX, 1);
    EXPECT_EQ(node->regX, 0);
    EXPECT_TRUE(node->visible) << "only real booleans count";

    ASSERT_TRUE(
        Run("node:SetPosition(50, 60) node:SetRotation(0.5) node:SetScale(2, 3) node:SetScaleY(4)"
            "node:SetOpacity(0.5) node:SetMaterial(2) node:SetVisible(false) node:SetInputEnabled(false)"
            "node:SetRegistrationPoint(1, 2) node:SetX(7)"));
    EXPECT_EQ(node->x, 7);
    EXPECT_EQ(node->y, 60);
    EXPECT_EQ(node->scaleY, 4);
    EXPECT_EQ(node->regY, 2);
    EXPECT_FALSE(node->inputEnabled);
    ASSERT_TRUE(Run("got = table.concat({node:GetX(), node:GetY(), node:GetRotation(), node:GetScaleX(),"
                    "node:GetScaleY(), node:GetOpacity(), node:GetMaterial(), tostring(node:GetVisible()),"
                    "node:GetType(), node:GetName()}, ' ')"));
    EXPECT_EQ(Global("got"), "7 60 0.5 2 4 0.5 2 false 0 node");

    ASSERT_TRUE(Run("info = node:GetInstanceInfo() got = info.s_name .. '|' .. info.s_definition"));
    EXPECT_EQ(Global("got"), "node|");
}

TEST_F(ScriptMethods, BoundsSizesAndPointsAreInScreenSpace)
{
    Instance_Movie* outer = Movie(root, L"outer", 100, 10);
    outer->SetScale(2, 2);
    Instance_Base* leaf = Leaf(outer, L"leaf", INSTANCE_TEXT, 5, 5, 10, 20);
    SetGlobal("leaf", leaf);
    ASSERT_TRUE(Run("b = leaf:GetBounds() got = table.concat({b.left, b.top, b.right, b.bottom,"
                    "leaf:GetWidth(), leaf:GetHeight()}, ' ')"));
    EXPECT_EQ(Global("got"), "110 20 130 60 20 40");
    ASSERT_TRUE(Run("got = table.concat({leaf:LocalToGlobalX(1), leaf:LocalToGlobalY(1),"
                    "leaf:GlobalToLocalX(112), leaf:GlobalToLocalY(22)}, ' ')"));
    EXPECT_EQ(Global("got"), "112 22 1 1");
    ui->mouseX = 112;
    ui->mouseY = 24;
    ASSERT_TRUE(Run("m = leaf:GetMousePosition() got = m.x .. ' ' .. m.y"));
    EXPECT_EQ(Global("got"), "1 2");

    // A point that cannot be taken into the leaf's space comes back as it was.
    outer->SetScale(0, 2);
    ASSERT_TRUE(Run("got = leaf:GlobalToLocalX(112) .. ' ' .. leaf:GlobalToLocalY(22)"));
    EXPECT_EQ(Global("got"), "112 22");
}

TEST_F(ScriptMethods, HitTestListsFromIndexZero)
{
    Instance_Movie* back = Movie(root, L"back", 50, 50);
    Instance_Base* label = Leaf(back, L"label", INSTANCE_TEXT, 0, 0, 100, 100);
    SetGlobal("back", back);
    SetGlobal("label", label);
    ASSERT_TRUE(Run("t = root:HitTest(60, 60, false, true)"
                    "got = tostring(t[0] == back) .. ' ' .. tostring(t[1] == root) .. ' ' .. #t"));
    EXPECT_EQ(Global("got"), "true true 1") << "the length operator misses entry 0";
    ASSERT_TRUE(Run("t = root:HitTest(10, 10, false, true) got = tostring(next(t))"));
    EXPECT_EQ(Global("got"), "nil");
    ASSERT_TRUE(
        Run("t = label:HitTest(60, 60, false, true) got = tostring(t[0] == back) .. ' ' .. tostring(t[1])"));
    EXPECT_EQ(Global("got"), "true nil") << "screen coordinates, taken into the parent's space";
    back->SetInputEnabled(false);
    ASSERT_TRUE(Run("got = tostring(next(root:HitTest(60, 60, false, true)))"
                    ".. ' ' .. tostring(root:HitTest(60, 60, false, false)[0] == back)"));
    EXPECT_EQ(Global("got"), "nil true");
    ASSERT_TRUE(Run("got = tostring((root:HitTest(60, 60, false)))"));
    EXPECT_EQ(Global("got"), "nil") << "four arguments";
}

TEST_F(ScriptMethods, ParentsAndSiblings)
{
    Instance_Movie* parent = Movie(root, L"parent");
    Instance_Movie* a = Movie(parent, L"a");
    Instance_Movie* b = Movie(parent, L"b");
    SetGlobal("parent", parent);
    SetGlobal("a", a);
    SetGlobal("b", b);
    ASSERT_TRUE(Run("got = tostring(a:GetParent() == parent) .. ' ' .. tostring(parent:GetParent() == root)"
                    ".. ' ' .. tostring(root:GetParent())"));
    EXPECT_EQ(Global("got"), "true true nil");

    ASSERT_TRUE(Run("a:MoveInFrontOf(b)"));
    EXPECT_EQ(parent->drawOrder, (std::vector<Instance_Base*>{b, a}));
    ASSERT_TRUE(Run("a:MoveBehind(b) a:MoveInFrontOf({}) a:MoveInFrontOf(nil)"));
    EXPECT_EQ(parent->drawOrder, (std::vector<Instance_Base*>{a, b}));
    ASSERT_TRUE(Run("a:MoveToFront()"));
    EXPECT_EQ(parent->drawOrder, (std::vector<Instance_Base*>{b, a}));

    // The parent goes: its child's link is stale, though the child's table still answers.
    root->RemoveAndQueueDelete(parent);
    ASSERT_TRUE(Run("got = tostring(a:GetParent()) .. ' ' .. a:GetName()"));
    EXPECT_EQ(Global("got"), "nil a");
    root->DeletePending();
    ASSERT_TRUE(Run("got = tostring((a:GetName())) .. ' ' .. tostring(a:_IsValid()) a:SetPosition(1, 2) "
                    "a:Delete(false)"));
    EXPECT_EQ(Global("got"), "nil false") << "a gone instance does nothing";
}

TEST_F(ScriptMethods, MasksColoursBookmarksAndDeletion)
{
    Instance_Movie* movie = Movie(root, L"movie");
    auto* image = static_cast<TestImage*>(Leaf(movie, L"image", INSTANCE_IMAGE, 0, 0, 4, 4));
    SetGlobal("movie", movie);
    SetGlobal("image", image);
    ASSERT_TRUE(Run("movie:ToggleMaskBase(true)"));
    EXPECT_EQ(movie->material, 4u);
    ASSERT_TRUE(Run("movie:ToggleMaskBase(false) image:ToggleMaskIn(true) image:ToggleMaskOut(true)"
                    "image:ToggleMaskClear(true) image:ToggleMaskOut(false) movie:SetAllowFiltering(false)"));
    EXPECT_EQ(image->material, 0x30001u);
    EXPECT_FALSE(image->allowFiltering);

    ASSERT_TRUE(Run("image:SetColor(255, 128, 1) image:SetColor(257, -1, 2.9) image:SetColor(1, 2)"));
    EXPECT_EQ(image->colours, (std::vector<uint32_t>{0xFF8001, 0x01FF02}));
    image->colours.clear();
    ASSERT_TRUE(Run("movie:SetColor(1, 2, 3)"));
    EXPECT_EQ(image->colours, std::vector<uint32_t>{0x010203}) << "a movie passes it to its children";

    ASSERT_TRUE(Run("image:SetIsBookmarked(true) image:SetIsBookmarked(true)"));
    EXPECT_EQ(std::count(ui->bookmarks.begin(), ui->bookmarks.end(), image->handle), 1);
    ASSERT_TRUE(Run("image:SetIsBookmarked(false)"));
    EXPECT_EQ(std::count(ui->bookmarks.begin(), ui->bookmarks.end(), image->handle), 0);

    ASSERT_TRUE(Run("image:Delete()"));
    EXPECT_EQ(movie->children.size(), 1u) << "the flag is required";
    ASSERT_TRUE(Run("image:Delete(false)"));
    EXPECT_TRUE(movie->children.empty());
}

TEST_F(ScriptMethods, CanvasMethodsDrawIntoTheInstancesCanvas)
{
    Instance_Movie* node = Movie(root, L"node");
    SetGlobal("node", node);
    ASSERT_TRUE(Run("got = tostring(node:CanvasIsClear())"));
    EXPECT_EQ(Global("got"), "true");
    RecordingCanvas* canvas = RecordingCanvas::Last();
    ASSERT_NE(canvas, nullptr);
    ASSERT_EQ(node->GetCanvas(false), canvas);

    ASSERT_TRUE(Run("node:CanvasDrawLine(1, 2, 3, 4, 0xFFFF0000)"
                    "node:CanvasDrawLine(1, 2, 3, 4)"
                    "node:CanvasDrawTriangleFilled(0, 0, 10, 0, 0, 10, 0x80102030)"
                    "node:CanvasDrawRect(5, 6, 7, 8, 255)"
                    "node:CanvasSetRenderPass(0)"
                    "node:CanvasDrawCircleFilled(9, 9, 3, 0xFFFFFFFF, 12)"
                    "node:CanvasDrawCircle(9, 9, 3, -1, -5)"
                    "node:CanvasDrawTextLine(2, 3, 12, 0xFF00FF00, 'caf\\195\\169')"));
    ASSERT_EQ(canvas->calls.size(), 6u);
    const CanvasCall& line = canvas->calls[0];
    EXPECT_EQ(line.name, "Line");
    EXPECT_EQ(line.colour, 0xFFFF0000u) << "colours above 0x7FFFFFFF survive";
    EXPECT_EQ(line.points[1].x, 3);
    EXPECT_EQ(canvas->calls[1].name, "Triangle");
    EXPECT_TRUE(canvas->calls[1].filled);
    EXPECT_EQ(canvas->calls[1].colour, 0x80102030u);
    EXPECT_EQ(canvas->calls[2].name, "Rect");
    EXPECT_FALSE(canvas->calls[2].filled);
    EXPECT_EQ(canvas->calls[2].points[1].y, 8);
    EXPECT_EQ(canvas->calls[3].name, "Circle");
    EXPECT_EQ(canvas->calls[3].numbers, (std::vector<float>{3, 12}));
    EXPECT_EQ(canvas->calls[4].numbers, (std::vector<float>{3, 0})) << "negative segment counts draw nothing";
    EXPECT_EQ(canvas->calls[4].colour, 0xFFFFFFFFu);
    EXPECT_EQ(canvas->calls[5].name, "Text");
    EXPECT_EQ(canvas->calls[5].text, L"caf\u00e9");
    EXPECT_EQ(canvas->calls[5].numbers, std::vector<float>{12});
    EXPECT_EQ(canvas->calls[5].colour, 0xFF00FF00u);
    EXPECT_EQ(canvas->GetRenderPass(), 0u);

    ASSERT_TRUE(
        Run("node:CanvasSetClearOnRender(true) node:CanvasSetVisible(false)"
            "got = tostring(node:CanvasGetClearOnRender()) .. ' ' .. tostring(node:CanvasGetVisible())"
            ".. ' ' .. tostring(node:CanvasIsClear()) node:CanvasClear()"
            "got = got .. ' ' .. tostring(node:CanvasIsClear())"));
    EXPECT_EQ(Global("got"), "true false false true");
}

TEST_F(ScriptMethods, SubclassesAndTheConstructor)
{
    Instance_Movie* node = Movie(root, L"node");
    SetGlobal("node", node);
    ASSERT_TRUE(Run("BuildType({ _type = 'Fancy', _parents = { 'Instance_Base' },"
                    "_fields = { Shout = function(self) return self:GetName() .. '!' end } })"
                    "node:SetSubclass('Fancy') got = node:Shout()"));
    EXPECT_EQ(Global("got"), "node!");
    ASSERT_TRUE(Run("node:SetSubclass('NoSuchClass') got = node:Shout() .. ' ' .. node:GetName()"));
    EXPECT_EQ(Global("got"), "node! node") << "an unknown class leaves the table as it was";

    // Scripts may make bare nodes; they belong to no tree until engine code adopts them.
    ASSERT_TRUE(Run("bare = Make('Instance_Base')()"
                    "got = table.concat({bare:GetScaleX(), bare:GetOpacity(), tostring(bare:GetParent()),"
                    "bare:GetWidth()}, ' ')"));
    EXPECT_EQ(Global("got"), "1 1 nil 0");
    lua_getglobal(lua.GetState(), "bare");
    Instance_Base* bare = LuaGetObjectArg<Instance_Base>(lua.GetState(), -1);
    lua_pop(lua.GetState(), 1);
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->handle.IsValid());
    RObject::DeleteSelf(bare);
}

} // namespace
} // namespace SceneTest
