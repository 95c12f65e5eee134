// Shared set-up of the hidden-object board tests: the engine services a board needs (script
// manager, user interface 1024 x 768, a time manager on a fake counter, the keyed string table,
// the file system over tests/data/game/hiddenobject), the fixture's definitions (board.xml with
// board_meta.xml, pictures with real alpha loaded by the engine's texture loaders into memory
// textures), its level script (level.lua) and board services that record what the board asks of
// the game. Input goes through the user interface's entries, as the window delivers it.
#pragma once

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/textures/ITextureLoader.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/hiddenobject/BoardServices.h"
#include "game/hiddenobject/HiddenObjectRegistrations.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/PuzzleItem.h"
#include "platform/system/Clock.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace BoardTest
{

using namespace TarnEngine;

// What the board asked of the game: the busy cursor, the cursor shown, sounds with their pan, and
// the profile it reads its settings from.
class RecordingServices final : public BoardServices
{
public:
    float GetBusyCountdown() override { return busy; }
    void StartBusyCursor(float seconds) override
    {
        busy = seconds;
        cursor = CF_FREEZE;
        ++busyStarts;
    }
    void SetCursorIdx(int32_t index) override
    {
        if (!(busy > 0.0f))
            cursor = index;
    }
    void PlaySound(const std::wstring& name, float pan) override { sounds.emplace_back(name, pan); }
    const XmlNode* GetCurrentProfile() override { return profile.get(); }

    float busy = 0.0f;
    int32_t cursor = CF_DEFAULT;
    int busyStarts = 0;
    std::vector<std::pair<std::wstring, float>> sounds;
    std::unique_ptr<XmlNode> profile;
};

// A texture in memory, sized and filled by a texture loader.
class PictureTexture final : public IResourceTexture
{
public:
    explicit PictureTexture(const std::wstring& name) : IResourceTexture(name) {}
    bool Load() override { return true; }
    bool Allocate(ImageSize size) override
    {
        width = size.width;
        height = size.height;
        texels.assign(size_t(width) * height, 0u);
        return true;
    }
    void Bind(uint32_t, bool) override {}
    bool Lock(void** bits, int32_t* pitch, bool) override
    {
        *bits = texels.data();
        *pitch = int32_t(width * 4);
        return true;
    }
    void Unlock() override {}
    void GetTextureSize(uint32_t* w, uint32_t* h) override
    {
        *w = width;
        *h = height;
    }
    void GetImageSize(uint32_t* w, uint32_t* h) override
    {
        *w = width;
        *h = height;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return width * height * 4; }

    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> texels;
};

inline std::string ReadFixtureFile(const std::string& name)
{
    std::ifstream file(std::string(PELLWOOD_TEST_DATA "/game/hiddenobject/") + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class BoardFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterHiddenObjectBoardClasses();
        ASSERT_TRUE(files.AddSource(std::make_unique<FSLooseFiles>(
            FromOsPath(PELLWOOD_TEST_DATA "/game/hiddenobject/"), L"fixture")));
        ASSERT_TRUE(lua.Init());
        ui = std::make_unique<UserInterface>(nullptr, nullptr);
        ASSERT_TRUE(ui->Init());
        ui->screenWidth = 1024;
        ui->screenHeight = 768;
        root = ui->GetRoot();
        time = std::make_unique<TimeManager>(counter);
        for (uint32_t clock : {0u, 1u})
            time->GetClock(clock).deltaSeconds = 1.0f / 60.0f;
        previousServices = BoardServices::Install(&services);
        strings = std::make_unique<StringTable>(StringTable::Keyed);
        ASSERT_TRUE(strings->LoadTranslator(L"en"));

        DefinitionMap& map = *ui->GetDefinitionMap();
        XmlNode* definitions = documents.Load(L"board.xml", false);
        XmlNode* meta = documents.Load(L"board_meta.xml", false);
        ASSERT_NE(definitions, nullptr);
        ASSERT_NE(meta, nullptr);
        uint32_t added = 0, appended = 0;
        ASSERT_TRUE(LoadDefinitionFile(*definitions, map, added, appended));
        LoadDefinitionsXml(*meta, map);
        for (const auto& [name, list] : map.GetDefinitions())
            for (const auto& definition : list)
                if (auto* image = dynamic_cast<Definition_Image*>(definition.get()))
                    ASSERT_TRUE(LoadPicture(*image))
                        << "picture of " << std::string(name.begin(), name.end());
        ASSERT_TRUE(lua.DoString(ReadFixtureFile("level.lua")));
    }

    void TearDown() override
    {
        ui.reset();
        BoardServices::Install(previousServices);
        strings.reset();
        time.reset();
    }

    // The definition's picture file read by the engine's loader into a memory texture.
    static bool LoadPicture(Definition_Image& image)
    {
        std::unique_ptr<ITextureLoader> loader = CreateTextureLoader(image.source, false);
        ImageSize size;
        if (!loader || !loader->ReadHeader(&size))
            return false;
        RefPtr<IResourceTexture> texture(new PictureTexture(image.source));
        if (!texture->Allocate(size) || !loader->Load(texture.Get()))
            return false;
        image.texture = texture;
        return true;
    }

    // The fixture's board under the root, its level installed, loaded by one frame.
    ISpyBoard* MakeBoard()
    {
        auto* made = RObjectCast<ISpyBoard>(
            Instance_Movie::CreateChild(root, L"level_board", L"level_board", nullptr).GetInstance());
        EXPECT_NE(made, nullptr);
        if (!made)
            return nullptr;
        SetGlobal("board", made);
        EXPECT_TRUE(Run("InstallLevel(board)"));
        Frames(1);
        return made;
    }

    template <class T = Instance_Movie> T* Child(Instance_Movie* movie, const std::wstring& path)
    {
        return RObjectCast<T>(movie->FindChildByPath(path).GetInstance());
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            root->Update(1.0f / 60.0f);
    }
    // The engine's clock moves on by that much; its once-a-frame millisecond count follows.
    void Advance(uint32_t milliseconds)
    {
        counter.AdvanceMilliseconds(milliseconds);
        time->UpdateRealClock();
    }

    void MoveTo(int x, int y) { ui->OnMouseMove(x, y); }
    void Press(int button = 0) { ui->OnMouseDown(button, 0, 0); }
    void Release(int button = 0) { ui->OnMouseUp(button, 0, 0); }
    void Click(int x, int y, int button = 0)
    {
        MoveTo(x, y);
        Press(button);
        Release(button);
    }

    bool Run(const std::string& code) { return lua.DoString(std::wstring(code.begin(), code.end())); }

    // The script's value as tostring gives it.
    std::string Global(const char* expression)
    {
        EXPECT_TRUE(Run(std::string("got = tostring(") + expression + ")"));
        lua_State* state = lua.GetState();
        lua_getglobal(state, "got");
        std::string text = lua_tostring(state, -1) ? lua_tostring(state, -1) : "";
        lua_pop(state, 1);
        return text;
    }

    void SetGlobal(const char* name, Instance_Base* instance)
    {
        lua_State* state = lua.GetState();
        if (!instance->HasTable())
            instance->CreateLuaTable();
        instance->PushTable();
        lua_setglobal(state, name);
    }

    // The calls the scripts noted since the last read, joined by "; ".
    std::string Calls()
    {
        EXPECT_TRUE(Run("got = table.concat(calls, '; ') calls = {}"));
        return Global("got");
    }

    Platform::FakeCounter counter{1000000, 1000000000};
    FileSystem files;
    XmlDocumentCache documents;
    LuaMgr lua;
    std::unique_ptr<UserInterface> ui;
    Instance_Movie* root = nullptr;
    std::unique_ptr<TimeManager> time;
    std::unique_ptr<StringTable> strings;
    RecordingServices services;
    BoardServices* previousServices = nullptr;
};

} // namespace BoardTest
