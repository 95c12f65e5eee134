// The profile file: the profile operations, files that are odd or damaged,
// saves that fail at every step, and the one backup generation.
#include "game/core/ProfileStore.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/xml/XmlNode.h"
#include "game/core/GuardedXmlFile.h"
#include "tests/core/ReadOnlyFolder.h"
#include "tests/game/core/ProfileTestSupport.h"

namespace
{

using namespace ProfileTest;
namespace fs = std::filesystem;

class Profiles : public ::testing::Test
{
protected:
    void SetUp() override { Reset(); }

    // A new store over the same folder, as a new run of the program has.
    void Reset()
    {
        profiles = std::make_unique<ProfileStore>();
        store.reset();
        auto made = std::make_unique<FaultyIo>();
        io = made.get();
        store = MakeStore(folder.path, std::move(made));
        profiles->SetSettingsStore(store.get());
    }
    fs::path File() const { return folder.path / "brq.xml"; }
    fs::path Backup() const { return folder.path / "brq.xml.bak"; }
    // A file holding profiles "Ann" (current) and "Bob", saved by the store.
    std::vector<uint8_t> MakeGoodFile()
    {
        Reset();
        profiles->Open();
        EXPECT_TRUE(profiles->CreateProfile(L"Bob"));
        EXPECT_TRUE(profiles->CreateProfile(L"Ann"));
        Reset();
        return ReadBytes(File());
    }
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> names;
        profiles->ListProfileNames(names);
        return names;
    }

    TempFolder folder;
    CapturingLogger log;
    FaultyIo* io = nullptr;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<ProfileStore> profiles;
};

TEST_F(Profiles, CreateRefusesAnEmptyOrExistingNameWithoutWriting)
{
    EXPECT_FALSE(profiles->CreateProfile(L"Ann")) << "nothing before the file is opened";
    EXPECT_FALSE(profiles->Open()) << "no file yet";
    EXPECT_TRUE(profiles->CreateProfile(L"Ann"));
    const std::vector<uint8_t> saved = ReadBytes(File());
    ASSERT_FALSE(saved.empty());
    const size_t creates = io->Count("create");
    EXPECT_EQ(creates, 1u);

    for (const std::wstring& name : {std::wstring(), std::wstring(L"Ann")})
    {
        EXPECT_FALSE(profiles->CreateProfile(name));
        EXPECT_EQ(io->Count("create"), creates) << "the file was written";
    }
    EXPECT_EQ(ReadBytes(File()), saved);
    EXPECT_EQ(log.Count(L"the name is empty"), 1u);
    EXPECT_EQ(log.Count(L"\"Ann\" exists"), 1u);
    EXPECT_EQ(profiles->CountProfiles(), 1u);
}

TEST_F(Profiles, ANewProfileIsCurrentInModeIntroAndNamesCompareExactly)
{
    profiles->Open();
    ASSERT_TRUE(profiles->CreateProfile(L"Ann"));
    ASSERT_TRUE(profiles->CreateProfile(L"ann"));
    Reset();
    EXPECT_TRUE(profiles->Open());
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"ann");
    XmlNode* current = profiles->FindCurrentProfile();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->GetStringAttribute(L"NAME", L""), L"ann");
    EXPECT_EQ(current->GetStringAttribute(L"CURRENT_MODE", L""), L"MODE_INTRO");
    EXPECT_TRUE(current->children.empty());
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Ann", L"ann"}));
    EXPECT_TRUE(profiles->ProfileExists(L"Ann"));
    EXPECT_FALSE(profiles->ProfileExists(L"ANN"));
    EXPECT_FALSE(profiles->ProfileExists(L"Ann "));
}

TEST_F(Profiles, DeleteAndSetCurrentReachTheFileOnlyAtTheNextSave)
{
    const std::vector<uint8_t> saved = MakeGoodFile();
    profiles->Open();
    profiles->DeleteProfile(L"Ann");
    profiles->DeleteProfile(L"nobody");
    profiles->DeleteProfile(L"");
    profiles->SetCurrentProfile(L"Bob");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"Bob"});
    EXPECT_EQ(ReadBytes(File()), saved);
    EXPECT_EQ(io->Count("create"), 0u);

    ASSERT_TRUE(profiles->Save());
    Reset();
    profiles->Open();
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"Bob"});
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"Bob");
}

TEST_F(Profiles, TheGameHearsOfAChangeBeforeItHappensAndOnlyThen)
{
    MakeGoodFile();
    profiles->Open();
    std::vector<std::wstring> heard;
    int activations = 0;
    profiles->SetProfileChangingHook(
        [&](const std::wstring& outgoing)
        {
            // Still the outgoing profile while the game keeps its play.
            EXPECT_EQ(profiles->GetCurrentProfileName(), outgoing);
            heard.push_back(outgoing);
        });
    profiles->SetProfileActivatedHook([&] { ++activations; });

    profiles->SetCurrentProfile(L"Ann");
    EXPECT_TRUE(heard.empty()) << "the name did not change";
    profiles->SetCurrentProfile(L"Bob");
    profiles->SetCurrentProfile(L"");
    EXPECT_EQ(heard, std::vector<std::wstring>{L"Ann"});
    EXPECT_EQ(activations, 2);
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"Bob");

    // Making a profile makes it current: the outgoing one is heard of too.
    ASSERT_TRUE(profiles->CreateProfile(L"Cy"));
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"Ann", L"Bob"}));
}

TEST_F(Profiles, CurrentNamesThatMatchNothingAndDuplicateNames)
{
    WriteBytes(File(), Bytes("<ROOT CURRENT_PROFILE_NAME=\"Zed\"><PROFILE NAME=\"Ann\"/><PROFILE NAME=\"\"/>"
                             "<PROFILE/><PROFILE NAME=\"Ann\" CURRENT_MODE=\"second\"/></ROOT>"));
    EXPECT_TRUE(profiles->Open());
    EXPECT_EQ(profiles->FindCurrentProfile(), nullptr);
    EXPECT_EQ(profiles->CountProfiles(), 2u);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Ann", L"Ann"}));
    EXPECT_FALSE(profiles->ProfileExists(L""));

    profiles->SetCurrentProfile(L"Ann");
    ASSERT_NE(profiles->FindCurrentProfile(), nullptr);
    EXPECT_EQ(profiles->FindCurrentProfile()->GetStringAttribute(L"CURRENT_MODE", L"first"), L"first");
    profiles->DeleteProfile(L"Ann");
    EXPECT_EQ(profiles->FindCurrentProfile()->GetStringAttribute(L"CURRENT_MODE", L""), L"second");
    EXPECT_EQ(profiles->GetDocument()->children.size(), 3u);
}

TEST_F(Profiles, CheckAtStartupActivatesTheCurrentProfileOrAsksForOne)
{
    int activated = 0, asked = 0;
    const auto hooks = [&]
    {
        profiles->SetProfileActivatedHook([&] { ++activated; });
        profiles->SetNewProfileScreenHook([&] { ++asked; });
    };
    hooks();
    profiles->CheckAtStartup();
    EXPECT_EQ(asked, 1) << "no file";

    MakeGoodFile();
    hooks();
    profiles->CheckAtStartup();
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"Ann");

    WriteBytes(File(), Bytes("<ROOT CURRENT_PROFILE_NAME=\"Zed\"><PROFILE NAME=\"Ann\"/></ROOT>"));
    Reset();
    hooks();
    profiles->CheckAtStartup();
    EXPECT_EQ(asked, 2) << "a current name that matches no profile";
}

TEST_F(Profiles, EachSaveKeepsTheFileItReplacesAsTheBackup)
{
    profiles->Open();
    ASSERT_TRUE(profiles->CreateProfile(L"Ann"));
    EXPECT_FALSE(fs::exists(Backup())) << "nothing to keep at the first save";
    const std::vector<uint8_t> first = ReadBytes(File());
    ASSERT_TRUE(profiles->CreateProfile(L"Bob"));
    const std::vector<uint8_t> second = ReadBytes(File());
    EXPECT_EQ(ReadBytes(Backup()), first);
    ASSERT_TRUE(profiles->CreateProfile(L"Cy"));
    EXPECT_EQ(ReadBytes(Backup()), second);
    EXPECT_TRUE(FilesStartingWith(folder.path, "brq.xml.tmp").empty());
    EXPECT_TRUE(FilesStartingWith(folder.path, "brq.xml.bak.tmp").empty());

    // Where links cannot be made the backup is a copy.
    io->failures = {"link"};
    const std::vector<uint8_t> third = ReadBytes(File());
    ASSERT_TRUE(profiles->Save());
    EXPECT_EQ(ReadBytes(Backup()), third);
}

TEST_F(Profiles, AMissingFileStartsEmptyEvenWithABackupBeside)
{
    MakeGoodFile();
    profiles->Open();
    ASSERT_TRUE(profiles->Save());
    ASSERT_TRUE(fs::exists(Backup()));
    fs::remove(File());
    Reset();
    EXPECT_FALSE(profiles->Open());
    EXPECT_EQ(profiles->CountProfiles(), 0u);
    EXPECT_EQ(profiles->GetPath(), store->saveFolder + L"brq.xml");
}

// ---- Odd and damaged files.

enum class Expect
{
    Empty,    // set aside; an empty document
    Profiles, // read: Ann current
};

struct OddFile
{
    const char* name;
    std::vector<uint8_t> (*make)(const std::vector<uint8_t>& good);
    Expect expect;
};

std::vector<uint8_t> utf16(const std::string& text)
{
    std::vector<uint8_t> bytes{0xFF, 0xFE};
    for (char c : text)
    {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

const char kPlain[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ROOT CURRENT_PROFILE_NAME=\"Ann\">"
                      "<PROFILE NAME=\"Bob\"/><PROFILE NAME=\"Ann\" CURRENT_MODE=\"MODE_INTRO\"/></ROOT>";

const OddFile kOddFiles[] = {
    {"zero bytes", [](const std::vector<uint8_t>&) { return std::vector<uint8_t>(); }, Expect::Empty},
    {"four bytes",
     [](const std::vector<uint8_t>&) {
         return std::vector<uint8_t>{1, 2, 3, 4};
     },
     Expect::Empty},
    {"truncated",
     [](const std::vector<uint8_t>& good)
     { return std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2); },
     Expect::Empty},
    {"one flipped byte",
     [](const std::vector<uint8_t>& good)
     {
         std::vector<uint8_t> bytes = good;
         bytes[bytes.size() / 3] ^= 0x10;
         return bytes;
     },
     Expect::Empty},
    {"random bytes",
     [](const std::vector<uint8_t>&)
     {
         std::mt19937 random(7);
         std::vector<uint8_t> bytes(3000);
         for (uint8_t& b : bytes)
             b = static_cast<uint8_t>(random());
         return bytes;
     },
     Expect::Empty},
    {"plain UTF-8 XML", [](const std::vector<uint8_t>&) { return Bytes(kPlain); }, Expect::Profiles},
    {"plain UTF-16 XML", [](const std::vector<uint8_t>&) { return utf16(kPlain); }, Expect::Profiles},
    {"another root",
     [](const std::vector<uint8_t>&)
     { return Bytes("<PROFILES CURRENT_PROFILE_NAME=\"Ann\"><PROFILE NAME=\"Ann\"/></PROFILES>"); },
     Expect::Empty},
    {"unclosed XML", [](const std::vector<uint8_t>&) { return Bytes("<ROOT><PROFILE NAME=\"Ann\">"); },
     Expect::Empty},
};

TEST_F(Profiles, OddAndDamagedFiles)
{
    const std::vector<uint8_t> good = MakeGoodFile();
    for (const OddFile& odd : kOddFiles)
    {
        SCOPED_TRACE(odd.name);
        for (const fs::path& old : FilesStartingWith(folder.path, "brq.xml"))
            fs::remove(old);
        const std::vector<uint8_t> bytes = odd.make(good);
        WriteBytes(File(), bytes);
        Reset();
        log.lines.clear();
        int asked = 0;
        profiles->SetNewProfileScreenHook([&] { ++asked; });
        profiles->CheckAtStartup();
        ASSERT_NE(profiles->GetDocument(), nullptr);
        EXPECT_EQ(profiles->GetDocument()->GetName(), L"ROOT");
        if (odd.expect == Expect::Profiles)
        {
            EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Bob", L"Ann"}));
            EXPECT_EQ(profiles->GetCurrentProfileName(), L"Ann");
            EXPECT_EQ(ReadBytes(File()), bytes) << "a readable file is left as it is";
            continue;
        }
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(profiles->CountProfiles(), 0u);
        EXPECT_FALSE(fs::exists(File()));
        const std::vector<fs::path> aside = FilesStartingWith(folder.path, "brq.xml.damaged-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(ReadBytes(aside[0]), bytes) << "set aside byte for byte";
        EXPECT_EQ(log.Count(L"set aside as"), 1u) << log.All();

        // The player is not locked out.
        ASSERT_TRUE(profiles->CreateProfile(L"Cy"));
        Reset();
        EXPECT_TRUE(profiles->Open());
        EXPECT_EQ(Names(), std::vector<std::wstring>{L"Cy"});
        EXPECT_EQ(ReadBytes(aside[0]), bytes);
    }
}

TEST_F(Profiles, ADamagedFileNeverReplacesOneSetAsideEarlier)
{
    for (int round = 0; round < 3; ++round)
    {
        WriteBytes(File(), Bytes("damaged " + std::to_string(round)));
        Reset();
        EXPECT_TRUE(profiles->Open());
    }
    const std::vector<fs::path> aside = FilesStartingWith(folder.path, "brq.xml.damaged-");
    ASSERT_EQ(aside.size(), 3u);
    std::vector<std::string> texts;
    for (const fs::path& file : aside)
    {
        const std::vector<uint8_t> bytes = ReadBytes(file);
        texts.emplace_back(bytes.begin(), bytes.end());
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"damaged 0", "damaged 1", "damaged 2"}));
}

TEST_F(Profiles, ADamagedFileWithAGoodBackupAndWithBothDamaged)
{
    MakeGoodFile();
    profiles->Open();
    ASSERT_TRUE(profiles->CreateProfile(L"Cy"));
    const std::vector<uint8_t> backup = ReadBytes(Backup());
    WriteBytes(File(), Bytes("garbage"));
    Reset();
    log.lines.clear();
    EXPECT_TRUE(profiles->Open());
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Bob", L"Ann"})) << "the state before the last save";
    EXPECT_EQ(profiles->GetCurrentProfileName(), L"Ann");
    EXPECT_EQ(log.Count(L"read the backup"), 1u) << log.All();
    EXPECT_EQ(ReadBytes(Backup()), backup);
    // Saving writes the file anew and keeps the backup it read.
    ASSERT_TRUE(profiles->Save());
    EXPECT_EQ(ReadBytes(Backup()), backup);
    Reset();
    EXPECT_TRUE(profiles->Open());
    EXPECT_EQ(profiles->CountProfiles(), 2u);

    for (const fs::path& old : FilesStartingWith(folder.path, "brq.xml"))
        fs::remove(old);
    WriteBytes(File(), Bytes("garbage"));
    WriteBytes(Backup(), Bytes("more garbage"));
    Reset();
    log.lines.clear();
    EXPECT_TRUE(profiles->Open());
    EXPECT_EQ(profiles->CountProfiles(), 0u);
    EXPECT_EQ(FilesStartingWith(folder.path, "brq.xml.damaged-").size(), 1u);
    EXPECT_EQ(FilesStartingWith(folder.path, "brq.xml.bak.damaged-").size(), 1u);
    EXPECT_EQ(log.Count(L"does not read either"), 1u) << log.All();
    ASSERT_TRUE(profiles->CreateProfile(L"Dee"));
}

TEST_F(Profiles, AFolderNamedLikeTheFileIsLeftAlone)
{
    fs::create_directory(File());
    WriteBytes(File() / "inside", Bytes("kept"));
    log.lines.clear();
    int asked = 0;
    profiles->SetNewProfileScreenHook([&] { ++asked; });
    profiles->CheckAtStartup();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(profiles->CountProfiles(), 0u);
    EXPECT_TRUE(profiles->CreateProfile(L"Ann")) << "made in memory";
    EXPECT_FALSE(profiles->Save());
    EXPECT_TRUE(fs::is_directory(File()));
    EXPECT_EQ(ReadBytes(File() / "inside"), Bytes("kept"));
    EXPECT_GE(log.Count(L"not saved"), 1u) << log.All();
    EXPECT_TRUE(FilesStartingWith(folder.path, "brq.xml.tmp").empty());
}

TEST_F(Profiles, NamesWithMarkupCharactersComeBackAndOnesTheFileCannotHoldAreRefused)
{
    profiles->Open();
    const std::wstring markup = L"\"&<>' \n\t x \U0001F600 \u00e9";
    ASSERT_TRUE(profiles->CreateProfile(markup));
    Reset();
    profiles->Open();
    EXPECT_EQ(Names(), std::vector<std::wstring>{markup});
    EXPECT_EQ(profiles->GetCurrentProfileName(), markup);
    const std::vector<uint8_t> saved = ReadBytes(File());

    // Characters an XML file does not carry as they are: each either comes
    // back exactly or its save is refused, the file staying as it was.
    struct Odd
    {
        std::wstring name;
        bool storable;
    };
    const Odd odds[] = {
        {L"a\x01z\x1f", true},   {std::wstring(L"nul \0 inside", 12), true},
        {L"\xFFFE\xFFFF", true}, {L"lone \xD800 surrogate", false},
        {L"lone \xDFFF", false},
    };
    for (const Odd& odd : odds)
    {
        SCOPED_TRACE(testing::PrintToString(std::vector<int>(odd.name.begin(), odd.name.end())));
        log.lines.clear();
        Reset();
        profiles->Open();
        const std::vector<uint8_t> before = ReadBytes(File());
        EXPECT_TRUE(profiles->CreateProfile(odd.name));
        Reset();
        profiles->Open();
        if (odd.storable)
        {
            EXPECT_EQ(profiles->GetCurrentProfileName(), odd.name);
            EXPECT_TRUE(profiles->ProfileExists(odd.name));
            EXPECT_EQ(log.Count(L"not saved"), 0u) << log.All();
            profiles->DeleteProfile(odd.name);
            profiles->SetCurrentProfile(markup);
            ASSERT_TRUE(profiles->Save());
        }
        else
        {
            EXPECT_EQ(ReadBytes(File()), before);
            EXPECT_EQ(log.Count(L"not saved"), 1u) << log.All();
        }
        EXPECT_EQ(Names(), std::vector<std::wstring>{markup});
    }
}

// ---- Failed writes.

struct FailedStep
{
    std::vector<std::string> failures;
    const char* what;
};

TEST_F(Profiles, AFailureAtAnyStepOfASaveLeavesTheFileAsItWas)
{
    const FailedStep steps[] = {
        {{"create"}, "creating the temporary file"},
        {{"write"}, "writing"},
        {{"sync"}, "flushing the file"},
        {{"close"}, "closing"},
        {{"read"}, "reading back"},
        {{"link", "create"}, "making the backup"},
        {{"link", "write#2"}, "writing the backup copy"},
        {{"rename#1"}, "putting the backup in place"},
        {{"syncfolder#1"}, "flushing the folder"},
        {{"rename#2"}, "replacing the file"},
    };
    for (const FailedStep& step : steps)
    {
        SCOPED_TRACE(step.what);
        for (const fs::path& old : FilesStartingWith(folder.path, "brq.xml"))
            fs::remove(old);
        const std::vector<uint8_t> good = MakeGoodFile();
        profiles->Open();
        ASSERT_TRUE(profiles->Save());
        const std::vector<uint8_t> backup = ReadBytes(Backup());
        io->calls.clear();
        io->failures = step.failures;
        log.lines.clear();
        EXPECT_TRUE(profiles->CreateProfile(L"Cy"));
        EXPECT_EQ(ReadBytes(File()), good);
        EXPECT_EQ(ReadBytes(Backup()), backup);
        EXPECT_EQ(log.Count(L"not saved"), 1u) << log.All();
        EXPECT_EQ(log.Count(L"stays as it was"), 1u) << log.All();
        EXPECT_TRUE(FilesStartingWith(folder.path, "brq.xml.tmp").empty());
        EXPECT_TRUE(FilesStartingWith(folder.path, "brq.xml.bak.tmp").empty());
        Reset();
        EXPECT_TRUE(profiles->Open());
        EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Bob", L"Ann"}));
    }
}

TEST_F(Profiles, AFolderThatCannotBeFlushedAfterTheRenameKeepsThePreviousFileAsTheBackup)
{
    const std::vector<uint8_t> good = MakeGoodFile();
    profiles->Open();
    io->failures = {"syncfolder#2"};
    EXPECT_TRUE(profiles->CreateProfile(L"Cy"));
    EXPECT_EQ(ReadBytes(Backup()), good);
    EXPECT_EQ(log.Count(L"could not be flushed"), 1u) << log.All();
    Reset();
    profiles->Open();
    EXPECT_EQ(profiles->CountProfiles(), 3u);
}

// Runs the body in a child process; its exit code: 0 passed, 77 the
// environment lacks what it needs, anything else failed.
template <class Body> int inChild(Body body)
{
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(ProfileLocation, TheFileLivesInTheSavedGamesFolderOfTheEnginesStore)
{
    TempFolder data;
    const int result = inChild(
        [&]
        {
            setenv("XDG_DATA_HOME", data.path.c_str(), 1);
            SetApplicationNameProvider([] { return std::wstring(L"Pellwood Test"); });
            SettingsStore engineStore;
            ProfileStore profiles;
            profiles.Open();
            if (!profiles.CreateProfile(L"Ann"))
                return 1;
            const fs::path file = data.path / "Halcyra Games" / "Pellwood Test" / "brq.xml";
            if (!fs::is_regular_file(file))
                return 2;
            return profiles.GetPath() == engineStore.saveFolder + L"brq.xml" ? 0 : 3;
        });
    EXPECT_EQ(result, 0);
}

TEST_F(Profiles, AReadOnlyFolderFailsTheSaveAndKeepsTheFile)
{
    const std::vector<uint8_t> good = MakeGoodFile();
    const int result = inChild(
        [&]
        {
            if (ReadOnlyFolder::MakeReadOnlyHere(folder.path.c_str()))
                return 77;
            profiles->Open();
            if (!profiles->CreateProfile(L"Cy") || profiles->Save())
                return 1;
            if (ReadBytes(File()) != good || log.Count(L"not saved") != 2)
                return 2;
            Reset();
            return profiles->Open() && profiles->CountProfiles() == 2 ? 0 : 3;
        });
    if (result == 77)
        GTEST_SKIP() << "no read-only mount can be made here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(File()), good);
}

TEST_F(Profiles, AFullFileSystemFailsTheSaveAndKeepsTheFile)
{
    const int result = inChild(
        [&]
        {
            // A small file system of the child's own over the folder.
            if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                return 77;
            if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("none", folder.path.c_str(), "tmpfs", 0, "size=64k") != 0)
                return 77;
            const std::vector<uint8_t> good = MakeGoodFile();
            profiles->Open();
            if (!profiles->Save())
                return 1;
            const std::vector<uint8_t> backup = ReadBytes(Backup());
            // Fill what is left.
            {
                std::ofstream filler(folder.path / "filler", std::ios::binary);
                const std::string block(4096, 'x');
                for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i)
                    filler.flush();
            }
            log.lines.clear();
            // A profile large enough to need new room.
            profiles->CreateProfile(std::wstring(6000, L'n'));
            if (ReadBytes(File()) != good || ReadBytes(Backup()) != backup)
                return 2;
            if (log.Count(L"not saved") != 1 || !FilesStartingWith(folder.path, "brq.xml.tmp").empty())
                return 3;
            Reset();
            return profiles->Open() && profiles->CountProfiles() == 2 ? 0 : 4;
        });
    if (result == 77)
        GTEST_SKIP() << "no file system can be mounted here";
    EXPECT_EQ(result, 0);
}

} // namespace
