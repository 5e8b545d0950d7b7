// What velora-card shows of the virtual card: the status report and the small texts that the
// commands share with it (register values, chip names, remote keys).
#pragma once

#include "drivers/virtualcard/CardStateFile.h"

#include <cstdint>
#include <string>

namespace velora::cardtool {

// "0x" and the value in upper-case hex digits, at least digits of them.
std::string hex(std::uint32_t value, int digits);

// "Bt848" and so on for the four chips of the family; empty for anything else.
std::string chipName(std::uint32_t id);

// The name, as macro files write it, of the remote key that the receiver reports with this
// code; null when no key has that code.
const char* keyNameOfCode(std::uint32_t code);

// Prints the card's state to standard output: chip, input, audio bits, picture levels,
// resolution, tuner, signal, recent I2C transfers, the remote's receiver and the programs
// that map the card.
void printStatus(virtualcard::CardStateFile& file);

} // namespace velora::cardtool
