// The settings tool's application icon: a small television set (an SVG resource, also used by
// the desktop entry).
#pragma once

#include <QIcon>

namespace velora::config {

QIcon applicationIcon();

} // namespace velora::config
