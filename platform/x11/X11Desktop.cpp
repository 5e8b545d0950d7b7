#include "platform/x11/X11Desktop.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyWatch.h"
#include "platform/x11/X11Keymap.h"
#include "platform/x11/X11Keysyms.h"
#include "platform/x11/X11Windows.h"

namespace velora::platform {
namespace {

class X11Desktop final : public Desktop
{
public:
    explicit X11Desktop(std::unique_ptr<X11Connection> connection)
        : m_connection(std::move(connection)), m_display(m_connection->display()), m_keymap(*m_connection),
          m_windows(*m_connection)
    {}
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    void keyEvent(std::uint8_t virtualKey, bool down) override;
    bool isKeyDown(std::uint8_t virtualKey) override;
    void mouseButton(MouseButton button, bool down) override;
    PointerPosition pointerPosition() override;
    void setPointerPosition(int x, int y) override;
    bool watchKeyPresses(std::function<void()> pressed) override;

    std::string foregroundTitle() override
    {
        std::lock_guard lock(m_mutex);
        return lost() ? std::string() : m_windows.foregroundTitle();
    }
    WindowClass foregroundClass() override
    {
        std::lock_guard lock(m_mutex);
        if (lost()) {
            return {};
        }
        auto [instance, name] = m_windows.foregroundClass();
        return WindowClass{std::move(instance), std::move(name)};
    }
    void minimiseForeground() override
    {
        std::lock_guard lock(m_mutex);
        if (!lost()) {
            m_windows.minimiseForeground();
        }
    }
    void maximiseForeground() override
    {
        std::lock_guard lock(m_mutex);
        if (!lost()) {
            m_windows.maximiseForeground();
        }
    }
    bool activateWindow(const std::string& title) override
    {
        std::lock_guard lock(m_mutex);
        return !lost() && m_windows.activate(title);
    }

private:
    bool lost() const { return m_connection->lost(); }
    static unsigned buttonNumber(std::size_t index) { return index == 0 ? 1 : 3; }

    // Destroyed last: the parts use the connection until then.
    std::unique_ptr<X11Connection> m_connection;
    Display* m_display;
    std::mutex m_mutex;
    X11Keymap m_keymap;
    X11Windows m_windows;
    std::array<KeyCode, 256> m_pressedWith{}; // by virtual key: the keycode its press used
    std::array<bool, 2> m_buttonDown{};
    // On a connection of its own: its thread never waits for the lock above.
    std::mutex m_watchMutex;
    std::unique_ptr<X11KeyWatch> m_watch;
};

X11Desktop::~X11Desktop()
{
    std::lock_guard lock(m_mutex);
    m_connection->setLostHandler(nullptr);
    // A key or button left down would stay down for the whole session; nothing can be
    // released on a server that has gone.
    for (const KeyCode keycode : m_keymap.pressedKeycodes()) {
        if (!lost()) {
            XTestFakeKeyEvent(m_display, keycode, False, CurrentTime);
        }
    }
    for (std::size_t i = 0; i < m_buttonDown.size(); ++i) {
        if (m_buttonDown[i] && !lost()) {
            XTestFakeButtonEvent(m_display, buttonNumber(i), False, CurrentTime);
        }
    }
    m_keymap.emptySpares();
    if (!lost()) {
        XSync(m_display, False);
    }
}

void X11Desktop::keyEvent(std::uint8_t virtualKey, bool down)
{
    const KeySym keysym = keysymForVirtualKey(virtualKey);
    if (keysym == NoSymbol) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (lost()) {
        return;
    }
    m_keymap.noteChanges();
    KeyCode keycode = 0;
    if (down) {
        keycode = m_keymap.keycodeFor(keysym, true);
        if (keycode == 0) {
            return;
        }
        m_pressedWith[virtualKey] = keycode;
    } else {
        // Release the keycode the press went to, even if the keymap has moved on since.
        keycode = m_pressedWith[virtualKey] != 0 ? m_pressedWith[virtualKey] : m_keymap.keycodeFor(keysym, false);
        m_pressedWith[virtualKey] = 0;
        if (keycode == 0) {
            return;
        }
    }
    m_keymap.setPressed(keycode, down);
    XTestFakeKeyEvent(m_display, keycode, down ? True : False, CurrentTime);
    XFlush(m_display);
}

bool X11Desktop::isKeyDown(std::uint8_t virtualKey)
{
    const std::vector<unsigned long> wanted = keysymsHeldFor(virtualKey);
    if (wanted.empty()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (lost()) {
        return false;
    }
    m_keymap.noteChanges();
    return m_keymap.anyDown(wanted);
}

void X11Desktop::mouseButton(MouseButton button, bool down)
{
    const std::size_t index = button == MouseButton::Left ? 0 : 1;
    std::lock_guard lock(m_mutex);
    if (lost()) {
        return;
    }
    XTestFakeButtonEvent(m_display, buttonNumber(index), down ? True : False, CurrentTime);
    XFlush(m_display);
    m_buttonDown[index] = down;
}

PointerPosition X11Desktop::pointerPosition()
{
    std::lock_guard lock(m_mutex);
    if (lost()) {
        return {};
    }
    const auto at = m_windows.pointer();
    if (!at) {
        return {}; // the pointer is on another screen
    }
    return {at->x, at->y};
}

void X11Desktop::setPointerPosition(int x, int y)
{
    std::lock_guard lock(m_mutex);
    if (lost()) {
        return;
    }
    const X11Windows::Size screen = m_windows.screenSize();
    if (screen.width == 0 || screen.height == 0) {
        return;
    }
    x = std::clamp(x, 0, static_cast<int>(screen.width) - 1);
    y = std::clamp(y, 0, static_cast<int>(screen.height) - 1);
    XWarpPointer(m_display, None, XDefaultRootWindow(m_display), 0, 0, 0, 0, x, y);
    XFlush(m_display);
}

bool X11Desktop::watchKeyPresses(std::function<void()> pressed)
{
    std::unique_ptr<X11KeyWatch> previous;
    {
        std::lock_guard lock(m_watchMutex);
        previous = std::move(m_watch);
    }
    previous.reset(); // waits for a call in progress
    if (!pressed) {
        return true;
    }
    std::string server;
    {
        std::lock_guard lock(m_mutex);
        if (lost()) {
            return false;
        }
        server = DisplayString(m_display);
    }
    std::unique_ptr<X11KeyWatch> watch = X11KeyWatch::start(server, std::move(pressed));
    std::lock_guard lock(m_watchMutex);
    m_watch = std::move(watch);
    return m_watch != nullptr;
}

} // namespace

std::unique_ptr<Desktop> openX11Desktop(const char* displayName, std::function<void()> onConnectionLost)
{
    std::unique_ptr<X11Connection> connection = X11Connection::open(displayName);
    if (!connection) {
        return nullptr;
    }
    return openX11Desktop(std::move(connection), std::move(onConnectionLost));
}

std::unique_ptr<Desktop> openX11Desktop(std::unique_ptr<X11Connection> connection,
                                        std::function<void()> onConnectionLost)
{
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!connection || !XTestQueryExtension(connection->display(), &eventBase, &errorBase, &major, &minor)) {
        return nullptr;
    }
    // Told from here on, also of a loss while the parts read the keymap and the atoms.
    connection->setLostHandler(std::move(onConnectionLost));
    return std::make_unique<X11Desktop>(std::move(connection));
}

} // namespace velora::platform
