#include "config/DataNames.h"

#include "platform/ProfileFormat.h"

namespace velora::config {

std::optional<std::string> dataListName(std::string_view fileName, std::string_view extension)
{
    if (fileName.size() < extension.size() ||
        !platform::equalsIgnoringCase(fileName.substr(fileName.size() - extension.size()), extension)) {
        return std::nullopt;
    }
    const std::size_t leadingDots = fileName.find_first_not_of('.');
    if (leadingDots == std::string_view::npos) {
        return std::string(fileName);
    }
    return std::string(fileName.substr(0, fileName.find('.', leadingDots)));
}

bool isOfferedMode(const DisplayMode& mode)
{
    return mode.height >= 480 && mode.bitsPerPixel > 8;
}

std::string modeLine(const DisplayMode& mode)
{
    return std::to_string(mode.width) + " x " + std::to_string(mode.height) + " x " + std::to_string(mode.bitsPerPixel);
}

} // namespace velora::config
