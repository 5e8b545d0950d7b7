// The choice of the desktop back end: the order the session and the Desktop setting give, the
// first one that opens, the line remote.log gets, and the setting in velora.ini.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/MemoryProfile.h"
#include "platform/NullDesktop.h"
#include "remote/DesktopChoice.h"
#include "remote/RemoteSettings.h"

namespace velora::remote {
namespace {

using Kinds = std::vector<DesktopKind>;
constexpr DesktopKind X11 = DesktopKind::X11;
constexpr DesktopKind Wayland = DesktopKind::Wayland;
constexpr DesktopKind Uinput = DesktopKind::Uinput;

TEST(DesktopChoice, TheSessionOrTheSettingGivesTheOrderToTry)
{
    struct Case
    {
        const char* setting;
        SessionFacts facts;
        Kinds expected;
    };
    const Case cases[] = {
        {"", {true, false, "x11"}, {X11, Uinput}},
        {"", {true, false, ""}, {X11, Uinput}},
        // A compositor nested in an X11 session.
        {"", {true, true, "x11"}, {X11, Wayland, Uinput}},
        // XWayland in a Wayland session, as the last resort: its synthetic keys reach only X
        // programs.
        {"", {true, true, "wayland"}, {Wayland, Uinput, X11}},
        {"", {true, false, "Wayland"}, {Uinput, X11}},
        {"", {false, true, ""}, {Wayland, Uinput}},
        // A compositor started from the text console: the session stays a "tty" one.
        {"", {true, true, "tty"}, {Wayland, Uinput, X11}},
        {"", {true, true, ""}, {Wayland, Uinput, X11}},
        // The console, or a desktop that exports nothing.
        {"", {false, false, "tty"}, {Uinput}},
        // A named back end is the only one, whatever the session.
        {"uinput", {true, false, "x11"}, {Uinput}},
        {"WAYLAND", {true, false, "x11"}, {Wayland}},
        {"x11", {false, true, "wayland"}, {X11}},
        // Any other text chooses as if it were not there.
        {"xorg", {false, true, "wayland"}, {Wayland, Uinput}},
        {" x11", {false, false, ""}, {Uinput}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(desktopCandidates(c.setting, c.facts), c.expected)
            << "setting '" << c.setting << "', DISPLAY " << c.facts.displaySet << ", WAYLAND_DISPLAY "
            << c.facts.waylandDisplaySet << ", session '" << c.facts.sessionType << "'";
    }
}

TEST(DesktopChoice, TheFirstBackEndThatOpensServesAndTheLogSaysWhich)
{
    std::vector<std::string> tried;
    const auto opener = [&tried](const char* name, bool opens) {
        return [&tried, name, opens]() -> std::unique_ptr<platform::Desktop> {
            tried.emplace_back(name);
            return opens ? std::make_unique<platform::NullDesktop>() : nullptr;
        };
    };
    // No X server, no wayland back end built in (an empty opener): the kernel's device serves.
    DesktopOpeners openers{opener("x11", false), {}, opener("uinput", true)};
    OpenedDesktop opened = openDesktop({X11, Wayland, Uinput}, openers);
    ASSERT_NE(opened.desktop, nullptr);
    EXPECT_EQ(opened.kind, Uinput);
    EXPECT_EQ(tried, (std::vector<std::string>{"x11", "uinput"}));
    EXPECT_EQ(opened.unavailable, (Kinds{X11, Wayland}));
    const std::string line = desktopLogLine(opened);
    EXPECT_EQ(line.rfind("Desktop: uinput (x11, wayland not available); ", 0), 0u) << line;
    EXPECT_NE(line.find("the Default section serves"), std::string::npos) << line;
    EXPECT_EQ(line.back(), '\n');

    // The first that opens ends the search.
    tried.clear();
    openers.x11 = opener("x11", true);
    opened = openDesktop({X11, Wayland, Uinput}, openers);
    EXPECT_EQ(opened.kind, X11);
    EXPECT_EQ(tried, (std::vector<std::string>{"x11"}));
    EXPECT_EQ(desktopLogLine(opened), "") << "the X11 desktop of an X11 session logs as it always did";
    opened.unavailable = {Wayland};
    EXPECT_EQ(desktopLogLine(opened), "Desktop: x11 (wayland not available)\n");

    // None at all: said so, and the caller gets no desktop.
    openers.uinput = opener("uinput", false);
    opened = openDesktop({Wayland, Uinput}, openers);
    EXPECT_EQ(opened.desktop, nullptr);
    EXPECT_EQ(desktopLogLine(opened).rfind("Desktop: none could be opened (tried wayland, uinput)", 0), 0u);
}

TEST(DesktopChoice, TheSettingIsReadButOnlyEverWrittenByHand)
{
    constexpr const char* kIni = "/home/user/velora.ini";
    test::MemoryProfile profile;
    RemoteSettings settings = readRemoteSettings(profile, kIni);
    EXPECT_EQ(settings.Desktop, "") << "missing: chosen by the session";

    // Saving the options adds no Desktop key of its own ...
    ASSERT_TRUE(writeRemoteSettings(profile, kIni, settings));
    EXPECT_EQ(profile.text(kIni)->find("Desktop"), std::string::npos) << *profile.text(kIni);

    // ... and keeps the one the user wrote, whatever the fields say.
    profile.setText(kIni, "[KavoRemote]\nDesktop=uinput\nKeySource=card\n");
    settings = readRemoteSettings(profile, kIni);
    EXPECT_EQ(settings.Desktop, "uinput");
    settings.Desktop = "x11";
    settings.KeySource = "lirc";
    ASSERT_TRUE(writeRemoteSettings(profile, kIni, settings));
    EXPECT_EQ(readRemoteSettings(profile, kIni).Desktop, "uinput");
    EXPECT_EQ(readRemoteSettings(profile, kIni).KeySource, "lirc");
}

} // namespace
} // namespace velora::remote
