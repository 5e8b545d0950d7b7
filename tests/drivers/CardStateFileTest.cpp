#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/drivers/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace velora::virtualcard;
namespace bt = velora::bt;
using namespace std::chrono_literals;

constexpr std::uint32_t kThreeByteWrite = 0xC2000000 | bt::I2C_WRITE3;

// Waits for a child process; a child still running after the timeout is killed and counts
// as a failure (-1), so a deadlock shows as a failed test rather than a hung one.
int waitChild(pid_t pid, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(2ms);
    }
}

// Polls a register of a chip until it holds a value, for at most a few seconds.
bool waitForRegister(const VirtualChip& chip, std::uint32_t offset, std::uint32_t value)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (chip.readRegister(offset) != value) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::optional<std::uintmax_t> fileSize(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uintmax_t>(info.st_size);
}

TEST(CardStateFile, CreatesOwnerOnlyFileAndKeepsStateAcrossOpens)
{
    velora::testing::TempDir dir;
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
    velora::testing::TempDir dir;
    const std::string path = dir.file("card");

    writeFile(path, "junk");
    auto file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());
    EXPECT_EQ(fileSize(path), sizeof(CardStateLayout));
    EXPECT_EQ(VirtualChip(file->layout()).chipId(), bt::kBt878);
    file.reset();

    // The right size, but garbage throughout.
    writeFile(path, std::string(sizeof(CardStateLayout), '\xAB'));
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
    writeFile(path, std::string(sizeof(CardStateLayout) + 100, '\0'));
    file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->wasInitialised());
    EXPECT_EQ(fileSize(path), sizeof(CardStateLayout));
}

TEST(CardStateFile, RefusesLinksFoldersAndOtherUsersFiles)
{
    velora::testing::TempDir dir;
    const std::string target = dir.file("target");
    writeFile(target, "precious");
    const std::string link = dir.file("link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    std::string error;
    EXPECT_EQ(CardStateFile::open(link, &error), nullptr);
    EXPECT_NE(error.find(link), std::string::npos) << error;
    std::ifstream in(target);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "precious");

    const std::string folder = dir.file("folder");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(CardStateFile::open(folder, &error), nullptr);
    EXPECT_EQ(CardStateFile::open(dir.file("missing/card"), &error), nullptr);

    if (::geteuid() == 0) {
        const std::string foreign = dir.file("foreign");
        writeFile(foreign, "");
        ASSERT_EQ(::chown(foreign.c_str(), 12345, static_cast<gid_t>(-1)), 0);
        error.clear();
        EXPECT_EQ(CardStateFile::open(foreign, &error), nullptr);
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
        EXPECT_EQ(fileSize(foreign), 0u);
    }
}

TEST(CardStateFile, DefaultPathFollowsTheEnvironment)
{
    const char* savedCard = std::getenv("VELORA_CARD");
    const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> card = savedCard ? std::optional<std::string>(savedCard) : std::nullopt;
    const std::optional<std::string> runtime = savedRuntime ? std::optional<std::string>(savedRuntime) : std::nullopt;

    ::setenv("VELORA_CARD", "/somewhere/card", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
    EXPECT_EQ(CardStateFile::defaultPath(), "/somewhere/card");
    ::setenv("VELORA_CARD", "", 1);
    EXPECT_EQ(CardStateFile::defaultPath(), "/run/user/77/velora-card");
    ::unsetenv("VELORA_CARD");
    EXPECT_EQ(CardStateFile::defaultPath(), "/run/user/77/velora-card");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(CardStateFile::defaultPath(), "/tmp/velora-card-" + std::to_string(::getuid()));

    if (card) {
        ::setenv("VELORA_CARD", card->c_str(), 1);
    }
    if (runtime) {
        ::setenv("XDG_RUNTIME_DIR", runtime->c_str(), 1);
    }
}

TEST(CardStateFile, TwoProcessesSeeOneChip)
{
    velora::testing::TempDir dir;
    const std::string path = dir.file("card");
    auto file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    VirtualChip chip(file->layout());
    chip.writeRegister(bt::GPIO_DATA, 0xFF);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child maps the file on its own and talks to the parent through registers only.
        auto own = CardStateFile::open(path);
        if (!own) {
            ::_exit(10);
        }
        VirtualChip childChip(own->layout());
        if (childChip.readRegister(bt::GPIO_DATA) != 0xFF) {
            ::_exit(11);
        }
        if (!waitForRegister(childChip, bt::IFORM, 0x40)) {
            ::_exit(12);
        }
        childChip.writeRegister(bt::I2C, 0xC205E287);
        childChip.writeRegister(bt::BRIGHT, 0x7F);
        ::_exit(0);
    }
    chip.writeRegister(bt::IFORM, 0x40);
    EXPECT_TRUE(waitForRegister(chip, bt::BRIGHT, 0x7F));
    EXPECT_EQ(waitChild(child), 0);
    ASSERT_TRUE(chip.tuner().divider.has_value());
    EXPECT_EQ(*chip.tuner().divider, 1506u);
    EXPECT_EQ(chip.readRegister(bt::INT_STAT), bt::INT_STAT_I2CDONE);
}

TEST(CardStateFile, InitialisationWaitsForTheFileLock)
{
    velora::testing::TempDir dir;
    const std::string path = dir.file("card");
    // Another process is in the middle of initialising: the file exists, empty, and locked.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fd);
        auto own = CardStateFile::open(path);
        ::_exit(own ? 0 : 60);
    }
    std::this_thread::sleep_for(200ms);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "open() did not wait for the initialiser's lock";
    EXPECT_EQ(fileSize(path), 0u);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    EXPECT_EQ(waitChild(child), 0);
    EXPECT_EQ(fileSize(path), sizeof(CardStateLayout));
}

TEST(CardStateFile, ProcessesStartingTogetherInitialiseOnce)
{
    constexpr int kRounds = 20;
    constexpr int kChildren = 6;
    for (int round = 0; round < kRounds; ++round) {
        velora::testing::TempDir dir;
        const std::string path = dir.file("card");
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);

        std::vector<pid_t> children;
        for (int i = 0; i < kChildren; ++i) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::close(gate[1]);
                char byte;
                // Every child waits at the gate, so that all open the new file at the same moment.
                if (::read(gate[0], &byte, 1) != 0) {
                    ::_exit(20);
                }
                auto own = CardStateFile::open(path);
                if (!own) {
                    ::_exit(21);
                }
                VirtualChip(own->layout()).writeRegister(0x300 + 4 * static_cast<std::uint32_t>(i), 0x100u + i);
                ::_exit(0);
            }
            children.push_back(child);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (pid_t child : children) {
            EXPECT_EQ(waitChild(child), 0);
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
    velora::testing::TempDir dir;
    const std::string path = dir.file("card");
    auto file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);
    VirtualChip chip(file->layout());
    constexpr std::uint32_t kEach = 300000;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(gate[1]);
        auto own = CardStateFile::open(path);
        char byte;
        if (!own || ::read(gate[0], &byte, 1) != 0) {
            ::_exit(30);
        }
        VirtualChip childChip(own->layout());
        for (std::uint32_t i = 0; i < kEach; ++i) {
            childChip.writeRegister(bt::I2C, 0xC4000087 | ((i & 0x7FFF) << 8));
        }
        ::_exit(0);
    }
    ::close(gate[0]);
    // Give the child time to map the file, then start both loops together.
    std::this_thread::sleep_for(50ms);
    ::close(gate[1]);
    for (std::uint32_t i = 0; i < kEach; ++i) {
        chip.writeRegister(bt::I2C, 0xC2000087 | ((i & 0x7FFF) << 8));
    }
    EXPECT_EQ(waitChild(child, 60s), 0);
    // Each transfer counts once: no increment was lost to the other process.
    EXPECT_EQ(file->layout().transferCount, 2 * kEach);
}

TEST(CardStateFile, LockOfADeadProcessIsTakenOver)
{
    velora::testing::TempDir dir;
    const std::string path = dir.file("card");
    auto file = CardStateFile::open(path);
    ASSERT_NE(file, nullptr);

    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        auto own = CardStateFile::open(path);
        if (!own) {
            ::_exit(40);
        }
        CardLock lock(own->layout());
        // Dies holding the lock, as a crashed program would.
        ::_exit(lock.held() ? 0 : 41);
    }
    ASSERT_EQ(waitChild(holder), 0);

    // The next users must get the lock, and get it again after giving it back. Run them in a
    // child so that a deadlock fails the test instead of hanging it.
    const pid_t user = ::fork();
    ASSERT_GE(user, 0);
    if (user == 0) {
        auto own = CardStateFile::open(path);
        if (!own) {
            ::_exit(50);
        }
        {
            CardLock first(own->layout());
            if (!first.held()) {
                ::_exit(51);
            }
        }
        {
            CardLock second(own->layout());
            if (!second.held()) {
                ::_exit(52);
            }
        }
        VirtualChip(own->layout()).writeRegister(bt::I2C, kThreeByteWrite);
        ::_exit(0);
    }
    EXPECT_EQ(waitChild(user, 5s), 0);
    EXPECT_EQ(VirtualChip(file->layout()).recentTransfers().size(), 1u);
}

} // namespace
