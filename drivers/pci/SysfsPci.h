// Finding PCI devices through sysfs, and the two 32-bit values that name one of them to the
// suite.
//
// The kernel lists every PCI function as a folder <root>/bus/pci/devices/DDDD:BB:dd.f (domain,
// bus, device and function in lower-case hexadecimal) holding the text files "vendor" and
// "device" ("0x109e\n") and the register window of each base address as resource0, resource1...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velora::pci {

struct PciAddress
{
    std::uint32_t domain = 0;
    std::uint32_t bus = 0;      // 0 to 0xFF
    std::uint32_t device = 0;   // 0 to 0x1F
    std::uint32_t function = 0; // 0 to 7

    friend bool operator==(const PciAddress&, const PciAddress&) = default;
    friend auto operator<=>(const PciAddress&, const PciAddress&) = default;
};

// The values handed to the suite by discovery, and back to memoryMap and memoryUnmap:
//   first  = 0x80000000 | domain << 8 | bus
//   second = device << 3 | function   (the PCI "devfn" byte)
// Bit 31 of the first value marks it as naming a device, so that it is never 0 even for bus 0
// of domain 0: the remote daemon hands a first value of 0 back to nobody, and would then never
// let go of the mapping. Domains up to 0x7FFFFF fit.
struct DeviceValues
{
    std::uint32_t first = 0;
    std::uint32_t second = 0;

    friend bool operator==(const DeviceValues&, const DeviceValues&) = default;
};

// The values for an address; none when its domain is too large to encode.
std::optional<DeviceValues> encode(const PciAddress& address);

// The address that two values name; none when they name no address.
std::optional<PciAddress> decode(DeviceValues values);

// The sysfs folder name of an address, as the kernel writes it ("0000:01:08.0").
std::string folderName(const PciAddress& address);

// The address of a sysfs folder name; none unless the name is exactly as the kernel writes it.
std::optional<PciAddress> parseFolderName(std::string_view name);

// The number in an id file's text: optional "0x" or "0X", hexadecimal digits of either case,
// then nothing but white space (sysfs ends the line with a newline).
std::optional<std::uint32_t> parseId(std::string_view text);

// The sysfs root: $VELORA_SYSFS_ROOT when set and not empty, else "/sys".
std::string sysfsRoot();

// <root>/bus/pci/devices/<folder name>.
std::string deviceFolder(const std::string& root, const PciAddress& address);

// The number in <folder>/<file> ("vendor" or "device"); none when unreadable or malformed.
std::optional<std::uint32_t> readId(const std::string& folder, const char* file);

// The lowest address among the devices below root whose vendor and device ids are these; none
// when no device has them or the folder cannot be read.
std::optional<PciAddress> findDevice(const std::string& root, std::uint32_t vendor, std::uint32_t device);

} // namespace velora::pci
