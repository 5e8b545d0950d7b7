// The remote-control receiver: arming it on the card, sampling the low byte of GPIO_DATA
// every tick, turning each change into a key through the code table, dropping glitches
// (a different key within 200 ms of the previous change), and queueing the keys.
//
// Threads: PollReceiver runs on the tick thread. ArmReceiver and DisarmReceiver run on the
// window thread, only while the tick is stopped; requestReinit may come at any time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "hw/CaptureCard.h"
#include "platform/Clock.h"
#include "remote/KeyQueue.h"
#include "remote/RemoteLog.h"

namespace velora::remote {

class Receiver
{
public:
    Receiver(platform::Clock& clock, RemoteLog& log) : m_clock(clock), m_log(log) {}

    // Remembers the card to poll, sets the low byte of GPIO_DATA to 0xFF, skips the next
    // sample and empties the queue. The tick must be stopped.
    void ArmReceiver(CaptureCard& card);

    // Clears the low byte of GPIO_DATA and forgets the card; nothing when no card is
    // remembered. The tick must be stopped.
    void DisarmReceiver();

    // Asks the next tick to re-arm the receiver. Safe from any thread.
    void requestReinit() { reinitRequested.store(true); }

    // One sample, on the tick thread.
    void PollReceiver();

    // Decodes one changed sample.
    void DecodeCode(std::uint32_t code);

    KeyQueue& queue() { return m_queue; }
    // Told, on the tick thread, of every code that is no key of the remote. Set it before the
    // tick starts.
    void setUnknownCodeListener(std::function<void(std::uint32_t)> listener) { m_unknown = std::move(listener); }

    // State seen by tests.
    bool reinitPending() const { return reinitRequested.load(); }

private:
    platform::Clock& m_clock;
    RemoteLog& m_log;
    KeyQueue m_queue;
    std::function<void(std::uint32_t)> m_unknown;

    CaptureCard* m_card = nullptr;
    std::atomic<bool> reinitRequested{false};
    bool skipNextSample = false;
    std::int32_t previousSample = 0;
    std::uint32_t lastChangeTime = 0;
    std::int32_t lastKey = -1;
};

} // namespace velora::remote
