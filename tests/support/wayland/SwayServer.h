// A private Wayland desktop for one test: sway on the headless backend (no screen, no input
// devices, software rendering), in a runtime folder of its own, and windows of the Wayland
// test client (wayland-test-client.cpp) on it that tell what reaches them.
// sway refuses to run as root: run as root, the test runs it as the unprivileged user
// velora-test, which is created when missing; otherwise as the test's own user.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/Process.h"

namespace velora::test {

// A picture of the screen, 8-bit RGB rows.
struct Screenshot
{
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool ok() const { return width > 0 && height > 0; }
    // 0xRRGGBB; 0xdeadbeef outside the picture.
    unsigned long pixel(int x, int y) const;
};

// A window as sway lays it out.
struct SwayWindow
{
    bool found = false;
    bool fullscreen = false;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class SwayServer
{
public:
    // Starts sway with one output of the size ("WIDTHxHEIGHT") and waits until it takes
    // connections. Windows have no borders, so a window's coordinates start at its corner.
    explicit SwayServer(const std::string& outputSize = "1280x1024");
    ~SwayServer(); // stops sway and removes its folder
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    bool ok() const { return !m_socket.empty(); }
    // The display's socket, an absolute path as WAYLAND_DISPLAY and wl_display_connect take it.
    const std::string& socket() const { return m_socket; }
    // For programs that should run on this desktop: WAYLAND_DISPLAY, and no DISPLAY.
    EnvironmentChanges environment() const;
    // What sway wrote, for the message of a failed test.
    std::string log() const;
    // Runs a sway command (swaymsg) on this desktop; whether it succeeded.
    bool command(const std::string& text) const;
    bool running() { return m_sway.running(); }

    // The whole screen now (through grim and the screencopy protocol).
    Screenshot screenshot() const;
    // Where sway put the window of the program with this application id.
    SwayWindow window(const std::string& appId) const;

private:
    std::string m_folder;
    std::string m_socket;
    Process m_sway;
};

// One window of the test client on a sway desktop.
class WaylandTestWindow
{
public:
    // Starts the client; mapped() tells when its window is on the screen.
    WaylandTestWindow(const SwayServer& sway, const std::string& title, const std::string& appId);
    ~WaylandTestWindow();

    // Waits until the window is on the screen and has the keyboard focus.
    bool waitFocused(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The lines the client has written so far.
    std::vector<std::string> lines() const;
    // The names of the keys pressed so far, in order (the "key NAME TIME" lines).
    std::vector<std::string> keys() const;
    // Waits until a line starting with this text arrives after the first `after` lines; the
    // line, empty after the time.
    std::string waitForLine(const std::string& start, std::size_t after = 0,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool running() { return m_process.running(); }

private:
    std::string m_output;
    Process m_process;
};

} // namespace velora::test
