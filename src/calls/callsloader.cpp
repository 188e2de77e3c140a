#include "calls/callsloader.h"

#include "calls/callreport.h"

#include <QDir>
#include <QFile>
#include <QPromise>
#include <QThreadPool>
#include <memory>

namespace tarv::calls {

MonthCalls readMonthCalls(const QString &folder, int year, int month) {
    MonthCalls result;
    result.year = year;
    result.month = month;
    QFile file(QDir(folder).filePath(QStringLiteral("calls.csv")));
    if (!file.exists()) return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Δεν ήταν δυνατό να διαβαστεί το %1: %2").arg(file.fileName(), file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Δεν ήταν δυνατό να διαβαστεί το %1: %2").arg(file.fileName(), file.errorString());
        return result;
    }
    const QDate first(year, month, 1);
    result.rows = rowsOfDays(bytes, first, first.addDays(first.daysInMonth() - 1), &result.skipped);
    return result;
}

CallsLoader::CallsLoader(QString folder, QObject *parent) : QObject(parent), m_folder(std::move(folder)) {
    connect(&m_watcher, &QFutureWatcher<MonthCalls>::finished, this, &CallsLoader::finished);
}

// A read under way finishes on its own: it holds nothing of the loader.
CallsLoader::~CallsLoader() = default;

void CallsLoader::load(int year, int month) {
    auto promise = std::make_shared<QPromise<MonthCalls>>();
    QFuture<MonthCalls> future = promise->future();
    promise->start();
    m_loading = true;
    m_watcher.setFuture(future);
    QThreadPool::globalInstance()->start([promise, folder = m_folder, year, month] {
        promise->addResult(readMonthCalls(folder, year, month));
        promise->finish();
    });
}

void CallsLoader::finished() {
    // The watcher may still report a read it has stopped watching: only its current one counts.
    const QFuture<MonthCalls> future = m_watcher.future();
    if (!m_loading || !future.isFinished() || future.resultCount() == 0) return;
    m_loading = false;
    emit loaded(future.result());
}

} // namespace tarv::calls
