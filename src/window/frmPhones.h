#pragma once

#include <QWidget>

class PhoneAttemptsModel;
class PhoneAttemptsOrder;
class QPushButton;
class QTableView;

// The Phones window: every install attempt, newest first, live as the
// phones go on, sortable by any column and copied to the clipboard as text.
// Not modal: the main window stays in use beside it.
class frmPhones final : public QWidget {
public:
    frmPhones(PhoneAttemptsModel& attempts, QWidget* parent);

    [[nodiscard]] QTableView* table() const { return m_table; }
    [[nodiscard]] QPushButton* copyButton() const { return m_copy; }

    // The selected rows, or every row when none is selected, as the table
    // shows them: a header line, then one line per row, tab-separated.
    [[nodiscard]] QString rowsAsText() const;
    // Puts rowsAsText on the clipboard.
    void copyRows() const;

private:
    PhoneAttemptsOrder* m_sorted;
    QTableView* m_table;
    QPushButton* m_copy;
};
