// Dialog templates in dialog units, laid out in pixels the way Windows lays them out: the
// horizontal base unit is the average width of the dialog font's letters, the vertical one
// its height; a dialog unit is a quarter of the first and an eighth of the second.
#pragma once

#include <QFont>
#include <QRect>

namespace velora::ui {

class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    // Pixels for dialog units, rounded as the platform's MulDiv rounds.
    int x(int units) const;
    int y(int units) const;
    QRect rect(int left, int top, int width, int height) const;

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

    // The same units with the horizontal one widened by factor (at least 1): for a font
    // whose texts run wider, compared with its average letter, than the template allows for.
    DialogUnits widened(double factor) const;
    double widening() const { return m_widening; }

private:
    int m_baseX;
    int m_baseY;
    double m_widening = 1.0;
};

// The font the suite's dialogs are drawn in and their units measured with: the desktop's own
// font for dialogs, as Qt takes it from the desktop (its platform theme's general font, the
// application's font once there is one). The templates keep their geometry in dialog units,
// so that a larger desktop font gives proportionally larger windows.
QFont dialogFont();

} // namespace velora::ui
