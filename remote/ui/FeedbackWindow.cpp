#include "remote/ui/FeedbackWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>

namespace velora::remote::ui {

FeedbackWindow::FeedbackWindow()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus),
      m_label(new QLabel(this)), m_fade(this, "windowOpacity")
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    // The label fills the window: dark, with a light edge that shows on a dark desktop too.
    setStyleSheet(QStringLiteral("QLabel { background: #202020; color: #f0f0f0; border: 1px solid #909090;"
                                 " padding: 10px 18px; }"));
    QFont font = m_label->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignCenter);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);

    m_hold.setSingleShot(true);
    m_hold.setInterval(kShowMs);
    connect(&m_hold, &QTimer::timeout, this, [this] { m_fade.start(); });
    m_fade.setDuration(kFadeMs);
    m_fade.setStartValue(1.0);
    m_fade.setEndValue(0.0);
    connect(&m_fade, &QPropertyAnimation::finished, this, &QWidget::hide);
}

void FeedbackWindow::showText(const QString& text)
{
    m_fade.stop();
    setWindowOpacity(1.0);
    m_label->setText(text);
    adjustSize();
    placeOnScreen();
    show();
    raise();
    m_hold.start();
}

void FeedbackWindow::placeOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    // Centred, a tenth of the screen's height above its bottom edge.
    move(area.x() + (area.width() - width()) / 2, area.y() + area.height() - height() - area.height() / 10);
}

} // namespace velora::remote::ui
