// State files that programs left in a bad way: a lock whose owner is gone, a file from an
// earlier boot, a file of another size that another program still maps, mappings of programs
// that were killed. None of it may hang or kill a program, and "velora-card reset" recovers.
#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/drivers/DriverLibrary.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace velora::virtualcard;
using velora::test::Process;
namespace bt = velora::bt;
using namespace std::chrono_literals;

// What the tests allow a command for before it counts as hung.
constexpr auto kHung = 10s;

// A thread id that no thread has now: that of a child process that has ended.
pid_t goneThreadId()
{
    Process child = Process::forked([] { return 0; });
    child.waitExit(kHung);
    return child.pid();
}

std::uintmax_t fileSize(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uintmax_t>(info.st_size) : 0;
}

class CardRecovery : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.valid()); }

    std::string path() const { return m_dir.file("card"); }

    // velora-card on the test's state file: its exit status, -1 when it hung.
    int tool(const std::vector<std::string>& arguments, std::string* output = nullptr) const
    {
        return velora::test::runProgram(VELORA_CARD_TOOL, arguments, {{"VELORA_CARD", path()}}, kHung, output);
    }

    // Takes the lock in another process, as a second program would, and records a transfer
    // under it: 0 when both worked, -1 when the process hung.
    int lockInAnotherProcess() const { return velora::test::lockInAnotherProcess(path(), kHung); }

    std::string mappedBy() const
    {
        std::string status;
        if (tool({"status"}, &status) != 0) {
            return "(status failed)";
        }
        const std::size_t line = status.find("Mapped by:");
        return line == std::string::npos ? status : status.substr(line, status.find('\n', line) - line);
    }

    velora::test::TempDir m_dir{"velora-card-test"};
};

TEST_F(CardRecovery, LockOfAThreadThatIsGoneNeverBlocks)
{
    auto file = CardStateFile::open(path());
    ASSERT_NE(file, nullptr);
    VirtualChip chip(file->layout());

    // The kernel frees the lock of a thread that dies holding it, but not one whose owner it
    // never knew: a power loss, a file copied in, a damaged file. Every command must go on.
    lockWord(file->layout()) = goneThreadId();
    EXPECT_EQ(tool({"status"}), 0);
    lockWord(file->layout()) = goneThreadId() | FUTEX_WAITERS;
    EXPECT_EQ(tool({"reset"}), 0);
    lockWord(file->layout()) = goneThreadId();
    EXPECT_EQ(lockInAnotherProcess(), 0);
    EXPECT_EQ(chip.recentTransfers().size(), 1u);

    // The id of the very thread that asks: left by an earlier life of the same thread id.
    Process self = Process::forked([&file] {
        lockWord(file->layout()) = static_cast<int>(::syscall(SYS_gettid));
        CardLock lock(file->layout());
        return lock.held() ? 0 : 1;
    });
    EXPECT_EQ(self.waitExit(kHung), 0);
    // An id that a live thread has again (ids are reused) but that does not hold the lock:
    // nothing tells it from a holder but the time, and after a few seconds the lock is new.
    lockWord(file->layout()) = static_cast<int>(::syscall(SYS_gettid));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lockInAnotherProcess(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(chip.recentTransfers().size(), 2u);

    // Each of them gave the lock back.
    EXPECT_EQ(lockWord(file->layout()), 0);
}

TEST_F(CardRecovery, FileFromAnEarlierBootStartsWithAFreshLock)
{
    auto file = CardStateFile::open(path());
    ASSERT_NE(file, nullptr);
    VirtualChip(file->layout()).writeRegister(bt::IFORM, bt::IFORM_MUX2);
    const std::string earlier = "00000000-0000-4000-8000-000000000000";
    std::memset(file->layout().bootId, 0, sizeof file->layout().bootId);
    std::memcpy(file->layout().bootId, earlier.data(), earlier.size());
    // In this boot the id belongs to a live thread (this one) that does not hold the lock.
    lockWord(file->layout()) = static_cast<int>(::syscall(SYS_gettid));
    file.reset();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lockInAnotherProcess(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms) << "the lock was not started afresh";

    file = CardStateFile::open(path());
    ASSERT_NE(file, nullptr);
    std::ifstream bootFile("/proc/sys/kernel/random/boot_id");
    std::string boot;
    std::getline(bootFile, boot);
    EXPECT_EQ(std::string(file->layout().bootId), boot);
    // Only the lock starts afresh: the card keeps its state.
    EXPECT_EQ(VirtualChip(file->layout()).readRegister(bt::IFORM), bt::IFORM_MUX2);
    EXPECT_EQ(VirtualChip(file->layout()).recentTransfers().size(), 1u);
}

TEST_F(CardRecovery, ResetRepairsADamagedLock)
{
    auto file = CardStateFile::open(path());
    ASSERT_NE(file, nullptr);
    std::memset(&file->layout().lock, 0xA5, sizeof file->layout().lock);
    EXPECT_EQ(tool({"reset"}), 0);
    EXPECT_EQ(lockInAnotherProcess(), 0);
    EXPECT_EQ(VirtualChip(file->layout()).recentTransfers().size(), 1u);
}

TEST_F(CardRecovery, AFileOfAnotherSizeIsReplacedBesideNotCutUnderItsUsers)
{
    // A program of another layout maps the whole of a larger file and keeps reading its end.
    const std::size_t larger = 2 * sizeof(CardStateLayout);
    std::ofstream(path(), std::ios::binary) << std::string(larger, '\0');
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const std::string file = path();
    Process user = Process::forked([&] {
        ::close(gate[1]);
        const int fd = ::open(file.c_str(), O_RDWR);
        auto* bytes = static_cast<volatile char*>(::mmap(nullptr, larger, PROT_READ, MAP_SHARED, fd, 0));
        if (bytes == MAP_FAILED) {
            return 2;
        }
        ::fcntl(gate[0], F_SETFL, O_NONBLOCK);
        char byte;
        while (::read(gate[0], &byte, 1) < 0 && errno == EAGAIN) {
            (void)bytes[larger - 1]; // SIGBUS if the file was cut
            ::usleep(1000);
        }
        struct stat info = {};
        ::fstat(fd, &info);
        return static_cast<std::size_t>(info.st_size) == larger ? 0 : 3;
    });
    ::close(gate[0]);
    ::usleep(50000);

    std::string error;
    auto card = CardStateFile::open(path(), &error);
    ASSERT_NE(card, nullptr) << error;
    EXPECT_TRUE(card->wasInitialised());
    EXPECT_EQ(fileSize(path()), sizeof(CardStateLayout));
    ::usleep(50000);
    ::close(gate[1]); // the end of the pipe tells the user to stop
    EXPECT_EQ(user.waitExit(kHung), 0) << "128 + 7 is SIGBUS";
}

TEST_F(CardRecovery, AFileOfAnotherSizeThatCannotBeReplacedIsRefused)
{
    // A folder that the user cannot write to: no new file can be made beside the old one. Root
    // may write anywhere, so then the check runs as another user.
    const std::string folder = m_dir.file("fixed");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string file = folder + "/card";
    std::ofstream(file, std::ios::binary) << "0123456789";
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    const uid_t nobody = 65534;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(m_dir.path().c_str(), 0711), 0);
        ASSERT_EQ(::chown(folder.c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown(file.c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);

    Process refused = Process::forked([&file, nobody] {
        if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
            return 2;
        }
        std::string error;
        auto card = CardStateFile::open(file, &error);
        if (card) {
            return 3;
        }
        std::fprintf(stderr, "%s\n", error.c_str());
        return error.find("10 bytes") != std::string::npos && error.find("cannot be replaced") != std::string::npos ? 0
                                                                                                                    : 4;
    });
    EXPECT_EQ(refused.waitExit(kHung), 0);
    EXPECT_EQ(fileSize(file), 10u);
}

TEST_F(CardRecovery, AFileOfTheFirstLayoutIsTakenOverWithItsState)
{
    // What the first version of the layout left: everything up to the registers, no boot.
    const std::size_t firstSize = offsetof(CardStateLayout, bootId);
    std::vector<unsigned char> bytes(firstSize, 0);
    const std::uint32_t header[] = {kStateMagic, 1, static_cast<std::uint32_t>(firstSize), 3};
    std::memcpy(bytes.data(), header, sizeof header);
    const std::uint32_t chip = bt::kBt849;
    std::memcpy(bytes.data() + offsetof(CardStateLayout, chipId), &chip, sizeof chip);
    const std::uint32_t iform = bt::IFORM_MUX1;
    std::memcpy(bytes.data() + offsetof(CardStateLayout, registers) + bt::IFORM, &iform, sizeof iform);
    std::ofstream(path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    auto file = CardStateFile::open(path());
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->wasInitialised());
    EXPECT_EQ(fileSize(path()), sizeof(CardStateLayout));
    VirtualChip card(file->layout());
    EXPECT_EQ(card.chipId(), bt::kBt849);
    EXPECT_EQ(card.readRegister(bt::IFORM), bt::IFORM_MUX1);
    EXPECT_EQ(lockInAnotherProcess(), 0);
}

TEST_F(CardRecovery, MappedByCountsOnlyProgramsThatStillRun)
{
    // Programs that map the card through the driver library, as KavoRemote does.
    const std::string file = path();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::vector<Process> programs;
    for (int i = 0; i < 3; ++i) {
        programs.push_back(Process::forked([&file, &ready] {
            ::setenv("VELORA_CARD", file.c_str(), 1);
            velora::test::DriverLibrary driver;
            if (!driver.open(VELORA_DRIVER_LIBRARY) || driver.map(1, 0x40) != 1) {
                return 2;
            }
            if (::write(ready[1], "x", 1) != 1) {
                return 3;
            }
            ::pause();
            return 0;
        }));
    }
    char byte;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    }
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(mappedBy(), "Mapped by:     3 programs");

    programs[0].signal(SIGKILL);
    programs[1].signal(SIGKILL);
    EXPECT_TRUE(programs[0].waitExit(kHung) && programs[1].waitExit(kHung));
    EXPECT_EQ(mappedBy(), "Mapped by:     1 program");
    EXPECT_EQ(tool({"reset"}), 0);
    EXPECT_EQ(mappedBy(), "Mapped by:     1 program");

    programs[2].signal(SIGKILL);
    EXPECT_TRUE(programs[2].waitExit(kHung));
    EXPECT_EQ(mappedBy(), "Mapped by:     no program");
}

} // namespace
