// A private copy of the built suite folder, as a user would unpack it: the programs, the
// driver library and the data files, without the settings and log of earlier runs. It has
// its own virtual card state, runtime folder and configuration folder, and starts the
// suite's programs with an environment that points at them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace velora::test {

class SuiteCopy
{
public:
    // Copies the suite folder that the build made (VELORA_SUITE_DIR unless given).
    explicit SuiteCopy(const std::filesystem::path& built = VELORA_SUITE_DIR);

    bool valid() const { return m_valid; }
    const std::filesystem::path& root() const { return m_temp.path(); }
    std::filesystem::path suite() const { return m_temp / "suite"; }
    std::filesystem::path program(const std::string& name) const { return suite() / name; }
    std::filesystem::path cardState() const { return m_temp / "card"; }
    std::filesystem::path configHome() const { return m_temp / "config"; }
    std::filesystem::path runtimeDir() const { return m_temp / "runtime"; }

    // What every program of the copy is started with: VELORA_CARD, XDG_RUNTIME_DIR,
    // XDG_CONFIG_HOME and LD_LIBRARY_PATH (a sanitizer build's dlopen ignores RUNPATH).
    EnvironmentChanges& environment() { return m_environment; }

    // Starts one of the suite's programs, with extra changes over environment(); with an
    // output path, its standard output and error go to that file.
    Process start(const std::string& name, const std::vector<std::string>& arguments = {},
                  const EnvironmentChanges& extra = {}, const std::string& outputPath = {}) const;
    // Runs one to its end: its exit status, -1 when it did not end within the time.
    int run(const std::string& name, const std::vector<std::string>& arguments = {},
            std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

private:
    TempDir m_temp{"velora-suite"};
    EnvironmentChanges m_environment;
    bool m_valid = false;
};

} // namespace velora::test
