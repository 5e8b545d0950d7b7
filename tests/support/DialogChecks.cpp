#include "tests/support/DialogChecks.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>

#include <optional>

namespace velora::test {
namespace {

std::string describe(const QWidget& widget)
{
    QString name = widget.metaObject()->className();
    if (!widget.objectName().isEmpty()) {
        name += QStringLiteral(" '%1'").arg(widget.objectName());
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        name += QStringLiteral(" '%1'").arg(button->text());
    } else if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        name += QStringLiteral(" '%1'").arg(label->text());
    } else if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        name += QStringLiteral(" '%1'").arg(group->title());
    }
    const QRect r = widget.geometry();
    name += QStringLiteral(" at %1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    return name.toStdString();
}

// The text as drawn: without the & that marks a shortcut.
QString shown(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The room a control gives its text, and the texts it must hold.
struct TextRoom
{
    QRect room;
    QStringList texts;
};

std::optional<TextRoom> textRoom(const QWidget& widget)
{
    QStyle* style = widget.style();
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->text().isEmpty() || label->wordWrap()) {
            return std::nullopt;
        }
        return TextRoom{label->contentsRect(), {label->text()}};
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(check);
        option.text = check->text();
        return TextRoom{style->subElementRect(QStyle::SE_CheckBoxContents, &option, check), {check->text()}};
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        return TextRoom{style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio), {radio->text()}};
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->isDefault()) {
            option.features |= QStyleOptionButton::DefaultButton;
        }
        return TextRoom{style->subElementRect(QStyle::SE_PushButtonContents, &option, button), {button->text()}};
    }
    if (const auto* list = qobject_cast<const QComboBox*>(&widget)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        option.frame = list->hasFrame();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
        QStringList texts;
        for (int i = 0; i < list->count(); ++i) {
            texts << list->itemText(i);
        }
        if (list->count() == 0 && !list->placeholderText().isEmpty()) {
            texts << list->placeholderText();
        }
        return TextRoom{field, texts};
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.lineWidth = 1;
        const QRect frame = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, group);
        // The title sits on the frame's top line, within its width.
        return TextRoom{QRect(frame.left() + 6, 0, frame.width() - 12, group->fontMetrics().height()),
                        {group->title()}};
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> layoutProblems(const QWidget& window)
{
    std::vector<std::string> problems;
    std::vector<const QWidget*> controls;
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden() && !child->isWindow()) {
            controls.push_back(child);
        }
    }
    const QRect inside(QPoint(0, 0), window.size());
    for (const QWidget* control : controls) {
        if (!inside.contains(control->geometry())) {
            problems.push_back(describe(*control) + " reaches outside the window");
        }
        const auto room = textRoom(*control);
        if (!room) {
            continue;
        }
        const QFontMetrics metrics(control->font());
        for (const QString& text : room->texts) {
            const int width = metrics.horizontalAdvance(shown(text));
            if (width > room->room.width() || metrics.height() > room->room.height()) {
                problems.push_back(describe(*control) + ": '" + text.toStdString() + "' needs " +
                                   std::to_string(width) + "x" + std::to_string(metrics.height()) + ", has " +
                                   std::to_string(room->room.width()) + "x" + std::to_string(room->room.height()));
            }
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            // A group box frames the controls it holds; two group boxes must not overlap.
            const bool framed = (qobject_cast<const QGroupBox*>(controls[i]) != nullptr) !=
                                (qobject_cast<const QGroupBox*>(controls[j]) != nullptr);
            if (!framed && controls[i]->geometry().intersects(controls[j]->geometry())) {
                problems.push_back(describe(*controls[i]) + " overlaps " + describe(*controls[j]));
            }
        }
    }
    return problems;
}

} // namespace velora::test
