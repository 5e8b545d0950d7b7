// How the settings dialog names the files of its data folders and the display modes.
#pragma once

#include "config/SystemLists.h"

#include <optional>
#include <string>
#include <string_view>

namespace velora::config {

// The list line for a data file found with the pattern "*<extension>" (extension with its
// dot, ".tun"): nothing when the name does not end in the extension, compared without
// regard to case; otherwise the name cut at its first dot, where a name that begins with
// dots keeps them and is cut at the first dot after them ("PAL.BG.tun" gives "PAL",
// ".x.crd" gives ".x").
std::optional<std::string> dataListName(std::string_view fileName, std::string_view extension);

// Whether the resolution list offers a mode: at least 480 lines and more than 8 bits per
// pixel.
bool isOfferedMode(const DisplayMode& mode);

// The resolution list's line for a mode: "<width> x <height> x <bits per pixel>".
std::string modeLine(const DisplayMode& mode);

} // namespace velora::config
