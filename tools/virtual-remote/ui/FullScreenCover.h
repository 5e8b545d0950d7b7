// Whether a full-screen window hides the virtual remote: on an X server, a window stacked
// above the remote's own (or above its window-manager frame) that covers the whole screen,
// such as KavoShell or a television viewer in full-screen mode.
#pragma once

#include <QWidget>

namespace velora::vremote::ui {

// False where the window is not shown on an X server (Qt's offscreen platform, Wayland).
bool coveredByFullScreenWindow(const QWidget& window);

} // namespace velora::vremote::ui
