#include "shell/ui/ShellPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdlib>

static void loadShellIcons()
{
    // Resources of a static library are registered by hand.
    Q_INIT_RESOURCE(shell_icons);
}

namespace velora::shell::ui {
namespace {

constexpr int kIconSize = 32;
constexpr int kCellHeight = 38;
constexpr int kHeaderX = 32;
constexpr int kShadowOffset = 3;
constexpr int kSeparatorY = 46;
constexpr int kSeparatorWidth = 3;
constexpr int kFirstRowY = 64;
constexpr int kIconX = 68;
constexpr int kTextX = 100;
constexpr int kRightMargin = 100;
constexpr int kBottomMargin = 64;
// Another row is drawn only while this much room is left above the list area's bottom.
constexpr int kNextRowRoom = 36;
// A list area whose bottom is this high or higher up shows no rows.
constexpr int kMinListBottom = 100;

const QColor kHeaderColour(128, 128, 255);
const QColor kShadowColour(64, 64, 64);
const QColor kSeparatorColour(255, 0, 0);
const QColor kRowBackground(0, 0, 0);
const QColor kRowText(128, 128, 128);
const QColor kSelectedBackground(0, 0, 255);
const QColor kSelectedText(255, 255, 0);

QImage renderIcon(const QString& resource)
{
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// Fills a rectangle given by a corner and a signed size: a negative width or height
// covers the same span on the other side of the corner.
void fillSpan(QPainter& painter, int x, int y, int width, int height, const QColor& colour)
{
    if (width != 0 && height != 0) {
        painter.fillRect(QRect(std::min(x, x + width), std::min(y, y + height), std::abs(width), std::abs(height)),
                         colour);
    }
}

} // namespace

KindIcons::KindIcons()
{
    loadShellIcons();
    const std::array<const char*, kEntryKindCount> files = {"folder",   "book", "camera", "speaker", "shapes",
                                                            "harddisk", "disc", "hand",   "pages"};
    static_assert(static_cast<int>(EntryKind::Directory) == 0 && static_cast<int>(EntryKind::SourceFile) == 1 &&
                  static_cast<int>(EntryKind::VideoFile) == 2 && static_cast<int>(EntryKind::AudioFile) == 3 &&
                  static_cast<int>(EntryKind::ImageFile) == 4 && static_cast<int>(EntryKind::FixedDrive) == 5 &&
                  static_cast<int>(EntryKind::CdDrive) == 6 && static_cast<int>(EntryKind::Favourite) == 7 &&
                  static_cast<int>(EntryKind::OtherFile) == 8);
    for (std::size_t i = 0; i < files.size(); ++i) {
        m_images[i] = renderIcon(QStringLiteral(":/shell/icons/%1.svg").arg(QLatin1String(files[i])));
    }
    m_programIcon = QIcon(QStringLiteral(":/shell/icons/kavoshell.svg"));
}

QFont shellFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    // A Windows font height is the cell height (ascent and descent); Qt sizes the em. Take
    // the largest em whose cell still fits 38 pixels.
    int best = 1;
    for (int pixels = kCellHeight / 2; pixels <= kCellHeight; ++pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= kCellHeight) {
            best = pixels;
        }
    }
    font.setPixelSize(best);
    return font;
}

void PaintShell(QPainter& painter, QSize screen, EntryList& list, const QByteArray& currentDirectory,
                const KindIcons& icons)
{
    const int width = screen.width();
    const int height = screen.height();
    static const QFont font = shellFont();
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int ascent = metrics.ascent();
    const int cellHeight = metrics.height();

    // Header: the path over its shadow, neither clipped nor cleared.
    const QString path = QString::fromUtf8(currentDirectory);
    painter.setPen(kShadowColour);
    painter.drawText(QPoint(kHeaderX + kShadowOffset, kShadowOffset + ascent), path);
    painter.setPen(kHeaderColour);
    painter.drawText(QPoint(kHeaderX, ascent), path);

    painter.fillRect(QRect(0, kSeparatorY - kSeparatorWidth / 2, width, kSeparatorWidth), kSeparatorColour);

    const int bottom = height - kBottomMargin;
    const int bandWidth = width - kRightMargin - kIconX;
    const int textWidth = width - kRightMargin - kTextX;
    int y = kFirstRowY;
    list.rowsShown = 0;
    if (bottom > kMinListBottom) {
        for (std::int32_t i = std::max(0, list.top); i < list.count; ++i) {
            const bool selected = i == list.selected;
            const QColor& background = selected ? kSelectedBackground : kRowBackground;
            const ShellEntry& entry = list[i];
            // The whole band in the row colour, the icon composed over it, then the text
            // cut at the band's right end.
            fillSpan(painter, kIconX, y, bandWidth, cellHeight, background);
            painter.drawImage(QPoint(kIconX, y), icons[entry.kind]);
            if (textWidth > 0) {
                painter.save();
                painter.setClipRect(QRect(kTextX, y, textWidth, cellHeight));
                painter.setPen(selected ? kSelectedText : kRowText);
                painter.drawText(QPoint(kTextX, y + ascent), QString::fromUtf8(entry.name, entry.nameLength));
                painter.restore();
            }
            ++list.rowsShown;
            y += cellHeight;
            if (y + kNextRowRoom >= bottom) {
                break;
            }
        }
    }
    // Rows of an earlier paint below the last one disappear.
    fillSpan(painter, kIconX, y, bandWidth, bottom - y, kRowBackground);
}

} // namespace velora::shell::ui
