#include "tools/virtual-remote/RemoteCard.h"

#include "hw/IrCodes.h"
#include "tools/virtual-remote/RemoteLayout.h"

#include <cstdio>
#include <utility>

namespace velora::vremote {

std::string statusLine(const CardReading& reading)
{
    std::string line =
        reading.frequencyHz ? virtualcard::frequencyText(*reading.frequencyHz) : std::string("tuner idle");
    line += reading.sync ? ", locked" : ", no signal";
    if (!reading.lastKey) {
        return line + ", no key yet";
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(*reading.lastKey));
    line += std::string(", last key ") + code;
    // A code pressed with velora-card need not be one of the remote's.
    const IrCode* row = findIrCode(*reading.lastKey);
    return line + (row ? std::string(" ") + remote::KeyNameTable[row->key] : std::string(" (not a key)"));
}

RemoteCard::RemoteCard(std::string path, Sleeper sleep)
    : m_path(std::move(path)), m_sleep(std::move(sleep)), m_thread([this] { pressLoop(); })
{
    open();
}

RemoteCard::~RemoteCard()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool RemoteCard::open()
{
    if (!m_file) {
        std::string error;
        m_file = virtualcard::CardStateFile::open(m_path, &error);
        m_error = std::move(error);
    }
    return m_file != nullptr;
}

std::optional<CardReading> RemoteCard::read()
{
    if (!open()) {
        return std::nullopt;
    }
    const virtualcard::VirtualChip chip(m_file->layout());
    CardReading reading;
    reading.frequencyHz = chip.tuner().frequencyHz;
    reading.sync = chip.hasSync();
    reading.lastKey = chip.lastRemoteKey();
    return reading;
}

std::string RemoteCard::status()
{
    if (const std::optional<CardReading> reading = read()) {
        return statusLine(*reading);
    }
    return "no card: cannot use " + m_path + (m_error.empty() ? std::string() : ": " + m_error);
}

bool RemoteCard::press(remote::RemoteKey key)
{
    const std::optional<std::uint8_t> code = receiverCode(key);
    if (!code || !open()) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_presses.size() >= kMaxWaitingPresses) {
            return false;
        }
        m_presses.push_back({m_file, *code});
    }
    m_wake.notify_one();
    return true;
}

void RemoteCard::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_presses.empty() && !m_pressing; });
}

void RemoteCard::pressLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_presses.empty(); });
        if (m_presses.empty()) {
            return; // stopping, with every press delivered
        }
        Press next = std::move(m_presses.front());
        m_presses.pop_front();
        m_pressing = true;
        lock.unlock();
        // One press at a time and in order, so that a repeated key's pause through 0x00
        // cannot interleave with the next key.
        virtualcard::VirtualChip(next.file->layout()).pressKey(next.code, m_sleep);
        next.file.reset();
        lock.lock();
        m_pressing = false;
        if (m_presses.empty()) {
            m_idle.notify_all();
        }
    }
}

} // namespace velora::vremote
