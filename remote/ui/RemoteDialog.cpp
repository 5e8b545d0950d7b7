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
namespace {

QString qt(std::string_view text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string local(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace

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

void RemoteDialog::setDesktopInUse(std::optional<DesktopKind> kind)
{
    if (!kind) {
        m_desktopInUse->setText(tr("nothing (keys cannot be sent)"));
        return;
    }
    switch (*kind) {
    case DesktopKind::X11:
        m_desktopInUse->setText(tr("X11 (XTEST)"));
        break;
    case DesktopKind::Wayland:
        m_desktopInUse->setText(tr("Wayland (virtual keyboard)"));
        break;
    case DesktopKind::Uinput:
        m_desktopInUse->setText(tr("kernel (uinput), no window scopes"));
        break;
    }
}

void RemoteDialog::buildControls()
{
    // The texts fit their template boxes as they are.
    // The template, 256 by 164 units, and below it the group of the key source and the
    // feedback's check box.
    velora::ui::DialogLayout layout(*this, 256, 240, velora::ui::DialogLayout::Sizing::Template);
    auto group = [&](const QString& title, int x, int y, int w, int h) {
        // The title sits on the frame's top line, as in the dialog template.
        layout.addGroup(title, x, y, w, h)
            ->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                           " margin-top: 0.5em; }"
                                           "QGroupBox::title { subcontrol-origin: margin; left: 6px;"
                                           " padding: 0 2px; }"));
    };
    // A push button with the focus takes Enter; Hide, the dialog's default, takes it while
    // the focus is on anything else.
    auto button = [&](const QString& text, int x, int y, int w, int h) {
        auto* widget = new QPushButton(text, this);
        widget->setAutoDefault(true);
        return layout.add(widget, x, y, w, h);
    };
    auto edit = [&](const char* name, int x, int y, int w, int h) {
        auto* widget = new QLineEdit(this);
        widget->setObjectName(QString::fromLatin1(name));
        return layout.add(widget, x, y, w, h);
    };

    // In the order of the dialog template, which is also the tab order.
    m_hide = button(tr("Hide"), 87, 142, 50, 14);
    m_hide->setDefault(true);
    group(tr("Options"), 7, 7, 242, 49);
    m_autoInit = layout.add(new QCheckBox(tr("Auto-reinitialization every"), this), 14, 18, 96, 10);
    m_timeout = edit("edit1005", 113, 16, 28, 14);
    m_timeoutSpin = layout.add(new UpDownControl(m_timeout, this), 143, 16, 11, 14);
    layout.addLabel(tr("seconds."), 157, 19, 30, 8);
    m_reinitNow = button(tr("Re-init now!"), 193, 17, 50, 14);
    m_hotKey = new QComboBox(this);
    m_hotKey->addItems({tr("(None)"), tr("Ctrl-F10"), tr("Ctrl-F11"), tr("Ctrl-F12")});
    // The template's height is the dropped list's; the closed box is one edit high.
    layout.add(m_hotKey, 90, 34, 66, 14);
    layout.addLabel(tr("Reinitialization hot-key:"), 13, 36, 73, 8);
    group(tr("Keyboard emulation"), 7, 62, 242, 41);
    layout.addLabel(tr("Load macros from file:"), 13, 74, 70, 8);
    m_macroPath = edit("edit1009", 13, 84, 182, 14);
    m_browse = button(tr("Browse..."), 200, 87, 43, 14);
    m_reload = button(tr("Reload"), 199, 71, 44, 14);
    m_save = button(tr("Save options..."), 142, 142, 58, 14);
    group(tr("Mouse emulation"), 7, 106, 242, 30);
    m_exit = button(tr("&Exit"), 205, 142, 44, 14);
    m_speed = edit("edit1013", 120, 115, 29, 14);
    m_speedSpin = layout.add(new UpDownControl(m_speed, this), 151, 115, 11, 14);
    m_speedSpin->setWrapping(true);
    layout.addLabel(tr("Movement speed (pixels/click)"), 14, 118, 97, 8);

    // Where the keys come from; the template above stays as it is.
    group(tr("Key source"), 7, 162, 242, 60);
    layout.addLabel(tr("Keys from:"), 14, 175, 40, 8);
    m_keySource = new QComboBox(this);
    m_keySource->addItems({tr("Card"), tr("LIRC"), tr("Input device")});
    layout.add(m_keySource, 56, 173, 80, 14);
    m_repeatKeys = layout.add(new QCheckBox(tr("Repeat held keys"), this), 146, 175, 96, 10);
    layout.addLabel(tr("LIRC socket:"), 14, 192, 42, 8);
    m_lircSocket = edit("lircSocket", 56, 190, 80, 14);
    layout.addLabel(tr("Input device:"), 140, 192, 44, 8);
    m_inputDevice = edit("inputDevice", 184, 190, 59, 14);
    m_inputDevice->setPlaceholderText(tr("(first receiver)"));
    // What the keys go out through: chosen at the start (Desktop in velora.ini), shown only.
    layout.addLabel(tr("Keys sent through:"), 14, 208, 60, 8);
    m_desktopInUse = layout.addLabel(QString(), 76, 208, 166, 8);
    m_desktopInUse->setObjectName(QStringLiteral("desktopInUse"));
    setDesktopInUse(std::nullopt);
    m_feedback = layout.add(new QCheckBox(tr("Show each key on the screen"), this), 14, 226, 150, 10);

    QWidget* order[] = {m_hide,       m_autoInit,   m_timeout,     m_reinitNow, m_hotKey, m_macroPath,
                        m_browse,     m_reload,     m_save,        m_exit,      m_speed,  m_keySource,
                        m_repeatKeys, m_lircSocket, m_inputDevice, m_feedback};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }

    connect(m_hide, &QPushButton::clicked, this, &RemoteDialog::hideCommand);
    connect(m_reinitNow, &QPushButton::clicked, this, [this] { m_daemon->RequestReinit(); });
    connect(m_browse, &QPushButton::clicked, this, &RemoteDialog::browseCommand);
    connect(m_reload, &QPushButton::clicked, this, &RemoteDialog::reloadKeyTablesCommand);
    connect(m_save, &QPushButton::clicked, this, &RemoteDialog::saveOptionsCommand);
    connect(m_exit, &QPushButton::clicked, this, &RemoteDialog::exitCommand);
    connect(m_speed, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_daemon->speedEdited(local(text)); });
}

void RemoteDialog::buildMenuAndIcon()
{
    m_menu = new QMenu(this);
    m_menu->addAction(tr("Reload key &tables..."), this, &RemoteDialog::reloadKeyTablesCommand);
    m_menu->addAction(tr("&Reinitialize"), this, [this] { m_daemon->RequestReinit(); });
    m_menu->addAction(tr("Reload drivers..."), this, &RemoteDialog::reloadDriversCommand);
    m_menu->addAction(tr("&Options"), this, &RemoteDialog::showOptionsCommand);
    m_menu->addSeparator();
    m_keyboardAction = m_menu->addAction(tr("&Keyboard mode"), this, [this] { m_daemon->keyboardModeCommand(); });
    m_mouseAction = m_menu->addAction(tr("M&ouse mode"), this, [this] { m_daemon->mouseModeCommand(); });
    m_keyboardAction->setCheckable(true);
    m_mouseAction->setCheckable(true);
    m_menu->addSeparator();
    m_menu->addAction(tr("&Exit"), this, &RemoteDialog::exitCommand);
    // The check marks show the mode at the moment the menu opens.
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        const bool mouse = m_daemon->engine().mouseMode() != 0;
        m_keyboardAction->setChecked(!mouse);
        m_mouseAction->setChecked(mouse);
    });

    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            m_daemon->iconLeftClick();
        }
    });
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

void RemoteDialog::fillControls()
{
    const OptionsForm form = m_daemon->options();
    m_autoInit->setChecked(form.autoInit);
    m_timeout->setText(QString::fromStdString(form.timeoutText));
    m_macroPath->setText(qt(form.macroPath));
    m_speed->setText(QString::fromStdString(form.speedText));
    m_hotKey->setCurrentIndex(form.hotKeyIndex >= 0 && form.hotKeyIndex < m_hotKey->count() ? form.hotKeyIndex : -1);
    m_keySource->setCurrentIndex(form.keySourceIndex);
    m_lircSocket->setText(qt(form.lircSocket));
    m_inputDevice->setText(qt(form.inputDevice));
    m_repeatKeys->setChecked(form.repeatKeys);
    m_feedback->setChecked(form.feedback);
}

OptionsForm RemoteDialog::readControls() const
{
    return OptionsForm{m_autoInit->isChecked(),     local(m_timeout->text()),     local(m_macroPath->text()),
                       local(m_speed->text()),      m_hotKey->currentIndex(),     m_keySource->currentIndex(),
                       local(m_lircSocket->text()), local(m_inputDevice->text()), m_repeatKeys->isChecked(),
                       m_feedback->isChecked()};
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
    m_daemon->macroFileChosen(local(QFileInfo(chosen).absoluteFilePath()));
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
