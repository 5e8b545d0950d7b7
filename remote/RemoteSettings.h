// The daemon's settings, section "KavoRemote" of velora.ini.
//
// Each key is one row of a table (RemoteSettings.cpp): its name, the field it fills, its
// default and the values the options window accepts for it. The reading, the writing and the
// options window's checks and arrows all go through that table, so a new key is one row
// there and one field here.
#pragma once

#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Profile.h"

namespace velora::remote {

inline constexpr const char* kSettingsSection = "KavoRemote";

// The fields are filled from the table; a RemoteSettings made by hand has every number 0 and
// no macro path until it is read.
struct RemoteSettings
{
    int InitialMode = 0;     // 0 keyboard mode, other values mouse mode
    int AutoInit = 0;        // automatic re-arming of the receiver on (non-zero) or off
    int AutoInitTimeout = 0; // its period in seconds
    std::string MacroPath;
    int ReinitHotKey = 0;    // 0 none, 1 Ctrl+F10, 2 Ctrl+F11, 3 Ctrl+F12
    int MouseSpeed = 0;      // pixels per key in mouse mode
    int Debug = 0;           // 0 writes remote.log, any other value suppresses it
    std::string KeySource;   // "card", "lirc" or "input": where the keys come from
    std::string LircSocket;  // lircd's socket, for "lirc"
    std::string InputDevice; // the input device for "input"; empty: the first receiver's
    int RepeatKeys = 0;      // 1 repeats a held key's macro (LIRC, input devices), 0 not
    int Feedback = 0;        // 1 shows each remote key and what it did on the screen, 0 not
    std::string Desktop;     // "x11", "wayland" or "uinput": what keys are sent through; empty:
                             // chosen by the session (remote/DesktopChoice.h)
};

// The key sources that KeySource names, in the order of the options window's list.
enum class KeySourceKind {
    Card,
    Lirc,
    Input,
};

// The source a KeySource text names: "card", "lirc" or "input", in any letter case; nothing
// for any other text.
std::optional<KeySourceKind> keySourceKind(std::string_view text);
// The text a source is saved as.
const char* keySourceName(KeySourceKind kind);

// The values a number key may take when the options window hands it in.
struct SettingRange
{
    int minimum = INT_MIN;
    int maximum = INT_MAX;

    constexpr bool contains(int value) const { return value >= minimum && value <= maximum; }
};

// The range of a number key (every int for a key the options window does not check).
SettingRange settingRange(int RemoteSettings::*field);

// Reads every key in the table's order: InitialMode, AutoInit, AutoInitTimeout, MacroPath,
// ReinitHotKey, MouseSpeed, Debug, KeySource, LircSocket, InputDevice, RepeatKeys, Feedback,
// Desktop. Missing keys and a missing file give the defaults.
RemoteSettings readRemoteSettings(platform::Profile& profile, const std::string& iniPath);

// Writes the number keys in the table's order, then the text keys, leaving out the ones that
// are only read (Debug, Desktop: set by hand): InitialMode, AutoInit, AutoInitTimeout,
// ReinitHotKey, MouseSpeed, RepeatKeys, Feedback, MacroPath, KeySource, LircSocket,
// InputDevice. Returns false when a write failed.
bool writeRemoteSettings(platform::Profile& profile, const std::string& iniPath, const RemoteSettings& settings);

} // namespace velora::remote
