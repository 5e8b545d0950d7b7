// Video capture drivers on Linux: the V4L2 devices /dev/video0 to /dev/video9 that capture
// video, each named by the card text it reports.
#pragma once

#include "config/SystemLists.h"

#include <optional>
#include <string>

struct v4l2_capability;

namespace velora::config {

class V4l2CaptureDrivers final : public CaptureDriverSource
{
public:
    // devicePrefix + index names the device of an index.
    explicit V4l2CaptureDrivers(std::string devicePrefix = "/dev/video");

    // Opens the device without blocking, asks VIDIOC_QUERYCAP and closes it again. Nothing
    // when the device is missing, cannot be opened, is no V4L2 device or does not capture.
    std::optional<std::string> description(int index) override;

private:
    std::string m_prefix;
};

// The description a device's capabilities give: its card text (at most 32 bytes, up to its
// first NUL, so always within the 79 characters of a driver description), or nothing when it does not capture video.
// When the driver reports per-device capabilities (V4L2_CAP_DEVICE_CAPS), those of this device node count, not those of
// the whole driver, so that a camera's metadata node is left out.
std::optional<std::string> v4l2CaptureDescription(const v4l2_capability& caps);

} // namespace velora::config
