// LIRC's own lircd, run by a test on a private socket in a temporary folder (never the
// system's /run/lirc/lircd): it accepts SIMULATE, so that irsend can make it report any
// button of any remote as if it had been pressed. Stopped when the object goes.
#pragma once

#include <chrono>
#include <csignal>
#include <string>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace velora::test {

class LircDaemon
{
public:
    LircDaemon();
    ~LircDaemon();
    LircDaemon(const LircDaemon&) = delete;
    LircDaemon& operator=(const LircDaemon&) = delete;

    // Whether lircd and irsend are installed (the Debian package lirc).
    static bool installed();

    // Starts lircd and waits until its socket takes clients; false when it did not.
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Ends lircd (SIGTERM) and waits for it; its socket file stays behind, as after a crash.
    void stop();
    bool running() { return m_lircd.running(); }
    // Makes lircd read its configuration again (SIGHUP), which it tells its clients.
    void reload() { m_lircd.signal(SIGHUP); }

    // lircd reports a button, with a repeat count (0 for a press); false when irsend failed.
    bool simulate(const std::string& button, int repeat = 0, const std::string& remote = "velora-test");

    // How many clients lircd has taken since it first started (irsend's included), from its
    // log: a client that connects shows as one more.
    int clientsAccepted() const;

    std::string socketPath() const { return m_dir.file("lircd.socket"); }
    // The folder lircd works in, for files a test puts beside it.
    const TempDir& folder() const { return m_dir; }

private:
    TempDir m_dir{"velora-lircd"};
    Process m_lircd;
};

} // namespace velora::test
