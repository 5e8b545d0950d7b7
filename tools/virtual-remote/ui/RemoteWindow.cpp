#include "tools/virtual-remote/ui/RemoteWindow.h"

#include "tools/virtual-remote/RemoteLayout.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace velora::vremote::ui {

namespace {

// The widest status line of a working card, so that the window does not change its width as
// the line changes.
const char* const kWidestStatus = "-888.8875 MHz, no signal, last key 0xFF (not a key)";

} // namespace

RemoteWindow::RemoteWindow(RemoteCard& card, QWidget* parent) : QWidget(parent), m_card(card)
{
    setWindowTitle(tr("Virtual remote"));
    // A utility window that refuses the focus: the window manager neither activates it when
    // it appears nor when it is clicked, and it floats above the program's window instead of
    // taking its place. No stay-on-top hint: with it, a click makes some window managers
    // (matchbox) raise the remote above the window in front.
    setWindowFlags(Qt::Tool | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose);
    setFocusPolicy(Qt::NoFocus);

    auto* keys = new QGridLayout;
    keys->setHorizontalSpacing(6);
    keys->setVerticalSpacing(8);
    for (const KeyPlacement& place : remoteLayout()) {
        const QString name = QString::fromLatin1(remote::KeyNameTable[place.key]);
        auto* button = new QPushButton(name, this);
        button->setObjectName(name);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setMinimumSize(button->fontMetrics().horizontalAdvance(QStringLiteral("ChannelDown")) + 16, 30);
        if (const std::optional<std::uint8_t> code = receiverCode(place.key)) {
            const QString hex = QString::number(*code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            button->setToolTip(tr("%1: the receiver reports 0x%2").arg(name, hex));
            const remote::RemoteKey key = place.key;
            connect(button, &QPushButton::clicked, this, [this, key] {
                m_card.press(key);
                // The press completes on the card's thread; look again shortly.
                QTimer::singleShot(50, this, &RemoteWindow::refreshStatus);
            });
        } else {
            button->setEnabled(false);
            button->setToolTip(tr("%1 sends nothing: the card's receiver never reports this key").arg(name));
        }
        keys->addWidget(button, place.row, place.column);
    }

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(QString::fromLatin1(kWidestStatus)));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(keys);
    layout->addSpacing(6);
    layout->addWidget(m_status);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_refresh, &QTimer::timeout, this, &RemoteWindow::refreshStatus);
    m_refresh.start(kRefreshMs);
    refreshStatus();
}

void RemoteWindow::refreshStatus()
{
    const QString text = QString::fromStdString(m_card.status());
    if (text != m_statusText) {
        m_statusText = text;
        showStatus();
    }
}

void RemoteWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    showStatus();
}

void RemoteWindow::showStatus()
{
    // One line: a long reason (a state file path) is cut, and shown whole as the tooltip.
    m_status->setText(m_status->fontMetrics().elidedText(m_statusText, Qt::ElideMiddle, m_status->width()));
    m_status->setToolTip(m_statusText);
}

} // namespace velora::vremote::ui
