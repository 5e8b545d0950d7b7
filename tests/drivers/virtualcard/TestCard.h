// A virtual card of a test's own: its state file in a temporary folder, opened on first use,
// so that tests of the virtual card never touch the user's card state.
#pragma once

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

namespace velora::test {

class TestCard
{
public:
    bool valid() const { return m_dir.valid(); }
    const TempDir& folder() const { return m_dir; }
    // Where the state file is (or will be).
    std::string path() const { return m_dir.file("card"); }

    // Opens the state file, making it when needed; false when it cannot be used.
    bool open()
    {
        if (!m_file) {
            m_file = virtualcard::CardStateFile::open(path());
            if (m_file) {
                m_chip = std::make_unique<virtualcard::VirtualChip>(m_file->layout());
            }
        }
        return m_file != nullptr;
    }

    // The card as another process sees it; the test fails when the file cannot be used.
    virtualcard::VirtualChip& chip()
    {
        if (!open()) {
            throw std::runtime_error("the card state file " + path() + " cannot be used");
        }
        return *m_chip;
    }
    virtualcard::CardStateFile& file()
    {
        chip();
        return *m_file;
    }

private:
    TempDir m_dir{"velora-card-test"};
    std::unique_ptr<virtualcard::CardStateFile> m_file;
    std::unique_ptr<virtualcard::VirtualChip> m_chip;
};

// Opens the card at path in another process, as a second program would, takes its lock the
// given number of times in a row and records a transfer after that: 0 when all of it worked,
// -1 when the process hung, another number for what failed.
inline int lockInAnotherProcess(const std::string& path, std::chrono::milliseconds timeout, int times = 1)
{
    Process user = Process::forked([&path, times] {
        auto own = virtualcard::CardStateFile::open(path);
        if (!own) {
            return 2;
        }
        for (int i = 0; i < times; ++i) {
            virtualcard::CardLock lock(own->layout());
            if (!lock.held()) {
                return 3;
            }
        }
        virtualcard::VirtualChip(own->layout()).writeRegister(bt::I2C, bt::i2cWriteWord(0xC2, 0x05E2));
        return 0;
    });
    return user.waitExit(timeout).value_or(-1);
}

} // namespace velora::test
