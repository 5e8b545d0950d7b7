// Timely wake-ups for the timer threads, the card's 10 ms sampling tick among them: a small
// timer slack, which needs no privilege, and the lowest real-time priority (SCHED_FIFO) where
// the process may have it (CAP_SYS_NICE or an RLIMIT_RTPRIO above 0). With
// SCHED_RESET_ON_FORK, threads and programs started from such a thread begin at normal
// priority again. Where real-time priority is not allowed the thread stays as it was.
#pragma once

namespace velora::platform {

// Applies to the calling thread; true when it runs at real-time priority afterwards.
bool raiseThreadPriority();

} // namespace velora::platform
