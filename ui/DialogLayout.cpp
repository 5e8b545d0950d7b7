#include "ui/DialogLayout.h"

#include <QFontMetrics>

#include <algorithm>

namespace velora::ui {
namespace {

QFont fontFor(QDialog& dialog)
{
    dialog.setFont(dialogFont());
    return dialog.font();
}

} // namespace

DialogLayout::DialogLayout(QDialog& dialog, int width, int height, Sizing sizing)
    : m_dialog(dialog), m_units(fontFor(dialog)), m_sizing(sizing)
{
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
    dialog.setFixedSize(m_units.x(width), m_units.y(height));
}

void DialogLayout::place(QWidget& widget, int x, int y, int width, int height)
{
    QRect rect = m_units.rect(x, y, width, height);
    if (m_sizing == Sizing::FitText) {
        const QSize hint = widget.sizeHint();
        rect.setWidth(std::max(rect.width(), hint.width()));
        if (hint.height() > rect.height()) {
            const int grow = hint.height() - rect.height();
            rect.adjust(0, -grow / 2, 0, grow - grow / 2);
        }
    }
    widget.setGeometry(rect);
}

QLabel* DialogLayout::addLabel(const char* text, int x, int y, int width, int height)
{
    return add(new QLabel(QString::fromLatin1(text), &m_dialog), x, y, width, height);
}

QGroupBox* DialogLayout::addGroup(const char* title, int x, int y, int width, int height)
{
    auto* group = new QGroupBox(QString::fromLatin1(title), &m_dialog);
    group->setGeometry(m_units.rect(x, y, width, height));
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    group->lower();
    return group;
}

void DialogLayout::placeList(QComboBox& list, int x, int y, int width, int droppedHeight)
{
    const int closed = list.sizeHint().height();
    list.setGeometry(m_units.x(x), m_units.y(y), m_units.x(width), closed);
    const int line = QFontMetrics(list.font()).height() + 2;
    list.setMaxVisibleItems(std::max(1, (m_units.y(droppedHeight) - closed) / line));
}

} // namespace velora::ui
