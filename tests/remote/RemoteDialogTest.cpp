// The options window and the icon with Qt's offscreen platform: the daemon's logic behind
// them runs against fakes, message boxes and the file dialog are answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <deque>
#include <thread>

#include "fakes/MemoryProfile.h"
#include "fakes/RemoteFakes.h"
#include "hw/BtRegisters.h"
#include "remote/ui/FeedbackWindow.h"
#include "remote/ui/RemoteDialog.h"
#include "ui/DialogLayout.h"

QT_BEGIN_NAMESPACE
// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace velora::remote::ui {
namespace {

constexpr const char* kIni = "/suite/velora.ini";

class TestDialog : public RemoteDialog
{
public:
    using RemoteDialog::RemoteDialog;
    std::vector<std::string> messages;
    std::deque<QMessageBox::StandardButton> answers;
    QString fileToChoose;

protected:
    QMessageBox::StandardButton messageBox(QMessageBox::Icon icon, const QString& text,
                                           QMessageBox::StandardButtons) override
    {
        messages.push_back((icon == QMessageBox::Warning    ? "warning "
                            : icon == QMessageBox::Question ? "ask "
                                                            : "") +
                           text.toStdString());
        if (answers.empty()) {
            return QMessageBox::Ok;
        }
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString chooseMacroFile() override { return fileToChoose; }
    void notice(const QString& text) override { messages.push_back("notice " + text.toStdString()); }
};

struct DialogRig : test::RemoteFakes
{
    test::MemoryProfile profile;
    // Before the dialog: its destruction still reports the end of the dialog here.
    std::vector<int> ended;
    std::unique_ptr<TestDialog> dialog;

    explicit DialogRig(bool cardPresent = true)
    {
        driver.logReads = false;
        if (!cardPresent) {
            driver.presentDevice.reset();
        }
        dialog = std::make_unique<TestDialog>(DaemonServices{services(), loader, profile}, kIni);
        QObject::connect(dialog.get(), &RemoteDialog::ended, [this](int result) { ended.push_back(result); });
    }
    template <typename T> T* child(const char* name) { return dialog->findChild<T*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* text)
    {
        for (QPushButton* candidate : dialog->findChildren<QPushButton*>()) {
            if (candidate->text() == QLatin1String(text)) {
                return candidate;
            }
        }
        return nullptr;
    }
};

TEST(RemoteDialog, LaidOutFromTheTemplateInDialogUnits)
{
    DialogRig rig;
    // The dialog units of the dialog's font, widened as much as its texts need; the template's
    // 164 units, the group of the key source below them and the feedback's check box below it.
    const velora::ui::DialogUnits units = velora::ui::DialogLayout::unitsOf(*rig.dialog);
    EXPECT_EQ(rig.dialog->size(), QSize(units.x(256), units.y(240)));
    EXPECT_EQ(rig.dialog->windowTitle(), "KavoRemote");
    EXPECT_EQ(rig.button("Hide")->geometry(), units.rect(87, 142, 50, 14));
    EXPECT_TRUE(rig.button("Hide")->isDefault());
    EXPECT_EQ(rig.button("&Exit")->geometry(), units.rect(205, 142, 44, 14));
    EXPECT_EQ(rig.child<QLineEdit>("edit1013")->geometry(), units.rect(120, 115, 29, 14));
    for (const char* text : {"Re-init now!", "Browse...", "Reload", "Save options..."}) {
        EXPECT_NE(rig.button(text), nullptr) << text;
    }
    QStringList labels;
    for (QLabel* label : rig.dialog->findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_TRUE(labels.contains("Movement speed (pixels/click)"));
    EXPECT_TRUE(labels.contains("Reinitialization hot-key:"));
    QStringList groups;
    for (QGroupBox* box : rig.dialog->findChildren<QGroupBox*>()) {
        groups << box->title();
    }
    groups.sort();
    EXPECT_EQ(groups, (QStringList{"Key source", "Keyboard emulation", "Mouse emulation", "Options"}));
    auto* hotKey = rig.dialog->findChild<QComboBox*>();
    ASSERT_EQ(hotKey->count(), 4);
    EXPECT_EQ(hotKey->itemText(0), "(None)");
    EXPECT_EQ(hotKey->itemText(3), "Ctrl-F12");

    // The tab order is the template's.
    QStringList order;
    QWidget* widget = rig.button("Hide");
    for (int i = 0; i < 11; ++i) {
        if (auto* b = qobject_cast<QPushButton*>(widget)) {
            order << b->text();
        } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
            order << check->text();
        } else {
            order << widget->objectName();
        }
        do {
            widget = widget->nextInFocusChain();
        } while (widget->focusPolicy() == Qt::NoFocus || qobject_cast<QLabel*>(widget) ||
                 qobject_cast<QGroupBox*>(widget));
    }
    EXPECT_EQ(order.mid(0, 3), (QStringList{"Hide", "Auto-reinitialization every", "edit1005"}));
    EXPECT_EQ(order.mid(5), (QStringList{"edit1009", "Browse...", "Reload", "Save options...", "&Exit", "edit1013"}));
}

TEST(RemoteDialog, KeySourceGroupBelowTheTemplateShowsAndTakesTheSettings)
{
    DialogRig rig;
    rig.profile.setText(kIni, "[KavoRemote]\nKeySource=input\nInputDevice=/dev/input/event5\nRepeatKeys=0\n");
    rig.dialog = std::make_unique<TestDialog>(DaemonServices{rig.services(), rig.loader, rig.profile}, kIni);
    const velora::ui::DialogUnits units = velora::ui::DialogLayout::unitsOf(*rig.dialog);
    // Every control of the group lies below the template's buttons.
    auto* lirc = rig.child<QLineEdit>("lircSocket");
    auto* device = rig.child<QLineEdit>("inputDevice");
    ASSERT_NE(lirc, nullptr);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(lirc->geometry(), units.rect(56, 190, 80, 14));
    EXPECT_GE(device->geometry().top(), units.rect(87, 142, 50, 14).bottom());
    const QList<QComboBox*> lists = rig.dialog->findChildren<QComboBox*>();
    ASSERT_EQ(lists.size(), 2);
    QComboBox* source = lists[1];
    EXPECT_EQ(source->count(), 3);
    EXPECT_EQ(source->itemText(1), "LIRC");
    QCheckBox* repeat = nullptr;
    for (QCheckBox* box : rig.dialog->findChildren<QCheckBox*>()) {
        if (box->text() == "Repeat held keys") {
            repeat = box;
        }
    }
    ASSERT_NE(repeat, nullptr);

    // Shown as read; saved as changed, with the other settings.
    ASSERT_TRUE(rig.dialog->initialise());
    EXPECT_EQ(source->currentText(), "Input device");
    EXPECT_EQ(device->text(), "/dev/input/event5");
    EXPECT_EQ(lirc->text(), "/run/lirc/lircd");
    EXPECT_FALSE(repeat->isChecked());
    source->setCurrentIndex(1);
    lirc->setText("/tmp/lircd");
    repeat->setChecked(true);
    QTest::mouseClick(rig.button("Save options..."), Qt::LeftButton);
    EXPECT_EQ(rig.profile.readString(kIni, "KavoRemote", "KeySource", ""), "lirc");
    EXPECT_EQ(rig.profile.readString(kIni, "KavoRemote", "LircSocket", ""), "/tmp/lircd");
    EXPECT_EQ(rig.profile.readInt(kIni, "KavoRemote", "RepeatKeys", 7), 1);
    EXPECT_TRUE(rig.dialog->daemon().engine().repeatKeys());

    // The last row says what the keys are sent through, shown only, inside the group's frame.
    auto* inUse = rig.child<QLabel>("desktopInUse");
    ASSERT_NE(inUse, nullptr);
    EXPECT_EQ(inUse->geometry(), units.rect(76, 208, 166, 8));
    EXPECT_GT(inUse->geometry().top(), device->geometry().bottom());
    QGroupBox* frame = nullptr;
    for (QGroupBox* box : rig.dialog->findChildren<QGroupBox*>()) {
        frame = box->title() == "Key source" ? box : frame;
    }
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->geometry().contains(inUse->geometry())) << "the label lies outside its group";
    EXPECT_EQ(inUse->text(), "nothing (keys cannot be sent)");
    rig.dialog->setDesktopInUse(DesktopKind::Uinput);
    EXPECT_EQ(inUse->text(), "kernel (uinput), no window scopes");
    rig.dialog->setDesktopInUse(DesktopKind::X11);
    EXPECT_EQ(inUse->text(), "X11 (XTEST)");
    EXPECT_EQ(inUse->focusPolicy(), Qt::NoFocus);
}

TEST(RemoteDialog, StartsHiddenWithTheModeIconOrSaysWhyItStaysOpen)
{
    DialogRig rig;
    rig.dialog->setNotificationAreaWait(300);
    ASSERT_TRUE(rig.dialog->initialise());
    EXPECT_EQ(rig.dialog->shownMode(), 0);
    EXPECT_EQ(rig.dialog->trayIcon()->toolTip(), "Kavora II Remote Control - Keyboard Mode");
    EXPECT_EQ(rig.driver.registers[bt::GPIO_DATA] & 0xFFu, 0xFFu);
    EXPECT_FALSE(rig.dialog->isVisible());
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // No notification area (as on the offscreen platform): after a while for one to come,
        // the window stays, and says why once.
        EXPECT_TRUE(rig.dialog->messages.empty());
        QTest::qWait(700);
        EXPECT_TRUE(rig.dialog->isVisible());
        ASSERT_EQ(rig.dialog->messages.size(), 1u);
        EXPECT_EQ(rig.dialog->messages[0].rfind("notice This desktop has no notification area", 0), 0u);
    }
}

TEST(RemoteDialog, NoCardSaysSoAndEnds)
{
    DialogRig rig(false);
    EXPECT_FALSE(rig.dialog->initialise());
    EXPECT_EQ(rig.dialog->messages, std::vector<std::string>{"BT848 not found! Check DLLs"});
    EXPECT_EQ(rig.ended, std::vector<int>{1});
    EXPECT_FALSE(rig.dialog->trayIcon()->isVisible());
}

TEST(RemoteDialog, TypingASpeedActsAtOnceButHideChecksTheRange)
{
    DialogRig rig;
    ASSERT_TRUE(rig.dialog->initialise());
    rig.dialog->messages.clear();
    rig.dialog->showOptionsCommand();
    auto* speed = rig.child<QLineEdit>("edit1013");
    speed->clear();
    std::vector<int> steps;
    for (const char digit : {'2', '5', '0'}) {
        QTest::keyClick(speed, digit);
        steps.push_back(rig.dialog->daemon().engine().mouseStep());
    }
    EXPECT_EQ(steps, (std::vector<int>{2, 25, 250}));
    QTest::mouseClick(rig.button("Hide"), Qt::LeftButton);
    EXPECT_EQ(rig.dialog->messages, std::vector<std::string>{"warning Please enter an integer between 1 and 100."});
    EXPECT_TRUE(rig.dialog->isVisible());
    EXPECT_EQ(rig.dialog->focusWidget(), speed);
    EXPECT_EQ(rig.dialog->daemon().engine().mouseStep(), 250);
    // Save options reports the same and writes nothing.
    QTest::mouseClick(rig.button("Save options..."), Qt::LeftButton);
    EXPECT_EQ(rig.dialog->messages.size(), 2u);
    EXPECT_FALSE(rig.profile.text(kIni));
    // The arrows step within 0..100 and wrap.
    speed->setText("100");
    QTest::keyClick(speed, Qt::Key_Up);
    EXPECT_EQ(speed->text(), "0");
    QTest::keyClick(speed, Qt::Key_Down);
    EXPECT_EQ(speed->text(), "100");
    QTest::mouseClick(rig.button("Hide"), Qt::LeftButton);
    EXPECT_FALSE(rig.dialog->isVisible());
}

TEST(RemoteDialog, EnterGoesToTheFocusedButtonElseToHide)
{
    DialogRig rig;
    rig.files.put("default.mac", "Default\nDown: [VK_DOWN]\nEnd\n");
    ASSERT_TRUE(rig.dialog->initialise());
    const auto showWithFocusOn = [&](QWidget* widget) {
        rig.dialog->showOptionsCommand();
        QApplication::setActiveWindow(rig.dialog.get());
        widget->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        rig.dialog->messages.clear();
    };
    // A push button with the focus takes Enter: it runs and the window stays.
    showWithFocusOn(rig.button("Reload"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(rig.dialog->messages, std::vector<std::string>{"Loaded key tables from 'default.mac'."});
    EXPECT_TRUE(rig.dialog->isVisible());
    showWithFocusOn(rig.button("Re-init now!"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_TRUE(rig.dialog->daemon().engine().receiver().reinitPending());
    EXPECT_TRUE(rig.dialog->isVisible());
    // On an edit or the list, Enter is Hide's.
    showWithFocusOn(rig.child<QLineEdit>("edit1009"));
    EXPECT_TRUE(rig.button("Hide")->isDefault());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(rig.dialog->isVisible());
    showWithFocusOn(rig.dialog->findChild<QComboBox*>());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(rig.dialog->isVisible());
    EXPECT_TRUE(rig.dialog->messages.empty());
}

// The program is told to end (a signal) while a real message box waits for its answer.
TEST(RemoteDialog, EndingWhileABoxWaitsClosesItAndGoesNoFurther)
{
    test::RemoteFakes fakes;
    test::MemoryProfile profile;
    fakes.driver.logReads = false;
    RemoteDialog dialog(DaemonServices{fakes.services(), fakes.loader, profile}, kIni);
    std::vector<int> ended;
    QObject::connect(&dialog, &RemoteDialog::ended, [&](int result) { ended.push_back(result); });
    dialog.setNotificationAreaWait(60000);
    ASSERT_TRUE(dialog.initialise());
    // A box that is still open after a few seconds is closed here, and the test fails.
    bool stuck = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        stuck = true;
        while (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
            box->hide();
        }
    });
    watchdog.start(3000);
    // "Reload drivers..." without a card: "BT848 not found! Check DLLs", and the end comes.
    fakes.driver.presentDevice.reset();
    QTimer::singleShot(200, &dialog, [&] { dialog.endDialog(0); });
    fakes.log.clear();
    dialog.reloadDriversCommand();
    EXPECT_FALSE(stuck) << "the box stayed open";
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_EQ(dialog.daemon().card(), nullptr);
    EXPECT_EQ(fakes.timers.activeCount(), 0u);
    // Nothing was armed after the end: the log ends with the new card's unload.
    ASSERT_FALSE(fakes.log.events().empty());
    EXPECT_EQ(fakes.log.events().back(), "unload");
}

TEST(RemoteDialog, MenuChecksTheModeAndTheIconFollows)
{
    DialogRig rig;
    ASSERT_TRUE(rig.dialog->initialise());
    QMenu* menu = rig.dialog->popupMenu();
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(texts, (QStringList{"Reload key &tables...", "&Reinitialize", "Reload drivers...", "&Options", "-",
                                  "&Keyboard mode", "M&ouse mode", "-", "&Exit"}));
    QAction* keyboard = menu->actions().at(5);
    QAction* mouse = menu->actions().at(6);
    emit menu->aboutToShow();
    EXPECT_TRUE(keyboard->isChecked());
    EXPECT_FALSE(mouse->isChecked());
    mouse->trigger();
    EXPECT_EQ(rig.dialog->shownMode(), 1);
    EXPECT_EQ(rig.dialog->trayIcon()->toolTip(), "Kavora II Remote Control - Mouse Mode");
    emit menu->aboutToShow();
    EXPECT_FALSE(keyboard->isChecked());
    EXPECT_TRUE(mouse->isChecked());
    // A left click on the icon switches back.
    emit rig.dialog->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(rig.dialog->daemon().engine().mouseMode(), 0);
    EXPECT_EQ(rig.dialog->shownMode(), 0);
}

TEST(RemoteDialog, ModeChangesFromTheTickThreadReachTheIconThroughTheWindowThread)
{
    DialogRig rig;
    ASSERT_TRUE(rig.dialog->initialise());
    std::thread tick([&] { static_cast<DaemonWindow&>(*rig.dialog).updateTrayIcon(1); });
    tick.join();
    EXPECT_EQ(rig.dialog->shownMode(), 0); // not touched from the other thread
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.dialog->shownMode(), 1);
}

TEST(RemoteDialog, BrowseAsksAndLoads)
{
    DialogRig rig;
    ASSERT_TRUE(rig.dialog->initialise());
    rig.files.put("/media/tv.mac", "Default\nMute: [VK_F3]\nEnd\n");
    rig.dialog->messages.clear();
    rig.dialog->fileToChoose = "/media/tv.mac";
    rig.dialog->answers = {QMessageBox::No};
    rig.dialog->browseCommand();
    EXPECT_EQ(rig.dialog->messages, std::vector<std::string>{"ask Load '/media/tv.mac' now ?"});
    EXPECT_EQ(rig.child<QLineEdit>("edit1009")->text(), "/media/tv.mac");
    EXPECT_FALSE(rig.dialog->daemon().engine().macroTables()->scopes[0].macros[30]);
    rig.dialog->answers = {QMessageBox::Yes};
    rig.dialog->browseCommand();
    EXPECT_EQ(rig.dialog->messages.back(), "Loaded key tables from '/media/tv.mac'.");
    EXPECT_TRUE(rig.dialog->daemon().engine().macroTables()->scopes[0].macros[30]);
}

TEST(RemoteDialog, FunctionKeysExitAndShutdownOrder)
{
    DialogRig rig;
    ASSERT_TRUE(rig.dialog->initialise());
    rig.dialog->showOptionsCommand();
    QTest::keyClick(rig.dialog.get(), Qt::Key_F20);
    EXPECT_TRUE(rig.dialog->daemon().engine().receiver().reinitPending());
    rig.log.clear();
    QTest::keyClick(rig.dialog.get(), Qt::Key_F21);
    EXPECT_EQ(rig.log.joined(), "write 0x200 0x0 unmap 1 8 unload load libvelorahwio.so pci 109e:350 pci 109e:351 "
                                "pci 109e:36e map 1 8 write 0x200 0xff");
    // Exit asks; No keeps everything running.
    rig.dialog->answers = {QMessageBox::No};
    rig.button("&Exit")->click();
    EXPECT_TRUE(rig.ended.empty());
    rig.log.clear();
    rig.dialog->answers = {QMessageBox::Yes};
    rig.button("&Exit")->click();
    EXPECT_EQ(rig.dialog->messages.back(), "ask Are you sure you want to quit ?");
    EXPECT_EQ(rig.ended, std::vector<int>{1});
    EXPECT_EQ(rig.log.joined(), "write 0x200 0x0 unmap 1 8 unload");
    EXPECT_FALSE(rig.dialog->trayIcon()->isVisible());
}

} // namespace
} // namespace velora::remote::ui

namespace velora::remote::ui {
namespace {

TEST(RemoteDialog, FeedbackCheckBoxAndWindowThatNeverTakesTheFocus)
{
    DialogRig rig;
    rig.profile.setText(kIni, "[KavoRemote]\nFeedback=0\n");
    rig.files.put("default.mac", "Default\nDown: [VK_DOWN]\nEnd\n");
    rig.dialog = std::make_unique<TestDialog>(DaemonServices{rig.services(), rig.loader, rig.profile}, kIni);
    QCheckBox* feedback = nullptr;
    for (QCheckBox* box : rig.dialog->findChildren<QCheckBox*>()) {
        if (box->text() == "Show each key on the screen") {
            feedback = box;
        }
    }
    ASSERT_NE(feedback, nullptr);
    ASSERT_TRUE(rig.dialog->initialise());
    RemoteEngine& engine = rig.dialog->daemon().engine();

    // Off as read: a key shows nothing.
    EXPECT_FALSE(feedback->isChecked());
    engine.DispatchKey(keys::Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.dialog->feedbackWindow(), nullptr);

    // Switched on and saved: on at once, and in velora.ini.
    feedback->setChecked(true);
    QTest::mouseClick(rig.button("Save options..."), Qt::LeftButton);
    EXPECT_EQ(rig.profile.readInt(kIni, "KavoRemote", "Feedback", 7), 1);
    EXPECT_TRUE(engine.feedbackOn());

    // A key from the tick's thread shows on the window thread, without taking the focus, and
    // fades after about a second.
    std::thread([&engine] { engine.DispatchKey(keys::Down); }).join();
    QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->feedbackWindow() != nullptr && rig.dialog->feedbackWindow()->isVisible(),
                             2000);
    FeedbackWindow* window = rig.dialog->feedbackWindow();
    EXPECT_EQ(window->text(), "Down: VK_DOWN");
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(window->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_FALSE(window->isActiveWindow());
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), FeedbackWindow::kShowMs + FeedbackWindow::kFadeMs + 1500);
}

} // namespace
} // namespace velora::remote::ui
