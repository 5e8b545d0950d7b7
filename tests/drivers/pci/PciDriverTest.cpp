// The PCI driver library against a fake sysfs tree: loaded by dlopen as the suite loads it, and
// under velora-tune and KavoRemote as built, unchanged, with its folder first in LD_LIBRARY_PATH.
#include "hw/BtRegisters.h"
#include "tests/drivers/DriverLibrary.h"
#include "tests/support/Process.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

namespace bt = velora::bt;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using velora::test::Process;
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
        for (const auto& [address, vendor, device] : {std::tuple{"0000:00:00.0", "0x8086\n", "0x1237\n"},
                                                      {"0000:00:1f.3", "0x10ec\n", "0x8139\n"},
                                                      {kCard, "0x109E\n", "0x036E\n"},
                                                      {"0001:02:0a.1", "0x109e\n", "0x0878\n"}}) {
            const std::string folder = std::string("bus/pci/devices/") + address;
            m_root.write(folder + "/vendor", vendor);
            m_root.write(folder + "/device", device);
            fs::resize_file(m_root.write(folder + "/resource0", ""), 4096);
        }
    }

    std::string root() const { return m_root.path().string(); }
    fs::path resource() const { return m_root / "bus/pci/devices" / kCard / "resource0"; }
    std::string contents() const { return velora::test::readFile(resource()); }
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
    velora::test::TempDir m_root{"velora-sysfs"};
};

class PciDriverTest : public ::testing::Test, protected velora::test::DriverLibrary
{
protected:
    void SetUp() override { ASSERT_TRUE(open(VELORA_PCI_DRIVER)) << error(); }
    void TearDown() override
    {
        if (unmap != nullptr) {
            unmap(kCardFirst, kCardSecond);
        }
        close();
    }

    FakeSysfs sysfs;
    velora::test::ScopedEnvironment m_sysfsRoot{"VELORA_SYSFS_ROOT", sysfs.root()};
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

    m_sysfsRoot.set((sysfs.root() + "/missing").c_str());
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
    Process child = Process::forked([this] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 77;
        }
        return map(kCardFirst, kCardSecond) == 0 && isOpened() == 0 ? 0 : 1;
    });
    const std::optional<int> status = child.waitExit(10s);
    if (status == 77) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(status, 0);
}

// The programs run from a suite folder with the PCI driver's folder first in LD_LIBRARY_PATH. The
// suite folder follows only because under AddressSanitizer dlopen does not see a program's $ORIGIN.
velora::test::EnvironmentChanges useDriverOf(const fs::path& suite, const FakeSysfs& sysfs)
{
    return {{"LD_LIBRARY_PATH", (suite / "drivers/pci").string() + ":" + suite.string()},
            {"VELORA_SYSFS_ROOT", sysfs.root()}};
}

TEST(PciSuite, VeloraTuneTunesTheCardThroughTheResourceFile)
{
    FakeSysfs sysfs;
    sysfs.setWord(bt::IFORM, 0x19);
    sysfs.setWord(bt::GPIO_DATA, 0xABCD00F0);
    ASSERT_EQ(velora::test::runProgram(VELORA_SUITE_DIR "/velora-tune", {"--quiet", "--mhz", "55.25"},
                                       useDriverOf(VELORA_SUITE_DIR, sysfs)),
              0)
        << "velora-tune did not find the card";

    // The band bytes of the low VHF band were the last I2C transfer; the tuner's video and sound
    // were selected by read-modify-write of what the file held.
    EXPECT_EQ((Words{sysfs.word(bt::INT_STAT), sysfs.word(bt::I2C), sysfs.word(bt::IFORM), sysfs.word(bt::GPIO_DATA)}),
              (Words{bt::INT_STAT_I2CDONE, 0xC28E0287, 0x59, 0xABCD00F2}));
}

TEST(PciSuite, KavoRemoteArmsTheReceiverAndDisarmsItOnTermination)
{
    // Only on the private desktop of tests/support/with-desktop.sh, never on the user's own.
    if (std::getenv("VELORA_PCI_DESKTOP") == nullptr || std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "runs as PciSuite.KavoRemoteOnADesktop";
    }
    FakeSysfs sysfs;
    sysfs.setWord(bt::GPIO_DATA, 0xABCD0000);
    // A copy of the suite, since KavoRemote writes beside itself, with a runtime folder of its
    // own for its single-instance lock.
    const velora::test::SuiteCopy copy;
    ASSERT_TRUE(copy.valid());
    Process daemon = copy.start("KavoRemote", {}, useDriverOf(copy.suite(), sysfs));
    ASSERT_TRUE(daemon.started());

    EXPECT_TRUE(velora::test::waitUntil([&] { return sysfs.word(bt::GPIO_DATA) == 0xABCD00FFu; }, 15s))
        << "the receiver was never armed";
    daemon.signal(SIGTERM);
    EXPECT_EQ(daemon.waitExit(10s), 0);
    EXPECT_EQ(sysfs.word(bt::GPIO_DATA), 0xABCD0000u);
}

} // namespace
