// The daemon's settings, section "KavoRemote" of velora.ini.
#pragma once

#include <string>

#include "platform/Profile.h"

namespace velora::remote {

inline constexpr const char* kSettingsSection = "KavoRemote";

struct RemoteSettings
{
    int InitialMode = 0;      // 0 keyboard mode, other values mouse mode
    int AutoInit = 1;         // automatic re-arming of the receiver on (non-zero) or off
    int AutoInitTimeout = 60; // its period in seconds
    std::string MacroPath = "default.mac";
    int ReinitHotKey = 3; // 0 none, 1 Ctrl+F10, 2 Ctrl+F11, 3 Ctrl+F12
    int MouseSpeed = 4;   // pixels per key in mouse mode
    int Debug = 0;        // 0 writes remote.log, any other value suppresses it
};

// Reads the seven keys in their order: InitialMode, AutoInit, AutoInitTimeout, MacroPath,
// ReinitHotKey, MouseSpeed, Debug. Missing keys and a missing file give the defaults.
RemoteSettings readRemoteSettings(platform::Profile& profile, const std::string& iniPath);

// Writes every key but Debug, in this order: InitialMode, AutoInit, AutoInitTimeout,
// ReinitHotKey, MouseSpeed, MacroPath. Returns false when a write failed.
bool writeRemoteSettings(platform::Profile& profile, const std::string& iniPath, const RemoteSettings& settings);

} // namespace velora::remote
