#pragma once

#include "ActivityLog.h"
#include "TarnwickServer.h"

#include <memory>
#include <string>

// The server as the program without a window runs it: started from the
// settings file as the window's Start Server does, the three about lines
// and every problem in the log, the games checked once it listens.
class ConsoleServer {
public:
    ConsoleServer(std::string settingsFile, LogSink& log);

    // Reads the settings and listens; whether it listens. Why not is in the log.
    bool start();

private:
    void writeLine(const std::string& message);
    void writeAboutLines(bool repaired, const std::string& gameDirectory);

    std::string m_settingsFile;
    LogSink& m_log;
    TarnwickServer m_server;
};
