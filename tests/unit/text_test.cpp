#include "install/text.h"

#include <gtest/gtest.h>
#include <string>

TEST(Text, CopyFitsOrRefusesWhole)
{
    char buf[8] = "old";
    EXPECT_EQ(0, copyText(buf, sizeof buf, "1234567"));
    EXPECT_STREQ("1234567", buf);
    EXPECT_EQ(-1, copyText(buf, sizeof buf, "12345678"));
    EXPECT_STREQ("", buf);
}

TEST(Text, AppendKeepsTheBoundAndNeverCuts)
{
    char buf[8] = "C:\\";
    EXPECT_EQ(0, appendText(buf, sizeof buf, "ABCD"));
    EXPECT_STREQ("C:\\ABCD", buf);
    EXPECT_EQ(-1, appendText(buf, sizeof buf, "E"));
    EXPECT_STREQ("", buf);
}

TEST(Text, FormatRefusesWhatDoesNotFit)
{
    char buf[textSize];
    EXPECT_EQ(0, formatText(buf, sizeof buf, "%s\\%s", "C:", "QUILLMRK"));
    EXPECT_STREQ("C:\\QUILLMRK", buf);
    std::string longName(250, 'x');
    EXPECT_EQ(-1, formatText(buf, sizeof buf, "C:\\%s\\%s", longName.c_str(), "quillmrk.dat"));
    EXPECT_STREQ("", buf);
}

TEST(Text, CaseIsIgnoredForAsciiLettersOnly)
{
    EXPECT_TRUE(equalsIgnoringCase("QUILLMRK.DAT", "quillmrk.dat"));
    EXPECT_TRUE(equalsIgnoringCase("VzFontMap", "VZFONTMAP"));
    EXPECT_FALSE(equalsIgnoringCase("quillmrk.da", "quillmrk.dat"));
    EXPECT_FALSE(equalsIgnoringCase("\xc4", "\xe4"));
}
