#include "PhoneAttemptsModel.h"

#include <algorithm>

namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString timeOf(const std::tm& time)
{
    return QStringLiteral("%1:%2:%3")
        .arg(time.tm_hour, 2, 10, QLatin1Char('0'))
        .arg(time.tm_min, 2, 10, QLatin1Char('0'))
        .arg(time.tm_sec, 2, 10, QLatin1Char('0'));
}

} // namespace

PhoneAttemptsModel::PhoneAttemptsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void PhoneAttemptsModel::apply(std::vector<InstallAttempt> changed)
{
    const std::uint64_t newestShown = m_rows.empty() ? 0 : m_rows.front().attempt.id;
    std::vector<InstallAttempt*> fresh;
    int firstChanged = static_cast<int>(m_rows.size());
    int lastChanged = -1;
    for (InstallAttempt& attempt : changed) {
        if (attempt.id > newestShown) {
            fresh.push_back(&attempt);
            continue;
        }
        const int row = rowOf(attempt.id);
        if (row < 0)
            continue;
        m_rows[static_cast<std::size_t>(row)] = Row{std::move(attempt), std::nullopt};
        firstChanged = std::min(firstChanged, row);
        lastChanged = std::max(lastChanged, row);
    }
    // Told once for the whole batch, and only of the columns an attempt's
    // progress changes: a sorted view then moves rows only when it sorts by
    // one of them, instead of re-sorting for every row that changed.
    if (lastChanged >= 0) {
        for (const int column : {Step, Advice})
            emit dataChanged(index(firstChanged, column), index(lastChanged, column), {Qt::DisplayRole});
    }
    // More new ones than are shown: only the newest are.
    if (fresh.size() > static_cast<std::size_t>(kMaxRows))
        fresh.erase(fresh.begin(), fresh.end() - kMaxRows);
    if (!fresh.empty()) {
        beginInsertRows({}, 0, static_cast<int>(fresh.size()) - 1);
        for (InstallAttempt* attempt : fresh)
            m_rows.push_front(Row{std::move(*attempt), std::nullopt});
        endInsertRows();
    }
    if (m_rows.size() > static_cast<std::size_t>(kMaxRows)) {
        beginRemoveRows({}, kMaxRows, static_cast<int>(m_rows.size()) - 1);
        m_rows.resize(kMaxRows);
        endRemoveRows();
    }
}

std::array<QString, PhoneAttemptsModel::ColumnCount> PhoneAttemptsModel::cellsOf(const InstallAttempt& attempt)
{
    std::array<QString, ColumnCount> cells;
    cells[Phone] = fromUtf8(attempt.phone);
    cells[Address] = fromUtf8(attempt.address);
    cells[Game] = fromUtf8(attempt.game);
    cells[Step] = fromUtf8(stepText(attempt));
    cells[Time] = timeOf(attempt.started);
    // Before the phone says it failed, the warning is the advice.
    cells[Advice] = fromUtf8(attempt.advice.empty() ? attempt.warning : attempt.advice);
    return cells;
}

int PhoneAttemptsModel::rowOf(std::uint64_t id) const
{
    const auto found = std::lower_bound(m_rows.begin(), m_rows.end(), id,
                                        [](const Row& row, std::uint64_t wanted) { return row.attempt.id > wanted; });
    return found == m_rows.end() || found->attempt.id != id ? -1 : static_cast<int>(found - m_rows.begin());
}

std::uint64_t PhoneAttemptsModel::attemptId(int row) const
{
    return m_rows[static_cast<std::size_t>(row)].attempt.id;
}

const QString& PhoneAttemptsModel::cell(int row, int column) const
{
    const Row& shown = m_rows[static_cast<std::size_t>(row)];
    if (!shown.cells)
        shown.cells = cellsOf(shown.attempt);
    return (*shown.cells)[static_cast<std::size_t>(column)];
}

int PhoneAttemptsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PhoneAttemptsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PhoneAttemptsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()) || index.column() >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::ToolTipRole: {
        const InstallAttempt& attempt = m_rows[static_cast<std::size_t>(index.row())].attempt;
        return fromUtf8(attempt.descriptor + (attempt.platform.empty() ? "" : ", phone with " + attempt.platform));
    }
    default:
        return {};
    }
}

QVariant PhoneAttemptsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Phone:
        return QStringLiteral("Phone");
    case Address:
        return QStringLiteral("Address");
    case Game:
        return QStringLiteral("Game");
    case Step:
        return QStringLiteral("Step");
    case Time:
        return QStringLiteral("Time");
    case Advice:
        return QStringLiteral("What to do");
    default:
        return {};
    }
}
