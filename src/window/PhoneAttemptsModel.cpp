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

void PhoneAttemptsModel::apply(const std::vector<InstallAttempt>& changed)
{
    const std::uint64_t newestShown = m_rows.empty() ? 0 : m_rows.front().id;
    std::vector<const InstallAttempt*> fresh;
    for (const InstallAttempt& attempt : changed) {
        if (attempt.id > newestShown) {
            fresh.push_back(&attempt);
            continue;
        }
        const int row = rowOf(attempt.id);
        if (row < 0)
            continue;
        m_rows[static_cast<std::size_t>(row)] = attempt;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
    // More new ones than are shown: only the newest are.
    if (fresh.size() > static_cast<std::size_t>(kMaxRows))
        fresh.erase(fresh.begin(), fresh.end() - kMaxRows);
    if (!fresh.empty()) {
        beginInsertRows({}, 0, static_cast<int>(fresh.size()) - 1);
        for (const InstallAttempt* attempt : fresh)
            m_rows.push_front(*attempt);
        endInsertRows();
    }
    if (m_rows.size() > static_cast<std::size_t>(kMaxRows)) {
        beginRemoveRows({}, kMaxRows, static_cast<int>(m_rows.size()) - 1);
        m_rows.resize(kMaxRows);
        endRemoveRows();
    }
}

int PhoneAttemptsModel::rowOf(std::uint64_t id) const
{
    const auto found = std::lower_bound(m_rows.begin(), m_rows.end(), id,
                                        [](const InstallAttempt& row, std::uint64_t wanted) { return row.id > wanted; });
    return found == m_rows.end() || found->id != id ? -1 : static_cast<int>(found - m_rows.begin());
}

int PhoneAttemptsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PhoneAttemptsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PhoneAttemptsModel::text(const InstallAttempt& attempt, int column)
{
    switch (column) {
    case Phone:
        return fromUtf8(attempt.phone);
    case Address:
        return fromUtf8(attempt.address);
    case Game:
        return fromUtf8(attempt.game);
    case Step:
        return fromUtf8(stepText(attempt));
    case Time:
        return timeOf(attempt.started);
    case Advice:
        // Before the phone says it failed, the warning is the advice.
        return fromUtf8(attempt.advice.empty() ? attempt.warning : attempt.advice);
    default:
        return {};
    }
}

QVariant PhoneAttemptsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    const InstallAttempt& attempt = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return text(attempt, index.column());
    case Qt::ToolTipRole:
        return fromUtf8(attempt.descriptor + (attempt.platform.empty() ? "" : ", phone with " + attempt.platform));
    case kSortRole:
        if (index.column() == Time)
            return QVariant(static_cast<qulonglong>(attempt.id));
        return text(attempt, index.column());
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
