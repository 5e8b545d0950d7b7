#include "tests/platform/wayland/MiniCompositor.h"

#include <wayland-server.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "virtual-keyboard-unstable-v1-server-protocol.h"

namespace velora::test {
namespace {

MiniCompositor* owner(wl_resource* resource)
{
    return static_cast<MiniCompositor*>(wl_resource_get_user_data(resource));
}

const struct zwp_virtual_keyboard_v1_interface kKeyboard = {
    // keymap: read it as a compositor does, from the file
    [](wl_client*, wl_resource* resource, std::uint32_t, std::int32_t fd, std::uint32_t size) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            owner(resource)->setKeymap(std::string(static_cast<const char*>(text), size));
            munmap(text, size);
        }
        close(fd);
    },
    // key
    [](wl_client*, wl_resource* resource, std::uint32_t, std::uint32_t key, std::uint32_t state) {
        owner(resource)->addKey(key, state == 1);
    },
    [](wl_client*, wl_resource*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}, // modifiers
    [](wl_client*, wl_resource* resource) { wl_resource_destroy(resource); },                    // destroy
};

const struct zwp_virtual_keyboard_manager_v1_interface kKeyboardManager = {
    // create_virtual_keyboard
    [](wl_client* client, wl_resource* manager, wl_resource*, std::uint32_t id) {
        wl_resource* keyboard = wl_resource_create(client, &zwp_virtual_keyboard_v1_interface, 1, id);
        wl_resource_set_implementation(keyboard, &kKeyboard, owner(manager), nullptr);
    },
};

} // namespace

MiniCompositor::MiniCompositor(const std::string& socketPath, bool virtualKeyboard)
{
    const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    if (listening < 0 || bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listening, 4) != 0) {
        if (listening >= 0) {
            close(listening);
        }
        return;
    }
    m_display = wl_display_create();
    wl_display_add_socket_fd(m_display, listening);
    // The seat takes no requests from the desktop: it only names the seat in its requests.
    wl_global_create(m_display, &wl_seat_interface, 1, this,
                     [](wl_client* client, void*, std::uint32_t version, std::uint32_t id) {
                         wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id);
                     });
    if (virtualKeyboard) {
        wl_global_create(m_display, &zwp_virtual_keyboard_manager_v1_interface, 1, this,
                         [](wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
                             wl_resource* manager = wl_resource_create(
                                 client, &zwp_virtual_keyboard_manager_v1_interface, static_cast<int>(version), id);
                             wl_resource_set_implementation(manager, &kKeyboardManager, data, nullptr);
                         });
    }
    m_thread = std::thread([this] {
        wl_event_loop* loop = wl_display_get_event_loop(m_display);
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stop) {
                    return;
                }
            }
            wl_event_loop_dispatch(loop, 20);
            wl_display_flush_clients(m_display);
        }
    });
}

MiniCompositor::~MiniCompositor()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_thread.join();
    }
    if (m_display != nullptr) {
        wl_display_destroy_clients(m_display);
        wl_display_destroy(m_display);
    }
}

std::vector<MiniCompositor::Key> MiniCompositor::keys() const
{
    std::lock_guard lock(m_mutex);
    return m_keys;
}

std::string MiniCompositor::keymap() const
{
    std::lock_guard lock(m_mutex);
    return m_keymap;
}

void MiniCompositor::addKey(std::uint32_t key, bool pressed)
{
    std::lock_guard lock(m_mutex);
    m_keys.push_back({key, pressed});
}

void MiniCompositor::setKeymap(std::string text)
{
    std::lock_guard lock(m_mutex);
    m_keymap = std::move(text);
}

} // namespace velora::test
