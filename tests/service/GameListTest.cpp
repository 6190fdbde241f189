#include "ServiceHarness.h"

#include "GameFolder.h"
#include "JarFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kDescriptorType = "text/vnd.sun.j2me.app-descriptor";

const std::vector<std::string> kLoneManifest = {
    "Manifest-Version: 1.0",
    "Created-By: a build tool",
    "MIDlet-Name: Lone Game",
    "MIDlet-Version: 1.2",
    "MIDlet-Vendor: Lone & Co",
    "MIDlet-1: Lone, /icon.png, lone.Main",
    "MicroEdition-Profile: MIDP-2.0",
    "MIDlet-Description: A game whose descr",
    " iption is folded at 72 bytes",
    "MicroEdition-Configuration: CLDC-1.1",
    // Only a descriptor may say these; a manifest that does is not copied.
    "MIDlet-Jar-Size: 1",
    "MIDlet-Jar-URL: http://old.example/lone.jar",
    "MIDlet-Name: A second name",
};

struct Answer {
    std::string status;
    std::string type;
    std::string body;
};

class GameList : public testing::Test, protected ServiceHarness {
protected:
    GameList() { service.setGameList(true); }

    // The one answer to a GET, with what it logged.
    Answer fetch(const std::string& path)
    {
        sockets.sent[1].clear();
        sink.clear();
        arrive(1, "GET " + path + " HTTP/1.1\r\nHost: 10.0.0.2\r\n\r\n");
        EXPECT_EQ(sockets.sent[1].size(), 1u) << path;
        const std::string sent = sockets.sentOn(1);
        const auto headEnd = sent.find("\r\n\r\n");
        const auto typeAt = sent.find("Content-type:");
        return {sent.substr(0, sent.find("\r\n")), sent.substr(typeAt + 13, sent.find("\r\n", typeAt) - typeAt - 13),
                sent.substr(headEnd + 4)};
    }

    std::string entry(const std::string& message) const
    {
        return "# 08-12-26 20:17:07 # -        10.0.0.1 - " + message + "\r\n";
    }

    std::uintmax_t sizeOf(const std::string& name) const { return std::filesystem::file_size(games.path() / name); }

    void writeGame(const std::string& stem, const std::string& name, const std::string& jarUrl)
    {
        const std::string jar = "not read for the list, only measured";
        games.write(stem + ".jar", jar);
        games.write(stem + ".jad", "MIDlet-Name: " + name + "\r\nMIDlet-Version: 1.0.3\r\nMIDlet-Vendor: Tarnwick\r\n"
                                   "MIDlet-Jar-URL: " + jarUrl + "\r\nMIDlet-Jar-Size: " + std::to_string(jar.size()) +
                        "\r\n");
    }
};

TEST_F(GameList, ListsDescriptorsLoneArchivesAndSubfoldersButNothingHidden)
{
    writeGame("hello", "Hello", "hello.jar");
    JarFile().manifest(kLoneManifest).add("lone/Main.class", std::string(3000, 'c'), true).write(games.path() /
                                                                                                "lone.jar");
    games.write("sub/deeper.jad", "MIDlet-Name: Deeper\r\n");
    games.write(".hidden.jad", "MIDlet-Name: Hidden\r\n");
    games.write(".hidden.jar", "x");
    games.write(".secret/x.jad", "MIDlet-Name: Secret\r\n");
    games.write("readme.txt", "not a game");

    for (const std::string path : {"/", "//"}) {
        const Answer page = fetch(path);
        EXPECT_EQ(page.status, "HTTP/1.0 200 OK");
        EXPECT_EQ(page.type, "text/html");
        EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(games.string() + path)});
        EXPECT_NE(page.body.find("<p><a href=\"/hello.jad\">Hello</a> 1.0.3<br>Tarnwick, 36 bytes</p>"),
                  std::string::npos)
            << page.body;
        EXPECT_NE(page.body.find("<p><a href=\"/lone.jad\">Lone Game</a> 1.2<br>Lone &amp; Co, " +
                                 std::to_string((sizeOf("lone.jar") + 1023) / 1024) + " KB</p>"),
                  std::string::npos)
            << page.body;
        EXPECT_NE(page.body.find("<a href=\"/sub/\">sub/</a>"), std::string::npos) << page.body;
        for (const char* absent : {"hello.jar", "idden", "ecret", "readme", "Deeper", "Up"})
            EXPECT_EQ(page.body.find(absent), std::string::npos) << absent;
        EXPECT_EQ(page.body.find("<script"), std::string::npos);
    }
}

TEST_F(GameList, ListsASubfolderWithAbsoluteLinksWithOrWithoutTheTrailingSlash)
{
    games.write("sub/deeper.jad", "MIDlet-Name: Deeper\r\nMIDlet-Jar-Size: 2048\r\nMIDlet-Jar-URL: http://x/d.jar\r\n");
    games.write("sub/inner/x.jad", "");

    for (const char* path : {"/sub", "/sub/", "//sub//"}) {
        const Answer page = fetch(path);
        EXPECT_EQ(page.status, "HTTP/1.0 200 OK");
        EXPECT_NE(page.body.find("<title>Games in /sub/</title>"), std::string::npos) << page.body;
        // An archive elsewhere shows the size the descriptor announces.
        EXPECT_NE(page.body.find("<a href=\"/sub/deeper.jad\">Deeper</a><br>2 KB</p>"), std::string::npos)
            << page.body;
        EXPECT_NE(page.body.find("<a href=\"/\">Up</a>"), std::string::npos) << page.body;
        EXPECT_NE(page.body.find("<a href=\"/sub/inner/\">inner/</a>"), std::string::npos) << page.body;
        EXPECT_EQ(page.body.find("href=\"//"), std::string::npos) << page.body;
    }
}

TEST_F(GameList, EscapesEveryNameAndItsLinkLeadsToTheFile)
{
    const std::string fileName = "a&b \"q\" <x> Zoë's #1?.jad";
    games.write(fileName, "MIDlet-Name: <b>Bold</b> & \"Co\" Zoë\r\n");
    games.write("<i>f&older/x.jad", "");
    JarFile().manifest({"MIDlet-Name: Tom's <Game>"}).write(games.path() / "tom's game.jar");

    const Answer page = fetch("/");
    const std::string link = "/a%26b%20%22q%22%20%3Cx%3E%20Zo%C3%AB%27s%20%231%3F.jad";
    EXPECT_NE(page.body.find("<a href=\"" + link + "\">&lt;b&gt;Bold&lt;/b&gt; &amp; &quot;Co&quot; Zoë</a>"),
              std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("<a href=\"/%3Ci%3Ef%26older/\">&lt;i&gt;f&amp;older/</a>"), std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("<a href=\"/tom%27s%20game.jad\">Tom&#39;s &lt;Game&gt;</a>"), std::string::npos)
        << page.body;
    for (const char* raw : {"<b>", "<i>", "<x>", "\"q\"", "Tom's"})
        EXPECT_EQ(page.body.find(raw), std::string::npos) << raw;

    const Answer descriptor = fetch(link);
    EXPECT_EQ(descriptor.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(descriptor.body, "MIDlet-Name: <b>Bold</b> & \"Co\" Zoë\r\n");
    EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(games.string() + "/" + fileName)});
}

TEST_F(GameList, PrefersAFoldersIndexPage)
{
    games.write("index.html", "<html>top</html>");
    games.write("a.jad", "MIDlet-Name: A\r\n");
    games.write("sub/index.html", "<html>sub</html>");

    struct Case {
        std::string path;
        std::string body;
        std::string logged;
    };
    for (const Case& c : {Case{"/", "<html>top</html>", "/index.html"},
                          Case{"/sub", "<html>sub</html>", "/sub/index.html"},
                          Case{"/sub/", "<html>sub</html>", "/sub/index.html"}}) {
        const Answer answer = fetch(c.path);
        EXPECT_EQ(answer.status, "HTTP/1.0 200 OK") << c.path;
        EXPECT_EQ(answer.body, c.body) << c.path;
        EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(games.string() + c.logged)}) << c.path;
    }
}

TEST_F(GameList, MakesADescriptorFromALoneArchivesManifest)
{
    JarFile().manifest(kLoneManifest).add("lone/Main.class", "classes").write(games.path() / "Lone Game.jar");

    const Answer made = fetch("/Lone%20Game.jad");
    EXPECT_EQ(made.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(made.type, kDescriptorType);
    EXPECT_EQ(made.body, "MIDlet-Name: Lone Game\r\nMIDlet-Version: 1.2\r\nMIDlet-Vendor: Lone & Co\r\n"
                         "MIDlet-1: Lone, /icon.png, lone.Main\r\nMicroEdition-Profile: MIDP-2.0\r\n"
                         "MIDlet-Description: A game whose description is folded at 72 bytes\r\n"
                         "MicroEdition-Configuration: CLDC-1.1\r\nMIDlet-Jar-URL: Lone%20Game.jar\r\n"
                         "MIDlet-Jar-Size: " + std::to_string(sizeOf("Lone Game.jar")) + "\r\n");
    EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(games.string() + "/Lone Game.jad")});

    // The archive is then found at the address the descriptor gives.
    const Answer archive = fetch("/Lone%20Game.jar");
    EXPECT_EQ(archive.type, "application/java-archive");
    EXPECT_EQ(archive.body.size(), sizeOf("Lone Game.jar"));
}

TEST_F(GameList, MakesNoDescriptorWhereOneExistsOrTheArchiveIsUnreadable)
{
    games.write("real.jad", "MIDlet-Name: Real\r\n");
    JarFile().manifest(kLoneManifest).write(games.path() / "real.jar");
    games.write("broken.jar", "PK but no zip");
    JarFile().add("a.txt", "no manifest").write(games.path() / "plain.jar");
    JarFile().manifest(kLoneManifest).write(games.path() / ".hidden.jar");
    JarFile().manifest(kLoneManifest).write(games.path() / "upper.JAR");

    EXPECT_EQ(fetch("/real.jad").body, "MIDlet-Name: Real\r\n");
    EXPECT_EQ(fetch("/upper.jad").type, kDescriptorType);

    const Answer broken = fetch("/broken.jad");
    EXPECT_EQ(broken.status, "HTTP/1.0 404 Not Found");
    EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(games.string() + "/broken.jad"),
                                                      entry("Sorry! File not found. No descriptor could be made for "
                                                            "broken.jar: not a zip archive.")}));
    EXPECT_EQ(fetch("/plain.jad").status, "HTTP/1.0 404 Not Found");
    EXPECT_EQ(sink.entries().back(),
              entry("Sorry! File not found. No descriptor could be made for plain.jar: it holds no "
                    "META-INF/MANIFEST.MF."));
    for (const char* refused : {"/.hidden.jad", "/missing.jad", "/%2e%2e/", "/%2Ehidden.jad", "/.secret/"})
        EXPECT_EQ(fetch(refused).status, "HTTP/1.0 404 Not Found") << refused;
}

TEST_F(GameList, BoundsTheWorkOfAHugeFolder)
{
    for (std::size_t i = 0; i <= kMaxFolderEntries; ++i)
        games.write("g" + std::to_string(i) + ".jad", "MIDlet-Name: G\r\n");
    games.write("big.jad", "MIDlet-Name: " + std::string(200 * 1024, 'n') + "\r\n");

    const Answer page = fetch("/");
    EXPECT_EQ(page.status, "HTTP/1.0 200 OK");
    std::size_t links = 0;
    for (auto at = page.body.find("<a "); at != std::string::npos; at = page.body.find("<a ", at + 1))
        ++links;
    EXPECT_EQ(links, kMaxListedEntries);
    EXPECT_NE(page.body.find("Not every entry of this folder is listed."), std::string::npos);
    EXPECT_LT(page.body.size(), 16u * 1024);
}

TEST_F(GameList, IsOffWithoutTheSetting)
{
    service.setGameList(false);
    JarFile().manifest(kLoneManifest).write(games.path() / "lone.jar");
    games.write("sub/x.jad", "");

    for (const std::string path : {"/", "/sub/", "/lone.jad"}) {
        EXPECT_EQ(fetch(path).status, "HTTP/1.0 404 Not Found") << path;
        EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(games.string() + path), entry("Sorry! File not found.")}));
    }
    // Paths are used as sent.
    games.write("My Game.jad", "x");
    EXPECT_EQ(fetch("/My%20Game.jad").status, "HTTP/1.0 404 Not Found");
}

} // namespace
