// Fuzzes the description-file reader against fscanf called directly on the same bytes: for
// any text, the six tuner lines and the nine card lines must store the same values and stop
// at the same character, whatever the way the text takes to the C library. Any difference
// aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tuner/FormattedInput.h"

namespace {

constexpr const char* kFormats[] = {
    "I2CAddress=0x%x\n", "VHFLow=0x%x\n",     "VHFHigh=0x%x\n",      "UHF=0x%x\n",       "Threshold1=%d\n",
    "Threshold2=%d\n",   "VideoTuner=0x%x\n", "VideoSource1=0x%x\n", "AudioMask=0x%x\n",
};
constexpr int kLines = sizeof kFormats / sizeof kFormats[0];

bool isDecimal(const char* format)
{
    return std::string(format).find("%d") != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);

    std::uint32_t ours[kLines];
    std::uint32_t theirs[kLines];
    for (int i = 0; i < kLines; ++i) {
        ours[i] = theirs[i] = 0x5A5A0000u + static_cast<std::uint32_t>(i);
    }

    velora::FormattedInput input(text);
    for (int i = 0; i < kLines; ++i) {
        if (isDecimal(kFormats[i])) {
            auto* field = reinterpret_cast<std::int32_t*>(&ours[i]);
            input.scan(kFormats[i], field);
        } else {
            input.scan(kFormats[i], &ours[i]);
        }
    }

    long theirPosition = 0;
    if (!text.empty()) {
        FILE* file = fmemopen(text.data(), text.size(), "r");
        if (file == nullptr) {
            return 0;
        }
        for (int i = 0; i < kLines; ++i) {
            if (isDecimal(kFormats[i])) {
                int value = static_cast<int>(theirs[i]);
                std::fscanf(file, kFormats[i], &value);
                theirs[i] = static_cast<std::uint32_t>(value);
            } else {
                unsigned value = theirs[i];
                std::fscanf(file, kFormats[i], &value);
                theirs[i] = value;
            }
        }
        theirPosition = std::ftell(file);
        std::fclose(file);
    }

    for (int i = 0; i < kLines; ++i) {
        if (ours[i] != theirs[i]) {
            std::fprintf(stderr, "line %d (%s): reader stored 0x%x, fscanf 0x%x\n", i, kFormats[i], ours[i], theirs[i]);
            std::abort();
        }
    }
    if (static_cast<long>(input.position()) != theirPosition) {
        std::fprintf(stderr, "reader stopped at %zu, fscanf at %ld\n", input.position(), theirPosition);
        std::abort();
    }
    return 0;
}
