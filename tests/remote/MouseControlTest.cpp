#include <gtest/gtest.h>

#include "fakes/RecordingDesktop.h"
#include "remote/MouseControl.h"

namespace velora::remote {
namespace {

struct MouseRig
{
    test::EventLog log;
    test::RecordingDesktop desktop{log};
    std::atomic<int> step{4};
    MouseControl mouse{desktop, step};

    std::string press(std::initializer_list<RemoteKey> keys)
    {
        log.clear();
        for (const RemoteKey key : keys) {
            mouse.MouseAction(key);
        }
        return log.joined();
    }
};

TEST(MouseControl, DigitsMoveThePointerLikeAKeypadCompass)
{
    MouseRig rig;
    rig.desktop.pointer = {100, 100};
    EXPECT_EQ(rig.press({keys::Digit1 + 0}), "goto 96,96");
    EXPECT_EQ(rig.press({keys::Digit1 + 1}), "goto 96,92");
    EXPECT_EQ(rig.press({keys::Digit1 + 2}), "goto 100,88");
    EXPECT_EQ(rig.press({keys::Digit1 + 3}), "goto 96,88");
    EXPECT_EQ(rig.press({keys::Digit1 + 5}), "goto 100,88");
    EXPECT_EQ(rig.press({keys::Digit1 + 6}), "goto 96,92");
    EXPECT_EQ(rig.press({keys::Digit1 + 7}), "goto 96,96");
    EXPECT_EQ(rig.press({keys::Digit1 + 8}), "goto 100,100");
    // Keys without a mouse meaning do nothing.
    EXPECT_EQ(rig.press({keys::VolumeUp, keys::Down, keys::FullScreen}), "");
}

TEST(MouseControl, StepChangesAreUnbounded)
{
    MouseRig rig;
    rig.desktop.pointer = {50, 50};
    EXPECT_EQ(rig.press({keys::Dec, keys::Digit1 + 5}), "goto 49,50"); // step 4 - 5 = -1: "6" goes left
    EXPECT_EQ(rig.step.load(), -1);
    EXPECT_EQ(rig.press({keys::Inc, keys::Inc, keys::Digit1 + 7}), "goto 49,59");
    EXPECT_EQ(rig.step.load(), 9);
}

TEST(MouseControl, ClicksAndTogglesShareOneHeldFlag)
{
    MouseRig rig;
    EXPECT_EQ(rig.press({keys::Digit1 + 4}), "+LMB -LMB");
    EXPECT_EQ(rig.press({keys::Digit0}), "+RMB -RMB");
    EXPECT_EQ(rig.press({keys::AirCable}), "+LMB -LMB +LMB -LMB");
    EXPECT_EQ(rig.press({keys::Cancel, keys::Cancel}), "+LMB -LMB");
    EXPECT_EQ(rig.press({keys::Enter, keys::Enter}), "+RMB -RMB");
    // "Cancel" then "5": the left button goes down, then a click, and the flag is clear.
    EXPECT_EQ(rig.press({keys::Cancel, keys::Digit1 + 4}), "+LMB +LMB -LMB");
    EXPECT_FALSE(rig.mouse.buttonIsHeld());
    // "Cancel" holds the left button; "Enter" then lets the right one go and clears the flag.
    EXPECT_EQ(rig.press({keys::Cancel, keys::Enter, keys::Enter}), "+LMB -RMB +RMB");
    EXPECT_TRUE(rig.mouse.buttonIsHeld());
}

} // namespace
} // namespace velora::remote
