// The PCI driver library against a fake sysfs tree: loaded by dlopen as the suite loads it, and
// under velora-tune and KavoRemote as built, unchanged, with its folder first in LD_LIBRARY_PATH.
#include "hw/BtRegisters.h"
#include "hw/DriverApi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace bt = velora::bt;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Words = std::vector<std::uint32_t>;

// The card sits at 0001:02:0a.0, named by domain 1 and bus 2, device 0x0a and function 0.
constexpr const char* kCard = "0001:02:0a.0";
constexpr std::uint32_t kCardFirst = 0x80000102;
constexpr std::uint32_t kCardSecond = 0x0a << 3;

// bus/pci/devices/<address>/ with the id files as sysfs writes them and a regular 4 KiB file
// standing for the registers: a host bridge, a network chip, and a Bt878 card with its video
// function (ids in upper case) and its audio function (lower case).
class FakeSysfs
{
public:
    FakeSysfs()
    {
        std::string pattern = (fs::temp_directory_path() / "velora-sysfs-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data()) != nullptr ? pattern : "/nonexistent";
        for (const auto& [address, vendor, device] : {std::tuple{"0000:00:00.0", "0x8086\n", "0x1237\n"},
                                                      {"0000:00:1f.3", "0x10ec\n", "0x8139\n"},
                                                      {kCard, "0x109E\n", "0x036E\n"},
                                                      {"0001:02:0a.1", "0x109e\n", "0x0878\n"}}) {
            const fs::path folder = m_root / "bus/pci/devices" / address;
            fs::create_directories(folder);
            std::ofstream(folder / "vendor") << vendor;
            std::ofstream(folder / "device") << device;
            std::ofstream(folder / "resource0").close();
            fs::resize_file(folder / "resource0", 4096);
        }
    }
    ~FakeSysfs()
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    std::string root() const { return m_root.string(); }
    fs::path resource() const { return m_root / "bus/pci/devices" / kCard / "resource0"; }
    std::string contents() const
    {
        std::ifstream file(resource(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    // The card's 32-bit word at a byte offset, in the machine's byte order.
    std::uint32_t word(std::uint32_t offset) const
    {
        std::uint32_t value = 0;
        contents().copy(reinterpret_cast<char*>(&value), sizeof value, offset);
        return value;
    }
    void setWord(std::uint32_t offset, std::uint32_t value)
    {
        std::fstream file(resource(), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(offset);
        file.write(reinterpret_cast<const char*>(&value), sizeof value);
    }

private:
    fs::path m_root;
};

class PciDriverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("VELORA_SYSFS_ROOT", sysfs.root().c_str(), 1);
        m_library = ::dlopen(VELORA_PCI_DRIVER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << ::dlerror();
        resolve(discover, "pciGetHardwareResources");
        resolve(isOpened, "isDriverOpened");
        resolve(unmap, "memoryUnmap");
        resolve(map, "memoryMap");
        resolve(read, "memoryRead");
        resolve(write, "memoryWrite");
    }
    void TearDown() override
    {
        if (unmap != nullptr) {
            unmap(kCardFirst, kCardSecond);
        }
        if (m_library != nullptr) {
            ::dlclose(m_library);
        }
    }
    template <typename Fn> void resolve(Fn& fn, const char* name)
    {
        fn = reinterpret_cast<Fn>(::dlsym(m_library, name));
        ASSERT_NE(fn, nullptr) << name;
    }

    FakeSysfs sysfs;
    void* m_library = nullptr;
    PciGetHardwareResourcesFn discover = nullptr;
    IsDriverOpenedFn isOpened = nullptr;
    MemoryUnmapFn unmap = nullptr;
    MemoryMapFn map = nullptr;
    MemoryReadFn read = nullptr;
    MemoryWriteFn write = nullptr;
};

TEST_F(PciDriverTest, DiscoveryNamesOnlyTheDeviceWithBothIds)
{
    std::uint32_t r1 = 7, r2 = 7, r3 = 7;
    for (const std::uint32_t device : {bt::kBt848, bt::kBt849, bt::kBt879}) {
        EXPECT_NE(discover(bt::kPciVendor, device, &r1, &r2, &r3), 0) << device;
    }
    EXPECT_NE(discover(0x8086, bt::kBt878, &r1, &r2, &r3), 0);
    EXPECT_EQ((Words{r1, r2, r3}), (Words{7, 7, 7}));

    ASSERT_EQ(discover(bt::kPciVendor, bt::kBt878, &r1, &r2, &r3), 0);
    EXPECT_EQ((Words{r1, r2, r3}), (Words{kCardFirst, kCardSecond, 0x36E}));
    // Lower-case ids; bus 0 of domain 0 still gives a first value that is not 0.
    ASSERT_EQ(discover(0x10EC, 0x8139, &r1, &r2, &r3), 0);
    EXPECT_EQ((Words{r1, r2}), (Words{0x80000000, 0x1F << 3 | 3}));

    ::setenv("VELORA_SYSFS_ROOT", (sysfs.root() + "/missing").c_str(), 1);
    EXPECT_NE(discover(bt::kPciVendor, bt::kBt878, &r1, &r2, &r3), 0);
}

TEST_F(PciDriverTest, MappedRegistersAreTheResourceFile)
{
    sysfs.setWord(bt::GPIO_DATA, 0x12345678);
    sysfs.setWord(0xFFC, 0xCAFEF00D);
    EXPECT_EQ(isOpened(), 0);
    ASSERT_EQ(map(kCardFirst, kCardSecond), 1);
    EXPECT_EQ(isOpened(), 1);
    EXPECT_EQ((Words{read(bt::GPIO_DATA), read(0xFFC)}), (Words{0x12345678, 0xCAFEF00D}));
    EXPECT_EQ(write(bt::I2C, 0xC28E0287), 1);
    EXPECT_EQ(write(0xFFC, 0x01020304), 1);
    EXPECT_EQ((Words{sysfs.word(bt::I2C - 4), sysfs.word(bt::I2C), sysfs.word(bt::I2C + 4), sysfs.word(0xFFC)}),
              (Words{0, 0xC28E0287, 0, 0x01020304}));

    // At and past the end of the window, and between two registers: 0, and nothing written.
    const std::string before = sysfs.contents();
    for (const std::uint32_t offset : {0x1000u, 0x1004u, 0xFFFFFFFCu, 0xFFEu, 0x202u}) {
        EXPECT_EQ(write(offset, 0xFFFFFFFF), 0) << offset;
        EXPECT_EQ(read(offset), 0u) << offset;
    }
    EXPECT_EQ(sysfs.contents(), before);

    // A second map, and an unmap naming another device, change nothing.
    EXPECT_EQ(map(kCardFirst, kCardSecond), 0);
    EXPECT_EQ(unmap(kCardFirst, kCardSecond | 1), 0);
    EXPECT_EQ((Words{Words::value_type(isOpened()), read(bt::GPIO_DATA)}), (Words{1, 0x12345678}));

    EXPECT_EQ(unmap(kCardFirst, kCardSecond), 1);
    EXPECT_EQ(isOpened(), 0);
    EXPECT_EQ(read(bt::GPIO_DATA), 0u);
    EXPECT_EQ(write(bt::GPIO_DATA, 0), 0);
    EXPECT_EQ(sysfs.word(bt::GPIO_DATA), 0x12345678u);
    EXPECT_EQ(unmap(kCardFirst, kCardSecond), 0);
}

TEST_F(PciDriverTest, MapRefusesDevicesItCannotSafelyUse)
{
    EXPECT_EQ(map(0x80000309, 0), 0);             // no such device
    EXPECT_EQ(map(0x00000102, kCardSecond), 0);   // not a value discovery hands out
    EXPECT_EQ(map(0x80000000, 0x1F << 3 | 3), 0); // has a resource0, but is no Bt848-family chip
    fs::resize_file(sysfs.resource(), 0x800);     // would fault on access past its end
    EXPECT_EQ(map(kCardFirst, kCardSecond), 0);
    fs::remove(sysfs.resource());
    EXPECT_EQ(map(kCardFirst, kCardSecond), 0);
    EXPECT_EQ(isOpened(), 0);
    EXPECT_EQ(read(bt::GPIO_DATA), 0u);
    EXPECT_EQ(write(bt::GPIO_DATA, 1), 0);
}

TEST_F(PciDriverTest, MapWithoutPermissionFails)
{
    // As in sysfs, resource0 is closed to other users. Permission bits do not stop root, so a test
    // run as root tries the map as "nobody" in a child process.
    fs::permissions(sysfs.root(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(sysfs.resource(), fs::perms::none);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(77);
        }
        ::_exit(map(kCardFirst, kCardSecond) == 0 && isOpened() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The programs run from a suite folder with the PCI driver's folder first in LD_LIBRARY_PATH. The
// suite folder follows only because under AddressSanitizer dlopen does not see a program's $ORIGIN.
void useDriverOf(const fs::path& suite, const FakeSysfs& sysfs)
{
    ::setenv("LD_LIBRARY_PATH", ((suite / "drivers/pci").string() + ":" + suite.string()).c_str(), 1);
    ::setenv("VELORA_SYSFS_ROOT", sysfs.root().c_str(), 1);
}

TEST(PciSuite, VeloraTuneTunesTheCardThroughTheResourceFile)
{
    FakeSysfs sysfs;
    sysfs.setWord(bt::IFORM, 0x19);
    sysfs.setWord(bt::GPIO_DATA, 0xABCD00F0);
    useDriverOf(VELORA_SUITE_DIR, sysfs);
    const std::string command = "'" VELORA_SUITE_DIR "/velora-tune' --quiet --mhz 55.25";
    ASSERT_EQ(std::system(command.c_str()), 0) << "velora-tune did not find the card";

    // The band bytes of the low VHF band were the last I2C transfer; the tuner's video and sound
    // were selected by read-modify-write of what the file held.
    EXPECT_EQ((Words{sysfs.word(bt::INT_STAT), sysfs.word(bt::I2C), sysfs.word(bt::IFORM), sysfs.word(bt::GPIO_DATA)}),
              (Words{bt::INT_STAT_I2CDONE, 0xC28E0287, 0x59, 0xABCD00F2}));
}

TEST(PciSuite, KavoRemoteArmsTheReceiverAndDisarmsItOnTermination)
{
    // Only on the private desktop of tests/x11/with-desktop.sh, never on the user's own.
    if (std::getenv("VELORA_PCI_DESKTOP") == nullptr || std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "runs as PciSuite.KavoRemoteOnADesktop";
    }
    FakeSysfs sysfs;
    sysfs.setWord(bt::GPIO_DATA, 0xABCD0000);
    // A copy of the suite, since KavoRemote writes beside itself, and a runtime folder of its own
    // for its single-instance lock.
    const fs::path dir = sysfs.root() + "-remote";
    fs::create_directories(dir / "runtime");
    fs::copy(VELORA_SUITE_DIR, dir / "suite", fs::copy_options::recursive);
    fs::remove(dir / "suite/velora.ini");
    ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    useDriverOf(dir / "suite", sysfs);
    const pid_t daemon = ::fork();
    if (daemon == 0) {
        ::execl((dir / "suite/KavoRemote").c_str(), "KavoRemote", nullptr);
        ::_exit(127);
    }

    for (int i = 0; i < 750 && sysfs.word(bt::GPIO_DATA) != 0xABCD00FFu; ++i) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(sysfs.word(bt::GPIO_DATA), 0xABCD00FFu) << "the receiver was never armed";
    ::kill(daemon, SIGTERM);
    int status = -1;
    for (int i = 0; i < 500 && ::waitpid(daemon, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(20ms);
    }
    ::kill(daemon, SIGKILL);
    ::waitpid(daemon, nullptr, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(sysfs.word(bt::GPIO_DATA), 0xABCD0000u);
    fs::remove_all(dir);
}

} // namespace
