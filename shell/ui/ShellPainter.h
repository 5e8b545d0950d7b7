// Drawing the shell's screen: the current directory as a header over a red line, with the
// highlighted entry's position at its right, and the list below it, one row per entry with
// the icon of its kind and one highlighted row. Everything scales with the screen's height.
#pragma once

#include "shell/EntryList.h"

#include <QByteArray>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <array>
#include <memory>

class QPainter;
class QSvgRenderer;

namespace velora::shell::ui {

// The icons of the nine entry kinds, drawn from the program's SVG resources: at 32 by 32
// pixels once, and at the size and pixel ratio of the screen whenever those change, so that
// they stay sharp at any scale. The program's own icon beside them.
class KindIcons
{
public:
    KindIcons();
    ~KindIcons();
    KindIcons(const KindIcons&) = delete;
    KindIcons& operator=(const KindIcons&) = delete;

    // The icon at 32 by 32 pixels.
    const QImage& operator[](EntryKind kind) const { return at(kind, 32, 1.0); }
    // The icon for a square of size by size window pixels on a device of the pixel ratio: an
    // image of that many device pixels, which QPainter draws one to one. The images of the
    // latest size and ratio are kept.
    const QImage& at(EntryKind kind, int size, qreal devicePixelRatio) const;
    const QIcon& programIcon() const;

private:
    // Each drawing is read and drawn when first asked for: a folder shows a few kinds, and
    // the shell's first paint waits for what it draws.
    QSvgRenderer& renderer(std::size_t index) const;

    mutable std::array<std::unique_ptr<QSvgRenderer>, kEntryKindCount> m_renderers;
    mutable std::array<QImage, kEntryKindCount> m_images;
    mutable std::array<QImage, kEntryKindCount> m_scaled;
    mutable int m_scaledSize = 0;
    mutable qreal m_scaledRatio = 0;
    mutable QIcon m_programIcon;
};

// The screen height up to which the lengths are the base ones below; a taller screen scales
// them all by its height over this.
inline constexpr int kBaseScreenHeight = 768;
// The base cell height of the font: the height of a row.
inline constexpr int kBaseCellHeight = 38;

// Where everything goes on a screen of a given size, in the window's pixels. Up to 768 lines:
// the header at x = 32, the red line 3 pixels thick at y = 46, rows of the font's cell (38
// pixels) from y = 64, icons of 32 pixels at x = 68, names at x = 100, bands from x = 68 to
// W - 100 and the list area down to H - 64. A taller screen scales every length by H / 768,
// so that as many rows show as on a 768-line screen, each as tall to the eye.
struct ShellLayout
{
    static ShellLayout forScreen(QSize screen);

    QSize screen;
    double scale = 1.0;
    QFont font;
    int ascent = 0;
    int rowHeight = 0;
    int headerX = 0;
    int shadowOffset = 0;
    int separatorTop = 0;
    int separatorWidth = 0;
    int firstRowY = 0;
    int iconX = 0;
    int iconSize = 0;
    int textX = 0;
    int bandRight = 0;
    int listBottom = 0;
    // The most rows a paint draws (from the first row, while 36 base pixels of room are
    // left above the list area's bottom); 0 on a screen too small for rows.
    int maxRows = 0;

    // The row (0 for the first) whose band holds the point, or -1 outside every band.
    int rowAt(QPoint point) const;
};

// The one font of the screen: Arial bold (Liberation Sans where fontconfig stands it in for
// Arial), the largest whose cell fits cellHeight pixels.
QFont shellFont(int cellHeight = kBaseCellHeight);

// The header's "where am I": the highlighted entry's position and the number of entries,
// "12 / 345"; empty for an empty list.
QString positionText(const EntryList& list);

// The text of a row: the entry's name, with "…" after a name that was cut to its 63
// bytes.
QString shownName(const ShellEntry& entry);

// Paints the whole screen of size screen (W by H) for the list: the header with its shadow
// (the path elided in the middle where it would reach the position at the right), the
// separator, the rows in bands from the left to the right margin (a name longer than its
// band ends in "…" where the band ends), and black below the last row down to the list
// area's bottom. Nothing is drawn outside these places, so what an erase left there stays.
// Sets list.rowsShown to the number of rows drawn.
void PaintShell(QPainter& painter, QSize screen, EntryList& list, const QByteArray& currentDirectory,
                const KindIcons& icons);
void PaintShell(QPainter& painter, const ShellLayout& layout, EntryList& list, const QByteArray& currentDirectory,
                const KindIcons& icons);

// A message over the middle of the bottom margin, below the list: the text in yellow on red.
void PaintBanner(QPainter& painter, const ShellLayout& layout, const QString& text);

} // namespace velora::shell::ui
