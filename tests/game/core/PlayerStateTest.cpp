// The scripts' saved game state in the profile file: values through a save
// and a new process, a read that fails part-way, and switches between
// profiles that must not carry one profile's state into another.
#include "game/core/PlayerState.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaMgr.h"
#include "game/core/ProfileStore.h"
#include "tests/game/core/ProfileTestSupport.h"

namespace
{

using namespace ProfileTest;
namespace fs = std::filesystem;

// Structural equality of two script values: numbers by value (the sign of
// zero counts), strings byte for byte, tables key by key; and the values
// every round trip uses.
const char kScript[] = R"(
function same(a, b)
    if type(a) ~= type(b) then return false end
    if type(a) == "number" then
        if a ~= a then return b ~= b end
        return a == b and 1 / a == 1 / b
    end
    if type(a) ~= "table" then return a == b end
    local count = 0
    for k, v in pairs(a) do
        count = count + 1
        local w = rawget(b, k)
        if w == nil or not same(v, w) then return false end
    end
    for _ in pairs(b) do count = count - 1 end
    return count == 0
end

function build(tag)
    local negativeZero = -1 / math.huge
    return {
        tag = tag,
        nested = { a = { b = { c = { 1, 2, 3, { deep = true } } } }, [1] = "one", [2.5] = "two and a half" },
        integers = { 0, 1, -1, 2147483647, -2147483648, 2 ^ 53, -(2 ^ 53), 2 ^ 53 - 1, 2 ^ 63 },
        floats = { 4.9406564584124654e-324, 2.2250738585072009e-308, 2.2250738585072014e-308, negativeZero,
                   0.1, 1 / 3, 1e-7, 1.7976931348623157e308, -1e300, 123456.789 },
        flags = { yes = true, no = false },
        markup = "\" & < > ' &amp; ]]> <!-- -->",
        spacing = "line\nline\r\nend\ttab  two  spaces ",
        controls = "\1\2\8\11\12\27\31\127",
        nul = "a\0b",
        nonBmp = "\240\159\152\128 \240\144\128\128",
        loneSurrogate = "\237\160\128",
        highBytes = "\128\129\141\143\144\157\160\255",
        [-0.5] = "negative key",
        [2 ^ 53] = "big key",
        ["\" & <key> '"] = "markup key",
    }
end
)";

class PlayerStates : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterPlayerStateScriptClass();
        lua = std::make_unique<LuaMgr>();
        ASSERT_TRUE(lua->Init());
        L = lua->GetState();
        ASSERT_TRUE(Run(kScript));
        NewRun();
    }
    void TearDown() override
    {
        if (L)
            EXPECT_EQ(lua_gettop(L), 0) << "the stack is left unbalanced";
    }

    // The stores of a new run over the same folder; the script state stays.
    void NewRun()
    {
        state.reset();
        profiles = std::make_unique<ProfileStore>();
        store = MakeStore(folder.path);
        profiles->SetSettingsStore(store.get());
        state = std::make_unique<PlayerState>(profiles.get());
        state->Setup();
    }

    bool Run(const std::string& code)
    {
        if (luaL_loadstring(L, code.c_str()) != 0)
        {
            ADD_FAILURE() << lua_tostring(L, -1);
            lua_pop(L, 1);
            return false;
        }
        return LuaPCall(L, 0, 0);
    }
    std::string Eval(const std::string& expression)
    {
        const std::string code = "return tostring(" + expression + ")";
        if (luaL_loadstring(L, code.c_str()) != 0 || !LuaPCall(L, 0, 1))
            return "<error>";
        std::string value = lua_tostring(L, -1);
        lua_pop(L, 1);
        return value;
    }
    XmlNode* Entry(const std::wstring& profile) const
    {
        for (const std::unique_ptr<XmlNode>& child : profiles->GetDocument()->children)
            if (child->GetStringAttribute(L"NAME", L"") == profile)
                return child->GetChild(L"GAME_STATE_ENTRY");
        return nullptr;
    }
    std::wstring Text(const XmlNode* node) const { return node ? WriteXmlText(*node) : L"<none>"; }

    TempFolder folder;
    CapturingLogger log;
    std::unique_ptr<LuaMgr> lua;
    lua_State* L = nullptr;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<ProfileStore> profiles;
    std::unique_ptr<PlayerState> state;
};

TEST_F(PlayerStates, SetupPublishesTheTableAndScriptsCannotMakeOne)
{
    EXPECT_EQ(Eval("svc.PlayerState ~= nil"), "true");
    EXPECT_EQ(RObject::StaticClass() != nullptr, true);
    EXPECT_EQ(RClass::CreateObject(L"PlayerState"), nullptr);
    EXPECT_EQ(Eval("Make ~= nil and Make('PlayerState')"), "nil");
    // Nothing to read or write without a current profile.
    profiles->Open();
    EXPECT_FALSE(state->Load());
    EXPECT_FALSE(state->Save());
}

TEST_F(PlayerStates, ValuesAndTreeComeBackIdenticalInAnotherProcess)
{
    const std::wstring ann = L"Ann \" & < > ' \n\t\x01 \U0001F600 \u00e9";
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
    {
        // The saving run.
        profiles->Open();
        int failed = 0;
        for (const std::wstring& name : {ann, std::wstring(L"Bob")})
        {
            failed += !profiles->CreateProfile(name);
            failed += !state->Load();
            failed += !Run("svc.PlayerState.t_data = build('" + std::string(name == ann ? "A" : "B") + "')");
            failed += !state->Save();
        }
        failed += !profiles->Save();
        const std::string tree = WStringToUtf8(WriteXmlText(*profiles->GetDocument()));
        std::ofstream(folder.path / "tree.txt", std::ios::binary) << tree;
        _exit(failed);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    ASSERT_TRUE(profiles->Open());
    const std::vector<uint8_t> tree = ReadBytes(folder.path / "tree.txt");
    EXPECT_EQ(WStringToUtf8(WriteXmlText(*profiles->GetDocument())), std::string(tree.begin(), tree.end()));
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"Bob");
    std::vector<std::wstring> names;
    profiles->ListProfileNames(names);
    EXPECT_EQ(names, (std::vector<std::wstring>{ann, L"Bob"}));

    ASSERT_TRUE(state->Load());
    EXPECT_EQ(Eval("same(svc.PlayerState.t_data, build('B'))"), "true");
    profiles->SetCurrentProfile(ann);
    ASSERT_TRUE(state->Load());
    EXPECT_EQ(Eval("same(svc.PlayerState.t_data, build('A'))"), "true");
    EXPECT_EQ(Eval("1 / svc.PlayerState.t_data.floats[4]"), "-inf");
    EXPECT_EQ(Eval("svc.PlayerState.t_data.integers[6] == 2^53"), "true");

    // A value the file cannot carry: the save is refused and the file stays.
    const std::vector<uint8_t> saved = ReadBytes(folder.path / "brq.xml");
    profiles->GetDocument()->children[0]->SetAttribute(L"NAME", L"lone \xD800");
    log.lines.clear();
    EXPECT_FALSE(profiles->Save());
    EXPECT_EQ(ReadBytes(folder.path / "brq.xml"), saved);
    EXPECT_EQ(log.Count(L"not saved"), 1u) << log.All();
}

TEST_F(PlayerStates, SavingTwiceReplacesTheStoredStateWithoutDuplicates)
{
    profiles->Open();
    ASSERT_TRUE(profiles->CreateProfile(L"Ann"));
    ASSERT_TRUE(state->Load());
    ASSERT_NE(Entry(L"Ann"), nullptr) << "made by the load";
    ASSERT_TRUE(Run("svc.PlayerState.t_data = { a = 1, list = { 1, 2 } }"));
    ASSERT_TRUE(state->Save());
    const std::wstring once = Text(Entry(L"Ann"));
    ASSERT_TRUE(state->Save());
    EXPECT_EQ(Text(Entry(L"Ann")), once);
    EXPECT_EQ(Entry(L"Ann")->children.size(), 1u);
    EXPECT_EQ(Entry(L"Ann")->children[0]->GetName(), L"t_data");
    EXPECT_EQ(Entry(L"Ann")->children[0]->children.size(), 2u);
}

TEST_F(PlayerStates, AReadThatFailsPartWayLeavesTheStoredStateUntilALoadSucceeds)
{
    profiles->Open();
    ASSERT_TRUE(profiles->CreateProfile(L"Ann"));
    ASSERT_TRUE(Run("svc.PlayerState.t_data = { level = 7, items = { 'key', 'lamp', 'rope' }, z = 'last' }"));
    ASSERT_TRUE(state->Save());
    ASSERT_TRUE(profiles->Save());
    const std::wstring stored = Text(Entry(L"Ann"));

    // A new run whose scripts hold a table that raises an error when filled.
    NewRun();
    profiles->Open();
    ASSERT_TRUE(Run("svc.PlayerState.t_data = { items = setmetatable({}, { __newindex = function(t, k, v)"
                    " if k == 2 then error('refused') end rawset(t, k, v) end }) }"));
    log.lines.clear();
    EXPECT_FALSE(state->Load());
    EXPECT_GE(log.Count(L"not loaded whole"), 1u) << log.All();
    EXPECT_EQ(Eval("svc.PlayerState.t_data.items[3]"), "nil") << "the read stopped part-way";

    EXPECT_FALSE(state->Save());
    EXPECT_EQ(Text(Entry(L"Ann")), stored);
    EXPECT_GE(log.Count(L"not saved"), 1u) << log.All();
    ASSERT_TRUE(profiles->Save());
    NewRun();
    profiles->Open();
    EXPECT_EQ(Text(Entry(L"Ann")), stored);

    // Once a load of the profile succeeds, saving works again.
    ASSERT_TRUE(Run("svc.PlayerState.t_data = {}"));
    EXPECT_TRUE(state->Load());
    EXPECT_EQ(Eval("svc.PlayerState.t_data.items[3]"), "rope");
    ASSERT_TRUE(Run("svc.PlayerState.t_data.level = 8"));
    EXPECT_TRUE(state->Save());
    EXPECT_NE(Text(Entry(L"Ann")), stored);
}

TEST_F(PlayerStates, ASwitchOfProfilesCarriesNothingAcrossAndTheFirstLoadKeepsDefaults)
{
    profiles->Open();
    ASSERT_TRUE(profiles->CreateProfile(L"Bob"));
    ASSERT_TRUE(Run("svc.PlayerState.t_data = { shared = 'b' }"));
    ASSERT_TRUE(state->Save());
    ASSERT_TRUE(profiles->CreateProfile(L"Ann"));
    ASSERT_TRUE(Run("svc.PlayerState.t_data = { shared = 'a', onlyAnn = { 1 } }"));
    ASSERT_TRUE(state->Save());
    ASSERT_TRUE(profiles->Save());

    NewRun();
    profiles->Open();
    // What "main.lua" puts there before the first load stays.
    ASSERT_TRUE(Run("svc.PlayerState.t_data = { default = 5 }; held = svc.PlayerState.t_data; calls = {}"
                    "function svc.PlayerState:OnBeforeLoad() table.insert(calls, 'before:' .."
                    " tostring(self.t_data.shared)) end "
                    "function svc.PlayerState:OnAfterLoad() table.insert(calls, 'after:' .."
                    " tostring(self.t_data.shared)) end"));
    ASSERT_TRUE(state->Load());
    EXPECT_EQ(Eval("held.default"), "5");
    EXPECT_EQ(Eval("held.shared .. #held.onlyAnn"), "a1");

    // The game keeps the outgoing profile's play, then the next one loads.
    profiles->SetProfileChangingHook([&](const std::wstring&) { EXPECT_TRUE(state->Save()); });
    profiles->SetProfileActivatedHook([&] { EXPECT_TRUE(state->Load()); });
    profiles->SetCurrentProfile(L"Bob");
    EXPECT_EQ(Eval("held == svc.PlayerState.t_data"), "true") << "references the scripts hold stay valid";
    EXPECT_EQ(Eval("held.shared"), "b");
    EXPECT_EQ(Eval("held.onlyAnn"), "nil");
    EXPECT_EQ(Eval("held.default"), "nil");
    EXPECT_EQ(Eval("table.concat(calls, ' ')"), "before:nil after:a before:nil after:b");
    ASSERT_TRUE(state->Save());
    EXPECT_EQ(Text(Entry(L"Bob")).find(L"onlyAnn"), std::wstring::npos);
    EXPECT_NE(Text(Entry(L"Ann")).find(L"onlyAnn"), std::wstring::npos) << "kept at the switch";

    // A profile removed and made anew under its name starts empty too.
    ASSERT_TRUE(Run("held.onlyBob = true"));
    profiles->DeleteProfile(L"Bob");
    ASSERT_TRUE(profiles->CreateProfile(L"Bob"));
    profiles->SetCurrentProfile(L"Bob");
    EXPECT_EQ(Eval("held.onlyBob"), "nil");
    EXPECT_EQ(Eval("held.shared"), "nil");
}

} // namespace

namespace
{

std::vector<uint8_t> fixture(const char* name)
{
    return ReadBytes(fs::path(PELLWOOD_TEST_DATA) / "game" / "profile" / name);
}

TEST_F(PlayerStates, StoredFilesOfEveryFormReadAsTheSameTreeAndPassThroughUntouched)
{
    WriteBytes(folder.path / "brq.xml", fixture("real_save.brq.xml"));
    ASSERT_TRUE(profiles->Open());
    const std::wstring saved = WriteXmlText(*profiles->GetDocument());
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"\u00c9lodie & Co");
    ASSERT_NE(profiles->FindCurrentProfile(), nullptr);
    const XmlNode* settings = profiles->FindCurrentProfile()->GetChild(L"SETTINGS_KEY");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->GetDoubleAttribute(L"SETTINGS_SOUND_VOL", 0), 75);
    EXPECT_TRUE(settings->GetBoolAttribute(L"SLOW_DETECTION_ON", false));
    ASSERT_TRUE(state->Load());
    EXPECT_EQ(Eval("svc.PlayerState.t_data.chapter .. ' ' .. svc.PlayerState.t_data.seen[1] .. ' ' .. "
                   "tostring(svc.PlayerState.t_data.seen[2])"),
              "2 intro true");

    // Elements other parts write go through a save as they were.
    ASSERT_TRUE(state->Save());
    ASSERT_TRUE(profiles->Save());
    NewRun();
    ASSERT_TRUE(profiles->Open());
    EXPECT_EQ(WriteXmlText(*profiles->GetDocument()), saved);

    for (const char* name : {"plain_utf8.xml", "plain_utf16.xml"})
    {
        SCOPED_TRACE(name);
        WriteBytes(folder.path / "brq.xml", fixture(name));
        NewRun();
        ASSERT_TRUE(profiles->Open());
        EXPECT_EQ(WriteXmlText(*profiles->GetDocument()), saved);
    }
}

} // namespace
