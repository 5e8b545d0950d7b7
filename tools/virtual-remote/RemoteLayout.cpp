#include "tools/virtual-remote/RemoteLayout.h"

#include "hw/IrCodes.h"

#include <iterator>

namespace velora::vremote {

namespace {

// The keys by the names macro files use; an empty cell is simply not listed.
struct NamedCell
{
    const char* name;
    int row;
    int column;
};

// One line per row of keys, as they sit on the remote.
// clang-format off
constexpr NamedCell kCells[] = {
                                                              {"Power", 0, 2},
    {"MouseMode", 1, 0},                                      {"FullScreen", 1, 2},
    // Channel and volume as a cross around Mute, as on the hand-held remote.
                           {"ChannelUp", 2, 1},
    {"VolumeDown", 3, 0},  {"Mute", 3, 1},                    {"VolumeUp", 3, 2},
                           {"ChannelDown", 4, 1},
    {"1", 5, 0},           {"2", 5, 1},                       {"3", 5, 2},
    {"4", 6, 0},           {"5", 6, 1},                       {"6", 6, 2},
    {"7", 7, 0},           {"8", 7, 1},                       {"9", 7, 2},
    {"Cancel", 8, 0},      {"0", 8, 1},                       {"Enter", 8, 2},
    {"Recall", 9, 0},      {"AVSource", 9, 1},                {"AirCable", 9, 2},
    {"Video", 10, 0},                                         {"Audio", 10, 2},
    {"Dec", 11, 0},                                           {"Inc", 11, 2},
    {"Frame", 12, 0},      {"Down", 12, 1},                   {"Esc", 12, 2},
    {"TabLeft", 13, 0},                                       {"TabRight", 13, 2},
};
// clang-format on
static_assert(std::size(kCells) == remote::kRemoteKeyCount, "the virtual remote shows every key of the remote");

} // namespace

std::vector<KeyPlacement> remoteLayout()
{
    std::vector<KeyPlacement> layout;
    layout.reserve(std::size(kCells));
    for (const NamedCell& cell : kCells) {
        if (const std::optional<remote::RemoteKey> key = remote::findKeyName(cell.name)) {
            layout.push_back({*key, cell.row, cell.column});
        }
    }
    return layout;
}

std::optional<std::uint8_t> receiverCode(remote::RemoteKey key)
{
    for (const IrCode& row : IrCodeTable) {
        if (row.key == key) {
            return static_cast<std::uint8_t>(row.code);
        }
    }
    return std::nullopt;
}

} // namespace velora::vremote
