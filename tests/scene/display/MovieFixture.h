// Shared set-up of the movie suites: the display fixture with small movie definitions written in
// the definition file format, an image class that records what it is given and whether it was drawn
// (standing in for the real image instances under their registry name), a notification recorder,
// and a script-side event log ("note" appends to the global list "seen").
#pragma once

#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "tests/scene/definitions/DefinitionTestSupport.h"
#include "tests/scene/display/DisplayFixture.h"

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace SceneTest
{

// An image as the timeline sees it: a leaf with an extent that records colours and draws.
class MovieTestImage : public Instance_Base, public IImageInstanceSetup
{
    TARN_RCLASS(MovieTestImage)
public:
    void Initialize(const std::wstring& instanceName) override
    {
        Instance_Base::Initialize(instanceName);
        type = INSTANCE_IMAGE;
        extentRect = {0, 0, 10, 10};
        useExtentRect = true;
    }
    void SetImage(const RefPtr<IResourceTexture>&, uint32_t, uint32_t, const Matrix3&, const float (&)[4]) override {}
    void SetHitTest(uint32_t, uint32_t) override {}
    IImageSource* AttachVideo(const std::wstring&, const std::wstring&) override { return nullptr; }
    void SetColor(uint32_t colour) override { colours.push_back(colour); }
    void Draw(const Matrix3& parentMatrix, float) override
    {
        if (!visible)
            return;
        drawn.push_back(name);
        const Matrix3 world = Matrix3::Multiply(GetLocalMatrix(), parentMatrix);
        drawnAt.push_back({world.m[2][0], world.m[2][1]});
    }

    std::vector<uint32_t> colours;
    static inline std::vector<std::wstring> drawn;
    static inline std::vector<Point> drawnAt;
};

// Every notification of a movie's handler, as a word.
class RecordingHandler : public IInstanceEventHandler
{
public:
    void OnLoad(InstanceHandle) override { seen.push_back("load"); }
    void OnLabelHit(InstanceHandle, const std::wstring& label) override
    {
        seen.push_back("label " + std::string(label.begin(), label.end()));
    }
    void OnFrameChanged(InstanceHandle) override { seen.push_back("frame"); }
    void OnUpdate(InstanceHandle) override { seen.push_back("update"); }
    void OnTimelineStop(InstanceHandle) override { seen.push_back("stop"); }
    void OnUnload(InstanceHandle) override { seen.push_back("unload"); }
    void OnCreated(InstanceHandle) override { seen.push_back("created"); }

    std::vector<std::string> seen;
};

// Key frames of an instance entry: one "Frame" element per frame, at x = first + step * i.
inline std::string Frames(uint32_t count, float first = 0, float step = 1, const std::string& extra = "")
{
    std::ostringstream out;
    for (uint32_t i = 0; i < count; ++i)
        out << "<Frame transform=\"1,0,0,1," << first + step * float(i) << ",0\" alpha=\"100\" " << extra
            << "/>";
    return out.str();
}

// A library entry of a movie definition.
inline std::string Entry(const std::string& instanceName, const std::string& definition, uint32_t create,
                         uint32_t death, uint32_t depth, const std::string& frames)
{
    std::ostringstream out;
    out << "<Instance type=\"library\" instancename=\"" << instanceName << "\" definition=\"" << definition
        << "\" depth=\"" << depth << "\" create=\"" << create << "\" death=\"" << death
        << "\" regx=\"0\" regy=\"0\">" << frames << "</Instance>";
    return out.str();
}

inline std::string MovieDef(const std::string& name, uint32_t length, uint32_t fps, const std::string& body)
{
    std::ostringstream out;
    out << "<Definition type=\"movie\" name=\"" << name << "\" length=\"" << length << "\" fps=\"" << fps
        << "\">" << body << "</Definition>";
    return out.str();
}

class MovieFixture : public DisplayFixture
{
protected:
    void SetUp() override
    {
        DisplayFixture::SetUp();
        // The real class enters its name on first use; the stand-in takes the name after that.
        Instance_Image::StaticClass();
        images.emplace("Instance_Image", MovieTestImage::StaticClass());
        MovieTestImage::drawn.clear();
        MovieTestImage::drawnAt.clear();
        ASSERT_TRUE(Run("seen = {} function note(text) seen[#seen + 1] = text end"));
    }

    // Loads a definition file made of the given definitions.
    void Define(const std::string& definitions)
    {
        ASSERT_TRUE(DefinitionTest::LoadFile(*ui->GetDefinitionMap(), "<D>" + definitions + "</D>"));
    }

    Instance_Movie* Make(Instance_Movie* parent, const std::wstring& definition, const std::wstring& name)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent, definition, name, true, nullptr, &made);
        return RObjectCast<Instance_Movie>(made);
    }

    Instance_Base* Child(Instance_Movie* movie, const std::wstring& name)
    {
        for (Instance_Base* child : movie->children)
            if (child->name == name)
                return child;
        return nullptr;
    }

    static std::vector<std::wstring> Names(const std::vector<Instance_Base*>& list)
    {
        std::vector<std::wstring> out;
        for (const Instance_Base* instance : list)
            out.push_back(instance->name);
        return out;
    }

    // The script-side log, and empties it.
    std::vector<std::string> Seen()
    {
        lua_State* state = lua.GetState();
        std::vector<std::string> out;
        lua_getglobal(state, "seen");
        for (int i = 1;; ++i)
        {
            lua_rawgeti(state, -1, i);
            if (lua_isnil(state, -1))
            {
                lua_pop(state, 1);
                break;
            }
            out.emplace_back(lua_tostring(state, -1));
            lua_pop(state, 1);
        }
        lua_pop(state, 1);
        Run("seen = {}");
        return out;
    }

    // Notes the movie's frame, label, stop and load events in the script log, tagged with its name.
    void Watch(Instance_Movie* movie, const char* global)
    {
        SetGlobal(global, movie);
        const std::string g = global;
        Run(g + ".OnFrameChanged = function(self, f) note(self:GetName() .. ' frame ' .. f) end " + g +
            ".OnLabelHit = function(self, l) note(self:GetName() .. ' label ' .. l) end " + g +
            ".OnTimelineStop = function(self) note(self:GetName() .. ' stop') end " + g +
            ".OnLoad = function(self) note(self:GetName() .. ' load') end");
    }

    std::optional<DefinitionTest::ScopedClassName> images;
};

} // namespace SceneTest
