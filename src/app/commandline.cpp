#include "app/commandline.h"

#include "app/helptext.h"
#include "app/statusclient.h"
#include "limits/limitscheck.h"
#include "calls/callreport.h"
#include "meter/meterstatus.h"
#include "platform/platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileDevice>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>

namespace tarv {

namespace {

const QString kFormatText = QStringLiteral("text");
const QString kFormatCsv = QStringLiteral("csv");
const QString kFormatJson = QStringLiteral("json");

// The text of a message in the command's language.
QString say(Messages m, const char *english, const char *greek) {
    return m == Messages::Greek ? QString::fromUtf8(greek) : QString::fromUtf8(english);
}

// The options of the commands that print and end, and those Qt's windowing reads itself, which
// are accepted here and left in the arguments for it. The help text is in helptext.h.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption report{QStringLiteral("report")};
    QCommandLineOption calls{QStringLiteral("calls")};
    QCommandLineOption status{QStringLiteral("status")};
    QCommandLineOption watch{QStringLiteral("watch")};
    QCommandLineOption check{QStringLiteral("check")};
    QCommandLineOption year{QStringLiteral("year"), {}, QStringLiteral("YYYY")};
    QCommandLineOption month{QStringLiteral("month"), {}, QStringLiteral("YYYY-MM")};
    QCommandLineOption from{QStringLiteral("from"), {}, QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption to{QStringLiteral("to"), {}, QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption format{QStringLiteral("format"), {}, QStringLiteral("format"), kFormatText};
    QList<QCommandLineOption> windowing;

    Options() {
        for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
                                 "stylesheet", "qmljsdebugger", "name", "title"})
            windowing.append(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value")));
        for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
            windowing.append(QCommandLineOption(QString::fromLatin1(name)));
    }

    void addTo(QCommandLineParser &parser) const {
        // Qt's windowing options begin with a single dash and are whole words.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, report, calls, status, watch, check, year, month, from, to, format});
        parser.addOptions(windowing);
    }
};

bool inYears(int year) {
    return year >= 2000 && year <= 2099;
}

// Reads a date written year first with the given number of parts; sets error when it cannot.
std::optional<QDate> readDate(Messages m, const QString &option, const QString &text, bool withDay, QString &error) {
    static const QRegularExpression dayForm(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    static const QRegularExpression monthForm(QStringLiteral("^(\\d{4})-(\\d{2})$"));
    const QRegularExpressionMatch match = (withDay ? dayForm : monthForm).match(text);
    const QDate date = match.hasMatch() ? QDate(match.captured(1).toInt(), match.captured(2).toInt(),
                                            withDay ? match.captured(3).toInt() : 1)
                                    : QDate();
    if (!date.isValid()) {
        error = say(m, "--%1: '%2' is not a date of the form %3", "--%1: το '%2' δεν είναι ημερομηνία της μορφής %3")
                    .arg(option, text, withDay ? QStringLiteral("YYYY-MM-DD") : QStringLiteral("YYYY-MM"));
        return std::nullopt;
    }
    if (!inYears(date.year())) {
        error = say(m, "--%1: the year %2 is outside 2000..2099", "--%1: το έτος %2 είναι εκτός 2000..2099")
                    .arg(option)
                    .arg(date.year());
        return std::nullopt;
    }
    return date;
}

Command failure(Messages m, const QString &message) {
    Command c;
    c.messages = m;
    c.action = Command::Action::Error;
    c.error = message;
    return c;
}

Command reportCommand(const QCommandLineParser &parser, const Options &o, const QDate &today, Messages m) {
    Command c;
    c.messages = m;
    c.action = Command::Action::Report;
    stats::ReportRequest &r = c.report;
    const bool range = parser.isSet(o.from) || parser.isSet(o.to);
    if (int(parser.isSet(o.year)) + int(parser.isSet(o.month)) + int(range) > 1)
        return failure(m, say(m, "choose one of --year, --month and --from/--to",
                              "επιλέξτε ένα από τα --year, --month και --from/--to"));
    QString error;
    if (parser.isSet(o.month)) {
        const auto date = readDate(m, QStringLiteral("month"), parser.value(o.month), false, error);
        if (!date) return failure(m, error);
        r.kind = stats::ReportRequest::Kind::Month;
        r.year = date->year();
        r.month = date->month();
    } else if (range) {
        if (!parser.isSet(o.from) || !parser.isSet(o.to))
            return failure(m, say(m, "--from and --to go together", "τα --from και --to δίνονται μαζί"));
        const auto from = readDate(m, QStringLiteral("from"), parser.value(o.from), true, error);
        if (!from) return failure(m, error);
        const auto to = readDate(m, QStringLiteral("to"), parser.value(o.to), true, error);
        if (!to) return failure(m, error);
        if (*from > *to)
            return failure(m, say(m, "--from %1 is after --to %2", "το --from %1 είναι μετά το --to %2")
                                  .arg(parser.value(o.from), parser.value(o.to)));
        r.kind = stats::ReportRequest::Kind::Range;
        r.from = *from;
        r.to = *to;
    } else {
        const QString text = parser.isSet(o.year) ? parser.value(o.year) : QString::number(today.year());
        static const QRegularExpression yearForm(QStringLiteral("^\\d{4}$"));
        if (!yearForm.match(text).hasMatch())
            return failure(m, say(m, "--year: '%1' is not a year of the form YYYY",
                                  "--year: το '%1' δεν είναι έτος της μορφής YYYY")
                                  .arg(text));
        if (!inYears(text.toInt()))
            return failure(m, say(m, "--year: the year %1 is outside 2000..2099", "--year: το έτος %1 είναι εκτός 2000..2099")
                                  .arg(text));
        r.kind = stats::ReportRequest::Kind::Year;
        r.year = text.toInt();
    }
    return c;
}

// The parser's own message in the command's language.
// Writes text that is UTF-8 already. A stream that writes UTF-8 to a device takes the bytes as
// they are, after whatever it holds; decoding a report of many megabytes only for the stream to
// encode it again would cost more than making the report.
void writeUtf8(QTextStream &out, const QByteArray &text) {
    QIODevice *device = out.device();
    if (!device || out.encoding() != QStringConverter::Utf8 || out.generateByteOrderMark()) {
        out << QString::fromUtf8(text);
        return;
    }
    out.flush();
    device->write(text);
    if (auto *file = qobject_cast<QFileDevice *>(device)) file->flush();
}

QString parserError(Messages m, const QCommandLineParser &parser) {
    if (m == Messages::English) return parser.errorText();
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("άγνωστη επιλογή '%1'.").arg(parser.unknownOptionNames().first());
    static const QRegularExpression missing(QStringLiteral("^Missing value after '(.*)'\\.$"));
    static const QRegularExpression unexpected(QStringLiteral("^Unexpected value after '(.*)'\\.$"));
    if (const auto match = missing.match(parser.errorText()); match.hasMatch())
        return QStringLiteral("λείπει η τιμή μετά το '%1'.").arg(match.captured(1));
    if (const auto match = unexpected.match(parser.errorText()); match.hasMatch())
        return QStringLiteral("απρόσμενη τιμή μετά το '%1'.").arg(match.captured(1));
    return parser.errorText();
}

} // namespace

Messages messagesOfEnvironment() {
    return greekMessagesOfEnvironment() ? Messages::Greek : Messages::English;
}

Command parseCommandLine(const QStringList &arguments, const QDate &today, Messages m) {
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    if (!parser.parse(arguments)) return failure(m, parserError(m, parser));
    if (!parser.positionalArguments().isEmpty())
        return failure(m, say(m, "unexpected argument '%1'", "απρόσμενο όρισμα '%1'").arg(parser.positionalArguments().first()));
    Command simple;
    simple.messages = m;
    if (parser.isSet(o.help)) {
        simple.action = Command::Action::Help;
        return simple;
    }
    if (parser.isSet(o.version)) {
        simple.action = Command::Action::Version;
        return simple;
    }

    const QString format = parser.value(o.format);
    stats::ReportFormat reportFormat = stats::ReportFormat::Text;
    if (format == kFormatCsv) {
        reportFormat = stats::ReportFormat::Csv;
    } else if (format == kFormatJson) {
        reportFormat = stats::ReportFormat::Json;
    } else if (format != kFormatText) {
        return failure(m, say(m, "--format: '%1' is not one of text, csv and json",
                              "--format: το '%1' δεν είναι ένα από τα text, csv και json")
                              .arg(format));
    }

    const bool reportOnly = parser.isSet(o.year) || parser.isSet(o.month) || parser.isSet(o.from) || parser.isSet(o.to);
    if (parser.isSet(o.report) && parser.isSet(o.status))
        return failure(m, say(m, "choose --report or --status", "επιλέξτε --report ή --status"));
    if (parser.isSet(o.watch) && !parser.isSet(o.status))
        return failure(m, say(m, "--watch goes with --status", "το --watch πάει με το --status"));
    if (parser.isSet(o.check)) {
        if (parser.isSet(o.report) || parser.isSet(o.status) || reportOnly)
            return failure(m, say(m, "--check goes alone, or with --format", "το --check πάει μόνο του ή με το --format"));
        if (reportFormat == stats::ReportFormat::Csv)
            return failure(m, say(m, "--check prints text or json", "το --check τυπώνει text ή json"));
        Command c = simple;
        c.action = Command::Action::Check;
        c.report.format = reportFormat;
        return c;
    }
    if (parser.isSet(o.calls) && !parser.isSet(o.report))
        return failure(m, say(m, "--calls goes with --report", "το --calls πάει με το --report"));
    if (parser.isSet(o.status)) {
        if (reportOnly)
            return failure(m, say(m, "--year, --month, --from and --to go with --report",
                                  "τα --year, --month, --from και --to πάνε με το --report"));
        if (reportFormat == stats::ReportFormat::Csv)
            return failure(m, say(m, "--status prints text or json", "το --status τυπώνει text ή json"));
        Command c = simple;
        c.action = Command::Action::Status;
        c.report.format = reportFormat;
        c.watch = parser.isSet(o.watch);
        return c;
    }
    if (!parser.isSet(o.report)) {
        if (reportOnly || parser.isSet(o.format))
            return failure(m, say(m, "--year, --month, --from, --to and --format go with --report or --status",
                                  "τα --year, --month, --from, --to και --format πάνε με το --report ή το --status"));
        return {};
    }
    Command c = reportCommand(parser, o, today, m);
    c.report.format = reportFormat;
    c.calls = parser.isSet(o.calls);
    return c;
}

QString helpText(Messages m) {
    return QString::fromStdString(helpText(m == Messages::Greek));
}

int runCommand(const Command &command, const QString &dataFolder, QTextStream &out, QTextStream &err,
               const StatusQuestion &ask) {
    const QString name = QStringLiteral("tarv");
    const Messages m = command.messages;
    switch (command.action) {
    case Command::Action::StartProgram:
        return ExitOk;
    case Command::Action::Error:
        err << name << ": " << command.error << "\n" << say(m, "Try '%1 --help'.", "Δοκιμάστε '%1 --help'.").arg(name) << '\n';
        return ExitUsage;
    case Command::Action::Help:
        out << helpText(m);
        return ExitOk;
    case Command::Action::Version:
        out << name << ' ' << TARV_VERSION << '\n';
        return ExitOk;
    case Command::Action::Report:
        try {
            if (command.calls) {
                writeUtf8(out, calls::callsReport(dataFolder, command.report));
                return ExitOk;
            }
            out << limits::withCycleJson(stats::ledgerReport(dataFolder, command.report), command.report.format,
                                         dataFolder, QDate::currentDate());
            return ExitOk;
        } catch (const Exception &e) {
            err << name << ": " << e.message() << '\n';
            return ExitLedger;
        }
    case Command::Action::Check:
        return limits::runCheck(dataFolder, QDate::currentDate(), command.report.format == stats::ReportFormat::Json,
                                out, err);
    case Command::Action::Status: {
        QString why;
        const std::optional<QByteArray> answer = ask ? ask(why) : askStatus(dataFolder, why);
        if (!answer) {
            err << name << ": " << say(m, "the program is not running", "το πρόγραμμα δεν εκτελείται")
                << (why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)) << '\n';
            return ExitNotRunning;
        }
        MeterStatus status;
        if (!parseStatusJson(*answer, status)) {
            err << name << ": " << say(m, "the running program did not answer", "το πρόγραμμα που εκτελείται δεν απάντησε")
                << '\n';
            return ExitLedger;
        }
        if (command.report.format == stats::ReportFormat::Json)
            out << limits::withCycleJson(statusLine(status, true), stats::ReportFormat::Json, dataFolder,
                                         QDate::currentDate())
                << '\n';
        else
            out << statusLine(status, false) << '\n';
        return ExitOk;
    }
    }
    return ExitOk;
}

std::optional<int> runCommandLine(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const Command command = parseCommandLine(arguments, QDate::currentDate(), messagesOfEnvironment());
    if (command.action == Command::Action::StartProgram) return std::nullopt;
    // A core application only: the commands print and end without a display. The name gives
    // the user's data folder, the same as the program's.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARV_VERSION));
    const QString folder = command.action == Command::Action::Report || command.action == Command::Action::Status ||
                                   command.action == Command::Action::Check
                               ? systemDataFolder(false)
                               : QString();
    if (command.action == Command::Action::Status && command.watch)
        return watchStatus(folder, command.report.format == stats::ReportFormat::Json, command.messages);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runCommand(command, folder, out, err);
}

} // namespace tarv
