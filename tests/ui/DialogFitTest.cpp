// The suite's dialogs laid out in the desktop's font, at the scale factor the test runs with
// (QT_SCALE_FACTOR), in the desktop's own size and at 14 points, in English and in German:
// every text fits its control and no two controls overlap.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include <functional>
#include <map>

#include "config/ui/CAboutBox.h"
#include "config/ui/CSettingsDlg.h"
#include "fakes/MemoryProfile.h"
#include "fakes/RemoteFakes.h"
#include "remote/ui/RemoteDialog.h"
#include "tests/support/DialogChecks.h"
#include "ui/DialogLayout.h"
#include "ui/Translations.h"

namespace velora {
namespace {

struct FakeLists final : config::DataFolderSource,
                         config::CaptureDriverSource,
                         config::FontSource,
                         config::DisplayModeSource
{
    std::map<std::string, std::vector<std::string>, std::less<>> folders{
        {"cards", {"Generic.crd", "Tuner_MUX0_Sound_GPIO8-11.crd"}},
        {"tuners", {"PHILIPS_FM1216ME_MK3.tun", "TEMIC_PAL_BG.tun"}},
        {"Languages", {"Deutsch.lng", "English.lng"}}};
    std::vector<std::string> fileNames(std::string_view folder) override
    {
        const auto found = folders.find(folder);
        return found == folders.end() ? std::vector<std::string>{} : found->second;
    }
    std::optional<std::string> description(int) override { return std::nullopt; }
    std::vector<std::string> faces() override { return {"DejaVu Sans", "Liberation Sans"}; }
    std::vector<config::DisplayMode> modes() override { return {{1024, 768, 32}, {1920, 1080, 32}}; }
    config::SystemLists lists() { return {*this, *this, *this, *this}; }
};

// Runs check with the application's font at points (0: the desktop's own) and its texts in
// the language of locale, and puts everything back afterwards.
void inEachFontAndLanguage(const std::function<void(const std::string& where)>& check)
{
    const QFont desktop = QApplication::font();
    for (const char* locale : {"C", "de_DE"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        ui::installTranslations(QStringLiteral(VELORA_SUITE_DIR "/translations"));
        for (const int points : {0, 14}) {
            QFont font = desktop;
            if (points > 0) {
                font.setPointSize(points);
            }
            QApplication::setFont(font);
            check(std::string(locale) + ", " + font.family().toStdString() + " " + std::to_string(font.pointSize()) +
                  " pt, scale " + qgetenv("QT_SCALE_FACTOR").toStdString());
        }
    }
    QApplication::setFont(desktop);
    QLocale::setDefault(QLocale::system());
    ui::installTranslations(QStringLiteral(VELORA_SUITE_DIR "/translations"));
}

std::string lines(const std::vector<std::string>& problems)
{
    std::string text;
    for (const std::string& problem : problems) {
        text += "\n  " + problem;
    }
    return text;
}

TEST(DialogFit, KavoRemoteOptionsWindow)
{
    inEachFontAndLanguage([](const std::string& where) {
        test::RemoteFakes fakes;
        test::MemoryProfile profile;
        remote::ui::RemoteDialog dialog(remote::DaemonServices{fakes.services(), fakes.loader, profile},
                                        "/suite/velora.ini");
        // Units of the application's font (the desktop's, at whatever size it has), at most
        // a little wider where a text needs it.
        EXPECT_EQ(dialog.font(), QApplication::font()) << where;
        const ui::DialogUnits units = ui::DialogLayout::unitsOf(dialog);
        EXPECT_EQ(units.baseY(), ui::DialogUnits(QApplication::font()).baseY()) << where;
        EXPECT_LT(units.widening(), 1.25) << where;
        EXPECT_EQ(dialog.size(), QSize(units.x(256), units.y(164))) << where;
        EXPECT_EQ(lines(test::layoutProblems(dialog)), "") << where;
        // The scale factor is in force: the window draws at that many device pixels.
        EXPECT_DOUBLE_EQ(dialog.devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble()) << where;
    });
}

TEST(DialogFit, VeloraConfigWithEmptyListsAndItsAboutBox)
{
    inEachFontAndLanguage([](const std::string& where) {
        FakeLists lists;
        test::MemoryProfile profile;
        config::CSettingsDlg dialog(profile, "/suite/velora.ini", lists.lists());
        const ui::DialogUnits units = ui::DialogLayout::unitsOf(dialog);
        EXPECT_LT(units.widening(), 1.25) << where;
        EXPECT_EQ(dialog.size(), QSize(units.x(396), units.y(192))) << where;
        EXPECT_EQ(lines(test::layoutProblems(dialog)), "") << where;
        config::CAboutBox about{QIcon()};
        EXPECT_EQ(lines(test::layoutProblems(about)), "") << where;
    });
}

TEST(DialogFit, WindowsGrowWithTheDesktopFont)
{
    test::RemoteFakes fakes;
    test::MemoryProfile profile;
    const QFont desktop = QApplication::font();
    QFont large = desktop;
    large.setPointSize(desktop.pointSize() * 2);
    QApplication::setFont(large);
    remote::ui::RemoteDialog big(remote::DaemonServices{fakes.services(), fakes.loader, profile}, "/suite/velora.ini");
    QApplication::setFont(desktop);
    remote::ui::RemoteDialog normal(remote::DaemonServices{fakes.services(), fakes.loader, profile},
                                    "/suite/velora.ini");
    // Twice the points: about twice the window, not the same pixels in a larger font.
    EXPECT_GT(big.width(), normal.width() * 17 / 10);
    EXPECT_GT(big.height(), normal.height() * 17 / 10);
}

} // namespace
} // namespace velora
