// The key table and the opening of entries, as pure logic on an in-memory tree.
#include "ShellFakes.h"
#include "fakes/MemoryFileSystem.h"
#include "fakes/MemoryProfile.h"
#include "shell/Navigation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velora::shell {
namespace {

class ShellNavigationTest : public ::testing::Test
{
protected:
    ShellNavigationTest() : m_list(std::make_unique<EntryList>())
    {
        m_mounts.list = {{"/", platform::DriveType::FixedDisk}, {"/media/cdrom", platform::DriveType::CdRom}};
    }

    // Lists a directory of n files f00, f01, ... (".." first) as if the screen showed rows.
    void listFiles(int n, int rows)
    {
        std::vector<std::string> files;
        for (int i = 0; i < n - 1; ++i) {
            files.push_back((i < 10 ? "f0" : "f") + std::to_string(i));
        }
        const std::string path = "/files" + std::to_string(n);
        m_tree.add(path, files);
        ASSERT_TRUE(m_tree.changeDirectory(path));
        ASSERT_TRUE(ListDirectory(*m_list, m_system));
        ASSERT_EQ(m_list->count, n);
        m_list->rowsShown = rows;
    }

    KeyOutcome press(ShellKey key) { return handleKey(*m_list, key, m_system); }

    void expectView(std::int32_t selected, std::int32_t top)
    {
        EXPECT_EQ(m_list->selected, selected);
        EXPECT_EQ(m_list->top, top);
    }

    std::string selectedName() const { return std::string((*m_list)[m_list->selected].realName); }

    std::unique_ptr<EntryList> m_list;
    test::FakeDirectories m_tree;
    test::FakeMountTable m_mounts;
    test::MemoryFileSystem m_files;
    test::MemoryProfile m_profile;
    ShellSystem m_system{m_tree, m_mounts, m_files, m_profile, "/opt/velora"};
};

TEST_F(ShellNavigationTest, MovingAndPagingFollowTheKeyTable)
{
    listFiles(10, 10); // a paint from top 0 with room for 16 rows drew all 10
    EXPECT_EQ(press(ShellKey::Up).repaint, Repaint::WithoutErase);
    expectView(0, 0);
    EXPECT_EQ(press(ShellKey::PageDown).repaint, Repaint::WithoutErase);
    expectView(9, 9);
    m_list->rowsShown = 1; // the next paint drew that one row
    press(ShellKey::Down);
    expectView(9, 9);
    press(ShellKey::Up);
    expectView(8, 8);

    listFiles(100, 16);
    press(ShellKey::End);
    expectView(99, 84);
    press(ShellKey::Home);
    expectView(0, 0);
    for (int i = 0; i < 16; ++i) {
        press(ShellKey::Down);
    }
    expectView(16, 1); // scrolled by one row as the highlight left the screen
    m_list->selected = 5;
    m_list->top = 3;
    press(ShellKey::PageUp);
    expectView(0, 0);
    m_list->selected = 40;
    m_list->top = 30;
    press(ShellKey::PageUp);
    expectView(24, 24);
    press(ShellKey::PageDown);
    expectView(40, 40);

    EXPECT_EQ(press(ShellKey::Other).repaint, Repaint::None);
    EXPECT_TRUE(press(ShellKey::Escape).close);
}

TEST_F(ShellNavigationTest, EmptyListStaysHarmless)
{
    m_list->rowsShown = 16;
    press(ShellKey::End);
    expectView(0, 0);
    press(ShellKey::PageDown);
    expectView(0, 0);
    const KeyOutcome enter = press(ShellKey::Enter);
    EXPECT_EQ(enter.repaint, Repaint::None);
    EXPECT_TRUE(enter.openFile.empty());
    EXPECT_EQ(m_tree.currentDirectory(), "/");
    // Backspace finds no parent entry and offers the drives, a way out of a failed listing.
    EXPECT_EQ(press(ShellKey::Backspace).repaint, Repaint::WithErase);
    EXPECT_EQ(m_list->count, 2);
}

TEST_F(ShellNavigationTest, WheelScrollsAndClicksHighlightOnlyWhatIsShown)
{
    EXPECT_FALSE(ScrollRows(*m_list, 3)); // nothing listed, nothing painted
    EXPECT_FALSE(SelectShownRow(*m_list, 0));
    listFiles(100, 16);
    // Scrolling down takes the highlight along once its row leaves the screen.
    EXPECT_TRUE(ScrollRows(*m_list, 3));
    expectView(3, 3);
    EXPECT_TRUE(ScrollRows(*m_list, -10));
    expectView(3, 0);
    // No further than the last entry on the last row, nor above the first.
    EXPECT_TRUE(ScrollRows(*m_list, 1000));
    expectView(84, 84);
    EXPECT_FALSE(ScrollRows(*m_list, 1));
    EXPECT_TRUE(SelectShownRow(*m_list, 15));
    expectView(99, 84);
    EXPECT_TRUE(ScrollRows(*m_list, -1000));
    expectView(15, 0);
    EXPECT_FALSE(ScrollRows(*m_list, -1));
    // Rows below the last entry painted, or outside the rows, select nothing.
    EXPECT_FALSE(SelectShownRow(*m_list, 16));
    EXPECT_FALSE(SelectShownRow(*m_list, -1));
    listFiles(5, 5);
    EXPECT_FALSE(SelectShownRow(*m_list, 5));
    EXPECT_TRUE(SelectShownRow(*m_list, 4));
    expectView(4, 0);
}

TEST_F(ShellNavigationTest, EnteringAndLeavingDirectories)
{
    std::vector<std::string> dirs = {"(old)/", "ART/"};
    for (int i = 0; i < 40; ++i) {
        dirs.push_back("d" + std::to_string(10 + i) + "/");
    }
    m_tree.add("/A", dirs);
    m_tree.add("/A/d30", {"clip.mpg", "(draft)/"});
    ASSERT_TRUE(m_tree.changeDirectory("/A/d30"));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    m_list->rowsShown = 16;

    // Backspace goes up even where a name sorts before "..", and highlights the directory
    // just left near the middle of the screen.
    EXPECT_EQ(std::string((*m_list)[0].name), "(draft)");
    EXPECT_EQ(press(ShellKey::Backspace).repaint, Repaint::WithErase);
    EXPECT_EQ(m_tree.currentDirectory(), "/A");
    EXPECT_EQ(selectedName(), "d30");
    expectView(23, 15); // (old), .., ART, d10 ... d30 at 23; 23 - 16 / 2
    // The shown name is prettified; the directory on disk is entered by its own name.
    m_list->selected = 2;
    EXPECT_EQ(std::string((*m_list)[2].name), "Art");
    press(ShellKey::Enter);
    EXPECT_EQ(m_tree.currentDirectory(), "/A/ART");
    expectView(0, 0);
    press(ShellKey::Backspace);
    expectView(2, 0); // near the top: not scrolled above the first entry

    // A file is handed out whole and nothing changes on screen.
    ASSERT_TRUE(m_tree.changeDirectory("/A/d30"));
    ListDirectory(*m_list, m_system);
    m_list->selected = 2;
    const KeyOutcome open = press(ShellKey::Enter);
    EXPECT_EQ(open.openFile, "/A/d30/clip.mpg");
    EXPECT_EQ(open.repaint, Repaint::None);
    EXPECT_EQ(m_list->selected, 2);
    EXPECT_EQ(m_tree.currentDirectory(), "/A/d30");
}

TEST_F(ShellNavigationTest, DrivesAndFavourites)
{
    m_tree.add("/home/user", {"a.txt"});
    m_tree.add("/srv/media");
    m_files.put("/opt/velora/fav.dat", "Media,/srv/media\nGone,/nowhere\n");
    ASSERT_TRUE(m_tree.changeDirectory("/home/user"));
    ListDirectory(*m_list, m_system);

    // The CD-ROM drive has no disc: the directory before F1 is listed again.
    press(ShellKey::F1);
    expectView(0, 0);
    m_list->selected = 1;
    EXPECT_EQ(press(ShellKey::Enter).repaint, Repaint::WithErase);
    EXPECT_EQ(m_tree.currentDirectory(), "/home/user");
    EXPECT_EQ(selectedName(), "..");

    // At the root there is no "..": Backspace shows the drives with the current one
    // highlighted, and again in the drive list.
    press(ShellKey::F1);
    press(ShellKey::Enter);
    EXPECT_EQ(m_tree.currentDirectory(), "/");
    press(ShellKey::Backspace);
    EXPECT_EQ(m_list->count, 2);
    press(ShellKey::Backspace);
    EXPECT_EQ(m_list->count, 2);
    EXPECT_EQ(selectedName(), "/");

    EXPECT_EQ(press(ShellKey::F2).repaint, Repaint::WithErase);
    ASSERT_EQ(m_list->count, 4);
    m_list->selected = 3;
    press(ShellKey::Enter); // a favourite whose directory is gone: nothing moves
    EXPECT_EQ(m_tree.currentDirectory(), "/");
    press(ShellKey::F2);
    m_list->selected = 2;
    press(ShellKey::Enter);
    EXPECT_EQ(m_tree.currentDirectory(), "/srv/media");
    expectView(0, 0);

    // A user's own fav.dat comes before the one beside the program.
    m_system.userDirectory = "/home/user/.config/velora";
    m_files.put("/home/user/.config/velora/fav.dat", "Home,/home/user\n");
    press(ShellKey::F2);
    ASSERT_EQ(m_list->count, 3);
    m_list->selected = 2;
    press(ShellKey::Enter);
    EXPECT_EQ(m_tree.currentDirectory(), "/home/user");
}

TEST_F(ShellNavigationTest, FolderRemovedWhileTheDrivesAreShown)
{
    m_tree.add("/home/user/clips/new", {"a.mpg"});
    m_tree.add("/home/user/tmp");
    ASSERT_TRUE(m_tree.changeDirectory("/home/user/clips/new"));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    m_list->rowsShown = 16;
    press(ShellKey::F1);
    m_tree.remove("/home/user/clips");
    // The drive list stays; the drive without a disc falls back to the folder current
    // before, which is gone, so its nearest existing parent is listed instead.
    press(ShellKey::Down);
    expectView(1, 0);
    EXPECT_EQ(press(ShellKey::Enter).repaint, Repaint::WithErase);
    EXPECT_EQ(m_tree.currentDirectory(), "/home/user");
    EXPECT_EQ(selectedName(), "..");

    // Escape closes in the parent, so that a folder that exists is remembered.
    ASSERT_TRUE(m_tree.changeDirectory("tmp"));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    m_tree.remove("/home/user");
    EXPECT_TRUE(press(ShellKey::Escape).close);
    EXPECT_EQ(m_tree.currentDirectory(), "/home");

    // A folder that can be entered but not read is left again: a file of the list shown
    // still opens from the folder shown.
    m_tree.add("/srv", {"locked/", "y.txt"});
    m_tree.lock("/srv/locked");
    ASSERT_TRUE(m_tree.changeDirectory("/srv"));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    m_list->selected = 1;
    press(ShellKey::Enter);
    EXPECT_EQ(m_tree.currentDirectory(), "/srv");
    m_list->selected = 2;
    EXPECT_EQ(press(ShellKey::Enter).openFile, "/srv/y.txt");
}

} // namespace
} // namespace velora::shell
