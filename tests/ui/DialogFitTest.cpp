// The suite's dialogs laid out in the desktop's font, at the scale factor the test runs with
// (QT_SCALE_FACTOR), in the desktop's own size and at 14 points, in English and in German:
// every text fits its control and no two controls overlap.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include <functional>

#include "config/ui/CAboutBox.h"
#include "config/ui/CSettingsDlg.h"
#include "fakes/FakeSystemLists.h"
#include "fakes/MemoryProfile.h"
#include "fakes/RemoteFakes.h"
#include "remote/ui/RemoteDialog.h"
#include "tests/support/DialogChecks.h"
#include "ui/DialogLayout.h"
#include "ui/Translations.h"

namespace velora {
namespace {

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
        // The template's 164 units, the key source's group below them with its row that says
        // what the keys are sent through, and the feedback's check box below that.
        EXPECT_EQ(dialog.size(), QSize(units.x(256), units.y(240))) << where;
        EXPECT_EQ(lines(test::layoutProblems(dialog)), "") << where;
        // Each text the row of the desktop in use may show fits as well.
        for (const auto kind : {remote::DesktopKind::X11, remote::DesktopKind::Wayland, remote::DesktopKind::Uinput}) {
            dialog.setDesktopInUse(kind);
            EXPECT_EQ(lines(test::layoutProblems(dialog)), "") << where << ", back end " << static_cast<int>(kind);
        }
        // The scale factor is in force: the window draws at that many device pixels.
        EXPECT_DOUBLE_EQ(dialog.devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble()) << where;
    });
}

TEST(DialogFit, VeloraConfigWithEmptyListsAndItsAboutBox)
{
    inEachFontAndLanguage([](const std::string& where) {
        test::FakeSystemLists lists;
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

} // namespace
} // namespace velora
