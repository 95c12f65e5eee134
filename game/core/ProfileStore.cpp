// The profile file and its operations; see ProfileStore.h.
#include "game/core/ProfileStore.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/xml/XmlNode.h"
#include "game/core/GuardedXmlFile.h"

using namespace TarnEngine;

const wchar_t* const ProfileStore::kFileName = L"brq.xml";
const wchar_t* const ProfileStore::kBackupName = L"brq.xml.bak";

namespace
{
const std::wstring kRoot = L"ROOT";
const std::wstring kProfile = L"PROFILE";
const std::wstring kName = L"NAME";
const std::wstring kCurrentName = L"CURRENT_PROFILE_NAME";
const std::wstring kCurrentMode = L"CURRENT_MODE";

void logLine(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

std::wstring nameOf(const XmlNode& node)
{
    const std::wstring* name = node.FindAttribute(kName);
    return name ? *name : std::wstring();
}
} // namespace

ProfileStore::ProfileStore() = default;
ProfileStore::~ProfileStore() = default;

SettingsStore* ProfileStore::store() const
{
    return settings ? settings : SettingsStore::Get();
}

bool ProfileStore::Open()
{
    document.reset();
    file.reset();
    path.clear();
    SettingsStore* files = store();
    GuardedXmlFile::Opened opened = GuardedXmlFile::Opened::NoFolder;
    if (files)
    {
        file = std::make_unique<GuardedXmlFile>(*files, kFileName, kRoot);
        document = file->Open(opened);
        path = file->GetPath();
    }
    else
        logLine(L"profile file: there are no settings folders; nothing is read or saved");
    if (!document)
        document = std::make_unique<XmlNode>(kRoot);
    switch (opened)
    {
    case GuardedXmlFile::Opened::Read:
    case GuardedXmlFile::Opened::FromBackup:
    case GuardedXmlFile::Opened::Damaged:
        return true;
    default:
        return false;
    }
}

bool ProfileStore::Save()
{
    if (!document)
        return false;
    if (!file)
    {
        logLine(L"profile file: not saved, it was never opened");
        return false;
    }
    return file->Save(*document);
}

void ProfileStore::CheckAtStartup()
{
    if (Open() && FindCurrentProfile())
    {
        if (activatedHook)
            activatedHook();
    }
    else if (newProfileHook)
        newProfileHook();
}

XmlNode* ProfileStore::FindCurrentProfile() const
{
    if (!document)
        return nullptr;
    const std::wstring current = GetCurrentProfileName();
    for (const std::unique_ptr<XmlNode>& child : document->children)
        if (const std::wstring* name = child->FindAttribute(kName); name && *name == current)
            return child.get();
    return nullptr;
}

std::wstring ProfileStore::GetCurrentProfileName() const
{
    if (!document)
        return std::wstring();
    const std::wstring* name = document->FindAttribute(kCurrentName);
    return name ? *name : std::wstring();
}

bool ProfileStore::CreateProfile(const std::wstring& name)
{
    if (!document || name.empty() || ProfileExists(name))
    {
        logLine(!document      ? L"profile not created: the profile file is not open"
                : name.empty() ? L"profile not created: the name is empty"
                               : L"profile not created: a profile named \"" + name + L"\" exists");
        return false;
    }
    // The current profile changes here too: the game keeps the outgoing one's play first.
    const std::wstring outgoing = GetCurrentProfileName();
    if (outgoing != name && changingHook)
        changingHook(outgoing);
    XmlNode* profile = document->AddNewChild(kProfile);
    profile->SetAttribute(kName, name);
    profile->SetAttribute(kCurrentMode, L"MODE_INTRO");
    document->SetAttribute(kCurrentName, name);
    Save();
    return true;
}

void ProfileStore::DeleteProfile(const std::wstring& name)
{
    if (!document || name.empty())
    {
        logLine(!document ? L"profile not deleted: the profile file is not open"
                          : L"profile not deleted: the name is empty");
        return;
    }
    for (size_t i = 0; i < document->children.size(); ++i)
        if (nameOf(*document->children[i]) == name)
        {
            document->RemoveChild(i);
            ++removed;
            return;
        }
    logLine(L"profile not deleted: there is no profile named \"" + name + L"\"");
}

void ProfileStore::SetCurrentProfile(const std::wstring& name)
{
    if (!document || name.empty())
    {
        logLine(!document ? L"current profile not set: the profile file is not open"
                          : L"current profile not set: the name is empty");
        return;
    }
    const std::wstring outgoing = GetCurrentProfileName();
    if (outgoing != name && changingHook)
        changingHook(outgoing);
    document->SetAttribute(kCurrentName, name);
    if (activatedHook)
        activatedHook();
}

size_t ProfileStore::CountProfiles() const
{
    std::vector<std::wstring> names;
    ListProfileNames(names);
    return names.size();
}

void ProfileStore::ListProfileNames(std::vector<std::wstring>& out) const
{
    if (!document)
        return;
    for (const std::unique_ptr<XmlNode>& child : document->children)
        if (std::wstring name = nameOf(*child); !name.empty())
            out.push_back(std::move(name));
}

bool ProfileStore::ProfileExists(const std::wstring& name) const
{
    std::vector<std::wstring> names;
    ListProfileNames(names);
    for (const std::wstring& known : names)
        if (known == name)
            return true;
    return false;
}
