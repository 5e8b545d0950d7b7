// Every command of the suite on the command line: --help and --version answer on standard
// output without a display and end with status 0; an unknown option is refused in one line
// with status 2; a Qt program that cannot open its display says so in one line and ends with
// status 1 instead of aborting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace velora {
namespace {

using namespace std::chrono_literals;

struct Command
{
    const char* file;  // in the suite folder
    const char* name;  // as --version shows it
    bool needsDisplay; // a Qt program
};

constexpr Command kCommands[] = {
    {"KavoRemote", "KavoRemote", true},
    {"KavoShell", "KavoShell", true},
    {"VeloraConfig", "VeloraConfig", true},
    {"velora-remote", "velora-remote", true},
    {"velora-card", "velora-card", false},
    {"velora-tune", "velora-tune", false},
    {"velora-autostart", "velora-autostart", false},
};

std::string program(const Command& command)
{
    return std::string(VELORA_SUITE_DIR) + "/" + command.file;
}

// No window system at all: a program that tried to open one would fail or hang.
const test::EnvironmentChanges kNoDisplay{
    {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", std::nullopt}};

long lineCount(const std::string& text)
{
    return std::count(text.begin(), text.end(), '\n');
}

TEST(ProgramCommandLine, HelpAndVersionAnswerWithoutADisplay)
{
    for (const Command& command : kCommands) {
        SCOPED_TRACE(command.file);
        const test::ProgramOutput version = test::runCapturing(program(command), {"--version"}, kNoDisplay, 10s);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, std::string(command.name) + " " + VELORA_PROJECT_VERSION + "\n");
        EXPECT_EQ(version.err, "");
        EXPECT_EQ(test::runCapturing(program(command), {"-v"}, kNoDisplay, 10s).out, version.out);

        const test::ProgramOutput help = test::runCapturing(program(command), {"--help"}, kNoDisplay, 10s);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find(std::string(command.file) + " "), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(test::runCapturing(program(command), {"-h"}, kNoDisplay, 10s).out, help.out);
    }
}

TEST(ProgramCommandLine, UnknownOptionsAreRefusedInOneLine)
{
    for (const Command& command : kCommands) {
        for (const char* option : {"--frobnicate", "-q", "--frobnicate=3"}) {
            SCOPED_TRACE(std::string(command.file) + " " + option);
            const test::ProgramOutput run = test::runCapturing(program(command), {option}, kNoDisplay, 10s);
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(lineCount(run.err), 1) << run.err;
            const std::string typed = std::string(option).substr(0, std::string(option).find('='));
            EXPECT_NE(run.err.find(typed), std::string::npos) << run.err;
        }
    }
}

TEST(ProgramCommandLine, QtProgramsWithoutTheirDisplaySaySoAndExitWithOne)
{
    for (const Command& command : kCommands) {
        if (!command.needsDisplay) {
            continue;
        }
        SCOPED_TRACE(command.file);
        const test::ProgramOutput unset = test::runCapturing(program(command), {}, kNoDisplay, 20s);
        EXPECT_EQ(unset.status, 1);
        EXPECT_EQ(unset.err, std::string(command.file) + ": cannot open a display (DISPLAY is not set)\n");

        // A display that no server answers, with Qt's own option on the command line.
        test::EnvironmentChanges dead = kNoDisplay;
        dead["DISPLAY"] = ":4097";
        const test::ProgramOutput refused = test::runCapturing(program(command), {"-platform", "xcb"}, dead, 20s);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(lineCount(refused.err), 1) << refused.err;
        EXPECT_EQ(refused.err.rfind(std::string(command.file) + ": cannot open the display :4097", 0), 0u)
            << refused.err;

        // A Wayland session whose compositor is gone, without an X server.
        const test::TempDir runtime;
        test::EnvironmentChanges gone = kNoDisplay;
        gone["WAYLAND_DISPLAY"] = "velora-no-compositor";
        gone["XDG_RUNTIME_DIR"] = runtime.path().string();
        const test::ProgramOutput noCompositor = test::runCapturing(program(command), {}, gone, 20s);
        EXPECT_EQ(noCompositor.status, 1);
        EXPECT_EQ(lineCount(noCompositor.err), 1) << noCompositor.err;
        EXPECT_EQ(noCompositor.err.rfind(
                      std::string(command.file) + ": cannot open the Wayland display velora-no-compositor", 0),
                  0u)
            << noCompositor.err;
    }
}

} // namespace
} // namespace velora
