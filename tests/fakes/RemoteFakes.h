// Everything a remote engine runs on, faked in one place: the card's driver behind its
// loader, a manual clock and timers, a desktop and a program starter that record into one
// log, the log file and files in memory.
#pragma once

#include "fakes/FakeClock.h"
#include "fakes/FakeDriver.h"
#include "fakes/ManualTimerService.h"
#include "fakes/MemoryFileSystem.h"
#include "fakes/RecordingDesktop.h"
#include "fakes/RecordingLogFile.h"
#include "remote/RemoteEngine.h"

namespace velora::test {

struct RemoteFakes
{
    EventLog log;
    FakeDriver driver{log};
    FakeLibraryLoader loader{log};
    FakeClock clock;
    ManualTimerService timers{&clock};
    RecordingDesktop desktop{log};
    RecordingProgramStarter programs{log};
    RecordingLogFile logFile;
    MemoryFileSystem files;

    remote::RemoteServices services() { return {clock, timers, desktop, programs, logFile, files}; }
};

} // namespace velora::test
