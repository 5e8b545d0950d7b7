#include "remote/RemoteKeys.h"

namespace velora::remote {

const char* const KeyNameTable[kRemoteKeyCount] = {
    "Power", "MouseMode", "FullScreen", "ChannelUp", "ChannelDown", "VolumeUp", "VolumeDown", "0",
    "1",     "2",         "3",          "4",         "5",           "6",        "7",          "8",
    "9",     "Cancel",    "Enter",      "Recall",    "AirCable",    "Video",    "Inc",        "Audio",
    "Dec",   "Frame",     "Down",       "Esc",       "TabRight",    "TabLeft",  "Mute",       "AVSource",
};

std::optional<RemoteKey> findKeyName(std::string_view name)
{
    for (RemoteKey key = 0; key < kRemoteKeyCount; ++key) {
        if (name == KeyNameTable[key]) {
            return key;
        }
    }
    return std::nullopt;
}

} // namespace velora::remote
