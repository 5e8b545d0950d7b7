// The Wayland desktop inside: its state and the protocol objects it holds, shared by the file
// that opens it and serves its event thread and the file of its keys, pointer and windows.
#pragma once

#include "platform/wayland/WaylandDesktop.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include "platform/linux/UniqueFd.h"
#include "platform/wayland/WaylandKeymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace velora::platform::wayland {

// The mouse buttons as the kernel numbers them (linux/input-event-codes.h).
constexpr std::uint32_t kButtonLeft = 0x110;
constexpr std::uint32_t kButtonRight = 0x111;

// The longest title foregroundTitle() gives, in bytes.
constexpr std::size_t kMaxTitleBytes = 255;

inline std::uint32_t nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// Cuts text to at most max bytes without splitting a UTF-8 sequence.
inline std::string cutUtf8(const std::string& text, std::size_t max)
{
    if (text.size() <= max) {
        return text;
    }
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

struct Toplevel
{
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    std::string title;
    std::string appId;
    bool activated = false;
};

struct Output
{
    wl_output* output = nullptr;
    std::uint32_t name = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int scale = 1;
};

class WaylandDesktop final : public Desktop
{
public:
    WaylandDesktop(wl_display* display, DesktopLog log, std::function<void()> onConnectionLost)
        : m_display(display), m_log(std::move(log)), m_onConnectionLost(std::move(onConnectionLost))
    {}
    ~WaylandDesktop() override;

    // Binds the globals and sets the keyboard up; false when there is no virtual keyboard.
    bool open();

    void keyEvent(std::uint8_t virtualKey, bool down) override;
    void mouseButton(MouseButton button, bool down) override;
    PointerPosition pointerPosition() override;
    void setPointerPosition(int x, int y) override;
    std::string foregroundTitle() override;
    WindowClass foregroundClass() override;
    void minimiseForeground() override;
    void maximiseForeground() override;
    bool activateWindow(const std::string& title) override;
    bool isKeyDown(std::uint8_t virtualKey) override;

private:
    static const wl_registry_listener kRegistryListener;
    static const wl_output_listener kOutputListener;
    static const zwlr_foreign_toplevel_manager_v1_listener kManagerListener;
    static const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener;

    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1* manager,
                           zwlr_foreign_toplevel_handle_v1* handle);
    static void onManagerFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager);

    void log(const std::string& line)
    {
        if (m_log) {
            m_log(line);
        }
    }
    bool setUpKeyboard();
    void run();
    void connectionLost();
    void flush();                                                  // with m_mutex held
    Toplevel* activeToplevel();                                    // with m_mutex held
    bool layoutBox(int& x, int& y, int& width, int& height) const; // with m_mutex held
    void sendModifiers();                                          // with m_mutex held

    wl_display* m_display;
    DesktopLog m_log;
    std::function<void()> m_onConnectionLost;

    std::mutex m_mutex; // everything below, and the requests on the connection
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1* m_keyboardManager = nullptr;
    zwlr_virtual_pointer_manager_v1* m_pointerManager = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_toplevelManager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    std::vector<Output> m_outputs;
    bool m_lost = false;

    WaylandKeymap m_keymap;
    xkb_context* m_xkbContext = nullptr;
    xkb_keymap* m_xkbKeymap = nullptr;
    xkb_state* m_xkbState = nullptr;
    std::array<std::uint32_t, 4> m_sentModifiers{};
    std::array<bool, 256> m_keyHeld{};
    bool m_leftHeld = false;
    bool m_rightHeld = false;
    PointerPosition m_pointerPosition;

    posix::UniqueFd m_wake; // an eventfd: stop the event thread
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace velora::platform::wayland
