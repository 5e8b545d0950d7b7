// What the benchmarks of the remote engine on the virtual card share: a folder of their own
// holding the card's state (VELORA_CARD) and a macro file that binds Down, the chip to press
// remote keys on, and the services an engine needs besides its desktop and timers.
#pragma once

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "drivers/virtualcard/CardStateFile.h"
#include "drivers/virtualcard/VirtualChip.h"
#include "hw/CaptureCard.h"
#include "platform/linux/LinuxLogFile.h"
#include "platform/linux/LinuxProgramStarter.h"
#include "remote/RemoteEngine.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace bench {

struct CardBench
{
    // name prefixes the messages on standard error.
    explicit CardBench(const char* benchName) : name(benchName)
    {
        if (!state) {
            std::fprintf(stderr, "%s: no card state\n", name);
            return;
        }
        chip.emplace(state->layout());
        chip->reset();
        std::ofstream(macroPath) << "Default\nDown: [VK_DOWN]\nEnd\n";
    }

    bool ok() const { return chip.has_value(); }

    // Finds the card through the driver library, after the desktop is open as in the daemon;
    // false, with a message, when it is not there.
    bool openCard()
    {
        card.emplace(velora::platform::systemLibraryLoader(), velora::platform::systemClock(),
                     velora::CardRelease::UnmapThenUnload);
        if (!card->IsFound()) {
            std::fprintf(stderr, "%s: the virtual card was not found\n", name);
            return false;
        }
        return true;
    }

    // Loads the macro file into the engine, arms its receiver on the card and starts its tick.
    void start(velora::remote::RemoteEngine& engine)
    {
        engine.LoadMacroFile(macroPath);
        engine.ArmReceiver(*card);
        engine.startTick();
    }

    velora::remote::RemoteServices services(velora::platform::Desktop& desktop, velora::platform::TimerService& timers)
    {
        return {velora::platform::systemClock(), timers, desktop, programs, log, velora::platform::systemFileSystem()};
    }

    const char* name;
    const velora::test::TempDir temp{"velora-bench"};
    const std::string dir = temp.path().string();
    const std::string macroPath = dir + "/bench.mac";
    const velora::test::ScopedEnvironment cardPath{"VELORA_CARD", dir + "/card"};
    const std::unique_ptr<velora::virtualcard::CardStateFile> state =
        velora::virtualcard::CardStateFile::open(dir + "/card");
    std::optional<velora::virtualcard::VirtualChip> chip;
    velora::platform::LinuxProgramStarter programs{""};
    velora::platform::LinuxLogFile log{dir + "/remote.log"};
    std::optional<velora::CaptureCard> card;
};

} // namespace bench
