#include "remote/RemoteSettings.h"

namespace velora::remote {

RemoteSettings readRemoteSettings(platform::Profile& profile, const std::string& iniPath)
{
    const RemoteSettings defaults;
    RemoteSettings settings;
    settings.InitialMode = profile.readInt(iniPath, kSettingsSection, "InitialMode", defaults.InitialMode);
    settings.AutoInit = profile.readInt(iniPath, kSettingsSection, "AutoInit", defaults.AutoInit);
    settings.AutoInitTimeout = profile.readInt(iniPath, kSettingsSection, "AutoInitTimeout", defaults.AutoInitTimeout);
    settings.MacroPath = profile.readString(iniPath, kSettingsSection, "MacroPath", defaults.MacroPath);
    settings.ReinitHotKey = profile.readInt(iniPath, kSettingsSection, "ReinitHotKey", defaults.ReinitHotKey);
    settings.MouseSpeed = profile.readInt(iniPath, kSettingsSection, "MouseSpeed", defaults.MouseSpeed);
    settings.Debug = profile.readInt(iniPath, kSettingsSection, "Debug", defaults.Debug);
    return settings;
}

bool writeRemoteSettings(platform::Profile& profile, const std::string& iniPath, const RemoteSettings& settings)
{
    bool ok = profile.writeInt(iniPath, kSettingsSection, "InitialMode", settings.InitialMode);
    ok = profile.writeInt(iniPath, kSettingsSection, "AutoInit", settings.AutoInit) && ok;
    ok = profile.writeInt(iniPath, kSettingsSection, "AutoInitTimeout", settings.AutoInitTimeout) && ok;
    ok = profile.writeInt(iniPath, kSettingsSection, "ReinitHotKey", settings.ReinitHotKey) && ok;
    ok = profile.writeInt(iniPath, kSettingsSection, "MouseSpeed", settings.MouseSpeed) && ok;
    ok = profile.writeString(iniPath, kSettingsSection, "MacroPath", settings.MacroPath) && ok;
    return ok;
}

} // namespace velora::remote
