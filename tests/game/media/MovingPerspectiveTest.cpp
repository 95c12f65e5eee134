// The moving perspective on a display tree of test movies, ticked through the engine's game-time
// timer list on an injected clock: the choice of target and the placement about the pivot, the
// layer windows of a three-layer move, the size fade of one or two layers, pass ends, time scales,
// refused script numbers, layer counts beyond the tables, and a target that goes away. Then the
// page-turn distortion of the book scaler.
#include "engine/core/time/TimeManager.h"
#include "engine/core/time/TimerList.h"
#include "engine/scene/display/geometry/Distortion_Mesh.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/media/BookScaler.h"
#include "game/media/MovingPerspective.h"
#include "platform/system/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{

class Perspective : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterPerspectiveClasses();
        ASSERT_TRUE(lua.Init());
        ui = std::make_unique<UserInterface>(nullptr, nullptr);
        ASSERT_TRUE(ui->Init());
        root = ui->GetRoot();
        ASSERT_NE(root, nullptr);
        time.SetMaxDeltaMs(100000);
        time.UpdateFrameBase();
    }
    void TearDown() override
    {
        lua_State* state = lua.GetState();
        lua_pushnil(state);
        lua_setglobal(state, "mp");
        lua_gc(state, LUA_GCCOLLECT, 0);
        ui.reset();
    }

    // A movie under the parent at (x, y).
    Instance_Movie* Movie(Instance_Movie* parent, const std::wstring& name, float x = 0, float y = 0)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent, L"", name, true, nullptr, &made);
        auto* movie = RObjectCast<Instance_Movie>(made);
        if (movie)
            movie->SetPosition(x, y);
        return movie;
    }
    // A leaf that is not a movie, covering width x height from (x, y).
    Instance_Base* Leaf(Instance_Movie* parent, const std::wstring& name, float x, float y, float width, float height)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent, L"", name, true, Instance_Base::StaticClass(), &made);
        if (!made)
            return nullptr;
        made->extentRect = {0, 0, width, height};
        made->useExtentRect = true;
        made->SetPosition(x, y);
        return made;
    }
    // A movie "m" whose layers are n movies, each holding one leaf.
    Instance_Movie* Layered(size_t n, float leafSize = 100.0f)
    {
        Instance_Movie* movie = Movie(root, L"m", 40, 30);
        for (size_t i = 0; i < n; ++i)
        {
            Instance_Movie* layer = Movie(movie, L"layer" + std::to_wstring(i), float(10 * i), float(5 * i));
            Leaf(layer, L"leaf", 0, 0, leafSize, leafSize);
        }
        return movie;
    }

    // A made object of the script class, held by the script global "mp".
    MovingPerspective* Create()
    {
        lua_State* state = lua.GetState();
        if (!lua.DoString(std::string("mp = Make('MovingPerspective')()")))
            return nullptr;
        lua_getglobal(state, "mp");
        auto* made = LuaGetObjectArg<MovingPerspective>(state, -1);
        lua_pop(state, 1);
        return made;
    }
    void SetGlobal(const char* name, Instance_Base* instance)
    {
        lua_State* state = lua.GetState();
        if (!instance->HasTable())
            instance->CreateLuaTable();
        instance->PushTable();
        lua_setglobal(state, name);
    }
    std::string Global(const char* name)
    {
        lua_State* state = lua.GetState();
        lua_getglobal(state, "tostring");
        lua_getglobal(state, name);
        lua_call(state, 1, 1);
        std::string text = lua_tostring(state, -1);
        lua_pop(state, 1);
        return text;
    }

    // One engine frame of that many milliseconds of game time: the clock, then its timer list.
    void Tick(int64_t ms)
    {
        counter.AdvanceMilliseconds(ms);
        time.UpdateFrameBase();
        time.UpdateClock(1);
        time.StepTimerList(timers, 1);
    }

    LuaMgr lua;
    Platform::FakeCounter counter{1000};
    TimeManager time{counter};
    TimerLists timers;
    std::unique_ptr<UserInterface> ui;
    Instance_Movie* root = nullptr;
};

TEST_F(Perspective, TheTargetAndItsPlacementDependOnTheFirstChild)
{
    MovingPerspective* mp = Create();
    ASSERT_NE(mp, nullptr);

    // A first child that is not a movie: the movie is moved as a whole about the pivot.
    Instance_Movie* single = Movie(root, L"single", 100, 50);
    Leaf(single, L"picture", 0, 0, 300, 200);
    mp->SetMovie(single);
    EXPECT_EQ(mp->GetTarget().GetInstance(), single);
    EXPECT_EQ(single->regX, 412.0f);
    EXPECT_EQ(single->regY, 166.0f);
    EXPECT_EQ(single->GetX(), 512.0f);
    EXPECT_EQ(single->GetY(), 216.0f);
    EXPECT_EQ(mp->GetTime(), 0.0f);
    // It keeps its place on screen.
    float x = 0, y = 0;
    single->children[0]->LocalToGlobal(x, y);
    EXPECT_FLOAT_EQ(x, 100.0f);
    EXPECT_FLOAT_EQ(y, 50.0f);
    mp->Apply(1.0f);
    EXPECT_TRUE(single->children[0]->visible) << "a big picture does not fade";
    EXPECT_EQ(single->children[0]->opacity, 1.0f);

    // A first child with exactly one child: the movie itself holds the layers.
    Instance_Movie* movie = Layered(3);
    mp->SetMovie(movie);
    EXPECT_EQ(mp->GetTarget().GetInstance(), movie);
    EXPECT_EQ(movie->regX, 512.0f);
    EXPECT_EQ(movie->regY, 216.0f);
    EXPECT_EQ(movie->GetX(), 512.0f);
    const float scales[] = {1.0f, 0.23f, 0.115f};
    for (size_t i = 0; i < 3; ++i)
    {
        Instance_Base* layer = movie->children[i];
        EXPECT_EQ(layer->regX, 512.0f - float(10 * i)) << i;
        EXPECT_EQ(layer->regY, 216.0f - float(5 * i)) << i;
        EXPECT_EQ(layer->GetX(), 512.0f) << i;
        EXPECT_EQ(layer->GetScaleX(), scales[i]) << i;
        EXPECT_EQ(layer->GetScaleY(), scales[i]) << i;
    }

    // A first child with several children becomes the target; its children are the layers.
    Instance_Movie* outer = Movie(root, L"outer", 5, 5);
    Instance_Movie* inner = Movie(outer, L"inner", 7, 9);
    Movie(inner, L"far", 1, 2);
    Movie(inner, L"near", 3, 4);
    mp->SetMovie(outer);
    EXPECT_EQ(mp->GetTarget().GetInstance(), inner);
    EXPECT_EQ(inner->GetX(), 512.0f);
    EXPECT_EQ(inner->children[1]->regX, 509.0f);
    EXPECT_EQ(inner->children[1]->GetScaleX(), 0.23f);
    EXPECT_EQ(outer->GetX(), 5.0f) << "the outer movie stays as it was";
}

TEST_F(Perspective, ThreeLayersFadeThroughTheirWindows)
{
    MovingPerspective* mp = Create();
    Instance_Movie* movie = Layered(3);
    mp->SetMovie(movie);
    const float hidden = -1.0f;
    const struct
    {
        float t;
        float opacity[3]; // -1: hidden
    } cases[] = {
        {-2.5f, {hidden, hidden, hidden}},      {-1.5f, {0.5f, hidden, hidden}},
        {0.0f, {1.0f, 0.404911f, hidden}},      {1.8f, {0.669676f, 1.0f, 0.476555f}},
        {2.5f, {hidden, 0.662823f, 1.0f}},      {6.0f, {hidden, hidden, 1.0f}},
        {6.5f, {hidden, hidden, 0.5f}},         {7.1f, {hidden, hidden, hidden}},
    };
    for (const auto& c : cases)
    {
        mp->SetTime(c.t);
        EXPECT_EQ(mp->GetTime(), c.t);
        EXPECT_FLOAT_EQ(movie->GetScaleX(), float(std::exp(double(c.t)))) << c.t;
        EXPECT_FLOAT_EQ(movie->GetScaleY(), float(std::exp(double(c.t)))) << c.t;
        for (size_t i = 0; i < 3; ++i)
        {
            const Instance_Base* layer = movie->children[i];
            if (c.opacity[i] == hidden)
            {
                EXPECT_FALSE(layer->visible) << "t " << c.t << " layer " << i;
                continue;
            }
            EXPECT_TRUE(layer->visible) << "t " << c.t << " layer " << i;
            EXPECT_NEAR(layer->opacity, c.opacity[i], 1e-4f) << "t " << c.t << " layer " << i;
        }
    }
}

TEST_F(Perspective, OneOrTwoLayersAppearBySize)
{
    for (size_t n : {size_t(1), size_t(2)})
    {
        MovingPerspective* mp = Create();
        Instance_Movie* movie = Layered(n, 5.0f); // the first layer's picture is 5 x 5
        mp->SetMovie(movie);
        Instance_Base* first = movie->children[0];
        const struct
        {
            float size; // on screen, e^t x 5
            bool visible;
            float opacity;
        } cases[] = {{5.0f, false, 1.0f}, {10.0f, false, 1.0f}, {15.0f, true, 0.5f},
                     {19.0f, true, 0.9f}, {25.0f, true, 0.9f} /* not changed past 20 */};
        for (const auto& c : cases)
        {
            mp->SetTime(std::log(c.size / 5.0f));
            EXPECT_EQ(first->visible, c.visible) << n << " layers, size " << c.size;
            EXPECT_NEAR(first->opacity, c.opacity, 1e-3f) << n << " layers, size " << c.size;
        }
        if (n == 2)
        {
            // The second layer grows opaque as it reaches its natural size.
            mp->SetTime(0.0f);
            EXPECT_FLOAT_EQ(movie->children[1]->opacity, 0.23f);
            mp->SetTime(2.0f);
            EXPECT_EQ(movie->children[1]->opacity, 1.0f);
        }
        root->RemoveChild(L"m");
        root->DeletePending();
    }
}

TEST_F(Perspective, TicksRunOnGameTimeAndAPassEndsPastSixSeconds)
{
    MovingPerspective* mp = Create();
    Instance_Movie* movie = Layered(3);
    ASSERT_TRUE(lua.DoString(std::string("ends = 0 function mp:OnMoveEnd() ends = ends + 1 end")));
    mp->SetMovie(movie);
    ASSERT_TRUE(mp->HasTimer(0));

    Tick(250);
    EXPECT_EQ(mp->GetTime(), 0.25f);
    EXPECT_FLOAT_EQ(movie->GetScaleX(), std::exp(0.25f));

    mp->SetTime(5.5f);
    Tick(500);
    EXPECT_EQ(mp->GetTime(), 6.0f);
    EXPECT_FLOAT_EQ(movie->GetScaleX(), float(std::exp(6.0))) << "at 6.0 exactly the tick applies";
    EXPECT_EQ(Global("ends"), "0");

    Tick(1);
    EXPECT_EQ(mp->GetTime(), 0.0f);
    EXPECT_EQ(Global("ends"), "1");
    EXPECT_FLOAT_EQ(movie->GetScaleX(), float(std::exp(6.0))) << "the tick that ends a pass applies nothing";
    Tick(100);
    EXPECT_FLOAT_EQ(mp->GetTime(), 0.1f) << "the next pass starts from 0";

    // The game clock's pause holds the move.
    time.SetPaused(1, true);
    Tick(100);
    EXPECT_FLOAT_EQ(mp->GetTime(), 0.1f);
    time.SetPaused(1, false);

    // A scale of 0 freezes it; a negative one runs it backwards, never ending a pass.
    ASSERT_TRUE(lua.DoString(std::string("mp:SetTimeScale(0)")));
    Tick(300);
    EXPECT_FLOAT_EQ(mp->GetTime(), 0.1f);
    ASSERT_TRUE(lua.DoString(std::string("mp:SetTimeScale(-2)")));
    for (int i = 0; i < 100; ++i)
        Tick(100);
    EXPECT_NEAR(mp->GetTime(), -19.9f, 1e-3f);
    EXPECT_EQ(Global("ends"), "1");
}

TEST_F(Perspective, ScriptMethodsStoreTimesAndRefuseWhatIsNoNumber)
{
    MovingPerspective* mp = Create();
    ASSERT_NE(mp, nullptr);
    ASSERT_TRUE(lua.DoString(std::string("t0 = mp:GetTime() mp:SetTime(2.5) t1 = mp:GetTime()")));
    EXPECT_EQ(Global("t0"), "-4");
    EXPECT_EQ(Global("t1"), "2.5") << "before SetMovie the time is only stored";
    EXPECT_FALSE(mp->HasTimer(0));

    Instance_Movie* movie = Layered(3);
    SetGlobal("movie", movie);
    Instance_Base* leaf = Leaf(root, L"plain", 0, 0, 5, 5);
    SetGlobal("leaf", leaf);
    const char* refused[] = {
        "mp:SetTime(0/0)",        "mp:SetTime(1/0)",      "mp:SetTime(-1/0)",    "mp:SetTime()",
        "mp:SetTime('1')",        "mp:SetTimeScale(0/0)", "mp:SetTimeScale(1/0)", "mp:SetTimeScale()",
        "mp:SetMovie()",          "mp:SetMovie(leaf)",    "mp:SetMovie(5)",      "mp.SetMovie(movie, movie)",
        "mp.SetTime({}, 1)",
    };
    for (const char* call : refused)
    {
        EXPECT_TRUE(lua.DoString(std::string(call))) << call;
        EXPECT_EQ(mp->GetTime(), 2.5f) << call;
        EXPECT_EQ(mp->GetTimeScale(), 1.0f) << call;
        EXPECT_FALSE(mp->GetTarget().IsValid()) << call;
    }
    ASSERT_TRUE(lua.DoString(std::string("mp:SetMovie(movie) mp:SetTime(1) mp:SetTimeScale(3)")));
    EXPECT_EQ(mp->GetTarget().GetInstance(), movie);
    EXPECT_EQ(mp->GetTimeScale(), 3.0f);
    EXPECT_FLOAT_EQ(movie->GetScaleX(), std::exp(1.0f));
    // No number in the tree ever becomes non-finite.
    ASSERT_TRUE(lua.DoString(std::string("mp:SetTime(0/0)")));
    EXPECT_TRUE(std::isfinite(movie->GetScaleX()));
}

TEST_F(Perspective, LayerCountsBeyondTheTablesAndNoneRunClean)
{
    for (size_t n : {size_t(0), size_t(1), size_t(4), size_t(5)})
    {
        MovingPerspective* mp = Create();
        Instance_Movie* movie = Layered(n);
        if (n == 0)
            Movie(movie, L"empty"); // a first child movie with no children: the movie holds the layers
        mp->SetMovie(movie);
        for (float t = -3.0f; t <= 8.0f; t += 0.25f)
            mp->SetTime(t);
        for (int i = 0; i < 80; ++i)
            Tick(100);
        if (n >= 4)
        {
            // Layers past the third start at their natural size; the third holds until 6.0.
            EXPECT_EQ(movie->children[3]->GetScaleX(), 1.0f) << n;
            mp->SetTime(5.0f);
            EXPECT_TRUE(movie->children[2]->visible) << n;
            EXPECT_EQ(movie->children[2]->opacity, 1.0f) << n;
            EXPECT_EQ(movie->children[3]->opacity, 1.0f) << n;
            mp->SetTime(6.5f);
            EXPECT_NEAR(movie->children[2]->opacity, 0.5f, 1e-5f) << n;
            mp->SetTime(-3.0f);
            EXPECT_NEAR(movie->children[3]->opacity, std::exp(-3.0f), 1e-6f) << n;
        }
        root->RemoveChild(L"m");
        root->DeletePending();
    }

    // A movie with no children at all is moved as a whole.
    MovingPerspective* mp = Create();
    Instance_Movie* bare = Movie(root, L"bare", 10, 10);
    mp->SetMovie(bare);
    EXPECT_EQ(mp->GetTarget().GetInstance(), bare);
    mp->SetTime(1.0f);
    EXPECT_FLOAT_EQ(bare->GetScaleX(), std::exp(1.0f));
}

TEST_F(Perspective, ATargetThatGoesAwayEndsTheTimerAtTheNextTick)
{
    MovingPerspective* mp = Create();
    mp->SetMovie(Layered(3));
    Tick(100);
    ASSERT_TRUE(mp->HasTimer(0));
    root->RemoveChild(L"m");
    root->DeletePending();
    EXPECT_TRUE(mp->HasTimer(0));
    Tick(100);
    EXPECT_FALSE(mp->HasTimer(0));
    EXPECT_FLOAT_EQ(mp->GetTime(), 0.1f) << "that tick moves nothing";
    ASSERT_TRUE(lua.DoString(std::string("mp:SetTime(3)")));
    EXPECT_EQ(mp->GetTime(), 3.0f);
}

TEST_F(Perspective, AReleasedObjectStopsTicking)
{
    Create();
    Instance_Movie* movie = Layered(3);
    SetGlobal("movie", movie);
    ASSERT_TRUE(lua.DoString(std::string("mp:SetMovie(movie) mp = nil collectgarbage()")));
    movie->SetScale(2.0f, 2.0f);
    Tick(100);
    EXPECT_EQ(movie->GetScaleX(), 2.0f) << "nothing is left to move it";
}

// ---- Book scaler.

class Book : public Perspective
{
protected:
    Instance_Image* Image()
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(root, L"", L"page", true, Instance_Image::StaticClass(), &made);
        auto* image = RObjectCast<Instance_Image>(made);
        if (image)
        {
            const float whole[4] = {0.0f, 0.0f, 1.0f, 1.0f};
            std::copy(std::begin(whole), std::end(whole), image->uvRect);
        }
        return image;
    }
};

TEST_F(Book, TheRightColumnFollowsTheHorizontalScale)
{
    Instance_Image* image = Image();
    ASSERT_NE(image, nullptr);
    SetGlobal("page", image);
    ASSERT_TRUE(lua.DoString(std::string("SetBookScaler(page)")));
    Distortion_Mesh* mesh = image->GetDistortionMesh();
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetColumns(), 2u);
    ASSERT_EQ(mesh->GetRows(), 2u);
    ASSERT_NE(mesh->GetHandler(), nullptr);

    std::vector<Distortion_Mesh::Vertex> rest;
    for (uint32_t r = 0; r < 2; ++r)
        for (uint32_t c = 0; c < 2; ++c)
            rest.push_back(mesh->GetVertex(r, c));
    mesh->UpdateHandler();
    for (uint32_t r = 0; r < 2; ++r)
        for (uint32_t c = 0; c < 2; ++c)
        {
            const Distortion_Mesh::Vertex& v = mesh->GetVertex(r, c);
            const Distortion_Mesh::Vertex& was = rest[r * 2 + c];
            EXPECT_EQ(v.x, was.x);
            EXPECT_EQ(v.y, was.y);
            EXPECT_EQ(v.u, was.u) << "a scale of 1 leaves the mesh as it was";
            EXPECT_EQ(v.v, was.v);
        }

    image->SetScaleX(0.5f);
    mesh->UpdateHandler();
    for (uint32_t r = 0; r < 2; ++r)
    {
        EXPECT_FLOAT_EQ(mesh->GetVertex(r, 1).u, 0.5f) << r;
        EXPECT_FLOAT_EQ(mesh->GetVertex(r, 1).v, float(r)) << r;
        EXPECT_EQ(mesh->GetVertex(r, 0).u, 0.0f) << "the left column stays";
        EXPECT_EQ(mesh->GetVertex(r, 1).x, rest[r * 2 + 1].x) << "positions stay";
    }
}

TEST_F(Book, SetBookScalerWantsALiveImage)
{
    Instance_Movie* movie = Movie(root, L"notimage");
    SetGlobal("movie", movie);
    const char* calls[] = {"SetBookScaler()", "SetBookScaler(5)", "SetBookScaler({})", "SetBookScaler(movie)"};
    for (const char* call : calls)
    {
        EXPECT_TRUE(lua.DoString(std::string(call))) << call;
    }
    Instance_Image* image = Image();
    SetGlobal("page", image);
    root->RemoveChild(L"page");
    root->DeletePending();
    EXPECT_TRUE(lua.DoString(std::string("SetBookScaler(page)"))) << "a stale image is refused";
}

} // namespace
