// KavoRemote started as a program from a copy of the suite folder, and the copy's virtual
// card as KavoRemote's driver library sees it: the receiver's byte in GPIO_DATA is 0xFF while
// KavoRemote has it armed and 0 once it let go.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/BtRegisters.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/WaitUntil.h"

namespace velora::test {

class KavoRemoteRun
{
public:
    explicit KavoRemoteRun(const SuiteCopy& suite) : m_suite(suite) {}

    // Opens the copy's card state, making it when needed; with reset, the chip as after
    // power-on. False when the state cannot be used.
    bool openCard(bool reset = true)
    {
        m_state = virtualcard::CardStateFile::open(m_suite.cardState().string());
        if (!m_state) {
            return false;
        }
        m_chip.emplace(m_state->layout());
        if (reset) {
            m_chip->reset();
        }
        return true;
    }
    virtualcard::CardStateFile& state() const { return *m_state; }
    // The card as the card tool sees it.
    virtualcard::VirtualChip& chip() { return *m_chip; }
    std::uint32_t gpioLow() const { return m_state->layout().registers[bt::GPIO_DATA / 4] & 0xFFu; }

    // Starts KavoRemote with extra changes over the copy's environment; with errorsToFile its
    // standard output and error go to a file (see errors()).
    Process& start(const EnvironmentChanges& extra = {}, bool errorsToFile = false)
    {
        m_errors = errorsToFile ? (m_suite.root() / "errors").string() : std::string();
        process = m_suite.start("KavoRemote", {}, extra, m_errors);
        return process;
    }
    // What the program wrote, when started with errorsToFile.
    std::string errors() const { return m_errors.empty() ? std::string() : readFile(m_errors); }
    // The log beside the program.
    std::string log() const { return readFile(m_suite.suite() / "remote.log"); }

    // Waits until the receiver is armed, then for the pause after which a different key counts
    // (200 ms after arming).
    ::testing::AssertionResult armed(std::chrono::milliseconds pause = std::chrono::milliseconds(300)) const
    {
        if (!waitUntil([&] { return gpioLow() == 0xFFu; }, std::chrono::seconds(15))) {
            return ::testing::AssertionFailure()
                   << "the receiver was never armed" << (m_errors.empty() ? "" : "\n" + errors());
        }
        std::this_thread::sleep_for(pause);
        return ::testing::AssertionSuccess();
    }

    // A key on the remote through the card tool, then the pause after which another key counts.
    void press(const char* key) const
    {
        ASSERT_EQ(m_suite.run("velora-card", {"press", key}, std::chrono::seconds(5)), 0) << key;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }

    // SIGTERM ends the program in order, with status 0.
    void endBySigterm()
    {
        process.signal(SIGTERM);
        EXPECT_EQ(process.waitExit(std::chrono::seconds(10)), 0);
    }
    // ... and it disarmed the receiver on the way.
    void endBySigtermDisarmed()
    {
        endBySigterm();
        EXPECT_EQ(gpioLow(), 0u) << "the receiver was left armed";
    }

    Process process;

private:
    const SuiteCopy& m_suite;
    std::unique_ptr<virtualcard::CardStateFile> m_state;
    std::optional<virtualcard::VirtualChip> m_chip;
    std::string m_errors;
};

// A test of KavoRemote on the X desktop that tests/support/with-desktop.sh starts, from a copy
// of the suite folder that keeps settings and log beside the program, as an unpacked one does.
class KavoRemoteOnDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X server (run through tests/support/with-desktop.sh)";
        }
        ASSERT_TRUE(m_suite.valid());
        m_suite.environment().erase("XDG_CONFIG_HOME");
    }
    // The same, and the copy's card opened with the chip as after power-on, for tests that
    // start KavoRemote (on another X server when given) once its receiver is armed.
    void setUpWithCard()
    {
        KavoRemoteOnDesktop::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            ASSERT_TRUE(m_remote.openCard());
        }
    }

    void startDaemon(const EnvironmentChanges& environment = {})
    {
        m_remote.start(environment);
        ASSERT_TRUE(m_remote.armed());
    }
    void press(const char* key) const { m_remote.press(key); }
    std::string remoteLog() const { return m_remote.log(); }
    void writeMacros(const std::string& text) const { std::ofstream(m_suite.suite() / "default.mac") << text; }

    SuiteCopy m_suite;
    KavoRemoteRun m_remote{m_suite};
};

} // namespace velora::test
