// An up-down control bound to the edit before it: its arrows (and the Up and Down keys in the
// edit) step the integer the edit shows within a range, optionally wrapping at the ends. The
// edit stays a plain edit, so any text can be typed into it; the range is checked when the
// window's values are taken, not while typing.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace velora::remote::ui {

class UpDownControl : public QWidget
{
    Q_OBJECT

public:
    UpDownControl(QLineEdit* buddy, QWidget* parent);

    void setRange(int minimum, int maximum);
    void setWrapping(bool wrap) { m_wrap = wrap; }
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

    // One step up (+1) or down (-1) from the edit's value.
    void step(int direction);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_min = 0;
    int m_max = 100;
    bool m_wrap = false;
};

} // namespace velora::remote::ui
