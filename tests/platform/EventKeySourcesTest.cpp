// The event key sources against what they read on a real system: LIRC's own lircd on a
// private socket, FIFOs standing for input devices, and a fake sysfs tree of receivers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/InputKeySource.h"
#include "platform/linux/LircKeySource.h"
#include "tests/support/InputRecords.h"
#include "tests/support/LircDaemon.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::platform {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

// What a source hands over, as "name/code action" strings and notice lines.
class Collector
{
public:
    KeyEventSource::KeyHandler keys()
    {
        return [this](const KeyEvent& event) {
            const char* action = event.action == KeyAction::Press    ? "press"
                                 : event.action == KeyAction::Repeat ? "repeat"
                                                                     : "release";
            std::lock_guard lock(m_mutex);
            m_keys.push_back((event.code >= 0 ? std::to_string(event.code) : event.name) + " " + action);
            m_policies.push_back(::sched_getscheduler(0));
        };
    }
    // The scheduling policy of the thread each key came on.
    std::vector<int> policiesSeen()
    {
        std::lock_guard lock(m_mutex);
        return m_policies;
    }
    KeyEventSource::NoticeHandler notices()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_notices.push_back(line);
        };
    }
    std::vector<std::string> keysSeen()
    {
        std::lock_guard lock(m_mutex);
        return m_keys;
    }
    std::vector<std::string> noticesSeen()
    {
        std::lock_guard lock(m_mutex);
        return m_notices;
    }
    bool waitForKeys(std::size_t count, std::chrono::milliseconds timeout = 5s)
    {
        return waitUntil([&] { return keysSeen().size() >= count; }, timeout, 2ms);
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_keys;
    std::vector<std::string> m_notices;
    std::vector<int> m_policies;
};

TEST(LircKeySource, LinesOfLircdAreKeysWithTheirRepeatCount)
{
    KeyEvent event;
    ASSERT_TRUE(LircKeySource::parseLine("000000037ff07bef 00 KEY_DOWN mceusb", event));
    EXPECT_EQ(event.name, "KEY_DOWN");
    EXPECT_EQ(event.code, -1);
    EXPECT_EQ(event.action, KeyAction::Press);
    ASSERT_TRUE(LircKeySource::parseLine("000000037ff07bef 1a ChannelUp my remote\r", event) == false);
    ASSERT_TRUE(LircKeySource::parseLine("000000037ff07bef 1a ChannelUp remote\r", event));
    EXPECT_EQ(event.action, KeyAction::Repeat);
    for (const char* line : {"", "BEGIN", "SIGHUP", "0001 zz KEY_UP r", "0001 00 KEY_UP", "0001 -1 KEY_UP r"}) {
        EXPECT_FALSE(LircKeySource::parseLine(line, event)) << line;
    }
}

TEST(LircKeySource, ReadsLircdAndWaitsForItWhileItIsGone)
{
    if (!test::LircDaemon::installed()) {
        GTEST_SKIP() << "needs lircd and irsend (Debian package lirc)";
    }
    test::LircDaemon lircd;
    Collector seen;
    LircKeySource source(lircd.socketPath());
    // Started before lircd: it says so once and keeps trying.
    ASSERT_TRUE(source.start(seen.keys(), seen.notices()));
    ASSERT_TRUE(waitUntil([&] { return seen.noticesSeen().size() == 1; }, 5s));
    EXPECT_NE(seen.noticesSeen()[0].find("cannot reach lircd at " + lircd.socketPath()), std::string::npos)
        << seen.noticesSeen()[0];
    std::this_thread::sleep_for(1500ms); // several retries: still one line
    EXPECT_EQ(seen.noticesSeen().size(), 1u);

    ASSERT_TRUE(lircd.start());
    ASSERT_TRUE(waitUntil([&] { return seen.noticesSeen().size() == 2; }, 1s)) << "not connected within 1 s";
    EXPECT_EQ(seen.noticesSeen()[1], "LIRC: connected to lircd at " + lircd.socketPath());
    ASSERT_TRUE(lircd.simulate("KEY_DOWN"));
    ASSERT_TRUE(lircd.simulate("KEY_DOWN", 1));
    ASSERT_TRUE(lircd.simulate("Recall", 0, "another-remote"));
    ASSERT_TRUE(seen.waitForKeys(3));
    EXPECT_EQ(seen.keysSeen(), (std::vector<std::string>{"KEY_DOWN press", "KEY_DOWN repeat", "Recall press"}));

    // lircd's broadcast on a reload of its configuration (BEGIN, SIGHUP, END) is no key.
    lircd.reload();
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(lircd.simulate("KEY_UP", 2));
    ASSERT_TRUE(seen.waitForKeys(4));
    EXPECT_EQ(seen.keysSeen().back(), "KEY_UP repeat");
    EXPECT_EQ(seen.noticesSeen().size(), 2u) << seen.noticesSeen().back();

    // lircd stops and comes back: one line each way, and keys arrive again.
    const std::size_t before = seen.noticesSeen().size();
    lircd.stop();
    ASSERT_TRUE(waitUntil([&] { return seen.noticesSeen().size() > before; }, 5s));
    EXPECT_NE(seen.noticesSeen()[before].find("closed the connection"), std::string::npos)
        << seen.noticesSeen()[before];
    std::this_thread::sleep_for(2500ms); // long enough for the retries to back off
    EXPECT_EQ(seen.noticesSeen().size(), before + 1) << ::testing::PrintToString(seen.noticesSeen());
    const auto restarted = std::chrono::steady_clock::now();
    ASSERT_TRUE(lircd.start());
    ASSERT_TRUE(waitUntil([&] { return seen.noticesSeen().size() == before + 2; }, 1s)) << "not reconnected within 1 s";
    EXPECT_LT(std::chrono::steady_clock::now() - restarted, 1s);
    EXPECT_EQ(seen.noticesSeen().back(), "LIRC: connected to lircd at " + lircd.socketPath());
    ASSERT_TRUE(lircd.simulate("KEY_UP"));
    ASSERT_TRUE(seen.waitForKeys(5));
    EXPECT_EQ(seen.keysSeen().back(), "KEY_UP press");

    // A reconnection asked for: the connection is made anew, silently, and still works.
    source.reconnect();
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(lircd.simulate("KEY_DOWN"));
    ASSERT_TRUE(seen.waitForKeys(6));
    EXPECT_EQ(seen.keysSeen().size(), 6u);
    EXPECT_EQ(seen.noticesSeen().size(), before + 2);
    source.stop();
}

// One input event record, as the kernel writes it.
void writeAll(int fd, const std::string& bytes)
{
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

TEST(InputKeySource, ReadsKeyRecordsFromADeviceThatCannotBeGrabbed)
{
    test::TempDir dir("velora-input");
    const std::string fifo = dir.file("event7");
    Collector seen;
    InputKeySource source(fifo, dir.path().string());
    // Named but not there yet: said once, and taken as soon as it appears.
    ASSERT_TRUE(source.start(seen.keys(), seen.notices()));
    ASSERT_TRUE(waitUntil([&] { return seen.noticesSeen().size() == 1; }, 5s));
    EXPECT_NE(seen.noticesSeen()[0].find("cannot open " + fifo), std::string::npos) << seen.noticesSeen()[0];
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC); // blocks until the source opens it
    ASSERT_GE(writer, 0);
    ASSERT_TRUE(waitUntil([&] { return seen.noticesSeen().size() == 3; }, 2s));
    EXPECT_NE(seen.noticesSeen()[1].find("cannot grab " + fifo), std::string::npos) << seen.noticesSeen()[1];
    EXPECT_EQ(seen.noticesSeen()[2], "input: reading " + fifo);

    // Press, auto-repeat, release; scan codes and sync reports are no keys; a record split
    // across two writes is put together.
    const std::string held = test::inputRecord(EV_KEY, KEY_UP, 2);
    writeAll(writer, test::inputRecord(EV_MSC, MSC_SCAN, 0x40) + test::inputRecord(EV_KEY, KEY_UP, 1) +
                         test::inputRecord(EV_SYN, SYN_REPORT, 0) + held.substr(0, 10));
    std::this_thread::sleep_for(50ms);
    writeAll(writer, held.substr(10) + test::inputRecord(EV_KEY, KEY_UP, 0) + test::inputRecord(EV_KEY, KEY_OK, 1));
    ASSERT_TRUE(seen.waitForKeys(4));
    EXPECT_EQ(seen.keysSeen(), (std::vector<std::string>{"103 press", "103 repeat", "103 release", "352 press"}));
    // At normal priority, even where real-time priority is allowed: the kernel may then run
    // the reading thread on the writer's core instead of waking another.
    EXPECT_EQ(seen.policiesSeen(), std::vector<int>(4, SCHED_OTHER));

    // The writer goes and another comes: the source waits for it, without a busy loop or
    // another line.
    ::close(writer);
    std::this_thread::sleep_for(300ms);
    const int again = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(again, 0);
    writeAll(again, test::inputRecord(EV_KEY, KEY_CHANNELUP, 1));
    ASSERT_TRUE(seen.waitForKeys(5));
    EXPECT_EQ(seen.keysSeen().back(), "402 press");
    EXPECT_EQ(seen.noticesSeen().size(), 3u);
    ::close(again);
    const auto stopping = std::chrono::steady_clock::now();
    source.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s);
}

TEST(InputKeySource, FindsTheFirstReceiversDeviceInSysfs)
{
    test::TempDir sysfs("velora-sysfs");
    EXPECT_FALSE(findRemoteInputDevice(sysfs.path().string()));
    // rc2 has a device; rc10 has one too but comes later; rc0 has an input without an event
    // node; rc1 is a file, not a receiver; "rcx" is no receiver.
    sysfs.makeFolder("class/rc/rc0/input3/mouse0");
    sysfs.write("class/rc/rc1", "");
    sysfs.makeFolder("class/rc/rcx/input1/event1");
    sysfs.makeFolder("class/rc/rc10/input9/event9");
    EXPECT_EQ(findRemoteInputDevice(sysfs.path().string()), "/dev/input/event9");
    sysfs.makeFolder("class/rc/rc2/input12/event12");
    sysfs.makeFolder("class/rc/rc2/input12/event5x");
    EXPECT_EQ(findRemoteInputDevice(sysfs.path().string()), "/dev/input/event12");

    // Without a receiver and without a device named, it says so once and keeps looking.
    test::TempDir empty("velora-sysfs");
    Collector seen;
    InputKeySource source("", empty.path().string());
    ASSERT_TRUE(source.start(seen.keys(), seen.notices()));
    ASSERT_TRUE(waitUntil([&] { return !seen.noticesSeen().empty(); }, 5s));
    EXPECT_EQ(seen.noticesSeen()[0],
              "input: no remote-control receiver under " + empty.path().string() + "/class/rc; waiting for one");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(seen.noticesSeen().size(), 1u);
    source.stop();
}

} // namespace
} // namespace velora::platform
