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

TEST_F(ShellPaintTest, TallerScreensNamesPositionAndFileTypes)
{
    // Every length grows with the height above 768 lines; the number of rows stays.
    for (const auto& [height, row, icon] : {std::tuple{1080, 53, 45}, std::tuple{2160, 107, 90}}) {
        const ShellLayout layout = ShellLayout::forScreen(QSize(height * 16 / 9, height));
        EXPECT_EQ(layout.rowHeight, row);
        EXPECT_EQ(layout.maxRows, 16);
        EXPECT_EQ(layout.iconSize, icon);
        // Icons are drawn from their vector source at the size shown, and at twice the pixels
        // on a screen of twice the density.
        EXPECT_EQ(s_icons->at(EntryKind::VideoFile, icon, 1.0).size(), QSize(icon, icon));
        EXPECT_EQ(s_icons->at(EntryKind::VideoFile, icon, 2.0).size(), QSize(2 * icon, 2 * icon));
    }

    m_list->selected = 11;
    EXPECT_EQ(positionText(*m_list), "12 / 30");
    m_list->count = 0;
    EXPECT_EQ(positionText(*m_list), "");
    // A name cut to its 63 bytes says so; the name kept for opening stays whole.
    const ShellEntry* cut = m_list->append(EntryKind::OtherFile, std::string(70, 'n'), std::string(70, 'n'));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(shownName(*cut), QString(63, QLatin1Char('n')) + QChar(0x2026));
    EXPECT_EQ(cut->realName, std::string(70, 'n'));

    MimeFileTypes types;
    for (const auto& [name, kind] : {std::pair{"film.mkv", EntryKind::VideoFile},
                                     {"Talk.WEBM", EntryKind::VideoFile},
                                     {"song.flac", EntryKind::AudioFile},
                                     {"shot.png", EntryKind::ImageFile},
                                     {"tool.py", EntryKind::SourceFile},
                                     {"run.sh", EntryKind::SourceFile},
                                     {"x.abc", EntryKind::OtherFile},
                                     {"letter.pdf", EntryKind::OtherFile}}) {
        EXPECT_EQ(types.kindOf(name), kind) << name;
    }
}

} // namespace
} // namespace velora::shell::ui
