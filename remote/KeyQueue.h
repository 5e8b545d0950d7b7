// The ring of keys between the receiver's decoding and the dispatcher: 256 slots and two
// counters. Producer and consumer are the same tick, one after the other, so at most one
// key is ever in it and it needs no fullness test and no lock.
#pragma once

#include <array>
#include <cstdint>

#include "remote/RemoteKeys.h"

namespace velora::remote {

class KeyQueue
{
public:
    void put(RemoteKey key)
    {
        m_slots[m_write % kSlots] = key;
        ++m_write;
    }

    // The oldest key, or 0 when the queue is empty.
    RemoteKey take()
    {
        if (isEmpty()) {
            return 0;
        }
        return m_slots[m_read++ % kSlots];
    }

    bool isEmpty() const { return m_read == m_write; }

    void reset()
    {
        m_read = 0;
        m_write = 0;
    }

private:
    static constexpr std::uint32_t kSlots = 256;
    std::array<RemoteKey, kSlots> m_slots{};
    // Unsigned, so that the counters wrap without overflow after 2^32 keys.
    std::uint32_t m_write = 0;
    std::uint32_t m_read = 0;
};

} // namespace velora::remote
