// The hidden-object scene of the screen and blur benchmarks: a renderer over a 1024 x 768 software
// device, and in one user interface both the game's hidden-object screen (HOScreen with its board
// of 40 items, item list, letter row and three recharging buttons, made by the screen manager as
// the game makes it) and the same tree made of plain movies (the anchor). Pictures are solid
// device textures of their definitions' sizes. Only one of the two trees is shown at a time.
#pragma once

#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/ScreenRegistrations.h"
#include "game/hiddenobject/ScreenServices.h"
#include "platform/raster/RasterSystem.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace HiddenObjectBench
{

using namespace TarnEngine;

constexpr int kItems = 40;

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A texture of one colour at a fixed size.
struct SolidFill : Recreater
{
    SolidFill(ImageSize size, uint32_t colour) : size(size), colour(colour) {}
    bool Recreate(IResourceTexture* texture) override
    {
        if (!texture->Allocate(size))
            return false;
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture->Lock(&bits, &pitch, false))
            return false;
        for (uint32_t y = 0; y < size.height; ++y)
            for (uint32_t x = 0; x < size.width; ++x)
                static_cast<uint32_t*>(bits)[size_t(y) * size_t(pitch / 4) + x] = colour ^ (x * 0x010203u + y * 0x030201u);
        texture->Unlock();
        return true;
    }
    ImageSize size;
    uint32_t colour;
};

class ScreenServicesForBench final : public ScreenServices
{
public:
    XmlNode* GetCurrentProfile() override { return &profile; }
    std::wstring GetCurrentLevelName() override { return L"g_level"; }
    void PlayAmbientScene(const std::wstring&) override {}
    void ReportPowerUpUsed(const std::wstring&, const std::wstring&) override {}
    XmlNode profile{L"PROFILE"};
};

inline std::string instance(const std::string& name, const std::string& definition, int depth, float x, float y,
                            int frames = 1, float sx = 1.0f, float sy = 1.0f)
{
    return "<Instance type=\"library\" instancename=\"" + name + "\" definition=\"" + definition + "\" depth=\"" +
           std::to_string(depth) + "\" create=\"0\" death=\"" + std::to_string(frames) +
           "\" regx=\"0\" regy=\"0\"><Frame transform=\"" + std::to_string(sx) + ",0,0," + std::to_string(sy) + "," +
           std::to_string(x) + "," + std::to_string(y) + "\" alpha=\"100\"/></Instance>";
}

inline std::string movie(const std::string& name, int length, const std::string& body)
{
    return "<Definition type=\"movie\" name=\"" + name + "\" length=\"" + std::to_string(length) +
           "\" fps=\"30\">" + body + "</Definition>";
}

// The movie definitions under a prefix: "" for the game's names (which the screen looks up),
// "p_" for the plain copies.
inline std::string movies(const std::string& p)
{
    std::string out;
    out += movie(p + "ho_bar", 1, instance("picture", "pic_bar", 0, 0, 0));
    out += movie(p + "ho_mask10", 10, instance("picture", "pic_white", 0, 0, 0, 10));
    out += movie(p + "ho_button", 3, instance("face", "pic_knob", 0, 0, 0, 3) + instance("disable_mask", p + "ho_mask10", 1, 0, 0, 3));
    out += movie(p + "ho_list", 1, instance("back", "pic_panel", 0, 0, 0));
    out += movie(p + "ho_row", 1, instance("back", "pic_strip", 0, 0, 0));
    out += movie(p + "ho_bg", 1, instance("picture", "pic_white", 0, 0, 0, 1, 64.0f, 10.5f));
    out += movie(p + "mov_white_blank", 1, instance("picture", "pic_white", 0, 0, 0));
    out += movie(p + "mov_itemtext", 1, instance("bkg", p + "ho_bar", 0, 0, 0) + instance("line_0", p + "ho_bar", 1, 0, 0) +
                                            instance("underline", p + "ho_bar", 2, 0, 20));
    out += movie(p + "mov_letter", 5, instance("back", "pic_bar", 0, 0, 0, 5));
    out += movie(p + "item", 1, instance("body", p + "ho_body", 0, 0, 0));
    out += movie(p + "ho_body", 1, instance("picture", "pic_item", 0, 0, 0));
    std::string level = instance("background", "pic_bg", 0, 0, 0);
    std::mt19937 random(7);
    for (int i = 0; i < kItems; ++i)
        level += instance("item" + std::to_string(i), p + "item", i + 1, float(random() % 980), float(random() % 560));
    out += movie(p + "level", 1, level);
    out += movie(p + "scr", 1, instance("bg", p + "ho_bg", 0, 0, 600) + instance("list", p + "ho_list", 1, 200, 640) +
                                   instance("letters", p + "ho_row", 2, 100, 10) + instance("btn_hint", p + "ho_button", 3, 900, 600) +
                                   instance("btn_guess", p + "ho_button", 4, 900, 650) + instance("btn_skip", p + "ho_button", 5, 900, 700));
    return out;
}

inline std::string meta()
{
    std::string out = "<libraries>";
    auto cls = [&](const std::string& name, const std::string& className, const std::string& lua = "") {
        out += "<Definition name=\"" + name + "\"><Nuggets><MovieClassNugget><MovieClassName>" + className +
               "</MovieClassName></MovieClassNugget>";
        if (!lua.empty())
            out += "<LuaClassNugget><LuaScriptText>" + lua + "</LuaScriptText></LuaClassNugget>";
        out += "</Nuggets></Definition>";
    };
    cls("ho_button", "RechargableButton");
    cls("ho_list", "HUDList");
    cls("ho_row", "HUDLetters");
    cls("mov_itemtext", "HUDListEntry");
    cls("item", "ISpyItem", "s_name = \"thing\"");
    cls("g_level", "ISpyBoard",
        "OnAfterLoad = function(self) for i = 0, " + std::to_string(kItems - 1) +
            " do local item = self:GetChildByName(\"item\" .. i) if i % 4 == 0 then item.s_category = \"set\" .. (i % 3) end "
            "self:AddItem(item) end end");
    cls("scr_ispy", "HOScreen");
    out += "</libraries>";
    return out;
}

struct Scene
{
    Scene()
    {
        RegisterEngineStatics();
        RegisterHiddenObjectClasses();
        Raster::AdapterInfo adapter;
        adapter.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        Raster::SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        auto system = std::make_shared<Raster::RasterSystem>(options);
        DeviceServices services;
        services.createSystem = [system] { return system; };
        services.sleep = [](uint32_t) {};
        auto made = std::make_unique<DirectXDevice>(services);
        require(made->Init(nullptr, false));
        dx = made.get();
        renderer = std::make_unique<Renderer>();
        require(renderer->Init(std::move(made), nullptr));
        renderer->SetInstanceServices(MakeInstanceServices());
        dx->SetClearParams(true, 0xFF000000);

        lua = std::make_unique<LuaMgr>();
        require(lua->Init());
        ui = std::make_unique<UserInterface>();
        require(ui->Init());
        ui->screenWidth = 1024;
        ui->screenHeight = 768;
        time = std::make_unique<TimeManager>();
        for (uint32_t clock : {0u, 1u})
            time->GetClock(clock).deltaSeconds = 1.0f / 60.0f;

        std::string definitions = "<Definitions>";
        const std::pair<const char*, ImageSize> pictures[] = {
            {"pic_bg", {1024, 768}}, {"pic_item", {40, 40}}, {"pic_panel", {600, 120}}, {"pic_strip", {300, 30}},
            {"pic_knob", {80, 30}},  {"pic_bar", {10, 4}},   {"pic_white", {16, 16}},   {"blur_rt.png", {256, 192}},
            {"blur_512", {512, 384}}, {"blur_1024", {1024, 768}}};
        for (const auto& [name, size] : pictures)
            definitions += std::string("<Definition type=\"image\" name=\"") + name + "\" src=\"" + name + "\" bi=\"" +
                           std::to_string(size.width) + " " + std::to_string(size.height) + " " +
                           std::to_string(size.width) + " " + std::to_string(size.height) + " 0 0 0 0\"/>";
        // The game's tree (the level is "g_level", the screen "scr_ispy") and the plain one.
        std::string game = movies("");
        for (const auto& [from, to] : {std::pair{"\"level\"", "\"g_level\""}, std::pair{"\"scr\"", "\"scr_ispy\""}})
            for (size_t at = game.find(from); at != std::string::npos; at = game.find(from, at + 1))
                game.replace(at, std::string(from).size(), to);
        definitions += game + movies("p_") + "</Definitions>";
        const std::unique_ptr<XmlNode> document =
            ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(definitions.data()), definitions.size(), false);
        const std::string metaText = meta();
        const std::unique_ptr<XmlNode> metaDocument =
            ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(metaText.data()), metaText.size(), false);
        require(document && metaDocument);
        DefinitionMap& map = *ui->GetDefinitionMap();
        uint32_t added = 0, appended = 0;
        require(LoadDefinitionFile(*document, map, added, appended));
        LoadDefinitionsXml(*metaDocument, map);
        for (const auto& [name, size] : pictures)
        {
            fills.push_back(std::make_unique<SolidFill>(size, 0xFF305070u + uint32_t(fills.size()) * 0x00102030u));
            for (const auto& definition : map.GetDefinitions().at(std::wstring(name, name + std::strlen(name))))
                if (auto* image = dynamic_cast<Definition_Image*>(definition.get()))
                    image->texture = renderer->CreateDynamicTexture(fills.back().get());
        }

        screens = std::make_unique<_ScreenMgr>();
        ScreenServices::Install(&screenServices);
        screen = RObjectCast<HOScreen>(screens->OpenScreen(L"scr_ispy", L"scr_ispy", false, false).GetInstance());
        require(screen != nullptr);
        plain = RObjectCast<Instance_Movie>(Instance_Movie::CreateChild(ui->GetRoot(), L"p_scr", L"plain", nullptr).GetInstance());
        require(plain != nullptr);
        for (int i = 0; i < 3; ++i)
            Step(true);
        require(screen->GetBoard() != nullptr);
        screen->SelectGroups(100);
        // The plain tree gets what the screen and its parts make: the level behind, the shield and
        // the blurred copy (hidden), twelve list entries and twelve letter slots.
        Instance_Movie* level = RObjectCast<Instance_Movie>(Instance_Movie::CreateChild(plain, L"p_level", L"level", nullptr).GetInstance());
        require(level != nullptr);
        level->MoveToBack();
        for (const wchar_t* hidden : {L"p_mov_white_blank", L"blur_rt.png"})
            if (Instance_Base* made = Instance_Movie::CreateChild(plain, hidden, hidden, nullptr).GetInstance())
                made->SetVisible(false);
        auto* list = RObjectCast<Instance_Movie>(plain->FindChildByPath(L"list").GetInstance());
        auto* row = RObjectCast<Instance_Movie>(plain->FindChildByPath(L"letters").GetInstance());
        require(list && row);
        for (int i = 0; i < 12; ++i)
        {
            Instance_Movie::CreateChild(list, L"p_mov_itemtext", L"ItemName_" + std::to_wstring(i), nullptr)
                .GetInstance()
                ->SetPosition(5.0f + float(i / 4 + 0.5) * 590.0f / 3.0f, 5.0f + float(i % 4) * 27.5f);
            Instance_Movie::CreateChild(row, L"p_mov_letter", L"letter_" + std::to_wstring(i), nullptr)
                .GetInstance()
                ->SetX(float(i) * 20.0f);
        }
        Show(true);
        std::mt19937 random(11);
        for (int i = 0; i < 600; ++i)
            positions.push_back({int(random() % 1024), int(random() % 768)});
    }

    ~Scene()
    {
        screens.reset();
        ui.reset();
        ScreenServices::Install(nullptr);
        fills.clear();
        renderer.reset();
    }

    // Only the tree under test shows (and so takes the pointer and is drawn).
    void Show(bool game)
    {
        screen->SetVisible(game);
        plain->SetVisible(!game);
    }

    // One frame's update of the tree under test.
    void Step(bool game)
    {
        if (game)
        {
            if (auto* dialogs = RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance()))
                dialogs->Update(1.0f / 60.0f);
            screens->Update();
        }
        else
        {
            plain->Update(1.0f / 60.0f);
        }
    }

    // The pointer moves, the tree is updated and the frame drawn from clear to present.
    void Frame(bool game)
    {
        const auto [x, y] = positions[next++ % positions.size()];
        ui->OnMouseMove(x, y);
        Step(game);
        if (!dx->BeginFrame())
            std::abort();
        renderer->SetInFrame(true);
        ui->Render();
        renderer->Flush();
        dx->EndFrame();
        renderer->Present();
        renderer->SetInFrame(false);
    }

    DirectXDevice* dx = nullptr;
    std::unique_ptr<Renderer> renderer;
    std::unique_ptr<LuaMgr> lua;
    std::unique_ptr<UserInterface> ui;
    std::unique_ptr<TimeManager> time;
    std::unique_ptr<_ScreenMgr> screens;
    std::vector<std::unique_ptr<SolidFill>> fills;
    ScreenServicesForBench screenServices;
    HOScreen* screen = nullptr;
    Instance_Movie* plain = nullptr;
    std::vector<std::pair<int, int>> positions;
    size_t next = 0;
};

} // namespace HiddenObjectBench
