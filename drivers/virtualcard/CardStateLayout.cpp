#include "drivers/virtualcard/CardStateLayout.h"

#include "drivers/virtualcard/CardLock.h"
#include "hw/BtRegisters.h"

#include <cstring>

namespace velora::virtualcard {

void initialiseLayout(CardStateLayout& layout)
{
    std::memset(&layout, 0, sizeof layout);
    layout.version = kStateVersion;
    layout.size = sizeof(CardStateLayout);
    layout.chipId = bt::kBt878;
    layout.signalMode = 0;
    layout.remoteKey = kNoRemoteKey;
    for (const bt::RegisterValue& reg : bt::kPowerOnValues) {
        layout.registers[reg.offset / 4] = reg.value;
    }
    initialiseLock(layout.lock);

    // The magic goes in last: a layout is valid only once everything else is in place.
    __atomic_store_n(&layout.magic, kStateMagic, __ATOMIC_RELEASE);
}

} // namespace velora::virtualcard
