#include "FolderList.h"

#include <QDir>
#include <QStyle>

#include <cerrno>
#include <cstring>
#include <dirent.h>

namespace {
constexpr int kPathRole = Qt::UserRole;
}

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent)
{
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        // A folder that vanished meanwhile just leaves the list where it is.
        (void)setPath(item->data(kPathRole).toString());
    });
}

std::optional<FolderList::Failure> FolderList::setPath(const QString& path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    DIR* folder = ::opendir(QFile::encodeName(absolute).constData());
    if (!folder) {
        const int number = errno;
        return Failure{number, QString::fromLocal8Bit(std::strerror(number))};
    }
    ::closedir(folder);
    m_path = absolute;
    fill();
    return std::nullopt;
}

void FolderList::fill()
{
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList chain;
    for (QDir folder(m_path);; ) {
        chain.prepend(folder.absolutePath());
        if (!folder.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = depth == 0 ? folder : QDir(folder).dirName();
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, folder);
        ++depth;
    }
    const QDir current(m_path);
    for (const QString& name : current.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, current.filePath(name));
    }
    setCurrentRow(static_cast<int>(chain.size()) - 1);
}
