#include "GameDirectory.h"
#include "ServiceHarness.h"

#include "GameListService.h"
#include "CommandOutput.h"
#include "JarFile.h"
#include "TinyPng.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

    // Has the catalogue take up what the test changed in the game directory.
    void settle()
    {
        if (GameListService* list = service.gameList()) {
            list->catalogue().rescan();
            list->catalogue().waitUntilIdle();
        }
    }

    // The one answer to a GET, with what it logged, once the catalogue has read the folders.
    Answer fetch(const std::string& path, const std::string& fields = {})
    {
        settle();
        return fetchNow(path, fields);
    }

    // The same, from the catalogue as it stands.
    Answer fetchNow(const std::string& path, const std::string& fields = {})
    {
        sockets.sent[1].clear();
        sink.clear();
        arrive(1, "GET " + path + " HTTP/1.1\r\nHost: 10.0.0.2\r\n" + fields + "\r\n");
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

// The paths of a folder, and those with doubled slashes where they reach it:
// on Windows a path that starts with two slashes names a share, and is refused.
std::vector<std::string> withDoubledSlashes(std::vector<std::string> paths, const std::vector<std::string>& doubled)
{
#ifndef _WIN32
    paths.insert(paths.end(), doubled.begin(), doubled.end());
#else
    (void)doubled;
#endif
    return paths;
}

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

    for (const std::string& path : withDoubledSlashes({"/"}, {"//"})) {
        const Answer page = fetch(path);
        EXPECT_EQ(page.status, "HTTP/1.0 200 OK");
        EXPECT_EQ(page.type, "text/html");
        EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(mapRequestPath(games.string(), path))});
        EXPECT_NE(page.body.find("<p>1. <a href=\"/hello.jad\" accesskey=\"1\">Hello</a> 1.0.3<br>Tarnwick, 36 bytes</p>"),
                  std::string::npos)
            << page.body;
        EXPECT_NE(page.body.find("<p>2. <a href=\"/lone.jad\" accesskey=\"2\">Lone Game</a> 1.2<br>Lone &amp; Co, " +
                                 std::to_string((sizeOf("lone.jar") + 1023) / 1024) + " KB, MIDP-2.0</p>"),
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

    for (const std::string& path : withDoubledSlashes({"/sub", "/sub/"}, {"//sub//"})) {
        const Answer page = fetch(path);
        EXPECT_EQ(page.status, "HTTP/1.0 200 OK");
        EXPECT_NE(page.body.find("<title>Games in /sub/</title>"), std::string::npos) << page.body;
        // An archive elsewhere shows the size the descriptor announces.
        EXPECT_NE(page.body.find("<a href=\"/sub/deeper.jad\" accesskey=\"1\">Deeper</a><br>2 KB</p>"), std::string::npos)
            << page.body;
        EXPECT_NE(page.body.find("<a href=\"/\">Up</a>"), std::string::npos) << page.body;
        EXPECT_NE(page.body.find("<a href=\"/sub/inner/\">inner/</a>"), std::string::npos) << page.body;
        EXPECT_EQ(page.body.find("href=\"//"), std::string::npos) << page.body;
    }
}

TEST_F(GameList, EscapesEveryNameAndItsLinkLeadsToTheFile)
{
#ifdef _WIN32
    // Windows allows no " < > ? in a name; what it allows needs escaping still.
    const std::string fileName = "a&b 'q' Zoë's #1%.jad";
    const std::string link = "/a%26b%20%27q%27%20Zo%C3%AB%27s%20%231%25.jad";
    const std::string folder = "f&older 'i'";
    const std::string folderLink = "<a href=\"/f%26older%20%27i%27/\">f&amp;older &#39;i&#39;/</a>";
#else
    const std::string fileName = "a&b \"q\" <x> Zoë's #1?.jad";
    const std::string link = "/a%26b%20%22q%22%20%3Cx%3E%20Zo%C3%AB%27s%20%231%3F.jad";
    const std::string folder = "<i>f&older";
    const std::string folderLink = "<a href=\"/%3Ci%3Ef%26older/\">&lt;i&gt;f&amp;older/</a>";
#endif
    games.write(fileName, "MIDlet-Name: <b>Bold</b> & \"Co\" Zoë\r\n");
    games.write(folder + "/x.jad", "");
    JarFile().manifest({"MIDlet-Name: Tom's <Game>"}).write(games.path() / "tom's game.jar");

    const Answer page = fetch("/");
    EXPECT_NE(page.body.find("<a href=\"" + link + "\" accesskey=\"1\">&lt;b&gt;Bold&lt;/b&gt; &amp; &quot;Co&quot; Zoë</a>"),
              std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find(folderLink), std::string::npos) << page.body;
    EXPECT_NE(page.body.find("<a href=\"/tom%27s%20game.jad\" accesskey=\"2\">Tom&#39;s &lt;Game&gt;</a>"), std::string::npos)
        << page.body;
    for (const char* raw : {"<b>", "<i>", "<x>", "\"q\"", "Tom's"})
        EXPECT_EQ(page.body.find(raw), std::string::npos) << raw;

    const Answer descriptor = fetch(link);
    EXPECT_EQ(descriptor.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(descriptor.body, "MIDlet-Name: <b>Bold</b> & \"Co\" Zoë\r\n");
    EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(mapRequestPath(games.string(), "/" + fileName))});
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
        EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(mapRequestPath(games.string(), c.logged))}) << c.path;
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
    EXPECT_EQ(sink.entries(), std::vector<std::string>{entry(mapRequestPath(games.string(), "/Lone Game.jad"))});

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
    EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(mapRequestPath(games.string(), "/broken.jad")),
                                                      entry("Sorry! File not found. No descriptor could be made for "
                                                            "broken.jar: not a zip archive.")}));
    EXPECT_EQ(fetch("/plain.jad").status, "HTTP/1.0 404 Not Found");
    EXPECT_EQ(sink.entries().back(),
              entry("Sorry! File not found. No descriptor could be made for plain.jar: it holds no "
                    "META-INF/MANIFEST.MF."));
    for (const char* refused : {"/.hidden.jad", "/missing.jad", "/%2e%2e/", "/%2Ehidden.jad", "/.secret/"})
        EXPECT_EQ(fetch(refused).status, "HTTP/1.0 404 Not Found") << refused;
}

const std::string kWmlAccept = "Accept: text/vnd.wap.wml\r\n";
const std::string kXhtmlAccept = "Accept: application/vnd.wap.xhtml+xml, text/html;q=0.9\r\n";

struct MarkupCase {
    std::string accept; // the whole field
    std::string type;
    std::size_t limit;
};

const MarkupCase kMarkups[] = {
    {"", "text/html", 10 * 1024},
    {kXhtmlAccept, "application/vnd.wap.xhtml+xml", 10 * 1024},
    {kWmlAccept, "text/vnd.wap.wml", 1400},
};

// The targets of the links to descriptors on a page, in order.
std::vector<std::string> gameLinks(const std::string& page)
{
    std::vector<std::string> links;
    for (auto at = page.find("href=\""); at != std::string::npos; at = page.find("href=\"", at + 1)) {
        const std::string target = page.substr(at + 6, page.find('"', at + 6) - at - 6);
        if (target.ends_with(".jad"))
            links.push_back(target);
    }
    return links;
}

std::size_t pageCount(const std::string& page)
{
    const auto at = page.find(" of ", page.find("Page "));
    return at == std::string::npos ? 1 : std::stoul(page.substr(at + 4));
}

TEST_F(GameList, AnswersInTheMarkupTheBrowserPrefersButNeverNegotiatesAGame)
{
    writeGame("hello", "Hello", "hello.jar");
    struct Case {
        std::string accept;
        std::string type;
        std::string begins;
    };
    for (const Case& c : {Case{"", "text/html", "<html><head>"},
                          Case{"Accept: */*\r\n", "text/html", "<html><head>"},
                          Case{kXhtmlAccept, "application/vnd.wap.xhtml+xml",
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC "
                               "\"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\""},
                          Case{kWmlAccept, "text/vnd.wap.wml",
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE wml PUBLIC "
                               "\"-//WAPFORUM//DTD WML 1.1//EN\""}}) {
        const Answer page = fetch("/", c.accept);
        EXPECT_EQ(page.type, c.type) << c.accept;
        EXPECT_TRUE(page.body.starts_with(c.begins)) << page.body;
        EXPECT_EQ(gameLinks(page.body), std::vector<std::string>{"/hello.jad"}) << page.body;

        // A query (a page, or one that keeps a cache fresh) never names a file.
        for (const char* path : {"/hello.jad", "/hello.jad?v=1234"}) {
            const Answer game = fetch(path, c.accept);
            EXPECT_EQ(game.status, "HTTP/1.0 200 OK") << path;
            EXPECT_EQ(game.type, kDescriptorType) << path;
        }
    }
}

TEST_F(GameList, ListsTheGamesAPhoneCannotRunLastUnderANote)
{
    for (const auto& [stem, profile] : {std::pair{"alpha", "MIDP-2.0"}, {"beta", "MIDP-1.0"}, {"gamma", ""}}) {
        games.write(std::string(stem) + ".jad", "MIDlet-Name: " + std::string(stem) + "\r\n" +
                                                    (*profile ? "MicroEdition-Profile: " + std::string(profile) + "\r\n" : ""));
    }
    const std::string oldPhone = "User-Agent: Nokia3410/05.06 Profile/MIDP-1.0 Configuration/CLDC-1.0\r\n";
    for (const std::string& accept : {std::string(), kXhtmlAccept, kWmlAccept}) {
        const Answer page = fetch("/", accept + oldPhone);
        EXPECT_EQ(gameLinks(page.body), (std::vector<std::string>{"/beta.jad", "/gamma.jad", "/alpha.jad"})) << page.body;
        const auto note = page.body.find("Games that need more than this phone has (MIDP-1.0):");
        EXPECT_NE(note, std::string::npos) << page.body;
        EXPECT_LT(note, page.body.find("/alpha.jad")) << page.body;
        EXPECT_GT(note, page.body.find("/gamma.jad")) << page.body;
    }
    // A phone that can run them all, or says nothing, sees the list in its order, without the note.
    for (const std::string& fields : {std::string("User-Agent: SonyEricssonK750i/R1AA Profile/MIDP-2.0\r\n"), std::string()}) {
        const Answer page = fetch("/", fields);
        EXPECT_EQ(gameLinks(page.body), (std::vector<std::string>{"/alpha.jad", "/beta.jad", "/gamma.jad"}));
        EXPECT_EQ(page.body.find("need more than"), std::string::npos);
    }
}

TEST_F(GameList, SplitsTwoThousandGamesIntoPagesThatFitEachInOrderOnce)
{
    // Names repeat in other letter cases: those games follow their file names.
    std::vector<std::pair<std::string, std::string>> expected; // lower-case name, link
    for (int i = 0; i < 2000; ++i) {
        const std::string number = std::to_string((i * 7919) % 1000);
        const std::string name = (i % 2 == 0 ? "Game " : "gAME ") + number + (i % 3 == 0 ? " & Co" : "");
        const std::string stem = "g" + std::to_string(i);
        games.write(stem + ".jad", "MIDlet-Name: " + name + "\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: Tarnwick\r\n"
                                   "MIDlet-Jar-URL: http://elsewhere.example/" + stem + ".jar\r\n"
                                   "MIDlet-Jar-Size: 123456\r\nMicroEdition-Profile: MIDP-2.0\r\n");
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        expected.emplace_back(lower, stem + ".jad");
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> expectedLinks;
    for (const auto& [name, link] : expected)
        expectedLinks.push_back("/" + link);
    settle();

    for (const MarkupCase& markup : kMarkups) {
        const std::size_t pages = pageCount(fetchNow("/", markup.accept).body);
        EXPECT_GT(pages, 1u);
        std::vector<std::string> links;
        for (std::size_t page = 1; page <= pages; ++page) {
            const std::string path = page == 1 ? "/" : "/?page=" + std::to_string(page);
            const Answer answer = fetchNow(path, markup.accept);
            EXPECT_EQ(answer.type, markup.type);
            EXPECT_LE(answer.body.size(), markup.limit) << markup.type << " page " << page;
            EXPECT_EQ(pageCount(answer.body), pages);
            const std::vector<std::string> onPage = gameLinks(answer.body);
            EXPECT_FALSE(onPage.empty()) << path;
            links.insert(links.end(), onPage.begin(), onPage.end());
            // Neighbouring pages are a link (and in HTML a key) away.
            const bool hasNext = answer.body.find(">Next</a>") != std::string::npos;
            const bool hasPrevious = answer.body.find(">Previous</a>") != std::string::npos;
            EXPECT_EQ(hasNext, page < pages) << path;
            EXPECT_EQ(hasPrevious, page > 1) << path;
            if (page < pages) {
                EXPECT_NE(answer.body.find("href=\"/?page=" + std::to_string(page + 1) + "\""), std::string::npos);
            }
            if (markup.type != "text/vnd.wap.wml") {
                EXPECT_EQ(answer.body.find("accesskey=\"#\">Next") != std::string::npos, page < pages);
                for (std::size_t key = 1; key <= std::min<std::size_t>(9, onPage.size()); ++key)
                    EXPECT_NE(answer.body.find("accesskey=\"" + std::to_string(key) + "\""), std::string::npos);
                EXPECT_EQ(answer.body.find("accesskey=\"10\""), std::string::npos);
            }
        }
        EXPECT_EQ(links, expectedLinks) << markup.type;
        // A page past the end is the last one; a page that is no number, the first.
        EXPECT_EQ(gameLinks(fetchNow("/?page=99999", markup.accept).body).back(), expectedLinks.back());
        EXPECT_EQ(gameLinks(fetchNow("/?page=x", markup.accept).body).front(), expectedLinks.front());
    }
}

// Every markup's page, written where xmllint can read it.
class ValidatedPages : public GameList {
protected:
    std::string validate(const std::string& page, const std::string& dtd)
    {
        // The document type the page names lives on a server long gone; the one given stands in for it.
        std::string local = page;
        if (const auto doctype = local.find("<!DOCTYPE"); doctype != std::string::npos)
            local.erase(doctype, local.find('\n', doctype) + 1 - doctype);
        const std::filesystem::path file = pageFolder.write("page.xml", local);
        return commandOutput("XML_CATALOG_FILES=/usr/share/xml/w3c-sgml-lib/schema/dtd/catalog.xml xmllint --noout "
                             "--nonet --dtdvalid " + dtd + " " + file.string() + " 2>&1 || true");
    }

    TempDirectory pageFolder;
};

TEST_F(ValidatedPages, ValidateAgainstTheirDocumentTypes)
{
#ifdef _WIN32
    GTEST_SKIP() << "xmllint and the document types are the build machine's, not the Windows side's";
#endif
    // XHTML Mobile Profile 1.0 is XHTML Basic 1.0 and more: a page valid in the smaller one is valid in it.
    const std::string xhtmlBasic =
        "/usr/share/xml/w3c-sgml-lib/schema/dtd/REC-xhtml-basic-20001219/xhtml-basic10.dtd";
    const std::string wmlPart = std::string(TARNWICK_SOURCE_DIR) + "/tests/service/dtd/wml-1.1-deck-part.dtd";
    ASSERT_TRUE(std::filesystem::exists(xhtmlBasic)) << "scripts/install-deps installs w3c-sgml-lib";
    for (int i = 0; i < 40; ++i)
        writeGame("game" + std::to_string(i), "Game $" + std::to_string(i) + " <&> \"Zoë's\"", "game" + std::to_string(i) + ".jar");
    JarFile().manifest({"MIDlet-Name: Iconic", "MIDlet-Icon: /i.png"}).add("i.png", tinyPng(16, 16))
        .write(games.path() / "iconic.jar");
    games.write("sub & more/x.jad", "MIDlet-Name: X\r\n");
    games.write("empty/readme.txt", "");

    for (const std::string folder : {"/", "/sub%20%26%20more/", "/empty/"}) {
        for (const std::string page : {"", "?page=2"}) {
            const std::string xhtml = fetch(folder + page, kXhtmlAccept).body;
            EXPECT_EQ(validate(xhtml, xhtmlBasic), "") << xhtml;
            const std::string wml = fetch(folder + page, kWmlAccept).body;
            EXPECT_EQ(validate(wml, wmlPart), "") << wml;
        }
    }
    // The check itself finds a fault.
    EXPECT_NE(validate("<?xml version=\"1.0\"?>\n<wml><card><a href=\"x\">x</a></card></wml>\n", wmlPart), "");
}

TEST_F(GameList, EscapesNamesInEveryMarkup)
{
    games.write("a&b 'c'.jad", "MIDlet-Name: <b>Bold</b> & \"Co\" 'n' $5\r\nMIDlet-Vendor: A&B\r\n");
    struct Case {
        std::string accept;
        std::string link;
    };
    for (const Case& c :
         {Case{"", "<a href=\"/a%26b%20%27c%27.jad\" accesskey=\"1\">&lt;b&gt;Bold&lt;/b&gt; &amp; &quot;Co&quot; "
                   "&#39;n&#39; $5</a><br>A&amp;B</p>"},
          Case{kXhtmlAccept, "<a href=\"/a%26b%20%27c%27.jad\" accesskey=\"1\">&lt;b&gt;Bold&lt;/b&gt; &amp; "
                             "&quot;Co&quot; &#39;n&#39; $5</a><br/>A&amp;B</p>"},
          // WML reads "$" as the start of a variable.
          Case{kWmlAccept, "<a href=\"/a%26b%20%27c%27.jad\">&lt;b&gt;Bold&lt;/b&gt; &amp; &quot;Co&quot; "
                           "&#39;n&#39; $$5</a><br/>A&amp;B</p>"}}) {
        const std::string page = fetch("/", c.accept).body;
        EXPECT_NE(page.find(c.link), std::string::npos) << page;
        EXPECT_EQ(page.find("<b>"), std::string::npos) << page;
    }
}

TEST_F(GameList, ShowsEachGamesIconFromItsOwnAddress)
{
    JarFile().manifest({"MIDlet-Name: Small", "MIDlet-1: Small, /icons/s.png, a.Main"})
        .add("icons/s.png", tinyPng(16, 12)).write(games.path() / "small.jar");
    JarFile().manifest({"MIDlet-Name: Large", "MIDlet-Icon: l.png"}).add("l.png", tinyPng(64, 48))
        .write(games.path() / "large.jar");
    JarFile().manifest({"MIDlet-Name: Missing", "MIDlet-Icon: none.png"}).write(games.path() / "missing.jar");
    JarFile().manifest({"MIDlet-Name: Text", "MIDlet-Icon: t.png"}).add("t.png", "not a picture")
        .write(games.path() / "text.jar");
    JarFile().manifest({"MIDlet-Name: Huge", "MIDlet-Icon: h.png"}).add("h.png", tinyPng(1024, 1024))
        .write(games.path() / "huge.jar");
    JarFile().manifest({"MIDlet-Name: Climbing", "MIDlet-Icon: ../../l.png"}).add("l.png", tinyPng(8, 8))
        .write(games.path() / "climbing.jar");

    const std::string page = fetch("/").body;
    const auto iconOf = [&page](const std::string& name) -> std::string {
        const auto link = page.find(">" + name + "</a>");
        const auto line = page.rfind("<p>", link);
        const auto img = page.find("<img src=\"", line);
        return img < link ? page.substr(img, page.find('>', img) - img + 1) : "";
    };
    const std::string small = iconOf("Small");
    ASSERT_NE(small, "") << page;
    EXPECT_NE(small.find("width=\"16\" height=\"12\" alt=\"\""), std::string::npos) << small;
    EXPECT_NE(iconOf("Large").find("width=\"32\" height=\"24\""), std::string::npos) << page;
    for (const char* without : {"Missing", "Text", "Huge", "Climbing"})
        EXPECT_EQ(iconOf(without), "") << without;
    EXPECT_EQ(page.find("<img", page.find("Text")), std::string::npos);

    const std::string address = small.substr(10, small.find('"', 10) - 10);
    EXPECT_TRUE(address.starts_with("/.icon/")) << address;
    const Answer icon = fetch(address);
    EXPECT_EQ(icon.status, "HTTP/1.0 200 OK");
    EXPECT_EQ(icon.type, "image/png");
    EXPECT_EQ(icon.body, tinyPng(16, 12));
    EXPECT_TRUE(sink.entries().empty());
    // No icon in WML: its browsers show no PNG.
    EXPECT_EQ(fetch("/", kWmlAccept).body.find("<img"), std::string::npos);
}

TEST_F(GameList, IconAddressesNeverReachTheGameDirectory)
{
    games.write(".icon/0123456789abcdef.png", "a file of the game directory");
    games.write("game.png", "beside the games");
    for (const char* path : {"/.icon/0123456789abcdef.png", "/.icon/../game.png", "/%2eicon/0123456789abcdef.png",
                             "/.icon/", "/.icon/x.png?page=2"}) {
        const Answer answer = fetch(path);
        EXPECT_EQ(answer.status, "HTTP/1.0 404 Not Found") << path;
        EXPECT_EQ(answer.body.find("game directory"), std::string::npos) << path;
        EXPECT_FALSE(sink.entries().empty()) << path;
    }
}

TEST_F(GameList, ServesTheListWhileGamesAreAddedAndRemoved)
{
    writeGame("first", "First", "first.jar");
    EXPECT_EQ(gameLinks(fetch("/").body), std::vector<std::string>{"/first.jad"});

    // The list goes on being served from what was read until the change is read.
    writeGame("second", "Second", "second.jar");
    const Answer meanwhile = fetchNow("/");
    EXPECT_EQ(meanwhile.status, "HTTP/1.0 200 OK");
    EXPECT_FALSE(gameLinks(meanwhile.body).empty());
    service.gameList()->catalogue().waitUntilIdle();
    EXPECT_EQ(gameLinks(fetchNow("/").body), (std::vector<std::string>{"/first.jad", "/second.jad"}));

    std::filesystem::remove(games.path() / "first.jad");
    std::filesystem::remove(games.path() / "first.jar");
    // A reading the last request began may have seen the folder before the
    // removal; the request after it reads the folder again.
    service.gameList()->catalogue().waitUntilIdle();
    (void)fetchNow("/");
    service.gameList()->catalogue().waitUntilIdle();
    EXPECT_EQ(gameLinks(fetchNow("/").body), std::vector<std::string>{"/second.jad"});
}

TEST_F(GameList, TellsWhileAFolderIsStillBeingRead)
{
    // A directory chosen a moment ago: the first answer does not wait for its games.
    TempDirectory other;
    for (int i = 0; i < 300; ++i)
        JarFile().manifest({"MIDlet-Name: G"}).write(other.path() / ("g" + std::to_string(i) + ".jar"));
    service.setGameDirectory(other.string());
    const Answer first = fetchNow("/");
    EXPECT_EQ(first.status, "HTTP/1.0 200 OK");
    EXPECT_TRUE(first.body.find("The games of this folder are being read") != std::string::npos ||
                !gameLinks(first.body).empty())
        << first.body;
    EXPECT_EQ(gameLinks(fetch("/").body).front(), "/g0.jad");
}

TEST_F(GameList, IsOffWithoutTheSetting)
{
    service.setGameList(false);
    JarFile().manifest(kLoneManifest).write(games.path() / "lone.jar");
    games.write("sub/x.jad", "");

    for (const std::string path : {"/", "/sub/", "/lone.jad"}) {
        EXPECT_EQ(fetch(path).status, "HTTP/1.0 404 Not Found") << path;
        EXPECT_EQ(sink.entries(), (std::vector<std::string>{entry(mapRequestPath(games.string(), path)), entry("Sorry! File not found.")}));
    }
    // Paths are used as sent.
    games.write("My Game.jad", "x");
    EXPECT_EQ(fetch("/My%20Game.jad").status, "HTTP/1.0 404 Not Found");
}

} // namespace
