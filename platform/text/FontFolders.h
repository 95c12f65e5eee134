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

// Starts building that configuration on a thread of its own, so that it is
// ready by the time the first font is looked up; SystemFontConfiguration waits
// for it. Without this call the first lookup builds it.
void StartLoadingSystemFonts();

// UTF-8 paths without a trailing separator; empty when fontconfig has none.
// Listed once per process.
const std::vector<std::string>& SystemFontFolders();

// The path of the first file named fileName (a bare name, ASCII case
// ignored) in those folders, in fontconfig's order; empty when none.
std::string FindSystemFontFile(const std::string& fileName);

} // namespace Platform
