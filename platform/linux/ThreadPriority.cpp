#include "platform/linux/ThreadPriority.h"

#include "platform/linux/RealtimeKit.h"

#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace velora::platform {

bool raiseThreadPriority(bool askDesktop)
{
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    sched_param param{};
    param.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
    if (::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0) {
        return true;
    }
    return askDesktop && requestRealtimeFromDesktop(::gettid(), ::sched_get_priority_min(SCHED_RR));
}

} // namespace velora::platform
