// KavoRemote on the key sources that need no card, as a user runs it: the built program from
// a copy of the suite folder, on a desktop with a window manager and a notification area, its
// keys from LIRC's real lircd (on a private socket, driven with irsend) or from an input
// device (a FIFO that the test writes input event records into). The keys arrive at a real
// window as the shipped default.mac binds them; held keys repeat and glide the pointer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include <X11/keysym.h>

#include "platform/linux/UniqueFd.h"
#include "tests/support/InputRecords.h"
#include "tests/support/KavoRemoteRun.h"
#include "tests/support/LircDaemon.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/XTestWindow.h"

namespace velora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::waitUntil;

class KavoRemoteSourcesTest : public test::KavoRemoteOnDesktop
{
protected:
    void writeSettings(const std::string& keys)
    {
        std::ofstream(m_suite.suite() / "velora.ini") << "[KavoRemote]\n" << keys;
    }

    // The card was never looked for: its state file was not even made.
    void expectCardUntouched() const
    {
        EXPECT_FALSE(fs::exists(m_suite.cardState())) << "KavoRemote looked for the card";
    }
};

TEST_F(KavoRemoteSourcesTest, LircKeysHeldKeysAndALircdThatRestarts)
{
    if (!test::LircDaemon::installed()) {
        GTEST_SKIP() << "needs lircd and irsend (Debian package lirc)";
    }
    test::LircDaemon lircd;
    ASSERT_TRUE(lircd.start());
    writeSettings("KeySource=lirc\nLircSocket=" + lircd.socketPath() + "\n");
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    const int clients = lircd.clientsAccepted();
    m_remote.start();
    ASSERT_TRUE(waitUntil([&] { return lircd.clientsAccepted() > clients; }, 15s)) << "never connected to lircd";
    EXPECT_TRUE(m_remote.process.running());

    window.focus();
    window.drain();
    // Kernel names, the remote's own names, and OK landing on Enter: as default.mac binds them.
    for (const char* button : {"KEY_DOWN", "ChannelUp", "KEY_OK", "KEY_UP"}) {
        ASSERT_TRUE(lircd.simulate(button)) << button;
    }
    EXPECT_EQ(window.keyPresses(1s), (std::vector<KeySym>{XK_Down, XK_Prior, XK_Return, XK_Up}));

    // A held key: the repeats lircd reports from 300 ms on play the macro again.
    ASSERT_TRUE(lircd.simulate("KEY_DOWN", 0));
    std::this_thread::sleep_for(400ms);
    ASSERT_TRUE(lircd.simulate("KEY_DOWN", 1));
    ASSERT_TRUE(lircd.simulate("KEY_DOWN", 2));
    EXPECT_EQ(window.keyPresses(1s), (std::vector<KeySym>{XK_Down, XK_Down, XK_Down}));

    // Mouse mode (KEY_MODE is MouseMode): a held 6 glides the pointer right, ever faster.
    ASSERT_TRUE(lircd.simulate("KEY_MODE"));
    std::this_thread::sleep_for(200ms);
    window.warpPointer(100, 500);
    ASSERT_TRUE(lircd.simulate("KEY_6", 0));
    for (int repeat = 1; repeat <= 12; ++repeat) {
        std::this_thread::sleep_for(110ms);
        ASSERT_TRUE(lircd.simulate("KEY_6", repeat));
    }
    std::this_thread::sleep_for(400ms);
    const auto [x, y] = window.pointer();
    EXPECT_GT(x, 100 + 400) << "a held direction should glide, not step 4 pixels a repeat";
    EXPECT_EQ(y, 500);
    ASSERT_TRUE(lircd.simulate("KEY_MODE"));
    std::this_thread::sleep_for(200ms);

    // lircd goes and comes back: KavoRemote stays, says so once, and keys arrive again.
    lircd.stop();
    ASSERT_TRUE(waitUntil([&] { return remoteLog().find("closed the connection") != std::string::npos; }, 5s))
        << remoteLog();
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(m_remote.process.running());
    const auto restarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(lircd.start());
    const std::string connected = "LIRC: connected to lircd at " + lircd.socketPath();
    ASSERT_TRUE(waitUntil([&] { return remoteLog().find(connected) != std::string::npos; }, 5s)) << remoteLog();
    EXPECT_LT(std::chrono::steady_clock::now() - restarted, 1s) << "not connected again within a second";
    window.focus();
    window.drain();
    ASSERT_TRUE(lircd.simulate("KEY_DOWN"));
    EXPECT_EQ(window.keyPresses(1s), std::vector<KeySym>{XK_Down});
    const std::string log = remoteLog();
    EXPECT_EQ(log.find("closed the connection"), log.rfind("closed the connection")) << "said more than once";

    m_remote.endBySigterm();
    expectCardUntouched();
}

TEST_F(KavoRemoteSourcesTest, InputDeviceRecordsFromAFifo)
{
    const std::string fifo = (m_suite.suite() / "event0").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeSettings("KeySource=input\nInputDevice=" + fifo + "\n");
    test::XTestWindow window("Velora Key Target");
    ASSERT_TRUE(window.ok());
    m_remote.start();
    // The FIFO takes a writer once KavoRemote reads it.
    posix::UniqueFd writer;
    ASSERT_TRUE(waitUntil(
        [&] {
            writer.reset(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
            return writer.valid();
        },
        15s));
    window.focus();
    window.drain();
    const std::string keys = test::keyRecord(KEY_DOWN, 1) + test::keyRecord(KEY_DOWN, 0) +
                             test::keyRecord(KEY_ENTER, 1) + test::keyRecord(KEY_ENTER, 0) +
                             test::keyRecord(KEY_PAGEUP, 1) + test::keyRecord(KEY_PAGEUP, 0);
    ASSERT_EQ(::write(writer.get(), keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    EXPECT_EQ(window.keyPresses(1s), (std::vector<KeySym>{XK_Down, XK_Return, XK_Prior}));
    // A FIFO cannot be grabbed: said once in the log, read all the same.
    EXPECT_NE(remoteLog().find("cannot grab " + fifo), std::string::npos) << remoteLog();

    // An unknown key is logged by its number.
    const std::string unknown = test::keyRecord(KEY_TEEN, 1);
    ASSERT_EQ(::write(writer.get(), unknown.data(), unknown.size()), static_cast<ssize_t>(unknown.size()));
    EXPECT_TRUE(
        waitUntil([&] { return remoteLog().find("    RK_MAKE(0x19e, RK_UNKNOWN),\n") != std::string::npos; }, 5s))
        << remoteLog();

    m_remote.endBySigterm();
    expectCardUntouched();
}

TEST_F(KavoRemoteSourcesTest, InputWithoutAReceiverWaitsForOne)
{
    // No receiver in a fake sysfs tree: KavoRemote starts all the same and says what it waits for.
    const fs::path sysfs = m_suite.suite() / "sysfs";
    fs::create_directories(sysfs / "class/rc");
    writeSettings("KeySource=input\n");
    m_remote.start({{"VELORA_SYSFS_ROOT", sysfs.string()}});
    ASSERT_TRUE(waitUntil([&] { return remoteLog().find("waiting for one") != std::string::npos; }, 15s))
        << remoteLog();
    EXPECT_NE(remoteLog().find("input: no remote-control receiver under " + sysfs.string() + "/class/rc"),
              std::string::npos);
    EXPECT_TRUE(m_remote.process.running());
    m_remote.endBySigterm();
    expectCardUntouched();
}

} // namespace
} // namespace velora
