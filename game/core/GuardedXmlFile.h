// One document of the player's data in the saved-games folder (the profile
// file), read and written in the engine's protected form so that no save and
// no damage can cost the player what was stored:
// - a save is printed, read back and compared before it may replace the
//   file, goes through a flushed temporary file and a rename, and first keeps
//   the file it replaces as "<name>.bak" (a second link, or a copy, renamed
//   over the old backup), so the file itself is never missing once it exists;
// - a file that does not read is moved aside under a name of its own (never
//   written over) and the backup is read in its place.
#pragma once

#include <memory>
#include <string>

namespace TarnEngine
{
class ByteBuffer;
class SettingsStore;
class XmlNode;
} // namespace TarnEngine

class GuardedXmlFile
{
public:
    enum class Opened
    {
        Missing,    // no file: nothing to read
        Read,       // the file read
        FromBackup, // the file was damaged and set aside; the backup read
        Damaged,    // the file (and its backup) did not read: nothing to read
        NotAFile,   // something other than a file has the name
        NoFolder    // the saved-games folder cannot be had
    };

    GuardedXmlFile(TarnEngine::SettingsStore& store, std::wstring fileName, std::wstring rootName);

    // The document of the file (or its backup), null when there is none;
    // what happened in `opened`. A document whose root is not the expected
    // one counts as damaged.
    std::unique_ptr<TarnEngine::XmlNode> Open(Opened& opened);
    // Writes the document; false (logged) when it did not reach the file,
    // the file then being byte for byte as it was.
    bool Save(const TarnEngine::XmlNode& root);

    // The full path of the file and of its backup (engine paths); empty
    // without a folder.
    const std::wstring& GetPath() const { return path; }
    std::wstring GetBackupPath() const { return path.empty() ? path : path + L".bak"; }

    // Builds the protected image of the document when it reads back as the
    // same tree; false, with nothing built, when it would not.
    static bool ReadsBackAs(const TarnEngine::XmlNode& root, TarnEngine::ByteBuffer& image);
    // Whether two trees hold the same elements, attributes and texts.
    static bool SameTree(const TarnEngine::XmlNode& a, const TarnEngine::XmlNode& b);

private:
    // Reads a file of the folder into a document with the expected root;
    // null when it is missing, unreadable or not such a document.
    std::unique_ptr<TarnEngine::XmlNode> readDocument(const std::wstring& filePath, bool dropTemporary);
    // Gives a damaged file a new name of its own; the name, or empty when
    // it could not be moved.
    std::wstring setAside(const std::wstring& filePath);
    // Keeps the file as its backup without taking it away.
    bool makeBackup(std::wstring& why);

    TarnEngine::SettingsStore& store;
    std::wstring fileName;
    std::wstring rootName;
    std::wstring folder;
    std::wstring path;
    // A damaged file that could not be moved aside is never replaced.
    bool damagedInPlace = false;
};
