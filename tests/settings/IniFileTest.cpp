#include "modIniFile.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class IniFile : public testing::Test {
protected:
    std::string write(const std::string& text) const
    {
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string contents() const
    {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }

    TempDirectory folder;
    std::string path = (folder.path() / "Tarnwick.ini").string();
};

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

TEST_F(IniFile, WritingKeepsTheRestOfTheFileItsCommentsAndOrder)
{
    write("; port for phones\n[Server Setting]\nLocalPort=8080\n\n; where the games are\n[Directory Setting]\n"
          "Virtual Directory=/old\n[Extra]\nkept=yes\n; last words\n");
    ASSERT_TRUE(WriteIniValue("directory setting", "virtual directory", "/new", path));

    const std::string text = contents();
    EXPECT_EQ(ReadIniValue("Directory Setting", "Virtual Directory", path), "/new");
    EXPECT_EQ(ReadIniValue("Server Setting", "LocalPort", path), "8080");
    EXPECT_EQ(ReadIniValue("Extra", "kept", path), "yes");
    EXPECT_EQ(text.find("/old"), std::string::npos);
    const auto portComment = text.find("; port for phones");
    const auto server = text.find("[Server Setting]");
    const auto directoryComment = text.find("; where the games are");
    const auto directory = text.find("[Directory Setting]");
    const auto lastWords = text.find("; last words");
    EXPECT_LT(portComment, server);
    EXPECT_LT(server, directoryComment);
    EXPECT_LT(directoryComment, directory);
    EXPECT_NE(lastWords, std::string::npos);
    EXPECT_LT(directory, lastWords);
}

TEST_F(IniFile, ReportsAWriteThatCannotBeDone)
{
    EXPECT_FALSE(WriteIniValue("Directory Setting", "Virtual Directory", "/x", (folder.path() / "no/such/Tarnwick.ini").string()));
}

} // namespace
