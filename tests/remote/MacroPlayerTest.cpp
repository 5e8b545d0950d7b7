#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/ManualTimerService.h"
#include "fakes/RecordingDesktop.h"
#include "remote/MacroPlayer.h"

namespace velora::remote {
namespace {

struct PlayerRig
{
    test::EventLog log;
    test::FakeClock clock{&log};
    test::ManualTimerService timers{&clock};
    test::RecordingDesktop desktop{log};
    test::RecordingProgramStarter programs{log};
    std::optional<MacroPlayer> player{std::in_place, desktop, clock, timers, programs};

    std::string play(std::string_view macro)
    {
        log.clear();
        player->PlayMacro(macro);
        return log.joined();
    }
    std::string after(std::uint32_t ms)
    {
        log.clear();
        timers.fireAllDue(clock.tickCount() + ms);
        return log.joined();
    }
};

TEST(MacroPlayer, TypesQuotedTextKeyByKey)
{
    PlayerRig rig;
    EXPECT_EQ(rig.play("\"aB1\""), "+A -A +SHIFT +B -SHIFT -B +1 -1");
    // Only letters, digits and space type themselves: other characters are used as codes.
    EXPECT_EQ(rig.play("\"x y.\""), "+X -X +SPACE -SPACE +Y -Y +DELETE -DELETE");
    // Without its closing quote the text runs to the end.
    EXPECT_EQ(rig.play("  \"ok"), "+O -O +K -K");
    EXPECT_EQ(rig.play("\"\"\"A\""), "+SHIFT +A -SHIFT -A");
}

TEST(MacroPlayer, ChordsPressInOrderAndReleaseInReverse)
{
    PlayerRig rig;
    EXPECT_EQ(rig.play("[VK_CONTROL VK_MENU VK_DELETE]"), "+CONTROL +MENU +DELETE -DELETE -MENU -CONTROL");
    EXPECT_EQ(rig.play(" [VK_CONTROL  m]\t[VK_RETURN]  "), "+CONTROL +M -M -CONTROL +RETURN -RETURN");
    // A chord without "]" ends with the text; an empty chord plays nothing.
    EXPECT_EQ(rig.play("[VK_UP VK_DOWN"), "+UP +DOWN -DOWN -UP");
    EXPECT_EQ(rig.play("[]]]:x"), "");
    EXPECT_EQ(rig.play("\"Hello\"[VK_RETURN]"), "+SHIFT +H -SHIFT -H +E -E +L -L +L -L +O -O +RETURN -RETURN");
}

TEST(MacroPlayer, ChordsKeepTheirFirstHundredKeysAndCutLongNames)
{
    PlayerRig rig;
    std::string chord = "[";
    for (int i = 0; i < 120; ++i) {
        chord += i < 100 ? "a " : "VK_F1 ";
    }
    const std::string events = rig.play(chord + "]");
    EXPECT_EQ(std::count(events.begin(), events.end(), '+'), 100);
    EXPECT_EQ(events.find("F1"), std::string::npos);
    // A name of 150 characters is cut to 99 and looked up as such: its first character.
    EXPECT_EQ(rig.play("[" + std::string(150, 'q') + "]"), "+Q -Q");
}

TEST(MacroPlayer, DelayedReleaseLetsOnlyTheFirstKeyGoAfter100Ms)
{
    PlayerRig rig;
    EXPECT_EQ(rig.play("![VK_RIGHT]"), "+RIGHT");
    EXPECT_EQ(rig.after(99), "");
    EXPECT_EQ(rig.after(1), "-RIGHT");
    EXPECT_EQ(rig.player->pendingRelease(), 0u);

    EXPECT_EQ(rig.play("! [VK_CONTROL C]"), "+CONTROL +C");
    EXPECT_EQ(rig.after(100), "-CONTROL"); // C gets no release
    // "!" lasts for one macro text only.
    EXPECT_EQ(rig.play("[VK_UP]"), "+UP -UP");
}

TEST(MacroPlayer, ANewDelayedChordCancelsThePendingRelease)
{
    PlayerRig rig;
    EXPECT_EQ(rig.play("![VK_RIGHT]"), "+RIGHT");
    EXPECT_EQ(rig.after(60), "");
    // Played again within the 100 ms: the key stays down until 100 ms after the second play.
    EXPECT_EQ(rig.play("![VK_RIGHT]"), "+RIGHT");
    EXPECT_EQ(rig.after(99), "");
    EXPECT_EQ(rig.after(1), "-RIGHT");
    // A different first key: the earlier key never gets its release.
    EXPECT_EQ(rig.play("![VK_LEFT]"), "+LEFT");
    EXPECT_EQ(rig.play("![VK_UP]"), "+UP");
    EXPECT_EQ(rig.after(200), "-UP");
}

TEST(MacroPlayer, PendingReleaseIsDoneWhenThePlayerGoes)
{
    PlayerRig rig;
    rig.play("![VK_SHIFT]");
    rig.log.clear();
    rig.player.reset();
    EXPECT_EQ(rig.log.joined(), "-SHIFT");
    EXPECT_EQ(rig.timers.activeCount(), 0u);
}

TEST(MacroPlayer, ProgramsWindowsAndOtherCharacters)
{
    PlayerRig rig;
    rig.desktop.windows.insert("Media Player");
    EXPECT_EQ(rig.play("&calc.exe&&xterm -e \"top\"&"), "start calc.exe start xterm -e \"top\"");
    EXPECT_EQ(rig.play("%0 %1 %2x"), "minimise maximise"); // "%2" consumes the 2; x is skipped
    EXPECT_EQ(rig.play("@Media Player@\"a\""), "sleep 200 activate Media Player +A -A");
    EXPECT_EQ(rig.play("@Nobody@"), "sleep 200 activate Nobody");
    EXPECT_EQ(rig.play("]:?%"), "");
    // Without its closing character a command acts on nothing, and nothing follows it.
    EXPECT_EQ(rig.play("&calc.exe"), "");
    EXPECT_EQ(rig.play("@Media Player"), "");
    // Command texts are cut to 99 characters.
    EXPECT_EQ(rig.play("&" + std::string(120, 'p') + "&"), "start " + std::string(99, 'p'));
}

} // namespace
} // namespace velora::remote
