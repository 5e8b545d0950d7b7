#include "platform/ProfileFormat.h"

#include "fakes/MemoryProfile.h"

#include <gtest/gtest.h>

#include <string>

using namespace velora::platform;

TEST(ProfileFormat, FindsValuesByWindowsRules)
{
    const std::string text = "orphan=before any section\n"
                             "[tv]\r\n"
                             "  TUNER =  PHILIPS_PAL \r\n"
                             "Card=\"Generic card\"\n"
                             "Single='x'\n"
                             "Mismatched=\"x'\n"
                             "Lone=\"\n"
                             "Inner= \" padded \" \n"
                             "Expr=a=b\n"
                             "; Quality=9\n"
                             "Quality\n"
                             "Empty=\n"
                             "[ Global ] ; trailing text\n"
                             "Language=English\n"
                             "[TV]\n"
                             "Extra=only in the second TV section\n"
                             "[Broken\n"
                             "Key=in a header without bracket";

    EXPECT_EQ(findProfileValue(text, "TV", "Tuner"), "PHILIPS_PAL");
    EXPECT_EQ(findProfileValue(text, " tv ", " tuner "), "PHILIPS_PAL");
    EXPECT_EQ(findProfileValue(text, "TV", "card"), "Generic card");
    EXPECT_EQ(findProfileValue(text, "TV", "Single"), "x");
    EXPECT_EQ(findProfileValue(text, "TV", "Mismatched"), "\"x'");
    EXPECT_EQ(findProfileValue(text, "TV", "Lone"), "\"");
    EXPECT_EQ(findProfileValue(text, "TV", "Inner"), " padded ");
    EXPECT_EQ(findProfileValue(text, "TV", "Expr"), "a=b");
    EXPECT_EQ(findProfileValue(text, "TV", "Empty"), "");
    EXPECT_EQ(findProfileValue(text, "GLOBAL", "language"), "English");
    EXPECT_EQ(findProfileValue(text, "Broken", "Key"), "in a header without bracket");

    EXPECT_EQ(findProfileValue(text, "TV", "Quality"), std::nullopt) << "comments and lines without '=' never match";
    EXPECT_EQ(findProfileValue(text, "TV", "Extra"), std::nullopt) << "only the first TV section is searched";
    EXPECT_EQ(findProfileValue(text, "TV", "orphan"), std::nullopt);
    EXPECT_EQ(findProfileValue(text, "TV", "Language"), std::nullopt);
    EXPECT_EQ(findProfileValue(text, "Missing", "Tuner"), std::nullopt);
    EXPECT_EQ(findProfileValue(text, "", "orphan"), std::nullopt);
    EXPECT_EQ(findProfileValue(text, "TV", ""), std::nullopt);
    EXPECT_EQ(findProfileValue("[A]\nk=v\r", "a", "K"), "v") << "a CR cut off from its LF still ends the line";
}

TEST(ProfileFormat, ParsesIntegersLikeTheOriginal)
{
    EXPECT_EQ(parseProfileInt("42"), 42);
    EXPECT_EQ(parseProfileInt(" \t-17"), -17);
    EXPECT_EQ(parseProfileInt("+5"), 5);
    EXPECT_EQ(parseProfileInt("12abc"), 12);
    EXPECT_EQ(parseProfileInt("1 2"), 1);
    EXPECT_EQ(parseProfileInt("abc"), 0);
    EXPECT_EQ(parseProfileInt("-"), 0);
    EXPECT_EQ(parseProfileInt(""), 0);
    EXPECT_EQ(parseProfileInt("0x10"), 0);
    EXPECT_EQ(parseProfileInt("2147483647"), 2147483647);
    EXPECT_EQ(parseProfileInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseProfileInt("4294967297"), 1) << "wraps modulo 2^32";
}

TEST(ProfileFormat, ReadResultsApplyDefaultsAndCut)
{
    const std::string text = "[S]\nNum= -3x\nBlank=  \nQuoted=\"\"\nWord=abc\nLong=" + std::string(600, 'a') + "\n";

    EXPECT_EQ(profileReadString(std::nullopt, "S", "Word", "fallback \t ", 511), "fallback");
    EXPECT_EQ(profileReadString(text, "S", "Missing", "  keep leading  ", 511), "  keep leading");
    EXPECT_EQ(profileReadString(text, "S", "Word", "d", 511), "abc");
    EXPECT_EQ(profileReadString(text, "S", "Blank", "d", 511), "") << "an empty value is still a value";
    EXPECT_EQ(profileReadString(text, "S", "Long", "d", kProfileTextMax), std::string(511, 'a'));
    EXPECT_EQ(profileReadString(text, "S", "Word", "d", 2), "ab");
    EXPECT_EQ(profileReadString(text, "S", "Missing", "default", 3), "def");

    EXPECT_EQ(profileReadInt(std::nullopt, "S", "Num", 7), 7);
    EXPECT_EQ(profileReadInt(text, "S", "Num", 7), -3);
    EXPECT_EQ(profileReadInt(text, "S", "Missing", 7), 7);
    EXPECT_EQ(profileReadInt(text, "S", "Blank", 7), 7);
    EXPECT_EQ(profileReadInt(text, "S", "Quoted", 7), 7);
    EXPECT_EQ(profileReadInt(text, "S", "Word", 7), 0);
}

TEST(ProfileFormat, SetReplacesExistingKeyInPlace)
{
    // Mixed line ends and no final newline: only the value of the first TV/Tuner changes.
    const std::string text = "; header comment\n"
                             "[Other]\r\n"
                             "Tuner=not this one\r\n"
                             "[TV]\n"
                             "  TUNER = old \r\n"
                             "tuner=duplicate\n"
                             "[tv]\n"
                             "Tuner=second section";
    EXPECT_EQ(setProfileValue(text, "tv", "Tuner", "NEW"), "; header comment\n"
                                                           "[Other]\r\n"
                                                           "Tuner=not this one\r\n"
                                                           "[TV]\n"
                                                           "  TUNER=NEW\r\n"
                                                           "tuner=duplicate\n"
                                                           "[tv]\n"
                                                           "Tuner=second section");
    EXPECT_EQ(setProfileValue("[A]\nk=1", "A", "K", "2"), "[A]\nk=2");
}

TEST(ProfileFormat, SetInsertsNewKeyAfterLastKeyOfSection)
{
    const std::string text = "[TV]\r\n"
                             "Tuner=X\r\n"
                             "; a comment after the keys\r\n"
                             "\r\n"
                             "[Global]\r\n";
    EXPECT_EQ(setProfileValue(text, "TV", "Card", "Generic"), "[TV]\r\n"
                                                              "Tuner=X\r\n"
                                                              "Card=Generic\r\n"
                                                              "; a comment after the keys\r\n"
                                                              "\r\n"
                                                              "[Global]\r\n");
    EXPECT_EQ(setProfileValue(text, "Global", "Font", "Arial"), text + "Font=Arial\r\n");
    EXPECT_EQ(setProfileValue("[Empty]\n; note\n[B]\n", "empty", "k", "v"), "[Empty]\nk=v\n; note\n[B]\n");
    EXPECT_EQ(setProfileValue("[A]", "A", "k", "v"), "[A]\nk=v\n") << "a line end is added to the last line";
    EXPECT_EQ(setProfileValue("[A]\r\nx=1\r", "A", "k", "v"), "[A]\r\nx=1\r\nk=v\r\n");
}

TEST(ProfileFormat, SetAppendsNewSectionAtEnd)
{
    EXPECT_EQ(setProfileValue("", "TV", "Tuner", "X"), "[TV]\nTuner=X\n");
    EXPECT_EQ(setProfileValue("[A]\r\nk=1\r\n", " B ", " key ", " v "), "[A]\r\nk=1\r\n\r\n[B]\r\nkey= v \r\n");
    EXPECT_EQ(setProfileValue("[A]\nk=1\n\n", "B", "k", "v"), "[A]\nk=1\n\n[B]\nk=v\n") << "no second blank line";
    EXPECT_EQ(setProfileValue("[A]\nk=1", "B", "k", "v"), "[A]\nk=1\n\n[B]\nk=v\n");
    EXPECT_EQ(setProfileValue("k=orphan\n", "B", "k", "v"), "k=orphan\n\n[B]\nk=v\n")
        << "a key before any section is not the section's key";
}

TEST(ProfileFormat, RefusesEntriesThatWouldChangeTheStructure)
{
    EXPECT_TRUE(isStorableProfileEntry("TV", "Tuner", " any text; with = and [brackets] "));
    EXPECT_FALSE(isStorableProfileEntry("TV", "Tuner", "two\nlines"));
    EXPECT_FALSE(isStorableProfileEntry("TV", "Tuner", "cr\r"));
    EXPECT_FALSE(isStorableProfileEntry("TV", "a=b", "v"));
    EXPECT_FALSE(isStorableProfileEntry("TV", " [x", "v"));
    EXPECT_FALSE(isStorableProfileEntry("TV", ";x", "v"));
    EXPECT_FALSE(isStorableProfileEntry("TV", " ", "v"));
    EXPECT_FALSE(isStorableProfileEntry("T]V", "k", "v"));
    EXPECT_FALSE(isStorableProfileEntry("", "k", "v"));

    const std::string text = "[TV]\nTuner=X\n";
    EXPECT_EQ(setProfileValue(text, "TV", "Tuner", "Y\n[Evil]\nk=v"), text);
}

TEST(ProfileFormat, MemoryProfileReadsWhatItWrote)
{
    velora::test::MemoryProfile profile;
    EXPECT_EQ(profile.readInt("velora.ini", "TV", "Quality", 3), 3);
    EXPECT_TRUE(profile.writeInt("velora.ini", "TV", "Quality", -1));
    EXPECT_TRUE(profile.writeString("velora.ini", "TV", "Tuner", "X"));
    EXPECT_EQ(profile.text("velora.ini"), "[TV]\nQuality=-1\nTuner=X\n");
    EXPECT_EQ(profile.readInt("velora.ini", "tv", "quality", 3), -1);
    EXPECT_EQ(profile.text("other.ini"), std::nullopt);

    profile.setFailWrites(true);
    EXPECT_FALSE(profile.writeString("velora.ini", "TV", "Tuner", "Y"));
    EXPECT_EQ(profile.readString("velora.ini", "TV", "Tuner", ""), "X");
    EXPECT_EQ(profile.writeCount(), 3);
}
