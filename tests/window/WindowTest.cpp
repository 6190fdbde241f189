#include "frmTarnwick.h"

#include "ActivityLogView.h"
#include "FreePort.h"
#include "LoopbackClient.h"
#include "TempDirectory.h"
#include "WaitFor.h"
#include "modIniFile.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The window over a program folder of the test's own, with its settings file.
class Window : public testing::Test {
protected:
    Window() { games.write("a.jad", "descriptor"); }

    void writeSettings(const std::string& port, const std::string& directory)
    {
        folder.write("Tarnwick.ini", "[Server Setting]\nLocalPort=" + port +
                                         "\n[Directory Setting]\nVirtual Directory=" + directory + "\n");
    }

    frmTarnwick& open()
    {
        window = std::make_unique<frmTarnwick>(QString::fromStdString(folder.string() + "/Tarnwick.ini"));
        window->show();
        settleGameCheck();
        return *window;
    }

    // Lets the game check finish and its lines reach the log.
    void settleGameCheck()
    {
        window->gameCheck().waitUntilIdle();
        QApplication::processEvents();
    }

    // The log without the game check's lines, which have a test of their own.
    QStringList logLines()
    {
        QStringList lines = allLogLines();
        lines.removeIf([](const QString& line) { return line.contains(" - Game check: "); });
        return lines;
    }

    QStringList allLogLines()
    {
        // Entries reach the view within a frame of being written.
        QTest::qWait(50);
        QString text = window->activityLog()->toPlainText();
        if (text.endsWith('\n'))
            text.chop(1);
        return text.split('\n');
    }

    bool accepts(quint16 port)
    {
        LoopbackClient client;
        return client.connectTo(port, 1000);
    }

    bool isStarted() const { return !window->startButton()->isEnabled() && window->stopButton()->isEnabled(); }
    bool isStopped() const { return window->startButton()->isEnabled() && !window->stopButton()->isEnabled(); }

    TempDirectory folder;
    TempDirectory games;
    quint16 port = freePort();
    std::unique_ptr<frmTarnwick> window;
};

TEST_F(Window, OpensListeningWithItsCaptionDirectoryAndThreeAboutLines)
{
    writeSettings(std::to_string(port), games.string());
    open();

    EXPECT_EQ(window->windowTitle(), "Tarnwick v1.0.0");
    EXPECT_EQ(window->directoryField()->text().toStdString(), games.string());
    EXPECT_FALSE(window->directoryField()->isEnabled());
    EXPECT_EQ(window->size(), QSize(484, 370));
    EXPECT_TRUE(isStarted());
    EXPECT_TRUE(accepts(port));

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 3) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Tarnwick v1.0.0"));
    EXPECT_TRUE(lines[0].endsWith(QString::fromStdString(" settings in " + folder.string() + "/Tarnwick.ini")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(":" + QString::number(port) + "/")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(".jad"));
    EXPECT_TRUE(lines[2].endsWith("help: tarnwick --help, man tarnwick")) << lines[2].toStdString();
}

TEST_F(Window, ChecksTheGamesAfterEachStart)
{
    writeSettings(std::to_string(port), games.string());
    open();
    const QStringList lines = allLogLines();
    ASSERT_EQ(lines.size(), 6) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[3].endsWith("                 - Game check: a.jad: line 1: a line without \":\" "
                                  "(\"descriptor\") (a phone reports 906 Invalid descriptor); write it as \"Name: "
                                  "value\" or remove it"))
        << lines[3].toStdString();
    EXPECT_TRUE(lines[4].contains(" - Game check: a.jad: it lacks MIDlet-Name, ")) << lines[4].toStdString();
    EXPECT_TRUE(lines[5].endsWith(" - Game check: 0 games ready, 1 with problems")) << lines[5].toStdString();

    games.write("a.jad", "");
    QTest::mouseClick(window->stopButton(), Qt::LeftButton);
    QTest::mouseClick(window->startButton(), Qt::LeftButton);
    settleGameCheck();
    EXPECT_TRUE(allLogLines().last().endsWith(" - Game check: 0 games ready, 1 with problems"));
    EXPECT_TRUE(allLogLines().value(allLogLines().size() - 2).contains(" - Game check: a.jad: it lacks MIDlet-Name, "));
}

TEST_F(Window, StopsAndStartsTheListenerWithTheButtonsAndEnter)
{
    writeSettings(std::to_string(port), games.string());
    open();
    window->activityLog()->setFocus();

    QTest::mouseClick(window->stopButton(), Qt::LeftButton);
    EXPECT_TRUE(isStopped());
    EXPECT_FALSE(accepts(port));

    // Enter starts the server from the log, which takes no keys itself.
    QTest::keyClick(window->activityLog(), Qt::Key_Return);
    EXPECT_TRUE(isStarted());
    EXPECT_TRUE(accepts(port));

    // While listening, Enter there does nothing.
    QTest::keyClick(window->activityLog(), Qt::Key_Return);
    EXPECT_TRUE(isStarted());
}

TEST_F(Window, ReadsThePortAnewAtEveryStart)
{
    writeSettings(std::to_string(port), games.string());
    open();
    const quint16 newPort = freePort();
    writeSettings(std::to_string(newPort), games.string());

    QTest::mouseClick(window->stopButton(), Qt::LeftButton);
    QTest::mouseClick(window->startButton(), Qt::LeftButton);

    EXPECT_TRUE(isStarted());
    EXPECT_TRUE(accepts(newPort));
    EXPECT_FALSE(accepts(port));
}

TEST_F(Window, StopAndStartWhileDownloadsRunLoseNothing)
{
    std::string archive(1024 * 1024, '\0');
    for (std::size_t i = 0; i < archive.size(); ++i)
        archive[i] = static_cast<char>(i * 131 % 251);
    games.write("game.jar", archive);
    writeSettings(std::to_string(port), games.string());
    open();

    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<LoopbackClient>());
        ASSERT_TRUE(clients.back()->connectTo(port));
        clients.back()->send("GET /game.jar HTTP/1.0\r\n\r\n");
    }
    waitFor([] { return false; }, 20);
    QTest::mouseClick(window->stopButton(), Qt::LeftButton);
    waitFor([] { return false; }, 20);
    QTest::mouseClick(window->startButton(), Qt::LeftButton);
    EXPECT_TRUE(isStarted());

    for (auto& client : clients) {
        const auto response = client->readResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->body, archive);
    }
    LoopbackClient late;
    ASSERT_TRUE(late.connectTo(port));
    late.send("GET /a.jad HTTP/1.0\r\n\r\n");
    const auto response = late.readResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, "descriptor");
}

TEST_F(Window, ServesTheSampleGamesAtTheAddressItShows)
{
    QProcess setup;
    setup.start("cmake", {"-DSOURCE=" TARNWICK_SOURCE_DIR "/share", "-DTARGET=" + QString::fromStdString(folder.string()),
                          "-P", TARNWICK_SOURCE_DIR "/share/DefaultSetup.cmake"});
    ASSERT_TRUE(setup.waitForFinished(30000));
    ASSERT_EQ(setup.exitCode(), 0) << setup.readAllStandardError().toStdString();
    // The default port may be taken on a test machine; everything else stays as laid out.
    WriteIniValue("Server Setting", "LocalPort", std::to_string(port), folder.string() + "/Tarnwick.ini");
    open();

    const QString reach = logLines().value(1);
    const auto found = QRegularExpression("http://[0-9.]+:[0-9]+/").match(reach);
    ASSERT_TRUE(found.hasMatch()) << reach.toStdString();
    QProcess curl;
    curl.start("curl", {"-s", "--max-time", "10", found.captured() + "hello.jad"});
    ASSERT_TRUE(waitFor([&] { return curl.state() == QProcess::NotRunning; }, 15000));
    const std::string descriptor = curl.readAllStandardOutput().toStdString();
    // The default setup serves descriptors repaired: the archive at the address the phone used.
    EXPECT_NE(descriptor.find("MIDlet-Jar-URL: " + found.captured().toStdString() + "hello.jar\r\n"), std::string::npos)
        << descriptor;
    EXPECT_NE(descriptor.find("MIDlet-Install-Notify: " + found.captured().toStdString() + ".install-report/"),
              std::string::npos)
        << descriptor;
    const auto size = QFileInfo(QString::fromStdString(folder.string()) + "/games/hello.jar").size();
    EXPECT_NE(descriptor.find("MIDlet-Jar-Size: " + std::to_string(size) + "\r\n"), std::string::npos);
    // The sample has nothing to fix: the check's first line is its summary.
    const QString firstCheckLine = allLogLines().filter(" - Game check: ").value(0);
    EXPECT_TRUE(firstCheckLine.endsWith(" - Game check: 1 game ready, 0 of them repaired as served, 0 with problems"))
        << allLogLines().join('|').toStdString();
}

class FailedStart : public Window, public testing::WithParamInterface<const char*> {};

TEST_P(FailedStart, LeavesTheServerStoppedWithALineThatSaysWhyBeforeTheAboutLines)
{
    QTcpServer occupant;
    std::string setting = GetParam();
    if (setting == "taken") {
        ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, port));
        setting = std::to_string(port);
    }
    if (setting == "missing")
        folder.write("Tarnwick.ini", "[Directory Setting]\nVirtual Directory=" + games.string() + "\n");
    else
        writeSettings(setting, games.string());
    open();

    EXPECT_TRUE(isStopped());
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 4) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[0].contains("Server not started")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("Start Server")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Tarnwick v1.0.0"));
}

INSTANTIATE_TEST_SUITE_P(Settings, FailedStart, testing::Values("missing", "", "eighty", "0", "65536", "-1", "taken"));

TEST_F(Window, StartsWithoutASettingsFileAndWaitsForOne)
{
    open();
    EXPECT_TRUE(isStopped());
    EXPECT_EQ(window->gameDirectory(), "");
    EXPECT_EQ(window->directoryField()->text(), "");

    writeSettings(std::to_string(port), games.string());
    QTest::mouseClick(window->startButton(), Qt::LeftButton);
    EXPECT_TRUE(isStarted());
}

TEST_F(Window, ReadsTheGameListSettingAtEveryStart)
{
    const auto statusOfTheTop = [this] {
        LoopbackClient phone;
        EXPECT_TRUE(phone.connectTo(port));
        phone.send("GET / HTTP/1.0\r\n\r\n");
        const auto response = phone.readResponse();
        return response ? response->statusLine() : std::string("no answer");
    };
    const auto restartWith = [this](const std::string& gameList) {
        WriteIniValue("Server Setting", "Game List", gameList, folder.string() + "/Tarnwick.ini");
        QTest::mouseClick(window->stopButton(), Qt::LeftButton);
        QTest::mouseClick(window->startButton(), Qt::LeftButton);
    };
    writeSettings(std::to_string(port), games.string());
    open();
    EXPECT_EQ(statusOfTheTop(), "HTTP/1.0 404 Not Found");

    restartWith("1");
    EXPECT_EQ(statusOfTheTop(), "HTTP/1.0 200 OK");

    restartWith("yes");
    EXPECT_EQ(statusOfTheTop(), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(logLines().filter("The game list is off: \"Game List\" under [Server Setting]").size(), 1);
}

} // namespace
