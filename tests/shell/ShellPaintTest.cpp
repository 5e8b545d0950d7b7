// The shell's screen painted into images (Qt's offscreen platform), checked pixel by pixel
// against the layout: header, separator, bands, the cut of long names, and the places the
// paint must leave alone.
#include "shell/ui/MimeFileTypes.h"
#include "shell/ui/ShellPainter.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>

namespace velora::shell::ui {
namespace {

const QRgb kUntouched = qRgb(255, 0, 255);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBlack = qRgb(0, 0, 0);

class ShellPaintTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "ShellPaintTest";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
        static KindIcons icons;
        s_icons = &icons;
    }

    void SetUp() override
    {
        m_list = std::make_unique<EntryList>();
        for (int i = 0; i < 30; ++i) {
            const std::string name = i == 3 ? std::string(63, 'W') : "entry" + std::to_string(i) + ".jpg";
            m_list->append(i < 2 ? EntryKind::Directory : EntryKind::ImageFile, name, name);
        }
        m_list->selected = 2;
    }

    QImage paint(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(kUntouched);
        paintOver(image);
        return image;
    }
    void paintOver(QImage& image)
    {
        QPainter painter(&image);
        PaintShell(painter, image.size(), *m_list, "/srv/media/films", *s_icons);
    }

    static int countInRect(const QImage& image, QRect rect, QRgb colour)
    {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                n += image.pixel(x, y) == colour ? 1 : 0;
            }
        }
        return n;
    }

    static KindIcons* s_icons;
    std::unique_ptr<EntryList> m_list;
};

KindIcons* ShellPaintTest::s_icons = nullptr;

TEST_F(ShellPaintTest, LayoutHoldsAtTwoScreenSizes)
{
    const QFont font = shellFont();
    EXPECT_EQ(QFontInfo(font).family(), "Liberation Sans");
    EXPECT_TRUE(font.bold());
    ASSERT_EQ(QFontMetrics(font).height(), 38);

    for (const auto& [width, height, rows] : {std::tuple{1280, 720, 15}, std::tuple{1024, 768, 16}}) {
        SCOPED_TRACE(width);
        m_list->top = 0;
        const QImage image = paint(width, height);
        EXPECT_EQ(m_list->rowsShown, rows);
        const int right = width - 100;
        const int bottom = height - 64;
        // Header and shadow, then the red line from edge to edge, 3 pixels thick at y = 46.
        EXPECT_GT(countInRect(image, QRect(32, 0, 400, 44), qRgb(128, 128, 255)), 200);
        EXPECT_GT(countInRect(image, QRect(35, 3, 400, 41), qRgb(64, 64, 64)), 50);
        EXPECT_EQ(countInRect(image, QRect(0, 45, width, 3), qRgb(255, 0, 0)), width * 3);
        EXPECT_EQ(image.pixel(width - 1, 44), kUntouched);
        EXPECT_EQ(image.pixel(width - 1, 48), kUntouched);
        // Below the line nothing is drawn left of the icons, right of the bands (not even
        // the long name of row 3) or below the list area.
        EXPECT_EQ(countInRect(image, QRect(0, 48, 68, height - 48), kUntouched), 68 * (height - 48));
        EXPECT_EQ(countInRect(image, QRect(right, 48, 100, height - 48), kUntouched), 100 * (height - 48));
        EXPECT_EQ(countInRect(image, QRect(0, bottom, width, 64), kUntouched), width * 64);
        // The highlighted row (2) is blue from x = 68 to W - 100 at every height of the row
        // the icon and the text leave free; the other rows are black there.
        const int row2 = 64 + 2 * 38;
        EXPECT_EQ(countInRect(image, QRect(68, row2 + 32, 32, 6), kBlue), 32 * 6);
        EXPECT_EQ(countInRect(image, QRect(right - 20, row2, 20, 38), kBlue), 20 * 38);
        EXPECT_GT(countInRect(image, QRect(100, row2, 200, 38), qRgb(255, 255, 0)), 100);
        EXPECT_EQ(countInRect(image, QRect(right - 20, 64, 20, 76), kBlack), 20 * 76);
        // The long name runs to the band's end, where it ends in "…" (see below).
        const int row3 = 64 + 3 * 38;
        EXPECT_GT(countInRect(image, QRect(right - 80, row3, 80, 38), qRgb(128, 128, 128)), 40);
        // Black from the last row to the bottom of the list area.
        const int last = 64 + rows * 38;
        EXPECT_EQ(countInRect(image, QRect(68, last, right - 68, bottom - last), kBlack),
                  (right - 68) * (bottom - last));
    }
}

TEST_F(ShellPaintTest, RepaintsRewriteTheListArea)
{
    QImage image = paint(1280, 768);
    // A highlighted long name stays blue to W - 100, and no further.
    m_list->selected = 3;
    paintOver(image);
    const int row3 = 64 + 3 * 38;
    EXPECT_GT(countInRect(image, QRect(1140, row3, 40, 38), kBlue), 200);
    EXPECT_GT(countInRect(image, QRect(1100, row3, 80, 38), qRgb(255, 255, 0)), 40);
    EXPECT_EQ(countInRect(image, QRect(1180, row3, 100, 38), kUntouched), 100 * 38);
    EXPECT_EQ(countInRect(image, QRect(68, 64 + 2 * 38, 1112, 38), kBlue), 0);

    // Fewer entries (a shorter listing painted over a longer one without erasing first):
    // the rows of the earlier paint are gone.
    m_list->count = 5;
    paintOver(image);
    EXPECT_EQ(m_list->rowsShown, 5);
    EXPECT_EQ(countInRect(image, QRect(68, 64 + 5 * 38, 1112, 704 - 64 - 5 * 38), kBlack), 1112 * (704 - 64 - 5 * 38));

    // Scrolled: the first row shows entry top.
    m_list->count = 30;
    m_list->top = 3;
    m_list->selected = 4;
    paintOver(image);
    EXPECT_EQ(countInRect(image, QRect(1160, 64 + 38, 20, 38), kBlue), 20 * 38);
    EXPECT_EQ(countInRect(image, QRect(1160, 64 + 2 * 38, 20, 38), kBlack), 20 * 38);

    // A screen 164 pixels high has no room for rows.
    const QImage small = paint(800, 164);
    EXPECT_EQ(m_list->rowsShown, 0);
    EXPECT_EQ(countInRect(small, QRect(0, 48, 800, 116), kBlue), 0);
    EXPECT_EQ(countInRect(small, QRect(0, 100, 800, 64), kUntouched), 800 * 64);
}

TEST_F(ShellPaintTest, KindIconsAreDistinctAndStandOutOnBothBackgrounds)
{
    std::set<QByteArray> seen;
    for (int kind = 0; kind < kEntryKindCount; ++kind) {
        const QImage& icon = (*s_icons)[static_cast<EntryKind>(kind)];
        ASSERT_EQ(icon.size(), QSize(32, 32));
        seen.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()), static_cast<int>(icon.sizeInBytes())));
        for (const QColor background : {QColor(0, 0, 0), QColor(0, 0, 255)}) {
            QImage over(32, 32, QImage::Format_RGB32);
            over.fill(background);
            QPainter(&over).drawImage(0, 0, icon);
            int distinct = 0;
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 32; ++x) {
                    const QColor c = over.pixelColor(x, y);
                    distinct += std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                                            std::abs(c.blue() - background.blue()) >
                                        200
                                    ? 1
                                    : 0;
                }
            }
            EXPECT_GT(distinct, 32 * 32 / 5) << "kind " << kind << " on " << background.name().toStdString();
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kEntryKindCount));
    EXPECT_FALSE(s_icons->programIcon().isNull());
}

TEST_F(ShellPaintTest, TallerScreensScaleEveryLengthAndShowAsManyRows)
{
    for (const auto& [width, height, rowHeight] : {std::tuple{1920, 1080, 53}, std::tuple{3840, 2160, 107}}) {
        SCOPED_TRACE(height);
        const double scale = height / 768.0;
        const auto scaled = [&](int length) { return static_cast<int>(std::lround(length * scale)); };
        m_list->top = 0;
        const QImage image = paint(width, height);
        EXPECT_EQ(m_list->rowsShown, 16);
        const int first = scaled(64);
        const int left = scaled(68);
        const int right = width - scaled(100);
        const int bottom = height - scaled(64);
        const int icon = scaled(32);
        const int line = scaled(3);
        EXPECT_EQ(countInRect(image, QRect(0, scaled(46) - line / 2, width, line), qRgb(255, 0, 0)), width * line);
        // Row 2 is blue from the left to the right margin, under its icon too, and nothing
        // is drawn beside the bands or below the list area.
        const int row2 = first + 2 * rowHeight;
        EXPECT_EQ(countInRect(image, QRect(right - 20, row2, 20, rowHeight), kBlue), 20 * rowHeight);
        EXPECT_EQ(countInRect(image, QRect(left, row2 + icon, icon, rowHeight - icon), kBlue),
                  icon * (rowHeight - icon));
        EXPECT_EQ(countInRect(image, QRect(right - 20, row2 - 1, 20, 1), kBlack), 20);
        EXPECT_EQ(countInRect(image, QRect(right - 20, row2 + rowHeight, 20, 1), kBlack), 20);
        EXPECT_EQ(countInRect(image, QRect(0, first, left, bottom - first), kUntouched), left * (bottom - first));
        EXPECT_EQ(countInRect(image, QRect(right, first, width - right, bottom - first), kUntouched),
                  (width - right) * (bottom - first));
        EXPECT_EQ(countInRect(image, QRect(0, bottom, width, height - bottom), kUntouched), width * (height - bottom));
        const int last = first + 16 * rowHeight;
        EXPECT_EQ(countInRect(image, QRect(left, last, right - left, bottom - last), kBlack),
                  (right - left) * (bottom - last));
        // The icon is drawn from its vector source at the row's size, not blown up.
        const QImage& folder = s_icons->at(EntryKind::Directory, icon, 1.0);
        EXPECT_EQ(folder.size(), QSize(icon, icon));
        EXPECT_EQ(image.copy(left, first, icon, icon), [&] {
            QImage over(icon, icon, QImage::Format_RGB32);
            over.fill(kBlack);
            QPainter(&over).drawImage(0, 0, folder);
            return over;
        }());
    }
    // On a screen of twice the pixel density the icons have twice the pixels.
    const QImage& sharp = s_icons->at(EntryKind::VideoFile, 32, 2.0);
    EXPECT_EQ(sharp.size(), QSize(64, 64));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
}

TEST_F(ShellPaintTest, LongNamesEndInAnEllipsisAndTheHeaderShowsThePosition)
{
    for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{3840, 2160}}) {
        SCOPED_TRACE(height);
        const ShellLayout layout = ShellLayout::forScreen(QSize(width, height));
        m_list->top = 0;
        m_list->selected = 11;
        const QImage image = paint(width, height);
        const QRgb grey = qRgb(128, 128, 128);
        // Row 3's name of 63 Ws ends in "…" inside the band: the last em of its text holds
        // only the three dots low in the row, where cut Ws would reach up to the top.
        const int row3 = layout.firstRowY + 3 * layout.rowHeight;
        int end = layout.bandRight - 1;
        while (end > layout.textX && countInRect(image, QRect(end, row3, 1, layout.rowHeight), grey) == 0) {
            --end;
        }
        const int em = QFontMetrics(layout.font).horizontalAdvance(QChar(0x2026));
        const int middle = row3 + layout.ascent / 2;
        EXPECT_GT(end, layout.bandRight - 2 * em);
        EXPECT_EQ(countInRect(image, QRect(end - em / 2, row3, em / 2 + 1, middle - row3), grey), 0);
        EXPECT_GT(countInRect(image, QRect(end - em / 2, middle, em / 2 + 1, layout.ascent / 2), grey), 0);
        EXPECT_GT(countInRect(image, QRect(end - 3 * em, row3, em, middle - row3), grey), 0);

        // "12 / 30" ends at the header's right margin, in the header's colour.
        const QRgb header = qRgb(128, 128, 255);
        const int positionWidth = QFontMetrics(layout.font).horizontalAdvance(QStringLiteral("12 / 30"));
        const int rightEdge = width - layout.headerX;
        EXPECT_GT(countInRect(image, QRect(rightEdge - positionWidth, 0, positionWidth, layout.separatorTop), header),
                  positionWidth);
        EXPECT_EQ(countInRect(image, QRect(rightEdge + 1, 0, layout.headerX - 1, layout.separatorTop), header), 0);
    }
    EXPECT_EQ(positionText(*m_list), "12 / 30");
    m_list->count = 345;
    m_list->selected = 344;
    EXPECT_EQ(positionText(*m_list), "345 / 345");
    m_list->count = 0;
    EXPECT_EQ(positionText(*m_list), "");

    // A name cut to its 63 bytes says so; the bytes themselves stay as listed.
    EntryList list;
    const ShellEntry* cut = list.append(EntryKind::OtherFile, std::string(70, 'n'), std::string(70, 'n'));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(shownName(*cut), QString(63, QLatin1Char('n')) + QChar(0x2026));
    EXPECT_EQ(cut->realName, std::string(70, 'n'));
}

TEST_F(ShellPaintTest, BannerSitsBelowTheListAndFileTypesComeFromTheDatabase)
{
    for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(kUntouched);
        const ShellLayout layout = ShellLayout::forScreen(size);
        QPainter painter(&image);
        PaintBanner(painter, layout, QStringLiteral("No program opens 'x.abc'"));
        painter.end();
        const QRgb red = qRgb(255, 0, 0);
        EXPECT_EQ(countInRect(image, QRect(0, 0, size.width(), layout.listBottom), red), 0);
        EXPECT_GT(countInRect(image, QRect(0, layout.listBottom, size.width(), size.height() - layout.listBottom), red),
                  size.width() / 4 * layout.rowHeight / 2);
        EXPECT_EQ(image.pixel(size.width() / 2, (layout.listBottom + size.height()) / 2) != kUntouched, true);
    }

    MimeFileTypes types;
    EXPECT_EQ(types.kindOf("film.mkv"), EntryKind::VideoFile);
    EXPECT_EQ(types.kindOf("Talk.WEBM"), EntryKind::VideoFile);
    EXPECT_EQ(types.kindOf("song.flac"), EntryKind::AudioFile);
    EXPECT_EQ(types.kindOf("song.ogg"), EntryKind::AudioFile);
    EXPECT_EQ(types.kindOf("shot.png"), EntryKind::ImageFile);
    EXPECT_EQ(types.kindOf("tool.py"), EntryKind::SourceFile);
    EXPECT_EQ(types.kindOf("run.sh"), EntryKind::SourceFile);
    EXPECT_EQ(types.kindOf("lib.rs"), EntryKind::SourceFile);
    EXPECT_EQ(types.kindOf("x.abc"), EntryKind::OtherFile);
    EXPECT_EQ(types.kindOf("letter.pdf"), EntryKind::OtherFile);
    EXPECT_EQ(types.kindOf("noextension"), EntryKind::OtherFile);
}

} // namespace
} // namespace velora::shell::ui
