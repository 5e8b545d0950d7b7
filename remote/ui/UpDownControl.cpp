#include "remote/ui/UpDownControl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <cstdlib>

namespace velora::remote::ui {

UpDownControl::UpDownControl(QLineEdit* buddy, QWidget* parent) : QWidget(parent), m_buddy(buddy)
{
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(false);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
    setFocusPolicy(Qt::NoFocus);
    m_buddy->installEventFilter(this);
}

void UpDownControl::setRange(int minimum, int maximum)
{
    m_min = minimum;
    m_max = maximum;
}

void UpDownControl::step(int direction)
{
    // The edit's number as atoi reads it, brought into the range first.
    int value = std::atoi(m_buddy->text().toLocal8Bit().constData());
    value = std::clamp(value, m_min, m_max);
    value += direction;
    if (value > m_max) {
        value = m_wrap ? m_min : m_max;
    } else if (value < m_min) {
        value = m_wrap ? m_max : m_min;
    }
    m_buddy->setText(QString::number(value));
    m_buddy->selectAll();
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

} // namespace velora::remote::ui
