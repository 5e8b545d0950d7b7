#include "shell/ui/ShellPainter.h"

#include <QCache>
#include <QFontMetrics>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

static void loadShellIcons()
{
    // Resources of a static library are registered by hand.
    Q_INIT_RESOURCE(shell_icons);
}

namespace velora::shell::ui {
namespace {

// The base lengths, for a screen of up to kBaseScreenHeight lines.
constexpr int kIconSize = 32;
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
// The banner's room around its text.
constexpr int kBannerPadding = 16;
constexpr int kBannerExtraHeight = 6;

const QColor kHeaderColour(128, 128, 255);
const QColor kShadowColour(64, 64, 64);
const QColor kSeparatorColour(255, 0, 0);
const QColor kRowBackground(0, 0, 0);
const QColor kRowText(128, 128, 128);
const QColor kSelectedBackground(0, 0, 255);
const QColor kSelectedText(255, 255, 0);
const QColor kBannerBackground(255, 0, 0);
const QColor kBannerText(255, 255, 0);

QImage renderIcon(QSvgRenderer& renderer, int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
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

// The rows drawn from the first row on a list area of the given height, in base pixels, at a
// row pitch of cell: one row at least, then another while room is left.
int rowsThatFit(int height, int cell)
{
    const int bottom = height - kBottomMargin;
    if (bottom <= kMinListBottom || cell <= 0) {
        return 0;
    }
    int rows = 0;
    for (int y = kFirstRowY;;) {
        ++rows;
        y += cell;
        if (y + kNextRowRoom >= bottom) {
            return rows;
        }
    }
}

// Qt's raster engine keeps the glyphs of type up to 64 pixels in its glyph cache and fills
// the outline of every larger glyph at every paint, which takes tens of milliseconds for a
// screen of rows on a 2160-line screen. Such text is drawn once into an image and kept.
constexpr int kLargestCachedGlyph = 64;
// The images kept, in bytes: the rows of a few screens.
constexpr qsizetype kTextImageBytes = 48 << 20;

bool largeType(const ShellLayout& layout)
{
    return layout.font.pixelSize() > kLargestCachedGlyph;
}

// The text drawn by draw into an image of the size (transparent, or filled with the
// background when it is valid), made once for each key.
const QImage& textImage(const QString& key, QSize size, const QColor& background,
                        const std::function<void(QPainter&)>& draw)
{
    static QCache<QString, QImage> images(kTextImageBytes);
    if (const QImage* known = images.object(key)) {
        return *known;
    }
    auto* image = new QImage(size, QImage::Format_ARGB32_Premultiplied);
    image->fill(background.isValid() ? background : QColor(Qt::transparent));
    {
        QPainter painter(image);
        draw(painter);
    }
    const QImage* kept = image;
    images.insert(key, image, std::max<qsizetype>(1, image->sizeInBytes()));
    // An image larger than the whole cache is not kept: it is drawn from a copy this time.
    if (images.object(key) == nullptr) {
        static QImage once;
        once = QImage();
        return once;
    }
    return *kept;
}

// Draws text with the header's shadow under it, its top-left corner at x, top.
void drawWithShadow(QPainter& painter, const ShellLayout& layout, int x, const QString& text)
{
    const auto draw = [&](QPainter& on, int left) {
        on.setFont(layout.font);
        on.setPen(kShadowColour);
        on.drawText(QPoint(left + layout.shadowOffset, layout.shadowOffset + layout.ascent), text);
        on.setPen(kHeaderColour);
        on.drawText(QPoint(left, layout.ascent), text);
    };
    if (!largeType(layout)) {
        draw(painter, x);
        return;
    }
    const QFontMetrics metrics(layout.font);
    // Room for the shadow and for glyphs that reach past their advance.
    const int slack = layout.shadowOffset + layout.rowHeight / 4;
    const QSize size(metrics.horizontalAdvance(text) + slack, metrics.height() + layout.shadowOffset);
    const QString key = QStringLiteral("h%1:%2").arg(layout.font.pixelSize()).arg(text);
    const QImage& image = textImage(key, size, QColor(), [&](QPainter& on) { draw(on, 0); });
    if (image.isNull()) {
        draw(painter, x);
    } else {
        painter.drawImage(QPoint(x, 0), image);
    }
}

// Draws a row's name at its place, over the row's background, clipped to the band.
void drawName(QPainter& painter, const ShellLayout& layout, QPoint at, int width, const QString& text,
              const QColor& colour, const QColor& background)
{
    const auto draw = [&](QPainter& on, QPoint where) {
        on.setFont(layout.font);
        on.setPen(colour);
        on.drawText(QPoint(where.x(), where.y() + layout.ascent), text);
    };
    painter.save();
    painter.setClipRect(QRect(at, QSize(width, layout.rowHeight)));
    if (!largeType(layout)) {
        draw(painter, at);
    } else {
        const int advance = QFontMetrics(layout.font).horizontalAdvance(text);
        const QSize size(std::min(width, advance + layout.rowHeight / 4), layout.rowHeight);
        const QString key = QStringLiteral("r%1:%2:%3:%4")
                                .arg(layout.font.pixelSize())
                                .arg(colour.rgb())
                                .arg(background.rgb())
                                .arg(text);
        const QImage& image = textImage(key, size, background, [&](QPainter& on) { draw(on, QPoint(0, 0)); });
        if (image.isNull()) {
            draw(painter, at);
        } else {
            painter.drawImage(at, image);
        }
    }
    painter.restore();
}

} // namespace

KindIcons::KindIcons()
{
    loadShellIcons();
}

const QIcon& KindIcons::programIcon() const
{
    if (m_programIcon.isNull()) {
        m_programIcon = QIcon(QStringLiteral(":/shell/icons/kavoshell.svg"));
    }
    return m_programIcon;
}

KindIcons::~KindIcons() = default;

QSvgRenderer& KindIcons::renderer(std::size_t index) const
{
    static constexpr std::array<const char*, kEntryKindCount> kFiles = {
        "folder", "book", "camera", "speaker", "shapes", "harddisk", "disc", "hand", "pages"};
    static_assert(static_cast<int>(EntryKind::Directory) == 0 && static_cast<int>(EntryKind::SourceFile) == 1 &&
                  static_cast<int>(EntryKind::VideoFile) == 2 && static_cast<int>(EntryKind::AudioFile) == 3 &&
                  static_cast<int>(EntryKind::ImageFile) == 4 && static_cast<int>(EntryKind::FixedDrive) == 5 &&
                  static_cast<int>(EntryKind::CdDrive) == 6 && static_cast<int>(EntryKind::Favourite) == 7 &&
                  static_cast<int>(EntryKind::OtherFile) == 8);
    if (!m_renderers[index]) {
        m_renderers[index] =
            std::make_unique<QSvgRenderer>(QStringLiteral(":/shell/icons/%1.svg").arg(QLatin1String(kFiles[index])));
    }
    return *m_renderers[index];
}

const QImage& KindIcons::at(EntryKind kind, int size, qreal devicePixelRatio) const
{
    const auto index = static_cast<std::size_t>(kind);
    if (size == kIconSize && devicePixelRatio == 1.0) {
        if (m_images[index].isNull()) {
            m_images[index] = renderIcon(renderer(index), kIconSize);
        }
        return m_images[index];
    }
    if (size != m_scaledSize || devicePixelRatio != m_scaledRatio) {
        m_scaled.fill(QImage());
        m_scaledSize = size;
        m_scaledRatio = devicePixelRatio;
    }
    if (m_scaled[index].isNull()) {
        const int pixels = std::max(1, static_cast<int>(std::lround(size * devicePixelRatio)));
        m_scaled[index] = renderIcon(renderer(index), pixels);
        m_scaled[index].setDevicePixelRatio(devicePixelRatio);
    }
    return m_scaled[index];
}

QFont shellFont(int cellHeight)
{
    // Looked for once per height: the shell paints at one or two heights in its life.
    static QHash<int, QFont> found;
    if (const auto known = found.constFind(cellHeight); known != found.constEnd()) {
        return *known;
    }
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    // A Windows font height is the cell height (ascent and descent); Qt sizes the em. Take
    // the largest em whose cell still fits: the cell grows with the em, so start from their
    // proportion at a large size and step to the last em that fits. Each size tried loads the
    // font anew, which is what the start of the program would wait for.
    const auto cellAt = [&font](int pixels) {
        font.setPixelSize(pixels);
        return QFontMetrics(font).height();
    };
    constexpr int kProbe = 100;
    int best = std::max(1, cellHeight * kProbe / std::max(1, cellAt(kProbe)));
    while (best > 1 && cellAt(best) > cellHeight) {
        --best;
    }
    while (cellAt(best + 1) <= cellHeight) {
        ++best;
    }
    font.setPixelSize(best);
    found.insert(cellHeight, font);
    return font;
}

ShellLayout ShellLayout::forScreen(QSize screen)
{
    static ShellLayout last;
    if (last.screen == screen && last.rowHeight > 0) {
        return last;
    }
    ShellLayout layout;
    layout.screen = screen;
    const int height = screen.height();
    layout.scale = height > kBaseScreenHeight ? static_cast<double>(height) / kBaseScreenHeight : 1.0;
    const auto scaled = [&](int length) { return static_cast<int>(std::lround(length * layout.scale)); };
    // The base font's cell is the base row: 38 pixels for Arial and its stand-ins.
    const int baseCell = QFontMetrics(shellFont()).height();
    if (layout.scale == 1.0) {
        layout.font = shellFont();
        layout.rowHeight = baseCell;
        layout.maxRows = rowsThatFit(height, baseCell);
    } else {
        layout.rowHeight = scaled(baseCell);
        layout.font = shellFont(layout.rowHeight);
        layout.maxRows = rowsThatFit(kBaseScreenHeight, baseCell);
    }
    layout.ascent = QFontMetrics(layout.font).ascent();
    layout.headerX = scaled(kHeaderX);
    layout.shadowOffset = scaled(kShadowOffset);
    layout.separatorWidth = scaled(kSeparatorWidth);
    layout.separatorTop = scaled(kSeparatorY) - layout.separatorWidth / 2;
    layout.firstRowY = scaled(kFirstRowY);
    layout.iconX = scaled(kIconX);
    layout.iconSize = scaled(kIconSize);
    layout.textX = scaled(kTextX);
    layout.bandRight = screen.width() - scaled(kRightMargin);
    layout.listBottom = height - scaled(kBottomMargin);
    last = layout;
    return layout;
}

int ShellLayout::rowAt(QPoint point) const
{
    if (point.x() < iconX || point.x() >= bandRight || point.y() < firstRowY || rowHeight <= 0) {
        return -1;
    }
    const int row = (point.y() - firstRowY) / rowHeight;
    return row < maxRows ? row : -1;
}

QString positionText(const EntryList& list)
{
    if (list.count <= 0) {
        return {};
    }
    return QStringLiteral("%1 / %2").arg(std::clamp(list.selected, 0, list.count - 1) + 1).arg(list.count);
}

QString shownName(const ShellEntry& entry)
{
    QString text = QString::fromUtf8(entry.name, entry.nameLength);
    if (entry.nameCut) {
        text += QChar(0x2026);
    }
    return text;
}

void PaintShell(QPainter& painter, QSize screen, EntryList& list, const QByteArray& currentDirectory,
                const KindIcons& icons)
{
    PaintShell(painter, ShellLayout::forScreen(screen), list, currentDirectory, icons);
}

void PaintShell(QPainter& painter, const ShellLayout& layout, EntryList& list, const QByteArray& currentDirectory,
                const KindIcons& icons)
{
    const int width = layout.screen.width();
    painter.setFont(layout.font);
    const QFontMetrics metrics(layout.font);

    // Header: the position at the right, and the path over its shadow in what room is left,
    // neither clipped nor cleared.
    const QString position = positionText(list);
    int pathRoom = width - 2 * layout.headerX;
    if (!position.isEmpty()) {
        const int positionWidth = metrics.horizontalAdvance(position);
        const int positionX = width - layout.headerX - positionWidth;
        drawWithShadow(painter, layout, positionX, position);
        pathRoom = positionX - layout.headerX - layout.headerX;
    }
    const QString path = metrics.elidedText(QString::fromUtf8(currentDirectory), Qt::ElideMiddle, pathRoom);
    drawWithShadow(painter, layout, layout.headerX, path);

    painter.fillRect(QRect(0, layout.separatorTop, width, layout.separatorWidth), kSeparatorColour);

    const int bandWidth = layout.bandRight - layout.iconX;
    const int textWidth = layout.bandRight - layout.textX;
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    int y = layout.firstRowY;
    list.rowsShown = 0;
    for (std::int32_t i = std::max(0, list.top); i < list.count && list.rowsShown < layout.maxRows; ++i) {
        const bool selected = i == list.selected;
        const QColor& background = selected ? kSelectedBackground : kRowBackground;
        const ShellEntry& entry = list[i];
        // The whole band in the row colour, the icon composed over it, then the name, ending
        // in "…" where it would run past the band's end.
        fillSpan(painter, layout.iconX, y, bandWidth, layout.rowHeight, background);
        painter.drawImage(QRect(layout.iconX, y, layout.iconSize, layout.iconSize),
                          icons.at(entry.kind, layout.iconSize, ratio));
        if (textWidth > 0) {
            drawName(painter, layout, QPoint(layout.textX, y), textWidth,
                     metrics.elidedText(shownName(entry), Qt::ElideRight, textWidth),
                     selected ? kSelectedText : kRowText, background);
        }
        ++list.rowsShown;
        y += layout.rowHeight;
    }
    // Rows of an earlier paint below the last one disappear.
    fillSpan(painter, layout.iconX, y, bandWidth, layout.listBottom - y, kRowBackground);
}

void PaintBanner(QPainter& painter, const ShellLayout& layout, const QString& text)
{
    if (text.isEmpty()) {
        return;
    }
    const auto scaled = [&](int length) { return static_cast<int>(std::lround(length * layout.scale)); };
    const QFontMetrics metrics(layout.font);
    const int padding = scaled(kBannerPadding);
    const int room = layout.bandRight - layout.iconX - 2 * padding;
    const QString shown = metrics.elidedText(text, Qt::ElideMiddle, std::max(0, room));
    const int boxWidth = metrics.horizontalAdvance(shown) + 2 * padding;
    const int boxHeight = metrics.height() + scaled(kBannerExtraHeight);
    const int width = layout.screen.width();
    const int height = layout.screen.height();
    const QRect box((width - boxWidth) / 2, layout.listBottom + (height - layout.listBottom - boxHeight) / 2, boxWidth,
                    boxHeight);
    painter.fillRect(box, kBannerBackground);
    painter.setFont(layout.font);
    painter.setPen(kBannerText);
    painter.drawText(box, Qt::AlignCenter, shown);
}

} // namespace velora::shell::ui
