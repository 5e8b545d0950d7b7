// register_access_ns: the cost of one ReadRegister on the virtual card, through the whole
// road a program takes (CaptureCard -> driver entry point -> shared chip state).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "hw/BtRegisters.h"
#include "hw/CaptureCard.h"

int main()
{
    // A private card state, so that the benchmark neither sees nor disturbs a running suite.
    const std::string state = "/tmp/velora-bench-card-" + std::to_string(getpid());
    setenv("VELORA_CARD", state.c_str(), 1);

    double best = 1e18;
    {
        velora::CaptureCard card(velora::platform::systemLibraryLoader(), velora::platform::systemClock(),
                                 velora::CardRelease::UnmapThenUnload);
        if (!card.IsFound()) {
            std::fprintf(stderr, "register_access: the virtual card was not found\n");
            unlink(state.c_str());
            return 1;
        }
        constexpr int kReads = 2'000'000;
        std::uint32_t sink = 0;
        for (int round = 0; round < 7; ++round) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kReads; ++i) {
                std::uint32_t value = 0;
                card.ReadRegister(velora::bt::GPIO_DATA, value);
                sink += value;
            }
            const auto elapsed = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start);
            best = std::min(best, elapsed.count() / kReads);
        }
        if (sink == 0xFFFFFFFFu) {
            std::fputs("", stderr); // keeps the reads from being optimised away
        }
    }
    unlink(state.c_str());
    std::printf("register_access_ns %.1f\n", best);
    return 0;
}
