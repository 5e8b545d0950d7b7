// The shell's list on real directory trees (the Linux backend under a temporary folder), on
// a fake mount table, and with favourites and the remembered directory in memory.
#include "ShellFakes.h"
#include "fakes/MemoryFileSystem.h"
#include "fakes/MemoryProfile.h"
#include "platform/Directories.h"
#include "shell/FileTypes.h"
#include "shell/Listing.h"
#include "shell/Names.h"
#include "shell/Navigation.h"
#include "tests/support/CurrentFolder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velora::shell {
namespace {

namespace fs = std::filesystem;

class ShellListTest : public ::testing::Test
{
protected:
    void make(const std::vector<std::string>& names)
    {
        for (const std::string& name : names) {
            if (name.back() == '/') {
                m_temp.makeFolder(name);
            } else {
                m_temp.write(name, "x");
            }
        }
    }

    // name:kind for every entry, in list order.
    std::vector<std::string> shown() const
    {
        static const char* kinds[] = {"dir", "src", "video", "audio", "image", "disk", "cd", "fav", "file"};
        std::vector<std::string> out;
        for (std::int32_t i = 0; i < m_list->count; ++i) {
            const ShellEntry& e = (*m_list)[i];
            out.push_back(std::string(e.name, static_cast<std::size_t>(e.nameLength)) + ":" +
                          kinds[static_cast<int>(e.kind)]);
        }
        return out;
    }

    test::TempDir m_temp{"shell-list"};
    const fs::path& m_root = m_temp.path();
    // The tests move the process into their folders; it goes back where it was afterwards.
    test::CurrentFolder m_here{fs::current_path()};
    std::unique_ptr<EntryList> m_list = std::make_unique<EntryList>();
    test::FakeMountTable m_mounts;
    test::MemoryFileSystem m_files;
    test::MemoryProfile m_profile;
    ShellSystem m_system{platform::systemDirectories(), m_mounts, m_files, m_profile, "/opt/velora"};
};

TEST_F(ShellListTest, DirectoryListingGroupsKindsAndSortsNamesIgnoringCase)
{
    make({"pics.bmp/", "Zeta/", "(old)/", "cherry", "Banana", "apple", "_notes", "photo.JPG", "song.MP3", "clip.mpeg",
          "main.cpp", "mp3", "notes.cpp.bak", "photo.bmp.txt", "CONFIG.SYS", "MixedCase.TXT", ".hidden"});
    ASSERT_TRUE(platform::systemDirectories().changeDirectory(m_root.string()));
    m_profile.setText("velora.ini", "[KavoShell]\nShowHidden=1\n");
    ReadShellSettings(m_system);
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    EXPECT_EQ(shown(),
              (std::vector<std::string>{"(old):dir", "..:dir", "pics.bmp:dir", "Zeta:dir", "main.cpp:src",
                                        "notes.cpp.bak:src", "clip.mpeg:video", "song.MP3:audio", "photo.bmp.txt:image",
                                        "photo.JPG:image", ".hidden:file", "_notes:file", "apple:file", "Banana:file",
                                        "cherry:file", "Config.sys:file", "MixedCase.TXT:file", "mp3:file"}));
    // The name on disk is kept for opening: a prettified name would not open here.
    EXPECT_EQ((*m_list)[15].realName, "CONFIG.SYS");

    // The root lists no parent.
    ASSERT_TRUE(platform::systemDirectories().changeDirectory("/"));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    for (std::int32_t i = 0; i < m_list->count; ++i) {
        EXPECT_NE((*m_list)[i].realName, "..");
        EXPECT_NE((*m_list)[i].realName, ".");
    }
}

// Kinds by name for the tests: what the desktop's database would say of a few types.
class FakeFileTypes final : public FileTypes
{
public:
    EntryKind kindOf(std::string_view name) override
    {
        asked.emplace_back(name);
        if (name.ends_with(".mkv")) {
            return EntryKind::VideoFile;
        }
        return name.ends_with(".flac") ? EntryKind::AudioFile : EntryKind::OtherFile;
    }
    std::vector<std::string> asked;
};

TEST_F(ShellListTest, HiddenItemsAndKindsOfTheDesktopsFileTypes)
{
    make({".config/", ".hidden", "..odd", "film.mkv", "clip.mpeg", "a.flac", "x.abc", "sub/"});
    ASSERT_TRUE(platform::systemDirectories().changeDirectory(m_root.string()));
    FakeFileTypes types;
    m_system.fileTypes = &types;
    ReadShellSettings(m_system); // no setting: hidden items stay hidden, ".." is listed
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    EXPECT_EQ(shown(), (std::vector<std::string>{"..:dir", "sub:dir", "clip.mpeg:video", "film.mkv:video",
                                                 "a.flac:audio", "x.abc:file"}));
    // The extension table comes first: only names it leaves an other file are asked about.
    std::sort(types.asked.begin(), types.asked.end());
    EXPECT_EQ(types.asked, (std::vector<std::string>{"a.flac", "film.mkv", "x.abc"}));

    for (const char* setting : {"ShowHidden=1", "ShowHidden=7", "ShowHidden=0"}) {
        SCOPED_TRACE(setting);
        m_profile.setText("velora.ini", std::string("[KavoShell]\n") + setting + "\n");
        ReadShellSettings(m_system);
        ASSERT_TRUE(ListDirectory(*m_list, m_system));
        EXPECT_EQ(m_list->count, setting[11] == '0' ? 6 : 9);
    }
}

TEST_F(ShellListTest, LongNamesAreCutForShowButKeepTheirKindAndName)
{
    const std::string longName = std::string(66, 'A') + ".MP3";                  // 70 bytes, extension past the cut
    const std::string utf8Name = std::string(62, 'b') + "\xC3\xA9" + "tude.txt"; // é straddles byte 63
    make({longName, utf8Name});
    ASSERT_TRUE(platform::systemDirectories().changeDirectory(m_root.string()));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    ASSERT_EQ(m_list->count, 3);
    const ShellEntry& audio = (*m_list)[1];
    EXPECT_EQ(audio.kind, EntryKind::AudioFile);
    EXPECT_EQ(audio.nameLength, 63);
    EXPECT_EQ(std::string(audio.name), "A" + std::string(62, 'a'));
    EXPECT_EQ(audio.realName, longName);
    EXPECT_EQ(std::string((*m_list)[2].name), std::string(62, 'b'));
    EXPECT_EQ((*m_list)[2].realName, utf8Name);
}

TEST_F(ShellListTest, UnreadableDirectoryKeepsThePreviousList)
{
    make({"gone/", "a.txt"});
    ASSERT_TRUE(platform::systemDirectories().changeDirectory(m_root.string()));
    ASSERT_TRUE(ListDirectory(*m_list, m_system));
    ASSERT_EQ(m_list->count, 3);
    ASSERT_TRUE(platform::systemDirectories().changeDirectory("gone"));
    fs::remove(m_root / "gone");
    EXPECT_FALSE(ListDirectory(*m_list, m_system));
    EXPECT_EQ(m_list->count, 3);
    EXPECT_EQ((*m_list)[2].realName, "a.txt");
}

TEST_F(ShellListTest, RemovedFolderLeadsToItsNearestExistingParent)
{
    // Another program removes the folder shown and its parent. Enter on report.txt or usr
    // (which is not /usr), Backspace or a move: nothing outside it is opened or entered, and
    // the nearest folder that still exists is listed from its first row.
    const std::pair<ShellKey, int> presses[] = {
        {ShellKey::Enter, 2}, {ShellKey::Enter, 1}, {ShellKey::Backspace, 1}, {ShellKey::Down, 1}};
    for (const auto& [key, selected] : presses) {
        make({"a/b/c/usr/", "a/b/c/report.txt", "a/x.txt"});
        ASSERT_TRUE(platform::systemDirectories().changeDirectory((m_root / "a/b/c").string()));
        ASSERT_TRUE(ListDirectory(*m_list, m_system));
        ASSERT_EQ(m_list->count, 3);
        m_list->selected = selected;
        m_list->top = 1;
        fs::remove_all(m_root / "a/b");
        const KeyOutcome outcome = handleKey(*m_list, key, m_system);
        EXPECT_EQ(outcome.openFile, "");
        EXPECT_EQ(outcome.repaint, Repaint::WithErase);
        EXPECT_EQ(platform::systemDirectories().currentDirectory(), (m_root / "a").string());
        EXPECT_EQ(shown(), (std::vector<std::string>{"..:dir", "x.txt:file"}));
        EXPECT_EQ(m_list->selected, 0);
        EXPECT_EQ(m_list->top, 0);
    }
}

TEST_F(ShellListTest, ListStopsAtItsCapacity)
{
    test::FakeDirectories tree;
    std::vector<std::string> many;
    for (int i = 0; i < kEntryCapacity + 500; ++i) {
        many.push_back("f" + std::to_string(i));
    }
    tree.add("/big", many);
    ASSERT_TRUE(tree.changeDirectory("/big"));
    ShellSystem system{tree, m_mounts, m_files, m_profile, ""};
    ASSERT_TRUE(ListDirectory(*m_list, system));
    EXPECT_EQ(m_list->count, kEntryCapacity);

    // Favourites are added only while there is room.
    m_files.put("fav.dat", "A,/a\nB,/b\n");
    m_mounts.list = {{"/", platform::DriveType::FixedDisk}};
    ListDrivesAndFavourites(*m_list, system);
    EXPECT_EQ(m_list->count, 3);
    for (int i = 0; i < kEntryCapacity; ++i) {
        AppendFavourites(*m_list, "L,/t\n");
    }
    EXPECT_EQ(m_list->count, kEntryCapacity);
}

TEST_F(ShellListTest, DrivesComeFromTheMountTableWithTheCurrentOneSelected)
{
    test::FakeDirectories tree;
    tree.add("/home/user/videos");
    ASSERT_TRUE(tree.changeDirectory("/home/user/videos"));
    ShellSystem system{tree, m_mounts, m_files, m_profile, "/opt/velora"};
    m_mounts.list = {{"/", platform::DriveType::FixedDisk},
                     {"/home", platform::DriveType::FixedDisk},
                     {"/home/user/vid", platform::DriveType::FixedDisk}, // a prefix, but not of a whole name
                     {"/media/cdrom", platform::DriveType::CdRom}};
    m_list->top = 5;
    ListDrives(*m_list, system);
    EXPECT_EQ(shown(), (std::vector<std::string>{"/:disk", "/home/:disk", "/home/user/vid/:disk", "/media/cdrom/:cd"}));
    EXPECT_EQ(m_list->selected, 1);
    EXPECT_EQ(m_list->top, 0);
    EXPECT_EQ((*m_list)[3].realName, "/media/cdrom");

    // Favourites follow the drives in file order; a missing file leaves the drives alone.
    ListDrivesAndFavourites(*m_list, system);
    EXPECT_EQ(m_list->count, 4);
    m_files.put("/opt/velora/fav.dat", "Movies,/home/user/videos\r\n"
                                       "only one field\n"
                                       "\n"
                                       ",,Music, /music ,ignored\n"
                                       "Label," +
                                           std::string(80, 'p') + "\n" + std::string(600, 'x') + ",/second\n");
    ListDrivesAndFavourites(*m_list, system);
    ASSERT_EQ(m_list->count, 8);
    EXPECT_EQ(m_list->selected, 1);
    EXPECT_EQ(std::string((*m_list)[4].name), "Movies");
    EXPECT_EQ((*m_list)[4].realTarget, "/home/user/videos");
    EXPECT_EQ(std::string((*m_list)[5].name), "Music");
    EXPECT_EQ((*m_list)[5].realTarget, " /music ");
    EXPECT_EQ(std::string((*m_list)[6].target), std::string(63, 'p'));
    EXPECT_EQ((*m_list)[6].realTarget, std::string(80, 'p'));
    // A 600-byte line is read as 511 bytes and then the rest, which holds two fields.
    EXPECT_EQ(std::string((*m_list)[7].name), std::string(63, 'x'));
    EXPECT_EQ((*m_list)[7].realName, std::string(600 - 511, 'x'));
    EXPECT_EQ((*m_list)[7].kind, EntryKind::Favourite);
}

TEST_F(ShellListTest, LastDirectoryIsRestoredAndSavedWhileTheDriveListIsShown)
{
    make({"sub/"});
    const std::string sub = (m_root / "sub").string();
    m_profile.setText("velora.ini", "[KavoShell]\nLastDir=" + sub + "\n");
    ASSERT_TRUE(platform::systemDirectories().changeDirectory("/"));
    EXPECT_TRUE(LoadLastDirectory(m_system));
    EXPECT_EQ(platform::systemDirectories().currentDirectory(), sub);

    m_mounts.list = {{"/", platform::DriveType::FixedDisk}};
    ListDirectory(*m_list, m_system);
    EXPECT_EQ(handleKey(*m_list, ShellKey::F1, m_system).repaint, Repaint::WithErase);
    EXPECT_EQ(handleKey(*m_list, ShellKey::Escape, m_system).close, true);
    EXPECT_TRUE(SaveLastDirectory(m_system));
    EXPECT_EQ(m_profile.readString("velora.ini", "KavoShell", "LastDir", ""), sub);

    // A directory that no longer exists is ignored at start.
    fs::remove(m_root / "sub");
    ASSERT_TRUE(platform::systemDirectories().changeDirectory("/"));
    EXPECT_FALSE(LoadLastDirectory(m_system));
    EXPECT_EQ(platform::systemDirectories().currentDirectory(), "/");
}

} // namespace
} // namespace velora::shell
