#pragma once

#include "calls/callreport.h"
#include "calls/callrow.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QList>
#include <QSortFilterProxyModel>

namespace tarv::calls {

// A byte count as the connections window shows it, in the traditional kilobytes of 1024 bytes.
QString dataSizeText(quint64 bytes);

// The rows of the connections window: one connection per line, with the texts it shows and the
// values it sorts by (times by time, figures as numbers, an unknown traffic below every known).
class CallsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Start, Duration, Units, Cost, Received, Sent, Name, State, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(QList<CallRow> rows);
    const QList<CallRow> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const CallRow &row, int column) const;
    QVariant sortValue(const CallRow &row, int column) const;

    QList<CallRow> m_rows;
};

// The rows on view: all of the month, or those of one day, in the order the user sorted them.
class CallsFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CallsFilter(CallsModel *source, QObject *parent = nullptr);

    // Keeps the rows that start on day; an invalid date keeps them all.
    void setDay(const QDate &day);
    QDate day() const { return m_day; }

    // The rows on view, in the order shown, and their sums.
    QList<CallRow> shownRows() const;
    CallTotals totals() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    CallsModel *m_source = nullptr;
    QDate m_day;
};

} // namespace tarv::calls
