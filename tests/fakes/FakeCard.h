// A card object on the fake driver library and a fake clock, as the tuner and remote tests
// drive it: every call into the driver lands in driverLog.
#pragma once

#include "fakes/EventLog.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeDriver.h"
#include "hw/CaptureCard.h"

namespace velora::test {

struct FakeCard
{
    explicit FakeCard(CardRelease release = CardRelease::UnloadOnly) : card(loader, clock, release) {}

    EventLog driverLog;
    FakeDriver driver{driverLog};
    FakeLibraryLoader loader{driverLog};
    FakeClock clock;
    CaptureCard card;
};

} // namespace velora::test
