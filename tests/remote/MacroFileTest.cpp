#include <gtest/gtest.h>

#include "remote/MacroFile.h"

namespace velora::remote {
namespace {

std::optional<std::string> bound(const MacroTables& tables, int scope, const char* keyName)
{
    return tables.scopes[static_cast<std::size_t>(scope)].macros[static_cast<std::size_t>(*findKeyName(keyName))];
}

std::string played(const MacroTables& tables, const char* keyName, std::string_view title)
{
    const std::string* macro = tables.lookup(*findKeyName(keyName), title);
    return macro != nullptr ? *macro : "<none>";
}

TEST(MacroFile, WorkedExample)
{
    const auto tables = parseMacroFile("#bindings for the TV remote\n"
                                       "Default\n"
                                       "VolumeUp: [VK_UP]\n"
                                       "VolumeDown: [VK_DOWN]\n"
                                       "Mute: [VK_CONTROL M]\n"
                                       "End\n"
                                       "WhenActive \"Notepad\"\n"
                                       "Enter: \"Hello\"[VK_RETURN]\n"
                                       "   Mute\n"
                                       "Recall: &calc.exe&\n"
                                       "End\n");
    EXPECT_EQ(tables->scopeCount, 2);
    EXPECT_FALSE(tables->scopes[0].titlePattern);
    EXPECT_EQ(bound(*tables, 0, "VolumeUp"), " [VK_UP]");
    EXPECT_EQ(bound(*tables, 0, "VolumeDown"), " [VK_DOWN]");
    EXPECT_EQ(bound(*tables, 0, "Mute"), " [VK_CONTROL M]");
    EXPECT_EQ(tables->scopes[1].titlePattern, "Notepad");
    EXPECT_EQ(bound(*tables, 1, "Enter"), " \"Hello\"[VK_RETURN]");
    EXPECT_FALSE(bound(*tables, 1, "Mute"));
    EXPECT_EQ(bound(*tables, 1, "Recall"), " &calc.exe&");

    EXPECT_EQ(played(*tables, "Enter", "Untitled - Notepad"), " \"Hello\"[VK_RETURN]");
    EXPECT_EQ(played(*tables, "Mute", "Untitled - Notepad"), " [VK_CONTROL M]");
    EXPECT_EQ(played(*tables, "Recall", "Untitled - Notepad"), " &calc.exe&");
    EXPECT_EQ(played(*tables, "Enter", "Calculator"), "<none>");
    EXPECT_EQ(played(*tables, "Mute", "Calculator"), " [VK_CONTROL M]");
    EXPECT_EQ(played(*tables, "Enter", "notepad"), "<none>"); // the pattern is case-sensitive
}

TEST(MacroFile, HeadersMustBeSpelledExactly)
{
    EXPECT_EQ(parseMacroFile("")->scopeCount, 1);
    // "default" in lower case, or a tab before "Default", is no header.
    auto tables = parseMacroFile("default\nMute: a\nEnd\n\tDefault\nVolumeUp: b\nEnd\n");
    EXPECT_FALSE(bound(*tables, 0, "Mute"));
    EXPECT_FALSE(bound(*tables, 0, "VolumeUp"));
    // Leading spaces and quotes before a header are skipped; the rest of the line is ignored.
    tables = parseMacroFile("  \"Default whatever\nMute: a\nEnd\n");
    EXPECT_EQ(bound(*tables, 0, "Mute"), " a");
    // A WhenActive without a title opens nothing: the lines after it are between sections.
    tables = parseMacroFile("WhenActive\nMute: a\nEnd\nWhenActive \"\"\nMute: b\n");
    EXPECT_EQ(tables->scopeCount, 1);
    EXPECT_FALSE(bound(*tables, 0, "Mute"));
}

TEST(MacroFile, TitlePatternsFollowTheQuoteRules)
{
    const auto tables = parseMacroFile("WhenActive \"My Program\"\nEnd\n"
                                       "WhenActive  \"Two spaces\"\nEnd\n"
                                       "WhenActive\"Glued\"\nEnd\n"
                                       "WhenActive Unquoted title\nEnd\n"
                                       "WhenActive \"\"\"Triple\"\nEnd\n");
    ASSERT_EQ(tables->scopeCount, 6);
    EXPECT_EQ(tables->scopes[1].titlePattern, "My Program");
    EXPECT_EQ(tables->scopes[2].titlePattern, " "); // matches every title with a space
    EXPECT_EQ(tables->scopes[3].titlePattern, "Glued");
    EXPECT_EQ(tables->scopes[4].titlePattern, "Unquoted title");
    EXPECT_EQ(tables->scopes[5].titlePattern, "Triple");
}

TEST(MacroFile, KeyLines)
{
    const auto tables = parseMacroFile("Default\n"
                                       "  :Mute::: x \n" // leading blanks and colons skipped; the text keeps its colons
                                       "mute: y\n"       // wrong letter case: ignored
                                       "VolumeUp\t[VK_UP]\n" // a tab does not end the name: ignored
                                       "Enter:\n"            // nothing after the name: unbound
                                       "Esc: \n"             // a blank: bound, plays nothing
                                       "Down: [VK_DOWN]\n"
                                       "Down: [VK_UP]\n" // bound twice: the later text
                                       "Frame: x\r\n"    // a CR before LF is part of the text here
                                       "# a comment line inside a section is just an unknown token\n"
                                       "Power: [VK_F1]\n"
                                       "End junk\n"
                                       "Recall: [VK_F2]\n");
    EXPECT_EQ(bound(*tables, 0, "Mute"), ":: x ");
    EXPECT_FALSE(bound(*tables, 0, "VolumeUp"));
    EXPECT_FALSE(bound(*tables, 0, "Enter"));
    EXPECT_EQ(bound(*tables, 0, "Esc"), " ");
    EXPECT_EQ(bound(*tables, 0, "Down"), " [VK_UP]");
    EXPECT_EQ(bound(*tables, 0, "Frame"), " x\r");
    EXPECT_EQ(bound(*tables, 0, "Power"), " [VK_F1]");
    EXPECT_FALSE(bound(*tables, 0, "Recall")); // after "End junk" the section is over
}

TEST(MacroFile, SectionsRepeatAndRunToTheEndWithoutEnd)
{
    const auto tables = parseMacroFile("Default\nMute: a\nEnd\n"
                                       "WhenActive \"Player\"\nMute: b\nEnd\n"
                                       "Default\nVolumeUp: c\nEnd\n"
                                       "WhenActive \"Player\"\nMute: d\nEnter: e\n"
                                       "Default\n" // inside a section "Default" is an unknown key token
                                       "Recall: f\n");
    EXPECT_EQ(tables->scopeCount, 3);
    EXPECT_EQ(bound(*tables, 0, "Mute"), " a");
    EXPECT_EQ(bound(*tables, 0, "VolumeUp"), " c");
    EXPECT_EQ(bound(*tables, 2, "Recall"), " f");
    // Both Player scopes match; the earlier one that binds the key wins.
    EXPECT_EQ(played(*tables, "Mute", "Media Player"), " b");
    EXPECT_EQ(played(*tables, "Enter", "Media Player"), " e");
}

TEST(MacroFile, LongLinesAreReadAsSeveral)
{
    // 600 characters: the first 511 are one line, the rest a second one.
    std::string text = "Default\nMute: " + std::string(511 - 6, 'x') + "Enter: [VK_RETURN]" +
                       std::string(600 - 511 - 18, ' ') + "\nEnd\n";
    auto tables = parseMacroFile(text);
    EXPECT_EQ(bound(*tables, 0, "Mute")->size(), 511u - 5u);
    EXPECT_EQ(bound(*tables, 0, "Enter"), " [VK_RETURN]" + std::string(600 - 511 - 18, ' '));
    // Exactly 511 characters before the line feed: the line feed alone is the next line.
    text = "Default\nMute: " + std::string(511 - 6, 'y') + "\nEnter: z\nEnd\n";
    tables = parseMacroFile(text);
    EXPECT_EQ(bound(*tables, 0, "Mute")->size(), 511u - 5u);
    EXPECT_EQ(bound(*tables, 0, "Enter"), " z");
}

TEST(MacroFile, SixtyThreeWindowScopesFitAndMoreAreDropped)
{
    std::string text;
    for (int i = 1; i <= 65; ++i) {
        text += "WhenActive \"Window " + std::to_string(i) + ".\"\nMute: [VK_F" + std::to_string(i % 24 + 1) + "]\n";
        // The sections beyond the room hold lines that would be headers between sections.
        text += i > 63 ? "Default\nVolumeUp: wrong\nEnd\n" : "End\n";
    }
    const auto tables = parseMacroFile(text);
    EXPECT_EQ(tables->scopeCount, 64);
    EXPECT_EQ(tables->scopes[63].titlePattern, "Window 63.");
    EXPECT_EQ(played(*tables, "Mute", "Window 64."), "<none>");
    EXPECT_EQ(played(*tables, "Mute", "Window 63."), " [VK_F16]");
    // The bodies of dropped sections are read and dropped: their lines are not taken for
    // headers of their own.
    EXPECT_FALSE(bound(*tables, 0, "VolumeUp"));
}

TEST(MacroFile, ZeroByteEndsALine)
{
    static const char text[] = "Default\nMute: a\0b\nEnd\n";
    const auto tables = parseMacroFile(std::string(text, sizeof text - 1));
    EXPECT_EQ(bound(*tables, 0, "Mute"), " a");
}

} // namespace
} // namespace velora::remote
