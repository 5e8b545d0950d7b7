#include "tools/velora-card/CardStatus.h"

#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "hw/IrCodes.h"
#include "remote/RemoteKeys.h"

#include <cstdio>
#include <optional>
#include <vector>

#include <time.h>

namespace velora::cardtool {
namespace {

using virtualcard::SignalMode;
using virtualcard::VirtualChip;

std::uint64_t monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void printLine(const char* label, const std::string& text)
{
    std::printf("%-15s%s\n", label, text.c_str());
}

void printChip(const VirtualChip& chip)
{
    const std::uint32_t id = chip.chipId();
    printLine("Chip:", id == 0 ? std::string("none (no card is found)")
                               : chipName(id) + " (PCI " + hex(bt::kPciVendor, 4) + ":" + hex(id, 4) + ")");
}

void printInputAndAudio(const VirtualChip& chip, std::uint32_t gpio)
{
    const std::uint32_t iform = chip.readRegister(bt::IFORM);
    printLine("Video input:", "MUX" + std::to_string(bt::iformMux(iform)) + " (IFORM " + hex(iform, 8) + ")");
    // The shipped card descriptions switch the sound either on GPIO 8 to 11, clear of the
    // remote's byte, or on GPIO 0 to 3, inside it.
    char audio[48];
    std::snprintf(audio, sizeof audio, "GPIO 8-11 0x%X, GPIO 0-3 0x%X", (gpio >> 8) & 0x0F, gpio & 0x0F);
    printLine("Audio bits:", std::string(audio) + " (GPIO_DATA " + hex(gpio, 8) + ")");
}

// Picture levels as the tuner library counts them: brightness 0..255 around a neutral 128,
// contrast and saturation 0..511 with their ninth bits in E_CONTROL.
void printPictureLevels(const VirtualChip& chip)
{
    const std::uint32_t bright = chip.readRegister(bt::BRIGHT);
    printLine("Brightness:", std::to_string(bt::brightnessLevel(bright)) + " of 255 (BRIGHT " + hex(bright, 8) + ")");
    const std::uint32_t econtrol = chip.readRegister(bt::E_CONTROL);
    const std::uint32_t ocontrol = chip.readRegister(bt::O_CONTROL);
    const std::uint32_t contrastLo = chip.readRegister(bt::CONTRAST_LO);
    printLine("Contrast:", std::to_string(bt::ninthBitLevel(contrastLo, econtrol, bt::CONTROL_CON_MSB)) +
                               " of 511 (CONTRAST_LO " + hex(contrastLo, 8) + ")");
    const std::uint32_t satU = chip.readRegister(bt::SAT_U_LO);
    const std::uint32_t satV = chip.readRegister(bt::SAT_V_LO);
    printLine("Saturation:", "U " + std::to_string(bt::ninthBitLevel(satU, econtrol, bt::CONTROL_SAT_U_MSB)) + ", V " +
                                 std::to_string(bt::ninthBitLevel(satV, econtrol, bt::CONTROL_SAT_V_MSB)) +
                                 " of 511 (SAT_U_LO " + hex(satU, 8) + ", SAT_V_LO " + hex(satV, 8) + ")");
    auto bit = [econtrol](std::uint32_t mask) { return std::string((econtrol & mask) ? "1" : "0"); };
    printLine("Ninth bits:", "E_CONTROL " + hex(econtrol, 8) + " (contrast " + bit(bt::CONTROL_CON_MSB) + ", sat U " +
                                 bit(bt::CONTROL_SAT_U_MSB) + ", sat V " + bit(bt::CONTROL_SAT_V_MSB) +
                                 "), O_CONTROL " + hex(ocontrol, 8));
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

void printResolution(const VirtualChip& chip)
{
    auto reg = [&chip](std::uint32_t offset) { return chip.readRegister(offset); };
    const std::uint32_t evscale = reg(bt::E_VSCALE_HI);
    const std::uint32_t ovscale = reg(bt::O_VSCALE_HI);
    printLine("Resolution:", resolutionText(evscale, ovscale));
    printLine("", "E_VSCALE_HI " + hex(evscale, 2) + ", O_VSCALE_HI " + hex(ovscale, 2) + ", E_SCLOOP " +
                      hex(reg(bt::E_SCLOOP), 2) + ", O_SCLOOP " + hex(reg(bt::O_SCLOOP), 2) + ", E_VDELAY_LO " +
                      hex(reg(bt::E_VDELAY_LO), 2) + ", O_VDELAY_LO " + hex(reg(bt::O_VDELAY_LO), 2));
}

void printTuner(const VirtualChip& chip)
{
    const virtualcard::TunerSnapshot tuner = chip.tuner();
    if (!tuner.divider && !tuner.control) {
        printLine("Tuner:", "not programmed");
        return;
    }
    std::string text = tuner.frequencyHz ? virtualcard::frequencyText(*tuner.frequencyHz) + " (divider " +
                                               std::to_string(*tuner.divider) + ")"
                                         : std::string("no frequency yet");
    text += ", I2C address " + hex(tuner.address, 2);
    if (tuner.control) {
        text += ", control " + hex(*tuner.control, 2) + ", band " + hex(*tuner.band, 2);
    }
    printLine("Tuner:", text);
}

void printSignal(const VirtualChip& chip)
{
    const char* mode = "auto (follows the tuned frequency)";
    if (chip.signalMode() == SignalMode::On) {
        mode = "forced on";
    } else if (chip.signalMode() == SignalMode::Off) {
        mode = "forced off";
    }
    printLine("Signal:", std::string(mode) + ": " + (chip.hasSync() ? "locked" : "no sync") + " (DSTATUS " +
                             hex(chip.readRegister(bt::DSTATUS), 2) + ")");
}

void printTransfers(const VirtualChip& chip)
{
    const std::vector<virtualcard::I2cTransfer> transfers = chip.recentTransfers();
    printLine("I2C transfers:",
              transfers.empty() ? std::string("none") : "last " + std::to_string(transfers.size()) + ", oldest first");
    const std::uint64_t now = monotonicMs();
    for (const auto& transfer : transfers) {
        char text[96];
        const std::uint64_t age = now >= transfer.timeMs ? now - transfer.timeMs : 0;
        std::snprintf(text, sizeof text, "%02X %02X %02X  (I2C %s)  %llu.%03llu s ago", bt::i2cAddress(transfer.word),
                      bt::i2cFirstByte(transfer.word), bt::i2cSecondByte(transfer.word), hex(transfer.word, 8).c_str(),
                      static_cast<unsigned long long>(age / 1000), static_cast<unsigned long long>(age % 1000));
        printLine("", text);
    }
}

void printRemote(const VirtualChip& chip, std::uint32_t gpio)
{
    const std::uint32_t low = gpio & bt::GPIO_REMOTE_CODE;
    std::string remote = "GPIO low byte " + hex(low, 2);
    if (const char* key = keyNameOfCode(low)) {
        remote += ": key " + std::string(key);
    } else if (low == bt::GPIO_REMOTE_CODE) {
        remote += ": receiver armed, no key";
    } else if (low == 0x00) {
        remote += ": no key";
    } else {
        remote += ": not a key of the remote";
    }
    const std::optional<std::uint8_t> last = chip.lastRemoteKey();
    remote += last ? "; last press " + hex(*last, 2) : std::string("; no press since reset");
    printLine("Remote:", remote);
}

// Programs that run now: a killed one is not counted.
void printMappers(const virtualcard::CardStateFile& file)
{
    const std::uint32_t mappings = file.liveMappers();
    printLine("Mapped by:", mappings == 0 ? std::string("no program")
                                          : std::to_string(mappings) + (mappings == 1 ? " program" : " programs"));
}

} // namespace

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

const char* keyNameOfCode(std::uint32_t code)
{
    const IrCode* row = findIrCode(code);
    return row != nullptr ? remote::KeyNameTable[row->key] : nullptr;
}

void printStatus(virtualcard::CardStateFile& file)
{
    VirtualChip chip(file.layout());
    printLine("State file:", file.path());
    printChip(chip);
    // One reading for both the audio bits and the remote's byte.
    const std::uint32_t gpio = chip.readRegister(bt::GPIO_DATA);
    printInputAndAudio(chip, gpio);
    printPictureLevels(chip);
    printResolution(chip);
    printTuner(chip);
    printSignal(chip);
    printTransfers(chip);
    printRemote(chip, gpio);
    printMappers(file);
}

} // namespace velora::cardtool
