// The player's profile file "brq.xml": its document (one "ROOT" with a
// "PROFILE" per player and the name of the current one) and the profile
// operations. Everything the game keeps between runs lives in this file, so
// saving is built never to lose it: each save is read back before it replaces
// the file, the replaced file is kept as "brq.xml.bak", and a file that does
// not read is set aside under a new name instead of being written over.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{
class SettingsStore;
class XmlNode;
} // namespace TarnEngine

class GuardedXmlFile;

class ProfileStore
{
public:
    // Called with the outgoing name while it is still current, whenever the
    // current profile is about to change to another name (SetCurrentProfile,
    // and CreateProfile, which makes the new profile current), so that the
    // game can keep the outgoing profile's play.
    using ProfileChangingHook = std::function<void(const std::wstring& outgoing)>;
    // Activates the current profile (settings applied, state loaded).
    using ProfileActivatedHook = std::function<void()>;
    // Opens the screen on which a new profile is made.
    using NewProfileScreenHook = std::function<void()>;

    // Works through the engine's settings store once there is one; makes no
    // use of the engine until Open.
    ProfileStore();
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // The settings store whose saved-games folder holds the file (tests);
    // null stands for the engine's own.
    void SetSettingsStore(TarnEngine::SettingsStore* store) { settings = store; }
    void SetProfileChangingHook(ProfileChangingHook hook) { changingHook = std::move(hook); }
    void SetProfileActivatedHook(ProfileActivatedHook hook) { activatedHook = std::move(hook); }
    void SetNewProfileScreenHook(NewProfileScreenHook hook) { newProfileHook = std::move(hook); }

    // Loads the file, or starts an empty "ROOT"; true when the file existed.
    bool Open();
    // Writes the document to the file; false (logged) when it could not, the
    // file then being as it was. Nothing (false) without a document.
    bool Save();
    // Opens the file, then activates its current profile or asks for a new one.
    void CheckAtStartup();

    // The current "PROFILE" element, or null.
    TarnEngine::XmlNode* FindCurrentProfile() const;
    std::wstring GetCurrentProfileName() const;
    // Adds a profile, makes it current and saves; false (logged) for an empty
    // name, a name that exists or no document.
    bool CreateProfile(const std::wstring& name);
    // Removes the first profile of that name; reaches the file at the next save.
    void DeleteProfile(const std::wstring& name);
    // Makes the profile current and activates it; reaches the file at the next save.
    void SetCurrentProfile(const std::wstring& name);
    size_t CountProfiles() const;
    void ListProfileNames(std::vector<std::wstring>& out) const;
    bool ProfileExists(const std::wstring& name) const;

    // Counts the profiles removed from the document, so that a profile made
    // anew under a removed one's name is told apart from it.
    unsigned long GetRemovedCount() const { return removed; }

    // The document ("ROOT"), or null before Open.
    TarnEngine::XmlNode* GetDocument() const { return document.get(); }
    // The file's full path (engine path), set by Open.
    const std::wstring& GetPath() const { return path; }

    // The file name and that of its backup.
    static const wchar_t* const kFileName;
    static const wchar_t* const kBackupName;

private:
    TarnEngine::SettingsStore* store() const;

    std::unique_ptr<TarnEngine::XmlNode> document;
    std::wstring path;
    std::unique_ptr<GuardedXmlFile> file;
    TarnEngine::SettingsStore* settings = nullptr;
    ProfileChangingHook changingHook;
    ProfileActivatedHook activatedHook;
    NewProfileScreenHook newProfileHook;
    unsigned long removed = 0;
};
