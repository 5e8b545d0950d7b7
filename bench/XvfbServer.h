// A private X server for a benchmark: Xvfb started on a free display number (it reports the
// number through -displayfd), DISPLAY set to it, and the server stopped at the end. When it
// does not start, it says so on standard error and ok() is false.
#pragma once

#include "platform/linux/UniqueFd.h"
#include "tests/support/Process.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

class XvfbServer
{
public:
    XvfbServer()
    {
        int fds[2];
        if (::pipe2(fds, 0) != 0) {
            return;
        }
        // Xvfb gets the end it writes the number to, and only that one.
        const velora::posix::UniqueFd reader(fds[0]);
        ::fcntl(reader.get(), F_SETFD, FD_CLOEXEC);
        {
            const velora::posix::UniqueFd writer(fds[1]);
            m_server = velora::test::Process("Xvfb", {"-displayfd", std::to_string(writer.get()), "-screen", "0",
                                                      "1280x1024x24", "-nolisten", "tcp"});
        }
        std::string number;
        pollfd wait{reader.get(), POLLIN, 0};
        while (m_server.started() && poll(&wait, 1, 10000) > 0) {
            char c = 0;
            if (read(reader.get(), &c, 1) != 1 || c == '\n') {
                break;
            }
            number.push_back(c);
        }
        if (number.empty()) {
            std::fputs("Xvfb did not start\n", stderr);
            return;
        }
        m_display = ":" + number;
        setenv("DISPLAY", m_display.c_str(), 1);
    }
    ~XvfbServer()
    {
        m_server.signal(SIGTERM);
        m_server.waitExit(std::chrono::seconds(10));
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return !m_display.empty(); }

private:
    velora::test::Process m_server;
    std::string m_display;
};
