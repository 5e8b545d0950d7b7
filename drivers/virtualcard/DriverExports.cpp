// The six driver functions of libvelorahwio.so over the virtual card.
//
// Discovery looks at the chip selected in the state file at the moment of the call, so that
// "velora-card chip none" takes effect at the next discovery. memoryMap keeps the file
// mapped; map and unmap calls are counted, so that two card objects in one process (the
// library is loaded once per process however often it is opened) do not pull the mapping
// from under each other. Nothing here prints or throws: the caller is a program that must
// not be disturbed by its driver.
#include "hw/DriverApi.h"

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

namespace {

using velora::virtualcard::CardStateFile;
using velora::virtualcard::VirtualChip;

// The values that name the virtual card's device to memoryMap: PCI bus 1, device 8, function 0.
constexpr std::uint32_t kPciBus = 1;
constexpr std::uint32_t kPciDeviceFunction = (8u << 3) | 0u;

// One process's mapping of the card. The process counts among the card's mappers while it
// holds one, so that velora-card can tell whether a program let go of the card (or died).
struct Mapping
{
    explicit Mapping(std::unique_ptr<CardStateFile> stateFile) : file(std::move(stateFile)), chip(file->layout())
    {
        file->markAsMapper();
    }
    std::unique_ptr<CardStateFile> file;
    VirtualChip chip;
};

// Guards opening and closing the mapping; register accesses do not take it.
std::mutex g_mappingMutex;
std::unique_ptr<Mapping> g_mapping;
int g_mapCount = 0;
// The chip that register accesses reach, null while unmapped. Read without the mutex so that
// a register read stays one atomic load away from the shared memory.
std::atomic<VirtualChip*> g_chip{nullptr};

std::unique_ptr<CardStateFile> openStateFile() noexcept
{
    try {
        return CardStateFile::open(CardStateFile::defaultPath());
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<Mapping> openMapping() noexcept
{
    try {
        auto file = openStateFile();
        return file ? std::make_unique<Mapping>(std::move(file)) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace

extern "C" {

int32_t pciGetHardwareResources(uint32_t vendor, uint32_t device, uint32_t* resource1, uint32_t* resource2,
                                uint32_t* resource3)
{
    if (vendor != velora::bt::kPciVendor || !resource1 || !resource2 || !resource3) {
        return 1;
    }
    std::uint32_t selected = 0;
    {
        std::lock_guard<std::mutex> guard(g_mappingMutex);
        if (g_mapping) {
            selected = g_mapping->chip.chipId();
        } else {
            // Not mapped: look at the file and let go of it again, so that a failed discovery
            // leaves nothing mapped behind.
            auto probe = openStateFile();
            if (!probe) {
                return 1;
            }
            selected = VirtualChip(probe->layout()).chipId();
        }
    }
    if (selected == 0 || device != selected) {
        return 1;
    }
    *resource1 = kPciBus;
    *resource2 = kPciDeviceFunction;
    *resource3 = selected;
    return 0;
}

int32_t isDriverOpened(void)
{
    return g_chip.load(std::memory_order_acquire) != nullptr ? 1 : 0;
}

int32_t memoryMap(uint32_t, uint32_t)
{
    std::lock_guard<std::mutex> guard(g_mappingMutex);
    if (!g_mapping) {
        g_mapping = openMapping();
        if (!g_mapping) {
            return 0;
        }
        g_chip.store(&g_mapping->chip, std::memory_order_release);
    }
    ++g_mapCount;
    return 1;
}

int32_t memoryUnmap(uint32_t, uint32_t)
{
    std::lock_guard<std::mutex> guard(g_mappingMutex);
    if (g_mapCount == 0) {
        // Never mapped (or already released): nothing to give back.
        return 1;
    }
    if (--g_mapCount == 0) {
        g_chip.store(nullptr, std::memory_order_release);
        g_mapping.reset();
    }
    return 1;
}

uint32_t memoryRead(uint32_t offset)
{
    const VirtualChip* chip = g_chip.load(std::memory_order_acquire);
    return chip ? chip->readRegister(offset) : 0;
}

int32_t memoryWrite(uint32_t offset, uint32_t value)
{
    VirtualChip* chip = g_chip.load(std::memory_order_acquire);
    if (!chip) {
        return 0;
    }
    chip->writeRegister(offset, value);
    return 1;
}

} // extern "C"
