#include "GameDirectory.h"
#include "NativeFile.h"
#include "WindowsNames.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
    std::string requestPath;
    bool bends;
};

void PrintTo(const NameCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.requestPath);
}

class WindowsNames : public testing::TestWithParam<NameCase> {};

TEST_P(WindowsNames, AreToldOnEverySystem)
{
    EXPECT_EQ(bendsOnWindows(GetParam().requestPath), GetParam().bends);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsNames,
    testing::Values(
        // Devices, with or without an extension, in any letter case and any segment.
        NameCase{"/con", true}, NameCase{"/CON.jad", true}, NameCase{"/nul.txt.jad", true}, NameCase{"/aux", true},
        NameCase{"/prn.html", true}, NameCase{"/com1.jad", true}, NameCase{"/LPT9", true},
        NameCase{"/Com0", true}, NameCase{"/conin$", true}, NameCase{"/CONOUT$", true},
        NameCase{"/nul .txt", true}, NameCase{"/games/aux/a.jad", true},
        NameCase{"/COM\xC2\xB9.jad", true}, NameCase{"/lpt\xC2\xB3", true},
        // Names that only begin like a device are names.
        NameCase{"/console.jad", false}, NameCase{"/com10.jad", false}, NameCase{"/com", false},
        NameCase{"/lpt.jad", false}, NameCase{"/conin.jad", false}, NameCase{"/my con.jad", false},
        NameCase{"/nullify.jar", false}, NameCase{"/COM\xC2\xB4.jad", false},
        // Dots and spaces that Windows drops.
        NameCase{"/hello.jad.", true}, NameCase{"/hello.jad ", true}, NameCase{"/hello.jad. .", true},
        NameCase{"/games./a.jad", true}, NameCase{"/games /a.jad", true},
        // Streams, drives, backslashes and shares.
        NameCase{"/hello.jad::$DATA", true}, NameCase{"/hello.jad:stream", true}, NameCase{"/C:secret.txt", true},
        NameCase{"/c:/windows/win.ini", true}, NameCase{"/..\\secret.txt", true},
        NameCase{"/games\\..\\secret.txt", true}, NameCase{"/\\\\localhost\\c$\\windows\\win.ini", true},
        NameCase{"//localhost/c$/windows/win.ini", true}, NameCase{"//a.jad", true},
        // Short names, and tildes that are none.
        NameCase{"/LONGGA~1.JAD", true}, NameCase{"/games/PROGRA~12/a.jad", true}, NameCase{"/a~9", true},
        NameCase{"/snake~.jar", false}, NameCase{"/~user/a.jad", false}, NameCase{"/a~b.jad", false},
        // Ordinary names, percent signs undecoded, empty segments inside.
        NameCase{"/", false}, NameCase{"/hello.jad", false}, NameCase{"/Snake v1.2 (2005).JAR", false},
        NameCase{"/hello.jad%20", false}, NameCase{"/%5C..%5Csecret.txt", false}, NameCase{"/sub//b.jar", false},
        NameCase{"/Caf\xC3\xA9/\xD0\xA0\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82\xD0\xB0.jad", false},
        NameCase{"/a.b.c.jad", false}, NameCase{"/.hidden.jad", false}));

// On Windows a bent name would open a file it does not name; elsewhere it
// names a file of its own, served as any other.
TEST(WindowsNamesServed, OnWindowsOnly)
{
    TempDirectory games;
    games.write("hello.jad", "hello");
    const std::string directory = games.string();
    for (const std::string bent : {"/hello.jad.", "/hello.jad ", "/hello.jad::$DATA", "/HELLO~1.JAD", "/con"}) {
        EXPECT_EQ(isServablePath(directory, bent), !kNamesBend) << bent;
        if (kNamesBend) {
            EXPECT_EQ(openGameFile(directory, bent, mapRequestPath(directory, bent)).status,
                      OpenedGameFile::Status::NotFound)
                << bent;
        }
    }
    EXPECT_TRUE(isServablePath(directory, "/hello.jad"));
}

} // namespace
