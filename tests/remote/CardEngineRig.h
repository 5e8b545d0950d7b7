// The remote engine on real things: the virtual card's shared state (the driver library maps
// the state named by VELORA_CARD; so does the rig), the real timer threads, a program starter
// and a log file, on the desktop a test gives it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "hw/BtRegisters.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "platform/linux/LinuxTimerService.h"
#include "remote/RemoteEngine.h"
#include "tests/drivers/virtualcard/TestCard.h"
#include "tests/support/ScopedEnvironment.h"

namespace velora::remote {

// Macros for the test window titled "Velora Remote Test Window" and for any other.
inline constexpr const char* kTestWindowMacros = "Default\n"
                                                 "Enter: \"ok\"\n"
                                                 "End\n"
                                                 "WhenActive \"Remote Test\"\n"
                                                 "Down: [VK_DOWN]\n"
                                                 "ChannelUp: [VK_SHIFT a]\n"
                                                 "End\n";

class CardEngineRig
{
public:
    // Opens the card with the chip as after power-on and writes the macro file "test.mac".
    ::testing::AssertionResult open(const std::string& macros)
    {
        if (!virtualCard.open()) {
            return ::testing::AssertionFailure() << "the card state " << virtualCard.path() << " cannot be used";
        }
        virtualCard.chip().reset();
        virtualCard.folder().write("test.mac", macros);
        return ::testing::AssertionSuccess();
    }

    // The engine on the driver library's card and this desktop with "test.mac" loaded, its
    // receiver armed and ticking, past the first sample (which is only stored).
    void startEngine(platform::Desktop& desktop)
    {
        card = std::make_unique<CaptureCard>(platform::systemLibraryLoader(), platform::systemClock(),
                                             CardRelease::UnmapThenUnload);
        ASSERT_TRUE(card->IsFound()) << "the virtual card's libvelorahwio.so must be on LD_LIBRARY_PATH";
        engine = std::make_unique<RemoteEngine>(
            RemoteServices{platform::systemClock(), timers, desktop, programs, log, platform::systemFileSystem()});
        engine->setLogSuppressed(false);
        ASSERT_TRUE(engine->LoadMacroFile(virtualCard.folder().file("test.mac")));
        engine->ArmReceiver(*card);
        engine->startTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    // A key on the remote: its code, held for as long as a remote sends it, then 0.
    void press(std::uint8_t code)
    {
        virtualCard.chip().pressKey(code, [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); });
    }

    std::uint32_t gpioLow() { return virtualCard.file().layout().registers[bt::GPIO_DATA / 4] & 0xFFu; }

    test::TestCard virtualCard;
    test::ScopedEnvironment cardPath{"VELORA_CARD", virtualCard.path()};
    platform::LinuxTimerService timers;
    platform::LinuxProgramStarter programs{""};
    platform::LinuxLogFile log{virtualCard.folder().file("remote.log")};
    // Made last, so that they go first: the engine before the card it samples.
    std::unique_ptr<CaptureCard> card;
    std::unique_ptr<RemoteEngine> engine;
};

} // namespace velora::remote
