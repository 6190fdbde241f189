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
// file.
class frmTarnwick final : public QWidget {
public:
    // `settingsFile` is the full path of the settings file, which need not
    // exist yet.
    explicit frmTarnwick(const QString& settingsFile);

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
    void cmdStopListening_Click();
    void cmdBrowse_Click();
    void SetButtonsListening();
    void SetButtonsStopped();

    // A line in the log about the server itself rather than a request.
    void logServerMessage(const std::string& message);

    QString m_settingsFile;
    std::string m_VirtualDir;

    QPushButton* cmdListen;
    QLabel* Label1;
    QLineEdit* txtVirtualDir;
    QPushButton* cmdBrowse;
    QPushButton* cmdStopListening;
    ActivityLogView* txtWorkingStatus;
    QLabel* Label2;

    std::unique_ptr<TarnwickServer> m_server;
};
