#include "frmDir.h"

#include "ErrorReport.h"
#include "FolderList.h"
#include "Twips.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>

namespace {

QStringList mountedVolumes()
{
    QStringList volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            volumes << volume.rootPath();
    }
    volumes.removeDuplicates();
    // The root volume first, the others by name.
    volumes.removeAll(QStringLiteral("/"));
    volumes.sort();
    volumes.prepend(QStringLiteral("/"));
    return volumes;
}

} // namespace

frmDir::frmDir(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , Drive1(new QComboBox(this))
    , cmdOK(new QPushButton(QStringLiteral("&OK"), this))
    , Dir1(new FolderList(this))
    , cmdCancel(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setWindowTitle(QStringLiteral("Select Directory"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(twips(0, 0, 4470, 5730).size());
    setModal(true);

    Drive1->setGeometry(twips(120, 120, 4215, 315));
    cmdOK->setGeometry(twips(1058, 5280, 1095, 315));
    Dir1->setGeometry(twips(120, 540, 4215, 4590));
    cmdCancel->setGeometry(twips(2318, 5280, 1095, 315));
    cmdOK->setDefault(true);
    setTabOrder(Drive1, cmdOK);
    setTabOrder(cmdOK, Dir1);
    setTabOrder(Dir1, cmdCancel);

    Drive1->addItems(mountedVolumes());
    // Where the lists stand before anything is handed over.
    const QString current = QDir::currentPath();
    Drive1->setCurrentText(volumeOf(current));
    (void)Dir1->setPath(current);

    connect(Drive1, &QComboBox::currentIndexChanged, this, &frmDir::Drive1_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmDir::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDir::cmdCancel_Click);
    Form_Load();
}

void frmDir::Form_Load()
{
    m_LastDrive = rootVolume();
}

void frmDir::txtBox(QLineEdit* vNewValue)
{
    m_txtBox = vNewValue;
    if (!m_txtBox->text().trimmed().isEmpty())
        SetDirectoryPath(m_txtBox->text());
}

bool frmDir::SetDirectoryPath(const QString& dirPath)
{
    // Letter case is kept: folder names on this system differ by it.
    if (dirPath.startsWith(QStringLiteral("//"))) {
        if (const auto failure = Dir1->setPath(dirPath)) {
            showErrorReport(this, failure->number, failure->description);
            return false;
        }
        return true;
    }
    if (!dirPath.startsWith(QLatin1Char('/')))
        return false;
    setDrive(volumeOf(dirPath));
    if (const auto failure = Dir1->setPath(dirPath)) {
        showErrorReport(this, failure->number, failure->description);
        return false;
    }
    return true;
}

void frmDir::Drive1_Change()
{
    const QString drive = Drive1->currentText();
    const auto failure = Dir1->setPath(drive);
    if (!failure) {
        m_LastDrive = drive;
        return;
    }
    showErrorReport(this, failure->number, failure->description);
    // A run inside the recovery below leaves the rest to the outer run.
    if (m_recoveringDrive)
        return;
    m_recoveringDrive = true;
    setDrive(m_LastDrive);
    if (Dir1->setPath(m_LastDrive)) {
        // The last good drive has gone too: the root volume is always there.
        setDrive(rootVolume());
        (void)Dir1->setPath(rootVolume());
    }
    m_recoveringDrive = false;
}

void frmDir::cmdOK_Click()
{
    if (m_txtBox)
        m_txtBox->setText(Dir1->path());
    accept();
}

void frmDir::cmdCancel_Click()
{
    reject();
}

void frmDir::keyPressEvent(QKeyEvent* event)
{
    // Escape does not cancel this dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmDir::setDrive(const QString& drive)
{
    int index = Drive1->findText(drive);
    if (index < 0) {
        // A volume mounted since the dialog opened.
        Drive1->addItem(drive);
        index = Drive1->count() - 1;
    }
    Drive1->setCurrentIndex(index);
}

QString frmDir::volumeOf(const QString& path) const
{
    QString best = rootVolume();
    for (int index = 0; index < Drive1->count(); ++index) {
        const QString volume = Drive1->itemText(index);
        const bool holds = path == volume || path.startsWith(volume.endsWith(QLatin1Char('/')) ? volume : volume + '/');
        if (holds && volume.size() > best.size())
            best = volume;
    }
    return best;
}

QString frmDir::rootVolume() const
{
    return QStringLiteral("/");
}
