#include "platform/x11/X11Desktop.h"

// The 3270 keysyms are only declared on request; they must be asked for before any X header
// pulls in keysymdef.h.
#define XK_3270
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <vector>

namespace velora::platform {

namespace {

// ---- Virtual-key codes -------------------------------------------------------------------

constexpr std::array<KeySym, 256> makeKeysymTable()
{
    std::array<KeySym, 256> table{};
    table[0x08] = XK_BackSpace;
    table[0x09] = XK_Tab;
    table[0x0C] = XK_Clear;
    table[0x0D] = XK_Return;
    table[0x10] = XK_Shift_L;
    table[0x11] = XK_Control_L;
    table[0x12] = XK_Alt_L;
    table[0x13] = XK_Pause;
    table[0x14] = XK_Caps_Lock;
    // 0x15 is both VK_KANA and VK_HANGUL and 0x19 both VK_HANJA and VK_KANJI: the Korean
    // pair is taken, as these are the keys current keyboards (and keymaps) have.
    table[0x15] = XK_Hangul;
    table[0x17] = XK_Hangul_Jeonja;
    table[0x19] = XK_Hangul_Hanja;
    table[0x1B] = XK_Escape;
    table[0x1C] = XK_Henkan_Mode;
    table[0x1D] = XK_Muhenkan;
    table[0x1F] = XK_Mode_switch;
    table[0x20] = XK_space;
    table[0x21] = XK_Prior;
    table[0x22] = XK_Next;
    table[0x23] = XK_End;
    table[0x24] = XK_Home;
    table[0x25] = XK_Left;
    table[0x26] = XK_Up;
    table[0x27] = XK_Right;
    table[0x28] = XK_Down;
    table[0x29] = XK_Select;
    table[0x2A] = XK_Print;
    table[0x2B] = XK_Execute;
    table[0x2C] = XK_Print;
    table[0x2D] = XK_Insert;
    table[0x2E] = XK_Delete;
    table[0x2F] = XK_Help;
    for (int i = 0; i < 10; ++i) {
        table[0x30 + i] = XK_0 + i;
        table[0x60 + i] = XK_KP_0 + i;
    }
    for (int i = 0; i < 26; ++i) {
        table[0x41 + i] = XK_a + i;
    }
    table[0x5B] = XK_Super_L;
    table[0x5C] = XK_Super_R;
    table[0x5D] = XK_Menu;
    table[0x6A] = XK_KP_Multiply;
    table[0x6B] = XK_KP_Add;
    table[0x6C] = XK_KP_Separator;
    table[0x6D] = XK_KP_Subtract;
    table[0x6E] = XK_KP_Decimal;
    table[0x6F] = XK_KP_Divide;
    for (int i = 0; i < 24; ++i) {
        table[0x70 + i] = XK_F1 + i;
    }
    table[0x90] = XK_Num_Lock;
    table[0x91] = XK_Scroll_Lock;
    table[0xA0] = XK_Shift_L;
    table[0xA1] = XK_Shift_R;
    table[0xA2] = XK_Control_L;
    table[0xA3] = XK_Control_R;
    table[0xA4] = XK_Alt_L;
    table[0xA5] = XK_Alt_R;
    table[0xF6] = XK_3270_Attn;
    table[0xF7] = XK_3270_CursorSelect;
    table[0xF8] = XK_3270_ExSelect;
    table[0xF9] = XK_3270_EraseEOF;
    table[0xFA] = XK_3270_Play;
    table[0xFD] = XK_3270_PA1;
    table[0xFE] = XK_Clear;
    return table;
}

constexpr std::array<KeySym, 256> kKeysyms = makeKeysymTable();

// The keysyms whose keys count as "this key is down": the generic modifier codes stand for
// both the left and the right key.
std::vector<KeySym> keysymsHeldFor(std::uint8_t virtualKey)
{
    switch (virtualKey) {
    case 0x10:
        return {XK_Shift_L, XK_Shift_R};
    case 0x11:
        return {XK_Control_L, XK_Control_R};
    case 0x12:
        return {XK_Alt_L, XK_Alt_R};
    default:
        break;
    }
    if (kKeysyms[virtualKey] == NoSymbol) {
        return {};
    }
    return {kKeysyms[virtualKey]};
}

// ---- Titles ------------------------------------------------------------------------------

constexpr std::size_t kTitleMax = 255;

std::string latin1ToUtf8(const unsigned char* text, std::size_t length)
{
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Cuts to at most kTitleMax bytes, never through a UTF-8 sequence: the cut moves back over
// continuation bytes so the character it would split is left out whole.
std::string cutTitle(std::string title)
{
    if (title.size() <= kTitleMax) {
        return title;
    }
    std::size_t cut = kTitleMax;
    while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    title.resize(cut);
    return title;
}

// ---- The process-wide error handler --------------------------------------------------------

// Xlib's default handler ends the process on any error. Errors on our connections are
// expected (windows vanish between requests) and are only recorded; errors on connections
// that other code in the process opened go on to whatever handler was there before.
struct ErrorState
{
    std::mutex mutex;
    std::vector<Display*> ownDisplays;
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIo = nullptr;
    X11Desktop::IgnoredError last;
};

ErrorState& errorState()
{
    static ErrorState state;
    return state;
}

int handleXError(Display* display, XErrorEvent* error)
{
    ErrorState& state = errorState();
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state.mutex);
        const auto& own = state.ownDisplays;
        if (std::find(own.begin(), own.end(), display) != own.end()) {
            ++state.last.count;
            state.last.errorCode = error->error_code;
            state.last.requestCode = error->request_code;
            state.last.resource = error->resourceid;
            return 0;
        }
        previous = state.previous;
    }
    return previous != nullptr ? previous(display, error) : 0;
}

// Losing the connection: Xlib calls the process-wide I/O error handler, then the
// connection's exit handler; the default of either ends the process. On our connections both
// return, and the exit handler marks the connection lost. Other connections (Qt's) keep the
// handler they had.
int handleIoError(Display* display)
{
    ErrorState& state = errorState();
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state.mutex);
        const auto& own = state.ownDisplays;
        if (std::find(own.begin(), own.end(), display) != own.end()) {
            return 0;
        }
        previous = state.previousIo;
    }
    return previous != nullptr ? previous(display) : 0;
}

// Before it calls the exit handler, Xlib locks the display for the calling thread as
// XLockDisplay does and never unlocks it (it expects the process to end): any other thread
// touching the display, if only to close it, would wait for ever. The handler undoes that lock.
// (When the handler returns, Xlib goes back into the call that noticed without taking the
// display's internal mutex again, and that call releases it once more. That is harmless here:
// every use of the connection is serialised by the object's own mutex, so no other thread
// holds or waits for the internal one; ThreadSanitizer reports the release all the same.)
void unlockAfterIoError(Display* display)
{
    XUnlockDisplay(display);
}

// The exit handler of a connection whose object does not yet or no longer exist.
void ignoreLostConnection(Display* display, void*)
{
    unlockAfterIoError(display);
}

void registerDisplay(Display* display)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        XErrorHandler previous = XSetErrorHandler(handleXError);
        XIOErrorHandler previousIo = XSetIOErrorHandler(handleIoError);
        std::lock_guard lock(errorState().mutex);
        errorState().previous = previous;
        errorState().previousIo = previousIo;
    });
    XSetIOErrorExitHandler(display, ignoreLostConnection, nullptr);
    std::lock_guard lock(errorState().mutex);
    errorState().ownDisplays.push_back(display);
}

void unregisterDisplay(Display* display)
{
    std::lock_guard lock(errorState().mutex);
    auto& own = errorState().ownDisplays;
    own.erase(std::remove(own.begin(), own.end(), display), own.end());
}

// The atoms the object asks about, interned in one round trip.
enum AtomIndex : std::size_t {
    kNetActiveWindow,
    kNetWmName,
    kUtf8String,
    kNetSupported,
    kNetSupportingWmCheck,
    kNetClientList,
    kNetWmState,
    kNetWmStateMaximizedVert,
    kNetWmStateMaximizedHorz,
    kWmName,
    kString,
    kCompoundText,
    kWindow,
    kAtom,
    kAtomCount
};

constexpr std::array<const char*, kAtomCount> kAtomNames = {
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_NET_SUPPORTED",
    "_NET_SUPPORTING_WM_CHECK",
    "_NET_CLIENT_LIST",
    "_NET_WM_STATE",
    "_NET_WM_STATE_MAXIMIZED_VERT",
    "_NET_WM_STATE_MAXIMIZED_HORZ",
    "WM_NAME",
    "STRING",
    "COMPOUND_TEXT",
    "WINDOW",
    "ATOM",
};

struct Property
{
    Atom type = 0;
    int format = 0;
    std::vector<unsigned char> bytes; // format 8
    std::vector<unsigned long> items; // format 32 (as Xlib hands them: one long each)
};

} // namespace

// ---- The connection and its state -----------------------------------------------------------

class X11Desktop::Impl
{
public:
    explicit Impl(Display* display);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void keyEvent(std::uint8_t virtualKey, bool down);
    void mouseButton(MouseButton button, bool down);
    PointerPosition pointerPosition();
    void setPointerPosition(int x, int y);
    std::string foregroundTitle();
    void minimiseForeground();
    void maximiseForeground();
    bool activateWindow(const std::string& title);
    bool isKeyDown(std::uint8_t virtualKey);

    Display* display() const { return m_display; }
    void setConnectionLostHandler(std::function<void()> handler);
    bool connectionLost() const { return m_lost.load(); }

private:
    struct Spare
    {
        KeyCode keycode = 0;
        KeySym keysym = NoSymbol; // NoSymbol: the keycode is empty
        std::uint64_t lastUse = 0;
    };

    struct Foreground
    {
        Window window = 0;
        std::string title;
    };

    // The connection's exit handler: Xlib has found the connection broken. Runs inside an
    // Xlib call of this object, with m_mutex held by the caller (or from the constructor).
    static void onConnectionLost(Display* display, void* impl);

    // Keymap
    void fetchKeymap();
    void noteMappingChanges();
    KeySym keymapSym(int keycode, int column) const;
    KeyCode keycodeFor(KeySym keysym, bool mayAssignSpare);
    KeyCode assignSpare(KeySym keysym);

    // Windows
    std::optional<Property> property(Window window, Atom name, long maxLongs = 16384);
    std::optional<Window> windowProperty(Window window, Atom name);
    std::optional<std::string> windowTitle(Window window);
    bool windowExists(Window window);
    bool windowManagerPresent();
    bool windowManagerSupports(std::initializer_list<Atom> features);
    std::optional<Window> parentOf(Window window);
    std::optional<Foreground> foreground();
    std::optional<Window> findWindow(const std::string& title);
    void sendToRoot(Window window, Atom messageType, const std::array<long, 5>& data);
    void screenSize(unsigned& width, unsigned& height);

    Display* m_display;
    Window m_root;
    int m_screen;
    std::mutex m_mutex;
    // Once set, nothing touches the connection again: Xlib keeps queueing requests on a
    // broken connection and in the end writes past its buffer.
    std::atomic<bool> m_lost{false};
    std::function<void()> m_onLost;
    std::array<Atom, kAtomCount> m_atoms{};

    int m_xkbEventBase = -1;
    int m_minKeycode = 8;
    int m_maxKeycode = 255;
    int m_symsPerKeycode = 0;
    std::vector<KeySym> m_keymap;
    std::vector<Spare> m_spares;
    std::uint64_t m_useClock = 0;
    std::array<bool, 256> m_keycodeDown{};    // by keycode: pressed by us and not yet released
    std::array<KeyCode, 256> m_pressedWith{}; // by virtual key: the keycode its press used
    std::array<bool, 2> m_buttonDown{};
};

X11Desktop::Impl::Impl(Display* display)
    : m_display(display), m_root(XDefaultRootWindow(display)), m_screen(XDefaultScreen(display))
{
    XSetIOErrorExitHandler(m_display, onConnectionLost, this);
    std::array<char*, kAtomCount> names{};
    for (std::size_t i = 0; i < kAtomCount; ++i) {
        names[i] = const_cast<char*>(kAtomNames[i]);
    }
    XInternAtoms(m_display, names.data(), static_cast<int>(kAtomCount), False, m_atoms.data());

    // Xlib makes every connection an XKB client, and the server then tells XKB clients about
    // keymap changes only through the XKB events they select: without these the keymap
    // snapshot below would never learn that another client has changed a keycode.
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
    fetchKeymap();
    for (int keycode = m_minKeycode; keycode <= m_maxKeycode; ++keycode) {
        bool empty = true;
        for (int column = 0; column < m_symsPerKeycode; ++column) {
            empty = empty && keymapSym(keycode, column) == NoSymbol;
        }
        if (empty) {
            m_spares.push_back({static_cast<KeyCode>(keycode), NoSymbol, 0});
        }
    }
}

void X11Desktop::Impl::onConnectionLost(Display* display, void* impl)
{
    unlockAfterIoError(display);
    auto* self = static_cast<Impl*>(impl);
    if (!self->m_lost.exchange(true) && self->m_onLost) {
        self->m_onLost();
    }
}

void X11Desktop::Impl::setConnectionLostHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_mutex);
    m_onLost = std::move(handler);
}

X11Desktop::Impl::~Impl()
{
    std::lock_guard lock(m_mutex);
    m_onLost = nullptr;
    if (m_lost) {
        XSetIOErrorExitHandler(m_display, ignoreLostConnection, nullptr);
        return; // nothing can be released on a server that has gone
    }
    // A key or button left down would stay down for the whole session.
    for (int keycode = 0; keycode < 256 && !m_lost; ++keycode) {
        if (m_keycodeDown[keycode]) {
            XTestFakeKeyEvent(m_display, static_cast<unsigned>(keycode), False, CurrentTime);
        }
    }
    for (unsigned i = 0; i < m_buttonDown.size() && !m_lost; ++i) {
        if (m_buttonDown[i]) {
            XTestFakeButtonEvent(m_display, i == 0 ? 1 : 3, False, CurrentTime);
        }
    }
    // Empty the spares again, but only those still carrying what we put there: another
    // client may have taken one over meanwhile.
    if (!m_lost) {
        fetchKeymap();
    }
    KeySym nothing = NoSymbol;
    for (const Spare& spare : m_spares) {
        if (m_lost) {
            break;
        }
        if (spare.keysym != NoSymbol && keymapSym(spare.keycode, 0) == spare.keysym) {
            XChangeKeyboardMapping(m_display, spare.keycode, 1, &nothing, 1);
        }
    }
    if (!m_lost) {
        XSync(m_display, False);
    }
    // The display outlives this object by its XCloseDisplay.
    XSetIOErrorExitHandler(m_display, ignoreLostConnection, nullptr);
}

// ---- Keymap ------------------------------------------------------------------------------

void X11Desktop::Impl::fetchKeymap()
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

KeySym X11Desktop::Impl::keymapSym(int keycode, int column) const
{
    if (keycode < m_minKeycode || keycode > m_maxKeycode || column < 0 || column >= m_symsPerKeycode) {
        return NoSymbol;
    }
    return m_keymap[static_cast<std::size_t>((keycode - m_minKeycode) * m_symsPerKeycode + column)];
}

// The only events the connection receives are keymap changes: the XKB map notifications it
// selected at start, or, from a server without XKB, the core MappingNotify. Reading them
// needs no round trip, only what has already arrived.
void X11Desktop::Impl::noteMappingChanges()
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
    fetchKeymap();
    // A spare some other client has filled is no longer ours to use.
    for (auto it = m_spares.begin(); it != m_spares.end();) {
        bool empty = true;
        for (int column = 0; column < m_symsPerKeycode; ++column) {
            empty = empty && keymapSym(it->keycode, column) == NoSymbol;
        }
        if (empty) {
            it->keysym = NoSymbol;
            ++it;
        } else if (it->keysym != NoSymbol && keymapSym(it->keycode, 0) == it->keysym) {
            ++it;
        } else {
            it = m_spares.erase(it);
        }
    }
}

// A keycode that gives the keysym without Shift: column 0 of the keymap. A keysym found only
// in a shifted column (KP_0 on the KP_Insert key) would type something else, so it counts as
// missing and gets a spare.
KeyCode X11Desktop::Impl::keycodeFor(KeySym keysym, bool mayAssignSpare)
{
    for (Spare& spare : m_spares) {
        if (spare.keysym == keysym) {
            spare.lastUse = ++m_useClock;
            return spare.keycode;
        }
    }
    for (int keycode = m_minKeycode; keycode <= m_maxKeycode; ++keycode) {
        if (keymapSym(keycode, 0) == keysym) {
            return static_cast<KeyCode>(keycode);
        }
    }
    return mayAssignSpare ? assignSpare(keysym) : 0;
}

KeyCode X11Desktop::Impl::assignSpare(KeySym keysym)
{
    Spare* chosen = nullptr;
    for (Spare& spare : m_spares) {
        if (m_keycodeDown[spare.keycode]) {
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

void X11Desktop::Impl::keyEvent(std::uint8_t virtualKey, bool down)
{
    const KeySym keysym = kKeysyms[virtualKey];
    if (keysym == NoSymbol) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return;
    }
    noteMappingChanges();
    KeyCode keycode = 0;
    if (down) {
        keycode = keycodeFor(keysym, true);
        if (keycode == 0) {
            return;
        }
        m_pressedWith[virtualKey] = keycode;
        m_keycodeDown[keycode] = true;
    } else {
        // Release the keycode the press went to, even if the keymap has moved on since.
        keycode = m_pressedWith[virtualKey] != 0 ? m_pressedWith[virtualKey] : keycodeFor(keysym, false);
        m_pressedWith[virtualKey] = 0;
        if (keycode == 0) {
            return;
        }
        m_keycodeDown[keycode] = false;
    }
    XTestFakeKeyEvent(m_display, keycode, down ? True : False, CurrentTime);
    XFlush(m_display);
}

bool X11Desktop::Impl::isKeyDown(std::uint8_t virtualKey)
{
    const std::vector<KeySym> wanted = keysymsHeldFor(virtualKey);
    if (wanted.empty()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return false;
    }
    noteMappingChanges();
    std::array<char, 32> keys{};
    XQueryKeymap(m_display, keys.data());
    for (int keycode = m_minKeycode; keycode <= m_maxKeycode && keycode < 256; ++keycode) {
        if ((static_cast<unsigned char>(keys[static_cast<std::size_t>(keycode / 8)]) & (1u << (keycode % 8))) == 0) {
            continue;
        }
        for (int column = 0; column < m_symsPerKeycode; ++column) {
            const KeySym sym = keymapSym(keycode, column);
            if (sym != NoSymbol && std::find(wanted.begin(), wanted.end(), sym) != wanted.end()) {
                return true;
            }
        }
    }
    return false;
}

// ---- Pointer -----------------------------------------------------------------------------

void X11Desktop::Impl::mouseButton(MouseButton button, bool down)
{
    const unsigned index = button == MouseButton::Left ? 0 : 1;
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return;
    }
    XTestFakeButtonEvent(m_display, index == 0 ? 1 : 3, down ? True : False, CurrentTime);
    XFlush(m_display);
    m_buttonDown[index] = down;
}

PointerPosition X11Desktop::Impl::pointerPosition()
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return {};
    }
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &windowX, &windowY, &mask)) {
        return {}; // the pointer is on another screen
    }
    return {rootX, rootY};
}

void X11Desktop::Impl::screenSize(unsigned& width, unsigned& height)
{
    // Asked each time rather than remembered: the screen may be resized (RandR) at any time.
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned border = 0;
    unsigned depth = 0;
    width = 0;
    height = 0;
    XGetGeometry(m_display, m_root, &root, &x, &y, &width, &height, &border, &depth);
}

void X11Desktop::Impl::setPointerPosition(int x, int y)
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return;
    }
    unsigned width = 0;
    unsigned height = 0;
    screenSize(width, height);
    if (width == 0 || height == 0) {
        return;
    }
    x = std::clamp(x, 0, static_cast<int>(width) - 1);
    y = std::clamp(y, 0, static_cast<int>(height) - 1);
    XWarpPointer(m_display, None, m_root, 0, 0, 0, 0, x, y);
    XFlush(m_display);
}

// ---- Windows -----------------------------------------------------------------------------

std::optional<Property> X11Desktop::Impl::property(Window window, Atom name, long maxLongs)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(m_display, window, name, 0, maxLongs, False, AnyPropertyType, &type, &format,
                                          &count, &after, &data);
    if (status != Success || type == None) {
        if (data != nullptr) {
            XFree(data);
        }
        return std::nullopt;
    }
    Property result;
    result.type = type;
    result.format = format;
    if (data != nullptr) {
        if (format == 8) {
            result.bytes.assign(data, data + count);
        } else if (format == 32) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            result.items.assign(items, items + count);
        }
        XFree(data);
    }
    return result;
}

std::optional<Window> X11Desktop::Impl::windowProperty(Window window, Atom name)
{
    const auto value = property(window, name, 1);
    if (!value || value->type != m_atoms[kWindow] || value->format != 32 || value->items.empty()) {
        return std::nullopt;
    }
    return static_cast<Window>(value->items[0]);
}

std::optional<std::string> X11Desktop::Impl::windowTitle(Window window)
{
    if (const auto name = property(window, m_atoms[kNetWmName]);
        name && name->type == m_atoms[kUtf8String] && name->format == 8) {
        return std::string(name->bytes.begin(), name->bytes.end());
    }
    const auto name = property(window, m_atoms[kWmName]);
    if (!name || name->format != 8) {
        return std::nullopt;
    }
    if (name->type == m_atoms[kString]) {
        return latin1ToUtf8(name->bytes.data(), name->bytes.size());
    }
    if (name->type == m_atoms[kCompoundText]) {
        std::vector<unsigned char> text = name->bytes;
        XTextProperty textProperty{};
        textProperty.value = text.data();
        textProperty.encoding = name->type;
        textProperty.format = 8;
        textProperty.nitems = text.size();
        char** list = nullptr;
        int listCount = 0;
        if (Xutf8TextPropertyToTextList(m_display, &textProperty, &list, &listCount) >= Success && list != nullptr) {
            std::string result = listCount > 0 && list[0] != nullptr ? std::string(list[0]) : std::string();
            XFreeStringList(list);
            return result;
        }
    }
    // UTF8_STRING in WM_NAME, or an encoding that could not be converted: the bytes as they are.
    return std::string(name->bytes.begin(), name->bytes.end());
}

bool X11Desktop::Impl::windowExists(Window window)
{
    XWindowAttributes attributes;
    return window != None && XGetWindowAttributes(m_display, window, &attributes) != 0;
}

bool X11Desktop::Impl::windowManagerPresent()
{
    const auto check = windowProperty(m_root, m_atoms[kNetSupportingWmCheck]);
    if (!check || *check == None) {
        return false;
    }
    const auto self = windowProperty(*check, m_atoms[kNetSupportingWmCheck]);
    return self && *self == *check;
}

bool X11Desktop::Impl::windowManagerSupports(std::initializer_list<Atom> features)
{
    if (!windowManagerPresent()) {
        return false;
    }
    const auto supported = property(m_root, m_atoms[kNetSupported]);
    if (!supported || supported->type != m_atoms[kAtom] || supported->format != 32) {
        return false;
    }
    const auto& items = supported->items;
    return std::all_of(features.begin(), features.end(), [&items](Atom feature) {
        return std::find(items.begin(), items.end(), feature) != items.end();
    });
}

std::optional<Window> X11Desktop::Impl::parentOf(Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &count)) {
        return std::nullopt;
    }
    if (children != nullptr) {
        XFree(children);
    }
    if (parent == None) {
        return std::nullopt;
    }
    return parent;
}

// The window in front: the window manager's active window when there is one that still
// exists, else the window with the input focus. From there up to the first window with a
// name, which is the one whose title counts and the one window commands act on; when none
// has a name, the top-level window with an empty title.
std::optional<X11Desktop::Impl::Foreground> X11Desktop::Impl::foreground()
{
    Window start = None;
    if (const auto active = windowProperty(m_root, m_atoms[kNetActiveWindow]); active && windowExists(*active)) {
        start = *active;
    } else {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        if (focus == PointerRoot) {
            // Keys go to the window under the pointer.
            Window root = 0;
            int rootX = 0;
            int rootY = 0;
            int windowX = 0;
            int windowY = 0;
            unsigned mask = 0;
            focus = None;
            XQueryPointer(m_display, m_root, &root, &focus, &rootX, &rootY, &windowX, &windowY, &mask);
        }
        start = focus;
    }
    if (start == None || start == m_root) {
        return std::nullopt;
    }
    Window topLevel = start;
    Window window = start;
    for (int depth = 0; depth < 64 && window != None && window != m_root && !m_lost; ++depth) {
        if (auto title = windowTitle(window)) {
            return Foreground{window, cutTitle(std::move(*title))};
        }
        topLevel = window;
        window = parentOf(window).value_or(None);
    }
    if (window == None) {
        return std::nullopt; // the window went away while we walked up
    }
    return Foreground{topLevel, std::string()};
}

std::string X11Desktop::Impl::foregroundTitle()
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return {};
    }
    const auto front = foreground();
    return front ? front->title : std::string();
}

void X11Desktop::Impl::minimiseForeground()
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return;
    }
    const auto front = foreground();
    if (!front || m_lost) {
        return;
    }
    if (windowManagerPresent()) {
        XIconifyWindow(m_display, front->window, m_screen);
    } else {
        // Nobody would act on the iconify request; hiding the window is what is left.
        XUnmapWindow(m_display, front->window);
    }
    XFlush(m_display);
}

void X11Desktop::Impl::sendToRoot(Window window, Atom messageType, const std::array<long, 5>& data)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.send_event = True;
    event.xclient.display = m_display;
    event.xclient.window = window;
    event.xclient.message_type = messageType;
    event.xclient.format = 32;
    for (std::size_t i = 0; i < data.size(); ++i) {
        event.xclient.data.l[i] = data[i];
    }
    XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11Desktop::Impl::maximiseForeground()
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return;
    }
    const auto front = foreground();
    if (!front || m_lost) {
        return;
    }
    const Atom vertical = m_atoms[kNetWmStateMaximizedVert];
    const Atom horizontal = m_atoms[kNetWmStateMaximizedHorz];
    if (windowManagerSupports({m_atoms[kNetWmState], vertical, horizontal})) {
        constexpr long kAdd = 1;
        constexpr long kFromApplication = 1;
        sendToRoot(front->window, m_atoms[kNetWmState],
                   {kAdd, static_cast<long>(vertical), static_cast<long>(horizontal), kFromApplication, 0});
    } else {
        unsigned width = 0;
        unsigned height = 0;
        screenSize(width, height);
        XWindowAttributes attributes;
        if (width == 0 || height == 0 || !XGetWindowAttributes(m_display, front->window, &attributes)) {
            return;
        }
        const auto border = static_cast<unsigned>(std::max(attributes.border_width, 0));
        XMoveResizeWindow(m_display, front->window, 0, 0, std::max(width - std::min(width, 2 * border), 1u),
                          std::max(height - std::min(height, 2 * border), 1u));
    }
    XFlush(m_display);
}

// A window whose title is exactly the text, among the window manager's clients first, then
// among the root's children and their children (frames of a reparenting manager). A mapped
// window is preferred to a hidden one of the same title.
std::optional<Window> X11Desktop::Impl::findWindow(const std::string& title)
{
    std::vector<Window> candidates;
    if (windowManagerPresent()) {
        if (const auto clients = property(m_root, m_atoms[kNetClientList]);
            clients && clients->type == m_atoms[kWindow] && clients->format == 32) {
            candidates.assign(clients->items.begin(), clients->items.end());
        }
    }
    const auto childrenOf = [this](Window parent) {
        std::vector<Window> result;
        Window root = 0;
        Window grandParent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(m_display, parent, &root, &grandParent, &children, &count) && children != nullptr) {
            result.assign(children, children + count);
        }
        if (children != nullptr) {
            XFree(children);
        }
        return result;
    };
    for (Window topLevel : childrenOf(m_root)) {
        if (m_lost) {
            return std::nullopt;
        }
        candidates.push_back(topLevel);
        for (Window inner : childrenOf(topLevel)) {
            candidates.push_back(inner);
        }
    }
    std::optional<Window> hidden;
    for (Window window : candidates) {
        if (m_lost) {
            return std::nullopt;
        }
        const auto name = windowTitle(window);
        if (!name || *name != title) {
            continue;
        }
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(m_display, window, &attributes)) {
            continue; // gone
        }
        if (attributes.map_state == IsViewable) {
            return window;
        }
        if (!hidden) {
            hidden = window;
        }
    }
    return hidden;
}

bool X11Desktop::Impl::activateWindow(const std::string& title)
{
    std::lock_guard lock(m_mutex);
    if (m_lost) {
        return false;
    }
    const auto window = findWindow(title);
    if (!window || m_lost) {
        return false;
    }
    if (windowManagerSupports({m_atoms[kNetActiveWindow]})) {
        constexpr long kFromApplication = 1;
        const Window current = windowProperty(m_root, m_atoms[kNetActiveWindow]).value_or(None);
        sendToRoot(*window, m_atoms[kNetActiveWindow],
                   {kFromApplication, CurrentTime, static_cast<long>(current), 0, 0});
    } else {
        XMapRaised(m_display, *window);
        XRaiseWindow(m_display, *window);
        XSetInputFocus(m_display, *window, RevertToParent, CurrentTime);
    }
    XFlush(m_display);
    return true;
}

// ---- The public object -----------------------------------------------------------------------

std::unique_ptr<X11Desktop> X11Desktop::open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    // Ours from the first request on, so that losing the server at any point ends nothing.
    registerDisplay(display);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        unregisterDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11Desktop>(new X11Desktop(std::make_unique<Impl>(display)));
}

X11Desktop::X11Desktop(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

X11Desktop::~X11Desktop()
{
    // The Impl is gone before the connection closes, so nothing uses the display after.
    Display* display = nullptr;
    if (m_impl) {
        display = m_impl->display();
    }
    m_impl.reset();
    if (display != nullptr) {
        XCloseDisplay(display);
        unregisterDisplay(display);
    }
}

void X11Desktop::keyEvent(std::uint8_t virtualKey, bool down)
{
    m_impl->keyEvent(virtualKey, down);
}

void X11Desktop::mouseButton(MouseButton button, bool down)
{
    m_impl->mouseButton(button, down);
}

PointerPosition X11Desktop::pointerPosition()
{
    return m_impl->pointerPosition();
}

void X11Desktop::setPointerPosition(int x, int y)
{
    m_impl->setPointerPosition(x, y);
}

std::string X11Desktop::foregroundTitle()
{
    return m_impl->foregroundTitle();
}

void X11Desktop::minimiseForeground()
{
    m_impl->minimiseForeground();
}

void X11Desktop::maximiseForeground()
{
    m_impl->maximiseForeground();
}

bool X11Desktop::activateWindow(const std::string& title)
{
    return m_impl->activateWindow(title);
}

bool X11Desktop::isKeyDown(std::uint8_t virtualKey)
{
    return m_impl->isKeyDown(virtualKey);
}

void X11Desktop::setConnectionLostHandler(std::function<void()> handler)
{
    m_impl->setConnectionLostHandler(std::move(handler));
}

bool X11Desktop::connectionLost() const
{
    return m_impl->connectionLost();
}

X11Desktop::IgnoredError X11Desktop::lastIgnoredError()
{
    std::lock_guard lock(errorState().mutex);
    return errorState().last;
}

unsigned long X11Desktop::keysymForVirtualKey(std::uint8_t virtualKey)
{
    return kKeysyms[virtualKey];
}

} // namespace velora::platform
