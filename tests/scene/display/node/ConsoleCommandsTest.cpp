// The node's console commands and its inspection lines: what each command does and prints, which
// argument it reads, and short argument lists refused.
#include "tests/scene/display/DisplayFixture.h"

namespace SceneTest
{
namespace
{

class ConsoleCommands : public DisplayFixture
{
protected:
    // Runs the command and gives the lines it printed.
    std::vector<std::wstring> Command(Instance_Base* instance, std::vector<std::wstring> words)
    {
        const size_t before = ConsoleLines().size();
        instance->ExecuteCommand(words);
        return {ConsoleLines().begin() + std::ptrdiff_t(before), ConsoleLines().end()};
    }
};

using Lines = std::vector<std::wstring>;

TEST_F(ConsoleCommands, PointConversionsReadTheSecondAndThirdArguments)
{
    Instance_Movie* node = Movie(root, L"node", 100, 50);
    node->SetScale(2, 4);
    EXPECT_EQ(Command(node, {L"ltog", L"0", L"5", L"7"}), Lines{L"Global: 110.000000 78.000000"});
    EXPECT_EQ(Command(node, {L"ltog", L"999", L"5", L"7"}), Lines{L"Global: 110.000000 78.000000"});
    EXPECT_EQ(Command(node, {L"gtol", L"-", L"110", L"78"}), Lines{L"Local: 5.000000 7.000000"});
    EXPECT_EQ(Command(node, {L"ltog", L"5", L"7"}), Lines{}) << "too few arguments";
    EXPECT_EQ(Command(node, {L"gtol", L"110"}), Lines{});
    node->SetScale(0, 4);
    EXPECT_EQ(Command(node, {L"gtol", L"-", L"110", L"78"}), Lines{}) << "no inverse, nothing to report";
    EXPECT_EQ(Command(node, {L"getbounds"}), Lines{L"Bounds: 100.000000  50.000000  100.000000  50.000000"});
}

TEST_F(ConsoleCommands, SettersTakeTheirNumbersAndRefuseShortLists)
{
    Instance_Movie* node = Movie(root, L"node");
    const struct
    {
        std::vector<std::wstring> words;
        float x, y, rotation, scaleX, scaleY, regX, regY, opacity;
    } cases[] = {
        {{L"setp", L"12.5", L"-3"}, 12.5f, -3, 0, 1, 1, 0, 0, 1},
        {{L"setp", L"12.5"}, 0, 0, 0, 1, 1, 0, 0, 1},
        {{L"setr", L"1.25"}, 0, 0, 1.25f, 1, 1, 0, 0, 1},
        {{L"setr"}, 0, 0, 0, 1, 1, 0, 0, 1},
        {{L"sets", L"2", L"0.5"}, 0, 0, 0, 2, 0.5f, 0, 0, 1},
        {{L"sets", L"2"}, 0, 0, 0, 1, 1, 0, 0, 1},
        {{L"setreg", L"4", L"6"}, 0, 0, 0, 1, 1, 4, 6, 1},
        {{L"setreg", L"4"}, 0, 0, 0, 1, 1, 0, 0, 1},
        {{L"seta", L"0.25"}, 0, 0, 0, 1, 1, 0, 0, 0.25f},
        {{L"seta"}, 0, 0, 0, 1, 1, 0, 0, 1},
        {{L"seta", L"not a number"}, 0, 0, 0, 1, 1, 0, 0, 0},
        {{L"unknown", L"1", L"2"}, 0, 0, 0, 1, 1, 0, 0, 1},
        {{}, 0, 0, 0, 1, 1, 0, 0, 1},
    };
    for (const auto& c : cases)
    {
        node->Initialize(L"node");
        node->ExecuteCommand(c.words);
        const std::wstring what = c.words.empty() ? L"" : c.words[0];
        EXPECT_EQ((std::vector<float>{node->x, node->y, node->rotation, node->scaleX, node->scaleY,
                                      node->regX, node->regY, node->opacity}),
                  (std::vector<float>{c.x, c.y, c.rotation, c.scaleX, c.scaleY, c.regX, c.regY, c.opacity}))
            << std::string(what.begin(), what.end()) << " with " << c.words.size() << " words";
    }
}

TEST_F(ConsoleCommands, MaterialsColoursOrderAndDeletion)
{
    Instance_Movie* movie = Movie(root, L"movie");
    auto* image = static_cast<TestImage*>(Leaf(movie, L"image", INSTANCE_IMAGE, 0, 0, 4, 4));
    Instance_Movie* second = Movie(movie, L"second");

    Command(image, {L"setmaterial", L"maskedalpha"});
    EXPECT_EQ(image->material, 0x10001u);
    Command(image, {L"setmaterial", L"mask"});
    EXPECT_EQ(image->material, 4u);
    Command(image, {L"setmaterial", L"additive"});
    Command(image, {L"setmaterial"});
    EXPECT_EQ(image->material, 4u);

    EXPECT_EQ(Command(movie, {L"setcolor", L"0xFF0000"}), Lines{L"Only works on images."});
    EXPECT_EQ(Command(movie, {L"setcolor"}), Lines{});
    EXPECT_EQ(Command(image, {L"setcolor", L"0xFF0000"}), Lines{});
    Command(image, {L"setcolor", L"010"});
    Command(image, {L"setcolor", L"255"});
    EXPECT_EQ(image->colours, (std::vector<uint32_t>{0xFF0000, 8, 255}));

    EXPECT_EQ(movie->drawOrder, (std::vector<Instance_Base*>{image, second}));
    Command(image, {L"movetofront"});
    EXPECT_EQ(movie->drawOrder, (std::vector<Instance_Base*>{second, image}));
    Command(image, {L"movetoback"});
    EXPECT_EQ(movie->drawOrder, (std::vector<Instance_Base*>{image, second}));
    Command(second, {L"delete"});
    EXPECT_EQ(movie->children, std::vector<Instance_Base*>{image});
}

TEST_F(ConsoleCommands, InspectPrintsThePathAndTheTransform)
{
    Instance_Movie* screen = Movie(root, L"screen", 10, 20);
    Instance_Base* button = nullptr;
    Instance_Movie::CreateInstanceCore(screen, L"", L"btn", true, Instance_Base::StaticClass(), &button);
    ASSERT_NE(button, nullptr);
    button->extentRect = {0, 0, 40, 10};
    button->useExtentRect = true;
    button->SetPosition(12.5f, 7.3f);
    button->SetScale(2, 0.5f);
    button->SetRotation(0.25f);
    button->SetOpacity(0.75f);
    EXPECT_EQ(Command(button, {L"inspect"}),
              (Lines{L"-={root.screen.btn}=- (Base)",
                     L"A: 0.75 P: 12.5 7.3 S: 2.00 0.50 R: 0.250 @ 21.3,27.3 x 100.0,51.9"}));

    screen->SetPosition(1, 2);
    EXPECT_EQ(Command(screen, {L"inspect"}),
              (Lines{L"-={root.screen}=- (Movie)",
                     L"A: 1.00 P: 1.0 2.0 S: 1.00 1.00 R: 0.000 @ 12.3,9.3 x 91.0,33.9",
                     L"Frame: 0 / 0, Child Count: 1, Handler: 0x00000000", L"{btn}"}));

    // An instance of a class without a script record prints no class name; one without a parent no path.
    auto* image = static_cast<TestImage*>(Leaf(root, L"pic", INSTANCE_IMAGE, 0, 0, 4, 4));
    EXPECT_EQ(Command(image, {L"inspect"})[0], L"-={root.pic}=-");
    EXPECT_EQ(Command(root, {L"inspect"})[0], L"-={root}=- (Movie)");
}

} // namespace
} // namespace SceneTest
