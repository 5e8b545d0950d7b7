// The keys of the shell and what they do to the list: moving the highlight and scrolling,
// entering drives, directories and favourites, handing files to the desktop, and the drive
// and favourites lists. The window feeds keys in and carries out the outcome.
#pragma once

#include "shell/EntryList.h"
#include "shell/Listing.h"

#include <string>

namespace velora::shell {

enum class ShellKey { Up, Down, PageUp, PageDown, Home, End, Enter, Backspace, Escape, F1, F2, Other };

// How the window must repaint after a key. A list that only moved repaints without erasing
// first (the paint rewrites every pixel of the list area); a list that was replaced erases.
enum class Repaint { None, WithoutErase, WithErase };

struct KeyOutcome
{
    Repaint repaint = Repaint::None;
    // Escape: the window closes (and the current directory is stored).
    bool close = false;
    // Enter on a file: its absolute path, for the desktop to open with the program that
    // handles its type. Empty otherwise.
    std::string openFile;
};

// One key press (auto-repeat included) on the list. When the folder listed was removed
// meanwhile, any key but an unbound one goes to its nearest existing parent instead, listed
// with the first entry highlighted (Escape then also closes).
KeyOutcome handleKey(EntryList& list, ShellKey key, ShellSystem& system);

// Enter on the highlighted entry: a drive, directory or favourite becomes the current
// directory and is listed with the first entry highlighted (a change that fails, or leads
// to a folder that cannot be read, lists the unchanged directory again); going up to the
// parent highlights the directory just left, near the middle of the screen; a file is
// handed out in the outcome and nothing repaints. Nothing is looked up in a current
// directory that was removed: the nearest existing parent is listed instead. An empty list
// does nothing.
KeyOutcome OpenSelectedEntry(EntryList& list, ShellSystem& system);

// The mouse wheel: scrolls the rows shown by rows (negative: towards the first entry), no
// further than the first entry at the top or the last one at the bottom of the latest paint's
// rows. A highlight scrolled out of sight moves along to the nearest row still shown, so that
// Enter always acts on an entry on screen. Returns whether anything moved (a repaint without
// erasing).
bool ScrollRows(EntryList& list, std::int32_t rows);

// A click on the row-th row of the latest paint (0 for the first): highlights its entry.
// Returns false, changing nothing, where no entry was drawn.
bool SelectShownRow(EntryList& list, std::int32_t row);

} // namespace velora::shell
