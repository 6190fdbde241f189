#pragma once

#include "InstallAttempt.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <deque>
#include <optional>
#include <vector>

// The install attempts the Phones window shows, newest first: one row per
// attempt, changed in place as it goes on. Only the newest kMaxRows are kept.
class PhoneAttemptsModel final : public QAbstractTableModel {
public:
    enum Column { Phone, Address, Game, Step, Time, Advice, ColumnCount };
    static constexpr int kMaxRows = 10'000;

    explicit PhoneAttemptsModel(QObject* parent = nullptr);

    // Takes the attempts' newest states, in the order of their ids.
    void apply(std::vector<InstallAttempt> changed);

    // The attempt shown in `row`, by its id: the order they started in.
    [[nodiscard]] std::uint64_t attemptId(int row) const;
    // The text of a cell, as shown.
    [[nodiscard]] const QString& cell(int row, int column) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // An attempt and, once the table asked for them, its texts: made once
    // per change, when shown or sorted, and never for the many attempts that
    // change while the window is closed or out of sight.
    struct Row {
        InstallAttempt attempt;
        mutable std::optional<std::array<QString, ColumnCount>> cells;
    };

    [[nodiscard]] static std::array<QString, ColumnCount> cellsOf(const InstallAttempt& attempt);
    // The row of attempt `id`, or -1 when it is not shown.
    [[nodiscard]] int rowOf(std::uint64_t id) const;

    // Newest first: ids fall from row to row.
    std::deque<Row> m_rows;
};
