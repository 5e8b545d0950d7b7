#include <gtest/gtest.h>

#include "fakes/MemoryFileSystem.h"
#include "platform/SearchPathFileSystem.h"

namespace velora::platform {
namespace {

TEST(SearchPathFileSystem, RelativePathsFromTheCurrentFolderThenEachFolderInOrder)
{
    test::MemoryFileSystem base;
    base.put("Tuners/Here.tun", "current");
    base.put("/usr/lib/velora/Tuners/Here.tun", "suite");
    base.put("/usr/lib/velora/Tuners/Both.tun", "suite");
    base.put("/home/u/.local/share/velora/Tuners/Both.tun", "user");
    base.put("/home/u/.local/share/velora/TUNERS/Mine.TUN", "user");
    base.put("/elsewhere/x.mac", "absolute");
    SearchPathFileSystem files(base, {"/usr/lib/velora", "", "/home/u/.local/share/velora/"});
    EXPECT_EQ(files.folders().size(), 2u);

    EXPECT_EQ(files.findIgnoringCase("Tuners/Here.tun"), "Tuners/Here.tun");
    EXPECT_EQ(files.findIgnoringCase("Tuners/Both.tun"), "/usr/lib/velora/Tuners/Both.tun");
    // Each folder is searched as the base searches: without regard to case.
    const auto mine = files.findIgnoringCase("tuners/mine.tun");
    ASSERT_TRUE(mine);
    EXPECT_EQ(*mine, "/home/u/.local/share/velora/TUNERS/Mine.TUN");
    EXPECT_EQ(files.readText(*mine), "user");
    EXPECT_FALSE(files.findIgnoringCase("Tuners/None.tun"));
    // An absolute path is only ever itself.
    EXPECT_EQ(files.findIgnoringCase("/elsewhere/x.mac"), "/elsewhere/x.mac");
    EXPECT_FALSE(files.findIgnoringCase("/Tuners/Both.tun"));
    EXPECT_FALSE(files.findIgnoringCase(""));

    // Without folders: the base alone.
    SearchPathFileSystem plain(base, {});
    EXPECT_FALSE(plain.findIgnoringCase("Tuners/Both.tun"));
}

} // namespace
} // namespace velora::platform
