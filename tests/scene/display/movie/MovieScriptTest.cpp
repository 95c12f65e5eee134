// The movie's script methods and console commands: creation and lookups as tables, playback and
// labels, what a dead table or a short argument list does, the lines of "list" and of inspection.
#include "tests/scene/display/MovieFixture.h"

namespace SceneTest
{

// A movie class that keeps its own frames, as the widgets do: the recursion stops at it.
class OwnFramesMovie : public Instance_Movie
{
    TARN_RCLASS(OwnFramesMovie)
public:
    void SetPlayingRecursive(bool) override {}
};
TARN_IMPLEMENT_RINSTANCECLASS(OwnFramesMovie, Instance_Movie, RObjectFactory<OwnFramesMovie>, L"OwnFrames", nullptr)

namespace
{

using Strings = std::vector<std::string>;
using Lines = std::vector<std::wstring>;

class MovieScript : public MovieFixture
{
protected:
    void SetUp() override
    {
        MovieFixture::SetUp();
        OwnFramesMovie::StaticClass();
        Define(MovieDef("kid", 1, 30, "") +
               MovieDef("clip", 8, 30,
                        "<Label name=\"intro\" frame=\"1\"/><Label name=\"outro\" frame=\"6\"/>" +
                            Entry("inner", "kid", 0, 8, 1, Frames(8))));
        clip = Make(root, L"clip", L"clip");
        ASSERT_NE(clip, nullptr);
        SetGlobal("clip", clip);
    }

    Lines Command(Instance_Base* instance, std::vector<std::wstring> words)
    {
        const size_t before = ConsoleLines().size();
        instance->ExecuteCommand(words);
        return {ConsoleLines().begin() + std::ptrdiff_t(before), ConsoleLines().end()};
    }

    Instance_Movie* clip = nullptr;
};

TEST_F(MovieScript, CreationMethodsGiveTablesOrNothing)
{
    ASSERT_TRUE(Run(R"(
        local empty = clip:CreateInstance(nil, 'empty')
        note(empty:GetName() .. ' ' .. empty:GetType() .. ' ' .. empty:GetNumChildren())
        local made = clip:CreateInstance('kid', 'made')
        note(made:GetInstanceInfo().s_definition)
        note(tostring((clip:CreateInstance('missing', 'x'))))
        note(tostring((clip:CreateInstance('kid', 'made'))))
        local custom = clip:CreateInstanceCustom('kid', 'custom', 'OwnFramesMovie')
        note(tostring(custom.SetFrame ~= nil))
        local unknown = clip:CreateInstanceCustom('kid', 'unknown', 'NoSuchClass')
        note(unknown:GetName())
        local plain = clip:CreateInstanceCustomEx('kid', 'plain', '', 'Instance_Base')
        note(tostring(plain.SetFrame) .. ' ' .. tostring(plain.GetName ~= nil))
        local own = clip:CreateInstanceCustomEx('', 'own', 'Instance_Movie', nil)
        note(tostring(own.SetFrame ~= nil))
        local copy = clip:CreateCloneInstance(made, 'copy')
        note(copy:GetInstanceInfo().s_definition)
        note(tostring((clip:CreateCloneInstance({}, 'nothing'))))
        note(tostring((clip:CreateInstance('kid', 5))))
    )"));
    EXPECT_EQ(Seen(), (Strings{"empty 0 0", "kid", "nil", "nil", "true", "unknown", "nil true", "true", "kid", "nil", "nil"}));
    EXPECT_NE(RObjectCast<OwnFramesMovie>(Child(clip, L"custom")), nullptr);
    EXPECT_EQ(Child(clip, L"unknown")->GetClass(), Instance_Movie::StaticClass()) << "an unknown class is no class";
}

TEST_F(MovieScript, PlaybackAndLabels)
{
    ASSERT_TRUE(Run(R"(
        note(clip:GetNumFrames() .. ' ' .. clip:GetFrame())
        clip:SetFrame(7) note(clip:GetFrame())
        clip:SetFrame(70) note(clip:GetFrame())
        note(tostring(clip:SetFrameFromLabel('outro')) .. ' ' .. clip:GetFrame())
        note(tostring(clip:SetFrameFromLabel('nowhere')) .. ' ' .. clip:GetFrame())
        note(clip:FindFrameFromLabel('intro') .. ' ' .. clip:FindFrameFromLabel('in'))
        note(clip:FindFrameFromPartialLabel('out') .. ' ' .. clip:FindFrameFromPartialLabel('x'))
        note(clip:GetFrameInfo(1).s_label .. '|' .. clip:GetFrameInfo(2).s_label)
        clip:SetPlaying(true) note(tostring(clip:GetPlaying()))
        clip:SetPlaying(1) note(tostring(clip:GetPlaying()))
        clip:SetOnUpdateEnabled(true) note(tostring(clip:GetOnUpdateEnabled()))
        clip:SetFrameMultiplier(0.5) clip:SetReverse(true) clip:SetFrozen(true) clip:SetEatingMouse(true)
        clip:SetPaused(true) clip:SetTimeChannel(1)
    )"));
    EXPECT_EQ(Seen(), (Strings{"8 0", "7", "70", "true 6", "false 6", "1 -1", "6 -1", "intro|", "true", "true", "true"}));
    EXPECT_EQ(clip->frameMultiplier, 0.5f);
    EXPECT_TRUE(clip->reverse && clip->frozen && clip->eatingMouse && clip->paused);
    EXPECT_EQ(clip->timeChannel, 1);

    // The recursive setters reach the movies below, and stop at a class that keeps its own frames.
    auto* own = RObjectCast<Instance_Movie>(
        Instance_Movie::CreateInstanceByClassName(clip, L"clip", L"own", L"OwnFramesMovie").GetInstance());
    ASSERT_NE(own, nullptr);
    auto* below = RObjectCast<Instance_Movie>(Child(own, L"inner"));
    ASSERT_NE(below, nullptr);
    ASSERT_TRUE(Run("clip:SetPlayingRecursive(true) clip:SetPausedRecursive(false) clip:SetReverseRecursive(false) "
                    "clip:SetFrameFromPartialLabelRecursive('int')"));
    EXPECT_TRUE(Child(clip, L"inner") && RObjectCast<Instance_Movie>(Child(clip, L"inner"))->playing);
    EXPECT_FALSE(own->playing);
    EXPECT_FALSE(below->playing);
    EXPECT_FALSE(clip->paused || clip->reverse);
    EXPECT_EQ(clip->currentFrame, 1u);
    EXPECT_EQ(own->currentFrame, 1u);
}

TEST_F(MovieScript, ChildrenAsTables)
{
    Instance_Movie* a = Make(clip, L"kid", L"a");
    Make(a, L"kid", L"deep");
    Make(clip, L"kid", L"b")->MoveToBack();
    Instance_Base* fx = nullptr;
    Instance_Movie::CreateInstanceCore(clip, L"", L"sparks", true, Instance_Base::StaticClass(), &fx);
    fx->type = INSTANCE_EFFECT;
    ASSERT_TRUE(Run(R"(
        local names = function(list) local out = {} for i, t in ipairs(list) do out[i] = t:GetName() end return table.concat(out, ',') end
        note(names(clip:GetChildren()))
        note(names(clip:GetRenderOrder()))
        note(clip:GetChildByName('a.deep'):GetName())
        note(tostring((clip:GetChildByName('deep'))))
        note(clip:FindChildByName('deep'):GetName())
        note(clip:GetChildByPartialName('spa'):GetName())
        note(#clip:GetChildByName('a.deep'):GetChildren())
        clip:DeleteAllParticleEmitters()
        note(names(clip:GetChildren()))
        clip:GetChildByName('b'):DeleteSelf()
        note(clip:GetNumChildren())
        clip:GetChildByName('inner'):DeleteSelf()
        note(clip:GetNumChildren())
    )"));
    EXPECT_EQ(Seen(), (Strings{"inner,a,b,sparks", "b,inner,a,sparks", "deep", "nil", "deep", "sparks", "0",
                               "inner,a,b", "2", "2"}));
}

TEST_F(MovieScript, ADeadTableOrShortArgumentsDoNothing)
{
    Instance_Movie* gone = Make(root, L"kid", L"gone");
    SetGlobal("gone", gone);
    gone->Delete(false);
    root->Update(0.001f);
    ASSERT_TRUE(Run(R"(
        note(select('#', gone:GetFrame()))
        note(select('#', gone:CreateInstance('kid', 'x')))
        note(select('#', gone:GetChildren()))
        gone:SetFrame(3)
        note(select('#', clip:SetFrame()))
        note(select('#', clip:SetColorARGB(1, 2, 3)))
        note(select('#', clip:GetChild('first')))
        note(select('#', clip:SetPlaying('yes')))
        note(clip:GetFrame())
        note(tostring(clip:GetPlaying()))
    )"));
    EXPECT_EQ(Seen(), (Strings{"0", "0", "0", "0", "0", "0", "0", "0", "false"}));
}

TEST_F(MovieScript, ConsoleCommandsAndTheirLines)
{
    Make(root, L"", L"blank");
    EXPECT_EQ(Command(root, {L"list"}),
              (Lines{L"root.clip instance of clip (Movie)", L"root.blank instance of <empty> (Movie)",
                     L"Printed 2 instances"}))
        << "direct children only";

    EXPECT_TRUE(Command(clip, {L"createchild", L"kid", L"made"}).empty());
    Command(clip, {L"createchild", L"", L"container"});
    Command(clip, {L"createempty", L"void"});
    Command(clip, {L"createempty"}); // too short: refused
    EXPECT_EQ(Command(clip, {L"list"}),
              (Lines{L"clip.inner instance of kid (Movie)", L"clip.made instance of kid (Movie)",
                     L"clip.container instance of <empty> (Movie)", L"clip.void instance of <empty> (Movie)",
                     L"Printed 4 instances"}));

    Command(clip, {L"setframe", L"5"});
    EXPECT_EQ(clip->currentFrame, 5u);
    Command(clip, {L"setframebylabel", L"intro"});
    EXPECT_EQ(clip->currentFrame, 1u);
    Command(clip, {L"setframebylabel", L"missing"});
    EXPECT_EQ(clip->currentFrame, 1u);
    Command(clip, {L"start"});
    EXPECT_TRUE(clip->playing);
    Command(clip, {L"stop"});
    EXPECT_FALSE(clip->playing);
    Command(clip, {L"reverse"});
    EXPECT_TRUE(clip->reverse);
    Command(clip, {L"reverse"});
    EXPECT_FALSE(clip->reverse);
    Command(clip, {L"setp", L"3", L"4"}); // the node's commands still work
    EXPECT_EQ(clip->x, 3.0f);

    const Lines inspected = Command(clip, {L"inspect"});
    ASSERT_EQ(inspected.size(), 5u);
    EXPECT_EQ(inspected[2], L"Frame: 1 / 8, Child Count: 4, Handler: 0x00000000");
    EXPECT_EQ(inspected[3], L"{inner, made, container, void}");
    EXPECT_EQ(inspected[4], L"Labels: / intro @ 1 / outro @ 6");
}

} // namespace
} // namespace SceneTest
