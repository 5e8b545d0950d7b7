#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <strings.h>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velora::platform {
namespace {

// Data files are a few lines long; a cap keeps a misnamed huge file from being read whole.
constexpr std::size_t kMaxTextFile = 1u << 20;

bool exists(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0;
}

// The entry of folder whose name equals name without regard to ASCII case; the first in
// byte order when several do, so that the choice does not depend on the folder's order.
std::optional<std::string> findEntryIgnoringCase(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> matches;
    while (const dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            matches.emplace_back(entry->d_name);
        }
    }
    closedir(dir);
    if (matches.empty()) {
        return std::nullopt;
    }
    return *std::min_element(matches.begin(), matches.end());
}

class LinuxFileSystem final : public FileSystem
{
public:
    std::optional<std::string> findIgnoringCase(const std::string& path) override
    {
        if (path.empty()) {
            return std::nullopt;
        }
        if (exists(path)) {
            return path;
        }
        std::string resolved = path.front() == '/' ? "/" : "";
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string::npos) {
                end = path.size();
            }
            const std::string component = path.substr(start, end - start);
            start = end + 1;
            if (component.empty()) {
                continue;
            }
            const bool needsSeparator = !resolved.empty() && resolved.back() != '/';
            std::string candidate = resolved + (needsSeparator ? "/" : "") + component;
            if (component == "." || component == ".." || exists(candidate)) {
                resolved = std::move(candidate);
                continue;
            }
            const auto match = findEntryIgnoringCase(resolved, component);
            if (!match) {
                return std::nullopt;
            }
            resolved += (needsSeparator ? "/" : "") + *match;
        }
        return resolved;
    }

    std::optional<std::string> readText(const std::string& path) override
    {
        // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are read.
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return std::nullopt;
        }
        struct stat info
        {};
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            close(fd);
            return std::nullopt;
        }
        std::string raw;
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                close(fd);
                return std::nullopt;
            }
            if (got == 0 || raw.size() >= kMaxTextFile) {
                break;
            }
            raw.append(buffer, static_cast<std::size_t>(got));
        }
        close(fd);
        std::string text;
        text.reserve(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
                continue;
            }
            text.push_back(raw[i]);
        }
        return text;
    }
};

} // namespace

FileSystem& systemFileSystem()
{
    static LinuxFileSystem fileSystem;
    return fileSystem;
}

} // namespace velora::platform
