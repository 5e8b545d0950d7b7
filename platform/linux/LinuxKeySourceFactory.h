// The event key sources of Linux: LircKeySource and InputKeySource, the receivers looked for
// under $VELORA_SYSFS_ROOT/class/rc (a fake tree, for tests) or /sys/class/rc.
#pragma once

#include "platform/KeySourceFactory.h"
#include "platform/linux/InputKeySource.h"
#include "platform/linux/LircKeySource.h"

namespace velora::platform {

class LinuxKeySourceFactory final : public KeySourceFactory
{
public:
    std::unique_ptr<KeyEventSource> makeLirc(const std::string& socketPath) override
    {
        return std::make_unique<LircKeySource>(socketPath);
    }
    std::unique_ptr<KeyEventSource> makeInput(const std::string& device) override
    {
        return std::make_unique<InputKeySource>(device, sysfsRootFromEnvironment());
    }
};

} // namespace velora::platform
