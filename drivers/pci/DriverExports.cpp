// The six driver functions of libvelorahwio.so for a real Bt848-family card on Linux.
//
// Discovery reads sysfs (VELORA_SYSFS_ROOT, else /sys) and names the device found with two
// values, encoded as described in SysfsPci.h: the first holds 0x80000000, the PCI domain
// shifted left by 8 and the bus; the second holds the device shifted left by 3 and the
// function. The third value is the PCI device id that matched.
//
// memoryMap maps the first 4 KiB of that device's resource0 (the chip's registers) read-write
// and shared; register accesses are 32-bit volatile loads and stores at a 4-byte aligned byte
// offset inside that window. One mapping is held per process: the suite maps one card.
//
// Nothing here prints, throws or lets a bad argument reach the hardware: the caller is a
// program that must not be disturbed by its driver, and a stray store into a PCI window can
// hang the machine. So every refusal is a failure value (memoryRead gives 0), and only a
// device that still reads as one of the four Bt848-family chips is mapped.
#include "hw/DriverApi.h"

#include "drivers/pci/SysfsPci.h"
#include "hw/BtRegisters.h"
#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <iterator>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

namespace bt = velora::bt;
namespace pci = velora::pci;

constexpr std::int32_t kFound = 0;
constexpr std::int32_t kNotFound = 1;
constexpr std::int32_t kDone = 1;
constexpr std::int32_t kRefused = 0;

// The mapping. Register accesses take the lock shared, mapping and unmapping take it
// exclusively, so that a read on one thread never meets a window that another thread is just
// unmapping. A plain POSIX lock with a static initializer outlives every C++ destructor of the
// library, which the unload hook below relies on.
pthread_rwlock_t g_lock = PTHREAD_RWLOCK_INITIALIZER;
volatile std::uint32_t* g_window = nullptr;
pci::DeviceValues g_mapped;

// Holds g_lock for the life of the object: shared with rdlock, exclusively with wrlock.
template <int (*Take)(pthread_rwlock_t*)> class WindowLock
{
public:
    WindowLock() : m_held(Take(&g_lock) == 0) {}
    ~WindowLock()
    {
        if (m_held) {
            ::pthread_rwlock_unlock(&g_lock);
        }
    }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;
    bool held() const { return m_held; }

private:
    bool m_held;
};

using SharedLock = WindowLock<pthread_rwlock_rdlock>;
using ExclusiveLock = WindowLock<pthread_rwlock_wrlock>;

bool inWindow(std::uint32_t offset)
{
    return offset % 4 == 0 && offset <= bt::kWindowSize - 4;
}

bool isBt8x8(const std::string& folder)
{
    const auto device = pci::readId(folder, "device");
    return pci::readId(folder, "vendor") == bt::kPciVendor && device &&
           std::find(std::begin(bt::kDiscoveryOrder), std::end(bt::kDiscoveryOrder), *device) !=
               std::end(bt::kDiscoveryOrder);
}

// The register window of the device at this address, or null.
volatile std::uint32_t* mapWindow(const pci::PciAddress& address)
{
    const std::string folder = pci::deviceFolder(pci::sysfsRoot(), address);
    if (!isBt8x8(folder)) {
        return nullptr;
    }
    const std::string path = folder + "/resource0";
    // The mapping stays valid without the descriptor, which goes at the end of this function.
    const velora::posix::UniqueFd resource(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!resource.valid()) {
        return nullptr;
    }
    // sysfs gives resource0 the size of the chip's window. A shorter file would raise SIGBUS
    // on the first access past its end, so it is refused here instead.
    struct stat status
    {};
    void* window = MAP_FAILED;
    if (::fstat(resource.get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= off_t{bt::kWindowSize}) {
        window = ::mmap(nullptr, bt::kWindowSize, PROT_READ | PROT_WRITE, MAP_SHARED, resource.get(), 0);
    }
    return window == MAP_FAILED ? nullptr : static_cast<volatile std::uint32_t*>(window);
}

// Called with the lock held exclusively.
void releaseWindow()
{
    if (g_window != nullptr) {
        ::munmap(const_cast<std::uint32_t*>(g_window), bt::kWindowSize);
        g_window = nullptr;
        g_mapped = {};
    }
}

// A library unloaded while still mapped (the tuner library unloads without unmapping) gives the
// window back rather than leaving it behind for the life of the process.
[[gnu::destructor]] void releaseOnUnload()
{
    ExclusiveLock lock;
    if (lock.held()) {
        releaseWindow();
    }
}

} // namespace

extern "C" {

int32_t pciGetHardwareResources(uint32_t vendor, uint32_t device, uint32_t* resource1, uint32_t* resource2,
                                uint32_t* resource3)
{
    if (resource1 == nullptr || resource2 == nullptr || resource3 == nullptr) {
        return kNotFound;
    }
    try {
        const auto address = pci::findDevice(pci::sysfsRoot(), vendor, device);
        const auto values = address ? pci::encode(*address) : std::nullopt;
        if (!values) {
            return kNotFound;
        }
        *resource1 = values->first;
        *resource2 = values->second;
        *resource3 = device;
        return kFound;
    } catch (...) {
        return kNotFound;
    }
}

int32_t isDriverOpened(void)
{
    SharedLock lock;
    return lock.held() && g_window != nullptr ? 1 : 0;
}

int32_t memoryMap(uint32_t resource1, uint32_t resource2)
{
    const auto address = pci::decode({resource1, resource2});
    if (!address) {
        return kRefused;
    }
    ExclusiveLock lock;
    // A second map keeps the first mapping: the registers stay reachable for whoever mapped them.
    if (!lock.held() || g_window != nullptr) {
        return kRefused;
    }
    try {
        g_window = mapWindow(*address);
    } catch (...) {
        g_window = nullptr;
    }
    if (g_window == nullptr) {
        return kRefused;
    }
    g_mapped = {resource1, resource2};
    return kDone;
}

int32_t memoryUnmap(uint32_t resource1, uint32_t resource2)
{
    ExclusiveLock lock;
    if (!lock.held() || g_window == nullptr || !(g_mapped == pci::DeviceValues{resource1, resource2})) {
        return kRefused;
    }
    releaseWindow();
    return kDone;
}

uint32_t memoryRead(uint32_t offset)
{
    if (!inWindow(offset)) {
        return 0;
    }
    SharedLock lock;
    return lock.held() && g_window != nullptr ? g_window[offset / 4] : 0;
}

int32_t memoryWrite(uint32_t offset, uint32_t value)
{
    if (!inWindow(offset)) {
        return kRefused;
    }
    SharedLock lock;
    if (!lock.held() || g_window == nullptr) {
        return kRefused;
    }
    g_window[offset / 4] = value;
    return kDone;
}

} // extern "C"
