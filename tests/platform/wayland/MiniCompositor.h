// A Wayland server for tests that offers only a seat and, on request, the virtual-keyboard
// protocol, and records what a client's virtual keyboard sends: a compositor that lacks the
// other protocols the Wayland desktop uses. It serves its socket on a thread of its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct wl_display;

namespace velora::test {

class MiniCompositor
{
public:
    struct Key
    {
        std::uint32_t key;
        bool pressed;
    };

    // Listens on socketPath.
    MiniCompositor(const std::string& socketPath, bool virtualKeyboard);
    ~MiniCompositor();
    MiniCompositor(const MiniCompositor&) = delete;
    MiniCompositor& operator=(const MiniCompositor&) = delete;

    bool ok() const { return m_display != nullptr; }
    std::vector<Key> keys() const;
    // The keymap a virtual keyboard handed over, empty before one did.
    std::string keymap() const;

    // For the protocol handlers.
    void addKey(std::uint32_t key, bool pressed);
    void setKeymap(std::string text);

private:
    wl_display* m_display = nullptr;
    std::thread m_thread;
    bool m_stop = false; // under m_mutex
    mutable std::mutex m_mutex;
    std::vector<Key> m_keys;
    std::string m_keymap;
};

} // namespace velora::test
