// The keyboard map of a connection, as this program uses it to type keysyms: which keycode
// carries a keysym, and spare keycodes for the keysyms the keymap lacks.
//
// A keysym is typed with a keycode that carries it without Shift (column 0 of the keymap).
// One the keymap lacks is given, for the moment, one of the keycodes that had no keysyms
// when the keymap was first read ("spare" keycodes). Those assignments are reused while
// they last; when all spares are in use the least recently used one is taken over, never
// one whose key this program holds down. Another client may change the keymap at any time:
// the changes are noted before each use, and a spare someone else filled is given up.
//
// Not thread-safe: its owner serialises the calls, as it does all use of the connection.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/x11/X11Connection.h"

namespace velora::platform {

class X11Keymap
{
public:
    // Reads the keymap, asks the server to report changes to it, and takes the keycodes that
    // carry no keysym now as the spares.
    explicit X11Keymap(X11Connection& connection);

    // Reads the keymap-change notifications that have arrived, without a round trip, and
    // reads the keymap again when there was one.
    void noteChanges();

    // The keycode to type the keysym with; with mayAssignSpare, one the keymap lacks gets a
    // spare. 0 when there is none.
    KeyCode keycodeFor(KeySym keysym, bool mayAssignSpare);

    // Keys this program holds down: their spares are not taken over meanwhile.
    void setPressed(KeyCode keycode, bool down) { m_pressed[keycode] = down; }
    std::vector<KeyCode> pressedKeycodes() const;

    // Whether a key that carries one of the keysyms (in any column) is down on the server.
    bool anyDown(const std::vector<unsigned long>& keysyms);

    // Empties the spares again, but only those still carrying what this keymap put there:
    // another client may have taken one over meanwhile. For the end of the keymap's use.
    void emptySpares();

private:
    struct Spare
    {
        KeyCode keycode = 0;
        KeySym keysym = NoSymbol; // NoSymbol: the keycode is empty
        std::uint64_t lastUse = 0;
    };

    void fetch();
    KeySym sym(int keycode, int column) const;
    bool isEmpty(int keycode) const;
    // Whether the spare still carries the keysym this keymap gave it.
    bool carriesOwn(const Spare& spare) const
    {
        return spare.keysym != NoSymbol && sym(spare.keycode, 0) == spare.keysym;
    }
    KeyCode assignSpare(KeySym keysym);

    X11Connection& m_connection;
    Display* m_display;
    int m_xkbEventBase = -1;
    int m_minKeycode = 8;
    int m_maxKeycode = 255;
    int m_symsPerKeycode = 0;
    std::vector<KeySym> m_keymap;
    std::vector<Spare> m_spares;
    std::uint64_t m_useClock = 0;
    std::array<bool, 256> m_pressed{};
};

} // namespace velora::platform
