// Real-time priority granted by the desktop's real-time policy service (RealtimeKit, on the
// system bus), for a process that may not raise a thread's priority itself: a desktop user
// normally has neither CAP_SYS_NICE nor an RLIMIT_RTPRIO above 0, but the service grants
// a low SCHED_RR level to the threads of programs in an active session.
#pragma once

#include <sys/types.h>

namespace velora::platform {

// Asks the service to run a thread of this process (a kernel thread id, as gettid gives)
// at the real-time priority level given. The service only serves processes whose
// RLIMIT_RTTIME is limited, so where the service is there this first lowers the limit to
// the service's own (usually 200 ms of real-time CPU without a sleep), for good: programs
// started afterwards inherit it, as they would from any desktop program that uses the
// service. Blocks for the round trips, at most half a second each; true when the service
// granted it. False, without a wait, where there is no system bus or no libdbus;
// DBUS_SYSTEM_BUS_ADDRESS chooses another bus.
bool requestRealtimeFromDesktop(pid_t thread, int priority);

} // namespace velora::platform
