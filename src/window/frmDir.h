#pragma once

#include <QDialog>

class FolderList;
class QComboBox;
class QLineEdit;
class QPushButton;

// The "Select Directory" dialog: a drive list of the mounted volumes and a
// folder list. OK writes the folder list's path into the text box it was
// handed; Cancel and the close box leave the box alone.
class frmDir final : public QDialog {
public:
    explicit frmDir(QWidget* owner);

    // The text box to write the choice into. A box that already names a
    // folder positions the lists on it.
    void txtBox(QLineEdit* vNewValue);

    // Positions the lists on an absolute path (the drive list on the volume
    // that holds it) or, for a path that begins with two separators, the
    // folder list alone. Anything else moves nothing. False when nothing
    // was positioned; a folder that cannot be opened is reported.
    bool SetDirectoryPath(const QString& dirPath);

    [[nodiscard]] QString lastDrive() const { return m_LastDrive; }
    [[nodiscard]] QComboBox* driveList() const { return Drive1; }
    [[nodiscard]] FolderList* folderList() const { return Dir1; }
    [[nodiscard]] QPushButton* okButton() const { return cmdOK; }
    [[nodiscard]] QPushButton* cancelButton() const { return cmdCancel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void Drive1_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

    // Sets the drive list's drive; a different drive runs the drive-change step.
    void setDrive(const QString& drive);
    [[nodiscard]] QString volumeOf(const QString& path) const;
    [[nodiscard]] QString rootVolume() const;

    QComboBox* Drive1;
    QPushButton* cmdOK;
    FolderList* Dir1;
    QPushButton* cmdCancel;

    QLineEdit* m_txtBox = nullptr;
    QString m_LastDrive;
    // Recovery from a failed drive change sets the drive again, which runs
    // the drive-change step once more.
    bool m_recoveringDrive = false;
};
