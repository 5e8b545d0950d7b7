#include "platform/wayland/WaylandDesktopState.h"

namespace velora::platform::wayland {

// ---- keys and the pointer ----

void WaylandDesktop::sendModifiers()
{
    const std::array<std::uint32_t, 4> modifiers = {xkb_state_serialize_mods(m_xkbState, XKB_STATE_MODS_DEPRESSED),
                                                    xkb_state_serialize_mods(m_xkbState, XKB_STATE_MODS_LATCHED),
                                                    xkb_state_serialize_mods(m_xkbState, XKB_STATE_MODS_LOCKED),
                                                    xkb_state_serialize_layout(m_xkbState, XKB_STATE_LAYOUT_EFFECTIVE)};
    if (modifiers != m_sentModifiers) {
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, modifiers[0], modifiers[1], modifiers[2], modifiers[3]);
        m_sentModifiers = modifiers;
    }
}

void WaylandDesktop::keyEvent(std::uint8_t virtualKey, bool down)
{
    const std::optional<std::uint32_t> key = m_keymap.keyFor(virtualKey);
    std::lock_guard lock(m_mutex);
    if (!key || m_lost || m_keyboard == nullptr) {
        return;
    }
    zwp_virtual_keyboard_v1_key(m_keyboard, nowMs(), *key,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    m_keyHeld[*key] = down;
    xkb_state_update_key(m_xkbState, *key + WaylandKeymap::kXkbOffset, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    sendModifiers();
    flush();
}

void WaylandDesktop::mouseButton(MouseButton button, bool down)
{
    std::lock_guard lock(m_mutex);
    if (m_lost || m_pointer == nullptr) {
        return;
    }
    const bool left = button == MouseButton::Left;
    zwlr_virtual_pointer_v1_button(m_pointer, nowMs(), left ? kButtonLeft : kButtonRight,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    (left ? m_leftHeld : m_rightHeld) = down;
    flush();
}

bool WaylandDesktop::layoutBox(int& x, int& y, int& width, int& height) const
{
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    for (const Output& output : m_outputs) {
        if (output.width <= 0 || output.height <= 0) {
            continue;
        }
        left = std::min(left, output.x);
        top = std::min(top, output.y);
        right = std::max(right, output.x + output.width / output.scale);
        bottom = std::max(bottom, output.y + output.height / output.scale);
    }
    if (left >= right || top >= bottom) {
        return false;
    }
    x = left;
    y = top;
    width = right - left;
    height = bottom - top;
    return true;
}

PointerPosition WaylandDesktop::pointerPosition()
{
    // Wayland tells no client where the pointer is unless it is over one of its own windows:
    // this is where this desktop last put it.
    std::lock_guard lock(m_mutex);
    return m_pointerPosition;
}

void WaylandDesktop::setPointerPosition(int x, int y)
{
    std::lock_guard lock(m_mutex);
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    if (m_lost || m_pointer == nullptr || !layoutBox(left, top, width, height)) {
        return;
    }
    x = std::clamp(x, left, left + width - 1);
    y = std::clamp(y, top, top + height - 1);
    zwlr_virtual_pointer_v1_motion_absolute(m_pointer, nowMs(), static_cast<std::uint32_t>(x - left),
                                            static_cast<std::uint32_t>(y - top), static_cast<std::uint32_t>(width),
                                            static_cast<std::uint32_t>(height));
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_pointerPosition = {x, y};
    flush();
}

// ---- the window in front ----

std::string WaylandDesktop::foregroundTitle()
{
    std::lock_guard lock(m_mutex);
    const Toplevel* active = activeToplevel();
    return active != nullptr ? cutUtf8(active->title, kMaxTitleBytes) : std::string();
}

WindowClass WaylandDesktop::foregroundClass()
{
    std::lock_guard lock(m_mutex);
    const Toplevel* active = activeToplevel();
    if (active == nullptr) {
        return {};
    }
    return {active->appId, active->appId};
}

void WaylandDesktop::minimiseForeground()
{
    std::lock_guard lock(m_mutex);
    if (Toplevel* active = activeToplevel(); active != nullptr) {
        zwlr_foreign_toplevel_handle_v1_set_minimized(active->handle);
        flush();
    }
}

void WaylandDesktop::maximiseForeground()
{
    std::lock_guard lock(m_mutex);
    if (Toplevel* active = activeToplevel(); active != nullptr) {
        zwlr_foreign_toplevel_handle_v1_set_maximized(active->handle);
        flush();
    }
}

bool WaylandDesktop::activateWindow(const std::string& title)
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return false;
    }
    for (const auto& toplevel : m_toplevels) {
        if (toplevel->handle != nullptr && toplevel->title == title) {
            zwlr_foreign_toplevel_handle_v1_activate(toplevel->handle, m_seat);
            flush();
            return true;
        }
    }
    return false;
}

bool WaylandDesktop::isKeyDown(std::uint8_t)
{
    // Wayland gives a client the keyboard's state only while one of its own windows has the
    // focus, and the daemon has none: the real keyboard cannot be read from here.
    return false;
}

} // namespace velora::platform::wayland
