#include "GameDirectory.h"
#include "MimeType.h"
#include "Response.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace {

struct MappingCase {
    const char* virtualDir;
    const char* requestPath;
    const char* mappedPath;
    const char* mimeType;
};

std::ostream& operator<<(std::ostream& out, const MappingCase& c)
{
    return out << testing::PrintToString(std::string(c.virtualDir)) << " + "
               << testing::PrintToString(std::string(c.requestPath));
}

// The cases are written with slashes; the request's part of a mapped path
// is joined with the system's separator.
std::string expectedMapping(const MappingCase& c)
{
    std::string expected = c.mappedPath;
    if (std::string_view(c.requestPath).starts_with('/'))
        std::replace(expected.begin() + static_cast<std::ptrdiff_t>(std::strlen(c.virtualDir)), expected.end(), '/',
                     static_cast<char>(std::filesystem::path::preferred_separator));
    return expected;
}

class PathMapping : public testing::TestWithParam<MappingCase> {};

TEST_P(PathMapping, AppendsThePathAndTypesItByTheFilesOwnName)
{
    const std::string mapped = mapRequestPath(GetParam().virtualDir, GetParam().requestPath);
    EXPECT_EQ(mapped, expectedMapping(GetParam()));
    EXPECT_EQ(GetMimeType(mapped), GetParam().mimeType) << mapped;
}

constexpr const char* kDescriptor = "text/vnd.sun.j2me.app-descriptor";
constexpr const char* kArchive = "application/java-archive";
constexpr const char* kHtml = "text/html";

INSTANTIATE_TEST_SUITE_P(
    Cases, PathMapping,
    testing::Values(MappingCase{"/srv/games", "/a.jad", "/srv/games/a.jad", kDescriptor},
                    MappingCase{"/srv/games", "/A.JAR", "/srv/games/A.JAR", kArchive},
                    MappingCase{"/srv/games", "/HELLO.JAD", "/srv/games/HELLO.JAD", kDescriptor},
                    MappingCase{"/srv/games", "/index.HTML", "/srv/games/index.HTML", kHtml},
                    MappingCase{"/srv/games", "/a.htm", "/srv/games/a.htm", kHtml},
                    MappingCase{"/srv/games", "/a.png", "/srv/games/a.png", kHtml},
                    MappingCase{"/srv/games", "/readme", "/srv/games/readme", kHtml},
                    MappingCase{"/srv/games", "/a.", "/srv/games/a.", kHtml},
                    // Versioned names: only the last dot counts.
                    MappingCase{"/srv/games", "/snake.v1.2.jar", "/srv/games/snake.v1.2.jar", kArchive},
                    MappingCase{"/srv/games", "/a.b.jad", "/srv/games/a.b.jad", kDescriptor},
                    MappingCase{"/srv/games", "/a.jad.html", "/srv/games/a.jad.html", kHtml},
                    MappingCase{"/srv/games", "/a.jar.bak", "/srv/games/a.jar.bak", kHtml},
                    // Dots in the folders above the file never take part.
                    MappingCase{"/srv/My.Games", "/a.jad", "/srv/My.Games/a.jad", kDescriptor},
                    MappingCase{"/home/ann.smith/games", "/snake.v1.2.jar", "/home/ann.smith/games/snake.v1.2.jar",
                                kArchive},
                    MappingCase{"/root/.local/share/games", "/a.jad", "/root/.local/share/games/a.jad", kDescriptor},
                    MappingCase{"/srv/games.v2", "/readme", "/srv/games.v2/readme", kHtml},
                    MappingCase{"/srv/games", "/v1.0/readme", "/srv/games/v1.0/readme", kHtml},
                    MappingCase{"/srv/games", "/v1.0/a.jar", "/srv/games/v1.0/a.jar", kArchive},
                    MappingCase{"/srv/games", "/games/x.jad", "/srv/games/games/x.jad", kDescriptor},
                    MappingCase{"", "/a.jad", "/a.jad", kDescriptor},
                    MappingCase{"/", "/a.jad", "//a.jad", kDescriptor},
                    MappingCase{"/srv/games", "/a.jad?x=1", "/srv/games/a.jad?x=1", kHtml},
                    MappingCase{"/srv/games", "/My%20Game.jad", "/srv/games/My%20Game.jad", kDescriptor},
                    MappingCase{"/srv/games", "/", "/srv/games/", kHtml},
                    MappingCase{"/srv/games.v2", "/", "/srv/games.v2/", kHtml},
                    MappingCase{"/srv/games", "relative.jad", "relative.jad", kDescriptor}));

TEST(ErrorPage, WrapsTheMessageOnOneLine)
{
    EXPECT_EQ(BuildErrorPage(kNotFoundMessage),
              "<html><head><title>Error on Server</title></head><body>Sorry! File not found.</body></html>");
    EXPECT_EQ(BuildErrorPage(kNotFoundMessage).size(), 91u);
}

class Confinement : public testing::Test {
protected:
    Confinement()
    {
        games.write("a.jad", "inside");
        games.write("sub/b.jar", "inside");
        games.write(".hidden.jad", "hidden");
        games.write(".git/config", "hidden");
        outside.write("secret.jad", "outside");
        // Wine's file systems have no symbolic links: there the link's case goes.
        std::error_code noLink;
        std::filesystem::create_symlink(outside.path(), games.path() / "linked", noLink);
        linked = !noLink;
    }

    bool servable(const std::string& requestPath) const
    {
        return openGameFile(games.string(), requestPath, mapRequestPath(games.string(), requestPath)).status
            == OpenedGameFile::Status::Opened;
    }

    TempDirectory games;
    TempDirectory outside;
    bool linked = false;
};

TEST_F(Confinement, ServesOrdinaryFilesInsideTheFolder)
{
    EXPECT_TRUE(servable("/a.jad"));
    EXPECT_TRUE(servable("/sub/b.jar"));
#ifdef _WIN32
    // There a path that starts with two separators names a share.
    EXPECT_FALSE(servable("//sub//b.jar"));
#else
    EXPECT_TRUE(servable("//sub//b.jar"));
#endif
    // A link inside the game directory is the operator's choice to follow.
    if (linked) {
        EXPECT_TRUE(servable("/linked/secret.jad"));
    }
}

TEST_F(Confinement, NeverServesFromOutsideOrHiddenOrFolders)
{
    const std::string up = "/../" + outside.path().filename().string() + "/secret.jad";
    for (const std::string& path :
         {up, "/sub/../../" + outside.path().filename().string() + "/secret.jad", std::string("/sub/../a.jad"),
          std::string("/./a.jad"), std::string("/.hidden.jad"), std::string("/.git/config"), std::string("/"),
          std::string("/sub"), std::string("/missing.jad"), std::string("/a.jad\0.txt", 11),
          (outside.path() / "secret.jad").string().substr(1), std::string("a.jad"), std::string("")}) {
        EXPECT_FALSE(servable(path)) << path;
    }
    // An absolute path that does not start with "/" is used as it is, and refused.
    const std::string absolute = (outside.path() / "secret.jad").string();
    EXPECT_FALSE(isServablePath(games.string(), "C:" + absolute));
}

TEST_F(Confinement, ServesNothingWithoutAGameDirectory)
{
    const std::string absolute = (games.path() / "a.jad").string();
    EXPECT_EQ(openGameFile("", absolute, mapRequestPath("", absolute)).status, OpenedGameFile::Status::NotFound);
}

} // namespace
