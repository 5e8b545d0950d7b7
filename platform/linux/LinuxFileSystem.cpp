#include "platform/FileSystem.h"

#include "platform/linux/DirectoryWalk.h"
#include "platform/linux/FileIo.h"
#include "platform/linux/PathParts.h"

#include <strings.h>

#include <sys/stat.h>

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
    std::optional<std::string> first;
    posix::walkDirectory(folder.empty() ? "." : folder, [&](const posix::DirectoryEntry& entry) {
        if (strcasecmp(entry.cName(), name.c_str()) == 0 && (!first || entry.name() < *first)) {
            first = std::string(entry.name());
        }
        return true;
    });
    return first;
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
        for (const std::string& component : posix::splitAt(path, '/')) {
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
        const std::optional<std::string> raw = posix::readRegularFile(path, kMaxTextFile);
        if (!raw) {
            return std::nullopt;
        }
        std::string text;
        text.reserve(raw->size());
        for (std::size_t i = 0; i < raw->size(); ++i) {
            if ((*raw)[i] == '\r' && i + 1 < raw->size() && (*raw)[i + 1] == '\n') {
                continue;
            }
            text.push_back((*raw)[i]);
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
