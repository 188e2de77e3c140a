#include "calls/callsmodel.h"

#include "framework/textformat.h"

#include <QLocale>

namespace tarv::calls {

QString dataSizeText(quint64 bytes) {
    // Sizes in the traditional kilobytes of 1024 bytes, as the dial-up world counted them.
    return QLocale().formattedDataSize(static_cast<qint64>(std::min<quint64>(bytes, INT64_MAX)), 1,
                                       QLocale::DataSizeTraditionalFormat);
}

namespace {

QString bytesText(const std::optional<quint64> &n) {
    return n ? dataSizeText(*n) : QStringLiteral("–");
}

} // namespace

void CallsModel::setRows(QList<CallRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CallsModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CallsModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString CallsModel::text(const CallRow &r, int column) const {
    switch (column) {
    case Start:
        return r.start.toString(QStringLiteral("d/M/yyyy HH:mm:ss"));
    case Duration:
        return durationText(r.seconds());
    case Units:
        return QString::number(r.units);
    case Cost:
        return fmt::general(r.cost) + QLatin1Char(' ') + r.currency;
    case Received:
        return bytesText(r.received);
    case Sent:
        return bytesText(r.sent);
    case Name:
        return r.name;
    case State:
        return r.state == CallRow::State::Finished ? QStringLiteral("ολοκληρώθηκε") : QStringLiteral("διακόπηκε");
    }
    return {};
}

QVariant CallsModel::sortValue(const CallRow &r, int column) const {
    const auto bytes = [](const std::optional<quint64> &n) {
        return n ? static_cast<qint64>(std::min<quint64>(*n, INT64_MAX)) : qint64(-1);
    };
    switch (column) {
    case Start:
        return r.start.toMSecsSinceEpoch();
    case Duration:
        return r.seconds();
    case Units:
        return r.units;
    case Cost:
        return r.cost;
    case Received:
        return QVariant::fromValue(bytes(r.received));
    case Sent:
        return QVariant::fromValue(bytes(r.sent));
    case Name:
        return r.name;
    case State:
        return static_cast<int>(r.state);
    }
    return {};
}

QVariant CallsModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const CallRow &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(r, index.column());
    case SortRole:
        return sortValue(r, index.column());
    case Qt::TextAlignmentRole:
        return index.column() == Name || index.column() == State || index.column() == Start
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (index.column() == Received || index.column() == Sent) {
            const std::optional<quint64> &n = index.column() == Received ? r.received : r.sent;
            return n ? QStringLiteral("%1 bytes").arg(*n) : QStringLiteral("Άγνωστο");
        }
        if (index.column() == Name && !r.deviceType.isEmpty()) return r.name + QStringLiteral(" (") + r.deviceType + ')';
        if (index.column() == Start) return QStringLiteral("Λήξη: ") + r.end.toString(QStringLiteral("d/M/yyyy HH:mm:ss"));
        return {};
    }
    return {};
}

QVariant CallsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char *const titles[] = {"Έναρξη", "Διάρκεια", "Μονάδες", "Κόστος",
                                         "Λήψη",   "Αποστολή", "Σύνδεση", "Κατάσταση"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

CallsFilter::CallsFilter(CallsModel *source, QObject *parent) : QSortFilterProxyModel(parent), m_source(source) {
    setSourceModel(source);
    setSortRole(CallsModel::SortRole);
    setDynamicSortFilter(true);
}

void CallsFilter::setDay(const QDate &day) {
    if (day == m_day) return;
    m_day = day;
    invalidateRowsFilter();
}

bool CallsFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const {
    return !m_day.isValid() || m_source->rows().at(sourceRow).start.date() == m_day;
}

QList<CallRow> CallsFilter::shownRows() const {
    QList<CallRow> rows;
    rows.reserve(rowCount());
    for (int i = 0; i < rowCount(); ++i)
        rows.append(m_source->rows().at(mapToSource(index(i, 0)).row()));
    return rows;
}

CallTotals CallsFilter::totals() const {
    CallTotals t;
    for (int i = 0; i < rowCount(); ++i)
        t.add(m_source->rows().at(mapToSource(index(i, 0)).row()));
    return t;
}

} // namespace tarv::calls
