// What KavoShell's screen shows, read from its pixels, whatever they come from (an X server's
// root window, a Wayland compositor's screenshot): the red line under the folder's name,
// which row is highlighted and how many rows hold an entry.
#pragma once

#include <cmath>
#include <functional>
#include <utility>

namespace velora::test {

class ShellScreenChecks
{
public:
    // pixel gives 0xRRGGBB at a screen position; refresh, when given, is called before each
    // check (for a source that takes a picture of the screen).
    ShellScreenChecks(int width, int height, std::function<unsigned long(int x, int y)> pixel,
                      std::function<void()> refresh = {})
        : m_width(width), m_height(height), m_pixel(std::move(pixel)), m_refresh(std::move(refresh))
    {}

    // The layout's lengths on this screen: as they are up to 768 lines, scaled by the height
    // above that.
    int scaled(int length) const
    {
        return m_height > 768 ? static_cast<int>(std::lround(length * (m_height / 768.0))) : length;
    }

    // The red line under the folder's name.
    bool showsTitleLine()
    {
        refresh();
        return m_pixel(10, scaled(46)) == 0xff0000;
    }

    // Only this row highlighted, and the first `entries` rows (of the first six) with an entry.
    bool showsOnly(int row, int entries)
    {
        refresh();
        for (int r = 0; r < 6; ++r) {
            if (highlighted(r) != (r == row) || hasIcon(r) != (r < entries)) {
                return false;
            }
        }
        return true;
    }

private:
    void refresh()
    {
        if (m_refresh) {
            m_refresh();
        }
    }
    int rowTop(int row) const { return scaled(64) + scaled(38) * row; }
    // Row r is highlighted when its band is blue at the right end; it holds an entry when
    // its icon has any colour.
    bool highlighted(int row) { return m_pixel(m_width - scaled(100) - 5, rowTop(row) + scaled(20)) == 0x0000ff; }
    bool hasIcon(int row)
    {
        for (int x = scaled(70); x < scaled(98); x += 3) {
            if (m_pixel(x, rowTop(row) + scaled(16)) != 0) {
                return true;
            }
        }
        return false;
    }

    int m_width;
    int m_height;
    std::function<unsigned long(int, int)> m_pixel;
    std::function<void()> m_refresh;
};

} // namespace velora::test
