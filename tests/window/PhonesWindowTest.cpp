#include "frmTarnwick.h"

#include "AttemptRelay.h"
#include "FreePort.h"
#include "LoopbackClient.h"
#include "PhoneAttemptsModel.h"
#include "TempDirectory.h"
#include "WaitFor.h"
#include "frmPhones.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

InstallAttempt attempt(std::uint64_t id, std::string phone, std::string game, InstallAttempt::Step step)
{
    InstallAttempt made;
    made.id = id;
    made.phone = std::move(phone);
    made.address = "192.0.2." + std::to_string(id % 250);
    made.game = std::move(game);
    made.step = step;
    made.started.tm_hour = 9;
    made.started.tm_min = static_cast<int>(id % 60);
    return made;
}

// The Phones window over its model, fed through the relay as the engine feeds it.
class PhonesWindow : public testing::Test {
protected:
    void post(const InstallAttempt& attempt)
    {
        relay.post(attempt);
    }

    // The cell as the table shows it, sorted as the operator left it.
    QString cell(int row, int column) const
    {
        return window.table()->model()->index(row, column).data().toString();
    }

    int rows() const { return window.table()->model()->rowCount(); }

    PhoneAttemptsModel model;
    AttemptRelay relay{model};
    frmPhones window{model, nullptr};
};

TEST_F(PhonesWindow, ShowsTheNewestAttemptFirstAndChangesRowsInPlace)
{
    window.show();
    post(attempt(1, "Nokia 6300", "Snake 1.2.0", InstallAttempt::Step::Descriptor));
    post(attempt(2, "Sony Ericsson K750i", "Snake 1.2.0", InstallAttempt::Step::Descriptor));
    InstallAttempt failed = attempt(3, "Nokia 3300", "Racer 1.0", InstallAttempt::Step::Failed);
    failed.reportCode = 908;
    failed.advice = "use a build for this phone";
    post(failed);
    ASSERT_TRUE(waitFor([&] { return rows() == 3; }));
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Phone), "Nokia 3300");
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Step), "failed 908");
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Advice), "use a build for this phone");
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Time), "09:03:00");

    InstallAttempt going = attempt(1, "Nokia 6300", "Snake 1.2.0", InstallAttempt::Step::Archive);
    going.archiveSize = 200;
    going.archiveReceived = 90;
    post(going);
    ASSERT_TRUE(waitFor([&] { return cell(2, PhoneAttemptsModel::Step) == "archive 45 %"; }));
    EXPECT_EQ(rows(), 3);
}

TEST_F(PhonesWindow, SortsByAnyColumnAndCopiesWhatItShows)
{
    post(attempt(1, "Sony Ericsson K750i", "Snake 1.2.0", InstallAttempt::Step::Installed));
    post(attempt(2, "Motorola V3", "Racer 1.0", InstallAttempt::Step::Descriptor));
    post(attempt(3, "Nokia 6300", "Snake 1.2.0", InstallAttempt::Step::NoReport));
    ASSERT_TRUE(waitFor([&] { return rows() == 3; }));

    window.table()->sortByColumn(PhoneAttemptsModel::Phone, Qt::AscendingOrder);
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Phone), "Motorola V3");
    EXPECT_EQ(cell(2, PhoneAttemptsModel::Phone), "Sony Ericsson K750i");
    // Time sorts by the attempts' order, not by the text of the time.
    window.table()->sortByColumn(PhoneAttemptsModel::Time, Qt::DescendingOrder);
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Phone), "Nokia 6300");

    QTest::mouseClick(window.copyButton(), Qt::LeftButton);
    const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Phone\tAddress\tGame\tStep\tTime\tWhat to do");
    EXPECT_EQ(lines[1], "Nokia 6300\t192.0.2.3\tSnake 1.2.0\tdescriptor only, no report\t09:03:00\t");

    window.table()->selectRow(2);
    window.copyRows();
    EXPECT_EQ(QApplication::clipboard()->text(), "Phone\tAddress\tGame\tStep\tTime\tWhat to do\n"
                                                 "Sony Ericsson K750i\t192.0.2.1\tSnake 1.2.0\tinstalled\t09:01:00\t\n");
}

TEST_F(PhonesWindow, KeepsItsOrderAsAttemptsGoOn)
{
    InstallAttempt downloading = attempt(1, "Sony Ericsson K750i", "Snake 1.2.0", InstallAttempt::Step::Archive);
    downloading.archiveSize = 200;
    downloading.archiveReceived = 90;
    post(downloading);
    post(attempt(2, "Nokia 6300", "Racer 1.0", InstallAttempt::Step::Descriptor));
    ASSERT_TRUE(waitFor([&] { return rows() == 2; }));
    window.table()->sortByColumn(PhoneAttemptsModel::Step, Qt::AscendingOrder);
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Step), "archive 45 %");

    // Sorted by the step, a row moves when its step does.
    post(attempt(1, "Sony Ericsson K750i", "Snake 1.2.0", InstallAttempt::Step::Installed));
    ASSERT_TRUE(waitFor([&] { return cell(1, PhoneAttemptsModel::Step) == "installed"; }));
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Phone), "Nokia 6300");

    // Sorted by anything else, a step changes in place.
    window.table()->sortByColumn(PhoneAttemptsModel::Phone, Qt::DescendingOrder);
    post(attempt(2, "Nokia 6300", "Racer 1.0", InstallAttempt::Step::NoReport));
    ASSERT_TRUE(waitFor([&] { return cell(1, PhoneAttemptsModel::Step) == "descriptor only, no report"; }));
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Phone), "Sony Ericsson K750i");
}

TEST_F(PhonesWindow, KeepsOnlyTheNewestAttempts)
{
    const auto count = static_cast<std::uint64_t>(PhoneAttemptsModel::kMaxRows) + 5;
    for (std::uint64_t id = 1; id <= count; ++id)
        post(attempt(id, "Nokia 6300", "Snake " + std::to_string(id), InstallAttempt::Step::Descriptor));
    ASSERT_TRUE(waitFor([&] { return rows() == PhoneAttemptsModel::kMaxRows; }));
    EXPECT_EQ(cell(0, PhoneAttemptsModel::Game), QString("Snake %1").arg(count));
    EXPECT_EQ(cell(rows() - 1, PhoneAttemptsModel::Game), "Snake 6");

    // Another batch, then a change to an attempt no longer shown.
    post(attempt(count + 1, "Nokia 6300", "Snake new", InstallAttempt::Step::Descriptor));
    post(attempt(3, "Nokia 6300", "Snake 3", InstallAttempt::Step::Installed));
    ASSERT_TRUE(waitFor([&] { return cell(0, PhoneAttemptsModel::Game) == "Snake new"; }));
    EXPECT_EQ(rows(), PhoneAttemptsModel::kMaxRows);
    EXPECT_EQ(cell(rows() - 1, PhoneAttemptsModel::Game), "Snake 7");
}

// From the main window, over the network, as a phone fetches a game.
TEST(PhonesButton, OpensAWindowBesideTheMainOneThatFollowsAPhone)
{
    TempDirectory folder;
    TempDirectory games;
    games.write("snake.jad", "MIDlet-Name: Snake\nMIDlet-Version: 1.2.0\nMIDlet-Vendor: Ann\n");
    const quint16 port = freePort();
    folder.write("Tarnwick.ini", "[Server Setting]\nLocalPort=" + std::to_string(port) +
                                     "\n[Directory Setting]\nVirtual Directory=" + games.string() + "\n");
    frmTarnwick main(QString::fromStdString(folder.string() + "/Tarnwick.ini"));
    main.show();
    main.gameCheck().waitUntilIdle();

    QPushButton* phones = main.phonesButton();
    EXPECT_EQ(phones->text(), QString::fromUtf8("Phones\u2026"));
    EXPECT_EQ(phones->geometry().top(), main.stopButton()->geometry().top());
    EXPECT_GT(phones->geometry().left(), main.stopButton()->geometry().right());
    EXPECT_LE(phones->geometry().right(), main.width());

    QTest::mouseClick(phones, Qt::LeftButton);
    frmPhones* window = main.phonesWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());

    LoopbackClient phone;
    ASSERT_TRUE(phone.connectTo(port));
    phone.send("GET /snake.jad HTTP/1.1\r\nUser-Agent: Nokia6300/2.0 (05.00) Profile/MIDP-2.0 "
               "Configuration/CLDC-1.1\r\n\r\n");
    ASSERT_TRUE(phone.readResponse());
    const QAbstractItemModel* rows = window->table()->model();
    ASSERT_TRUE(waitFor([&] { return rows->rowCount() == 1; }));
    EXPECT_EQ(rows->index(0, PhoneAttemptsModel::Phone).data().toString(), "Nokia 6300");
    EXPECT_EQ(rows->index(0, PhoneAttemptsModel::Address).data().toString(), "127.0.0.1");
    EXPECT_EQ(rows->index(0, PhoneAttemptsModel::Game).data().toString(), "Snake 1.2.0");
    EXPECT_EQ(rows->index(0, PhoneAttemptsModel::Step).data().toString(), "descriptor");
}

} // namespace
