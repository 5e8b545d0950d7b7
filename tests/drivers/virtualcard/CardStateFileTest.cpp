#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tests/support/Process.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace velora::virtualcard;
using velora::test::Process;
using velora::test::TempDir;
using velora::test::TestCard;
namespace bt = velora::bt;
using namespace std::chrono_literals;

constexpr std::uint32_t kThreeByteWrite = 0xC2000000 | bt::I2C_WRITE3;

// What a child process may take before it counts as hung: a deadlock shows as a failed test
// rather than a hung one.
constexpr auto kHung = 10s;

// Polls a register of a chip until it holds a value, for at most a few seconds.
bool waitForRegister(const VirtualChip& chip, std::uint32_t offset, std::uint32_t value)
{
    return velora::test::waitUntil([&] { return chip.readRegister(offset) == value; }, 5s, 1ms);
}

std::optional<std::uintmax_t> fileSize(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? std::nullopt : std::optional<std::uintmax_t>(size);
}

TEST(CardStateFile, CreatesOwnerOnlyFileAndKeepsStateAcrossOpens)
{
    TempDir dir;
    const std::string path = dir.file("card");
    // Even with a permissive umask the state must not be readable by others.
    const mode_t oldMask = ::umask(0);
    auto file = CardStateFile::open(path);
    ::umask(oldMask);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());

    struct stat info = {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(static_cast<std::size_t>(info.st_size), sizeof(CardStateLayout));
    // A new card is a card after power-on, not one of all zeros.
    EXPECT_EQ(VirtualChip(file->layout()).readRegister(bt::CONTRAST_LO), 0xD8u);

    VirtualChip(file->layout()).writeRegister(bt::IFORM, 0x60);
    file.reset();

    auto again = CardStateFile::open(path);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->wasInitialised());
    VirtualChip chip(again->layout());
    EXPECT_EQ(chip.readRegister(bt::IFORM), 0x60u);
    EXPECT_EQ(chip.chipId(), bt::kBt878);
}

TEST(CardStateFile, ReinitialisesShortCorruptOrForeignLayouts)
{
    TempDir dir;
    const std::string path = dir.file("card");

    dir.write("card", "junk");
    auto file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());
    EXPECT_EQ(fileSize(path), sizeof(CardStateLayout));
    EXPECT_EQ(VirtualChip(file->layout()).chipId(), bt::kBt878);
    file.reset();

    // The right size, but garbage throughout.
    dir.write("card", std::string(sizeof(CardStateLayout), '\xAB'));
    file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());
    VirtualChip chip(file->layout());
    EXPECT_EQ(chip.readRegister(bt::GPIO_DATA), 0u);
    EXPECT_EQ(chip.signalMode(), SignalMode::Auto);
    EXPECT_TRUE(chip.recentTransfers().empty());
    // The re-initialised lock works.
    chip.writeRegister(bt::I2C, kThreeByteWrite);
    EXPECT_EQ(chip.recentTransfers().size(), 1u);

    // A layout of another version is not trusted either.
    file->layout().version = kStateVersion + 1;
    file.reset();
    file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());
    EXPECT_TRUE(VirtualChip(file->layout()).recentTransfers().empty());
    file.reset();

    // Too long: cut back to the layout's size.
    dir.write("card", std::string(sizeof(CardStateLayout) + 100, '\0'));
    file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());
    EXPECT_EQ(fileSize(path), sizeof(CardStateLayout));
}

TEST(CardStateFile, RefusesLinksFoldersAndOtherUsersFiles)
{
    TempDir dir;
    const std::string target = dir.file("target");
    dir.write("target", "precious");
    const std::string link = dir.file("link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    std::string error;
    EXPECT_EQ(CardStateFile::open(link, &error), nullptr);
    EXPECT_NE(error.find(link), std::string::npos) << error;
    EXPECT_EQ(velora::test::readFile(target), "precious");

    const std::string folder = dir.file("folder");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(CardStateFile::open(folder, &error), nullptr);
    EXPECT_EQ(CardStateFile::open(dir.file("missing/card"), &error), nullptr);

    if (::geteuid() == 0) {
        const std::string foreign = dir.file("foreign");
        dir.write("foreign", "");
        ASSERT_EQ(::chown(foreign.c_str(), 12345, static_cast<gid_t>(-1)), 0);
        error.clear();
        EXPECT_EQ(CardStateFile::open(foreign, &error), nullptr);
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
        EXPECT_EQ(fileSize(foreign), 0u);
    }
}

TEST(CardStateFile, DefaultPathFollowsTheEnvironment)
{
    velora::test::ScopedEnvironment card("VELORA_CARD", "/somewhere/card");
    velora::test::ScopedEnvironment runtime("XDG_RUNTIME_DIR", "/run/user/77");
    EXPECT_EQ(CardStateFile::defaultPath(), "/somewhere/card");
    card.set("");
    EXPECT_EQ(CardStateFile::defaultPath(), "/run/user/77/velora-card");
    card.set(nullptr);
    EXPECT_EQ(CardStateFile::defaultPath(), "/run/user/77/velora-card");
    runtime.set(nullptr);
    EXPECT_EQ(CardStateFile::defaultPath(), "/tmp/velora-card-" + std::to_string(::getuid()));
}

TEST(CardStateFile, TwoProcessesSeeOneChip)
{
    TestCard card;
    ASSERT_TRUE(card.open());
    const std::string path = card.path();
    VirtualChip& chip = card.chip();
    chip.writeRegister(bt::GPIO_DATA, 0xFF);

    Process child = Process::forked([&path] {
        // The child maps the file on its own and talks to the parent through registers only.
        auto own = CardStateFile::open(path);
        if (!own) {
            return 10;
        }
        VirtualChip childChip(own->layout());
        if (childChip.readRegister(bt::GPIO_DATA) != 0xFF) {
            return 11;
        }
        if (!waitForRegister(childChip, bt::IFORM, 0x40)) {
            return 12;
        }
        childChip.writeRegister(bt::I2C, 0xC205E287);
        childChip.writeRegister(bt::BRIGHT, 0x7F);
        return 0;
    });
    chip.writeRegister(bt::IFORM, 0x40);
    EXPECT_TRUE(waitForRegister(chip, bt::BRIGHT, 0x7F));
    EXPECT_EQ(child.waitExit(kHung), 0);
    ASSERT_TRUE(chip.tuner().divider.has_value());
    EXPECT_EQ(*chip.tuner().divider, 1506u);
    EXPECT_EQ(chip.readRegister(bt::INT_STAT), bt::INT_STAT_I2CDONE);
}

TEST(CardStateFile, InitialisationWaitsForTheFileLock)
{
    TempDir dir;
    const std::string path = dir.file("card");
    // Another process is in the middle of initialising: the file exists, empty, and locked.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    Process child = Process::forked([&path, fd] {
        ::close(fd);
        auto own = CardStateFile::open(path);
        return own ? 0 : 60;
    });
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(child.running()) << "open() did not wait for the initialiser's lock";
    EXPECT_EQ(fileSize(path), 0u);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    EXPECT_EQ(child.waitExit(kHung), 0);
    EXPECT_EQ(fileSize(path), sizeof(CardStateLayout));
}

TEST(CardStateFile, ProcessesStartingTogetherInitialiseOnce)
{
    constexpr int kRounds = 20;
    constexpr int kChildren = 6;
    for (int round = 0; round < kRounds; ++round) {
        TempDir dir;
        const std::string path = dir.file("card");
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);

        std::vector<Process> children;
        for (int i = 0; i < kChildren; ++i) {
            children.push_back(Process::forked([&path, &gate, i] {
                ::close(gate[1]);
                char byte;
                // Every child waits at the gate, so that all open the new file at the same moment.
                if (::read(gate[0], &byte, 1) != 0) {
                    return 20;
                }
                auto own = CardStateFile::open(path);
                if (!own) {
                    return 21;
                }
                VirtualChip(own->layout()).writeRegister(0x300 + 4 * static_cast<std::uint32_t>(i), 0x100u + i);
                return 0;
            }));
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (Process& child : children) {
            EXPECT_EQ(child.waitExit(kHung), 0);
        }

        // A second initialisation after one child's write would have wiped that write.
        auto file = CardStateFile::open(path);
        ASSERT_NE(file, nullptr);
        EXPECT_FALSE(file->wasInitialised());
        VirtualChip chip(file->layout());
        for (int i = 0; i < kChildren; ++i) {
            ASSERT_EQ(chip.readRegister(0x300 + 4 * static_cast<std::uint32_t>(i)), 0x100u + i)
                << "round " << round << ", child " << i;
        }
    }
}

TEST(CardStateFile, TransfersFromTwoProcessesAreAllRecorded)
{
    TestCard card;
    ASSERT_TRUE(card.open());
    const std::string path = card.path();
    VirtualChip& chip = card.chip();
    constexpr std::uint32_t kEach = 300000;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);

    Process child = Process::forked([&path, &gate] {
        ::close(gate[1]);
        auto own = CardStateFile::open(path);
        char byte;
        if (!own || ::read(gate[0], &byte, 1) != 0) {
            return 30;
        }
        VirtualChip childChip(own->layout());
        for (std::uint32_t i = 0; i < kEach; ++i) {
            childChip.writeRegister(bt::I2C, 0xC4000087 | ((i & 0x7FFF) << 8));
        }
        return 0;
    });
    ::close(gate[0]);
    // Give the child time to map the file, then start both loops together.
    std::this_thread::sleep_for(50ms);
    ::close(gate[1]);
    for (std::uint32_t i = 0; i < kEach; ++i) {
        chip.writeRegister(bt::I2C, 0xC2000087 | ((i & 0x7FFF) << 8));
    }
    EXPECT_EQ(child.waitExit(60s), 0);
    // Each transfer counts once: no increment was lost to the other process.
    EXPECT_EQ(card.file().layout().transferCount, 2 * kEach);
}

TEST(CardStateFile, LockOfADeadProcessIsTakenOver)
{
    TestCard card;
    ASSERT_TRUE(card.open());
    const std::string path = card.path();

    Process holder = Process::forked([&path] {
        auto own = CardStateFile::open(path);
        if (!own) {
            return 40;
        }
        CardLock lock(own->layout());
        // Dies holding the lock, as a crashed program would: _exit runs no destructor.
        ::_exit(lock.held() ? 0 : 41);
    });
    ASSERT_EQ(holder.waitExit(kHung), 0);

    // The next users must get the lock, and get it again after giving it back. They run in a
    // child so that a deadlock fails the test instead of hanging it.
    EXPECT_EQ(velora::test::lockInAnotherProcess(path, 5s, 2), 0);
    EXPECT_EQ(card.chip().recentTransfers().size(), 1u);
}

} // namespace
