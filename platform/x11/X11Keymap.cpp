#include "platform/x11/X11Keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace velora::platform {

X11Keymap::X11Keymap(X11Connection& connection) : m_connection(connection), m_display(connection.display())
{
    // Xlib makes every connection an XKB client, and the server then tells XKB clients about
    // keymap changes only through the XKB events they select: without these the snapshot
    // below would never learn that another client has changed a keycode.
    int opcode = 0;
    int xkbError = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(m_display, &opcode, &m_xkbEventBase, &xkbError, &major, &minor)) {
        constexpr unsigned kSelected = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
        XkbSelectEvents(m_display, XkbUseCoreKbd, kSelected, kSelected);
    } else {
        m_xkbEventBase = -1;
    }
    XDisplayKeycodes(m_display, &m_minKeycode, &m_maxKeycode);
    fetch();
    for (int keycode = m_minKeycode; keycode <= m_maxKeycode; ++keycode) {
        if (isEmpty(keycode)) {
            m_spares.push_back({static_cast<KeyCode>(keycode), NoSymbol, 0});
        }
    }
}

void X11Keymap::fetch()
{
    const int count = m_maxKeycode - m_minKeycode + 1;
    int perKeycode = 0;
    KeySym* syms = XGetKeyboardMapping(m_display, static_cast<KeyCode>(m_minKeycode), count, &perKeycode);
    if (syms == nullptr) {
        m_symsPerKeycode = 0;
        m_keymap.clear();
        return;
    }
    m_symsPerKeycode = perKeycode;
    m_keymap.assign(syms, syms + static_cast<std::size_t>(count) * static_cast<std::size_t>(perKeycode));
    XFree(syms);
}

KeySym X11Keymap::sym(int keycode, int column) const
{
    if (keycode < m_minKeycode || keycode > m_maxKeycode || column < 0 || column >= m_symsPerKeycode) {
        return NoSymbol;
    }
    return m_keymap[static_cast<std::size_t>((keycode - m_minKeycode) * m_symsPerKeycode + column)];
}

bool X11Keymap::isEmpty(int keycode) const
{
    for (int column = 0; column < m_symsPerKeycode; ++column) {
        if (sym(keycode, column) != NoSymbol) {
            return false;
        }
    }
    return true;
}

// The only events the connection receives are keymap changes: the XKB map notifications it
// selected at start, or, from a server without XKB, the core MappingNotify.
void X11Keymap::noteChanges()
{
    bool changed = false;
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify && event.xmapping.request == MappingKeyboard) {
            changed = true;
        } else if (m_xkbEventBase >= 0 && event.type == m_xkbEventBase) {
            changed = true; // a map or a new-keyboard notification, the two selected
        }
    }
    if (!changed) {
        return;
    }
    fetch();
    // A spare some other client has filled is no longer ours to use.
    for (auto it = m_spares.begin(); it != m_spares.end();) {
        if (isEmpty(it->keycode)) {
            it->keysym = NoSymbol;
            ++it;
        } else if (carriesOwn(*it)) {
            ++it;
        } else {
            it = m_spares.erase(it);
        }
    }
}

// Column 0 only: a keysym found only in a shifted column (KP_0 on the KP_Insert key) would
// type something else, so it counts as missing and gets a spare.
KeyCode X11Keymap::keycodeFor(KeySym keysym, bool mayAssignSpare)
{
    for (Spare& spare : m_spares) {
        if (spare.keysym == keysym) {
            spare.lastUse = ++m_useClock;
            return spare.keycode;
        }
    }
    for (int keycode = m_minKeycode; keycode <= m_maxKeycode; ++keycode) {
        if (sym(keycode, 0) == keysym) {
            return static_cast<KeyCode>(keycode);
        }
    }
    return mayAssignSpare ? assignSpare(keysym) : 0;
}

// An empty spare first, else the least recently used; never a held one.
KeyCode X11Keymap::assignSpare(KeySym keysym)
{
    Spare* chosen = nullptr;
    for (Spare& spare : m_spares) {
        if (m_pressed[spare.keycode]) {
            continue; // remapping a held key would change what its release means
        }
        if (chosen == nullptr || (chosen->keysym != NoSymbol && spare.keysym == NoSymbol) ||
            ((chosen->keysym == NoSymbol) == (spare.keysym == NoSymbol) && spare.lastUse < chosen->lastUse)) {
            chosen = &spare;
        }
    }
    if (chosen == nullptr) {
        return 0;
    }
    KeySym lower = keysym;
    KeySym upper = keysym;
    XConvertCase(keysym, &lower, &upper);
    std::array<KeySym, 2> syms = {keysym, upper};
    XChangeKeyboardMapping(m_display, chosen->keycode, static_cast<int>(syms.size()), syms.data(), 1);
    if (m_symsPerKeycode >= 2) {
        const auto first = static_cast<std::size_t>((chosen->keycode - m_minKeycode) * m_symsPerKeycode);
        std::fill_n(m_keymap.begin() + static_cast<std::ptrdiff_t>(first), m_symsPerKeycode, NoSymbol);
        m_keymap[first] = syms[0];
        m_keymap[first + 1] = syms[1];
    }
    chosen->keysym = keysym;
    chosen->lastUse = ++m_useClock;
    return chosen->keycode;
}

std::vector<KeyCode> X11Keymap::pressedKeycodes() const
{
    std::vector<KeyCode> pressed;
    for (std::size_t keycode = 0; keycode < m_pressed.size(); ++keycode) {
        if (m_pressed[keycode]) {
            pressed.push_back(static_cast<KeyCode>(keycode));
        }
    }
    return pressed;
}

bool X11Keymap::anyDown(const std::vector<unsigned long>& keysyms)
{
    std::array<char, 32> keys{};
    XQueryKeymap(m_display, keys.data());
    for (int keycode = m_minKeycode; keycode <= m_maxKeycode && keycode < 256; ++keycode) {
        if ((static_cast<unsigned char>(keys[static_cast<std::size_t>(keycode / 8)]) & (1u << (keycode % 8))) == 0) {
            continue;
        }
        for (int column = 0; column < m_symsPerKeycode; ++column) {
            const KeySym found = sym(keycode, column);
            if (found != NoSymbol && std::find(keysyms.begin(), keysyms.end(), found) != keysyms.end()) {
                return true;
            }
        }
    }
    return false;
}

void X11Keymap::emptySpares()
{
    if (m_connection.lost()) {
        return;
    }
    fetch();
    KeySym nothing = NoSymbol;
    for (const Spare& spare : m_spares) {
        if (m_connection.lost()) {
            return;
        }
        if (carriesOwn(spare)) {
            XChangeKeyboardMapping(m_display, spare.keycode, 1, &nothing, 1);
        }
    }
}

} // namespace velora::platform
