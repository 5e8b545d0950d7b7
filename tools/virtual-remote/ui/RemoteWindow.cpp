#include "tools/virtual-remote/ui/RemoteWindow.h"

#include "tools/virtual-remote/RemoteLayout.h"
#include "tools/virtual-remote/ui/FullScreenCover.h"
#include "ui/Translations.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <set>
#include <vector>

namespace velora::vremote::ui {

namespace {

// The widest status line of a working card, so that the window does not change its width as
// the line changes.
const char* const kWidestStatus = "-888.8875 MHz, no signal, last key 0xFF (not a key)";

// The body: its margin inside the window, the rounding of its corners, and the room between
// its edge and the keys.
constexpr int kBodyMargin = 6;
constexpr int kBodyRadius = 36;
constexpr int kBodyPadding = 26;
// The gap between two blocks of keys.
constexpr int kBlockGap = 14;

// The look of a key of each group: its face, its face while pressed, and its label.
QString keyStyle(KeyGroup group)
{
    struct Colours
    {
        const char* face;
        const char* pressed;
        const char* text;
    };
    static constexpr Colours kColours[] = {
        {"#c62828", "#8e1c1c", "#ffffff"}, // power and modes: red
        {"#1e63b5", "#154783", "#ffffff"}, // channel and volume: blue
        {"#e6e6e6", "#b4b4b4", "#1a1a1a"}, // digits: white
        {"#4b525c", "#33383f", "#f0f0f0"}, // the rest: grey
    };
    const Colours& colours = kColours[static_cast<int>(group)];
    return QStringLiteral("QPushButton { background: %1; color: %3; border: 1px solid #101214; border-radius: 11px;"
                          " padding: 4px 6px; font-weight: bold; }"
                          "QPushButton:pressed { background: %2; }"
                          "QPushButton:disabled { color: #d0a0a0; }")
        .arg(QLatin1String(colours.face), QLatin1String(colours.pressed), QLatin1String(colours.text));
}

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

    const std::vector<KeyPlacement> placements = remoteLayout();
    const auto firstRowOfBlock = [&](int block) {
        int first = std::numeric_limits<int>::max();
        for (const KeyPlacement& place : placements) {
            first = place.block == block ? std::min(first, place.row) : first;
        }
        return first;
    };
    std::set<int> gapRows;
    auto* keys = new QGridLayout;
    keys->setHorizontalSpacing(8);
    keys->setVerticalSpacing(8);
    for (const KeyPlacement& place : placements) {
        const QString name = QString::fromLatin1(remote::KeyNameTable[place.key]);
        auto* button = new QPushButton(name, this);
        button->setObjectName(name);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setStyleSheet(keyStyle(place.group));
        button->setMinimumSize(button->fontMetrics().horizontalAdvance(QStringLiteral("ChannelDown")) + 20, 30);
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
        // Every block after the first starts below a gap row of its own, which stays empty.
        keys->addWidget(button, place.row + place.block, place.column);
        if (place.block > 0) {
            gapRows.insert(firstRowOfBlock(place.block) + place.block - 1);
        }
    }
    for (const int gap : gapRows) {
        keys->setRowMinimumHeight(gap, kBlockGap);
    }

    // The display at the bottom of the remote: light text on a dark screen.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setStyleSheet(QStringLiteral("QLabel { background: #0e1a12; color: #8ef0a8; border: 1px solid #050806;"
                                           " border-radius: 6px; padding: 5px 8px; }"));
    m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(QString::fromLatin1(kWidestStatus)) + 18);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kBodyMargin + kBodyPadding, kBodyMargin + kBodyPadding, kBodyMargin + kBodyPadding,
                               kBodyMargin + kBodyPadding);
    layout->addLayout(keys);
    layout->addSpacing(kBlockGap);
    layout->addWidget(m_status);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_refresh, &QTimer::timeout, this, &RemoteWindow::refreshStatus);
    connect(&m_refresh, &QTimer::timeout, this, &RemoteWindow::keepAboveFullScreen);
    m_refresh.start(kRefreshMs);
    refreshStatus();
}

namespace {

// The card's status line in the user's language: its parts one by one ("55.225 MHz", "locked",
// "last key 0x98 Down"), or the line about a card that cannot be used as a whole, since a
// path in it may hold commas.
QString translatedStatus(const std::string& line)
{
    if (line.rfind("no card: ", 0) == 0) {
        return velora::ui::coreText(line);
    }
    QStringList parts;
    std::string::size_type from = 0;
    while (true) {
        const std::string::size_type comma = line.find(", ", from);
        parts << velora::ui::coreText(std::string_view(line).substr(from, comma - from));
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 2;
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

void RemoteWindow::refreshStatus()
{
    const QString text = translatedStatus(m_card.status());
    if (text != m_statusText) {
        m_statusText = text;
        showStatus();
    }
}

void RemoteWindow::keepAboveFullScreen()
{
    // Raising is a request to the window manager (a restack, not an activation): the focus
    // stays with the full-screen program, which goes on receiving the keys.
    if (coveredByFullScreenWindow(*this)) {
        raise();
    }
}

void RemoteWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(kBodyMargin, kBodyMargin, -kBodyMargin, -kBodyMargin);
    QLinearGradient shade(body.topLeft(), body.topRight());
    shade.setColorAt(0, QColor(0x3a, 0x3e, 0x45));
    shade.setColorAt(0.5, QColor(0x2a, 0x2d, 0x33));
    shade.setColorAt(1, QColor(0x1c, 0x1e, 0x22));
    QPainterPath outline;
    outline.addRoundedRect(body, kBodyRadius, kBodyRadius);
    painter.fillPath(outline, shade);
    painter.setPen(QPen(QColor(0x0c, 0x0d, 0x0f), 2));
    painter.drawPath(outline);
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
