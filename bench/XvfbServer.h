// A private X server for a benchmark: Xvfb started on a free display number (it reports the
// number through -displayfd), DISPLAY set to it, and the server stopped at the end. When it
// does not start, it says so on standard error and ok() is false.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

class XvfbServer
{
public:
    XvfbServer()
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        while (poll(&wait, 1, 10000) > 0) {
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            number.push_back(c);
        }
        close(fds[0]);
        if (number.empty()) {
            std::fputs("Xvfb did not start\n", stderr);
            return;
        }
        m_display = ":" + number;
        setenv("DISPLAY", m_display.c_str(), 1);
    }
    ~XvfbServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return !m_display.empty(); }

private:
    pid_t m_pid = -1;
    std::string m_display;
};
