// Shared set-up of the display-tree tests: the script manager, the recording renderer and canvases,
// a user interface with its root, a sound manager that records what it is asked to play, and small
// helpers that build movies and leaves with extents under a parent.
#pragma once

#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "tests/scene/RecordingRenderer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace SceneTest
{

// A leaf whose pixel test answers from a predicate and records where it was asked, and which
// records the colours it is given.
class TestImage : public Instance_Base
{
    TARN_RCLASS(TestImage)
public:
    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_IMAGE;
    }
    bool HitTestPixel(uint32_t px, uint32_t py) override
    {
        asked.push_back({float(px), float(py)});
        return px < solidWidth;
    }
    void SetColor(uint32_t colour) override { colours.push_back(colour); }

    uint32_t solidWidth = 0xFFFFFFFF; // pixels left of this are opaque
    std::vector<Point> asked;
    std::vector<uint32_t> colours;
};

class RecordingSoundManager final : public ISoundManager
{
public:
    bool Init(int32_t) override { return true; }
    bool LoadAudioXml() override { return true; }
    void SetEnabled(bool) override {}
    WeakPtr<ISound> PlaySoundWithParams(const std::wstring& soundName, bool loop, bool unique) override
    {
        played.push_back(soundName + (loop ? L" loop" : L"") + (unique ? L" unique" : L""));
        return {};
    }
    WeakPtr<ISound> PlaySound(const std::wstring&, bool) override { return {}; }
    WeakPtr<ISound> FindPlayingSound(const std::wstring&) override { return {}; }
    void GetPlayingSoundsOfClass(const std::wstring&, std::vector<WeakPtr<ISound>>&) override {}
    void PauseAll(bool) override {}
    void PauseClass(const std::wstring&, bool) override {}
    void MuteAll(bool) override {}
    void StopAll() override {}
    void StopClass(const std::wstring&) override {}
    void SetClassVolume(const std::wstring&, float) override {}
    std::wstring GetSoundClass(const std::wstring&) override { return {}; }
    float GetDefaultVolume(const std::wstring&) override { return -1; }
    int32_t GetPriority(const std::wstring&) override { return 0; }
    void Update() override {}
    void ExecuteCommand(const std::vector<std::wstring>&, const InstanceHandle&) override {}

    std::vector<std::wstring> played;
};

class DisplayFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lua.Init());
        renderer = std::make_unique<RecordingRenderer>();
        ui = std::make_unique<UserInterface>(nullptr, nullptr);
        ASSERT_TRUE(ui->Init());
        root = ui->GetRoot();
        ASSERT_NE(root, nullptr);
    }

    void TearDown() override
    {
        ui.reset();
        renderer.reset();
    }

    // An empty movie under the parent; with a size, it is hit anywhere in that rectangle.
    Instance_Movie* Movie(Instance_Movie* parent, const std::wstring& name, float x = 0, float y = 0)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent, L"", name, true, nullptr, &made);
        auto* movie = RObjectCast<Instance_Movie>(made);
        if (movie)
            movie->SetPosition(x, y);
        return movie;
    }

    // A leaf of the given kind covering the rectangle of its parent's space.
    Instance_Base* Leaf(Instance_Movie* parent, const std::wstring& name, uint32_t kind, float x, float y,
                        float width, float height)
    {
        Instance_Base* made = nullptr;
        RClass* leafClass = kind == INSTANCE_IMAGE ? TestImage::StaticClass() : Instance_Base::StaticClass();
        Instance_Movie::CreateInstanceCore(parent, L"", name, true, leafClass, &made);
        if (!made)
            return nullptr;
        made->type = kind;
        made->extentRect = {0, 0, width, height};
        made->useExtentRect = true;
        made->SetPosition(x, y);
        return made;
    }

    // Gives a movie an extent rectangle of its own.
    static void Extent(Instance_Base* instance, float width, float height)
    {
        instance->extentRect = {0, 0, width, height};
        instance->useExtentRect = true;
        Instance_Base::InvalidateMatrix(instance, false);
    }

    bool Run(const std::string& code) { return lua.DoString(std::wstring(code.begin(), code.end())); }

    // The global's value as the script's tostring gives it ("nil" when unset).
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

    void SetGlobal(const char* name, Instance_Base* instance)
    {
        lua_State* state = lua.GetState();
        if (!instance->HasTable())
            instance->CreateLuaTable();
        instance->PushTable();
        lua_setglobal(state, name);
    }

    const std::vector<std::wstring>& ConsoleLines() { return ui->GetConsole()->GetLines(); }

    LuaMgr lua;
    std::unique_ptr<RecordingRenderer> renderer;
    RecordingCanvasScope canvases;
    std::unique_ptr<UserInterface> ui;
    Instance_Movie* root = nullptr;
};

} // namespace SceneTest
