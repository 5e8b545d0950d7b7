// The velora-card tool, run as the user runs it: a separate process on a state file.
#include "hw/BtRegisters.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace velora::virtualcard;
namespace bt = velora::bt;

struct ToolRun
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CardToolTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_card.valid()); }

    ToolRun run(const std::vector<std::string>& args, const std::string& statePath = "")
    {
        ToolRun result;
        result.exitCode = velora::test::runProgram(VELORA_CARD_TOOL, args,
                                                   {{"VELORA_CARD", statePath.empty() ? this->statePath() : statePath}},
                                                   std::chrono::seconds(30), &result.out, &result.err);
        return result;
    }

    std::string statePath() const { return m_card.path(); }

    VirtualChip& card() { return m_card.chip(); }

private:
    velora::test::TestCard m_card;
};

TEST_F(CardToolTest, BadArgumentsFailWithAClearMessage)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"press"}, "press needs a key name or code"},
        {{"press", "Down", "Up"}, "too many arguments for press"},
        {{"press", "Power"}, "Power has no receiver code"},
        {{"press", "channelup"}, "did you mean ChannelUp?"},
        {{"press", "Sideways"}, "unknown key 'Sideways'"},
        {{"press", "256"}, "does not fit the receiver's 8 bits"},
        {{"press", "0x1FF"}, "does not fit the receiver's 8 bits"},
        {{"press", "0x"}, "unknown key '0x'"},
        {{"press", "-1"}, "unknown key '-1'"},
        {{"signal", "maybe"}, "signal takes on, off or auto"},
        {{"signal"}, "signal needs on, off or auto"},
        {{"chip", "878"}, "chip takes 350, 351, 36e, 36f or none"},
        {{"status", "now"}, "too many arguments for status"},
        {{"reset", "all"}, "too many arguments for reset"},
    };
    for (const Case& c : cases) {
        const ToolRun result = run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.args[0];
        EXPECT_NE(result.err.find(c.message), std::string::npos) << "stderr: " << result.err;
        EXPECT_NE(result.err.find("velora-card --help"), std::string::npos);
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
    // A refused command line touches no state: the file was not even created.
    EXPECT_FALSE(std::filesystem::exists(statePath()));
}

TEST_F(CardToolTest, UsageWithoutArgumentsOrWithHelp)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--help"}}) {
        const ToolRun result = run(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(result.out.find("usage: velora-card"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("press <key>"), std::string::npos);
        EXPECT_TRUE(result.err.empty());
    }
}

TEST_F(CardToolTest, UnusableStateFileIsReported)
{
    const ToolRun result = run({"status"}, statePath() + ".d/missing/card");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot use the card state file"), std::string::npos) << result.err;
}

TEST_F(CardToolTest, CommandsChangeTheSharedCard)
{
    EXPECT_EQ(run({"chip", "36F"}).exitCode, 0);
    EXPECT_EQ(card().chipId(), bt::kBt879);
    EXPECT_EQ(run({"chip", "0x350"}).exitCode, 0);
    EXPECT_EQ(card().chipId(), bt::kBt848);
    const ToolRun none = run({"chip", "none"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_NE(none.out.find("none"), std::string::npos);
    EXPECT_EQ(card().chipId(), 0u);

    EXPECT_EQ(run({"signal", "on"}).exitCode, 0);
    EXPECT_EQ(card().readRegister(bt::DSTATUS), 0xC0u);
    EXPECT_EQ(run({"signal", "off"}).exitCode, 0);
    EXPECT_EQ(card().readRegister(bt::DSTATUS), 0u);

    card().writeRegister(bt::GPIO_DATA, 0x000002FF);
    const ToolRun press = run({"press", "Down"});
    EXPECT_EQ(press.exitCode, 0);
    EXPECT_NE(press.out.find("Down"), std::string::npos);
    EXPECT_EQ(card().readRegister(bt::GPIO_DATA), 0x00000298u);

    // The same code again by number: it has to pass through 0x00 for 30 ms to show as a change.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run({"press", "152"}).exitCode, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(card().readRegister(bt::GPIO_DATA), 0x00000298u);

    // Names come before numbers: "7" is the key 7, a raw code 7 is written 0x07.
    EXPECT_EQ(run({"press", "7"}).exitCode, 0);
    EXPECT_EQ(card().readRegister(bt::GPIO_DATA) & 0xFF, 0xD0u);
    EXPECT_EQ(run({"press", "0x07"}).exitCode, 0);
    EXPECT_EQ(card().readRegister(bt::GPIO_DATA) & 0xFF, 0x07u);

    EXPECT_EQ(run({"reset"}).exitCode, 0);
    EXPECT_EQ(card().chipId(), bt::kBt878);
    EXPECT_EQ(card().signalMode(), SignalMode::Auto);
    EXPECT_EQ(card().readRegister(bt::GPIO_DATA), 0u);

    // After a reset the card reads as a chip after power-on.
    card().writeRegister(bt::CONTRAST_LO, 0);
    card().writeRegister(bt::E_VSCALE_HI, 0);
    EXPECT_EQ(run({"reset"}).exitCode, 0);
    const ToolRun status = run({"status"});
    for (const char* expected : {"Video input:   MUX0 (IFORM 0x00000058)", "Contrast:      216 of 511",
                                 "Saturation:    U 254, V 180 of 511", "Resolution:    high (interlaced"}) {
        EXPECT_NE(status.out.find(expected), std::string::npos) << "missing '" << expected << "' in\n" << status.out;
    }
}

TEST_F(CardToolTest, StatusShowsWhatTheProgramsDidToTheCard)
{
    // What the tuner library leaves after tuning 55.25 MHz with the high-resolution set-up.
    card().writeRegister(bt::IFORM, 0x40);
    card().writeRegister(bt::E_VSCALE_HI, 0x20);
    card().writeRegister(bt::O_VSCALE_HI, 0x20);
    card().writeRegister(bt::BRIGHT, 0xFFFFFFFF);
    card().writeRegister(bt::E_CONTROL, 0x04);
    card().writeRegister(bt::CONTRAST_LO, 0x00);
    card().writeRegister(bt::I2C, 0xC205E287);
    card().writeRegister(bt::I2C, 0xC28E0287);
    card().writeRegister(bt::GPIO_DATA, 0x02);
    card().pressKey(0x98);

    const ToolRun result = run({"status"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const char* expected :
         {"Bt878", "MUX0", "Audio bits:    GPIO 8-11 0x0, GPIO 0-3 0x8 (GPIO_DATA 0x00000098)",
          "Brightness:    127 of 255", "Contrast:      256 of 511", "high (interlaced", "55.225 MHz (divider 1506)",
          "control 0x8E, band 0x02", "auto", "locked", "C2 05 E2", "C2 8E 02", "key Down"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << "missing '" << expected << "' in\n" << result.out;
    }
}

TEST_F(CardToolTest, StatusNamesTheInputMultiplexerThatIformSelects)
{
    // The multiplexer field (bits 6-5) does not count in MUX order; the other IFORM bits
    // (format and crystal) must not change the answer.
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x40, "MUX0"}, {0x60, "MUX1"}, {0x20, "MUX2"}, {0x00, "MUX3"}, {0x58, "MUX0"}, {0x9F, "MUX3"},
    };
    for (const auto& [iform, mux] : cases) {
        card().writeRegister(bt::IFORM, iform);
        const ToolRun result = run({"status"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        char expected[64];
        std::snprintf(expected, sizeof expected, "Video input:   %s (IFORM 0x%08X)", mux, iform);
        EXPECT_NE(result.out.find(expected), std::string::npos) << "missing '" << expected << "' in\n" << result.out;
    }
}

} // namespace
