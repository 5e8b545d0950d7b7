// A program started by a test as a user would start it: its own process, the test's
// environment with some variables set or removed, waited for with a time limit, and killed
// if the test ends first.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace velora::test {

// Variables to set (a value) or remove (nullopt) in the child's environment.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

class Process
{
public:
    Process() = default;
    // Starts program with the arguments (program is argv[0]; a name without a slash is looked
    // up on PATH); started() tells whether it ran. With an output path, the program's standard
    // output goes to that file, and its standard error too unless it has an error path of its
    // own.
    Process(const std::string& program, const std::vector<std::string>& arguments = {},
            const EnvironmentChanges& environment = {}, const std::string& outputPath = {},
            const std::string& errorPath = {});
    // Runs body in a forked child of this process and ends the child with what body returns;
    // for tests whose other process needs no program of its own.
    static Process forked(const std::function<int()>& body);
    ~Process(); // kills the child if it still runs
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    bool running();
    void signal(int number);

    // The exit status; 128 + the signal for a child killed by one; nullopt when it still
    // runs after the time (it is then left running).
    std::optional<int> waitExit(std::chrono::milliseconds timeout);

private:
    explicit Process(pid_t pid) : m_pid(pid) {}
    void reap(int status);
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Runs a program to its end (killing it after the time) and returns its exit status, or -1
// when it did not end in time. With output, what it wrote to standard output and error; with
// errors as well, standard error goes there instead.
int runProgram(const std::string& program, const std::vector<std::string>& arguments = {},
               const EnvironmentChanges& environment = {}, std::chrono::milliseconds timeout = std::chrono::seconds(30),
               std::string* output = nullptr, std::string* errors = nullptr);

// runProgram with standard output and standard error kept apart, as one result.
struct ProgramOutput
{
    int status = -1; // -1 when the program did not end in time
    std::string out;
    std::string err;
};
ProgramOutput runCapturing(const std::string& program, const std::vector<std::string>& arguments = {},
                           const EnvironmentChanges& environment = {},
                           std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Whether a program is installed: found on PATH as a shell would find it.
bool onPath(const std::string& program);

// Processor time a process has used so far, in clock ticks (user and system); 0 for one that
// has gone.
long cpuTicks(pid_t pid);

} // namespace velora::test
