#include "platform/linux/ThreadPriority.h"

#include <sched.h>
#include <sys/prctl.h>

namespace velora::platform {

bool raiseThreadPriority()
{
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    sched_param param{};
    param.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
    return ::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

} // namespace velora::platform
