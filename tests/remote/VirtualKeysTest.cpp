#include <gtest/gtest.h>

#include <set>
#include <string>

#include "remote/RemoteKeys.h"
#include "remote/VirtualKeys.h"

namespace velora::remote {
namespace {

TEST(VirtualKeys, NamesLookUpExactlyAndOtherNamesGiveTheirFirstCharacter)
{
    EXPECT_EQ(LookupVirtualKey("VK_RETURN"), 0x0D);
    EXPECT_EQ(LookupVirtualKey("VK_HANGUL"), 0x15);
    EXPECT_EQ(LookupVirtualKey("VK_F24"), 0x87);
    EXPECT_EQ(LookupVirtualKey("VK_OEM_CLEAR"), 0xFE);
    EXPECT_EQ(LookupVirtualKey("a"), 0x41);
    EXPECT_EQ(LookupVirtualKey("A"), 0x41);
    EXPECT_EQ(LookupVirtualKey("7"), 0x37);
    EXPECT_EQ(LookupVirtualKey("Shift"), 0x53); // the S key, not Shift
    EXPECT_EQ(LookupVirtualKey("vk_return"), 0x56);
    EXPECT_EQ(LookupVirtualKey("VK_RETURNX"), 0x56);
    EXPECT_EQ(LookupVirtualKey(""), 0);
}

TEST(VirtualKeys, TablesHaveTheirShape)
{
    // Names are unique in the virtual-key table; codes in the receiver table are distinct,
    // have their low three bits clear and name every key but Power once.
    std::set<std::string> names;
    for (const VirtualKeyName& row : VirtualKeyTable) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
    }
    std::set<std::uint32_t> codes;
    std::set<RemoteKey> keys;
    for (const IrCode& row : IrCodeTable) {
        EXPECT_TRUE(codes.insert(row.code).second) << row.logName;
        EXPECT_EQ(row.code & 7u, 0u) << row.logName;
        EXPECT_TRUE(keys.insert(row.key).second) << row.logName;
    }
    EXPECT_EQ(keys.count(0), 0u);
    EXPECT_EQ(keys.size(), 31u);
    EXPECT_EQ(findIrCode(0xB8)->logName, std::string("RK_WINDOW"));
    EXPECT_EQ(KeyNameTable[findIrCode(0xB8)->key], std::string("Frame"));
    EXPECT_EQ(findKeyName("FullScreen"), 2);
    EXPECT_FALSE(findKeyName("fullscreen"));
}

} // namespace
} // namespace velora::remote
