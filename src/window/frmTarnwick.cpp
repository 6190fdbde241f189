#include "frmTarnwick.h"

#include "ActivityLogView.h"
#include "AttemptRelay.h"
#include "PhoneAttemptsModel.h"
#include "frmPhones.h"
#include "PhoneReach.h"
#include "LogRelay.h"
#include "Version.h"
#include "WindowIcon.h"
#include "frmDir.h"
#include "Twips.h"
#include "ServerSettings.h"
#include "modIniFile.h"
#include "modMain.h"

#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr const char* kHelp = "help: tarnwick --help, man tarnwick";

std::string repairMode(bool repaired)
{
    return repaired ? "repaired as served (" + std::string(kRepairKey) + "=1; the files stay as they are)"
                    : "byte for byte as on disk (" + std::string(kRepairKey) + " is off)";
}

} // namespace

frmTarnwick::frmTarnwick(const QString& settingsFile)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_settingsFile(settingsFile)
    , cmdListen(new QPushButton(QStringLiteral("Start Server"), this))
    , Label1(new QLabel(QStringLiteral("Java Game Directory:"), this))
    , txtVirtualDir(new QLineEdit(this))
    , cmdBrowse(new QPushButton(QStringLiteral("..."), this))
    , cmdStopListening(new QPushButton(QStringLiteral("Stop Server"), this))
    , txtWorkingStatus(new ActivityLogView(this))
    , Label2(new QLabel(QStringLiteral("Incoming Request Status:"), this))
    , cmdPhones(new QPushButton(QStringLiteral("Phones\u2026"), this))
    , m_attempts(new PhoneAttemptsModel(this))
    , m_logRelay(std::make_unique<LogRelay>(*txtWorkingStatus))
    , m_attemptRelay(std::make_unique<AttemptRelay>(*m_attempts))
    , m_server(std::make_unique<TarnwickServer>(*m_logRelay))
{
    // The layout was drawn for Tahoma 9 pt; a stand-in font is wider, so one
    // size smaller keeps every caption whole.
    QFont font(QStringLiteral("Tahoma"), 9);
    if (QFontInfo(font).family() != font.family())
        font.setPointSize(8);
    setFont(font);
    setFixedSize(twips(0, 0, 7260, 5550).size());
    setWindowIcon(makeWindowIcon());

    cmdListen->setGeometry(twips(1868, 4995, 1635, 405));
    Label1->setGeometry(twips(150, 165, 1890, 225));
    txtVirtualDir->setGeometry(twips(1980, 135, 4680, 315));
    cmdBrowse->setGeometry(twips(6780, 135, 375, 345));
    cmdStopListening->setGeometry(twips(3758, 4995, 1635, 405));
    txtWorkingStatus->setGeometry(twips(120, 825, 7005, 4005));
    Label2->setGeometry(twips(135, 585, 2220, 240));
    // At the right end of the bottom row, flush with the log.
    cmdPhones->setGeometry(twips(5490, 4995, 1635, 405));

    txtVirtualDir->setEnabled(false);
    cmdStopListening->setEnabled(false);
    cmdListen->setDefault(true);
    // Enter on a focused button presses that button.
    cmdBrowse->setAutoDefault(true);
    cmdStopListening->setAutoDefault(true);
    cmdPhones->setAutoDefault(true);
    setTabOrder(cmdListen, cmdBrowse);
    setTabOrder(cmdBrowse, cmdStopListening);
    setTabOrder(cmdStopListening, cmdPhones);
    setTabOrder(cmdPhones, txtWorkingStatus);

    connect(cmdListen, &QPushButton::clicked, this, &frmTarnwick::cmdListen_Click);
    connect(cmdStopListening, &QPushButton::clicked, this, &frmTarnwick::cmdStopListening_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmTarnwick::cmdBrowse_Click);
    connect(cmdPhones, &QPushButton::clicked, this, &frmTarnwick::cmdPhones_Click);

    m_server->setAttemptHandler([relay = m_attemptRelay.get()](const InstallAttempt& attempt) { relay->post(attempt); });
    Form_Load();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

frmTarnwick::~frmTarnwick() = default;

void frmTarnwick::Form_Load()
{
    SetIniFilePath();
    LoadVirtualDirectory();
    setWindowTitle(QStringLiteral("Tarnwick v%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
    const bool listening = startServer();
    writeAboutLines();
    // After the about lines, which the findings follow.
    if (listening)
        checkGames();
}

void frmTarnwick::SetIniFilePath()
{
    IniFilePath = m_settingsFile.toStdString();
}

void frmTarnwick::LoadVirtualDirectory()
{
    m_server->resetLastSlot();
    m_VirtualDir = readServerSettings(IniFilePath).gameDirectory;
    if (!m_VirtualDir.empty())
        txtVirtualDir->setText(QString::fromStdString(m_VirtualDir));
    m_server->setGameDirectory(m_VirtualDir);
}

void frmTarnwick::writeAboutLines()
{
    const std::string version = windowTitle().toStdString();
    const std::string reach =
        phoneReachLine(m_server->isListening() ? std::optional(m_server->listeningPort()) : std::nullopt);
    m_logRelay->appendEntry(version + " - installs J2ME games on phones over the air - settings in " +
                            IniFilePath + "\r\n");
    m_logRelay->appendEntry(reach + "\r\n");
    m_logRelay->appendEntry("Serves .jad, .jar and .html files from the game directory above, descriptors " +
                            repairMode(m_repairInForce.value_or(false)) + "; " + std::string(kHelp) + "\r\n");
}

bool frmTarnwick::startServer()
{
    const ServerSettings settings = readServerSettings(IniFilePath);
    m_server->setGameList(settings.gameList);
    m_gameListInForce = settings.gameList;
    m_server->setRepairDescriptors(settings.repairDescriptors);
    // The about lines say which is in force at start; a later start says so when it changed.
    if (m_repairInForce && *m_repairInForce != settings.repairDescriptors)
        logServerMessage("From now on descriptors are served " + repairMode(settings.repairDescriptors) + ".");
    m_repairInForce = settings.repairDescriptors;
    for (const std::string& problem : settings.problems)
        logServerMessage(problem);
    const std::string port(kPortKey);
    const std::string section(kServerSection);
    if (!settings.port) {
        m_server->stopListening();
        SetButtonsStopped();
        logServerMessage("Server not started: " + settings.portProblem + ". Set \"" + port + "\" under [" + section +
                         "] in " + IniFilePath + " (for example " + port + "=8080), then press Start Server.");
        return false;
    }
    std::string why;
    if (!m_server->startListening(*settings.port, why, {settings.headerTimeout, settings.idleTimeout})) {
        SetButtonsStopped();
        logServerMessage("Server not started: port " + std::to_string(*settings.port) + " cannot be opened (" + why +
                         "). Stop the program that uses it or choose another \"" + port + "\" in " + IniFilePath +
                         ", then press Start Server.");
        return false;
    }
    SetButtonsListening();
    return true;
}

void frmTarnwick::cmdListen_Click()
{
    if (startServer())
        checkGames();
}

void frmTarnwick::cmdStopListening_Click()
{
    m_server->stopListening();
    SetButtonsStopped();
}

void frmTarnwick::cmdBrowse_Click()
{
    frmDir dialog(this);
    dialog.txtBox(txtVirtualDir);
    // Requests go on being served meanwhile, from the directory in force.
    const bool chosen = dialog.exec() == QDialog::Accepted;
    if (!WriteIniValue(kDirectorySection, kDirectoryKey, txtVirtualDir->text().toStdString(), IniFilePath))
        logServerMessage("The game directory could not be saved in " + IniFilePath +
                         "; it is used until the program ends.");
    m_VirtualDir = txtVirtualDir->text().toStdString();
    m_server->setGameDirectory(m_VirtualDir);
    if (chosen)
        checkGames();
}

void frmTarnwick::cmdPhones_Click()
{
    // Made once and kept: its rows and sorting stay as the operator left them.
    if (!m_phonesWindow)
        m_phonesWindow = new frmPhones(*m_attempts, this);
    m_phonesWindow->show();
    m_phonesWindow->raise();
    m_phonesWindow->activateWindow();
}

void frmTarnwick::SetButtonsListening()
{
    cmdListen->setEnabled(false);
    cmdStopListening->setEnabled(true);
}

void frmTarnwick::SetButtonsStopped()
{
    cmdListen->setEnabled(true);
    cmdStopListening->setEnabled(false);
}

void frmTarnwick::logServerMessage(const std::string& message)
{
    // A line about the server itself carries no peer address. It goes where
    // the about lines go, on this thread, so that the two keep their order.
    m_logRelay->appendEntry(formatLogEntry(SystemClock().localNow(), "", printableMessage(message)));
}

void frmTarnwick::checkGames()
{
    // While stopped, the port phones will reach is the one the next start takes.
    const std::optional<std::int32_t> port =
        m_server->isListening() ? m_server->listeningPort() : readServerSettings(IniFilePath).port;
    std::vector<std::string> origins = port ? phoneOrigins(static_cast<std::uint16_t>(*port)) : std::vector<std::string>{};
    // With the game list on, the server decodes request paths, and so does the check.
    m_server->gameCheck().checkAll(m_VirtualDir, std::move(origins), m_repairInForce.value_or(false),
                                   m_gameListInForce);
}

void frmTarnwick::keyPressEvent(QKeyEvent* event)
{
    // Enter anywhere but on another button presses the default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && cmdListen->isEnabled()) {
        cmdListen->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
