#pragma once

#include <QListWidget>

#include <optional>

// A folder list: the chain of folders down to the current path, then the
// subfolders of its last folder. Opening an entry (double click or Enter)
// makes it the current path.
class FolderList final : public QListWidget {
public:
    struct Failure {
        int number = 0;
        QString description;
    };

    explicit FolderList(QWidget* parent = nullptr);

    [[nodiscard]] QString path() const { return m_path; }

    // Moves to `path`, or leaves everything as it was and says why: the
    // system's error number and text for a folder that cannot be opened.
    [[nodiscard]] std::optional<Failure> setPath(const QString& path);

private:
    void fill();

    QString m_path;
};
