// Timely wake-ups for the timer threads, the card's 10 ms sampling tick among them: a small
// timer slack, which needs no privilege, and the lowest real-time priority (SCHED_FIFO) where
// the process may have it (CAP_SYS_NICE or an RLIMIT_RTPRIO above 0). Where it may not, a
// long-lived thread can have a low SCHED_RR level from the desktop's real-time policy service
// instead (see RealtimeKit.h). With SCHED_RESET_ON_FORK, threads and programs started from
// such a thread begin at normal priority again. Where neither way is open the thread stays
// as it was.
#pragma once

namespace velora::platform {

// Applies to the calling thread; true when it runs at real-time priority afterwards.
// askDesktop also asks the desktop's service when the process may not raise the priority
// itself. That takes round trips on the system bus, and the service limits how many threads
// it grants a user in a while, so it is meant for threads that live long, such as the
// sampling timer's.
bool raiseThreadPriority(bool askDesktop = false);

} // namespace velora::platform
