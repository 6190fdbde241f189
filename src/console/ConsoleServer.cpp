#include "ConsoleServer.h"

#include "Clock.h"
#include "PhoneReach.h"
#include "PrintableText.h"
#include "ServerSettings.h"
#include "Version.h"

#include <vector>

namespace {

std::string repairMode(bool repaired)
{
    return repaired ? "repaired as served (" + std::string(kRepairKey) + "=1; the files stay as they are)"
                    : "byte for byte as on disk (" + std::string(kRepairKey) + " is off)";
}

std::string versionText()
{
    return "Tarnwick v" + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
        std::to_string(kVersionRevision);
}

} // namespace

ConsoleServer::ConsoleServer(std::string settingsFile, LogSink& log)
    : m_settingsFile(std::move(settingsFile))
    , m_log(log)
    , m_server(log)
{
}

void ConsoleServer::writeLine(const std::string& message)
{
    // A line about the server itself carries no peer address.
    m_log.appendEntry(formatLogEntry(SystemClock().localNow(), "", printableMessage(message)));
}

bool ConsoleServer::start()
{
    const ServerSettings settings = readServerSettings(m_settingsFile);
    m_server.setGameDirectory(settings.gameDirectory);
    m_server.setGameList(settings.gameList);
    m_server.setRepairDescriptors(settings.repairDescriptors);
    for (const std::string& problem : settings.problems)
        writeLine(problem);
    const std::string port(kPortKey);
    std::string why;
    bool listening = false;
    if (!settings.port) {
        writeLine("Server not started: " + settings.portProblem + ". Set \"" + port + "\" under [" +
                  std::string(kServerSection) + "] in " + m_settingsFile + " (for example " + port +
                  "=8080), then start tarnwick again.");
    } else if (!m_server.startListening(*settings.port, why, {settings.headerTimeout, settings.idleTimeout})) {
        writeLine("Server not started: port " + std::to_string(*settings.port) + " cannot be opened (" + why +
                  "). Stop the program that uses it or choose another \"" + port + "\" in " + m_settingsFile +
                  ", then start tarnwick again.");
    } else {
        listening = true;
    }
    writeAboutLines(settings.repairDescriptors, settings.gameDirectory);
    if (listening) {
        m_server.gameCheck().checkAll(settings.gameDirectory, phoneOrigins(m_server.listeningPort()),
                                      settings.repairDescriptors, settings.gameList);
    }
    return listening;
}

void ConsoleServer::writeAboutLines(bool repaired, const std::string& gameDirectory)
{
    writeLine(versionText() + " - installs J2ME games on phones over the air - settings in " + m_settingsFile);
    writeLine(phoneReachLine(m_server.isListening() ? std::optional(m_server.listeningPort()) : std::nullopt));
    writeLine("Serves .jad, .jar and .html files from " + (gameDirectory.empty() ? "no folder yet" : gameDirectory) +
              ", descriptors " + repairMode(repaired) + "; help: tarnwick --help");
}
