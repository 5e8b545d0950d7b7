#include "platform/linux/LircKeySource.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/linux/FolderWatch.h"

namespace velora::platform {
namespace {

// lircd's lines are short; anything longer is not from lircd and is dropped.
constexpr std::size_t kMaxLine = 1024;

posix::UniqueFd connectTo(const std::string& path, int& error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = ENAMETOOLONG;
        return {};
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    posix::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        error = errno;
        return {};
    }
    // A local stream socket connects at once or not at all; EAGAIN means lircd's queue of
    // waiting clients is full, which counts as not there.
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        return {};
    }
    return fd;
}

} // namespace

bool LircKeySource::parseLine(std::string_view line, KeyEvent& event)
{
    std::string_view fields[4];
    std::size_t count = 0;
    std::size_t pos = 0;
    while (count < 4) {
        pos = line.find_first_not_of(" \t\r", pos);
        if (pos == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
        fields[count++] = line.substr(pos, end - pos);
        pos = end;
    }
    if (count != 4 || line.find_first_not_of(" \t\r", pos) != std::string_view::npos) {
        return false;
    }
    unsigned long repeat = 0;
    for (const char c : fields[1]) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0 || repeat > 0xFFFFFFFFul) {
            return false;
        }
        repeat = repeat * 16 + static_cast<unsigned long>(digit);
    }
    event.name = std::string(fields[2]);
    event.code = -1;
    event.action = repeat == 0 ? KeyAction::Press : KeyAction::Repeat;
    return true;
}

void LircKeySource::line(std::string_view text)
{
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    if (m_inReply) {
        m_inReply = text != "END";
        return;
    }
    if (text == "BEGIN") {
        m_inReply = true;
        return;
    }
    KeyEvent event;
    if (parseLine(text, event)) {
        deliver(event);
    }
}

bool LircKeySource::readFrom(int fd)
{
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return false;
        }
        if (got < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        std::string_view data(buffer, static_cast<std::size_t>(got));
        while (!data.empty()) {
            const std::size_t end = data.find('\n');
            if (end == std::string_view::npos) {
                m_pending.append(data);
                if (m_pending.size() > kMaxLine) {
                    m_pending.clear();
                }
                break;
            }
            m_pending.append(data.substr(0, end));
            line(m_pending);
            m_pending.clear();
            data.remove_prefix(end + 1);
        }
    }
}

void LircKeySource::run()
{
    RetryDelay delay;
    posix::UniqueFd watch = posix::watchFolder(posix::folderOf(m_path));
    bool down = false;
    while (!stopRequested()) {
        int error = 0;
        posix::UniqueFd fd = connectTo(m_path, error);
        if (!fd.valid()) {
            if (!down) {
                notice("LIRC: cannot reach lircd at " + m_path + " (" + std::strerror(error) + "); waiting for it");
                down = true;
            }
            if (!watch.valid()) {
                watch = posix::watchFolder(posix::folderOf(m_path)); // the folder may have appeared meanwhile
            }
            const Woken woken = wait(-1, watch.get(), delay.next());
            if (woken == Woken::Other) {
                // Something changed in the socket's folder: try again at once, and soon after
                // in case lircd has made its socket but does not listen yet.
                posix::drainWatch(watch.get());
                delay.reset();
            } else if (woken == Woken::Reconnect) {
                delay.reset();
            }
            continue;
        }
        delay.reset();
        if (down) {
            notice("LIRC: connected to lircd at " + m_path);
            down = false;
        }
        m_pending.clear();
        m_inReply = false;
        while (true) {
            const Woken woken = wait(fd.get(), -1, -1);
            if (woken == Woken::Stop || woken == Woken::Reconnect) {
                break;
            }
            if (woken == Woken::Readable && !readFrom(fd.get())) {
                notice("LIRC: lircd at " + m_path + " closed the connection; waiting for it");
                down = true;
                // A lircd that is ending closes its clients before its socket: a connection
                // made at once could still land on the socket and be dropped unseen.
                fd.reset();
                if (wait(-1, -1, delay.next()) == Woken::Stop) {
                    return;
                }
                break;
            }
        }
    }
}

} // namespace velora::platform
