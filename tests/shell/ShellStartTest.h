// What the tests of the built KavoShell on a desktop share: a copy of the suite folder whose
// settings remember a folder tree ("..", alpha, beta with inner, a.jpg, notes.txt), the
// desktop that sends it keys, and waiting for what its screen shows.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

#include "platform/Desktop.h"
#include "tests/shell/ShellScreenChecks.h"
#include "tests/support/SuiteCopy.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::test {

inline bool waitFor(const std::function<bool()>& condition)
{
    return waitUntil(condition, std::chrono::seconds(10), std::chrono::milliseconds(50));
}

class ShellStartTest : public ::testing::Test
{
protected:
    explicit ShellStartTest(const char* folder) : m_dir(folder) {}

    // The tree with these files besides its folders, and the settings that remember it.
    void makeTree(std::initializer_list<const char*> files)
    {
        ASSERT_TRUE(m_suite.valid());
        m_dir.makeFolder("tree/alpha");
        m_dir.makeFolder("tree/beta/inner");
        for (const char* file : files) {
            m_dir.write(file, "x");
        }
        m_tree = std::filesystem::canonical(m_dir / "tree");
        m_settings = m_suite.configHome() / "velora/velora.ini";
        std::filesystem::create_directories(m_settings.parent_path());
        std::ofstream(m_settings) << "[KavoShell]\nLastDir=" << m_tree.string() << "\n";
    }

    void press(std::uint8_t virtualKey)
    {
        m_keys->keyEvent(virtualKey, true);
        m_keys->keyEvent(virtualKey, false);
    }

    SuiteCopy m_suite;
    TempDir m_dir;
    std::unique_ptr<platform::Desktop> m_keys;
    std::optional<ShellScreenChecks> m_screen;
    std::filesystem::path m_tree;
    std::filesystem::path m_settings;
};

} // namespace velora::test
