// The suite's texts in the language the locale names, run once with LANG=de_DE.UTF-8 and once
// with LANG=C (VELORA_TEST_LANGUAGE says which): KavoRemote's menu and options window and
// VeloraConfig's window in German, or exactly in English; the core's messages likewise.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "config/ui/CSettingsDlg.h"
#include "fakes/FakeSystemLists.h"
#include "fakes/MemoryProfile.h"
#include "fakes/RemoteFakes.h"
#include "remote/ui/RemoteDialog.h"
#include "ui/Translations.h"

namespace velora {
namespace {

bool german()
{
    return qgetenv("VELORA_TEST_LANGUAGE") == "de";
}

// The texts of the buttons, in the order they were made.
QStringList buttons(const QWidget& window)
{
    QStringList texts;
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        texts << button->text();
    }
    return texts;
}

class Translations : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The locale comes from the environment, as it does for the programs.
        ASSERT_EQ(QLocale().language(), german() ? QLocale::German : QLocale::C);
        ASSERT_EQ(ui::installTranslations(QStringLiteral(VELORA_SUITE_DIR "/translations")), german());
    }
};

TEST_F(Translations, KavoRemoteMenuOptionsWindowAndIcon)
{
    test::RemoteFakes fakes;
    test::MemoryProfile profile;
    remote::ui::RemoteDialog dialog(remote::DaemonServices{fakes.services(), fakes.loader, profile},
                                    "/suite/velora.ini");
    QStringList menu;
    for (const QAction* action : dialog.popupMenu()->actions()) {
        menu << action->text();
    }
    const QStringList english{"Reload key &tables...",
                              "&Reinitialize",
                              "Reload drivers...",
                              "&Options",
                              "",
                              "&Keyboard mode",
                              "M&ouse mode",
                              "",
                              "&Exit"};
    const QStringList deutsch{"Tastentabellen neu &laden...",
                              "&Neu initialisieren",
                              "Treiber neu laden...",
                              "&Optionen",
                              "",
                              "&Tastaturmodus",
                              "&Mausmodus",
                              "",
                              "&Beenden"};
    EXPECT_EQ(menu, german() ? deutsch : english);
    const QStringList englishButtons{"Hide", "Re-init now!", "Browse...", "Reload", "Save options...", "&Exit"};
    const QStringList deutschButtons{"Ausblenden", "Neu starten!", "Suchen...",
                                     "Neu laden",  "Speichern...", "&Beenden"};
    EXPECT_EQ(buttons(dialog), german() ? deutschButtons : englishButtons);
    dialog.updateTrayIcon(1);
    EXPECT_EQ(dialog.trayIcon()->toolTip(),
              german() ? "Kavora II Fernbedienung - Mausmodus" : "Kavora II Remote Control - Mouse Mode");
    EXPECT_EQ(dialog.windowTitle(), "KavoRemote");
}

TEST_F(Translations, VeloraConfigButtonsAndCaption)
{
    test::FakeSystemLists lists;
    test::MemoryProfile profile;
    config::CSettingsDlg dialog(profile, "/suite/velora.ini", lists.lists());
    const QStringList okCancel = german() ? QStringList{"OK", "Abbrechen"} : QStringList{"OK", "Cancel"};
    EXPECT_EQ(buttons(dialog), okCancel);
    EXPECT_EQ(dialog.windowTitle(), german() ? "Velora-Konfiguration" : "Velora Configuration");
    EXPECT_EQ(dialog.findChild<QComboBox*>("driverList")->placeholderText(),
              german() ? "Kein Aufnahmegerät gefunden" : "No capture device found");
    EXPECT_EQ(dialog.findChild<QComboBox*>("resolutionList")->itemText(0),
              german() ? "(Auflösung des Desktops)" : "(Use current desktop settings)");
}

TEST_F(Translations, CoreMessagesKeepTheirValues)
{
    // A value that holds a place marker of its own is taken as it is.
    EXPECT_EQ(ui::coreText("Loaded key tables from '/home/u/%2 keys.mac'."),
              german() ? "Tastentabellen aus '/home/u/%2 keys.mac' geladen."
                       : "Loaded key tables from '/home/u/%2 keys.mac'.");
    EXPECT_EQ(ui::coreText("Please enter an integer between 1 and 100."),
              german() ? "Bitte eine ganze Zahl zwischen 1 und 100 eingeben."
                       : "Please enter an integer between 1 and 100.");
    EXPECT_EQ(ui::coreText("Are you sure you want to quit ?"),
              german() ? "Wollen Sie das Programm wirklich beenden?" : "Are you sure you want to quit ?");
    // The first pattern that matches the whole text wins.
    EXPECT_EQ(ui::coreText("last key 0x07 (not a key)"),
              german() ? "letzte Taste 0x07 (keine Taste der Fernbedienung)" : "last key 0x07 (not a key)");
    EXPECT_EQ(ui::coreText("last key 0x98 Down"), german() ? "letzte Taste 0x98 Down" : "last key 0x98 Down");
    // A text the list does not know is shown as it is.
    EXPECT_EQ(ui::coreText("Something else: 'x'."), "Something else: 'x'.");
}

} // namespace
} // namespace velora
