#pragma once

#include "InstallAttempt.h"

#include <QAbstractTableModel>

#include <deque>
#include <vector>

// The install attempts the Phones window shows, newest first: one row per
// attempt, changed in place as it goes on. Only the newest kMaxRows are kept.
class PhoneAttemptsModel final : public QAbstractTableModel {
public:
    enum Column { Phone, Address, Game, Step, Time, Advice, ColumnCount };
    static constexpr int kMaxRows = 10'000;
    // The role the window sorts by: the time column by the attempts' order.
    static constexpr int kSortRole = Qt::UserRole;

    explicit PhoneAttemptsModel(QObject* parent = nullptr);

    // Takes the attempts' newest states, in the order of their ids.
    void apply(const std::vector<InstallAttempt>& changed);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // The row of attempt `id`, or -1 when it is not shown.
    [[nodiscard]] int rowOf(std::uint64_t id) const;
    [[nodiscard]] static QString text(const InstallAttempt& attempt, int column);

    // Newest first: ids fall from row to row.
    std::deque<InstallAttempt> m_rows;
};
