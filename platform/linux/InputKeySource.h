// Remote-control keys from a Linux input device (/dev/input/eventN): the kernel's driver of a
// TV card or receiver decodes the remote and reports each key as an EV_KEY event, value 1 for
// a press, 2 for its auto-repeat while held, 0 for the release.
//
// The device is grabbed (EVIOCGRAB), so that the desktop does not get its keys as well, which
// would double every key; a file that cannot be grabbed (a FIFO) is read all the same. A device
// that goes away is waited for (100 ms, doubling up to 5 s, and at once when something appears
// in its folder) and opened again; without a device named, the first receiver's is looked for
// again each time.
#pragma once

#include <optional>
#include <string>

#include "platform/linux/EventSourceThread.h"

namespace velora::platform {

class InputKeySource final : public EventSourceThread
{
public:
    // device: the event device to read; empty to take the first remote-control receiver's
    // that sysfs (sysfsRoot, normally /sys) lists under class/rc.
    InputKeySource(std::string device, std::string sysfsRoot)
        : m_device(std::move(device)), m_sysfsRoot(std::move(sysfsRoot))
    {}
    ~InputKeySource() override { stop(); }

private:
    void run() override;
    // Reads the records that have come; false when the device has gone or the writer of a
    // FIFO has closed it. readAny is set once a byte has come.
    bool readFrom(int fd, bool& gone, bool& readAny);

    const std::string m_device;
    const std::string m_sysfsRoot;
    std::string m_pending; // the start of a record not yet complete
};

// The event device of the first remote-control receiver (by number: rc0 before rc1 before
// rc10) that has one: /sys/class/rc/rcN/inputM/eventK gives "/dev/input/eventK".
std::optional<std::string> findRemoteInputDevice(const std::string& sysfsRoot);

// $VELORA_SYSFS_ROOT when set and not empty (a fake tree, for tests), else "/sys".
std::string sysfsRootFromEnvironment();

} // namespace velora::platform
