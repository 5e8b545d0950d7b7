// The daemon with an event key source (LIRC or an input device) instead of the card.
#include <gtest/gtest.h>

#include "fakes/FakeKeyEventSource.h"
#include "platform/VirtualKeys.h"
#include "tests/remote/DaemonRig.h"

namespace velora::remote {
namespace {

TEST(RemoteDaemon, EventSourcesNeedNoCardAndReconnectOnReinitialisation)
{
    DaemonRig rig("[KavoRemote]\nKeySource=lirc\nLircSocket=/tmp/lircd.socket\nAutoInitTimeout=5\n");
    test::FakeKeySourceFactory sources(rig.log);
    rig.keySources = &sources;
    rig.driver.presentDevice.reset(); // no card at all
    RemoteDaemon& daemon = rig.make();
    EXPECT_EQ(daemon.KeySource, "lirc");
    EXPECT_EQ(daemon.LircSocket, "/tmp/lircd.socket");
    rig.log.clear();
    ASSERT_TRUE(daemon.start());
    // Neither the driver library nor a message: only the window timer and the source.
    EXPECT_EQ(rig.log.joined(), "timer on lirc /tmp/lircd.socket");
    EXPECT_FALSE(daemon.engine().isTicking());
    ASSERT_NE(sources.latest, nullptr);
    EXPECT_TRUE(sources.latest->running);

    // Keys play as the card's do.
    rig.log.clear();
    sources.latest->deliver("KEY_DOWN");
    EXPECT_EQ(rig.log.joined(), "+DOWN -DOWN");

    // "Re-init now!", the countdown and the hot key reconnect the source.
    daemon.RequestReinit();
    EXPECT_EQ(sources.latest->reconnects, 1);
    for (int tick = 0; tick < 50; ++tick) {
        daemon.windowTimer();
    }
    EXPECT_EQ(sources.latest->reconnects, 2);
    rig.desktop.keysDown = {platform::VK_CONTROL, platform::VK_F12};
    daemon.windowTimer();
    EXPECT_EQ(sources.latest->reconnects, 3);
    rig.desktop.keysDown.clear();

    // "Reload drivers..." closes the source and opens it anew, still without the card.
    rig.log.clear();
    daemon.ReloadDrivers();
    EXPECT_EQ(rig.log.joined(), "timer off lirc /tmp/lircd.socket timer on");
    EXPECT_EQ(sources.made, 2);
    EXPECT_TRUE(sources.latest->running);
    EXPECT_EQ(sources.latest->starts, 1);

    // The end stops it.
    daemon.shutdown();
    EXPECT_FALSE(daemon.engine().hasEventSource());
}

TEST(RemoteDaemon, KeySourceSettingsRoundTripThroughTheOptionsWindow)
{
    DaemonRig rig("[KavoRemote]\nKeySource=input\nInputDevice=/dev/input/event4\nRepeatKeys=0\n");
    test::FakeKeySourceFactory sources(rig.log);
    rig.keySources = &sources;
    RemoteDaemon& daemon = rig.make();
    EXPECT_FALSE(daemon.engine().repeatKeys());
    ASSERT_TRUE(daemon.start());
    EXPECT_EQ(rig.log.events().back(), "input /dev/input/event4");

    OptionsForm form = daemon.options();
    EXPECT_EQ(form.keySourceIndex, 2);
    EXPECT_EQ(form.inputDevice, "/dev/input/event4");
    EXPECT_EQ(form.lircSocket, "/run/lirc/lircd");
    EXPECT_FALSE(form.repeatKeys);
    // Repeating applies at once; the source at the next reload of the drivers.
    form.repeatKeys = true;
    form.keySourceIndex = 1;
    form.lircSocket = "/run/user/lircd";
    ASSERT_FALSE(daemon.saveOptions(form));
    EXPECT_TRUE(daemon.engine().repeatKeys());
    EXPECT_EQ(rig.profile.readString(kIni, "KavoRemote", "KeySource", ""), "lirc");
    EXPECT_EQ(rig.profile.readString(kIni, "KavoRemote", "LircSocket", ""), "/run/user/lircd");
    EXPECT_EQ(rig.profile.readString(kIni, "KavoRemote", "InputDevice", "x"), "/dev/input/event4");
    EXPECT_EQ(rig.profile.readInt(kIni, "KavoRemote", "RepeatKeys", 5), 1);
    daemon.ReloadDrivers();
    EXPECT_EQ(rig.log.events().back(), "timer on");
    EXPECT_NE(rig.log.joined().find("lirc /run/user/lircd"), std::string::npos);

    // Back to the card: the next reload looks for it again.
    form.keySourceIndex = 0;
    ASSERT_FALSE(daemon.takeOptions(form));
    rig.log.clear();
    daemon.ReloadDrivers();
    EXPECT_NE(rig.log.joined().find("load libvelorahwio.so"), std::string::npos);
    EXPECT_TRUE(daemon.engine().isTicking());
    EXPECT_FALSE(daemon.engine().hasEventSource());
}

TEST(RemoteDaemon, AnUnknownKeySourceIsTheCard)
{
    DaemonRig rig("[KavoRemote]\nKeySource=serial\n");
    test::FakeKeySourceFactory sources(rig.log);
    rig.keySources = &sources;
    rig.driver.presentDevice.reset();
    RemoteDaemon& daemon = rig.make();
    EXPECT_FALSE(daemon.start());
    EXPECT_NE(rig.log.joined().find("message BT848 not found! Check DLLs"), std::string::npos);
    EXPECT_EQ(sources.made, 0);
    EXPECT_EQ(daemon.options().keySourceIndex, 0);
    EXPECT_EQ(rig.logFile.lines().front(), "KeySource 'serial' is not card, lirc or input: the card serves\n");
}

} // namespace
} // namespace velora::remote
