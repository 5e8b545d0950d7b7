// The settings dialog under Qt's offscreen platform: real data folders and a real velora.ini
// in a temporary folder, fake capture drivers, font faces and display modes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <map>

#include "config/linux/LinuxDataFolders.h"
#include "config/ui/CSettingsDlg.h"
#include "config/ui/QtFontFaces.h"
#include "tests/support/TempDir.h"

namespace velora::config {
namespace {

class FakeCaptureDrivers final : public CaptureDriverSource
{
public:
    std::map<int, std::string> installed;
    std::optional<std::string> description(int index) override
    {
        const auto found = installed.find(index);
        return found == installed.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

class FakeFonts final : public FontSource
{
public:
    std::vector<std::string> reported;
    std::map<std::string, std::string, std::less<>> substitutes;
    std::vector<std::string> faces() override { return reported; }
    std::optional<std::string> substitute(std::string_view name) override
    {
        const auto found = substitutes.find(name);
        return found == substitutes.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

class FakeDisplayModes final : public DisplayModeSource
{
public:
    std::vector<DisplayMode> reported;
    std::vector<DisplayMode> modes() override { return reported; }
};

// Answers every modal dialog that opens while it lives, as a user would with OK, and notes
// what each showed: its caption, then the texts of its message or labels.
class ModalAnswerer
{
public:
    ModalAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            QString seen = dialog->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                seen += " | " + box->text() + (box->icon() == QMessageBox::Warning ? " | warning icon" : "");
            }
            for (const QLabel* label : dialog->findChildren<QLabel*>()) {
                if (!label->text().isEmpty() && qobject_cast<QMessageBox*>(dialog) == nullptr) {
                    seen += " | " + label->text();
                }
            }
            shown.push_back(seen.toStdString());
            dialog->accept();
        });
        m_timer.start(5);
    }

    std::vector<std::string> shown;

private:
    QTimer m_timer;
};

std::string lines(const QComboBox* list)
{
    std::string text;
    for (int i = 0; i < list->count(); ++i) {
        text += (i == 0 ? "" : "|") + list->itemText(i).toStdString();
    }
    return text;
}

class SettingsDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.valid());
        // Folder names in other cases than the ones asked for, dot files, files of other
        // kinds and a folder that looks like a data file.
        for (const char* file :
             {"Cards/Generic.crd", "Cards/Generic2.crd", "Cards/.x.crd", "Cards/readme.txt", "TUNERS/TEMIC_PAL_BG.tun",
              "TUNERS/Default.tun", "TUNERS/PAL.BG.tun", "ChannelTables/Default.cht", "ChannelTables/Europe.cht",
              "languages/English.lng", "languages/Deutsch.LNG"}) {
            put(file);
        }
        m_dir.makeFolder("Cards/folder.crd");
        drivers.installed = {{0, "Zoran ZR36067"}, {3, "BT878 video"}};
        fonts.reported = {"DejaVu Sans", "Arial", "arial", "Arial Black", "DejaVu Sans"};
        displayModes.reported = {{640, 400, 32}, {800, 600, 8}, {800, 600, 16}, {1024, 768, 32}, {1024, 768, 32}};
    }

    void put(const std::string& relative, const std::string& text = "") { m_dir.write(relative, text); }

    std::string iniPath() const { return m_dir.file("velora.ini"); }
    std::string ini() const { return test::readFile(iniPath()); }

    std::unique_ptr<CSettingsDlg> open()
    {
        return std::make_unique<CSettingsDlg>(platform::systemProfile(), iniPath(),
                                              SystemLists{m_folders, drivers, fonts, displayModes});
    }

    template <typename Widget = QComboBox> static Widget* control(CSettingsDlg& dialog, const char* name)
    {
        auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(nullptr, widget) << name;
        return widget;
    }

    FakeCaptureDrivers drivers;
    FakeFonts fonts;
    FakeDisplayModes displayModes;

    test::TempDir m_dir;
    LinuxDataFolders m_folders{m_dir.file("")};
};

TEST_F(SettingsDialog, OpensWithDefaultsAndOkWritesEveryKey)
{
    auto dialog = open();
    struct Expected
    {
        const char* list;
        const char* lines;
        int selected;
    };
    for (const Expected& expected : {
             Expected{"cardList", ".x|Generic|Generic2", 1},
             Expected{"tunerList", "Default|PAL|TEMIC_PAL_BG", 2},
             Expected{"channelTableList", "Default|Europe", 0},
             Expected{"languageList", "Deutsch|English", 1},
             Expected{"fontList", "Arial|Arial Black|DejaVu Sans", 0},
             Expected{"driverList", "BT878 video|Zoran ZR36067", 0},
             Expected{"resolutionList", "(Use current desktop settings)|800 x 600 x 16|1024 x 768 x 32|1024 x 768 x 32",
                      0},
         }) {
        const QComboBox* list = control(*dialog, expected.list);
        EXPECT_EQ(expected.lines, lines(list)) << expected.list;
        EXPECT_EQ(expected.selected, list->currentIndex()) << expected.list;
    }
    EXPECT_FALSE(control<QCheckBox>(*dialog, "twoDigits")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(*dialog, "lowResolution")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(*dialog, "masterVolume")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*dialog, "hardwareOverlay")->isEnabled());
    EXPECT_EQ("Velora Configuration", dialog->windowTitle().toStdString());

    QTest::mouseClick(control<QPushButton>(*dialog, "ok"), Qt::LeftButton);
    EXPECT_EQ(QDialog::Accepted, dialog->result());
    EXPECT_EQ("[TV]\nCard=Generic\nTuner=TEMIC_PAL_BG\nChannelTable=Default\nFont=Arial\nTwoDigits=0\n"
              "CaptureDriverIndex=0\nQuality=0\nAdjustMasterVolume=1\nCustomResolution=0\n\n"
              "[Global]\nLanguage=English\n",
              ini());
}

TEST_F(SettingsDialog, StoredValuesSelectLinesAndComeBackNormalised)
{
    put("velora.ini", "[TV]\nTuner=temic\nCard=Missing\nFont=dejavu\nQuality=2\nAdjustMasterVolume=0\n"
                      "TwoDigits=1\nCaptureDriverIndex=7\nChannelTable=Europe\n[Global]\nLanguage=deu\n");
    auto dialog = open();
    EXPECT_EQ("TEMIC_PAL_BG", control(*dialog, "tunerList")->currentText().toStdString());
    EXPECT_EQ(-1, control(*dialog, "cardList")->currentIndex());
    EXPECT_EQ("DejaVu Sans", control(*dialog, "fontList")->currentText().toStdString());
    EXPECT_EQ("Deutsch", control(*dialog, "languageList")->currentText().toStdString());
    EXPECT_EQ(-1, control(*dialog, "driverList")->currentIndex());
    EXPECT_TRUE(control<QRadioButton>(*dialog, "highResolution")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(*dialog, "tvVolume")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(*dialog, "twoDigits")->isChecked());

    dialog->accept();
    // A name that matches no line is written back as it was; a stored position beyond the
    // driver list becomes -1.
    EXPECT_EQ("[TV]\nTuner=TEMIC_PAL_BG\nCard=Missing\nFont=DejaVu Sans\nQuality=1\nAdjustMasterVolume=0\n"
              "TwoDigits=1\nCaptureDriverIndex=-1\nChannelTable=Europe\nCustomResolution=0\n[Global]\n"
              "Language=Deutsch\n",
              ini());
}

TEST_F(SettingsDialog, DriverPositionIsCountedInTheSortedList)
{
    auto dialog = open();
    // "Zoran ZR36067" is installed under index 0 but sorts second.
    control(*dialog, "driverList")->setCurrentIndex(1);
    dialog->accept();
    EXPECT_NE(std::string::npos, ini().find("CaptureDriverIndex=1\n"));

    drivers.installed.clear();
    auto without = open();
    EXPECT_EQ(0, control(*without, "driverList")->count());
    without->accept();
    EXPECT_NE(std::string::npos, ini().find("CaptureDriverIndex=-1\n"));
}

TEST_F(SettingsDialog, StoredFontDrawnWithAnotherFaceIsShownAndKeptUnderItsName)
{
    fonts.reported = {"DejaVu Sans", "Liberation Sans", "Liberation Serif"};
    fonts.substitutes = {{"Arial", "Liberation Sans"}, {"Gone Face", "Not Installed"}};
    auto dialog = open();
    EXPECT_EQ("Arial|DejaVu Sans|Liberation Sans|Liberation Serif", lines(control(*dialog, "fontList")));
    EXPECT_EQ("Arial", control(*dialog, "fontList")->currentText().toStdString());
    dialog->accept();
    EXPECT_NE(std::string::npos, ini().find("Font=Arial\n"));

    // A substitute that is no listed face, or none at all: no line is added or selected, and
    // the stored name is kept.
    for (const char* stored : {"Gone Face", "Unknown"}) {
        put("velora.ini", std::string("[TV]\nFont=") + stored + "\n");
        auto other = open();
        EXPECT_EQ("DejaVu Sans|Liberation Sans|Liberation Serif", lines(control(*other, "fontList"))) << stored;
        EXPECT_EQ(-1, control(*other, "fontList")->currentIndex()) << stored;
        other->accept();
        EXPECT_NE(std::string::npos, ini().find(std::string("Font=") + stored + "\n")) << stored;
    }
}

TEST_F(SettingsDialog, FontconfigSubstitutesAreFoundButNotTheGeneralFallback)
{
    QtFontFaces system;
    // fonts-liberation is installed with the suite: fontconfig draws Arial with it.
    EXPECT_EQ(std::optional<std::string>("Liberation Sans"), system.substitute("Arial"));
    EXPECT_EQ(std::nullopt, system.substitute("Liberation Sans"));
    EXPECT_EQ(std::nullopt, system.substitute("No Such Face Velora"));
}

// The darkest grey (0 black, 255 white) the list draws its closed field with.
int darkest(QComboBox& list)
{
    list.resize(200, list.sizeHint().height());
    const QImage image = list.grab().toImage();
    int value = 255;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 4; x < image.width() / 2; ++x) {
            value = std::min(value, qGray(image.pixel(x, y)));
        }
    }
    return value;
}

TEST_F(SettingsDialog, EmptyListsShowAGreyedPlaceholderThatIsNeverALineOrAValue)
{
    drivers.installed.clear();
    std::filesystem::remove_all(m_dir.file("ChannelTables"));
    auto dialog = open();
    QComboBox* driverList = control(*dialog, "driverList");
    QComboBox* tables = control(*dialog, "channelTableList");
    EXPECT_EQ(0, driverList->count());
    EXPECT_EQ(0, tables->count());
    EXPECT_EQ("No capture device found", driverList->placeholderText().toStdString());
    EXPECT_EQ("No channel tables", tables->placeholderText().toStdString());
    EXPECT_EQ("", control(*dialog, "cardList")->placeholderText().toStdString());
    // Greyed: lighter than the same text as a line of the list.
    QComboBox line;
    line.addItem(tables->placeholderText());
    QComboBox placeholder;
    placeholder.setPlaceholderText(tables->placeholderText());
    EXPECT_GT(darkest(placeholder), darkest(line) + 40);

    dialog->accept();
    EXPECT_EQ(std::string::npos, ini().find("No "));
    EXPECT_NE(std::string::npos, ini().find("ChannelTable=Default\n"));
    EXPECT_NE(std::string::npos, ini().find("CaptureDriverIndex=-1\n"));
}

TEST_F(SettingsDialog, ResolutionKeys)
{
    // Stored values that the display no longer offers: the desktop line, and OK leaves the
    // three size keys alone.
    put("velora.ini", "[TV]\nCustomResolution=1\nCustomResolutionX=1600\nCustomResolutionY=1200\n"
                      "CustomResolutionBPP=32\n");
    auto gone = open();
    EXPECT_EQ(0, control(*gone, "resolutionList")->currentIndex());
    gone->accept();
    EXPECT_NE(
        std::string::npos,
        ini().find("CustomResolution=0\nCustomResolutionX=1600\nCustomResolutionY=1200\nCustomResolutionBPP=32\n"));

    // Offered twice: the last equal line is selected. Choosing another writes all four keys.
    put("velora.ini", "[TV]\nCustomResolution=1\nCustomResolutionX=1024\nCustomResolutionY=768\n"
                      "CustomResolutionBPP=32\n");
    auto offered = open();
    QComboBox* resolutions = control(*offered, "resolutionList");
    EXPECT_EQ(3, resolutions->currentIndex());
    ModalAnswerer answerer;
    resolutions->setCurrentIndex(1);
    offered->accept();
    EXPECT_NE(std::string::npos,
              ini().find("CustomResolution=1\nCustomResolutionX=800\nCustomResolutionY=600\nCustomResolutionBPP=16\n"));
}

TEST_F(SettingsDialog, WarnsOnTheFirstResolutionChangeByTheUserOnly)
{
    put("velora.ini", "[TV]\nCustomResolution=1\nCustomResolutionX=800\nCustomResolutionY=600\n"
                      "CustomResolutionBPP=16\n");
    ModalAnswerer answerer;
    auto dialog = open();
    dialog->show();
    QComboBox* resolutions = control(*dialog, "resolutionList");
    EXPECT_EQ(1, resolutions->currentIndex());
    QApplication::processEvents();
    EXPECT_TRUE(answerer.shown.empty()) << "the selections made while opening are no change by the user";

    QTest::keyClick(resolutions, Qt::Key_Down);
    QTest::keyClick(resolutions, Qt::Key_Down);
    QTest::keyClick(resolutions, Qt::Key_Up);
    ASSERT_EQ(1u, answerer.shown.size());
    EXPECT_EQ(QCoreApplication::applicationName().toStdString() +
                  " | WARNING!\n\nSome screen resolutions may not be available on your monitor!\n\nUse this "
                  "option with caution as improper resolution settings can even damage your hardware. | warning icon",
              answerer.shown[0]);
    // The user's choice stands.
    EXPECT_EQ(2, resolutions->currentIndex());

    // A new dialog warns again.
    auto again = open();
    control(*again, "resolutionList")->setCurrentIndex(0);
    EXPECT_EQ(2u, answerer.shown.size());
}

TEST_F(SettingsDialog, CancelEscapeAndCloseBoxWriteNothing)
{
    const std::string original = "; hand-written\r\n[TV]\r\n  Card = \"Generic\"  \r\nQuality=7\r\n[Other]\r\nx=1";
    put("velora.ini", original);
    for (int way = 0; way < 3; ++way) {
        auto dialog = open();
        dialog->show();
        control<QCheckBox>(*dialog, "twoDigits")->setChecked(true);
        control(*dialog, "tunerList")->setCurrentIndex(0);
        control<QRadioButton>(*dialog, "tvVolume")->setChecked(true);
        if (way == 0) {
            QTest::mouseClick(control<QPushButton>(*dialog, "cancel"), Qt::LeftButton);
        } else if (way == 1) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        } else {
            dialog->close();
        }
        EXPECT_EQ(QDialog::Rejected, dialog->result()) << way;
        EXPECT_EQ(original, ini()) << way;
    }
}

TEST_F(SettingsDialog, OkThatCannotWriteSaysSoAndStaysOpen)
{
    // velora.ini below a regular file: no write can succeed, for root either.
    put("notafolder", "x");
    const std::string badPath = iniPath().substr(0, iniPath().rfind('/')) + "/notafolder/velora.ini";
    CSettingsDlg dialog(platform::systemProfile(), badPath, SystemLists{m_folders, drivers, fonts, displayModes});
    dialog.show();
    ModalAnswerer answerer;
    QTest::mouseClick(control<QPushButton>(dialog, "ok"), Qt::LeftButton);
    ASSERT_EQ(1u, answerer.shown.size());
    EXPECT_EQ(answerer.shown[0], QCoreApplication::applicationName().toStdString() +
                                     " | The settings could not be saved to '" + badPath + "'. | warning icon");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(QDialog::Accepted, dialog.result());
    // Cancel still closes it.
    QTest::mouseClick(control<QPushButton>(dialog, "cancel"), Qt::LeftButton);
    EXPECT_EQ(QDialog::Rejected, dialog.result());
}

TEST_F(SettingsDialog, TabOrderAndAboutBox)
{
    auto dialog = open();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    control<QPushButton>(*dialog, "ok")->setFocus();
    std::string visited = "ok";
    for (int step = 0; step < 10; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited += " " + QApplication::focusWidget()->objectName().toStdString();
    }
    EXPECT_EQ("ok cancel driverList cardList tunerList twoDigits channelTableList resolutionList languageList "
              "fontList ok",
              visited);

    ASSERT_EQ(1, dialog->actions().size());
    QAction* about = dialog->actions().front();
    EXPECT_EQ("&About VeloraConfig...", about->text().toStdString());
    EXPECT_EQ(Qt::ActionsContextMenu, dialog->contextMenuPolicy());
    ModalAnswerer answerer;
    about->trigger();
    ASSERT_EQ(1u, answerer.shown.size());
    EXPECT_EQ(0u, answerer.shown[0].find("About VeloraConfig | VeloraConfig Version 1.0 | "));
}

} // namespace
} // namespace velora::config
