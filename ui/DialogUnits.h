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

private:
    int m_baseX;
    int m_baseY;
};

// The font of the suite's dialog templates, "MS Sans Serif" at 8 points, as fontconfig
// matches it on this desktop.
QFont dialogFont();

} // namespace velora::ui
