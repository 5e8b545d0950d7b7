#include "tests/support/SuiteCopy.h"

namespace velora::test {

namespace fs = std::filesystem;

SuiteCopy::SuiteCopy(const fs::path& built)
{
    if (!m_temp.valid()) {
        return;
    }
    std::error_code error;
    fs::copy(built, suite(), fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) {
        return;
    }
    // A fresh start: no settings and no log left by earlier runs from the build folder.
    fs::remove(suite() / "velora.ini", error);
    fs::remove(suite() / "remote.log", error);
    fs::create_directories(runtimeDir(), error);
    fs::permissions(runtimeDir(), fs::perms::owner_all, error);
    fs::create_directories(configHome(), error);
    m_environment = {{"VELORA_CARD", cardState().string()},
                     {"XDG_RUNTIME_DIR", runtimeDir().string()},
                     {"XDG_CONFIG_HOME", configHome().string()},
                     {"LD_LIBRARY_PATH", suite().string()}};
    m_valid = true;
}

Process SuiteCopy::start(const std::string& name, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& extra, const std::string& outputPath) const
{
    EnvironmentChanges environment = m_environment;
    for (const auto& [variable, value] : extra) {
        environment[variable] = value;
    }
    return Process(program(name).string(), arguments, environment, outputPath);
}

int SuiteCopy::run(const std::string& name, const std::vector<std::string>& arguments,
                   std::chrono::milliseconds timeout) const
{
    Process process = start(name, arguments);
    return process.started() ? process.waitExit(timeout).value_or(-1) : -1;
}

} // namespace velora::test
