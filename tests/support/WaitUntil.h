// Polls a condition until it holds or the time is up; for tests that watch another process,
// a server or a file change.
#pragma once

#include <chrono>
#include <thread>

namespace velora::test {

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(interval);
    }
    return static_cast<bool>(condition());
}

} // namespace velora::test
