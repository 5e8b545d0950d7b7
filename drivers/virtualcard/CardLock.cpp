#include "drivers/virtualcard/CardLock.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>

#include <linux/futex.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#define VELORA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELORA_THREAD_SANITIZER 1
#endif
#endif
#ifdef VELORA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace velora::virtualcard {

namespace {

// How long CardLock waits before it looks at the owner again, and how long a lock may stay in
// one hand before it counts as stuck. The state behind the lock is held for microseconds.
constexpr std::chrono::milliseconds kLockLook{100};
constexpr std::chrono::milliseconds kLockStuck{3000};

// Wakes every process that sleeps on the lock word, so that it looks at the word again.
void wakeLockWaiters(CardStateLayout& layout)
{
    ::syscall(SYS_futex, &lockWord(layout), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

// Does what the kernel does when the owner of a robust lock dies: marks the word owner-died,
// keeping its waiters bit, and wakes the waiters; the next one to try takes the lock over.
// Nothing happens when the word no longer holds what was seen.
void markOwnerDead(CardStateLayout& layout, int seen)
{
    int expected = seen;
    if (std::atomic_ref<int>(lockWord(layout))
            .compare_exchange_strong(expected, (seen & FUTEX_WAITERS) | FUTEX_OWNER_DIED)) {
        wakeLockWaiters(layout);
    }
}

bool threadExists(pid_t tid)
{
    return ::kill(tid, 0) == 0 || errno == EPERM;
}

timespec realtimeAfter(std::chrono::milliseconds wait)
{
    timespec at{};
    clock_gettime(CLOCK_REALTIME, &at);
    const long long nanoseconds = at.tv_nsec + static_cast<long long>(wait.count()) * 1'000'000;
    at.tv_sec += static_cast<time_t>(nanoseconds / 1'000'000'000);
    at.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    return at;
}

} // namespace

void initialiseLock(pthread_mutex_t& mutex)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

void replaceLock(CardStateLayout& layout)
{
    initialiseLock(layout.lock);
    wakeLockWaiters(layout);
}

CardLock::CardLock(CardStateLayout& layout) : m_layout(layout)
{
    const int self = static_cast<int>(::syscall(SYS_gettid));
    int seen = 0;
    auto seenSince = std::chrono::steady_clock::now();
    bool replaced = false;
    for (;;) {
        const timespec until = realtimeAfter(kLockLook);
        int rc = pthread_mutex_timedlock(&m_layout.lock, &until);
        if (rc == EOWNERDEAD) {
#ifdef VELORA_THREAD_SANITIZER
            // ThreadSanitizer sees a lock taken over from a dead owner only through
            // pthread_mutex_lock and pthread_mutex_trylock; tell it of this one.
            __tsan_mutex_pre_lock(&m_layout.lock, __tsan_mutex_try_lock);
            __tsan_mutex_post_lock(&m_layout.lock, __tsan_mutex_try_lock, 0);
#endif
            pthread_mutex_consistent(&m_layout.lock);
            rc = 0;
        }
        if (rc == 0) {
            m_held = true;
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (rc == ETIMEDOUT) {
            const int word = std::atomic_ref<int>(lockWord(m_layout)).load();
            if (word != seen) {
                seen = word;
                seenSince = now;
            }
            const int owner = word & FUTEX_TID_MASK;
            if (word != 0 && (owner == 0 || owner == self || !threadExists(owner))) {
                markOwnerDead(m_layout, word);
                continue;
            }
            if (now - seenSince < kLockStuck) {
                continue;
            }
        }
        // Unusable, or in one hand for far longer than anyone holds it: start a fresh lock.
        if (replaced) {
            return;
        }
        replaced = true;
        replaceLock(m_layout);
        seen = 0;
        seenSince = now;
    }
}

CardLock::~CardLock()
{
    if (m_held) {
        pthread_mutex_unlock(&m_layout.lock);
    }
}

} // namespace velora::virtualcard
