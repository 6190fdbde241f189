#pragma once

#include "TarnwickServer.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class ActivityLogView;
class AttemptRelay;
class LogRelay;
class PhoneAttemptsModel;
class frmPhones;
class QLabel;
class QLineEdit;
class QPushButton;

// The main window: the game directory with its "..." button, the activity
// log, the Start Server and Stop Server buttons, and Phones… that opens the
// Phones window. It owns the server for
// the whole run; loading it starts the server on the port from the settings
// file.
class frmTarnwick final : public QWidget {
public:
    // `settingsFile` is the full path of the settings file, which need not
    // exist yet.
    explicit frmTarnwick(const QString& settingsFile);
    ~frmTarnwick() override;

    [[nodiscard]] QPushButton* startButton() const { return cmdListen; }
    [[nodiscard]] QPushButton* stopButton() const { return cmdStopListening; }
    [[nodiscard]] QPushButton* browseButton() const { return cmdBrowse; }
    [[nodiscard]] QPushButton* phonesButton() const { return cmdPhones; }
    // The Phones window, once it was opened.
    [[nodiscard]] frmPhones* phonesWindow() const { return m_phonesWindow; }
    // What the engine tells of install attempts goes through it.
    [[nodiscard]] AttemptRelay& attemptRelay() const { return *m_attemptRelay; }
    [[nodiscard]] QLineEdit* directoryField() const { return txtVirtualDir; }
    [[nodiscard]] ActivityLogView* activityLog() const { return txtWorkingStatus; }
    [[nodiscard]] const std::string& gameDirectory() const { return m_VirtualDir; }
    [[nodiscard]] TarnwickServer& server() { return *m_server; }
    [[nodiscard]] GameCheck& gameCheck() { return m_server->gameCheck(); }

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
    void cmdPhones_Click();
    void SetButtonsListening();
    void SetButtonsStopped();

    // A line in the log about the server itself rather than a request.
    void logServerMessage(const std::string& message);
    // Checks the games in the game directory as phones reaching this server
    // will see them; the findings arrive in the log as they are made, after
    // whatever was written before this call.
    void checkGames();
    // Listens on the port read anew from the settings file, or says why not;
    // whether it listens.
    bool startServer();

    QString m_settingsFile;
    // Whether descriptors were served repaired after the last start.
    std::optional<bool> m_repairInForce;
    // Whether the game list was on after the last start.
    bool m_gameListInForce = false;
    std::string m_VirtualDir;

    QPushButton* cmdListen;
    QLabel* Label1;
    QLineEdit* txtVirtualDir;
    QPushButton* cmdBrowse;
    QPushButton* cmdStopListening;
    ActivityLogView* txtWorkingStatus;
    QLabel* Label2;
    QPushButton* cmdPhones;
    PhoneAttemptsModel* m_attempts;
    frmPhones* m_phonesWindow = nullptr;

    // Before the server: its entries go through it until it ends.
    std::unique_ptr<LogRelay> m_logRelay;
    // Likewise for the attempts the engine follows.
    std::unique_ptr<AttemptRelay> m_attemptRelay;
    std::unique_ptr<TarnwickServer> m_server;
};
