// Instances made from definitions: the class a movie is made as, what the definition writes into
// it, timeline children of library and text entries with their nuggets in order, and images with
// and without atlas information. Image and text classes are reached by their registry names; the
// stand-ins of DefinitionTestSupport.h take those names while a test needs them.
#include "tests/scene/definitions/DefinitionTestSupport.h"

#include "engine/scene/definitions/nuggets/RMaterialNugget.h"
#include "tests/scene/display/DisplayFixture.h"

namespace DefinitionTest
{

// A game-side movie class, attached to definitions by name.
class DefTestScreen : public Instance_Movie
{
    TARN_RCLASS(DefTestScreen)
};
TARN_IMPLEMENT_RINSTANCECLASS(DefTestScreen, Instance_Movie, RObjectFactory<DefTestScreen>, L"DefTestScreen", nullptr)

namespace
{

using SceneTest::DisplayFixture;

uint32_t hookValue()
{
    return 0xC0FFEE;
}

struct InstanceDeleter
{
    void operator()(Instance_Base* instance) const { RObject::DeleteSelf(instance); }
};
using Made = std::unique_ptr<Instance_Base, InstanceDeleter>;

class DefinitionInstances : public DisplayFixture
{
protected:
    void SetUp() override
    {
        DisplayFixture::SetUp();
        DefTestScreen::StaticClass();
        ASSERT_TRUE(LoadFile(
            *ui->GetDefinitionMap(),
            "<D>"
            "<Definition type=\"image\" name=\"pic\" src=\"pic.png\"/>"
            "<Definition type=\"image\" name=\"atlas\" src=\"sheet.png\" bi=\"100 80 50 40 10 20 30 35\"/>"
            "<Definition type=\"movie\" name=\"child\" length=\"0\" fps=\"30\"/>"
            "<Definition type=\"movie\" name=\"menu\" length=\"2\" fps=\"30\">"
            "<Instance type=\"library\" instancename=\"kid\" definition=\"child\" depth=\"1\" create=\"0\" "
            "death=\"2\" regx=\"4\" regy=\"5\" userdata=\"hello\"><Frame/></Instance>"
            "<Instance type=\"library\" instancename=\"picture\" definition=\"pic\" depth=\"2\" create=\"0\" "
            "death=\"2\" regx=\"1\" regy=\"1\" userdata=\"unused\"><Frame/></Instance>"
            "<Instance type=\"library\" instancename=\"lost\" definition=\"missing\" depth=\"3\" create=\"0\" "
            "death=\"2\" regx=\"0\" regy=\"0\"><Frame/></Instance>"
            "<Instance type=\"text\" instancename=\"caption\" text=\"Hi.  There\" face=\"Serif\" size=\"14\" "
            "color=\"0xFF102030\" bold=\"1\" align=\"right\" valign=\"center\" width=\"99\" height=\"19\" "
            "interlinespace=\"0.5\" gamma=\"1.5\" depth=\"4\" create=\"0\" death=\"2\" regx=\"9\" regy=\"9\">"
            "<Frame/></Instance>"
            "<Instance type=\"text\" instancename=\"score\" text=\"0\" face=\"digits.fnt\" size=\"8\" color=\"0\" "
            "align=\"left\" width=\"0\" height=\"0\" depth=\"5\" create=\"0\" death=\"2\" regx=\"0\" regy=\"0\">"
            "<Frame/></Instance>"
            "</Definition>"
            "</D>"));
        menu = dynamic_cast<Definition_Movie*>(ui->GetDefinitionMap()->FindDefinition(L"menu"));
        ASSERT_NE(menu, nullptr);
    }

    void Meta(const std::string& text)
    {
        std::unique_ptr<XmlNode> meta = Parse(text);
        LoadDefinitionsXml(*meta, *ui->GetDefinitionMap());
    }

    Definition_Base* Find(const wchar_t* name) { return ui->GetDefinitionMap()->FindDefinition(name); }

    Definition_Movie* menu = nullptr;
};

TEST_F(DefinitionInstances, AMovieIsMadeOfTheDefaultClassAndKnowsItsDefinition)
{
    ASSERT_TRUE(LoadFile(*ui->GetDefinitionMap(),
                         "<D><Definition type=\"movie\" name=\"menu\" length=\"0\" fps=\"30\"/></D>"));
    Definition_Base* second = Find(L"menu");
    Made made(second->CreateInstance(L"main", nullptr));
    auto* movie = RObjectCast<Instance_Movie>(made.get());
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->GetClass(), Instance_Movie::StaticClass());
    EXPECT_EQ(movie->name, L"main");
    EXPECT_EQ(movie->type, uint32_t(INSTANCE_MOVIE));
    EXPECT_EQ(movie->definitionName, L"menu");
    EXPECT_EQ(movie->definitionIndex, 1u);
    EXPECT_EQ(movie->creationValue, 0u);
    EXPECT_FALSE(movie->handle.IsValid()) << "the caller registers it";
}

TEST_F(DefinitionInstances, TheClassIsTheArgumentThenTheOverrideThenTheDefault)
{
    Meta("<M><Definition name=\"child\"><Nuggets><MovieClassNugget><MovieClassName>DefTestScreen"
         "</MovieClassName></MovieClassNugget></Nuggets></Definition></M>");
    Definition_Base* child = Find(L"child");
    Made overridden(child->CreateInstance(L"a", nullptr));
    ASSERT_NE(overridden, nullptr);
    EXPECT_EQ(overridden->GetClass(), DefTestScreen::StaticClass());
    Made argument(child->CreateInstance(L"b", Instance_Movie::StaticClass()));
    ASSERT_NE(argument, nullptr);
    EXPECT_EQ(argument->GetClass(), Instance_Movie::StaticClass());

    menu->creationHook = &hookValue;
    Made hooked(menu->CreateInstance(L"c", nullptr));
    ASSERT_NE(RObjectCast<Instance_Movie>(hooked.get()), nullptr);
    EXPECT_EQ(RObjectCast<Instance_Movie>(hooked.get())->creationValue, 0xC0FFEEu);
}

TEST_F(DefinitionInstances, AClassThatMakesNoMovieMakesNothing)
{
    // Instance_Base makes a bare node; the user interface's class has no factory.
    for (RClass* wrong : {Instance_Base::StaticClass(), UserInterface::StaticClass(), RObject::StaticClass()})
    {
        EXPECT_EQ(menu->CreateInstance(L"x", wrong), nullptr) << wrong->GetName();
    }
    Meta("<M><Definition name=\"child\"><Nuggets><MovieClassNugget><MovieClassName>Instance_Base"
         "</MovieClassName></MovieClassNugget></Nuggets></Definition></M>");
    EXPECT_EQ(Find(L"child")->CreateInstance(L"x", nullptr), nullptr);
}

TEST_F(DefinitionInstances, ALibraryChildGetsItsEntryAndBothNuggetLists)
{
    Meta("<M>"
         "<Definition name=\"child\"><Nuggets><MaterialNugget><Material>Additive</Material></MaterialNugget>"
         "</Nuggets></Definition>"
         "<Definition name=\"menu\"><Instance name=\"kid\"><Nuggets>"
         "<MaterialNugget><Material>Debug</Material></MaterialNugget>"
         "<MovieClassNugget><MovieClassName>DefTestScreen</MovieClassName></MovieClassNugget>"
         "</Nuggets></Instance></Definition>"
         "</M>");
    Made made(menu->CreateInstanceFromEntry(0));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetClass(), DefTestScreen::StaticClass()) << "the entry's class";
    EXPECT_EQ(made->name, L"kid");
    EXPECT_EQ(made->definitionName, L"child");
    EXPECT_EQ(made->timelineIndex, 0);
    EXPECT_FLOAT_EQ(made->regX, 4.0f);
    EXPECT_FLOAT_EQ(made->regY, 5.0f);
    EXPECT_EQ(RObjectCast<Instance_Movie>(made.get())->userData, L"hello");
    EXPECT_EQ(made->material, 0x80005u) << "the entry's nuggets come after the definition's";

    EXPECT_EQ(menu->CreateInstanceFromEntry(2), nullptr) << "a definition the map does not hold";
    EXPECT_EQ(menu->CreateInstanceFromEntry(99), nullptr);
}

TEST_F(DefinitionInstances, ATextChildIsSetUpInOrder)
{
    ScopedClassName textureText("TextureText", SetupText::StaticClass());
    ScopedClassName bitmapText("BitmapText", SetupBitmapText::StaticClass());
    Meta("<M><Definition name=\"menu\"><Instance name=\"caption\"><Nuggets>"
         "<MaterialNugget><Material>Additive</Material></MaterialNugget></Nuggets></Instance></Definition></M>");
    Made made(menu->CreateInstanceFromEntry(3));
    auto* text = dynamic_cast<SetupText*>(made.get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetClass(), SetupText::StaticClass());
    EXPECT_EQ(text->timelineIndex, 3);
    EXPECT_FLOAT_EQ(text->regX, 0.0f) << "texts get no registration point";
    EXPECT_EQ(text->calls, (std::vector<std::wstring>{
                               L"Initialize caption", L"SetHeight 20", L"SetWidth 100", L"SetFont Serif 14 1 0",
                               L"SetTextFormat " + std::to_wstring(0x10 | 0x2 | 0x4), L"SetText Hi. There",
                               L"SetColor " + std::to_wstring(0xFF102030u), L"SetLineSpacing 1.500000",
                               L"SetGamma 1.500000", L"SetMaterial " + std::to_wstring(0x80002)}));

    Made bitmap(menu->CreateInstanceFromEntry(4));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetClass(), SetupBitmapText::StaticClass()) << "a face of a bitmap font";
}

TEST_F(DefinitionInstances, WithoutItsClassATextOrImageIsNotMade)
{
    ScopedClassName noTexture("TextureText", nullptr);
    ScopedClassName noImage("Instance_Image", nullptr);
    EXPECT_EQ(menu->CreateInstanceFromEntry(3), nullptr);
    EXPECT_EQ(menu->CreateInstanceFromEntry(1), nullptr);
    EXPECT_EQ(Find(L"pic")->CreateInstance(L"p", nullptr), nullptr);
    // A class of that name that cannot take a picture is not used either.
    ScopedClassName wrongImage("Instance_Image", Instance_Movie::StaticClass());
    EXPECT_EQ(Find(L"pic")->CreateInstance(L"p", nullptr), nullptr);
}

TEST_F(DefinitionInstances, AnImageCoversItsWholeTexture)
{
    ScopedClassName image("Instance_Image", SetupImage::StaticClass());
    auto* picture = dynamic_cast<Definition_Image*>(Find(L"pic"));
    picture->texture = new SizedTexture(100, 60, 128, 64);
    Made made(menu->CreateInstanceFromEntry(1));
    auto* instance = dynamic_cast<SetupImage*>(made.get());
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->definitionName, L"pic");
    EXPECT_EQ(instance->timelineIndex, 1);
    EXPECT_FLOAT_EQ(instance->regX, 1.0f);
    EXPECT_EQ(instance->texture.Get(), picture->texture.Get());
    EXPECT_EQ(instance->width, 100u);
    EXPECT_EQ(instance->height, 60u);
    EXPECT_EQ(instance->imageMatrix.m[0][0], 100.0f);
    EXPECT_EQ(instance->imageMatrix.m[1][1], 60.0f);
    EXPECT_EQ(instance->imageMatrix.m[2][0], 50.0f);
    EXPECT_EQ(instance->imageMatrix.m[2][1], 30.0f);
    EXPECT_FLOAT_EQ(instance->uvRect[0], 0.0f);
    EXPECT_FLOAT_EQ(instance->uvRect[1], 0.0f);
    EXPECT_FLOAT_EQ(instance->uvRect[2], 100.0f / 128.0f);
    EXPECT_FLOAT_EQ(instance->uvRect[3], 60.0f / 64.0f);
}

TEST_F(DefinitionInstances, AnAtlasImageIsItsRectangleInsideItsLogicalImage)
{
    ScopedClassName image("Instance_Image", SetupImage::StaticClass());
    auto* atlas = dynamic_cast<Definition_Image*>(Find(L"atlas"));
    atlas->texture = new SizedTexture(256, 256, 256, 256);
    Made made(atlas->CreateInstance(L"a", Instance_Movie::StaticClass()));
    auto* instance = dynamic_cast<SetupImage*>(made.get());
    ASSERT_NE(instance, nullptr) << "the class argument is not used";
    EXPECT_EQ(instance->width, 100u);
    EXPECT_EQ(instance->height, 80u);
    // The 50 x 40 rectangle at (30, 35) of the logical image.
    EXPECT_EQ(instance->imageMatrix.m[0][0], 50.0f);
    EXPECT_EQ(instance->imageMatrix.m[1][1], 40.0f);
    EXPECT_EQ(instance->imageMatrix.m[2][0], 55.0f);
    EXPECT_EQ(instance->imageMatrix.m[2][1], 55.0f);
    EXPECT_FLOAT_EQ(instance->uvRect[0], 10.0f / 256);
    EXPECT_FLOAT_EQ(instance->uvRect[1], 20.0f / 256);
    EXPECT_FLOAT_EQ(instance->uvRect[2], 60.0f / 256);
    EXPECT_FLOAT_EQ(instance->uvRect[3], 60.0f / 256);
}

TEST_F(DefinitionInstances, AnAtlasRectangleIsCutToItsPicture)
{
    ScopedClassName image("Instance_Image", SetupImage::StaticClass());
    // The picture in the texture is 32 x 32: of the stored 50 x 40 at (10, 20), 22 x 12 lie in it.
    auto* atlas = dynamic_cast<Definition_Image*>(Find(L"atlas"));
    atlas->texture = new SizedTexture(32, 32, 64, 64);
    Made made(atlas->CreateInstance(L"a", nullptr));
    auto* instance = dynamic_cast<SetupImage*>(made.get());
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(atlas->storedWidth, 22u);
    EXPECT_EQ(atlas->storedHeight, 12u);
    EXPECT_EQ(instance->width, 100u) << "the logical image stays";
    EXPECT_EQ(instance->imageMatrix.m[0][0], 22.0f);
    EXPECT_FLOAT_EQ(instance->uvRect[2], 32.0f / 64);
    EXPECT_FLOAT_EQ(instance->uvRect[3], 32.0f / 64);

    atlas->atlasX = 40;
    Made outside(atlas->CreateInstance(L"b", nullptr));
    EXPECT_EQ(atlas->storedWidth, 0u) << "a rectangle wholly outside keeps nothing";
}

TEST_F(DefinitionInstances, AnImageWithoutTextureIsEmpty)
{
    ScopedClassName image("Instance_Image", SetupImage::StaticClass());
    Made made(Find(L"pic")->CreateInstance(L"p", nullptr));
    auto* instance = dynamic_cast<SetupImage*>(made.get());
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->texture.Get(), nullptr) << "the recording device makes no textures";
    EXPECT_EQ(instance->width, 0u);
    EXPECT_FLOAT_EQ(instance->uvRect[2], 0.0f);
    Made atlas(Find(L"atlas")->CreateInstance(L"a", nullptr));
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(dynamic_cast<SetupImage*>(atlas.get())->width, 100u);
}

} // namespace
} // namespace DefinitionTest
