#include "hw/CaptureCard.h"

#include "hw/BtRegisters.h"

namespace velora {
CaptureCard::CaptureCard(platform::LibraryLoader& loader, platform::Clock& clock, CardRelease release)
    : m_loader(loader), m_clock(clock), m_release(release)
{
    if (!bindDriver()) {
        notFound = 1;
        return;
    }
    bool discovered = false;
    for (const std::uint32_t device : bt::kDiscoveryOrder) {
        if (pciGetHardwareResources(bt::kPciVendor, device, &hwResource1, &hwResource2, &hwResource3) == 0) {
            discovered = true;
            break;
        }
    }
    if (!discovered) {
        notFound = 1;
        return;
    }
    // The map call's result is not looked at: from here on the card counts as found.
    memoryMap(hwResource1, hwResource2);
}

bool CaptureCard::bindDriver()
{
    driverModule = m_loader.load(kDriverLibraryName);
    if (driverModule == nullptr) {
        return false;
    }
    // Resolved in this order, all six by name; isDriverOpened must be there although it is
    // never called. A library that lacks one stays loaded until the object goes.
    platform::resolveInto(m_loader, driverModule, "pciGetHardwareResources", pciGetHardwareResources);
    platform::resolveInto(m_loader, driverModule, "isDriverOpened", isDriverOpened);
    platform::resolveInto(m_loader, driverModule, "memoryUnmap", memoryUnmap);
    platform::resolveInto(m_loader, driverModule, "memoryRead", memoryRead);
    platform::resolveInto(m_loader, driverModule, "memoryWrite", memoryWrite);
    platform::resolveInto(m_loader, driverModule, "memoryMap", memoryMap);
    return pciGetHardwareResources != nullptr && isDriverOpened != nullptr && memoryUnmap != nullptr &&
           memoryRead != nullptr && memoryWrite != nullptr && memoryMap != nullptr;
}

CaptureCard::~CaptureCard()
{
    // The daemon's variant unmaps whenever the entry point resolved and discovery stored a
    // first value, found or not; the driver has to cope with values it never mapped.
    if (m_release == CardRelease::UnmapThenUnload && memoryUnmap != nullptr && hwResource1 != 0) {
        memoryUnmap(hwResource1, hwResource2);
    }
    if (driverModule != nullptr) {
        m_loader.unload(driverModule);
    }
}

bool CaptureCard::ReadRegister(std::uint32_t offset, std::uint32_t& value)
{
    if (notFound != 0) {
        return false;
    }
    value = memoryRead(offset);
    return true;
}

bool CaptureCard::WriteRegister(std::uint32_t offset, std::uint32_t value)
{
    if (notFound != 0) {
        return false;
    }
    memoryWrite(offset, value);
    return true;
}

bool CaptureCard::WriteI2C(std::uint32_t address, std::uint32_t data)
{
    WriteRegister(bt::INT_STAT, bt::INT_STAT_I2CDONE);
    WriteRegister(bt::I2C, bt::i2cWriteWord(address, data));
    m_clock.sleep(50);
    return true;
}

} // namespace velora
