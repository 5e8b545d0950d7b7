// The options window's controls: laid out in dialog units as the template has them, the menu
// and the notification icon, and the daemon's options copied into the controls and back.
#include "remote/ui/RemoteDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "remote/ui/UpDownControl.h"
#include "ui/DialogLayout.h"

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

} // namespace velora::remote::ui
