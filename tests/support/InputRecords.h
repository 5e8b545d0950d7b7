// Records of a Linux input device as a reader of /dev/input/eventN gets them, for the tests
// and benchmarks that feed the input key source through a FIFO.
#pragma once

#include <string>

#include <linux/input.h>

namespace velora::test {

inline std::string inputRecord(unsigned short type, unsigned short code, int value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return std::string(reinterpret_cast<const char*>(&event), sizeof event);
}

// A key's record: value 1 is a press, 2 the kernel's auto-repeat, 0 the release.
inline std::string keyRecord(unsigned short code, int value)
{
    return inputRecord(EV_KEY, code, value);
}

} // namespace velora::test
