#include "remote/RemoteKeys.h"

namespace velora::remote {

const char* const KeyNameTable[kRemoteKeyCount] = {
    "Power", "MouseMode", "FullScreen", "ChannelUp", "ChannelDown", "VolumeUp", "VolumeDown", "0",
    "1",     "2",         "3",          "4",         "5",           "6",        "7",          "8",
    "9",     "Cancel",    "Enter",      "Recall",    "AirCable",    "Video",    "Inc",        "Audio",
    "Dec",   "Frame",     "Down",       "Esc",       "TabRight",    "TabLeft",  "Mute",       "AVSource",
};

const char* const MoreKeyNameTable[kMoreKeyCount] = {
    "Up",       "Left",  "Right",     "Ok",     "Back",   "Menu",   "Info",        "Home",
    "Play",     "Pause", "PlayPause", "Stop",   "Record", "Rewind", "FastForward", "Next",
    "Previous", "Red",   "Green",     "Yellow", "Blue",   "Guide",  "PageUp",      "PageDown",
};

const char* keyName(RemoteKey key)
{
    if (key >= 0 && key < kRemoteKeyCount) {
        return KeyNameTable[key];
    }
    if (key >= kRemoteKeyCount && key < kKeyCount) {
        return MoreKeyNameTable[key - kRemoteKeyCount];
    }
    return nullptr;
}

std::optional<RemoteKey> findKeyName(std::string_view name)
{
    for (RemoteKey key = 0; key < kKeyCount; ++key) {
        if (name == keyName(key)) {
            return key;
        }
    }
    return std::nullopt;
}

} // namespace velora::remote
