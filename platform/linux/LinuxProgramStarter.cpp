#include "platform/linux/LinuxProgramStarter.h"

#include "platform/CommandLine.h"
#include "platform/linux/PathParts.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velora::platform {

namespace {

using FileStatus = struct stat;

bool isExecutableFile(const std::string& path)
{
    FileStatus info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

// Frees the spawn objects on every way out of start().
class SpawnSetup
{
public:
    SpawnSetup()
    {
        m_attrOk = ::posix_spawnattr_init(&m_attr) == 0;
        m_actionsOk = ::posix_spawn_file_actions_init(&m_actions) == 0;
    }
    ~SpawnSetup()
    {
        if (m_attrOk) {
            ::posix_spawnattr_destroy(&m_attr);
        }
        if (m_actionsOk) {
            ::posix_spawn_file_actions_destroy(&m_actions);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool prepare()
    {
        if (!m_attrOk || !m_actionsOk) {
            return false;
        }
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        const short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        bool ok = ::posix_spawnattr_setflags(&m_attr, flags) == 0 &&
                  ::posix_spawnattr_setsigmask(&m_attr, &none) == 0 &&
                  ::posix_spawnattr_setsigdefault(&m_attr, &all) == 0 &&
                  ::posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors the daemon (or a library in it) opened without O_CLOEXEC stay with it.
        ok = ok && ::posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1) == 0;
#endif
        return ok;
    }

    const posix_spawnattr_t* attr() const
    {
        return &m_attr;
    }
    const posix_spawn_file_actions_t* actions() const
    {
        return &m_actions;
    }

private:
    posix_spawnattr_t m_attr{};
    posix_spawn_file_actions_t m_actions{};
    bool m_attrOk = false;
    bool m_actionsOk = false;
};

void reapInBackground(pid_t pid)
{
    try {
        // The thread owns nothing but the pid, so it may outlive the starter and the caller.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the child stays a zombie until the daemon ends. It has
        // started all the same.
    }
}

} // namespace

LinuxProgramStarter::LinuxProgramStarter(std::string programFolder) : m_programFolder(std::move(programFolder)) {}

std::optional<std::string> LinuxProgramStarter::findProgram(const std::string& name) const
{
    if (name.find('/') != std::string::npos) {
        if (isExecutableFile(name)) {
            return name;
        }
        return std::nullopt;
    }
    if (!m_programFolder.empty()) {
        std::string candidate = joinPath(m_programFolder, name);
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    std::string inCurrent = "./" + name;
    if (isExecutableFile(inCurrent)) {
        return inCurrent;
    }
    std::string path;
    if (const char* variable = std::getenv("PATH"); variable != nullptr) {
        path = variable;
    } else {
        // What the C library's exec*p functions search when PATH is not set.
        path = "/bin:/usr/bin";
    }
    for (const std::string& folder : posix::splitAt(path, ':')) {
        // An empty entry means the current folder, which was searched already.
        if (!folder.empty()) {
            std::string candidate = joinPath(folder, name);
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

bool LinuxProgramStarter::start(std::string_view commandLine)
{
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words.front().empty()) {
        return false;
    }
    for (const std::string& word : words) {
        // exec would cut such a word short.
        if (word.find('\0') != std::string::npos) {
            return false;
        }
    }
    const std::optional<std::string> program = findProgram(words.front());
    if (!program) {
        return false;
    }

    SpawnSetup setup;
    if (!setup.prepare()) {
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (::posix_spawn(&pid, program->c_str(), setup.actions(), setup.attr(), argv.data(), environ) != 0) {
        return false;
    }
    reapInBackground(pid);
    return true;
}

} // namespace velora::platform
