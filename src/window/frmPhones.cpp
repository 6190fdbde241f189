#include "frmPhones.h"

#include "PhoneAttemptsModel.h"
#include "PhoneAttemptsOrder.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

frmPhones::frmPhones(PhoneAttemptsModel& attempts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_sorted(new PhoneAttemptsOrder(attempts, this))
    , m_table(new QTableView(this))
    , m_copy(new QPushButton(QStringLiteral("Copy"), this))
{
    setWindowTitle(QStringLiteral("Phones"));
    resize(1000, 420);
    m_table->setModel(m_sorted);
    // Newest first from the start: turning sorting on sorts by the header's
    // indicator, and sorting ten thousand rows by text first would cost a frame.
    m_table->horizontalHeader()->setSortIndicator(PhoneAttemptsModel::Time, Qt::DescendingOrder);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    // Rows of one line: a busy table stays quick to draw.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {130, 100, 140, 150, 70};
    for (int column = 0; column < PhoneAttemptsModel::Advice; ++column)
        m_table->setColumnWidth(column, widths[column]);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_copy);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);

    connect(m_copy, &QPushButton::clicked, this, &frmPhones::copyRows);
    auto* copy = new QShortcut(QKeySequence::Copy, m_table);
    connect(copy, &QShortcut::activated, this, &frmPhones::copyRows);
}

QString frmPhones::rowsAsText() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    if (rows.isEmpty()) {
        for (int row = 0; row < m_sorted->rowCount(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    const int columns = m_sorted->columnCount();
    QStringList lines;
    QStringList cells;
    for (int column = 0; column < columns; ++column)
        cells.push_back(m_sorted->headerData(column, Qt::Horizontal).toString());
    lines.push_back(cells.join('\t'));
    for (const int row : rows) {
        cells.clear();
        for (int column = 0; column < columns; ++column)
            cells.push_back(m_sorted->index(row, column).data().toString());
        lines.push_back(cells.join('\t'));
    }
    return lines.join('\n') + '\n';
}

void frmPhones::copyRows() const
{
    QApplication::clipboard()->setText(rowsAsText());
}
