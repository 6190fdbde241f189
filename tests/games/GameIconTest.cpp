#include "GameIcon.h"

#include "JarArchive.h"
#include "JarFile.h"
#include "TempDirectory.h"
#include "TinyPng.h"

#include <gtest/gtest.h>

namespace {

AttributeList attributes(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    AttributeList list;
    for (const auto& [name, value] : pairs)
        list.add(name, value);
    return list;
}

TEST(GameIcon, NamesTheEntryFromMidletIconElseMidlet1)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> attributes;
        std::optional<std::string> entry;
    };
    const Case cases[] = {
        {{{"MIDlet-Icon", "/icons/big.png"}, {"MIDlet-1", "Game, /small.png, a.Main"}}, "icons/big.png"},
        {{{"MIDlet-1", "Game,  /small.png , a.Main"}}, "small.png"},
        {{{"MIDlet-Icon", " "}, {"MIDlet-1", "Game, icon.png, a.Main"}}, "icon.png"},
        {{{"MIDlet-1", "Game, , a.Main"}}, std::nullopt},
        {{{"MIDlet-1", "Game"}}, std::nullopt},
        {{}, std::nullopt},
        {{{"MIDlet-Icon", "/../../etc/passwd"}}, std::nullopt},
        {{{"MIDlet-Icon", "a/../b.png"}}, std::nullopt},
        {{{"MIDlet-Icon", "a..b.png"}}, "a..b.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(iconEntryName(attributes(c.attributes)), c.entry) << (c.entry ? *c.entry : "none");
}

TEST(GameIcon, ReadsOnlyPngsWithinTheBounds)
{
    TempDirectory folder;
    JarFile()
        .add("ok.png", tinyPng(16, 24))
        .add("side.png", tinyPng(kMaxIconSide, kMaxIconSide))
        .add("wide.png", tinyPng(kMaxIconSide + 1, 16))
        .add("heavy.png", tinyPng(16, 16, kMaxIconBytes + 1))
        .add("gif.png", "GIF89a not a png at all, whatever its name")
        .add("short.png", tinyPng(16, 16).substr(0, 20))
        .add("zero.png", tinyPng(0, 16))
        .write(folder.path() / "game.jar");
    std::string error;
    const std::optional<JarArchive> jar = JarArchive::open(folder.path() / "game.jar", error);
    ASSERT_TRUE(jar) << error;

    const std::optional<GameIcon> ok = readGameIcon(*jar, "ok.png");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->width, 16);
    EXPECT_EQ(ok->height, 24);
    EXPECT_EQ(ok->png, tinyPng(16, 24));
    EXPECT_TRUE(readGameIcon(*jar, "side.png"));
    for (const char* refused : {"wide.png", "heavy.png", "gif.png", "short.png", "zero.png", "missing.png"})
        EXPECT_FALSE(readGameIcon(*jar, refused)) << refused;
}

} // namespace
