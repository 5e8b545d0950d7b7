#include "remote/ui/RemoteDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QThread>
#include <QUrl>

#include "platform/ErrorLog.h"
#include "remote/ui/FeedbackWindow.h"
#include "remote/ui/UpDownControl.h"
#include "ui/DialogLayout.h"
#include "ui/Translations.h"

// Resources of a static library must be registered by hand.
static void initialiseResources()
{
    Q_INIT_RESOURCE(kavoremote);
}

namespace velora::remote::ui {

RemoteDialog::RemoteDialog(const DaemonServices& services, std::string iniPath, QWidget* parent) : QDialog(parent)
{
    initialiseResources();
    m_keyboardIcon = QIcon(QStringLiteral(":/kavoremote/keyboard.svg"));
    m_mouseIcon = QIcon(QStringLiteral(":/kavoremote/mouse.svg"));
    setWindowTitle(QStringLiteral("KavoRemote"));
    setWindowIcon(QIcon(QStringLiteral(":/kavoremote/remote.svg")));
    m_windowTimer.setSingleShot(true);
    m_windowTimer.setTimerType(Qt::PreciseTimer);
    buildControls();
    buildMenuAndIcon();
    m_daemon = std::make_unique<RemoteDaemon>(services, *this, std::move(iniPath));
    connect(&m_windowTimer, &QTimer::timeout, this, &RemoteDialog::windowTimerFired);
}

namespace {
constexpr std::chrono::milliseconds kWindowTick(100);
}

void RemoteDialog::startWindowTimer()
{
    m_windowTimerOn = true;
    m_lastWindowTick = std::chrono::steady_clock::now();
    m_windowTimer.start(kWindowTick);
}

void RemoteDialog::stopWindowTimer()
{
    m_windowTimerOn = false;
    m_windowTimer.stop();
}

void RemoteDialog::windowTimerChanged()
{
    if (m_windowTimerOn) {
        m_windowTimer.start(0); // counts what has passed, then sleeps for what is due now
    }
}

void RemoteDialog::windowTimerFired()
{
    const auto now = std::chrono::steady_clock::now();
    const auto ticks = (now - m_lastWindowTick) / kWindowTick;
    m_lastWindowTick += ticks * kWindowTick;
    for (auto i = ticks; i > 0 && m_windowTimerOn; --i) {
        m_daemon->windowTimer();
    }
    if (m_windowTimerOn && !m_windowTimer.isActive()) {
        const auto due = m_lastWindowTick + m_daemon->windowTicksDue() * kWindowTick;
        m_windowTimer.start(std::chrono::ceil<std::chrono::milliseconds>(due - now));
    }
}

void RemoteDialog::showFeedback(const std::string& text)
{
    // A Wayland client has no window that never takes the focus (the compositor gives a new
    // top-level window the keyboard), and one that took it would take the next key from the
    // program in front: the feedback is not shown there.
    if (!m_feedbackShown) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, shown = QString::fromStdString(text)] {
            if (!m_ended) {
                if (!m_feedbackWindow) {
                    m_feedbackWindow = std::make_unique<FeedbackWindow>();
                }
                m_feedbackWindow->showText(shown);
            }
        },
        Qt::QueuedConnection);
}

RemoteDialog::~RemoteDialog()
{
    if (!m_ended) {
        endDialog(0);
    }
    delete m_notice; // it has no owner window to go with
}

bool RemoteDialog::initialise()
{
    fillControls();
    // The arrows run from 0 to the key's largest value; a speed of 0 stepped to is refused
    // when the options are taken, as a typed one is.
    m_timeoutSpin->setRange(0, settingRange(&RemoteSettings::AutoInitTimeout).maximum);
    m_speedSpin->setRange(0, settingRange(&RemoteSettings::MouseSpeed).maximum);
    updateTrayIcon(m_daemon->engine().mouseMode());
    m_tray->show();
    if (!m_daemon->start()) {
        endDialog(1);
        return false;
    }
    m_sinceStart.start();
    m_notificationAreaWatch.setInterval(250);
    connect(&m_notificationAreaWatch, &QTimer::timeout, this, &RemoteDialog::watchNotificationArea);
    watchNotificationArea();
    return true;
}

void RemoteDialog::watchNotificationArea()
{
    if (m_ended) {
        m_notificationAreaWatch.stop();
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        // The icon docks by itself once there is an area to dock in; the window that stood in
        // for it goes, once no box waits over it.
        if (m_shownForWantOfIcon) {
            if (!m_modals.isEmpty()) {
                return;
            }
            m_shownForWantOfIcon = false;
            if (m_notice) {
                m_notice->close();
            }
            hide();
        }
        m_notificationAreaWatch.stop();
        return;
    }
    if (!m_shownForWantOfIcon && m_sinceStart.elapsed() >= m_notificationAreaWaitMs) {
        // Without a notification area the window is the only way to the options and Exit.
        m_shownForWantOfIcon = true;
        show();
        notice(tr("This desktop has no notification area, so KavoRemote keeps its window open: "
                  "use Exit in it to end the program, or right-click it for the menu."));
    }
    if (!m_notificationAreaWatch.isActive()) {
        m_notificationAreaWatch.start();
    }
}

void RemoteDialog::endDialog(int result)
{
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_notificationAreaWatch.stop();
    // Every box and dialog still open returns from its exec; what opened it sees m_ended.
    for (auto it = m_modals.rbegin(); it != m_modals.rend(); ++it) {
        if (*it) {
            (*it)->reject();
        }
    }
    if (m_notice) {
        m_notice->close();
    }
    m_tray->hide();
    m_daemon->shutdown();
    hide();
    emit ended(result);
}

bool RemoteDialog::reportOptionsError(const std::optional<OptionsError>& error)
{
    if (!error) {
        return false;
    }
    messageBox(QMessageBox::Warning, velora::ui::coreText(error->message), QMessageBox::Ok);
    if (m_ended) {
        return true;
    }
    QLineEdit* control = error->field == OptionsError::Field::Timeout ? m_timeout : m_speed;
    control->setFocus();
    control->selectAll();
    return true;
}

void RemoteDialog::hideCommand()
{
    if (!reportOptionsError(m_daemon->takeOptions(readControls()))) {
        hide();
    }
}

void RemoteDialog::showOptionsCommand()
{
    m_daemon->prepareOptions();
    fillControls();
    show();
    raise();
    activateWindow();
}

void RemoteDialog::saveOptionsCommand()
{
    reportOptionsError(m_daemon->saveOptions(readControls()));
}

void RemoteDialog::reloadKeyTablesCommand()
{
    reportOptionsError(m_daemon->reloadKeyTables(readControls()));
}

void RemoteDialog::browseCommand()
{
    const QString chosen = chooseMacroFile();
    if (chosen.isEmpty() || m_ended) {
        return;
    }
    m_daemon->macroFileChosen(QFileInfo(chosen).absoluteFilePath().toLocal8Bit().toStdString());
    fillControls();
    if (askYesNo(RemoteDaemon::loadQuestion(m_daemon->MacroPath)) && !m_ended) {
        reloadKeyTablesCommand();
    }
}

void RemoteDialog::exitCommand()
{
    if (m_daemon->confirmExit() && !m_ended) {
        endDialog(1);
    }
}

void RemoteDialog::reloadDriversCommand()
{
    m_daemon->ReloadDrivers();
}

void RemoteDialog::reloadMacroFileCommand()
{
    m_daemon->reloadMacroFile();
}

void RemoteDialog::showMessage(std::string_view text)
{
    if (!m_ended) {
        messageBox(QMessageBox::NoIcon, velora::ui::coreText(text), QMessageBox::Ok);
    }
}

void RemoteDialog::showFailure(std::string_view text)
{
    platform::systemErrorLog().report(text);
    showMessage(text);
}

bool RemoteDialog::askYesNo(std::string_view text)
{
    return !m_ended &&
           messageBox(QMessageBox::Question, velora::ui::coreText(text), QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes &&
           !m_ended;
}

void RemoteDialog::updateTrayIcon(int mouseMode)
{
    if (QThread::currentThread() == thread()) {
        applyTrayIcon(mouseMode);
    } else {
        // From the tick thread: widgets belong to the window thread.
        QMetaObject::invokeMethod(
            this, [this, mouseMode] { applyTrayIcon(mouseMode); }, Qt::QueuedConnection);
    }
}

void RemoteDialog::applyTrayIcon(int mouseMode)
{
    m_shownMode = mouseMode != 0 ? 1 : 0;
    m_tray->setIcon(mouseMode != 0 ? m_mouseIcon : m_keyboardIcon);
    m_tray->setToolTip(tr(mouseMode != 0 ? kMouseTip : kKeyboardTip));
}

// Boxes and the file dialog have no owner window. They are modal for the whole program all the
// same, but a window manager that treats a dialog owned by the options window (itself a
// dialog) as a dialog of a dialog (matchbox) keeps handing the focus back to the options
// window, and Qt passes each such focus on to the modal box at once: the two fight over the
// focus without end, the box is never painted and nothing else is handled meanwhile.
int RemoteDialog::runModal(QDialog& dialog)
{
    if (m_ended) {
        return QDialog::Rejected;
    }
    dialog.setWindowIcon(windowIcon());
    m_modals.append(QPointer<QDialog>(&dialog));
    const int result = dialog.exec();
    m_modals.removeAll(QPointer<QDialog>(&dialog));
    return result;
}

QMessageBox::StandardButton RemoteDialog::messageBox(QMessageBox::Icon icon, const QString& text,
                                                     QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QStringLiteral("KavoRemote"), text, buttons);
    return static_cast<QMessageBox::StandardButton>(runModal(box));
}

void RemoteDialog::notice(const QString& text)
{
    if (m_notice) {
        m_notice->close();
    }
    m_notice = new QMessageBox(QMessageBox::Information, QStringLiteral("KavoRemote"), text, QMessageBox::Ok);
    m_notice->setWindowIcon(windowIcon());
    m_notice->setAttribute(Qt::WA_DeleteOnClose);
    m_notice->setModal(false);
    m_notice->show();
}

QString RemoteDialog::chooseMacroFile()
{
    QFileDialog dialog;
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(tr("Macro files (*.mac)"));
    dialog.setDefaultSuffix(QStringLiteral("mac"));
    // The first folder that exists is where the dialog starts; all of them are on its side.
    QList<QUrl> places;
    for (const QString& folder : m_macroFolders) {
        if (QFileInfo(folder).isDir()) {
            if (places.isEmpty()) {
                dialog.setDirectory(folder);
            }
            places.append(QUrl::fromLocalFile(folder));
        }
    }
    if (!places.isEmpty()) {
        dialog.setSidebarUrls(places);
    }
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void RemoteDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F20) {
        m_daemon->RequestReinit();
    } else if (event->key() == Qt::Key_F21) {
        m_daemon->ReloadDrivers();
    }
    QDialog::keyPressEvent(event);
}

void RemoteDialog::closeEvent(QCloseEvent* event)
{
    // The close box hides; only Exit ends the program.
    event->ignore();
    if (!m_ended) {
        hideCommand();
    }
}

void RemoteDialog::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->popup(event->globalPos());
}

} // namespace velora::remote::ui
