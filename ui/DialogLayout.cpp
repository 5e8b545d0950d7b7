#include "ui/DialogLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVariant>

#include <algorithm>

namespace velora::ui {
namespace {

constexpr const char* kWideningProperty = "veloraDialogWidening";

// The text as drawn: without the & that marks a shortcut.
QString drawnText(QString text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            text.remove(i, 1);
        }
    }
    return text;
}

// The height the control's content needs: text and indicator for check boxes and radio
// buttons, which Qt's size hints pad generously; the size hint for the rest.
int contentHeight(const QWidget& widget)
{
    if (qobject_cast<const QCheckBox*>(&widget) != nullptr || qobject_cast<const QRadioButton*>(&widget) != nullptr) {
        const bool radio = qobject_cast<const QRadioButton*>(&widget) != nullptr;
        const int indicator = widget.style()->pixelMetric(
            radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight, nullptr, &widget);
        return std::max(widget.fontMetrics().height(), indicator) + 2;
    }
    return widget.sizeHint().height();
}

} // namespace

DialogLayout::DialogLayout(QDialog& dialog, int width, int height, Sizing sizing)
    // The dialog inherits the application's font, which is dialogFont(): what Qt takes from
    // the desktop. A font set on the dialog itself or on its parent wins.
    : m_dialog(dialog), m_units(dialog.font()), m_sizing(sizing), m_width(width), m_height(height)
{
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
    dialog.setFixedSize(m_units.x(width), m_units.y(height));
}

DialogLayout::~DialogLayout()
{
    finish();
}

DialogUnits DialogLayout::unitsOf(const QDialog& dialog)
{
    return DialogUnits(dialog.font()).widened(dialog.property(kWideningProperty).toDouble());
}

void DialogLayout::place(const Placed& placed)
{
    QWidget& widget = *placed.widget;
    if (placed.list) {
        auto& list = static_cast<QComboBox&>(widget);
        const int closed = list.sizeHint().height();
        list.setGeometry(m_units.x(placed.x), m_units.y(placed.y), m_units.x(placed.width), closed);
        const int line = QFontMetrics(list.font()).height() + 2;
        list.setMaxVisibleItems(std::max(1, (m_units.y(placed.height) - closed) / line));
        return;
    }
    QRect rect = m_units.rect(placed.x, placed.y, placed.width, placed.height);
    if (m_sizing == Sizing::FitText && qobject_cast<QGroupBox*>(&widget) == nullptr) {
        const int needed = contentHeight(widget);
        if (needed > rect.height()) {
            const int grow = needed - rect.height();
            rect.adjust(0, -grow / 2, 0, grow - grow / 2);
        }
    }
    widget.setGeometry(rect);
}

int DialogLayout::textWidth(const QWidget& widget)
{
    const QFontMetrics metrics(widget.font());
    QStyle* style = widget.style();
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->text().isEmpty() || label->wordWrap() ? 0 : label->sizeHint().width();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        // The title with room for the frame's corners on both sides.
        return group->title().isEmpty() ? 0 : metrics.horizontalAdvance(drawnText(group->title())) + 20;
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        if (button->text().isEmpty()) {
            return 0;
        }
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button) +
                          style->pixelMetric(QStyle::PM_ButtonDefaultIndicator, nullptr, button);
        return metrics.horizontalAdvance(drawnText(button->text())) +
               style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) + 2 * frame;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text().isEmpty() ? 0 : button->sizeHint().width();
    }
    if (const auto* list = qobject_cast<const QComboBox*>(&widget)) {
        // Lines known while the window is built (fixed choices), which the size hint holds;
        // lines filled in later are data, and the list shows what fits of them.
        return list->count() == 0 ? 0 : list->sizeHint().width();
    }
    return 0;
}

// How wide, in dialog units, a control whose text runs left to right (a label, a check box, a
// radio button) may grow to its right: up to the next control on its line, within the group
// box it lies in and the window, keeping a small gap. Other controls keep their width.
int DialogLayout::roomToGrow(std::size_t index) const
{
    const Placed& self = m_placed[index];
    const QWidget* widget = self.widget;
    const bool leftAligned = qobject_cast<const QLabel*>(widget) != nullptr ||
                             qobject_cast<const QCheckBox*>(widget) != nullptr ||
                             qobject_cast<const QRadioButton*>(widget) != nullptr;
    if (!leftAligned) {
        return self.width;
    }
    constexpr int kGap = 3;
    // A closed drop-down list is about as high as an edit field.
    const auto bottom = [](const Placed& placed) { return placed.y + (placed.list ? 14 : placed.height); };
    int limit = m_width - kGap;
    for (std::size_t i = 0; i < m_placed.size(); ++i) {
        const Placed& other = m_placed[i];
        if (i == index) {
            continue;
        }
        if (qobject_cast<const QGroupBox*>(other.widget) != nullptr) {
            const bool inside = self.x >= other.x && self.x < other.x + other.width && self.y >= other.y &&
                                self.y < other.y + other.height;
            if (inside) {
                limit = std::min(limit, other.x + other.width - kGap);
            }
        } else if (other.x > self.x && other.y < bottom(self) && self.y < bottom(other)) {
            limit = std::min(limit, other.x - kGap);
        }
    }
    return std::max(self.width, limit - self.x);
}

void DialogLayout::finish()
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    // First the room beside each text; then, for texts that need more still, a wider unit.
    std::vector<int> room(m_placed.size());
    double widening = 1.0;
    for (std::size_t i = 0; i < m_placed.size(); ++i) {
        room[i] = roomToGrow(i);
        // Unrounded, so that the widened unit rounds to no less than the text needs.
        const double available = room[i] * m_units.baseX() / 4.0;
        const int needed = textWidth(*m_placed[i].widget);
        if (available > 0 && needed > m_units.x(room[i])) {
            widening = std::max(widening, needed / available);
        }
    }
    m_dialog.setProperty(kWideningProperty, widening);
    m_units = m_units.widened(widening);
    m_dialog.setFixedSize(m_units.x(m_width), m_units.y(m_height));
    for (std::size_t i = 0; i < m_placed.size(); ++i) {
        Placed& placed = m_placed[i];
        if (textWidth(*placed.widget) > m_units.x(placed.width)) {
            placed.width = room[i];
        }
        place(placed);
    }
}

QLabel* DialogLayout::addLabel(const QString& text, int x, int y, int width, int height)
{
    return add(new QLabel(text, &m_dialog), x, y, width, height);
}

QGroupBox* DialogLayout::addGroup(const QString& title, int x, int y, int width, int height)
{
    auto* group = new QGroupBox(title, &m_dialog);
    add(group, x, y, width, height);
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    group->lower();
    return group;
}

void DialogLayout::placeList(QComboBox& list, int x, int y, int width, int droppedHeight)
{
    m_placed.push_back({&list, x, y, width, droppedHeight, true});
    place(m_placed.back());
}

} // namespace velora::ui
