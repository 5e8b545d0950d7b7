// A private X server for one test: Xvfb on a display number of its own, started with -noreset
// (otherwise the server resets whenever its last client leaves, and a program connecting at
// that moment fails), optionally with a window manager (matchbox) and a notification area
// (trayer). Unlike the shared server of tests/support/with-desktop.sh, a test may kill it midway,
// or add the notification area late.
// Include GoogleTest before this header: Xlib's macros (None, Bool) break it otherwise.
#pragma once

#include <chrono>
#include <string>

#include "tests/support/Process.h"
#include "tests/support/XDisplay.h"

namespace velora::test {

class XServer
{
public:
    // Starts the server with one screen of the size ("1280x1024", the default, or any
    // "WIDTHxHEIGHT"), 24 bits deep, and waits until it takes connections.
    explicit XServer(const std::string& screenSize = "1280x1024");
    ~XServer(); // stops whatever still runs
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return !m_display.empty(); }
    // ":N", as DISPLAY takes it.
    const std::string& display() const { return m_display; }
    // DISPLAY for programs that should run on this server.
    EnvironmentChanges environment() const { return {{"DISPLAY", m_display}}; }
    // A connection of the test's own.
    DisplayPtr connect() const;

    // Starts matchbox and waits until it has claimed the screen.
    bool startWindowManager(std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // Starts trayer and waits until it owns the notification-area selection _NET_SYSTEM_TRAY_S0.
    bool startNotificationArea(std::chrono::milliseconds timeout = std::chrono::seconds(15));

    // The server goes away at once (SIGKILL), as on a crash; the helpers stop with it.
    void kill();
    bool running() { return m_server.running(); }

private:
    Process m_server;
    Process m_windowManager;
    Process m_notificationArea;
    std::string m_display;
};

} // namespace velora::test
