#include "ui/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace velora::ui {
namespace {

// MulDiv: a * b / c rounded to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The width of the 52 letters, averaged and rounded as Windows does it.
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (alphabet / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX <= 0) {
        m_baseX = 6;
    }
    if (m_baseY <= 0) {
        m_baseY = 13;
    }
}

int DialogUnits::x(int units) const
{
    if (m_widening > 1.0) {
        return static_cast<int>(std::lround(units * m_baseX * m_widening / 4.0));
    }
    return mulDiv(units, m_baseX, 4);
}

DialogUnits DialogUnits::widened(double factor) const
{
    DialogUnits units = *this;
    units.m_widening = std::max(1.0, factor);
    return units;
}

int DialogUnits::y(int units) const
{
    return mulDiv(units, m_baseY, 8);
}

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    return QRect(x(left), y(top), x(width), y(height));
}

QFont dialogFont()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        return QGuiApplication::font();
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

} // namespace velora::ui
