#include "platform/wayland/WaylandDesktopState.h"

namespace velora::platform::wayland {

// ---- the globals ----

const wl_registry_listener WaylandDesktop::kRegistryListener = {&WaylandDesktop::onGlobal,
                                                                &WaylandDesktop::onGlobalRemove};

const wl_output_listener WaylandDesktop::kOutputListener = {
    // geometry: where the output sits in the layout
    [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t, const char*,
       const char*, std::int32_t) {
        auto* output = static_cast<Output*>(data);
        output->x = x;
        output->y = y;
    },
    // mode: the current one gives the size in pixels
    [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
        if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
            auto* output = static_cast<Output*>(data);
            output->width = width;
            output->height = height;
        }
    },
    [](void*, wl_output*) {},
    [](void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = factor > 0 ? factor : 1; },
    [](void*, wl_output*, const char*) {}, // name
    [](void*, wl_output*, const char*) {}, // description
};

void WaylandDesktop::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                              std::uint32_t version)
{
    auto* self = static_cast<WaylandDesktop*>(data);
    const std::string_view which(interface);
    if (which == wl_seat_interface.name && self->m_seat == nullptr) {
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (which == zwp_virtual_keyboard_manager_v1_interface.name && self->m_keyboardManager == nullptr) {
        self->m_keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (which == zwlr_virtual_pointer_manager_v1_interface.name && self->m_pointerManager == nullptr) {
        self->m_pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (which == zwlr_foreign_toplevel_manager_v1_interface.name && self->m_toplevelManager == nullptr) {
        self->m_toplevelManager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
            std::min<std::uint32_t>(version,
                                    static_cast<std::uint32_t>(zwlr_foreign_toplevel_manager_v1_interface.version))));
        zwlr_foreign_toplevel_manager_v1_add_listener(self->m_toplevelManager, &kManagerListener, self);
    } else if (which == wl_output_interface.name) {
        // The outputs' sizes make the box in which absolute pointer motion is given.
        Output output;
        output.name = name;
        output.output = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min<std::uint32_t>(version, 2)));
        self->m_outputs.push_back(output);
        // Vector growth moves the elements: point every listener at its element again.
        for (Output& each : self->m_outputs) {
            wl_proxy_set_user_data(reinterpret_cast<wl_proxy*>(each.output), &each);
        }
        wl_output_add_listener(self->m_outputs.back().output, &kOutputListener, &self->m_outputs.back());
    }
}

void WaylandDesktop::onGlobalRemove(void* data, wl_registry*, std::uint32_t name)
{
    auto* self = static_cast<WaylandDesktop*>(data);
    auto& outputs = self->m_outputs;
    const auto gone = std::find_if(outputs.begin(), outputs.end(), [&](const Output& o) { return o.name == name; });
    if (gone != outputs.end()) {
        wl_output_destroy(gone->output);
        outputs.erase(gone);
        for (Output& each : outputs) {
            wl_proxy_set_user_data(reinterpret_cast<wl_proxy*>(each.output), &each);
        }
    }
}

// ---- the windows ----

const zwlr_foreign_toplevel_manager_v1_listener WaylandDesktop::kManagerListener = {&WaylandDesktop::onToplevel,
                                                                                    &WaylandDesktop::onManagerFinished};

const zwlr_foreign_toplevel_handle_v1_listener WaylandDesktop::kToplevelListener = {
    // title
    [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        static_cast<Toplevel*>(data)->title = title != nullptr ? title : "";
    },
    // app_id
    [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        static_cast<Toplevel*>(data)->appId = appId != nullptr ? appId : "";
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}, // output_enter
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}, // output_leave
    // state: an array of the states that hold
    [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        bool activated = false;
        const auto* state = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
            activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        }
        static_cast<Toplevel*>(data)->activated = activated;
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*) {}, // done
    // closed: the window is gone
    [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* toplevel = static_cast<Toplevel*>(data);
        toplevel->handle = nullptr;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}, // parent
};

void WaylandDesktop::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WaylandDesktop*>(data);
    // Closed windows are dropped here rather than in their own event, where the element that
    // the event's user data points at must stay.
    std::erase_if(self->m_toplevels, [](const auto& toplevel) { return toplevel->handle == nullptr; });
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, toplevel.get());
    self->m_toplevels.push_back(std::move(toplevel));
}

void WaylandDesktop::onManagerFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
{
    auto* self = static_cast<WaylandDesktop*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
    self->m_toplevelManager = nullptr;
}

Toplevel* WaylandDesktop::activeToplevel()
{
    if (m_lost) {
        return nullptr;
    }
    for (const auto& toplevel : m_toplevels) {
        if (toplevel->handle != nullptr && toplevel->activated) {
            return toplevel.get();
        }
    }
    return nullptr;
}

// ---- opening and the event thread ----

bool WaylandDesktop::open()
{
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    // The first round trip brings the globals, the second what the bound ones say at once
    // (the outputs' sizes, the windows there are).
    if (wl_display_roundtrip(m_display) < 0 || wl_display_roundtrip(m_display) < 0) {
        return false;
    }
    if (m_seat == nullptr || m_keyboardManager == nullptr) {
        log(m_seat == nullptr ? "The Wayland display has no seat: no keys can be sent there."
                              : "The Wayland compositor offers no virtual keyboard "
                                "(zwp_virtual_keyboard_manager_v1): no keys can be sent there.");
        return false;
    }
    if (!setUpKeyboard()) {
        return false;
    }
    if (m_pointerManager != nullptr) {
        m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(m_pointerManager, m_seat);
    } else {
        log("The Wayland compositor offers no virtual pointer (zwlr_virtual_pointer_manager_v1): "
            "the mouse mode cannot move the pointer or press its buttons.");
    }
    if (m_toplevelManager == nullptr) {
        log("The Wayland compositor offers no list of windows (zwlr_foreign_toplevel_manager_v1): "
            "per-window macros use the Default section, and windows cannot be activated, minimised "
            "or maximised.");
    }
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    if (layoutBox(x, y, width, height)) {
        // The pointer's real position cannot be read on Wayland: the first mouse-mode step
        // starts from the middle of the screen.
        m_pointerPosition = {x + width / 2, y + height / 2};
    }
    if (wl_display_roundtrip(m_display) < 0) {
        return false;
    }

    m_wake.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_wake.valid()) {
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

bool WaylandDesktop::setUpKeyboard()
{
    m_xkbContext = xkb_context_new(
        static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (m_xkbContext != nullptr) {
        m_xkbKeymap = xkb_keymap_new_from_string(m_xkbContext, m_keymap.text().c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                 XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (m_xkbKeymap != nullptr) {
        m_xkbState = xkb_state_new(m_xkbKeymap);
    }
    if (m_xkbState == nullptr) {
        log("The keymap of the Wayland virtual keyboard does not compile: no keys can be sent.");
        return false;
    }
    // The compositor maps the keymap from a file: one in memory, with its closing zero.
    const std::string& text = m_keymap.text();
    posix::UniqueFd file(memfd_create("velora-keymap", MFD_CLOEXEC));
    if (!file.valid() || ftruncate(file.get(), static_cast<off_t>(text.size() + 1)) != 0 ||
        pwrite(file.get(), text.c_str(), text.size() + 1, 0) != static_cast<ssize_t>(text.size() + 1)) {
        log(std::string("The keymap of the Wayland virtual keyboard cannot be handed over: ") + std::strerror(errno));
        return false;
    }
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_keyboardManager, m_seat);
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, file.get(),
                                   static_cast<std::uint32_t>(text.size() + 1));
    return true;
}

void WaylandDesktop::run()
{
    const int displayFd = wl_display_get_fd(m_display);
    for (;;) {
        short displayEvents = POLLIN;
        bool prepared = false;
        {
            std::lock_guard lock(m_mutex);
            // Events already read are handled before this thread may read more.
            while (!(prepared = wl_display_prepare_read(m_display) == 0)) {
                if (wl_display_dispatch_pending(m_display) < 0) {
                    break;
                }
            }
            if (!prepared || wl_display_get_error(m_display) != 0) {
                m_lost = true;
            } else if (wl_display_flush(m_display) < 0 && errno == EAGAIN) {
                displayEvents |= POLLOUT; // the socket is full: flush again when it drains
            }
        }
        if (m_lost) {
            if (prepared) {
                wl_display_cancel_read(m_display);
            }
            connectionLost();
            return;
        }
        pollfd fds[2] = {{displayFd, displayEvents, 0}, {m_wake.get(), POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (m_stop.load()) {
            wl_display_cancel_read(m_display);
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(m_wake.get(), &count, sizeof count);
        }
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            // Reading ends the prepared read, failed or not.
            if (wl_display_read_events(m_display) < 0) {
                std::lock_guard lock(m_mutex);
                m_lost = true;
                continue;
            }
        } else {
            wl_display_cancel_read(m_display);
        }
        std::lock_guard lock(m_mutex);
        if (wl_display_dispatch_pending(m_display) < 0) {
            m_lost = true;
        }
    }
}

void WaylandDesktop::connectionLost()
{
    log("The connection to the Wayland display was lost: keys and windows there are out of reach.");
    if (m_onConnectionLost) {
        m_onConnectionLost();
    }
}

void WaylandDesktop::flush()
{
    if (wl_display_flush(m_display) < 0 && errno == EAGAIN) {
        // The event thread flushes the rest once the socket drains.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake.get(), &one, sizeof one);
    }
}

WaylandDesktop::~WaylandDesktop()
{
    if (m_thread.joinable()) {
        m_stop.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake.get(), &one, sizeof one);
        m_thread.join();
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_lost) {
            const std::uint32_t time = nowMs();
            for (std::size_t key = 0; key < m_keyHeld.size(); ++key) {
                if (m_keyHeld[key] && m_keyboard != nullptr) {
                    zwp_virtual_keyboard_v1_key(m_keyboard, time, static_cast<std::uint32_t>(key),
                                                WL_KEYBOARD_KEY_STATE_RELEASED);
                }
            }
            if (m_pointer != nullptr && (m_leftHeld || m_rightHeld)) {
                if (m_leftHeld) {
                    zwlr_virtual_pointer_v1_button(m_pointer, time, kButtonLeft, WL_POINTER_BUTTON_STATE_RELEASED);
                }
                if (m_rightHeld) {
                    zwlr_virtual_pointer_v1_button(m_pointer, time, kButtonRight, WL_POINTER_BUTTON_STATE_RELEASED);
                }
                zwlr_virtual_pointer_v1_frame(m_pointer);
            }
        }
        if (m_keyboard != nullptr) {
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        }
        if (m_pointer != nullptr) {
            zwlr_virtual_pointer_v1_destroy(m_pointer);
        }
        for (const auto& toplevel : m_toplevels) {
            if (toplevel->handle != nullptr) {
                zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
            }
        }
        if (m_toplevelManager != nullptr) {
            zwlr_foreign_toplevel_manager_v1_stop(m_toplevelManager);
            zwlr_foreign_toplevel_manager_v1_destroy(m_toplevelManager);
        }
        if (m_pointerManager != nullptr) {
            zwlr_virtual_pointer_manager_v1_destroy(m_pointerManager);
        }
        if (m_keyboardManager != nullptr) {
            zwp_virtual_keyboard_manager_v1_destroy(m_keyboardManager);
        }
        for (const Output& output : m_outputs) {
            wl_output_destroy(output.output);
        }
        if (m_seat != nullptr) {
            wl_seat_destroy(m_seat);
        }
        if (m_registry != nullptr) {
            wl_registry_destroy(m_registry);
        }
        // The releases are in the socket before it closes; the compositor reads them still.
        if (!m_lost) {
            wl_display_flush(m_display);
        }
    }
    xkb_state_unref(m_xkbState);
    xkb_keymap_unref(m_xkbKeymap);
    xkb_context_unref(m_xkbContext);
    wl_display_disconnect(m_display);
}

} // namespace velora::platform::wayland

namespace velora::platform {

std::unique_ptr<Desktop> openWaylandDesktop(const char* displayName, DesktopLog log,
                                            std::function<void()> onConnectionLost)
{
    wl_display* display = wl_display_connect(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    auto desktop = std::make_unique<wayland::WaylandDesktop>(display, std::move(log), std::move(onConnectionLost));
    if (!desktop->open()) {
        return nullptr;
    }
    return desktop;
}

} // namespace velora::platform
