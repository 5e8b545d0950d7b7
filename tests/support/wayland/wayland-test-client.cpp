// A small Wayland program for the tests: one xdg-shell window with the title and application
// id of its command line, which writes what reaches it to standard output, one line each:
//   mapped                        the window is on the screen
//   focus in | focus out          it got or lost the keyboard focus
//   key NAME TIME_US              a key pressed, as the keysym name xkb gives with the
//                                 modifiers that hold (Shift+a is "A"), and when it arrived
//                                 (CLOCK_MONOTONIC, microseconds)
//   pointer enter X Y | pointer motion X Y    the pointer, in window coordinates
//   button CODE pressed|released  a mouse button (kernel codes: 272 left, 273 right)
//   closed                        the compositor asked the window to close
// Usage: wayland-test-client TITLE APP_ID [WIDTH HEIGHT]
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include "xdg-shell-client-protocol.h"

namespace {

struct Client
{
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
    int width = 400;
    int height = 300;
    bool mapped = false;
    bool closed = false;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
};

long long nowUs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

wl_buffer* makeBuffer(Client& client)
{
    const int stride = client.width * 4;
    const int size = stride * client.height;
    const int fd = memfd_create("test-client", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) {
        std::perror("memfd");
        std::exit(1);
    }
    void* pixels = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels != MAP_FAILED) {
        std::memset(pixels, 0x80, static_cast<size_t>(size));
        munmap(pixels, static_cast<size_t>(size));
    }
    wl_shm_pool* pool = wl_shm_create_pool(client.shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, client.width, client.height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

const wl_keyboard_listener kKeyboardListener = {
    .keymap =
        [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
            auto* client = static_cast<Client*>(data);
            if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
                void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
                if (text != MAP_FAILED) {
                    xkb_keymap* keymap = xkb_keymap_new_from_buffer(
                        client->xkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
                        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
                    munmap(text, size);
                    if (keymap != nullptr) {
                        xkb_state_unref(client->state);
                        xkb_keymap_unref(client->keymap);
                        client->keymap = keymap;
                        client->state = xkb_state_new(keymap);
                    }
                }
            }
            close(fd);
        },
    .enter = [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) { std::printf("focus in\n"); },
    .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) { std::printf("focus out\n"); },
    .key =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
            auto* client = static_cast<Client*>(data);
            if (state != WL_KEYBOARD_KEY_STATE_PRESSED || client->state == nullptr) {
                return;
            }
            const long long when = nowUs();
            char name[64] = "unknown";
            xkb_keysym_get_name(xkb_state_key_get_one_sym(client->state, key + 8), name, sizeof name);
            std::printf("key %s %lld\n", name, when);
        },
    .modifiers =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
           std::uint32_t locked, std::uint32_t group) {
            auto* client = static_cast<Client*>(data);
            if (client->state != nullptr) {
                xkb_state_update_mask(client->state, depressed, latched, locked, 0, 0, group);
            }
        },
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_pointer_listener kPointerListener = {
    .enter = [](void*, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x,
                wl_fixed_t y) { std::printf("pointer enter %d %d\n", wl_fixed_to_int(x), wl_fixed_to_int(y)); },
    .leave = [](void*, wl_pointer*, std::uint32_t, wl_surface*) { std::printf("pointer leave\n"); },
    .motion = [](void*, wl_pointer*, std::uint32_t, wl_fixed_t x,
                 wl_fixed_t y) { std::printf("pointer motion %d %d\n", wl_fixed_to_int(x), wl_fixed_to_int(y)); },
    .button =
        [](void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
            std::printf("button %u %s\n", button, state == WL_POINTER_BUTTON_STATE_PRESSED ? "pressed" : "released");
        },
    .axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, std::uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    .axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_seat_listener kSeatListener = {
    .capabilities =
        [](void* data, wl_seat* seat, std::uint32_t capabilities) {
            auto* client = static_cast<Client*>(data);
            if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && client->keyboard == nullptr) {
                client->keyboard = wl_seat_get_keyboard(seat);
                wl_keyboard_add_listener(client->keyboard, &kKeyboardListener, client);
            }
            if ((capabilities & WL_SEAT_CAPABILITY_POINTER) != 0 && client->pointer == nullptr) {
                client->pointer = wl_seat_get_pointer(seat);
                wl_pointer_add_listener(client->pointer, &kPointerListener, client);
            }
        },
    .name = [](void*, wl_seat*, const char*) {},
};

const xdg_wm_base_listener kWmBaseListener = {
    .ping = [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const xdg_surface_listener kXdgSurfaceListener = {
    .configure =
        [](void* data, xdg_surface* surface, std::uint32_t serial) {
            auto* client = static_cast<Client*>(data);
            xdg_surface_ack_configure(surface, serial);
            if (client->buffer == nullptr) {
                client->buffer = makeBuffer(*client);
            }
            wl_surface_attach(client->surface, client->buffer, 0, 0);
            wl_surface_damage(client->surface, 0, 0, client->width, client->height);
            wl_surface_commit(client->surface);
            if (!client->mapped) {
                client->mapped = true;
                std::printf("mapped\n");
            }
        },
};

const xdg_toplevel_listener kToplevelListener = {
    .configure =
        [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
            auto* client = static_cast<Client*>(data);
            if (width > 0 && height > 0 && (width != client->width || height != client->height)) {
                client->width = width;
                client->height = height;
                if (client->buffer != nullptr) {
                    wl_buffer_destroy(client->buffer);
                    client->buffer = nullptr;
                }
            }
        },
    .close =
        [](void* data, xdg_toplevel*) {
            std::printf("closed\n");
            static_cast<Client*>(data)->closed = true;
        },
    .configure_bounds = [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    .wm_capabilities = [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
            auto* client = static_cast<Client*>(data);
            const std::string which(interface);
            if (which == wl_compositor_interface.name) {
                client->compositor =
                    static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
            } else if (which == wl_shm_interface.name) {
                client->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
            } else if (which == xdg_wm_base_interface.name) {
                client->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
                xdg_wm_base_add_listener(client->wmBase, &kWmBaseListener, client);
            } else if (which == wl_seat_interface.name && client->seat == nullptr) {
                client->seat = static_cast<wl_seat*>(
                    wl_registry_bind(registry, name, &wl_seat_interface, version < 5 ? version : 5));
                wl_seat_add_listener(client->seat, &kSeatListener, client);
            }
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: wayland-test-client TITLE APP_ID [WIDTH HEIGHT]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Client client;
    if (argc == 5) {
        client.width = std::atoi(argv[3]);
        client.height = std::atoi(argv[4]);
    }
    client.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wayland-test-client: no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &client);
    wl_display_roundtrip(display);
    if (client.compositor == nullptr || client.shm == nullptr || client.wmBase == nullptr) {
        std::fprintf(stderr, "wayland-test-client: the compositor lacks wl_compositor, wl_shm or xdg_wm_base\n");
        return 1;
    }
    client.surface = wl_compositor_create_surface(client.compositor);
    client.xdgSurface = xdg_wm_base_get_xdg_surface(client.wmBase, client.surface);
    xdg_surface_add_listener(client.xdgSurface, &kXdgSurfaceListener, &client);
    client.toplevel = xdg_surface_get_toplevel(client.xdgSurface);
    xdg_toplevel_add_listener(client.toplevel, &kToplevelListener, &client);
    xdg_toplevel_set_title(client.toplevel, argv[1]);
    xdg_toplevel_set_app_id(client.toplevel, argv[2]);
    wl_surface_commit(client.surface);
    while (!client.closed && wl_display_dispatch(display) >= 0) {
    }
    wl_display_disconnect(display);
    return 0;
}
