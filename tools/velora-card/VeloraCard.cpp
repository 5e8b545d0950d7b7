// velora-card: shows and drives the virtual card that the suite's programs use as their card.
//
// Exit status: 0 on success, 1 when the card's state file cannot be used, 2 for a command
// line it does not understand.
#include "VeloraVersion.h"
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "hw/IrCodes.h"
#include "remote/RemoteKeys.h"
#include "tools/velora-card/CardStatus.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velora::cardtool {
namespace {

using virtualcard::CardStateFile;
using virtualcard::SignalMode;
using virtualcard::VirtualChip;

constexpr int kExitOk = 0;
constexpr int kExitNoCard = 1;
constexpr int kExitUsage = 2;

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

// The key of a name that differs from a key's name only in letter case.
std::optional<remote::RemoteKey> keyByNameIgnoringCase(std::string_view name)
{
    for (remote::RemoteKey key = 0; key < remote::kRemoteKeyCount; ++key) {
        const std::string_view keyName = remote::KeyNameTable[key];
        if (keyName.size() == name.size() && std::equal(name.begin(), name.end(), keyName.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            })) {
            return key;
        }
    }
    return std::nullopt;
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

// Opens the card, makes the change and says what was done; kExitNoCard, with nothing done,
// when the card's state file cannot be used.
int changeCard(const std::function<void(VirtualChip&)>& change, const std::string& done)
{
    auto file = openCard();
    if (!file) {
        return kExitNoCard;
    }
    VirtualChip chip(file->layout());
    change(chip);
    std::printf("%s\n", done.c_str());
    return kExitOk;
}

int commandStatus(const std::string&)
{
    auto file = openCard();
    if (!file) {
        return kExitNoCard;
    }
    printStatus(*file);
    return kExitOk;
}

int commandPress(const std::string& argument)
{
    std::uint8_t code = 0;
    std::string description;
    if (const std::optional<remote::RemoteKey> key = remote::findKeyName(argument)) {
        const IrCode* row = findIrCodeOfKey(*key);
        if (row == nullptr) {
            return usageError(
                "the key " + argument +
                " has no receiver code: the remote's receiver never delivers it, so it cannot be pressed");
        }
        code = static_cast<std::uint8_t>(row->code);
        description = std::string(remote::KeyNameTable[*key]) + " (" + hex(code, 2) + ")";
    } else if (std::optional<std::uint32_t> value = parseCode(argument)) {
        if (*value > 0xFF) {
            return usageError("the code " + argument + " does not fit the receiver's 8 bits (0 to 255)");
        }
        code = static_cast<std::uint8_t>(*value);
        const char* known = keyNameOfCode(code);
        description = "code " + hex(code, 2) +
                      (known ? " (" + std::string(known) + ")" : std::string(" (not a key of the remote)"));
    } else {
        std::string message = "unknown key '" + argument + "'";
        if (const std::optional<remote::RemoteKey> similar = keyByNameIgnoringCase(argument)) {
            message +=
                " (key names are case-sensitive: did you mean " + std::string(remote::KeyNameTable[*similar]) + "?)";
        } else {
            message += " (give a key name such as ChannelUp or a code such as 0x98 or 152)";
        }
        return usageError(message);
    }
    return changeCard([code](VirtualChip& chip) { chip.pressKey(code); }, "Pressed " + description);
}

// The words the signal and chip commands take, and what each stands for.
template <typename Value> using Words = std::initializer_list<std::pair<std::string_view, Value>>;

template <typename Value> std::optional<Value> lookUp(Words<Value> words, std::string_view word)
{
    for (const auto& [name, value] : words) {
        if (name == word) {
            return value;
        }
    }
    return std::nullopt;
}

int commandSignal(const std::string& argument)
{
    const std::optional<SignalMode> mode =
        lookUp<SignalMode>({{"on", SignalMode::On}, {"off", SignalMode::Off}, {"auto", SignalMode::Auto}}, argument);
    if (!mode) {
        return usageError("signal takes on, off or auto, not '" + argument + "'");
    }
    return changeCard([mode](VirtualChip& chip) { chip.setSignalMode(*mode); },
                      "Signal " + (argument == "auto" ? "follows the tuned frequency" : "forced " + argument));
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
    const std::optional<std::uint32_t> id = lookUp<std::uint32_t>(
        {{"350", bt::kBt848}, {"351", bt::kBt849}, {"36e", bt::kBt878}, {"36f", bt::kBt879}, {"none", 0}}, lower);
    if (!id) {
        return usageError("chip takes 350, 351, 36e, 36f or none, not '" + argument + "'");
    }
    return changeCard([id](VirtualChip& chip) { chip.setChipId(*id); },
                      *id == 0 ? std::string("Chip: none (no card is found)")
                               : "Chip: " + chipName(*id) + " (" + hex(*id, 3) + ")");
}

int commandReset(const std::string&)
{
    return changeCard([](VirtualChip& chip) { chip.reset(); },
                      "Card reset: Bt878 with its power-on register values, signal auto, tuner not programmed");
}

// The commands: each takes no argument or one, named in the message when it is missing. A
// command checks its argument before it touches the card, so that a refused command line
// changes nothing.
struct Command
{
    const char* name;
    const char* argument; // null for a command without one
    int (*run)(const std::string& argument);
};

constexpr Command kCommands[] = {
    {"status", nullptr, commandStatus},
    {"press", "a key name or code", commandPress},
    {"signal", "on, off or auto", commandSignal},
    {"chip", "350, 351, 36e, 36f or none", commandChip},
    {"reset", nullptr, commandReset},
};

int run(const std::vector<std::string>& args)
{
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (args[0] == "--version" || args[0] == "-v") {
        std::printf("velora-card %s\n", kSuiteVersion);
        return kExitOk;
    }
    const std::string& name = args[0];
    if (name.size() > 1 && name[0] == '-') {
        return usageError("unknown option '" + name + "'");
    }
    for (const Command& command : kCommands) {
        if (name != command.name) {
            continue;
        }
        const std::size_t wanted = command.argument != nullptr ? 1 : 0;
        if (args.size() - 1 < wanted) {
            return usageError(name + " needs " + command.argument);
        }
        if (args.size() - 1 > wanted) {
            return usageError("too many arguments for " + name);
        }
        return command.run(wanted == 1 ? args[1] : std::string());
    }
    return usageError("unknown command '" + name + "'");
}

} // namespace
} // namespace velora::cardtool

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return velora::cardtool::run(args);
}
