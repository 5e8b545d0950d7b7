// The description reader must stop, store and leave characters unread exactly where the C
// library's fscanf on the file does, because a malformed file's outcome depends on it. Each
// case reads the six tuner lines both ways and compares the stored fields and the final
// position.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tuner/FormattedInput.h"

namespace velora {
namespace {

struct Fields
{
    std::uint32_t hex[4] = {1, 2, 3, 4};
    std::int32_t dec[2] = {5, 6};
    long position = 0;
    bool operator==(const Fields&) const = default;
};

constexpr const char* kHexFormats[] = {"I2CAddress=0x%x\n", "VHFLow=0x%x\n", "VHFHigh=0x%x\n", "UHF=0x%x\n"};
constexpr const char* kDecFormats[] = {"Threshold1=%d\n", "Threshold2=%d\n"};

Fields readWithCLibrary(const std::string& text)
{
    Fields fields;
    std::string buffer = text;
    FILE* file = fmemopen(buffer.data(), buffer.size(), "r");
    if (file == nullptr || buffer.empty()) {
        if (file != nullptr) {
            std::fclose(file);
        }
        return fields;
    }
    for (int i = 0; i < 4; ++i) {
        unsigned int value = fields.hex[i];
        std::fscanf(file, kHexFormats[i], &value);
        fields.hex[i] = value;
    }
    for (int i = 0; i < 2; ++i) {
        int value = fields.dec[i];
        std::fscanf(file, kDecFormats[i], &value);
        fields.dec[i] = value;
    }
    fields.position = std::ftell(file);
    std::fclose(file);
    return fields;
}

Fields readWithFormattedInput(const std::string& text)
{
    Fields fields;
    FormattedInput input(text);
    for (int i = 0; i < 4; ++i) {
        input.scan(kHexFormats[i], &fields.hex[i]);
    }
    for (int i = 0; i < 2; ++i) {
        input.scan(kDecFormats[i], &fields.dec[i]);
    }
    fields.position = static_cast<long>(input.position());
    return fields;
}

TEST(FormattedInput, StopsAndStoresExactlyWhereTheCLibraryDoes)
{
    const std::string cases[] = {
        "I2CAddress=0xc2\nVHFLow=0x8e02\nVHFHigh=0x8e04\nUHF=0x8e01\nThreshold1=14025\nThreshold2=46325\n",
        "I2CAddress=0xC0\r\nVHFLow=0x8EA0\r\n\r\n  VHFHigh=0x8E90\n\tUHF=0x8e30\nThreshold1=16825\nThreshold2=44725",
        // First three lines only; a missing line; a leading blank or space.
        "I2CAddress=0xc0\nVHFLow=0x8ea0\nVHFHigh=0x8e90\n",
        "I2CAddress=0xc0\nVHFHigh=0x8e90\nUHF=0x8e30\nThreshold1=1\nThreshold2=2\n",
        " I2CAddress=0xc0\nVHFLow=0x8ea0\n",
        "\nI2CAddress=0xc0\nVHFLow=0x8ea0\n",
        // Capital X after the zero; a second prefix; signs; no digits; a prefix without digits.
        "I2CAddress=0Xc0\nVHFLow=0x8ea0\n",
        "I2CAddress=0x0xc0\nVHFLow=0x0X8ea0\n",
        "I2CAddress=0x-c0\nVHFLow=0x+8ea0\nVHFHigh=0x-\nUHF=0x1\nThreshold1=-5\nThreshold2=+7\n",
        "I2CAddress=0xg\nVHFLow=0x8ea0\n",
        "I2CAddress=0x0xg\nVHFLow=0x8ea0\n",
        "I2CAddress=0x 12\nVHFLow=0x\n\n34\nVHFHigh=0x56 \nUHF=0x78",
        "I2CAddress=0xc2\nVHFLow=0x8e02\nVHFHigh=0x8e04\nUHF=0x8e01\nThreshold1=-\nThreshold2=46325\n",
        "I2CAddress=0xc2\nVHFLow=0x8e02\nVHFHigh=0x8e04\nUHF=0x8e01\nThreshold1=0x10\nThreshold2=46325\n",
        // Out of range values: cut as the C library cuts them.
        "I2CAddress=0x123456789\nVHFLow=0xffffffffffffffffff\nVHFHigh=0x-1\nUHF=0x-ffffffffffffffffff\n"
        "Threshold1=99999999999\nThreshold2=-99999999999999999999\n",
        "I2CAddress=0xc2\nVHFLow=0x8e02\nVHFHigh=0x8e04\nUHF=0x8e01\nThreshold1=4294967297\nThreshold2=-2147483649\n",
        // Truncated in the middle of a key, of a prefix and of a number.
        "I2CAddress=0xc2\nVHFL",
        "I2CAddress=0",
        "I2CAddress=0x",
        "I2CAddress=0x00000000000000000000000000c2\n",
        "",
        "\n\n\n",
        "i2caddress=0xc2\n",
        "I2CAddress = 0xc2\n",
        "I2CAddress=0xc2VHFLow=0x8e02UHF=0x1",
        std::string("I2CAddress=0xc2\0VHFLow=0x1\n", 27),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(readWithFormattedInput(text), readWithCLibrary(text));
    }
}

TEST(FormattedInput, ReportsWhatItStored)
{
    std::uint32_t value = 7;
    FormattedInput ended("");
    EXPECT_EQ(ended.scan("UHF=0x%x\n", &value), -1);
    FormattedInput mismatch("UHF=0Xab");
    EXPECT_EQ(mismatch.scan("UHF=0x%x\n", &value), 0);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(mismatch.position(), 5u); // the "X" stays unread
    FormattedInput good("UHF=0xAb\n\n  next");
    EXPECT_EQ(good.scan("UHF=0x%x\n", &value), 1);
    EXPECT_EQ(value, 0xABu);
    EXPECT_EQ(good.position(), 12u); // the white space after the line is consumed too
}

} // namespace
} // namespace velora
