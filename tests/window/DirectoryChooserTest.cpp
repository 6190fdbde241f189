#include "frmTarnwick.h"

#include "ActivityLogView.h"

#include "FolderList.h"
#include "FreePort.h"
#include "LoopbackClient.h"
#include "ModalScript.h"
#include "TempDirectory.h"
#include "WaitFor.h"
#include "frmDir.h"
#include "modIniFile.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The main window over a settings file of the test's own, and the chooser
// that its "..." button opens.
class DirectoryChooser : public testing::Test {
protected:
    DirectoryChooser()
    {
        games.write("a.jad", "first");
        other.write("a.jad", "other");
    }

    void openWindow(const std::string& directory)
    {
        folder.write("Tarnwick.ini", "[Server Setting]\nLocalPort=" + std::to_string(port) +
                                         "\n[Directory Setting]\nVirtual Directory=" + directory + "\n");
        window = std::make_unique<frmTarnwick>(QString::fromStdString(folder.string() + "/Tarnwick.ini"));
        window->show();
    }

    // Presses "..." and runs the script while the chooser is open.
    void browse(ModalScript& script)
    {
        QTimer::singleShot(0, window->browseButton(), &QPushButton::click);
        ASSERT_TRUE(waitFor([&] { return script.finished() && !QApplication::activeModalWidget(); }, 10000));
    }

    std::string savedDirectory() const
    {
        return ReadIniValue("Directory Setting", "Virtual Directory", folder.string() + "/Tarnwick.ini");
    }

    std::string fetch(const std::string& path)
    {
        LoopbackClient client;
        EXPECT_TRUE(client.connectTo(port));
        client.send("GET " + path + " HTTP/1.0\r\n\r\n");
        const auto response = client.readResponse();
        return response ? response->body : "<no answer>";
    }

    static frmDir* chooser(QWidget* modal)
    {
        auto* dialog = dynamic_cast<frmDir*>(modal);
        EXPECT_NE(dialog, nullptr) << "expected the chooser, got " << modal->metaObject()->className();
        return dialog;
    }

    TempDirectory folder;
    TempDirectory games;
    TempDirectory other;
    quint16 port = freePort();
    std::unique_ptr<frmTarnwick> window;
};

TEST_F(DirectoryChooser, OkStoresTheChosenFolderWhileRequestsGoOnFromTheOldOne)
{
    openWindow(games.string());
    std::string servedMeanwhile;
    ModalScript script;
    script.then([&](QWidget* modal) {
        frmDir* dialog = chooser(modal);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), "Select Directory");
        EXPECT_EQ(dialog->folderList()->path().toStdString(), games.string());
        EXPECT_TRUE(dialog->SetDirectoryPath(QString::fromStdString(other.string())));
        servedMeanwhile = fetch("/a.jad");
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    browse(script);

    EXPECT_EQ(servedMeanwhile, "first");
    EXPECT_EQ(window->directoryField()->text().toStdString(), other.string());
    EXPECT_EQ(window->gameDirectory(), other.string());
    EXPECT_EQ(savedDirectory(), other.string());
    EXPECT_EQ(fetch("/a.jad"), "other");

    // The games of the chosen folder are checked, after those of the first.
    window->gameCheck().waitUntilIdle();
    EXPECT_TRUE(waitFor([&] {
        return window->activityLog()->toPlainText().count("Game check: 0 games ready, 1 with problems") == 2;
    }));
}

TEST_F(DirectoryChooser, CancelAndTheCloseBoxWriteTheUnchangedTextBack)
{
    openWindow(games.string());
    for (const bool useCloseBox : {false, true}) {
        WriteIniValue("Directory Setting", "Virtual Directory", "/elsewhere", folder.string() + "/Tarnwick.ini");
        ModalScript script;
        script.then([&](QWidget* modal) {
            frmDir* dialog = chooser(modal);
            ASSERT_TRUE(dialog);
            EXPECT_TRUE(dialog->SetDirectoryPath(QString::fromStdString(other.string())));
            if (useCloseBox)
                dialog->close();
            else
                QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        });
        browse(script);
        EXPECT_EQ(window->directoryField()->text().toStdString(), games.string());
        EXPECT_EQ(savedDirectory(), games.string()) << (useCloseBox ? "close box" : "cancel");
        EXPECT_EQ(window->gameDirectory(), games.string());
    }
}

TEST_F(DirectoryChooser, EscapeDoesNotCancel)
{
    openWindow(games.string());
    bool stillOpen = false;
    ModalScript script;
    script.then([&](QWidget* modal) {
        frmDir* dialog = chooser(modal);
        ASSERT_TRUE(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
        stillOpen = dialog->isVisible();
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    });
    browse(script);
    EXPECT_TRUE(stillOpen);
}

TEST_F(DirectoryChooser, AFolderThatNoLongerExistsIsReportedAndTheChooserStillOpens)
{
    const std::string gone = games.string() + "/Gone Folder";
    openWindow(gone);
    QString report;
    QString reportTitle;
    bool chooserOpened = false;
    ModalScript script;
    script
        .then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            report = box->text();
            reportTitle = box->windowTitle();
            EXPECT_EQ(box->icon(), QMessageBox::Information);
            box->button(QMessageBox::Ok)->click();
        })
        .then([&](QWidget* modal) {
            chooserOpened = chooser(modal) != nullptr;
            modal->close();
        });
    browse(script);

    EXPECT_EQ(report, "Error:2\r\nNo such file or directory");
    EXPECT_EQ(reportTitle, "Tarnwick");
    EXPECT_TRUE(chooserOpened);
}

class Positioning : public testing::Test {
protected:
    QWidget owner;
    frmDir dialog{&owner};
    QLineEdit box;
    TempDirectory games;
};

TEST_F(Positioning, KeepsCapitalLettersOfThePath)
{
    const QString mixed = QString::fromStdString(games.string()) + "/My Games";
    QDir().mkpath(mixed);
    box.setText(mixed);
    dialog.txtBox(&box);
    EXPECT_EQ(dialog.folderList()->path(), mixed);
    EXPECT_EQ(dialog.driveList()->currentText(), "/");
    dialog.okButton()->click();
    EXPECT_EQ(box.text(), mixed);
}

TEST_F(Positioning, MovesNothingForBlankOrRelativeTexts)
{
    const QString start = dialog.folderList()->path();
    for (const char* text : {"", "   ", "games/here", " /leading/blank", "x"}) {
        box.setText(text);
        dialog.txtBox(&box);
        EXPECT_EQ(dialog.folderList()->path(), start) << text;
        EXPECT_EQ(box.text(), text);
    }
    EXPECT_FALSE(dialog.SetDirectoryPath("relative/path"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no message for a relative path";
}

TEST_F(Positioning, OpensFoldersFromTheListAndOkTakesTheCurrentPath)
{
    QDir().mkpath(QString::fromStdString(games.string()) + "/sub");
    ASSERT_TRUE(dialog.SetDirectoryPath(QString::fromStdString(games.string())));
    FolderList* list = dialog.folderList();
    const auto found = list->findItems("sub", Qt::MatchEndsWith);
    ASSERT_EQ(found.size(), 1);
    emit list->itemActivated(found.front());
    EXPECT_EQ(list->path().toStdString(), games.string() + "/sub");

    dialog.txtBox(&box);
    dialog.okButton()->click();
    EXPECT_EQ(box.text().toStdString(), games.string() + "/sub");
}

TEST_F(Positioning, StartsAtTheRootVolumeAsLastGoodDrive)
{
    EXPECT_EQ(dialog.lastDrive(), "/");
    EXPECT_EQ(dialog.driveList()->itemText(0), "/");
}

TEST_F(Positioning, AFailedDriveChangeIsReportedAndFallsBackToTheLastGoodDrive)
{
    ASSERT_TRUE(dialog.SetDirectoryPath(QString::fromStdString(games.string())));
    QString report;
    ModalScript script;
    script.then([&](QWidget* modal) {
        auto* box = dynamic_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        report = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    // A volume that went away after the list was made.
    dialog.driveList()->addItem("/gone-volume");
    dialog.driveList()->setCurrentIndex(dialog.driveList()->count() - 1);

    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(report.startsWith("Error:2\r\n")) << report.toStdString();
    EXPECT_EQ(dialog.driveList()->currentText(), "/");
    EXPECT_EQ(dialog.folderList()->path(), "/");
    EXPECT_EQ(dialog.lastDrive(), "/");
}

} // namespace
