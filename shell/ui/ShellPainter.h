// Drawing the shell's screen: the current directory as a header over a red line, and the
// list below it, one row per entry with the icon of its kind and one highlighted row.
#pragma once

#include "shell/EntryList.h"

#include <QByteArray>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <array>

class QPainter;

namespace velora::shell::ui {

// The icons of the nine entry kinds at 32 by 32 pixels, drawn once from the program's SVG
// resources and kept for the life of the window, and the program's own icon.
class KindIcons
{
public:
    KindIcons();

    const QImage& operator[](EntryKind kind) const { return m_images[static_cast<std::size_t>(kind)]; }
    const QIcon& programIcon() const { return m_programIcon; }

private:
    std::array<QImage, kEntryKindCount> m_images;
    QIcon m_programIcon;
};

// The one font of the screen: Arial bold (Liberation Sans where fontconfig stands it in
// for Arial) with a cell 38 pixels high.
QFont shellFont();

// Paints the whole screen of size screen (W by H) for the list: the header with its shadow,
// the separator, the rows from y = 64 in bands from x = 68 to W - 100 (a name longer than
// the band is cut at its end), and black below the last row down to H - 64. Nothing is
// drawn outside these places, so what an erase left there stays. Sets list.rowsShown to the
// number of rows drawn.
void PaintShell(QPainter& painter, QSize screen, EntryList& list, const QByteArray& currentDirectory,
                const KindIcons& icons);

} // namespace velora::shell::ui
