#include "remote/KernelKeys.h"

#include <iterator>

namespace velora::remote {

using namespace keys;

// Where a remote has a key of the card's remote, it lands there, so that macro files written
// for that remote serve every remote: OK and Enter on Enter, Back on Cancel, Exit on Esc.
const KernelKey KernelKeyTable[] = {
    {"KEY_POWER", 116, Power},
    {"KEY_POWER2", 356, Power},
    {"KEY_MODE", 373, MouseMode},
    {"KEY_ZOOM", 372, FullScreen},
    {"KEY_CHANNELUP", 402, ChannelUp},
    {"KEY_CHANNELDOWN", 403, ChannelDown},
    {"KEY_VOLUMEUP", 115, VolumeUp},
    {"KEY_VOLUMEDOWN", 114, VolumeDown},
    {"KEY_0", 11, Digit0},
    {"KEY_1", 2, Digit1 + 0},
    {"KEY_2", 3, Digit1 + 1},
    {"KEY_3", 4, Digit1 + 2},
    {"KEY_4", 5, Digit1 + 3},
    {"KEY_5", 6, Digit1 + 4},
    {"KEY_6", 7, Digit1 + 5},
    {"KEY_7", 8, Digit1 + 6},
    {"KEY_8", 9, Digit1 + 7},
    {"KEY_9", 10, Digit1 + 8},
    {"KEY_NUMERIC_0", 0x200, Digit0},
    {"KEY_NUMERIC_1", 0x201, Digit1 + 0},
    {"KEY_NUMERIC_2", 0x202, Digit1 + 1},
    {"KEY_NUMERIC_3", 0x203, Digit1 + 2},
    {"KEY_NUMERIC_4", 0x204, Digit1 + 3},
    {"KEY_NUMERIC_5", 0x205, Digit1 + 4},
    {"KEY_NUMERIC_6", 0x206, Digit1 + 5},
    {"KEY_NUMERIC_7", 0x207, Digit1 + 6},
    {"KEY_NUMERIC_8", 0x208, Digit1 + 7},
    {"KEY_NUMERIC_9", 0x209, Digit1 + 8},
    {"KEY_BACK", 158, Cancel},
    {"KEY_CANCEL", 223, Cancel},
    {"KEY_OK", 352, Enter},
    {"KEY_ENTER", 28, Enter},
    {"KEY_KPENTER", 96, Enter},
    {"KEY_LAST", 405, Recall},
    {"KEY_TUNER", 386, AirCable},
    {"KEY_VIDEO", 393, Video},
    {"KEY_KPPLUS", 78, Inc},
    {"KEY_AUDIO", 392, Audio},
    {"KEY_KPMINUS", 74, Dec},
    {"KEY_SCREEN", 375, Frame},
    {"KEY_DOWN", 108, Down},
    {"KEY_EXIT", 174, Esc},
    {"KEY_ESC", 1, Esc},
    {"KEY_TAB", 15, TabRight},
    {"KEY_NEXT", 407, TabRight},
    {"KEY_PREVIOUS", 412, TabLeft},
    {"KEY_MUTE", 113, Mute},
    {"KEY_AUX", 390, AVSource},
    {"KEY_UP", 103, Up},
    {"KEY_LEFT", 105, Left},
    {"KEY_RIGHT", 106, Right},
    {"KEY_SELECT", 353, Ok},
    {"KEY_BACKSPACE", 14, Back},
    {"KEY_MENU", 139, Menu},
    {"KEY_INFO", 358, Info},
    {"KEY_HOME", 102, Home},
    {"KEY_HOMEPAGE", 172, Home},
    {"KEY_PLAY", 207, Play},
    {"KEY_PLAYCD", 200, Play},
    {"KEY_PAUSE", 119, Pause},
    {"KEY_PAUSECD", 201, Pause},
    {"KEY_PLAYPAUSE", 164, PlayPause},
    {"KEY_STOP", 128, Stop},
    {"KEY_STOPCD", 166, Stop},
    {"KEY_RECORD", 167, Record},
    {"KEY_REWIND", 168, Rewind},
    {"KEY_FASTFORWARD", 208, FastForward},
    {"KEY_NEXTSONG", 163, Next},
    {"KEY_PREVIOUSSONG", 165, Previous},
    {"KEY_RED", 398, Red},
    {"KEY_GREEN", 399, Green},
    {"KEY_YELLOW", 400, Yellow},
    {"KEY_BLUE", 401, Blue},
    {"KEY_EPG", 365, Guide},
    {"KEY_PROGRAM", 362, Guide},
    {"KEY_PAGEUP", 104, PageUp},
    {"KEY_PAGEDOWN", 109, PageDown},
};

const int kKernelKeyCount = static_cast<int>(std::size(KernelKeyTable));

std::optional<RemoteKey> findKernelKeyCode(int code)
{
    for (const KernelKey& row : KernelKeyTable) {
        if (row.code == code) {
            return row.key;
        }
    }
    return std::nullopt;
}

std::optional<RemoteKey> findButtonName(std::string_view name)
{
    for (const KernelKey& row : KernelKeyTable) {
        if (name == row.name) {
            return row.key;
        }
    }
    return findKeyName(name);
}

} // namespace velora::remote
