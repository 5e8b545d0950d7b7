#include "remote/Receiver.h"

#include "hw/BtRegisters.h"
#include "hw/IrCodes.h"

namespace velora::remote {
namespace {

// A different key is accepted only this long after the previous change of the sample.
constexpr std::uint32_t kGlitchWindowMs = 200;

} // namespace

void Receiver::ArmReceiver(CaptureCard& card)
{
    m_card = &card;
    std::uint32_t value = 0;
    m_card->ReadRegister(bt::GPIO_DATA, value);
    m_card->WriteRegister(bt::GPIO_DATA, value | 0xFFu);
    skipNextSample = true;
    m_queue.reset();
}

void Receiver::DisarmReceiver()
{
    if (m_card == nullptr) {
        return;
    }
    std::uint32_t value = 0;
    m_card->ReadRegister(bt::GPIO_DATA, value);
    m_card->WriteRegister(bt::GPIO_DATA, value & ~0xFFu);
    m_card = nullptr;
}

void Receiver::PollReceiver()
{
    if (m_card == nullptr) {
        return;
    }
    std::uint32_t value = 0;
    if (reinitRequested.load()) {
        m_card->ReadRegister(bt::GPIO_DATA, value);
        m_card->WriteRegister(bt::GPIO_DATA, value | 0xFFu);
        skipNextSample = true;
        reinitRequested.store(false);
        return;
    }
    if (!m_card->ReadRegister(bt::GPIO_DATA, value)) {
        return;
    }
    const auto sample = static_cast<std::int32_t>(value & 0xFFu);
    if (skipNextSample) {
        skipNextSample = false;
        previousSample = sample;
        return;
    }
    if (sample != previousSample) {
        DecodeCode(static_cast<std::uint32_t>(sample));
        // Taken after decoding, whatever became of the sample: the glitch window always
        // runs from the latest change.
        lastChangeTime = m_clock.tickCount();
    }
    previousSample = sample;
}

void Receiver::DecodeCode(std::uint32_t code)
{
    if (code == 0) {
        return;
    }
    const IrCode* row = findIrCode(code);
    if (row == nullptr) {
        m_log.WriteLog("    RK_MAKE(0x%02x, RK_UNKNOWN),\n", code);
        if (m_unknown) {
            m_unknown(code);
        }
        return;
    }
    // Elapsed time as an unsigned difference, so that the test also holds across the wrap
    // of the 32-bit tick count (every 49.7 days).
    const std::uint32_t elapsed = m_clock.tickCount() - lastChangeTime;
    if (row->key != lastKey && elapsed <= kGlitchWindowMs) {
        m_log.WriteLog("Ignoring: %s\n", row->logName);
        return;
    }
    m_queue.put(row->key);
    lastKey = row->key;
}

} // namespace velora::remote
