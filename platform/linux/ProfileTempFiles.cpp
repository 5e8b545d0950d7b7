#include "platform/linux/ProfileTempFiles.h"

#include "platform/linux/DirectoryWalk.h"
#include "platform/linux/FileIo.h"
#include "platform/linux/PathParts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {

using posix::baseName;
using posix::folderOf;

namespace {

// A small file under /proc, whole; nothing when it cannot be read.
std::optional<std::string> readSystemFile(const std::string& path)
{
    return posix::readRegularFile(path, 4096);
}

// What /proc tells of a process: its number, the clock tick at which it started, and
// whether it has ended (a zombie, waiting for its parent).
struct ProcessState
{
    long long pid = 0;
    unsigned long long start = 0;
    bool ended = false;
};

std::optional<ProcessState> processState(const std::string& pid)
{
    const std::optional<std::string> stat = readSystemFile("/proc/" + pid + "/stat");
    // "PID (COMMAND) STATE PPID ...": the command may hold anything, so the fields are
    // counted from its last ")"; the start is field 22.
    const std::size_t close = stat ? stat->rfind(')') : std::string::npos;
    if (close == std::string::npos || close + 2 >= stat->size()) {
        return std::nullopt;
    }
    ProcessState state;
    state.pid = std::atoll(stat->c_str());
    const char* field = stat->c_str() + close + 2;
    state.ended = *field == 'Z' || *field == 'X';
    for (int number = 3; number < 22; ++number) {
        field = std::strchr(field, ' ');
        if (field == nullptr) {
            return std::nullopt;
        }
        ++field;
    }
    char* end = nullptr;
    errno = 0;
    state.start = std::strtoull(field, &end, 10);
    if (end == field || errno != 0) {
        return std::nullopt;
    }
    return state;
}

// FNV-1a: a short, stable digest of a text.
std::uint64_t digest(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

// The leading decimal number of text, taken off it; nothing when there is none or it is
// too large.
std::optional<unsigned long long> takeNumber(std::string_view& text)
{
    unsigned long long number = 0;
    std::size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        if (digits >= 19) {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned long long>(text[digits] - '0');
    }
    if (digits == 0) {
        return std::nullopt;
    }
    text.remove_prefix(digits);
    return number;
}

bool isTempLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether rest is "PID-START-RUN.XXXXXX" with this writer's RUN and a writer that is
// plainly gone.
bool isLeftoverOfGoneWriter(std::string_view rest, const WriterIdentity& self)
{
    const std::optional<unsigned long long> pid = takeNumber(rest);
    if (!pid || rest.empty() || rest.front() != '-') {
        return false;
    }
    rest.remove_prefix(1);
    const std::optional<unsigned long long> start = takeNumber(rest);
    if (!start || rest.size() != 1 + 16 + 1 + 6 || rest[0] != '-' || rest.substr(1, 16) != self.run ||
        rest[17] != '.' || !std::all_of(rest.begin() + 18, rest.end(), isTempLetter)) {
        return false;
    }
    if (*pid == 0 || *pid > static_cast<unsigned long long>(INT_MAX)) {
        return false;
    }
    const auto number = static_cast<pid_t>(*pid);
    if (number == ::getpid()) {
        return *start != self.start; // an earlier process of this number
    }
    if (::kill(number, 0) != 0 && errno == ESRCH) {
        return true;
    }
    // A process of that number runs: the writer only if it started at the same tick.
    const std::optional<ProcessState> state = processState(std::to_string(number));
    return state && (state->ended || state->start != *start);
}

// The temporary files' names start with this for a file called base; short enough to
// stay within NAME_MAX with the writer's part whatever the file's name.
std::string tempPrefix(const std::string& base)
{
    return "." + base.substr(0, 180) + ".";
}

} // namespace

std::optional<WriterIdentity> thisWriter()
{
    const std::optional<ProcessState> self = processState("self");
    const std::optional<std::string> boot = readSystemFile("/proc/sys/kernel/random/boot_id");
    char space[256];
    const ssize_t length = ::readlink("/proc/self/ns/pid", space, sizeof space);
    if (!self || self->pid != ::getpid() || !boot || boot->empty() || length <= 0 ||
        static_cast<std::size_t>(length) >= sizeof space) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::uint64_t run = digest(*boot + "\n" + std::string(space, static_cast<std::size_t>(length)));
    WriterIdentity writer{self->pid, self->start, std::string(16, '0')};
    for (int i = 15; i >= 0; --i, run >>= 4) {
        writer.run[static_cast<std::size_t>(i)] = kHex[run & 15];
    }
    return writer;
}

std::string tempFilePattern(const std::string& target, const std::optional<WriterIdentity>& writer)
{
    std::string name = folderOf(target) + "/" + tempPrefix(baseName(target));
    if (writer) {
        name += std::to_string(writer->pid) + "-" + std::to_string(writer->start) + "-" + writer->run + ".";
    }
    return name + "XXXXXX";
}

void removeLeftovers(const std::string& target, const WriterIdentity& self)
{
    const std::string prefix = tempPrefix(baseName(target));
    posix::walkDirectory(folderOf(target), [&](const posix::DirectoryEntry& entry) {
        const std::string_view name = entry.name();
        struct stat info
        {};
        if (name.starts_with(prefix) && isLeftoverOfGoneWriter(name.substr(prefix.size()), self) &&
            ::fstatat(entry.folderFd(), entry.cName(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            ::unlinkat(entry.folderFd(), entry.cName(), 0);
        }
        return true;
    });
}

} // namespace velora::platform
