// Display modes on an X11 desktop: the XRandR modes of the primary output of the default
// screen ($DISPLAY), each with the screen's colour depth.
#pragma once

#include "config/SystemLists.h"

#include <vector>

namespace velora::config {

class XrandrDisplayModes final : public DisplayModeSource
{
public:
    // Opens a connection of its own for the question and closes it again (a few attempts,
    // since Xvfb may reset a connection made just as another closes). The modes are those of
    // the primary output, else of the first connected output with modes, else every mode of
    // the screen; when RandR (1.3 or later) reports none, the screen's current size. Empty when no X
    // server can be reached. The refresh rate plays no part, so modes whose rate is unknown
    // (zero clock or totals, as Xvfb reports them) are listed like any other.
    std::vector<DisplayMode> modes() override;
};

} // namespace velora::config
