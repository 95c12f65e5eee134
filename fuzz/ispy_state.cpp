// Fuzz target: any bytes as the saved hidden-object level ("ISPY_STATE") of the current profile.
// The first byte chooses the form: even, the rest is a whole XML document whose root element is
// taken as "ISPY_STATE"; odd, the rest is written inside the "ISPY_STATE" element of a fixture
// profile (after a valid board name) and the profile is parsed. A hidden-object screen with a small
// board (six items, three of them in one category) and its item list then loads the level from it,
// saves it and loads it again. Nothing may crash, and every group index the list or the board
// holds afterwards must be a group of the board.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/core/text/TextConversion.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/HUDList.h"
#include "game/hiddenobject/HUDListEntry.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ScreenRegistrations.h"
#include "game/hiddenobject/ScreenServices.h"

namespace
{

using namespace TarnEngine;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const char* const kDefinitions = R"(<Definitions>
  <Definition type="movie" name="fz_item" length="1" fps="30"/>
  <Definition type="movie" name="fz_level" length="1" fps="30">
    <Instance type="library" instancename="a" definition="fz_item" depth="0" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,10,10" alpha="100"/></Instance>
    <Instance type="library" instancename="b" definition="fz_item" depth="1" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,20,10" alpha="100"/></Instance>
    <Instance type="library" instancename="c" definition="fz_item" depth="2" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,30,10" alpha="100"/></Instance>
    <Instance type="library" instancename="d" definition="fz_item" depth="3" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,40,10" alpha="100"/></Instance>
    <Instance type="library" instancename="e" definition="fz_item" depth="4" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,50,10" alpha="100"/></Instance>
    <Instance type="library" instancename="f" definition="fz_item" depth="5" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,60,10" alpha="100"/></Instance>
  </Definition>
  <Definition type="movie" name="fz_list" length="1" fps="30"/>
  <Definition type="movie" name="mov_itemtext" length="1" fps="30"/>
  <Definition type="movie" name="scr_ispy" length="1" fps="30">
    <Instance type="library" instancename="list" definition="fz_list" depth="0" create="0" death="1" regx="0" regy="0"><Frame transform="1,0,0,1,0,600" alpha="100"/></Instance>
  </Definition>
</Definitions>)";

const char* const kMeta = R"(<libraries>
  <Definition name="fz_item"><Nuggets><MovieClassNugget><MovieClassName>ISpyItem</MovieClassName></MovieClassNugget>
    <LuaClassNugget><LuaScriptText>s_name = "x"</LuaScriptText></LuaClassNugget></Nuggets></Definition>
  <Definition name="fz_level"><Nuggets><MovieClassNugget><MovieClassName>ISpyBoard</MovieClassName></MovieClassNugget>
    <LuaClassNugget><LuaScriptText>OnAfterLoad = function(self) for i, n in ipairs({"a", "b", "c", "d", "e", "f"}) do local item = self:GetChildByName(n) if i &lt;= 3 then item.s_category = "tools" end self:AddItem(item) end end</LuaScriptText></LuaClassNugget></Nuggets></Definition>
  <Definition name="fz_list"><Nuggets><MovieClassNugget><MovieClassName>HUDList</MovieClassName></MovieClassNugget></Nuggets></Definition>
  <Definition name="mov_itemtext"><Nuggets><MovieClassNugget><MovieClassName>HUDListEntry</MovieClassName></MovieClassNugget></Nuggets></Definition>
  <Definition name="scr_ispy"><Nuggets><MovieClassNugget><MovieClassName>HOScreen</MovieClassName></MovieClassNugget></Nuggets></Definition>
</libraries>)";

class FuzzServices final : public ScreenServices
{
public:
    XmlNode* GetCurrentProfile() override { return profile.get(); }
    std::wstring GetCurrentLevelName() override { return L"fz_level"; }
    void PlayAmbientScene(const std::wstring&) override {}
    void ReportPowerUpUsed(const std::wstring&, const std::wstring&) override {}
    std::unique_ptr<XmlNode> profile = std::make_unique<XmlNode>(L"PROFILE");
};

std::unique_ptr<XmlNode> parse(const std::string& text)
{
    return ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
}

struct World
{
    std::unique_ptr<LuaMgr> lua;
    std::unique_ptr<UserInterface> ui;
    std::unique_ptr<TimeManager> time;
    std::unique_ptr<_ScreenMgr> screens;
    FuzzServices services;
    HOScreen* screen = nullptr;

    World()
    {
        RegisterEngineStatics();
        RegisterHiddenObjectClasses();
        lua = std::make_unique<LuaMgr>();
        check(lua->Init());
        ui = std::make_unique<UserInterface>();
        check(ui->Init());
        ui->screenWidth = 1024;
        ui->screenHeight = 768;
        time = std::make_unique<TimeManager>();
        uint32_t added = 0, appended = 0;
        const std::unique_ptr<XmlNode> definitions = parse(kDefinitions);
        const std::unique_ptr<XmlNode> meta = parse(kMeta);
        check(definitions && meta);
        check(LoadDefinitionFile(*definitions, *ui->GetDefinitionMap(), added, appended));
        LoadDefinitionsXml(*meta, *ui->GetDefinitionMap());
        screens = std::make_unique<_ScreenMgr>();
        ScreenServices::Install(&services);
        screen = RObjectCast<HOScreen>(screens->OpenScreen(L"scr_ispy", L"scr_ispy", false, false).GetInstance());
        check(screen != nullptr);
        for (int i = 0; i < 3; ++i)
            ui->GetRoot()->Update(1.0f / 60.0f);
        check(screen->GetBoard() && screen->GetList() && screen->GetList()->GetEntries().size() == 12);
    }
};

// Every group index in use names a group of the board.
void checkGroups(HOScreen& screen)
{
    const ISpyBoard* board = screen.GetBoard();
    check(board != nullptr);
    const size_t groups = board->GetGroupCount();
    for (const HUDListEntry* entry : screen.GetList()->GetEntries())
        check(entry->GetGroup() == -1 || (entry->GetGroup() >= 0 && size_t(entry->GetGroup()) < groups));
    for (uint32_t index : board->GetGroupOrder())
        check(index < groups);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World* world = new World;
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::unique_ptr<XmlNode> profile;
    if ((data[0] & 1) == 0)
    {
        std::unique_ptr<XmlNode> element = parse(rest);
        if (!element)
            return 0;
        element->name = std::wstring(L"ISPY_STATE");
        profile = std::make_unique<XmlNode>(L"PROFILE");
        profile->AppendChild(std::move(element));
    }
    else
    {
        profile = parse("<PROFILE><ISPY_STATE><m_board value=\"fz_level\" type=\"String\"/>" + rest +
                        "</ISPY_STATE></PROFILE>");
        if (!profile)
            return 0;
    }
    world->services.profile = std::move(profile);
    HOScreen& screen = *world->screen;
    screen.LoadLevel();
    checkGroups(screen);
    screen.SaveLevel();
    screen.LoadLevel();
    checkGroups(screen);
    // The tables this input made go now, so that the leak check sees what stays.
    lua_gc(world->lua->GetState(), LUA_GCCOLLECT, 0);
    return 0;
}
