// Widgets made from the definition files of tests/data/scene/widgets (widgets.xml with its classes
// and sounds in widgets_meta.xml) and driven only through the user interface's input entries, as
// the window delivers them: pointer moves, presses and releases, key presses and typed characters. Frames step as the engine's tick steps them: the root
// movie (which delivers the load notifications), then the screen manager. Text children measure
// 10 pixels a character ('W' and 'w' measure `MeasuredText::wide`).
#pragma once

#include "engine/core/text/TextConversion.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/widgets/TextField.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "tests/scene/widgets/WidgetFixture.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

namespace WidgetTest
{

class MeasuredText : public Instance_Text
{
    TARN_RCLASS(MeasuredText)
public:
    MeasuredSize MeasureText(const std::wstring& part) override
    {
        MeasuredSize size;
        for (wchar_t c : part)
            size.width += (c == L'W' || c == L'w') ? wide : 10;
        size.height = 12;
        return size;
    }
    static inline int32_t wide = 20;
};

inline std::string ReadTestFile(const std::string& name)
{
    std::ifstream file(std::string(PELLWOOD_TEST_DATA "/scene/widgets/") + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class InputFixture : public WidgetFixture
{
protected:
    static constexpr uint32_t KeyEscape = 27;
    static constexpr uint32_t KeyEnter = 13;

    void SetUp() override
    {
        WidgetFixture::SetUp();
        textClass = std::make_unique<DefinitionTest::ScopedClassName>("TextureText", MeasuredText::StaticClass());
        ASSERT_TRUE(DefinitionTest::LoadFile(*ui->GetDefinitionMap(), ReadTestFile("widgets.xml")));
        std::unique_ptr<XmlNode> meta = DefinitionTest::Parse(ReadTestFile("widgets_meta.xml"));
        ASSERT_NE(meta, nullptr);
        LoadDefinitionsXml(*meta, *ui->GetDefinitionMap());
        // note(text) writes into the table that Calls() reads; soundsSoFar() tells a script which
        // sounds have played up to then.
        ASSERT_TRUE(Run("calls = {} function note(text) calls[#calls + 1] = text end"));
        recordedSounds = sounds.get();
        lua_register(lua.GetState(), "soundsSoFar", &soundsSoFar);
        Frames(1); // "_dialogs" hears its load
    }

    void TearDown() override
    {
        recordedSounds = nullptr;
        WidgetFixture::TearDown();
        textClass.reset();
    }

    Instance_Movie* Dialogs() { return RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance()); }

    // A widget made from its definition under the parent, placed, and loaded by one frame.
    template <class T = Instance_Movie>
    T* Create(Instance_Movie* parent, const std::wstring& definition, const std::wstring& name, float px = 0,
              float py = 0)
    {
        auto* made = RObjectCast<T>(Instance_Movie::CreateChild(parent, definition, name, nullptr).GetInstance());
        EXPECT_NE(made, nullptr) << "from " << std::string(definition.begin(), definition.end());
        if (made)
            made->SetPosition(px, py);
        Frames(1);
        return made;
    }

    // A descendant by its dotted path.
    template <class T = Instance_Movie> T* Find(Instance_Movie* movie, const std::wstring& path)
    {
        return RObjectCast<T>(movie->FindChildByPath(path).GetInstance());
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            root->Update(1.0f / 60.0f);
            screens->Update();
        }
    }

    void MoveTo(int x, int y) { ui->OnMouseMove(x, y); }
    void Press(int button = 0) { ui->OnMouseDown(button, 0, 0); }
    void Release(int button = 0) { ui->OnMouseUp(button, 0, 0); }
    void Click(int x, int y)
    {
        MoveTo(x, y);
        Press();
        Release();
    }
    void Key(uint32_t key)
    {
        ui->OnKeyDown(key);
        ui->OnKeyUp(key);
    }
    // Types UTF-8 text as a window delivers it: per character its key press (for the keys of
    // letters, digits and space), the character message, then the release.
    void Type(const std::string& utf8)
    {
        for (wchar_t c : Utf8ToWString(utf8))
        {
            const uint32_t key = c < 128 && (std::isalnum(int(c)) || c == L' ') ? uint32_t(std::toupper(int(c))) : 0;
            if (key)
                ui->OnKeyDown(key);
            ui->OnChar(uint32_t(c));
            if (key)
                ui->OnKeyUp(key);
        }
    }

    // The script's table of noted calls, joined by "; ".
    std::string Calls()
    {
        EXPECT_TRUE(Run("got = table.concat(calls, '; ') calls = {}"));
        return Global("got");
    }

    Platform::ScriptedWindowSystem windows;
    std::unique_ptr<DefinitionTest::ScopedClassName> textClass;

private:
    static int soundsSoFar(lua_State* state)
    {
        std::string names;
        if (recordedSounds)
            for (const std::wstring& sound : recordedSounds->played)
                names += (names.empty() ? "" : ",") + std::string(sound.begin(), sound.end());
        lua_pushlstring(state, names.data(), names.size());
        return 1;
    }
    static inline SceneTest::RecordingSoundManager* recordedSounds = nullptr;
};

} // namespace WidgetTest
