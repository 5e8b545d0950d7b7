#include "tests/support/Process.h"

#include "tests/support/TempDir.h"

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velora::test {

Process::Process(const std::string& program, const std::vector<std::string>& arguments,
                 const EnvironmentChanges& environment, const std::string& outputPath, const std::string& errorPath)
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        const std::string name(*entry, equals != nullptr ? static_cast<std::size_t>(equals - *entry) : 0);
        if (environment.find(name) == environment.end()) {
            variables.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : environment) {
        if (value) {
            variables.push_back(name + "=" + *value);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : args) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (!outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), flags, 0600);
    }
    if (!errorPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), flags, 0600);
    } else if (!outputPath.empty()) {
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Process Process::forked(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 1;
        try {
            status = body();
        } catch (...) {
        }
        // No exit handlers or static destructors: they belong to the parent.
        ::_exit(status);
    }
    return Process(pid);
}

Process::~Process()
{
    if (m_pid > 0 && !m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

Process::Process(Process&& other) noexcept : m_pid(other.m_pid), m_status(other.m_status)
{
    other.m_pid = -1;
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        Process gone(std::move(*this));
        m_pid = other.m_pid;
        m_status = other.m_status;
        other.m_pid = -1;
    }
    return *this;
}

void Process::reap(int status)
{
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool Process::running()
{
    if (m_pid <= 0 || m_status) {
        return false;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        reap(status);
        return false;
    }
    return true;
}

void Process::signal(int number)
{
    if (running()) {
        ::kill(m_pid, number);
    }
}

std::optional<int> Process::waitExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

int runProgram(const std::string& program, const std::vector<std::string>& arguments,
               const EnvironmentChanges& environment, std::chrono::milliseconds timeout, std::string* output,
               std::string* errors)
{
    std::optional<TempDir> folder;
    if (output || errors) {
        folder.emplace("velora-output");
    }
    const std::string outputPath = output ? folder->file("output") : std::string();
    const std::string errorPath = errors ? folder->file("errors") : std::string();
    Process process(program, arguments, environment, outputPath, errorPath);
    if (!process.started()) {
        return -1;
    }
    const int status = process.waitExit(timeout).value_or(-1);
    if (output) {
        *output = readFile(outputPath);
    }
    if (errors) {
        *errors = readFile(errorPath);
    }
    return status;
}

ProgramOutput runCapturing(const std::string& program, const std::vector<std::string>& arguments,
                           const EnvironmentChanges& environment, std::chrono::milliseconds timeout)
{
    ProgramOutput result;
    result.status = runProgram(program, arguments, environment, timeout, &result.out, &result.err);
    return result;
}

bool onPath(const std::string& program)
{
    return runProgram("sh", {"-c", "command -v \"$0\" >/dev/null", program}, {}, std::chrono::seconds(5)) == 0;
}

long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) {
        return 0;
    }
    // The fields after the program's name, from the third (state) on: utime is the 14th, stime the 15th.
    std::istringstream fields(text.substr(nameEnd + 2));
    std::string field;
    long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stol(field);
        } else if (index == 15) {
            system = std::stol(field);
            break;
        }
    }
    return user + system;
}

} // namespace velora::test
