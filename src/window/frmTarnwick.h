#pragma once

#include "TarnwickServer.h"

#include <QWidget>

#include <memory>
#include <string>

class ActivityLogView;
class QLabel;
class QLineEdit;
class QPushButton;

// The main window: the game directory with its "..." button, the activity
// log, and the Start Server and Stop Server buttons. It owns the server for
// the whole run; loading it starts the server on the port from the settings
// file beside the program.
class frmTarnwick final : public QWidget {
public:
    // `programFolder` is where the settings file lies: the program's own
    // folder, unless a test puts it elsewhere.
    explicit frmTarnwick(const QString& programFolder);

    [[nodiscard]] QPushButton* startButton() const { return cmdListen; }
    [[nodiscard]] QPushButton* stopButton() const { return cmdStopListening; }
    [[nodiscard]] QPushButton* browseButton() const { return cmdBrowse; }
    [[nodiscard]] QLineEdit* directoryField() const { return txtVirtualDir; }
    [[nodiscard]] ActivityLogView* activityLog() const { return txtWorkingStatus; }
    [[nodiscard]] const std::string& gameDirectory() const { return m_VirtualDir; }
    [[nodiscard]] TarnwickServer& server() { return *m_server; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void SetIniFilePath();
    void LoadVirtualDirectory();
    void writeAboutLines();

    void cmdListen_Click();
    // The connections' time limits from the settings file, read at each start.
    ConnectionLimits readConnectionLimits();
    void cmdStopListening_Click();
    void cmdBrowse_Click();
    void SetButtonsListening();
    void SetButtonsStopped();

    // A line in the log about the server itself rather than a request.
    void logServerMessage(const std::string& message);

    QString m_programFolder;
    std::string m_VirtualDir;

    QPushButton* cmdListen;
    QLabel* Label1;
    QLineEdit* txtVirtualDir;
    QPushButton* cmdBrowse;
    QPushButton* cmdStopListening;
    ActivityLogView* txtWorkingStatus;
    QLabel* Label2;

    // The log as the engine's I/O thread reaches it; outlives the server.
    std::unique_ptr<LogSink> m_logSink;
    std::unique_ptr<TarnwickServer> m_server;
};
