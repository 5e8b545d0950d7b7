// Looks keys up in arbitrary profile text and parses what it finds as integers. Besides the
// sanitizers' checks, a found value must be a piece of the text, never span a line end, and
// survive the trip through decimal text.
#include "platform/ProfileFormat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

using namespace velora::platform;

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::size_t maxChars = input.ConsumeIntegralInRange<std::size_t>(0, 600);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::optional<std::string> value = findProfileValue(text, section, key);
    if (value) {
        check(text.find(*value) != std::string::npos);
        check(value->find('\n') == std::string::npos);
        const std::int32_t number = parseProfileInt(*value);
        check(parseProfileInt(std::to_string(number)) == number);
        check(profileReadInt(text, section, key, 7) == (value->empty() ? 7 : number));
    }
    const std::string read = profileReadString(text, section, key, section, maxChars);
    check(read.size() <= maxChars);
    check(value ? value->compare(0, maxChars, read) == 0 : section.compare(0, read.size(), read) == 0);
    check(equalsIgnoringCase(section, key) == equalsIgnoringCase(key, section));
    parseProfileInt(text);
    return 0;
}
