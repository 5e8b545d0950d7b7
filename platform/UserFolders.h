// Where the suite keeps a user's files.
//
// A suite folder copied anywhere keeps its settings (velora.ini) and logs beside the programs,
// as on the programs' original platform. A system-wide install lives in a folder its users
// cannot write to; there each user's settings and logs live in the per-user configuration
// folder instead. Data folders (tuners, cards, channel tables, languages, the default macro
// file) are always read beside the programs.
#pragma once

#include <string>

namespace velora::platform {

// The suite's per-user configuration folder, $XDG_CONFIG_HOME/velora (by default
// ~/.config/velora); empty when neither the environment nor the user database names a home.
// Not created by this call.
std::string userConfigFolder();

// Creates a folder and the missing folders above it (mode 0700); true when it exists then.
bool makeFolders(const std::string& folder);

// Whether this user may create and replace files in the folder, going by its permission bits
// also for the superuser: a folder marked read-only is not written into.
bool isWritableFolder(const std::string& folder);

// The folder for a program's settings and logs: programFolder when this user can write
// there, else the per-user configuration folder, which is then created. Falls back to
// programFolder when there is no per-user folder either.
std::string settingsFolder(const std::string& programFolder);

} // namespace velora::platform
