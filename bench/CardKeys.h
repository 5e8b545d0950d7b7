// Key presses through the virtual card for the remote benchmarks: a code written into
// GPIO_DATA, and the time until the key press arrives at an X window.
#pragma once

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "drivers/virtualcard/VirtualChip.h"

namespace bench {

// When a key was written into GPIO_DATA and when it arrived at the window.
struct KeyTimes
{
    Clock::time_point written;
    Clock::time_point arrived;
};

// The latencies of that many Down keys (code 0x98), each after the receiver has shown no key
// (0xFF) for 25 to 35 ms; empty when a key never arrived. `times`, when given, gets each key's
// times too.
inline std::vector<double> cardKeyLatencies(velora::virtualcard::VirtualChip& chip, velora::test::XTestWindow& window,
                                            int keys, std::vector<KeyTimes>* times = nullptr)
{
    using namespace std::chrono_literals;
    std::vector<double> latencies;
    for (int i = 0; i < keys; ++i) {
        chip.writeRegister(0x200, 0xFF);
        std::this_thread::sleep_for(std::chrono::microseconds(25'000 + (i * 7919) % 10'000));
        const auto written = Clock::now();
        chip.writeRegister(0x200, 0x98);
        const auto arrived = nextKeyPress(window, 1s);
        if (!arrived) {
            std::fprintf(stderr, "card key %d never arrived\n", i);
            return {};
        }
        latencies.push_back(milliseconds(*arrived - written));
        if (times != nullptr) {
            times->push_back({written, *arrived});
        }
    }
    return latencies;
}

} // namespace bench
