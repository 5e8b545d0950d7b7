#include "remote/RemoteSettings.h"

#include <algorithm>
#include <array>

namespace velora::remote {
namespace {

// One key: a number (number and numberDefault) or a text (text and textDefault).
struct SettingKey
{
    const char* name;
    int RemoteSettings::*number;
    int numberDefault;
    std::string RemoteSettings::*text;
    const char* textDefault;
    SettingRange range; // what the options window accepts
    bool saved;         // false: set by hand in velora.ini only
};

constexpr SettingKey numberKey(const char* name, int RemoteSettings::*field, int defaultValue, SettingRange range = {},
                               bool saved = true)
{
    return {name, field, defaultValue, nullptr, nullptr, range, saved};
}

constexpr SettingKey textKey(const char* name, std::string RemoteSettings::*field, const char* defaultValue,
                             bool saved = true)
{
    return {name, nullptr, 0, field, defaultValue, {}, saved};
}

// In the order the keys are read.
constexpr std::array kKeys{
    numberKey("InitialMode", &RemoteSettings::InitialMode, 0),
    numberKey("AutoInit", &RemoteSettings::AutoInit, 1),
    numberKey("AutoInitTimeout", &RemoteSettings::AutoInitTimeout, 60, {0, 999}),
    textKey("MacroPath", &RemoteSettings::MacroPath, "default.mac"),
    numberKey("ReinitHotKey", &RemoteSettings::ReinitHotKey, 3),
    numberKey("MouseSpeed", &RemoteSettings::MouseSpeed, 4, {1, 100}),
    numberKey("Debug", &RemoteSettings::Debug, 0, {}, false),
    textKey("KeySource", &RemoteSettings::KeySource, "card"),
    textKey("LircSocket", &RemoteSettings::LircSocket, "/run/lirc/lircd"),
    textKey("InputDevice", &RemoteSettings::InputDevice, ""),
    numberKey("RepeatKeys", &RemoteSettings::RepeatKeys, 1, {0, 1}),
    numberKey("Feedback", &RemoteSettings::Feedback, 1, {0, 1}),
    // The options window only shows the back end in use: a choice made in velora.ini stays
    // there, and "Save options..." adds none.
    textKey("Desktop", &RemoteSettings::Desktop, "", false),
};

} // namespace

std::optional<KeySourceKind> keySourceKind(std::string_view text)
{
    for (const KeySourceKind kind : {KeySourceKind::Card, KeySourceKind::Lirc, KeySourceKind::Input}) {
        const std::string_view name = keySourceName(kind);
        if (text.size() == name.size() && std::equal(text.begin(), text.end(), name.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
            })) {
            return kind;
        }
    }
    return std::nullopt;
}

const char* keySourceName(KeySourceKind kind)
{
    switch (kind) {
    case KeySourceKind::Lirc:
        return "lirc";
    case KeySourceKind::Input:
        return "input";
    case KeySourceKind::Card:
        break;
    }
    return "card";
}

SettingRange settingRange(int RemoteSettings::*field)
{
    for (const SettingKey& key : kKeys) {
        if (key.number == field) {
            return key.range;
        }
    }
    return {};
}

RemoteSettings readRemoteSettings(platform::Profile& profile, const std::string& iniPath)
{
    RemoteSettings settings;
    for (const SettingKey& key : kKeys) {
        if (key.number != nullptr) {
            settings.*key.number = profile.readInt(iniPath, kSettingsSection, key.name, key.numberDefault);
        } else {
            settings.*key.text = profile.readString(iniPath, kSettingsSection, key.name, key.textDefault);
        }
    }
    return settings;
}

bool writeRemoteSettings(platform::Profile& profile, const std::string& iniPath, const RemoteSettings& settings)
{
    bool ok = true;
    for (const SettingKey& key : kKeys) {
        if (key.saved && key.number != nullptr) {
            ok = profile.writeInt(iniPath, kSettingsSection, key.name, settings.*key.number) && ok;
        }
    }
    for (const SettingKey& key : kKeys) {
        if (key.saved && key.text != nullptr) {
            ok = profile.writeString(iniPath, kSettingsSection, key.name, settings.*key.text) && ok;
        }
    }
    return ok;
}

} // namespace velora::remote
