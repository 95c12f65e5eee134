// The system's fonts folders, as fontconfig knows them (its configured font
// directories and every folder below them), and the lookup of a font file by
// its bare name there. Content written for a case-blind file system names
// font files in any letter case, so names are matched ignoring ASCII case.
#pragma once

#include <string>
#include <vector>

typedef struct _FcConfig FcConfig;

namespace Platform
{

// The process's one fontconfig configuration with its fonts, built on first
// use: reading the configuration files and caches costs milliseconds, so every
// font lookup shares it. Null when fontconfig cannot start.
FcConfig* SystemFontConfiguration();

// UTF-8 paths without a trailing separator; empty when fontconfig has none.
// Listed once per process.
const std::vector<std::string>& SystemFontFolders();

// The path of the first file named fileName (a bare name, ASCII case
// ignored): first in the folders fontconfig's stock configuration names
// (the XDG data folders' "fonts" and ~/.fonts, and the folders below them,
// breadth first), which needs no fontconfig at all; then in the folders above,
// in fontconfig's order. Empty when none.
std::string FindSystemFontFile(const std::string& fileName);

} // namespace Platform
