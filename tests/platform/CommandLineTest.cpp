#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommandLine.h"

namespace velora::platform {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, SplitsAtBlanksAndGroupsQuotedText)
{
    EXPECT_EQ(splitCommandLine("notepad.exe readme.txt"), (Words{"notepad.exe", "readme.txt"}));
    EXPECT_EQ(splitCommandLine("a \"b c\"d e"), (Words{"a", "b cd", "e"}));
    EXPECT_EQ(splitCommandLine("a \"b c\" d"), (Words{"a", "b c", "d"}));
    // Runs of spaces and tabs, leading and trailing, separate and nothing more.
    EXPECT_EQ(splitCommandLine(" \t xterm \t -e  top\t"), (Words{"xterm", "-e", "top"}));
    // Quotes inside a word join its parts; blanks inside quotes are kept as they are.
    EXPECT_EQ(splitCommandLine("pre\"  mid  \"post"), (Words{"pre  mid  post"}));
    EXPECT_EQ(splitCommandLine("\"\t\""), (Words{"\t"}));
}

TEST(CommandLine, EmptyQuotesAndUnterminatedQuotes)
{
    EXPECT_EQ(splitCommandLine(""), Words{});
    EXPECT_EQ(splitCommandLine("   \t "), Words{});
    EXPECT_EQ(splitCommandLine("\"\""), (Words{""}));
    EXPECT_EQ(splitCommandLine("a \"\" b"), (Words{"a", "", "b"}));
    EXPECT_EQ(splitCommandLine("a \"\"\"\""), (Words{"a", ""}));
    EXPECT_EQ(splitCommandLine("a \"b c"), (Words{"a", "b c"}));
    EXPECT_EQ(splitCommandLine("a \"b c "), (Words{"a", "b c "}));
    EXPECT_EQ(splitCommandLine("a \""), (Words{"a", ""}));
}

} // namespace
} // namespace velora::platform
