// What the macro loader says about the lines it skips or cuts, window-class sections, and the
// media keys' names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remote/MacroCheck.h"
#include "remote/MacroFile.h"
#include "remote/VirtualKeys.h"

namespace velora::remote {
namespace {

// The tables as far as a test can tell them apart: every scope's pattern, kind and bindings.
std::string dump(const MacroTables& tables)
{
    std::string text = std::to_string(tables.scopeCount);
    for (int i = 0; i < tables.scopeCount; ++i) {
        const MacroScope& scope = tables.scopes[static_cast<std::size_t>(i)];
        text += "|" + scope.titlePattern.value_or("<default>") + (scope.matchesClass ? "(class)" : "");
        for (RemoteKey key = 0; key < kKeyCount; ++key) {
            if (const auto& macro = scope.macros[static_cast<std::size_t>(key)]) {
                text += " " + std::string(keyName(key)) + "=" + *macro;
            }
        }
    }
    return text;
}

TEST(MacroDiagnostics, EachSkippedOrCutLineIsNamedAndTheTablesStayTheSame)
{
    const std::string longLine(600, 'x');
    const std::string longTitle(120, 't');
    std::string chord = "Down: [";
    for (int i = 0; i < 101; ++i) {
        chord += "A ";
    }
    chord += "]";
    std::string manyScopes;
    for (int i = 0; i < 64; ++i) {
        manyScopes += "WhenActive \"w" + std::to_string(i) + "\"\nEnd\n";
    }
    struct Case
    {
        std::string file;
        std::vector<std::pair<int, std::string>> expected; // line, the start of the message
    };
    const std::vector<Case> cases = {
        {"# a comment\n\nDefault\nDown: [VK_DOWN]\nEnd\n", {}},
        {"Default\nMutte: [VK_F1]\nEnd\n", {{2, "unknown key name 'Mutte': the line is ignored"}}},
        {"Default\nmute: \"m\"\nEnd\n", {{2, "unknown key name 'mute': key names are case-sensitive (Mute)"}}},
        {"Default\nMute\t[VK_F1]\nEnd\n", {{2, "a tab after the key name Mute does not end it"}}},
        {"Default\n  # a comment inside\nEnd\nEnd\n", {{4, "End outside a section"}}},
        {"default\nDown: [VK_DOWN]\n",
         {{1, "'default' is not a section header: Default, WhenActive and WhenClass"},
          {2, "'Down:' is not a section header"}}},
        {"\tDefault\n", {{1, "'\tDefault' is not a section header (Default"}}},
        {"WhenActive\nDown: [VK_DOWN]\n",
         {{1, "WhenActive without a title: no section opens"}, {2, "'Down:' is not a section header"}}},
        {"Default\nWhenClass \"mpv\"\nEnd\n", {{2, "'WhenClass' inside a section (is the End before it missing?)"}}},
        {manyScopes, {{127, "more than 63 WhenActive and WhenClass sections: this section is ignored"}}},
        {"Default\nRecall: &" + longTitle + "&\nFrame: @" + longTitle + "@\nEnd\n",
         {{2, "Recall: command line of 120 characters: cut at 99"},
          {3, "Frame: window title of 120 characters: cut at 99"}}},
        {"Default\nRecall: &calc\nFrame: \"x\" @Title\nEnd\n",
         {{2, "Recall: '&' without its closing '&': no program is started"},
          {3, "Frame: '@' without its closing '@': no window is brought to the front"}}},
        {"Default\n" + chord + "\nEnd\n", {{2, "Down: chord of more than 100 keys"}}},
        {"Default\nDown: [VK_DWON] [VK_VOLUME_UP]\nEnd\n",
         {{2, "Down: unknown key name 'VK_DWON' in a chord: it presses the key V instead"}}},
        {"Default\n" + longLine + "\nDown: [VK_DOWN]\n",
         {{2, "line of 600 characters: read as several lines"},
          {2, "unknown key name '" + std::string(511, 'x') + "'"},
          {2, "unknown key name '" + std::string(89, 'x') + "'"}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file.substr(0, 60));
        std::vector<MacroDiagnostic> diagnostics;
        const auto withNotes = parseMacroFile(test.file, &diagnostics);
        ASSERT_EQ(diagnostics.size(), test.expected.size());
        for (std::size_t i = 0; i < diagnostics.size(); ++i) {
            EXPECT_EQ(diagnostics[i].line, test.expected[i].first) << diagnostics[i].message;
            EXPECT_EQ(diagnostics[i].message.substr(0, test.expected[i].second.size()), test.expected[i].second);
        }
        EXPECT_EQ(dump(*withNotes), dump(*parseMacroFile(test.file)));
    }
}

TEST(MacroDiagnostics, WhenClassScopesMatchTheWindowClassInFileOrderWithTitleScopes)
{
    std::vector<MacroDiagnostic> diagnostics;
    const auto tables = parseMacroFile("Default\nMute: [VK_VOLUME_MUTE]\nDown: [VK_DOWN]\nEnd\n"
                                       "WhenActive \"Browser\"\nDown: \"t\"\nEnd\n"
                                       "WhenClass \"Firefox\"\nDown: \"c\"\nMute\nEnd\n",
                                       &diagnostics);
    EXPECT_TRUE(diagnostics.empty());
    ASSERT_EQ(tables->scopeCount, 3);
    EXPECT_TRUE(tables->scopes[2].matchesClass);
    EXPECT_TRUE(tables->hasClassScopes);
    EXPECT_TRUE(tables->hasTitleScopes);
    const RemoteKey down = *findKeyName("Down");
    const RemoteKey mute = *findKeyName("Mute");
    const auto played = [&](RemoteKey key, std::string_view title, platform::WindowClass cls) {
        const std::string* macro = tables->lookup(key, title, cls);
        return macro != nullptr ? *macro : "<none>";
    };
    // The class matches whole, instance or class name, in any letter case; the title does not
    // take part.
    EXPECT_EQ(played(down, "Firefox News", {"navigator", "firefox"}), " \"c\"");
    EXPECT_EQ(played(down, "", {"FIREFOX", "x"}), " \"c\"");
    EXPECT_EQ(played(down, "Firefox", {"firefox-esr", "Firefox-esr"}), " [VK_DOWN]");
    EXPECT_EQ(played(down, "Firefox", {}), " [VK_DOWN]");
    // The earlier title scope wins where both match; unbound in the class scope falls through.
    EXPECT_EQ(played(down, "Browser", {"firefox", "Firefox"}), " \"t\"");
    EXPECT_EQ(played(mute, "", {"firefox", "Firefox"}), " [VK_VOLUME_MUTE]");
    // A file without WhenClass asks for no class.
    EXPECT_FALSE(parseMacroFile("WhenActive \"x\"\nEnd\n")->hasClassScopes);
}

TEST(MacroDiagnostics, MediaKeysHaveTheirCodesAndCleanTextsNeedNoNote)
{
    EXPECT_EQ(LookupVirtualKey("VK_VOLUME_MUTE"), 0xAD);
    EXPECT_EQ(LookupVirtualKey("VK_VOLUME_DOWN"), 0xAE);
    EXPECT_EQ(LookupVirtualKey("VK_VOLUME_UP"), 0xAF);
    EXPECT_EQ(LookupVirtualKey("VK_MEDIA_NEXT_TRACK"), 0xB0);
    EXPECT_EQ(LookupVirtualKey("VK_MEDIA_PREV_TRACK"), 0xB1);
    EXPECT_EQ(LookupVirtualKey("VK_MEDIA_STOP"), 0xB2);
    EXPECT_EQ(LookupVirtualKey("VK_MEDIA_PLAY_PAUSE"), 0xB3);
    EXPECT_EQ(LookupVirtualKey("VK_BROWSER_BACK"), 0xA6);
    EXPECT_EQ(LookupVirtualKey("VK_BROWSER_FORWARD"), 0xA7);
    EXPECT_EQ(LookupVirtualKey("VK_BROWSER_HOME"), 0xAC);
    EXPECT_EQ(LookupVirtualKey("VK_LAUNCH_MAIL"), 0xB4);
    EXPECT_EQ(LookupVirtualKey("VK_LAUNCH_MEDIA_SELECT"), 0xB5);
    EXPECT_EQ(virtualKeyName(0xAD), std::string("VK_VOLUME_MUTE"));
    for (const char* text :
         {"[VK_CONTROL VK_MENU VK_DELETE]", "\"&@[\" &kavoshell --full& %0 %2", "!\"u\"", "[a b] @Title@", "[VK_F1"}) {
        EXPECT_TRUE(checkMacroText(text).empty()) << text;
    }
}

} // namespace
} // namespace velora::remote
