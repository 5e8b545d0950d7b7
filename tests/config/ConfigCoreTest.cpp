// The settings tool's pieces without a dialog: list semantics, data file names and where
// velora.ini lives.
#include <gtest/gtest.h>

#include "config/ChoiceList.h"
#include "config/DataNames.h"
#include "config/SettingsForm.h"
#include "config/SystemLists.h"

#include <map>

namespace velora::config {
namespace {

std::string joined(const ChoiceList& list)
{
    std::string text;
    for (const std::string& line : list.lines()) {
        text += (text.empty() ? "" : "|") + line;
    }
    return text;
}

TEST(ChoiceList, SortsIgnoringCaseAndSelectsByPrefix)
{
    ChoiceList list;
    for (const char* line : {"tuner", "Beta", "alpha", "TUNER", "Alpha", "_x"}) {
        list.addSorted(line);
    }
    // Equal lines stay in the order they came; "_" sorts before the letters.
    EXPECT_EQ("_x|alpha|Alpha|Beta|tuner|TUNER", joined(list));

    EXPECT_TRUE(list.selectPrefix("TUN"));
    EXPECT_EQ(4, list.selection());
    // No line begins with the text: the selection stays where it was.
    EXPECT_FALSE(list.selectPrefix("tunerx"));
    EXPECT_EQ(4, list.selection());
    // A line added before the selected one moves the selection along with its line.
    list.addSorted("b");
    EXPECT_EQ(5, list.selection());
    EXPECT_EQ("tuner", *list.selectedText());

    EXPECT_EQ(1, list.findExact("ALPHA"));
    EXPECT_EQ(-1, list.findExact("alph"));

    list.select(list.size());
    EXPECT_EQ(-1, list.selection());
    EXPECT_EQ(nullptr, list.selectedText());
    list.select(-2);
    EXPECT_EQ(-1, list.selection());
}

TEST(DataNames, CutAtTheFirstDotAfterLeadingDots)
{
    EXPECT_EQ("TEMIC_PAL_BG", dataListName("TEMIC_PAL_BG.tun", ".tun"));
    EXPECT_EQ("PAL", dataListName("PAL.BG.tun", ".tun"));
    EXPECT_EQ(".x", dataListName(".x.crd", ".crd"));
    EXPECT_EQ("..y", dataListName("..y.z.crd", ".crd"));
    EXPECT_EQ("Deutsch", dataListName("Deutsch.LNG", ".lng"));
    EXPECT_EQ(std::nullopt, dataListName("Default.tun.bak", ".tun"));
    EXPECT_EQ(std::nullopt, dataListName("Default.tunx", ".tun"));
    EXPECT_EQ(std::nullopt, dataListName("tun", ".tun"));
}

TEST(LocateIniFile, BesideTheProgramOrPerUser)
{
    EXPECT_EQ("/opt/velora/velora.ini", LocateIniFile("/opt/velora", true));
    EXPECT_EQ("/velora.ini", LocateIniFile("/", true));
    // A bare name: the profile module keeps it in the user's configuration folder.
    EXPECT_EQ("velora.ini", LocateIniFile("/opt/velora", false));
    EXPECT_EQ("velora.ini", LocateIniFile("", true));
}

} // namespace
} // namespace velora::config

namespace velora::config {
namespace {

class FakeFolders final : public DataFolderSource
{
public:
    std::map<std::string, std::vector<std::string>, std::less<>> folders;
    std::vector<std::string> fileNames(std::string_view folder) override
    {
        const auto found = folders.find(folder);
        return found == folders.end() ? std::vector<std::string>{} : found->second;
    }
};

TEST(UserDataFolders, TheUsersTunersAndCardsFollowTheSuitesOnce)
{
    FakeFolders suite;
    suite.folders = {
        {"tuners", {"Default.tun", "TEMIC.tun"}}, {"cards", {"Generic.crd"}}, {"channeltables", {"Europe.cht"}}};
    FakeFolders user;
    user.folders = {{"tuners", {"temic.TUN", "Mine.tun"}},
                    {"cards", {"MyCard.crd"}},
                    {"channeltables", {"Mine.cht"}},
                    {"Languages", {"Klingon.lng"}}};
    UserDataFolders both(suite, &user);
    EXPECT_EQ(both.fileNames("tuners"), (std::vector<std::string>{"Default.tun", "TEMIC.tun", "Mine.tun"}));
    EXPECT_EQ(both.fileNames("cards"), (std::vector<std::string>{"Generic.crd", "MyCard.crd"}));
    // The viewer reads channel tables and languages from the suite only.
    EXPECT_EQ(both.fileNames("channeltables"), (std::vector<std::string>{"Europe.cht"}));
    EXPECT_TRUE(both.fileNames("Languages").empty());

    UserDataFolders suiteOnly(suite, nullptr);
    EXPECT_EQ(suiteOnly.fileNames("tuners"), suite.folders["tuners"]);
}

} // namespace
} // namespace velora::config
