// The process's folders as the operating system names them: UTF-8, '/'
// separators, no trailing separator. The engine's path helpers turn these into
// its own form. Known folders follow the XDG base-directory rules: a variable
// that is unset, empty or not absolute is ignored.
#pragma once

#include <string>

namespace Platform
{

std::string CurrentFolder(); // empty on failure
bool SetCurrentFolder(const std::string& folder);
std::string ProgramPath();   // /proc/self/exe; empty on failure
std::string ProgramFolder(); // ProgramPath without its last component

std::string UserProfileFolder();  // $HOME, else the password database
std::string SavedGamesFolder();   // $XDG_DATA_HOME, else ~/.local/share
std::string LocalAppDataFolder(); // $XDG_CONFIG_HOME, else ~/.config

} // namespace Platform
