#include "ConsoleProgram.h"

#include "CommandLine.h"
#include "ConsoleLog.h"
#include "ConsoleServer.h"
#include "SettingsLocation.h"
#include "StopRequest.h"
#include "Version.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The status of a command line that cannot be followed, as usual for
// command-line programs.
constexpr int kUsageError = 2;

} // namespace

int runConsole(const std::vector<std::string>& arguments, const std::filesystem::path& programFolder)
{
    const CommandLine line = readCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(usageText(settingsPlaces()).c_str(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("Tarnwick %d.%d.%d\n", kVersionMajor, kVersionMinor, kVersionRevision);
        return 0;
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "tarnwick: %s\nTry 'tarnwick --help' for more information.\n", line.problem.c_str());
        return kUsageError;
    case CommandLine::Action::Serve:
        break;
    }
    // Before any thread starts: every one of them leaves stop requests to this one.
    catchStopRequests();
    const std::filesystem::path settingsFile = settingsFilePath({line.settingsFile, programFolder, {}});
    std::string why;
    if (!makeSettingsFolder(settingsFile, why))
        std::fprintf(stderr, "tarnwick: cannot make the folder of %s: %s\n",
                     reinterpret_cast<const char*>(settingsFile.u8string().c_str()), why.c_str());
    {
        ConsoleLog log(stdout);
        {
            ConsoleServer server(reinterpret_cast<const char*>(settingsFile.u8string().c_str()), log);
            server.start();
            waitForStopRequest();
        }
        log.flush();
    }
    stoppedCleanly();
    return 0;
}
