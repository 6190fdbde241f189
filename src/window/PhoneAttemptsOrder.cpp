#include "PhoneAttemptsOrder.h"

#include "PhoneAttemptsModel.h"

PhoneAttemptsOrder::PhoneAttemptsOrder(PhoneAttemptsModel& attempts, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_attempts(attempts)
{
    setSourceModel(&attempts);
}

bool PhoneAttemptsOrder::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int column = left.column();
    // Two attempts in one second: the one that started first is the older.
    if (column == PhoneAttemptsModel::Time)
        return m_attempts.attemptId(left.row()) < m_attempts.attemptId(right.row());
    return m_attempts.cell(left.row(), column).compare(m_attempts.cell(right.row(), column), Qt::CaseInsensitive) < 0;
}
