// Guarded player-data documents; see GuardedXmlFile.h.
#include "game/core/GuardedXmlFile.h"

#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <vector>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"

using namespace TarnEngine;

namespace
{

enum class Kind
{
    None,
    File,
    Folder,
    Other,
    Unknown
};

// What the name leads to (a link followed: a player may keep the file
// elsewhere), or what has the name itself.
Kind kindOf(const std::wstring& path, bool followLink = true)
{
    struct stat info;
    const std::string system = SettingsFileIo::ToSystemPath(path);
    if ((followLink ? ::stat(system.c_str(), &info) : ::lstat(system.c_str(), &info)) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Kind::None : Kind::Unknown;
    if (S_ISREG(info.st_mode))
        return Kind::File;
    if (S_ISDIR(info.st_mode))
        return Kind::Folder;
    return Kind::Other;
}

void logLine(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

// A name the player can read, with the time it was set aside: the file's
// name, ".damaged-", the date and time, and a count when that is taken.
std::wstring asideName(const std::wstring& filePath, int attempt)
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
    std::wstring name = filePath + L".damaged-";
    for (const char* c = stamp; *c; ++c)
        name += static_cast<wchar_t>(*c);
    if (attempt > 0)
        name += L"-" + std::to_wstring(attempt);
    return name;
}

// Creates, writes, flushes and closes a new file; removes it on failure.
bool writeNewFile(SettingsFileIo& io, const std::wstring& filePath, const uint8_t* data, size_t size,
                  std::wstring& why)
{
    io.Remove(filePath);
    const int file = io.Create(filePath);
    if (file < 0)
    {
        why = L"the temporary file could not be created";
        return false;
    }
    bool ok = io.Write(file, data, size);
    if (!ok)
        why = L"the temporary file could not be written";
    if (ok && !(ok = io.Sync(file)))
        why = L"the temporary file could not be flushed to disk";
    // A close can report a write that failed late.
    if (!io.Close(file) && ok)
    {
        ok = false;
        why = L"the temporary file could not be closed";
    }
    if (!ok)
        io.Remove(filePath);
    return ok;
}

} // namespace

GuardedXmlFile::GuardedXmlFile(SettingsStore& store, std::wstring fileName, std::wstring rootName)
    : store(store), fileName(std::move(fileName)), rootName(std::move(rootName))
{
}

bool GuardedXmlFile::SameTree(const XmlNode& a, const XmlNode& b)
{
    if (!(a.name == std::wstring_view(b.name)) || a.text != b.text || !(a.attributes == b.attributes) ||
        a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.children.size(); ++i)
        if (!SameTree(*a.children[i], *b.children[i]))
            return false;
    return true;
}

bool GuardedXmlFile::ReadsBackAs(const XmlNode& root, ByteBuffer& image)
{
    // The reader takes the deciphered payload as UTF-16 up to its first zero
    // unit, widens it and parses its UTF-8 form. The text is checked through
    // those same steps, which costs far less than deciphering the image
    // again; the image is made from the very text checked.
    const std::wstring text = WriteXmlText(root);
    if (text.find(L'\0') != std::wstring::npos)
        return false;
    const std::vector<uint8_t> units = WStringToUtf16Le(text);
    if (Utf16LeToWString(units.data(), units.size()) != text)
        return false;
    const std::string narrow = WStringToUtf8(text);
    XmlNode back;
    if (!ParseXmlText(back, narrow.c_str(), true) || !SameTree(back, root))
        return false;
    return BuildProtectedXmlText(text, image);
}

std::unique_ptr<XmlNode> GuardedXmlFile::readDocument(const std::wstring& filePath, bool dropTemporary)
{
    std::vector<uint8_t> bytes;
    SettingsFileIo& io = store.Io();
    // What a killed save left behind is never read.
    if (dropTemporary)
        io.Remove(TemporaryName(filePath));
    if (!io.ReadAll(filePath, bytes))
        return nullptr;
    std::unique_ptr<XmlNode> root = ReadProtectedXml(bytes.data(), bytes.size());
    if (!root || !(root->name == std::wstring_view(rootName)))
        return nullptr;
    return root;
}

std::wstring GuardedXmlFile::setAside(const std::wstring& filePath)
{
    SettingsFileIo& io = store.Io();
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::wstring aside = asideName(filePath, attempt);
        if (kindOf(aside, false) != Kind::None)
            continue;
        // A second name first, so that nothing that exists is ever replaced;
        // where links are missing, a rename to the name just found free.
        if (io.Link(filePath, aside))
        {
            if (io.Remove(filePath))
            {
                io.SyncFolder(folder);
                return aside;
            }
            // The file stays where it is; its second name goes again.
            io.Remove(aside);
            break;
        }
        if (kindOf(aside, false) != Kind::None)
            continue;
        if (io.Rename(filePath, aside))
        {
            io.SyncFolder(folder);
            return aside;
        }
        break;
    }
    return std::wstring();
}

std::unique_ptr<XmlNode> GuardedXmlFile::Open(Opened& opened)
{
    damagedInPlace = false;
    if (!store.GetFolder(SettingsStore::SavedGames, true, folder))
    {
        path.clear();
        logLine(L"profile file: the saved-games folder cannot be had; nothing is read or saved");
        opened = Opened::NoFolder;
        return nullptr;
    }
    path = folder + fileName;
    switch (kindOf(path))
    {
    case Kind::None:
        // A player who removed the file keeps that choice: the backup is not
        // brought back.
        opened = Opened::Missing;
        return nullptr;
    case Kind::Folder:
    case Kind::Other:
        logLine(L"profile file: \"" + path + L"\" is not a file; it is left alone and nothing can be saved");
        opened = Opened::NotAFile;
        return nullptr;
    default:
        break;
    }
    if (std::unique_ptr<XmlNode> root = readDocument(path, true))
    {
        opened = Opened::Read;
        return root;
    }

    const std::wstring aside = setAside(path);
    if (aside.empty())
    {
        damagedInPlace = true;
        logLine(L"profile file: \"" + path +
                L"\" does not read and could not be set aside; it is not saved over");
    }
    else
        logLine(L"profile file: \"" + path + L"\" does not read; set aside as \"" + aside + L"\"");

    const std::wstring backup = GetBackupPath();
    if (kindOf(backup) == Kind::File)
    {
        if (std::unique_ptr<XmlNode> root = readDocument(backup, true))
        {
            logLine(L"profile file: read the backup \"" + backup + L"\" in its place");
            opened = Opened::FromBackup;
            return root;
        }
        const std::wstring backupAside = setAside(backup);
        logLine(L"profile file: the backup \"" + backup + L"\" does not read either" +
                (backupAside.empty() ? std::wstring() : L"; set aside as \"" + backupAside + L"\"") +
                L"; starting without profiles");
    }
    else
        logLine(L"profile file: there is no backup; starting without profiles");
    opened = Opened::Damaged;
    return nullptr;
}

bool GuardedXmlFile::makeBackup(std::wstring& why)
{
    SettingsFileIo& io = store.Io();
    const std::wstring backup = GetBackupPath();
    const std::wstring temporary = TemporaryName(backup);
    io.Remove(temporary);
    // A second name of the file costs nothing and leaves it where it is; a
    // copy where the file system has no links.
    if (!io.Link(path, temporary))
    {
        std::vector<uint8_t> bytes;
        if (!io.ReadAll(path, bytes))
        {
            why = L"the file it replaces could not be read for its backup";
            return false;
        }
        if (!writeNewFile(io, temporary, bytes.data(), bytes.size(), why))
        {
            why = L"the backup could not be made: " + why;
            return false;
        }
    }
    if (!io.Rename(temporary, backup))
    {
        io.Remove(temporary);
        why = L"the backup could not be put in place";
        return false;
    }
    return true;
}

bool GuardedXmlFile::Save(const XmlNode& root)
{
    std::wstring why;
    const std::wstring temporary = TemporaryName(path);
    SettingsFileIo& io = store.Io();
    ByteBuffer image;
    bool ok = true;
    if (path.empty())
    {
        why = L"the saved-games folder cannot be had";
        ok = false;
    }
    else if (damagedInPlace)
    {
        // The damaged file goes aside before anything replaces it.
        const std::wstring aside = setAside(path);
        if (aside.empty())
        {
            why = L"the damaged file there could not be set aside";
            ok = false;
        }
        else
        {
            damagedInPlace = false;
            logLine(L"profile file: the damaged \"" + path + L"\" is now set aside as \"" + aside + L"\"");
        }
    }
    // What the file would hold must read back as the document: a text the
    // file cannot carry, or a fault of the printer, must not cost the file.
    if (ok && !(ok = ReadsBackAs(root, image)))
        why = L"the document would not read back the same (a text the file cannot hold)";
    ok = ok && writeNewFile(io, temporary, image.GetData(), image.GetSize(), why);
    if (ok)
    {
        std::vector<uint8_t> written;
        if (!io.ReadAll(temporary, written) || written.size() != image.GetSize() ||
            !std::equal(written.begin(), written.end(), image.GetData()))
        {
            io.Remove(temporary);
            why = L"the written file did not read back the same";
            ok = false;
        }
    }
    const bool backedUp = ok && kindOf(path) == Kind::File;
    if (backedUp)
    {
        ok = makeBackup(why);
        // The backup is on disk before the file it keeps is replaced.
        if (ok && !io.SyncFolder(folder))
        {
            why = L"the folder could not be flushed to disk";
            ok = false;
        }
        if (!ok)
            io.Remove(temporary);
    }
    if (ok && !io.Rename(temporary, path))
    {
        io.Remove(temporary);
        why = L"the file could not be replaced";
        ok = false;
    }
    if (!ok)
    {
        ReportProblem(LogGame, __FILE__, __LINE__,
                      L"profile file \"" + (path.empty() ? fileName : path) + L"\" not saved: " + why +
                          L"; the file stays as it was");
        return false;
    }
    // The new file is complete and in place; the flush makes the rename
    // survive a power cut. Its failure cannot undo the save.
    if (!io.SyncFolder(folder))
        logLine(L"profile file: saved, but the folder could not be flushed to disk" +
                (backedUp ? L"; the previous file is kept as \"" + GetBackupPath() + L"\"" : std::wstring()));
    return true;
}
