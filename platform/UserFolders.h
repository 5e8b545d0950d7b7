// Where the suite keeps a user's files.
//
// A suite folder copied anywhere keeps its settings (velora.ini) and logs beside the programs,
// as on the programs' original platform. A suite folder its users cannot write to keeps each
// user's settings and logs in the per-user configuration folder instead. Data folders (tuners,
// cards, channel tables, languages, the default macro file) are read beside the programs.
//
// A system-wide install made by a distribution package is marked by an entry "site" in the
// suite folder: a folder (a link to /etc/velora) with the site's defaults for new users,
// velora.ini, default.mac and fav.dat. Such a suite folder is never written into, whoever runs
// the programs, and each user's files live in the XDG folders:
//   $XDG_CONFIG_HOME/velora   velora.ini and the user's copies of the site's defaults
//   $XDG_STATE_HOME/velora    remote.log
//   $XDG_DATA_HOME/velora     the user's own tuner and card descriptions (Tuners/, Cards/)
//                             and macro files, looked up after the suite folder's
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

// The folder for a program's settings: the per-user configuration folder (created) in a
// system-wide install or when this user cannot write to programFolder, else programFolder.
// Falls back to programFolder when there is no per-user folder either.
std::string settingsFolder(const std::string& programFolder);

// The suite's per-user state folder, $XDG_STATE_HOME/velora (by default
// ~/.local/state/velora), and data folder, $XDG_DATA_HOME/velora (by default
// ~/.local/share/velora); empty without a home. Not created by these calls.
std::string userStateFolder();
std::string userDataFolder();

// Whether programFolder is a system-wide install: it holds the folder "site".
bool isSystemWideInstall(const std::string& programFolder);

// The folder for a program's logs: in a system-wide install the per-user state folder
// (created), else the settings folder.
std::string logFolder(const std::string& programFolder);

// The site's defaults a user starts with, copied into the user's configuration folder.
inline constexpr const char* kSiteDefaults[] = {"velora.ini", "default.mac", "fav.dat"};

// In a system-wide install, copies each of the site's defaults that the user does not have
// yet into the user's configuration folder (created), so that a site's choices reach new
// users and a user's own file is never replaced. Nothing elsewhere. A copy appears whole or
// not at all, also when two programs start at once.
void copySiteDefaults(const std::string& programFolder);

} // namespace velora::platform
