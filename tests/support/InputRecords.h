// Records of a Linux input device as a reader of /dev/input/eventN gets them, for the tests
// and benchmarks that feed the input key source through a FIFO, and the records a virtual
// device writes, read back as text.
#pragma once

#include <cstring>
#include <string>
#include <vector>

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

// The records in bytes, each as "type code value" with the type's name ("EV_KEY 28 1",
// "EV_REL 0 -10", "EV_SYN 0 0"), the time left out; a trailing part record is "partial".
inline std::vector<std::string> inputRecordTexts(const std::string& bytes)
{
    std::vector<std::string> texts;
    std::size_t at = 0;
    for (; at + sizeof(input_event) <= bytes.size(); at += sizeof(input_event)) {
        input_event event{};
        std::memcpy(&event, bytes.data() + at, sizeof event);
        const std::string type = event.type == EV_KEY   ? "EV_KEY"
                                 : event.type == EV_REL ? "EV_REL"
                                 : event.type == EV_ABS ? "EV_ABS"
                                 : event.type == EV_SYN ? "EV_SYN"
                                                        : std::to_string(event.type);
        texts.push_back(type + " " + std::to_string(event.code) + " " + std::to_string(event.value));
    }
    if (at != bytes.size()) {
        texts.push_back("partial");
    }
    return texts;
}

} // namespace velora::test
