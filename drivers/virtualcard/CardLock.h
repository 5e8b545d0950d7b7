// The lock of the virtual card's shared state: a process-shared, robust mutex inside the
// mapped layout, taken by threads of every process that maps the card.
#pragma once

#include "drivers/virtualcard/CardStateLayout.h"

namespace velora::virtualcard {

// The lock of a mapped layout, held for the lifetime of the object. When the previous holder
// died while holding it, the lock is taken over and marked consistent: the state it guarded
// may be half-updated, which the virtual card tolerates (at worst one stale ring entry).
//
// The kernel reports only the deaths of owners it saw take the lock. A lock word naming a
// thread that does not exist (a file kept over a power loss, a damaged file) or the asking
// thread itself is taken over in the same way after one short wait; a lock that has not
// changed hands for seconds, or that the C library calls unusable, is replaced by a fresh one.
// So taking the lock never blocks for good.
class CardLock
{
public:
    explicit CardLock(CardStateLayout& layout);
    ~CardLock();
    CardLock(const CardLock&) = delete;
    CardLock& operator=(const CardLock&) = delete;

    // False only if even a fresh mutex could not be taken; the caller then goes on unguarded
    // rather than dropping the write, since a lost register write is worse than a racy one.
    bool held() const { return m_held; }

private:
    CardStateLayout& m_layout;
    bool m_held = false;
};

// Makes mutex a fresh process-shared, robust lock. Only for memory that no other process is
// using at the same time.
void initialiseLock(pthread_mutex_t& mutex);

// Puts a fresh, free lock in place of whatever the layout's lock held and wakes every process
// that sleeps on it, so that it looks at the lock again.
void replaceLock(CardStateLayout& layout);

} // namespace velora::virtualcard
