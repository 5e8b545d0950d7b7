// velora-card: shows and drives the virtual card that the suite's programs use as their card.
//
// Exit status: 0 on success, 1 when the card's state file cannot be used, 2 for a command
// line it does not understand.
#include "VeloraVersion.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "remote/RemoteKeys.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <time.h>

namespace {

using velora::virtualcard::CardStateFile;
using velora::virtualcard::SignalMode;
using velora::virtualcard::VirtualChip;
namespace bt = velora::bt;

constexpr int kExitOk = 0;
constexpr int kExitNoCard = 1;
constexpr int kExitUsage = 2;

// The remote's keys: the names that macro files use, and the code that the receiver puts on
// the low byte of GPIO_DATA. "Power" has a name but the receiver never delivers it.
struct RemoteKeyEntry
{
    const char* name;
    std::optional<std::uint8_t> code;
};

const std::vector<RemoteKeyEntry>& remoteKeys()
{
    static const std::vector<RemoteKeyEntry> keys = [] {
        std::vector<RemoteKeyEntry> entries;
        for (velora::remote::RemoteKey key = 0; key < velora::remote::kRemoteKeyCount; ++key) {
            RemoteKeyEntry entry{velora::remote::KeyNameTable[key], std::nullopt};
            for (const velora::remote::IrCode& row : velora::remote::IrCodeTable) {
                if (row.key == key) {
                    entry.code = static_cast<std::uint8_t>(row.code);
                }
            }
            entries.push_back(entry);
        }
        return entries;
    }();
    return keys;
}

const char* const kUsage =
    "usage: velora-card <command>\n"
    "\n"
    "Shows and drives the virtual card that the suite uses when no real card driver is installed.\n"
    "\n"
    "commands:\n"
    "  status                     registers, tuner, signal, recent I2C transfers and the remote's receiver\n"
    "  press <key>                press a remote key: a key name as macro files write it (ChannelUp,\n"
    "                             Down, 5, ...; exact case) or a receiver code (0x98 or 152); names\n"
    "                             come first, so \"7\" is the key 7 and a code 7 is written 0x07\n"
    "  signal on|off|auto         force the video signal on or off, or let the tuned frequency decide\n"
    "  chip 350|351|36e|36f|none  which chip of the family the card carries (none: no card is found)\n"
    "  reset                      the card as after power-on: the chip's reset register values, Bt878,\n"
    "                             signal auto\n"
    "\n"
    "options:\n"
    "  -h, --help                 show this text and exit\n"
    "  -v, --version              show the version and exit\n"
    "\n"
    "The state file is $VELORA_CARD, else $XDG_RUNTIME_DIR/velora-card, else /tmp/velora-card-<uid>.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "velora-card: %s (try 'velora-card --help')\n", message.c_str());
    return kExitUsage;
}

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string chipName(std::uint32_t id)
{
    switch (id) {
    case bt::kBt848:
        return "Bt848";
    case bt::kBt849:
        return "Bt849";
    case bt::kBt878:
        return "Bt878";
    case bt::kBt879:
        return "Bt879";
    default:
        return "";
    }
}

const RemoteKeyEntry* keyByName(std::string_view name)
{
    for (const RemoteKeyEntry& key : remoteKeys()) {
        if (name == key.name) {
            return &key;
        }
    }
    return nullptr;
}

const RemoteKeyEntry* keyByNameIgnoringCase(std::string_view name)
{
    for (const RemoteKeyEntry& key : remoteKeys()) {
        const std::string_view keyName = key.name;
        if (keyName.size() == name.size() && std::equal(name.begin(), name.end(), keyName.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            })) {
            return &key;
        }
    }
    return nullptr;
}

const RemoteKeyEntry* keyByCode(std::uint8_t code)
{
    for (const RemoteKeyEntry& key : remoteKeys()) {
        if (key.code && *key.code == code) {
            return &key;
        }
    }
    return nullptr;
}

// "0x98" (hexadecimal) or "152" (decimal); nothing else, and nothing above 0xFF.
std::optional<std::uint32_t> parseNumber(std::string_view text, int base)
{
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<std::uint32_t> parseCode(std::string_view text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return parseNumber(text.substr(2), 16);
    }
    return parseNumber(text, 10);
}

std::uint64_t monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

std::unique_ptr<CardStateFile> openCard()
{
    const std::string path = CardStateFile::defaultPath();
    std::string error;
    auto file = CardStateFile::open(path, &error);
    if (!file) {
        std::fprintf(stderr, "velora-card: cannot use the card state file: %s\n", error.c_str());
    }
    return file;
}

void printLine(const char* label, const std::string& text)
{
    std::printf("%-15s%s\n", label, text.c_str());
}

std::string resolutionText(std::uint32_t evscale, std::uint32_t ovscale)
{
    const bool even = (evscale & bt::VSCALE_HI_INT) != 0;
    const bool odd = (ovscale & bt::VSCALE_HI_INT) != 0;
    if (even && odd) {
        return "high (interlaced, 576 lines)";
    }
    if (!even && !odd) {
        return "low (non-interlaced, 288 lines)";
    }
    return "mixed (interlace bit set in one field only)";
}

int commandStatus(CardStateFile& file)
{
    VirtualChip chip(file.layout());
    auto reg = [&chip](std::uint32_t offset) { return chip.readRegister(offset); };

    printLine("State file:", file.path());
    const std::uint32_t id = chip.chipId();
    printLine("Chip:", id == 0 ? std::string("none (no card is found)")
                               : chipName(id) + " (PCI " + hex(bt::kPciVendor, 4) + ":" + hex(id, 4) + ")");

    const std::uint32_t iform = reg(bt::IFORM);
    printLine("Video input:", "MUX" + std::to_string(bt::iformMux(iform)) + " (IFORM " + hex(iform, 8) + ")");
    const std::uint32_t gpio = reg(bt::GPIO_DATA);
    // The shipped card descriptions switch the sound either on GPIO 8 to 11, clear of the
    // remote's byte, or on GPIO 0 to 3, inside it.
    char audio[48];
    std::snprintf(audio, sizeof audio, "GPIO 8-11 0x%X, GPIO 0-3 0x%X", (gpio >> 8) & 0x0F, gpio & 0x0F);
    printLine("Audio bits:", std::string(audio) + " (GPIO_DATA " + hex(gpio, 8) + ")");

    // Picture levels as the tuner library counts them: brightness 0..255 around a neutral
    // 128, contrast and saturation 0..511 with their ninth bits in E_CONTROL.
    const std::uint32_t bright = reg(bt::BRIGHT);
    const int brightness = static_cast<int>(static_cast<std::int8_t>(bright & 0xFF)) + 128;
    printLine("Brightness:", std::to_string(brightness) + " of 255 (BRIGHT " + hex(bright, 8) + ")");
    const std::uint32_t econtrol = reg(bt::E_CONTROL);
    const std::uint32_t ocontrol = reg(bt::O_CONTROL);
    const std::uint32_t contrastLo = reg(bt::CONTRAST_LO);
    printLine("Contrast:", std::to_string(contrastLo + ((econtrol & bt::CONTROL_CON_MSB) ? 256 : 0)) +
                               " of 511 (CONTRAST_LO " + hex(contrastLo, 8) + ")");
    const std::uint32_t satU = reg(bt::SAT_U_LO);
    const std::uint32_t satV = reg(bt::SAT_V_LO);
    printLine("Saturation:", "U " + std::to_string(satU + ((econtrol & bt::CONTROL_SAT_U_MSB) ? 256 : 0)) + ", V " +
                                 std::to_string(satV + ((econtrol & bt::CONTROL_SAT_V_MSB) ? 256 : 0)) +
                                 " of 511 (SAT_U_LO " + hex(satU, 8) + ", SAT_V_LO " + hex(satV, 8) + ")");
    auto bit = [econtrol](std::uint32_t mask) { return std::string((econtrol & mask) ? "1" : "0"); };
    printLine("Ninth bits:", "E_CONTROL " + hex(econtrol, 8) + " (contrast " + bit(bt::CONTROL_CON_MSB) + ", sat U " +
                                 bit(bt::CONTROL_SAT_U_MSB) + ", sat V " + bit(bt::CONTROL_SAT_V_MSB) +
                                 "), O_CONTROL " + hex(ocontrol, 8));

    const std::uint32_t evscale = reg(bt::E_VSCALE_HI);
    const std::uint32_t ovscale = reg(bt::O_VSCALE_HI);
    printLine("Resolution:", resolutionText(evscale, ovscale));
    printLine("", "E_VSCALE_HI " + hex(evscale, 2) + ", O_VSCALE_HI " + hex(ovscale, 2) + ", E_SCLOOP " +
                      hex(reg(bt::E_SCLOOP), 2) + ", O_SCLOOP " + hex(reg(bt::O_SCLOOP), 2) + ", E_VDELAY_LO " +
                      hex(reg(bt::E_VDELAY_LO), 2) + ", O_VDELAY_LO " + hex(reg(bt::O_VDELAY_LO), 2));

    const velora::virtualcard::TunerSnapshot tuner = chip.tuner();
    if (!tuner.divider && !tuner.control) {
        printLine("Tuner:", "not programmed");
    } else {
        std::string text = tuner.frequencyHz ? velora::virtualcard::frequencyText(*tuner.frequencyHz) + " (divider " +
                                                   std::to_string(*tuner.divider) + ")"
                                             : std::string("no frequency yet");
        text += ", I2C address " + hex(tuner.address, 2);
        if (tuner.control) {
            text += ", control " + hex(*tuner.control, 2) + ", band " + hex(*tuner.band, 2);
        }
        printLine("Tuner:", text);
    }

    const char* mode = "auto (follows the tuned frequency)";
    if (chip.signalMode() == SignalMode::On) {
        mode = "forced on";
    } else if (chip.signalMode() == SignalMode::Off) {
        mode = "forced off";
    }
    const std::uint32_t dstatus = reg(bt::DSTATUS);
    printLine("Signal:", std::string(mode) + ": " + (chip.hasSync() ? "locked" : "no sync") + " (DSTATUS " +
                             hex(dstatus, 2) + ")");

    const std::vector<velora::virtualcard::I2cTransfer> transfers = chip.recentTransfers();
    printLine("I2C transfers:",
              transfers.empty() ? std::string("none") : "last " + std::to_string(transfers.size()) + ", oldest first");
    const std::uint64_t now = monotonicMs();
    for (const auto& transfer : transfers) {
        char text[96];
        const std::uint64_t age = now >= transfer.timeMs ? now - transfer.timeMs : 0;
        std::snprintf(text, sizeof text, "%02X %02X %02X  (I2C %s)  %llu.%03llu s ago", transfer.word >> 24,
                      (transfer.word >> 16) & 0xFF, (transfer.word >> 8) & 0xFF, hex(transfer.word, 8).c_str(),
                      static_cast<unsigned long long>(age / 1000), static_cast<unsigned long long>(age % 1000));
        printLine("", text);
    }

    const std::uint8_t low = static_cast<std::uint8_t>(gpio & 0xFF);
    std::string remote = "GPIO low byte " + hex(low, 2);
    if (const RemoteKeyEntry* key = keyByCode(low)) {
        remote += ": key " + std::string(key->name);
    } else if (low == 0xFF) {
        remote += ": receiver armed, no key";
    } else if (low == 0x00) {
        remote += ": no key";
    } else {
        remote += ": not a key of the remote";
    }
    const std::optional<std::uint8_t> last = chip.lastRemoteKey();
    remote += last ? "; last press " + hex(*last, 2) : std::string("; no press since reset");
    printLine("Remote:", remote);
    // Programs that run now: a killed one is not counted.
    const std::uint32_t mappings = file.liveMappers();
    printLine("Mapped by:", mappings == 0 ? std::string("no program")
                                          : std::to_string(mappings) + (mappings == 1 ? " program" : " programs"));
    return kExitOk;
}

int commandPress(const std::string& argument)
{
    std::uint8_t code = 0;
    std::string description;
    if (const RemoteKeyEntry* key = keyByName(argument)) {
        if (!key->code) {
            return usageError(
                "the key " + argument +
                " has no receiver code: the remote's receiver never delivers it, so it cannot be pressed");
        }
        code = *key->code;
        description = std::string(key->name) + " (" + hex(code, 2) + ")";
    } else if (std::optional<std::uint32_t> value = parseCode(argument)) {
        if (*value > 0xFF) {
            return usageError("the code " + argument + " does not fit the receiver's 8 bits (0 to 255)");
        }
        code = static_cast<std::uint8_t>(*value);
        const RemoteKeyEntry* known = keyByCode(code);
        description = "code " + hex(code, 2) +
                      (known ? " (" + std::string(known->name) + ")" : std::string(" (not a key of the remote)"));
    } else {
        std::string message = "unknown key '" + argument + "'";
        if (const RemoteKeyEntry* similar = keyByNameIgnoringCase(argument)) {
            message += " (key names are case-sensitive: did you mean " + std::string(similar->name) + "?)";
        } else {
            message += " (give a key name such as ChannelUp or a code such as 0x98 or 152)";
        }
        return usageError(message);
    }

    auto file = openCard();
    if (!file) {
        return kExitNoCard;
    }
    VirtualChip(file->layout()).pressKey(code);
    std::printf("Pressed %s\n", description.c_str());
    return kExitOk;
}

int commandSignal(const std::string& argument)
{
    SignalMode mode;
    if (argument == "on") {
        mode = SignalMode::On;
    } else if (argument == "off") {
        mode = SignalMode::Off;
    } else if (argument == "auto") {
        mode = SignalMode::Auto;
    } else {
        return usageError("signal takes on, off or auto, not '" + argument + "'");
    }
    auto file = openCard();
    if (!file) {
        return kExitNoCard;
    }
    VirtualChip(file->layout()).setSignalMode(mode);
    std::printf("Signal %s\n", argument == "auto" ? "follows the tuned frequency" : ("forced " + argument).c_str());
    return kExitOk;
}

int commandChip(const std::string& argument)
{
    std::string lower;
    for (char c : argument) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower.size() > 2 && lower.compare(0, 2, "0x") == 0) {
        lower.erase(0, 2);
    }
    std::uint32_t id;
    if (lower == "350") {
        id = bt::kBt848;
    } else if (lower == "351") {
        id = bt::kBt849;
    } else if (lower == "36e") {
        id = bt::kBt878;
    } else if (lower == "36f") {
        id = bt::kBt879;
    } else if (lower == "none") {
        id = 0;
    } else {
        return usageError("chip takes 350, 351, 36e, 36f or none, not '" + argument + "'");
    }
    auto file = openCard();
    if (!file) {
        return kExitNoCard;
    }
    VirtualChip(file->layout()).setChipId(id);
    if (id == 0) {
        std::printf("Chip: none (no card is found)\n");
    } else {
        std::printf("Chip: %s (%s)\n", chipName(id).c_str(), hex(id, 3).c_str());
    }
    return kExitOk;
}

int commandReset()
{
    auto file = openCard();
    if (!file) {
        return kExitNoCard;
    }
    VirtualChip(file->layout()).reset();
    std::printf("Card reset: Bt878 with its power-on register values, signal auto, tuner not programmed\n");
    return kExitOk;
}

int run(const std::vector<std::string>& args)
{
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (args[0] == "--version" || args[0] == "-v") {
        std::printf("velora-card %s\n", velora::kSuiteVersion);
        return kExitOk;
    }
    const std::string& command = args[0];
    if (command.size() > 1 && command[0] == '-') {
        return usageError("unknown option '" + command + "'");
    }
    auto expectArguments = [&](std::size_t count, const char* what) -> std::optional<int> {
        if (args.size() - 1 < count) {
            return usageError(command + " needs " + what);
        }
        if (args.size() - 1 > count) {
            return usageError("too many arguments for " + command);
        }
        return std::nullopt;
    };

    if (command == "status") {
        if (auto error = expectArguments(0, "")) {
            return *error;
        }
        auto file = openCard();
        return file ? commandStatus(*file) : kExitNoCard;
    }
    if (command == "press") {
        if (auto error = expectArguments(1, "a key name or code")) {
            return *error;
        }
        return commandPress(args[1]);
    }
    if (command == "signal") {
        if (auto error = expectArguments(1, "on, off or auto")) {
            return *error;
        }
        return commandSignal(args[1]);
    }
    if (command == "chip") {
        if (auto error = expectArguments(1, "350, 351, 36e, 36f or none")) {
            return *error;
        }
        return commandChip(args[1]);
    }
    if (command == "reset") {
        if (auto error = expectArguments(0, "")) {
            return *error;
        }
        return commandReset();
    }
    return usageError("unknown command '" + command + "'");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return run(args);
}
