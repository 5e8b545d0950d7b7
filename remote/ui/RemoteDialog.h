// KavoRemote's main window: the options dialog, hidden most of the time, with the
// notification-area icon and its pop-up menu. It binds the daemon's behaviour (RemoteDaemon)
// to Qt widgets; every decision lives in the daemon.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <memory>

#include "remote/DesktopChoice.h"
#include "remote/RemoteDaemon.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace velora::remote::ui {

class FeedbackWindow;
class UpDownControl;

class RemoteDialog : public QDialog, public DaemonWindow
{
    Q_OBJECT

public:
    // The icon's tips, in English; the icon shows them translated.
    static constexpr const char* kKeyboardTip = QT_TR_NOOP("Kavora II Remote Control - Keyboard Mode");
    static constexpr const char* kMouseTip = QT_TR_NOOP("Kavora II Remote Control - Mouse Mode");

    RemoteDialog(const DaemonServices& services, std::string iniPath, QWidget* parent = nullptr);
    ~RemoteDialog() override;

    // How long a desktop without a notification area is given to get one (a panel started
    // with the session may come after the program) before the window shows instead.
    static constexpr int kNotificationAreaWaitMs = 5000;

    // The window's initialisation: controls filled, the icon added, the timers, the card and
    // the receiver started. Returns false when there is no card (the message has been shown
    // and the dialog has ended).
    bool initialise();

    // Ends the program in order: open message boxes and dialogs closed (the commands that
    // opened them go no further), icon removed, timers stopped, keys released, receiver
    // disarmed, card gone. Emits ended(result). Safe at any moment, also from inside a box.
    void endDialog(int result);
    bool hasEnded() const { return m_ended; }

    // For tests: the wait for a notification area, instead of kNotificationAreaWaitMs.
    void setNotificationAreaWait(int milliseconds) { m_notificationAreaWaitMs = milliseconds; }

    RemoteDaemon& daemon() { return *m_daemon; }

    // Shows in the key-source group what the keys are sent through: the desktop back end the
    // program opened, nothing when it could open none.
    void setDesktopInUse(std::optional<DesktopKind> kind);
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* popupMenu() const { return m_menu; }
    int shownMode() const { return m_shownMode; }

    // Where "Browse..." starts and the folders it offers on its side: the folders a relative
    // macro path is looked up in. Without them the file dialog starts in the current folder.
    void setMacroFolders(const QStringList& folders) { m_macroFolders = folders; }

    // DaemonWindow
    void showMessage(std::string_view text) override;
    // The box, and the text on standard error and in the system log.
    void showFailure(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    void updateTrayIcon(int mouseMode) override;
    void post(std::function<void()> call) override
    {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    }
    void startWindowTimer() override;
    void stopWindowTimer() override;
    void windowTimerChanged() override;
    void showFeedback(const std::string& text) override;
    // The feedback window, once a key has been shown; null before.
    FeedbackWindow* feedbackWindow() const { return m_feedbackWindow.get(); }

signals:
    void ended(int result);

public slots:
    void hideCommand();
    void showOptionsCommand();
    void saveOptionsCommand();
    void reloadKeyTablesCommand();
    void browseCommand();
    void exitCommand();
    void reloadDriversCommand();
    // The macro file reloaded as "Reload key tables" does, without asking the options window
    // and without a message: what a script asks for (SIGUSR1).
    void reloadMacroFileCommand();

protected:
    // Message boxes and the file dialog, one place each, so that tests can answer them.
    virtual QMessageBox::StandardButton messageBox(QMessageBox::Icon icon, const QString& text,
                                                   QMessageBox::StandardButtons buttons);
    virtual QString chooseMacroFile();
    // A message that does not wait for an answer: the program goes on while it is shown.
    virtual void notice(const QString& text);
    // Runs a dialog modally until it is answered, or until the program ends (the dialog is
    // then closed); returns its result.
    int runModal(QDialog& dialog);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void reject() override { hideCommand(); }
    void accept() override {}

private:
    void buildControls();
    void buildMenuAndIcon();
    void applyTrayIcon(int mouseMode);
    void fillControls();
    OptionsForm readControls() const;
    // Follows the notification area: docked icon and hidden window while there is one, the
    // window and a notice once it has been missing for the wait.
    void watchNotificationArea();
    // Shows a validation failure and puts the focus back on the control; true when there was one.
    bool reportOptionsError(const std::optional<OptionsError>& error);

    std::unique_ptr<RemoteDaemon> m_daemon;
    // Window timer 1 sleeps until the daemon has something due and then makes the 100 ms
    // ticks that have passed since the last one.
    void windowTimerFired();
    QTimer m_windowTimer;
    bool m_windowTimerOn = false;
    std::chrono::steady_clock::time_point m_lastWindowTick;
    QIcon m_keyboardIcon;
    QIcon m_mouseIcon;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_keyboardAction = nullptr;
    QAction* m_mouseAction = nullptr;
    int m_shownMode = -1;
    bool m_ended = false;
    const bool m_feedbackShown = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    QStringList m_macroFolders;
    // The modal boxes and dialogs open right now, innermost last.
    QList<QPointer<QDialog>> m_modals;
    QPointer<QMessageBox> m_notice;
    QTimer m_notificationAreaWatch;
    QElapsedTimer m_sinceStart;
    int m_notificationAreaWaitMs = kNotificationAreaWaitMs;
    // The window shows because there is no notification area (not because it was asked for).
    bool m_shownForWantOfIcon = false;

    QPushButton* m_hide = nullptr;
    QCheckBox* m_autoInit = nullptr;
    QLineEdit* m_timeout = nullptr;
    UpDownControl* m_timeoutSpin = nullptr;
    QPushButton* m_reinitNow = nullptr;
    QComboBox* m_hotKey = nullptr;
    QLineEdit* m_macroPath = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_reload = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_exit = nullptr;
    QLineEdit* m_speed = nullptr;
    UpDownControl* m_speedSpin = nullptr;
    QComboBox* m_keySource = nullptr;
    QCheckBox* m_repeatKeys = nullptr;
    QCheckBox* m_feedback = nullptr;
    std::unique_ptr<FeedbackWindow> m_feedbackWindow;
    QLineEdit* m_lircSocket = nullptr;
    QLineEdit* m_inputDevice = nullptr;
    QLabel* m_desktopInUse = nullptr;
};

} // namespace velora::remote::ui
