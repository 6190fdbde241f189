#include "IniFileFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

TEST_F(IniFile, ReadsMissingThingsAsEmptyText)
{
    EXPECT_EQ(ReadIniValue("Server Setting", "LocalPort", path), "");
    write("[Server Setting]\nLocalPort=8080\nBlank=   \n[Directory Setting]\nVirtual Directory=\n");
    EXPECT_EQ(ReadIniValue("Server Setting", "Blank", path), "");
    EXPECT_EQ(ReadIniValue("Server Setting", "Other", path), "");
    EXPECT_EQ(ReadIniValue("Other Section", "LocalPort", path), "");
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", path), "");
}

TEST_F(IniFile, ReadsAWindowsFileWithNamesInAnyLetterCase)
{
    write("; written elsewhere\r\n[server SETTING]\r\nlocalport = 8080\r\n[Directory Setting]\r\n"
          "VIRTUAL DIRECTORY=/srv/My Games\r\n");
    EXPECT_EQ(ReadIniValue("Server Setting", "LocalPort", path), "8080");
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", path), "/srv/My Games");
}

TEST_F(IniFile, ReadsLongValuesWhole)
{
    const std::string longFolder = "/srv/" + std::string(2000, 'g');
    ASSERT_TRUE(WriteIniValue("Directory Setting", "Virtual Directory", longFolder, path));
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", path), longFolder);
}

TEST_F(IniFile, WritingCreatesTheFileSectionAndKey)
{
    ASSERT_TRUE(WriteIniValue("Directory Setting", "Virtual Directory", "/srv/games", path));
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", path), "/srv/games");
    EXPECT_EQ(contents().find("[Directory Setting]"), 0u);
}

struct WriteCase {
    const char* what;
    std::string before;
    std::string after;
};

std::ostream& operator<<(std::ostream& out, const WriteCase& c)
{
    return out << c.what;
}

class IniWrite : public IniFile, public testing::WithParamInterface<WriteCase> {};

// Every case writes "/new" to the game directory's key, and the reader then
// finds it there: the writer changed the line that the reader reads.
TEST_P(IniWrite, ChangesOnlyWhatItMust)
{
    write(GetParam().before);
    ASSERT_TRUE(WriteIniValue("Directory Setting", "Virtual Directory", "/new", path));
    EXPECT_EQ(contents(), GetParam().after);
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", path), "/new");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    testing::Values(
        WriteCase{"a line without \"=\", comments in the middle and at the end, blank lines",
                  "; port for phones\n[Server Setting]\nLocalPort=8080\nsomeflag\n\n; where the games are\n"
                  "[Directory Setting]\nVirtual Directory=/old\n\n[Extra]\nkept = yes\n; last words\n",
                  "; port for phones\n[Server Setting]\nLocalPort=8080\nsomeflag\n\n; where the games are\n"
                  "[Directory Setting]\nVirtual Directory=/new\n\n[Extra]\nkept = yes\n; last words\n"},
        WriteCase{"CR LF", "[Server Setting]\r\nLocalPort=8080\r\n[Directory Setting]\r\nVirtual Directory=/old\r\n",
                  "[Server Setting]\r\nLocalPort=8080\r\n[Directory Setting]\r\nVirtual Directory=/new\r\n"},
        WriteCase{"lone CR", "[Directory Setting]\rVirtual Directory=/old\r",
                  "[Directory Setting]\rVirtual Directory=/new\r"},
        WriteCase{"spacing around \"=\" and after the value, names in other letter case",
                  "[directory setting]\n  VIRTUAL DIRECTORY \t=  /old  \t\n",
                  "[directory setting]\n  VIRTUAL DIRECTORY \t=  /new  \t\n"},
        WriteCase{"an empty value", "[Directory Setting]\nVirtual Directory = \n",
                  "[Directory Setting]\nVirtual Directory = /new\n"},
        WriteCase{"a value holding \"=\" and \";\"", "[Directory Setting]\nVirtual Directory=/a=b ; c\n",
                  "[Directory Setting]\nVirtual Directory=/new\n"},
        WriteCase{"a section line with blanks and a comment",
                  "[ Directory Setting ] ; games\nVirtual Directory=/old\n",
                  "[ Directory Setting ] ; games\nVirtual Directory=/new\n"},
        WriteCase{"a byte order mark", "\xEF\xBB\xBF[Directory Setting]\r\nVirtual Directory=/old\r\n",
                  "\xEF\xBB\xBF[Directory Setting]\r\nVirtual Directory=/new\r\n"},
        WriteCase{"a missing key: after the section's last entry, before its blank lines and the next comment",
                  "[Directory Setting]\nOther=1\n\n; the port\n[Server Setting]\nLocalPort=8080\n",
                  "[Directory Setting]\nOther=1\nVirtual Directory=/new\n\n; the port\n"
                  "[Server Setting]\nLocalPort=8080\n"},
        WriteCase{"a missing key in a CR LF file",
                  "[Directory Setting]\r\nOther=1\r\n\r\n[Server Setting]\r\nLocalPort=8080\r\n",
                  "[Directory Setting]\r\nOther=1\r\nVirtual Directory=/new\r\n\r\n"
                  "[Server Setting]\r\nLocalPort=8080\r\n"},
        WriteCase{"a missing key after a line without \"=\"", "[Directory Setting]\nsomeflag\n",
                  "[Directory Setting]\nsomeflag\nVirtual Directory=/new\n"},
        WriteCase{"a missing key under a last line without its ending", "[Directory Setting]",
                  "[Directory Setting]\nVirtual Directory=/new\n"},
        WriteCase{"a commented-out key is no key", "[Directory Setting]\n; Virtual Directory=/old\n",
                  "[Directory Setting]\nVirtual Directory=/new\n; Virtual Directory=/old\n"},
        WriteCase{"the key in another section", "[Server Setting]\nVirtual Directory=/elsewhere\n[Directory Setting]\n",
                  "[Server Setting]\nVirtual Directory=/elsewhere\n[Directory Setting]\nVirtual Directory=/new\n"},
        WriteCase{"a missing section", "[Server Setting]\nLocalPort=8080\n",
                  "[Server Setting]\nLocalPort=8080\n\n[Directory Setting]\nVirtual Directory=/new\n"},
        WriteCase{"a missing section after a blank line", "[Server Setting]\nLocalPort=8080\n\n",
                  "[Server Setting]\nLocalPort=8080\n\n[Directory Setting]\nVirtual Directory=/new\n"},
        WriteCase{"a missing section in a CR LF file without a last line ending", "[Server Setting]\r\nLocalPort=8080",
                  "[Server Setting]\r\nLocalPort=8080\r\n\r\n[Directory Setting]\r\nVirtual Directory=/new\r\n"},
        WriteCase{"an empty file", "", "[Directory Setting]\nVirtual Directory=/new\n"},
        WriteCase{"a section line without \"]\" hides the entries after it",
                  "[Directory Setting\nVirtual Directory=/hidden\n",
                  "[Directory Setting\nVirtual Directory=/hidden\n\n[Directory Setting]\nVirtual Directory=/new\n"},
        // The reader merges a section that comes twice and keeps the later
        // of two entries for one key.
        WriteCase{"a section twice, the key in both",
                  "[Directory Setting]\nVirtual Directory=/first\n[Server Setting]\n[DIRECTORY SETTING]\n"
                  "Virtual Directory=/second\n",
                  "[Directory Setting]\nVirtual Directory=/first\n[Server Setting]\n[DIRECTORY SETTING]\n"
                  "Virtual Directory=/new\n"},
        WriteCase{"a key twice", "[Directory Setting]\nVirtual Directory=/first\nvirtual directory=/second\n",
                  "[Directory Setting]\nVirtual Directory=/first\nvirtual directory=/new\n"},
        WriteCase{"a section twice, the key in neither",
                  "[Directory Setting]\nA=1\n\n[Server Setting]\n[Directory Setting]\nB=2\n",
                  "[Directory Setting]\nA=1\nVirtual Directory=/new\n\n[Server Setting]\n[Directory Setting]\nB=2\n"}));

TEST_F(IniFile, RefusesWhatWouldNotReadBackAndKeepsTheFile)
{
    const std::string before = "[Directory Setting]\nVirtual Directory=/old\n";
    for (const std::string& value : {std::string("/a\nb"), std::string("/a\rb"), std::string("/a\r\n[Evil]\r\nx=1"),
                                     std::string("/a\0b", 4)}) {
        write(before);
        EXPECT_FALSE(WriteIniValue("Directory Setting", "Virtual Directory", value, path))
            << testing::PrintToString(value);
        EXPECT_EQ(contents(), before);
    }
    // Everything after a NUL is hidden from the reader.
    const std::string withNul = std::string("[Server Setting]\nLocalPort=8080\n\0\n", 33);
    write(withNul);
    EXPECT_FALSE(WriteIniValue("Directory Setting", "Virtual Directory", "/new", path));
    EXPECT_EQ(contents(), withNul);
}

TEST_F(IniFile, ReportsAWriteThatCannotBeDone)
{
    EXPECT_FALSE(WriteIniValue("Directory Setting", "Virtual Directory", "/x", (folder.path() / "no/such/Tarnwick.ini").string()));
}

} // namespace
