// Paths of the engine and of the player: the current folder and the program's path, the per-user
// saved-games and local-data folders of the game (made on demand, with fallbacks beside the program),
// the fonts folder, folder chains, joining and resolving relative paths, splitting a path, a wildcard
// matcher and the check that keeps settings-file names inside their folder.
//
// Engine paths use the backslash as separator (most functions also take '/' and turn it into '\');
// folder texts of the user-folder functions end with a backslash. A path is absolute when it holds a
// drive colon or begins with a separator. The operating system sees '/' separators, and a path that
// does not exist with its exact spelling is looked up again ignoring letter case, component by
// component, because content is written for a case-blind file system (ToOsPath).
//
// Failures are empty strings or false; nothing here logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace TarnEngine
{

// Shell folder numbers the engine asks for.
inline constexpr int kShellFolderFonts = 0x14;
inline constexpr int kShellFolderLocalAppData = 0x1C;
inline constexpr int kShellFolderProfile = 0x28;

std::wstring GetCurrentFolder();
// Full path of the program file; empty when it cannot be told.
std::wstring GetModulePath();

bool HasColon(const std::wstring& path);
// A drive colon anywhere, or a leading separator.
bool IsAbsolutePath(const std::wstring& path);
// A bare file name that stays inside the folder it is joined to: not empty, no ':', no separator, no
// leading '.' and no "..".
bool IsPlainRelativeName(const std::wstring& name);

// Position of the last component, or npos when the path has none (it is empty, ends with a separator,
// or its last part is "." or ".."). The server and share of a network path are never components.
size_t FindFileNamePart(const std::wstring& path);
// The text before the last component; the whole path when there is none.
std::wstring GetFolderPart(const std::wstring& path);
// The text before the last '.'; the whole name when it has none.
std::wstring RemoveExtension(const std::wstring& fileName);
// Goes to the parent folder; a trailing backslash stays.
void RemoveLastPathPart(std::wstring& path);
// Joins with exactly the one backslash that is missing.
void AppendPathPart(std::wstring& path, const std::wstring& part);
// base joined with each part of relative in turn; "." and empty parts are skipped, ".." goes up.
std::wstring ResolvePath(const std::wstring& base, const std::wstring& relative);
std::wstring ResolveFromCurrentFolder(const std::wstring& relative);

// Makes every folder of the path that ends before a separator (so a folder text needs its trailing
// backslash for its last folder to be made). False when a folder cannot be made, something that is
// not a folder stands in the way, or a prefix is longer than the system takes.
bool CreateFolderChain(const std::wstring& path);
// create: CreateFolderChain; otherwise whether the folder exists and is one.
bool EnsureFolder(const std::wstring& folder, bool create);

// A shell folder by number (without a trailing backslash), made first when create is set; empty when
// the number is unknown or the folder cannot be had.
std::wstring GetSpecialFolder(int shellFolder, bool create);
// special folder + subPath + application name + "\", or fallback when the special folder is not
// there; empty when the folder cannot be had (or made, with create).
std::wstring GetUserFolder(bool create, int shellFolder, const std::wstring& subPath,
                           const std::wstring& fallback);
std::wstring GetSavedGamesFolder(bool create);
std::wstring GetLocalDataFolder(bool create);
std::wstring GetFontsFolder();

// '?' is any one character, '*' any run (including separators); an empty pattern matches anything.
// Runs in time proportional to text times pattern at worst.
bool WildcardMatch(const std::wstring& text, const std::wstring& pattern, bool caseSensitive);

// The operating system's spelling of an engine path (UTF-8, '/' separators). When the path does not
// exist as spelled, each component that is missing is replaced by an entry of its folder with the
// same name ignoring case; components that match nothing are kept as given.
std::string ToOsPath(const std::wstring& path);
// The engine's spelling of an operating-system path.
std::wstring FromOsPath(const std::string& path);

// The application name the user folders are named after. The running engine provides it; until it
// does, the user-folder functions that need the name give an empty result.
using ApplicationNameProvider = std::wstring (*)();
void SetApplicationNameProvider(ApplicationNameProvider provider);

} // namespace TarnEngine
