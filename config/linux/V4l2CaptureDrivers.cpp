#include "config/linux/V4l2CaptureDrivers.h"

#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>

namespace velora::config {

std::optional<std::string> v4l2CaptureDescription(const v4l2_capability& caps)
{
    const std::uint32_t capabilities =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
    if ((capabilities & V4L2_CAP_VIDEO_CAPTURE) == 0) {
        return std::nullopt;
    }
    const auto* card = reinterpret_cast<const char*>(caps.card);
    return std::string(card, strnlen(card, sizeof caps.card));
}

V4l2CaptureDrivers::V4l2CaptureDrivers(std::string devicePrefix) : m_prefix(std::move(devicePrefix)) {}

std::optional<std::string> V4l2CaptureDrivers::description(int index)
{
    if (index < 0 || index >= kIndexCount) {
        return std::nullopt;
    }
    const std::string path = m_prefix + std::to_string(index);
    const posix::UniqueFd device(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!device.valid()) {
        return std::nullopt;
    }
    v4l2_capability caps{};
    int result = 0;
    do {
        result = ioctl(device.get(), VIDIOC_QUERYCAP, &caps);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return std::nullopt;
    }
    return v4l2CaptureDescription(caps);
}

} // namespace velora::config
