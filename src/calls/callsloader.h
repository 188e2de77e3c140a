#pragma once

#include "calls/callrow.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>

namespace tarv::calls {

// The connections of one month as read from calls.csv.
struct MonthCalls {
    int year = 0;
    int month = 0;
    QList<CallRow> rows;
    // Lines of the month (or of no day at all) that could not be read.
    int skipped = 0;
    // Why the file could not be read; empty when it was, or when there is none yet.
    QString error;
};

// Reads calls.csv in folder for the month. A missing file is a log without connections yet.
MonthCalls readMonthCalls(const QString &folder, int year, int month);

// Reads a month's connections on a worker thread, so that a long log never holds the windows up.
// Only the last month asked for is reported: a read overtaken by another is dropped.
class CallsLoader final : public QObject {
    Q_OBJECT
public:
    explicit CallsLoader(QString folder, QObject *parent = nullptr);
    ~CallsLoader() override;

    void load(int year, int month);
    bool isLoading() const { return m_loading; }

signals:
    void loaded(const tarv::calls::MonthCalls &calls);

private:
    void finished();

    QString m_folder;
    QFutureWatcher<MonthCalls> m_watcher;
    bool m_loading = false;
};

} // namespace tarv::calls
