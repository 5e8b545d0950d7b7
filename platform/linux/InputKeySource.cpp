#include "platform/linux/InputKeySource.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/linux/DirectoryWalk.h"
#include "platform/linux/FolderWatch.h"

namespace velora::platform {
namespace {

// The number after a prefix ("rc12" with "rc": 12); nothing when the rest is not a number.
std::optional<long> numberAfter(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    long value = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9' || value > 1'000'000) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// The entries of a folder named prefix + number, lowest number first.
std::vector<std::string> numberedEntries(const std::string& folder, std::string_view prefix)
{
    std::vector<std::pair<long, std::string>> found;
    posix::walkDirectory(folder, [&](const posix::DirectoryEntry& entry) {
        if (const std::optional<long> number = numberAfter(entry.name(), prefix); number && entry.isDirectory()) {
            found.emplace_back(*number, std::string(entry.name()));
        }
        return true;
    });
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& entry : found) {
        names.push_back(std::move(entry.second));
    }
    return names;
}

} // namespace

std::optional<std::string> findRemoteInputDevice(const std::string& sysfsRoot)
{
    const std::string rcFolder = sysfsRoot + "/class/rc";
    for (const std::string& rc : numberedEntries(rcFolder, "rc")) {
        for (const std::string& input : numberedEntries(rcFolder + "/" + rc, "input")) {
            for (const std::string& event : numberedEntries(rcFolder + "/" + rc + "/" + input, "event")) {
                return "/dev/input/" + event;
            }
        }
    }
    return std::nullopt;
}

std::string sysfsRootFromEnvironment()
{
    const char* root = std::getenv("VELORA_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? std::string(root) : std::string("/sys");
}

bool InputKeySource::readFrom(int fd, bool& gone, bool& readAny)
{
    char buffer[64 * sizeof(input_event)];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return false; // the last writer of a FIFO has closed it
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                return true;
            }
            gone = true; // ENODEV: the receiver was unplugged or its driver unloaded
            return false;
        }
        readAny = true;
        m_pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t used = 0;
        while (m_pending.size() - used >= sizeof(input_event)) {
            input_event record{};
            std::memcpy(&record, m_pending.data() + used, sizeof record);
            used += sizeof record;
            if (record.type == EV_KEY && record.value >= 0 && record.value <= 2) {
                deliver(KeyEvent{std::string(), record.code,
                                 record.value == 1   ? KeyAction::Press
                                 : record.value == 2 ? KeyAction::Repeat
                                                     : KeyAction::Release});
            }
        }
        m_pending.erase(0, used);
    }
}

void InputKeySource::run()
{
    RetryDelay delay;
    bool down = false;
    bool grabReported = false;
    while (!stopRequested()) {
        const std::optional<std::string> found = m_device.empty() ? findRemoteInputDevice(m_sysfsRoot) : m_device;
        const std::string path = found.value_or("/dev/input");
        posix::UniqueFd fd;
        int error = ENOENT;
        if (found) {
            fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
            error = errno;
        }
        if (!fd.valid()) {
            if (!down) {
                if (!found) {
                    notice("input: no remote-control receiver under " + m_sysfsRoot + "/class/rc; waiting for one");
                } else {
                    notice("input: cannot open " + path + " (" + std::strerror(error) + ")" +
                           (error == EACCES ? ": the user needs to be in group input, or a udev rule" : "") +
                           "; waiting for it");
                }
                down = true;
            }
            posix::UniqueFd watch = posix::watchFolder(found ? posix::folderOf(path) : "/dev/input");
            const Woken woken = wait(-1, watch.get(), delay.next());
            if (woken == Woken::Other || woken == Woken::Reconnect) {
                if (woken == Woken::Other) {
                    posix::drainWatch(watch.get());
                }
                delay.reset();
            }
            continue;
        }
        if (::ioctl(fd.get(), EVIOCGRAB, 1) != 0 && !grabReported) {
            notice("input: cannot grab " + path + " (" + std::strerror(errno) +
                   "); reading it all the same, other programs may get its keys too");
            grabReported = true;
        }
        if (down) {
            notice("input: reading " + path);
            down = false;
        }
        m_pending.clear();
        bool readAny = false;
        while (true) {
            const Woken woken = wait(fd.get(), -1, -1);
            if (woken == Woken::Stop || woken == Woken::Reconnect) {
                delay.reset();
                break;
            }
            bool gone = false;
            if (woken == Woken::Readable && !readFrom(fd.get(), gone, readAny)) {
                if (gone) {
                    notice("input: " + path + " went away; waiting for it");
                    down = true;
                    delay.reset();
                } else if (readAny) {
                    delay.reset();
                } else if (wait(-1, -1, delay.next()) == Woken::Stop) {
                    // A FIFO that ends at once on every opening would otherwise be opened
                    // again and again.
                    break;
                }
                break; // a FIFO without writers is opened again, to wait for the next one
            }
        }
    }
}

} // namespace velora::platform
