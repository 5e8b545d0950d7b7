// The windows of an X session as the remote daemon sees and moves them: the window in front
// and its title, minimise and maximise, and bringing a window to the front by its title,
// through the window manager's EWMH properties and requests where there is one.
//
// A window manager counts as present when the root's _NET_SUPPORTING_WM_CHECK names a
// window whose own _NET_SUPPORTING_WM_CHECK names itself (so a property left behind by a
// window manager that has exited is not believed). Maximise and activation use the EWMH
// requests when the manager lists them in _NET_SUPPORTED, and act on the window directly
// otherwise (move and resize to the screen; map, raise and focus). Without a window manager,
// minimising unmaps the window, since nothing else would hide it.
//
// Titles are UTF-8: _NET_WM_NAME, else WM_NAME (Latin-1 or compound text converted), cut to
// at most 255 bytes without splitting a character. Windows may vanish between two requests;
// the errors that brings are the connection's to ignore, and an operation on a vanished
// window simply has no effect. Every operation gives up once the connection is lost.
//
// Not thread-safe: its owner serialises the calls, as it does all use of the connection.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/X11Connection.h"

namespace velora::platform {

class X11Windows
{
public:
    // Interns the atoms it asks about, in one round trip.
    explicit X11Windows(X11Connection& connection);

    // The title of the window in front; empty when there is none or it has no title.
    std::string foregroundTitle();
    // The instance and class names (WM_CLASS) of the program in front; empty when unknown.
    std::pair<std::string, std::string> foregroundClass();
    void minimiseForeground();
    void maximiseForeground();
    // Brings the window whose title is exactly this text to the front and gives it the focus;
    // false when there is none.
    bool activate(const std::string& title);

    // The screen's size, asked each time rather than remembered: the screen may be resized
    // (RandR) at any time. 0 x 0 when unknown.
    struct Size
    {
        unsigned width = 0;
        unsigned height = 0;
    };
    Size screenSize();

    // The pointer's place on the screen and the root's child under it (None over the bare
    // root); nothing when the pointer is on another screen.
    struct Pointer
    {
        int x = 0;
        int y = 0;
        Window child = None;
    };
    std::optional<Pointer> pointer();

private:
    // The atoms asked about, by index into m_atoms.
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

    struct Property
    {
        Atom type = 0;
        int format = 0;
        std::vector<unsigned char> bytes; // format 8
        std::vector<unsigned long> items; // format 32 (as Xlib hands them: one long each)
    };

    struct Foreground
    {
        Window window = 0;
        std::string title;
    };

    std::optional<Property> property(Window window, Atom name, long maxLongs = 16384);
    std::optional<Window> windowProperty(Window window, Atom name);
    std::optional<std::string> windowTitle(Window window);
    bool windowExists(Window window);
    bool windowManagerPresent();
    bool windowManagerSupports(std::initializer_list<Atom> features);
    // The window's parent and children; nothing for a window that has gone.
    struct Tree
    {
        Window parent = None;
        std::vector<Window> children;
    };
    std::optional<Tree> tree(Window window);
    // The window the keys go to (the active window, else the focus), None when there is none.
    Window focusStart();
    std::optional<Foreground> foreground();
    std::optional<Window> findWindow(const std::string& title);
    void sendToRoot(Window window, Atom messageType, const std::array<long, 5>& data);

    X11Connection& m_connection;
    Display* m_display;
    Window m_root;
    int m_screen;
    std::array<Atom, kAtomCount> m_atoms{};
};

} // namespace velora::platform
