#include "drivers/pci/SysfsPci.h"

#include "platform/linux/DirectoryWalk.h"
#include "platform/linux/FileIo.h"

#include <cstdio>
#include <cstdlib>

namespace velora::pci {
namespace {

constexpr std::uint32_t kNamesDevice = 0x80000000u;
constexpr std::uint32_t kMaxDomain = 0x7FFFFFu;

std::optional<std::uint32_t> hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint32_t>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<std::uint32_t>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<std::uint32_t>(c - 'A' + 10);
    }
    return std::nullopt;
}

} // namespace

std::optional<DeviceValues> encode(const PciAddress& address)
{
    if (address.domain > kMaxDomain || address.bus > 0xFF || address.device > 0x1F || address.function > 7) {
        return std::nullopt;
    }
    return DeviceValues{kNamesDevice | address.domain << 8 | address.bus, address.device << 3 | address.function};
}

std::optional<PciAddress> decode(DeviceValues values)
{
    if ((values.first & kNamesDevice) == 0 || values.second > 0xFF) {
        return std::nullopt;
    }
    return PciAddress{(values.first & ~kNamesDevice) >> 8, values.first & 0xFF, values.second >> 3, values.second & 7};
}

std::string folderName(const PciAddress& address)
{
    char name[32];
    std::snprintf(name, sizeof name, "%04x:%02x:%02x.%x", address.domain, address.bus, address.device,
                  address.function);
    return name;
}

std::optional<PciAddress> parseFolderName(std::string_view name)
{
    const std::string text(name);
    PciAddress address;
    int consumed = 0;
    // The field widths keep every number within 32 bits.
    if (std::sscanf(text.c_str(), "%8x:%2x:%2x.%1x%n", &address.domain, &address.bus, &address.device,
                    &address.function, &consumed) != 4 ||
        static_cast<std::size_t>(consumed) != text.size() || address.device > 0x1F || address.function > 7) {
        return std::nullopt;
    }
    // Only the kernel's own spelling counts, so that the folder found by discovery is the one
    // that memoryMap builds again from the values.
    if (folderName(address) != text) {
        return std::nullopt;
    }
    return address;
}

std::optional<std::uint32_t> parseId(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    std::uint32_t value = 0;
    std::size_t digits = 0;
    while (digits < text.size()) {
        const auto digit = hexDigit(text[digits]);
        if (!digit) {
            break;
        }
        if (digits == 8) {
            return std::nullopt;
        }
        value = value << 4 | *digit;
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    for (const char c : text.substr(digits)) {
        if (c != '\n' && c != ' ' && c != '\t' && c != '\r') {
            return std::nullopt;
        }
    }
    return value;
}

std::string sysfsRoot()
{
    const char* root = std::getenv("VELORA_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? std::string(root) : std::string("/sys");
}

std::string deviceFolder(const std::string& root, const PciAddress& address)
{
    return root + "/bus/pci/devices/" + folderName(address);
}

std::optional<std::uint32_t> readId(const std::string& folder, const char* file)
{
    // A text as long as the cap is longer than any id file holds.
    constexpr std::size_t kCap = 32;
    const std::optional<std::string> text = posix::readRegularFile(folder + "/" + file, kCap);
    if (!text || text->empty() || text->size() >= kCap) {
        return std::nullopt;
    }
    return parseId(*text);
}

std::optional<PciAddress> findDevice(const std::string& root, std::uint32_t vendor, std::uint32_t device)
{
    const std::string devices = root + "/bus/pci/devices";
    // The folder lists devices in no particular order; the lowest address is taken so that the
    // same card is found every time when several are fitted.
    std::optional<PciAddress> found;
    posix::walkDirectory(devices, [&](const posix::DirectoryEntry& entry) {
        const auto address = parseFolderName(entry.name());
        if (!address || (found && *found < *address)) {
            return true;
        }
        const std::string path = devices + "/" + std::string(entry.name());
        if (readId(path, "vendor") == vendor && readId(path, "device") == device) {
            found = address;
        }
        return true;
    });
    return found;
}

} // namespace velora::pci
