// Feeds arbitrary bytes to the readers of the connection log: calls.csv as the report and the
// calls window read it, and calls.open as a start after a kill reads it. Crashes and overruns are
// findings, and so is a row that does not read back as itself once written again.
#include "calls/calljournal.h"
#include "calls/callreport.h"
#include "calls/callrow.h"
#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <cstdint>
#include <cstdlib>

using namespace tarv;
using namespace tarv::calls;

namespace {

bool sameRow(const CallRow &a, const CallRow &b) {
    // Times compare as moments and by the offset they were written with.
    return a.start == b.start && a.end == b.end && a.start.offsetFromUtc() == b.start.offsetFromUtc() &&
           a.units == b.units && a.cost == b.cost && a.currency == b.currency && a.unitsA == b.unitsA &&
           a.unitsB == b.unitsB && a.name == b.name && a.deviceType == b.deviceType && a.received == b.received &&
           a.sent == b.sent && a.state == b.state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Environment &env = fuzz::environment();
    if (size < 2) return 0;
    // The first byte chooses the month of the report and its form; the rest is the file.
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    for (const CallRow &row : parseCsv(bytes)) {
        const std::optional<CallRow> again = parseCsvLine(csvLine(row));
        if (!again || !sameRow(row, *again)) std::abort();
    }
    stats::ReportRequest request;
    request.kind = data[0] & 1 ? stats::ReportRequest::Kind::Month : stats::ReportRequest::Kind::Year;
    request.year = 2000 + (data[0] >> 4);
    request.month = 1 + (data[0] >> 1) % 12;
    for (const stats::ReportFormat format :
         {stats::ReportFormat::Text, stats::ReportFormat::Csv, stats::ReportFormat::Json}) {
        request.format = format;
        formatCallsReport(bytes, request, QLocale(QLocale::Greek, QLocale::Greece));
    }
    // The same bytes as the journal a kill left behind.
    const QString path = QDir(env.dir.path()).filePath(QStringLiteral("calls.open"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.close();
        if (const std::optional<JournalEntry> entry = CallJournal(path).read())
            if (entry->offset < 0 || entry->text.size() > CallJournal::kTextCapacity) std::abort();
    }
    return 0;
}
