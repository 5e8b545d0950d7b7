#include "platform/linux/LinuxFileWatch.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/linux/FolderWatch.h"
#include "platform/linux/UniqueFd.h"

namespace velora::platform {
namespace {

using Clock = std::chrono::steady_clock;

class LinuxFileWatch final : public FileWatch
{
public:
    LinuxFileWatch(posix::UniqueFd inotify, posix::UniqueFd stop, std::string name, std::uint32_t settleMs,
                   std::uint32_t maxWaitMs, std::function<void()> changed)
        : m_inotify(std::move(inotify)), m_stop(std::move(stop)), m_name(std::move(name)), m_settle(settleMs),
          m_maxWait(maxWaitMs), m_changed(std::move(changed))
    {
        m_thread = std::thread([this] { run(); });
    }

    ~LinuxFileWatch() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
        m_thread.join();
    }

    LinuxFileWatch(const LinuxFileWatch&) = delete;
    LinuxFileWatch& operator=(const LinuxFileWatch&) = delete;

private:
    // Reads the events collected; true when one was about the file.
    bool readEvents()
    {
        alignas(inotify_event) char buffer[4096];
        bool ours = false;
        while (true) {
            const ssize_t length = ::read(m_inotify.get(), buffer, sizeof buffer);
            if (length <= 0) {
                return ours;
            }
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len == 0 || m_name != event->name) {
                    continue;
                }
                ours = true;
                if ((event->mask & IN_MODIFY) != 0) {
                    m_writing = true;
                }
                if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM)) != 0) {
                    m_writing = false;
                }
            }
        }
    }

    void run()
    {
        bool pending = false;
        Clock::time_point first;
        Clock::time_point last;
        while (true) {
            int timeout = -1;
            if (pending) {
                const auto now = Clock::now();
                const auto settled = last + m_settle;
                const bool gaveUp = now - first >= m_maxWait;
                if (now >= settled && (!m_writing || gaveUp)) {
                    pending = false;
                    m_writing = false;
                    m_changed();
                    continue;
                }
                // Still settling, or a writer has the file open: look again after the settle time.
                const auto wait = now >= settled ? m_settle : settled - now;
                timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
            }
            pollfd fds[2] = {{m_inotify.get(), POLLIN, 0}, {m_stop.get(), POLLIN, 0}};
            if (::poll(fds, 2, timeout) < 0) {
                continue; // EINTR
            }
            if ((fds[1].revents & POLLIN) != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0 && readEvents()) {
                last = Clock::now();
                if (!pending) {
                    pending = true;
                    first = last;
                }
            }
        }
    }

    posix::UniqueFd m_inotify;
    posix::UniqueFd m_stop;
    const std::string m_name;
    const std::chrono::milliseconds m_settle;
    const std::chrono::milliseconds m_maxWait;
    const std::function<void()> m_changed;
    bool m_writing = false; // written since its last close: a writer has it open
    std::thread m_thread;
};

} // namespace

std::unique_ptr<FileWatch> LinuxFileWatchService::watchFile(const std::string& path, std::uint32_t settleMs,
                                                            std::uint32_t maxWaitMs, std::function<void()> changed)
{
    std::string name = posix::baseName(path);
    constexpr std::uint32_t kMask = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
    posix::UniqueFd inotify = posix::watchFolder(posix::folderOf(path), kMask);
    posix::UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
    if (name.empty() || !inotify.valid() || !stop.valid()) {
        return nullptr;
    }
    return std::make_unique<LinuxFileWatch>(std::move(inotify), std::move(stop), std::move(name), settleMs, maxWaitMs,
                                            std::move(changed));
}

} // namespace velora::platform
