#include "platform/x11/X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace velora::platform {
namespace {

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

constexpr const char* kAtomNames[] = {
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

// EWMH: a request on the application's behalf.
constexpr long kFromApplication = 1;

} // namespace

X11Windows::X11Windows(X11Connection& connection)
    : m_connection(connection), m_display(connection.display()), m_root(XDefaultRootWindow(m_display)),
      m_screen(XDefaultScreen(m_display))
{
    static_assert(std::size(kAtomNames) == kAtomCount);
    std::array<char*, kAtomCount> names{};
    for (std::size_t i = 0; i < kAtomCount; ++i) {
        names[i] = const_cast<char*>(kAtomNames[i]);
    }
    XInternAtoms(m_display, names.data(), static_cast<int>(kAtomCount), False, m_atoms.data());
}

// ---- Properties and the window tree --------------------------------------------------------

std::optional<X11Windows::Property> X11Windows::property(Window window, Atom name, long maxLongs)
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

std::optional<Window> X11Windows::windowProperty(Window window, Atom name)
{
    const auto value = property(window, name, 1);
    if (!value || value->type != m_atoms[kWindow] || value->format != 32 || value->items.empty()) {
        return std::nullopt;
    }
    return static_cast<Window>(value->items[0]);
}

std::optional<std::string> X11Windows::windowTitle(Window window)
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

bool X11Windows::windowExists(Window window)
{
    XWindowAttributes attributes;
    return window != None && XGetWindowAttributes(m_display, window, &attributes) != 0;
}

bool X11Windows::windowManagerPresent()
{
    const auto check = windowProperty(m_root, m_atoms[kNetSupportingWmCheck]);
    if (!check || *check == None) {
        return false;
    }
    const auto self = windowProperty(*check, m_atoms[kNetSupportingWmCheck]);
    return self && *self == *check;
}

bool X11Windows::windowManagerSupports(std::initializer_list<Atom> features)
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

std::optional<X11Windows::Tree> X11Windows::tree(Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &count)) {
        return std::nullopt;
    }
    Tree result{parent, {}};
    if (children != nullptr) {
        result.children.assign(children, children + count);
        XFree(children);
    }
    return result;
}

X11Windows::Size X11Windows::screenSize()
{
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned border = 0;
    unsigned depth = 0;
    Size size;
    XGetGeometry(m_display, m_root, &root, &x, &y, &size.width, &size.height, &border, &depth);
    return size;
}

std::optional<X11Windows::Pointer> X11Windows::pointer()
{
    Window root = 0;
    Pointer at;
    int windowX = 0;
    int windowY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(m_display, m_root, &root, &at.child, &at.x, &at.y, &windowX, &windowY, &mask)) {
        return std::nullopt;
    }
    return at;
}

void X11Windows::sendToRoot(Window window, Atom messageType, const std::array<long, 5>& data)
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

// ---- The window in front -------------------------------------------------------------------

// The window manager's active window when there is one that still exists, else the window
// with the input focus. From there up to the first window with a name, which is the one whose
// title counts and the one window commands act on; when none has a name, the top-level
// window with an empty title.
Window X11Windows::focusStart()
{
    if (const auto active = windowProperty(m_root, m_atoms[kNetActiveWindow]); active && windowExists(*active)) {
        return *active;
    }
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    if (focus == PointerRoot) {
        // Keys go to the window under the pointer.
        const auto at = pointer();
        focus = at ? at->child : None;
    }
    return focus == m_root ? None : focus;
}

std::optional<X11Windows::Foreground> X11Windows::foreground()
{
    const Window start = focusStart();
    if (start == None) {
        return std::nullopt;
    }
    Window topLevel = start;
    Window window = start;
    for (int depth = 0; depth < 64 && window != None && window != m_root && !m_connection.lost(); ++depth) {
        if (auto title = windowTitle(window)) {
            return Foreground{window, cutTitle(std::move(*title))};
        }
        topLevel = window;
        const auto around = tree(window);
        window = around ? around->parent : None;
    }
    if (window == None) {
        return std::nullopt; // the window went away while we walked up
    }
    return Foreground{topLevel, std::string()};
}

std::pair<std::string, std::string> X11Windows::foregroundClass()
{
    // The first window with a WM_CLASS from the focus up: the program's own top-level window,
    // whether the focus is on it, on a child of it or on a frame around it.
    Window window = focusStart();
    for (int depth = 0; depth < 64 && window != None && window != m_root && !m_connection.lost(); ++depth) {
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint) != 0) {
            std::pair<std::string, std::string> names{hint.res_name != nullptr ? hint.res_name : "",
                                                      hint.res_class != nullptr ? hint.res_class : ""};
            XFree(hint.res_name);
            XFree(hint.res_class);
            return names;
        }
        const auto around = tree(window);
        window = around ? around->parent : None;
    }
    return {};
}

std::string X11Windows::foregroundTitle()
{
    const auto front = foreground();
    return front ? front->title : std::string();
}

void X11Windows::minimiseForeground()
{
    const auto front = foreground();
    if (!front || m_connection.lost()) {
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

void X11Windows::maximiseForeground()
{
    const auto front = foreground();
    if (!front || m_connection.lost()) {
        return;
    }
    const Atom vertical = m_atoms[kNetWmStateMaximizedVert];
    const Atom horizontal = m_atoms[kNetWmStateMaximizedHorz];
    if (windowManagerSupports({m_atoms[kNetWmState], vertical, horizontal})) {
        constexpr long kAdd = 1;
        sendToRoot(front->window, m_atoms[kNetWmState],
                   {kAdd, static_cast<long>(vertical), static_cast<long>(horizontal), kFromApplication, 0});
    } else {
        const Size screen = screenSize();
        XWindowAttributes attributes;
        if (screen.width == 0 || screen.height == 0 || !XGetWindowAttributes(m_display, front->window, &attributes)) {
            return;
        }
        const auto border = static_cast<unsigned>(std::max(attributes.border_width, 0));
        XMoveResizeWindow(m_display, front->window, 0, 0,
                          std::max(screen.width - std::min(screen.width, 2 * border), 1u),
                          std::max(screen.height - std::min(screen.height, 2 * border), 1u));
    }
    XFlush(m_display);
}

// ---- Finding and activating a window by its title ------------------------------------------

// A window whose title is exactly the text, among the window manager's clients first, then
// among the root's children and their children (frames of a reparenting manager). A mapped
// window is preferred to a hidden one of the same title.
std::optional<Window> X11Windows::findWindow(const std::string& title)
{
    std::vector<Window> candidates;
    if (windowManagerPresent()) {
        if (const auto clients = property(m_root, m_atoms[kNetClientList]);
            clients && clients->type == m_atoms[kWindow] && clients->format == 32) {
            candidates.assign(clients->items.begin(), clients->items.end());
        }
    }
    const auto childrenOf = [this](Window parent) {
        auto below = tree(parent);
        return below ? std::move(below->children) : std::vector<Window>();
    };
    for (Window topLevel : childrenOf(m_root)) {
        if (m_connection.lost()) {
            return std::nullopt;
        }
        candidates.push_back(topLevel);
        for (Window inner : childrenOf(topLevel)) {
            candidates.push_back(inner);
        }
    }
    std::optional<Window> hidden;
    for (Window window : candidates) {
        if (m_connection.lost()) {
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

bool X11Windows::activate(const std::string& title)
{
    const auto window = findWindow(title);
    if (!window || m_connection.lost()) {
        return false;
    }
    if (windowManagerSupports({m_atoms[kNetActiveWindow]})) {
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

} // namespace velora::platform
