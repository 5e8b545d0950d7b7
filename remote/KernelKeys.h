// The Linux kernel's names and numbers of remote-control keys (those of its input layer, which
// rc keymaps and lircd.conf files use: KEY_UP, KEY_CHANNELUP, KEY_OK...) and the remote key each
// one lands on. One table serves both event sources: LIRC reports a button by its name, an
// input device by its number. The numbers are the kernel's ABI (linux/input-event-codes.h).
#pragma once

#include <optional>
#include <string_view>

#include "remote/RemoteKeys.h"

namespace velora::remote {

struct KernelKey
{
    const char* name; // KEY_...
    int code;         // the EV_KEY code of an input event
    RemoteKey key;
};

extern const KernelKey KernelKeyTable[];
extern const int kKernelKeyCount;

// The remote key of a kernel key number, or nothing when the table has none.
std::optional<RemoteKey> findKernelKeyCode(int code);

// The remote key of a LIRC button name: a kernel key name, else one of the remote's own key
// names (as macro files spell them: "ChannelUp"). Case counts. Nothing for any other name.
std::optional<RemoteKey> findButtonName(std::string_view name);

} // namespace velora::remote
