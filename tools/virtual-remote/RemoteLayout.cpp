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
    KeyGroup group;
};

constexpr KeyGroup kModes = KeyGroup::PowerAndModes;
constexpr KeyGroup kCross = KeyGroup::ChannelAndVolume;
constexpr KeyGroup kDigit = KeyGroup::Digits;
constexpr KeyGroup kOther = KeyGroup::Other;

// One line per row of keys, as they sit on the remote.
// clang-format off
constexpr NamedCell kCells[] = {
                                                                               {"Power", 0, 2, kModes},
    {"MouseMode", 1, 0, kModes},                                               {"FullScreen", 1, 2, kModes},
    // Channel and volume as a cross around Mute, as on the hand-held remote.
                                   {"ChannelUp", 2, 1, kCross},
    {"VolumeDown", 3, 0, kCross},  {"Mute", 3, 1, kCross},                     {"VolumeUp", 3, 2, kCross},
                                   {"ChannelDown", 4, 1, kCross},
    {"1", 5, 0, kDigit},           {"2", 5, 1, kDigit},                        {"3", 5, 2, kDigit},
    {"4", 6, 0, kDigit},           {"5", 6, 1, kDigit},                        {"6", 6, 2, kDigit},
    {"7", 7, 0, kDigit},           {"8", 7, 1, kDigit},                        {"9", 7, 2, kDigit},
    {"Cancel", 8, 0, kOther},      {"0", 8, 1, kDigit},                        {"Enter", 8, 2, kOther},
    {"Recall", 9, 0, kOther},      {"AVSource", 9, 1, kOther},                 {"AirCable", 9, 2, kOther},
    {"Video", 10, 0, kOther},                                                  {"Audio", 10, 2, kOther},
    {"Dec", 11, 0, kOther},                                                    {"Inc", 11, 2, kOther},
    {"Frame", 12, 0, kOther},      {"Down", 12, 1, kOther},                    {"Esc", 12, 2, kOther},
    {"TabLeft", 13, 0, kOther},                                                {"TabRight", 13, 2, kOther},
};
// clang-format on
// The first row of each block after the first.
constexpr int kBlockStarts[] = {2, 5, 9};
static_assert(std::size(kCells) == remote::kRemoteKeyCount, "the virtual remote shows every key of the remote");

} // namespace

std::vector<KeyPlacement> remoteLayout()
{
    std::vector<KeyPlacement> layout;
    layout.reserve(std::size(kCells));
    for (const NamedCell& cell : kCells) {
        if (const std::optional<remote::RemoteKey> key = remote::findKeyName(cell.name)) {
            int block = 0;
            for (const int start : kBlockStarts) {
                block += cell.row >= start ? 1 : 0;
            }
            layout.push_back({*key, cell.row, cell.column, cell.group, block});
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
