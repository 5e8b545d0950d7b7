#include "tests/support/XServer.h"

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "tests/support/WaitUntil.h"

namespace velora::test {
namespace {

// The display number that Xvfb -displayfd writes once it listens; empty after the time.
std::string readDisplayNumber(int fd, std::chrono::milliseconds timeout)
{
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[16];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        number.append(buffer, static_cast<std::size_t>(got));
        if (number.find('\n') != std::string::npos) {
            return number.substr(0, number.find('\n'));
        }
    }
    return {};
}

bool windowManagerReady(Display* display)
{
    return !windowsInProperty(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK").empty();
}

} // namespace

XServer::XServer(const std::string& screenSize)
{
    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    // Only the write end goes to the server.
    fcntl(pipeFds[1], F_SETFD, 0);
    m_server = Process("/usr/bin/env", {"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-noreset", "-nolisten",
                                        "tcp", "-screen", "0", screenSize + "x24"});
    close(pipeFds[1]);
    const std::string number = m_server.started() ? readDisplayNumber(pipeFds[0], std::chrono::seconds(20)) : "";
    close(pipeFds[0]);
    if (!number.empty()) {
        m_display = ":" + number;
    }
}

XServer::~XServer()
{
    for (Process* process : {&m_notificationArea, &m_windowManager, &m_server}) {
        process->signal(SIGTERM);
        if (!process->waitExit(std::chrono::seconds(5))) {
            process->signal(SIGKILL);
            process->waitExit(std::chrono::seconds(5));
        }
    }
}

DisplayPtr XServer::connect() const
{
    return ok() ? openDisplay(m_display) : DisplayPtr();
}

bool XServer::startWindowManager(std::chrono::milliseconds timeout)
{
    DisplayPtr display = connect();
    if (!display) {
        return false;
    }
    // No key shortcuts: the window manager would otherwise take keys such as F11 for itself.
    m_windowManager = Process(
        "/usr/bin/env", {"matchbox-window-manager", "-use_titlebar", "yes", "-kbdconfig", "/dev/null"}, environment());
    return waitUntil([&] { return m_windowManager.running() && windowManagerReady(display.get()); }, timeout,
                     std::chrono::milliseconds(50));
}

bool XServer::startNotificationArea(std::chrono::milliseconds timeout)
{
    DisplayPtr display = connect();
    if (!display) {
        return false;
    }
    // As wide as the screen: see tests/support/with-desktop.sh.
    m_notificationArea = Process("/usr/bin/env",
                                 {"trayer", "--edge", "top", "--align", "right", "--widthtype", "percent", "--width",
                                  "100", "--heighttype", "pixel", "--height", "32", "--SetDockType", "true",
                                  "--transparent", "false", "--tint", "0xdddddd"},
                                 environment());
    return waitForSelectionOwner(display.get(), "_NET_SYSTEM_TRAY_S0", timeout);
}

void XServer::kill()
{
    m_server.signal(SIGKILL);
    m_server.waitExit(std::chrono::seconds(5));
}

} // namespace velora::test
