#include "tests/support/LircDaemon.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "tests/support/WaitUntil.h"

namespace velora::test {
namespace {

// A remote whose buttons lircd never decodes from a receiver: SIMULATE names them itself.
constexpr const char* kConfig = "begin remote\n"
                                "  name  velora-test\n"
                                "  bits  16\n"
                                "  eps   30\n"
                                "  aeps  100\n"
                                "  one   0 0\n"
                                "  zero  0 0\n"
                                "  gap   100000\n"
                                "  begin codes\n"
                                "    KEY_DOWN   0x0001\n"
                                "    KEY_UP     0x0002\n"
                                "    ChannelUp  0x0003\n"
                                "  end codes\n"
                                "end remote\n";

// lircd reads /etc/lirc/lirc_options.conf unless given a file of its own: this one keeps it
// in the foreground and away from the system's files.
constexpr const char* kOptions = "[lircd]\nnodaemon = True\nallow-simulate = Yes\n";

bool accepts(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

LircDaemon::LircDaemon()
{
    m_dir.write("lircd.conf", kConfig);
    m_dir.write("lirc_options.conf", kOptions);
}

LircDaemon::~LircDaemon()
{
    stop();
}

bool LircDaemon::installed()
{
    return onPath("lircd") && onPath("irsend");
}

bool LircDaemon::start(std::chrono::milliseconds timeout)
{
    if (m_lircd.started() && m_lircd.running()) {
        return true;
    }
    // The file driver on /dev/null: no receiver at all, only simulated buttons.
    m_lircd = Process("lircd", {"--nodaemon", "--allow-simulate", "--options-file=" + m_dir.file("lirc_options.conf"),
                                "--driver=file", "--device=/dev/null", "--output=" + socketPath(),
                                "--pidfile=" + m_dir.file("lircd.pid"), "--logfile=" + m_dir.file("lircd.log"),
                                m_dir.file("lircd.conf")});
    return m_lircd.started() &&
           waitUntil([this] { return accepts(socketPath()); }, timeout, std::chrono::milliseconds(5));
}

void LircDaemon::stop()
{
    if (m_lircd.started() && m_lircd.running()) {
        m_lircd.signal(SIGTERM);
        if (!m_lircd.waitExit(std::chrono::seconds(5))) {
            m_lircd.signal(SIGKILL);
            m_lircd.waitExit(std::chrono::seconds(5));
        }
    }
}

int LircDaemon::clientsAccepted() const
{
    const std::string log = readFile(m_dir.path() / "lircd.log");
    int count = 0;
    for (std::size_t at = log.find("accepted new client"); at != std::string::npos;
         at = log.find("accepted new client", at + 1)) {
        ++count;
    }
    return count;
}

bool LircDaemon::simulate(const std::string& button, int repeat, const std::string& remote)
{
    char line[256];
    std::snprintf(line, sizeof line, "%016x %02x %s %s", 1u, static_cast<unsigned>(repeat), button.c_str(),
                  remote.c_str());
    return runProgram("irsend", {"-d", socketPath(), "SIMULATE", line}, {}, std::chrono::seconds(10)) == 0;
}

} // namespace velora::test
