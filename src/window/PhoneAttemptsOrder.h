#pragma once

#include <QSortFilterProxyModel>

class PhoneAttemptsModel;

// The order the Phones window shows the attempts in, by any column. Cells
// are compared as the table shows them, and the time column by the order the
// attempts started in; both without making a value per comparison, so ten
// thousand rows sort within a frame, as the window opens and as they change.
class PhoneAttemptsOrder final : public QSortFilterProxyModel {
public:
    PhoneAttemptsOrder(PhoneAttemptsModel& attempts, QObject* parent);

protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    const PhoneAttemptsModel& m_attempts;
};
