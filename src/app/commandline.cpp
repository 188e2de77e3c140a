#include "app/commandline.h"

#include "calls/callreport.h"
#include "framework/singleinstance.h"
#include "meter/meterstatus.h"
#include "platform/platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>

namespace tarv {

namespace {

const QString kFormatText = QStringLiteral("text");
const QString kFormatCsv = QStringLiteral("csv");
const QString kFormatJson = QStringLiteral("json");

// The options of the commands that print and end, and those Qt's windowing reads itself, which
// are accepted here and left in the arguments for it.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                            QStringLiteral("Shows this help and ends.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the program's version and ends.")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Prints figures from the ledger: the monthly totals of a year "
                                             "unless --month or --from/--to says otherwise.")};
    QCommandLineOption calls{QStringLiteral("calls"),
                             QStringLiteral("With --report: lists the connections of calls.csv instead.")};
    QCommandLineOption status{QStringLiteral("status"),
                              QStringLiteral("Prints the running program's live state in one line.")};
    QCommandLineOption year{QStringLiteral("year"),
                            QStringLiteral("The year of the monthly totals (default: this year)."),
                            QStringLiteral("YYYY")};
    QCommandLineOption month{QStringLiteral("month"), QStringLiteral("Prints the days of one month instead."),
                             QStringLiteral("YYYY-MM")};
    QCommandLineOption from{QStringLiteral("from"), QStringLiteral("First day of a range total (with --to)."),
                            QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption to{QStringLiteral("to"), QStringLiteral("Last day of a range total (with --from)."),
                          QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("text (default), csv or json; --status takes text or json."),
                              QStringLiteral("format"), kFormatText};
    QList<QCommandLineOption> windowing;

    Options() {
        for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
                                 "stylesheet", "qmljsdebugger", "name", "title"})
            windowing.append(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value")));
        for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
            windowing.append(QCommandLineOption(QString::fromLatin1(name)));
        for (QCommandLineOption &o : windowing) o.setFlags(QCommandLineOption::HiddenFromHelp);
    }

    void addTo(QCommandLineParser &parser) const {
        // Qt's windowing options begin with a single dash and are whole words.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(
            QStringLiteral("Meters the cost of dial-up connections. Without options it starts in the tray."));
        parser.addOptions({help, version, report, calls, status, year, month, from, to, format});
        parser.addOptions(windowing);
    }
};

bool inYears(int year) {
    return year >= 2000 && year <= 2099;
}

// Reads a date written year first with the given number of parts; sets error when it cannot.
std::optional<QDate> readDate(const QString &option, const QString &text, bool withDay, QString &error) {
    static const QRegularExpression dayForm(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    static const QRegularExpression monthForm(QStringLiteral("^(\\d{4})-(\\d{2})$"));
    const QRegularExpressionMatch m = (withDay ? dayForm : monthForm).match(text);
    const QDate date = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(),
                                            withDay ? m.captured(3).toInt() : 1)
                                    : QDate();
    if (!date.isValid()) {
        error = QStringLiteral("--%1: '%2' is not a date of the form %3")
                    .arg(option, text, withDay ? QStringLiteral("YYYY-MM-DD") : QStringLiteral("YYYY-MM"));
        return std::nullopt;
    }
    if (!inYears(date.year())) {
        error = QStringLiteral("--%1: the year %2 is outside 2000..2099").arg(option).arg(date.year());
        return std::nullopt;
    }
    return date;
}

Command failure(const QString &message) {
    Command c;
    c.action = Command::Action::Error;
    c.error = message;
    return c;
}

Command reportCommand(const QCommandLineParser &parser, const Options &o, const QDate &today) {
    Command c;
    c.action = Command::Action::Report;
    stats::ReportRequest &r = c.report;
    const bool range = parser.isSet(o.from) || parser.isSet(o.to);
    if (int(parser.isSet(o.year)) + int(parser.isSet(o.month)) + int(range) > 1)
        return failure(QStringLiteral("choose one of --year, --month and --from/--to"));
    QString error;
    if (parser.isSet(o.month)) {
        const auto date = readDate(QStringLiteral("month"), parser.value(o.month), false, error);
        if (!date) return failure(error);
        r.kind = stats::ReportRequest::Kind::Month;
        r.year = date->year();
        r.month = date->month();
    } else if (range) {
        if (!parser.isSet(o.from) || !parser.isSet(o.to)) return failure(QStringLiteral("--from and --to go together"));
        const auto from = readDate(QStringLiteral("from"), parser.value(o.from), true, error);
        if (!from) return failure(error);
        const auto to = readDate(QStringLiteral("to"), parser.value(o.to), true, error);
        if (!to) return failure(error);
        if (*from > *to)
            return failure(QStringLiteral("--from %1 is after --to %2").arg(parser.value(o.from), parser.value(o.to)));
        r.kind = stats::ReportRequest::Kind::Range;
        r.from = *from;
        r.to = *to;
    } else {
        const QString text = parser.isSet(o.year) ? parser.value(o.year) : QString::number(today.year());
        static const QRegularExpression yearForm(QStringLiteral("^\\d{4}$"));
        if (!yearForm.match(text).hasMatch())
            return failure(QStringLiteral("--year: '%1' is not a year of the form YYYY").arg(text));
        if (!inYears(text.toInt())) return failure(QStringLiteral("--year: the year %1 is outside 2000..2099").arg(text));
        r.kind = stats::ReportRequest::Kind::Year;
        r.year = text.toInt();
    }
    return c;
}

} // namespace

Command parseCommandLine(const QStringList &arguments, const QDate &today) {
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    if (!parser.parse(arguments)) return failure(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(o.help)) return Command{Command::Action::Help, {}, {}};
    if (parser.isSet(o.version)) return Command{Command::Action::Version, {}, {}};

    const QString format = parser.value(o.format);
    stats::ReportFormat reportFormat = stats::ReportFormat::Text;
    if (format == kFormatCsv) {
        reportFormat = stats::ReportFormat::Csv;
    } else if (format == kFormatJson) {
        reportFormat = stats::ReportFormat::Json;
    } else if (format != kFormatText) {
        return failure(QStringLiteral("--format: '%1' is not one of text, csv and json").arg(format));
    }

    const bool reportOnly = parser.isSet(o.year) || parser.isSet(o.month) || parser.isSet(o.from) || parser.isSet(o.to);
    if (parser.isSet(o.report) && parser.isSet(o.status)) return failure(QStringLiteral("choose --report or --status"));
    if (parser.isSet(o.calls) && !parser.isSet(o.report)) return failure(QStringLiteral("--calls goes with --report"));
    if (parser.isSet(o.status)) {
        if (reportOnly) return failure(QStringLiteral("--year, --month, --from and --to go with --report"));
        if (reportFormat == stats::ReportFormat::Csv) return failure(QStringLiteral("--status prints text or json"));
        Command c;
        c.action = Command::Action::Status;
        c.report.format = reportFormat;
        return c;
    }
    if (!parser.isSet(o.report)) {
        if (reportOnly || parser.isSet(o.format))
            return failure(QStringLiteral("--year, --month, --from, --to and --format go with --report or --status"));
        return {};
    }
    Command c = reportCommand(parser, o, today);
    c.report.format = reportFormat;
    c.calls = parser.isSet(o.calls);
    return c;
}

int runCommand(const Command &command, const QString &dataFolder, QTextStream &out, QTextStream &err) {
    const QString name = QStringLiteral("tarv");
    switch (command.action) {
    case Command::Action::StartProgram:
        return ExitOk;
    case Command::Action::Error:
        err << name << ": " << command.error << "\n" << "Try '" << name << " --help'.\n";
        return ExitUsage;
    case Command::Action::Help: {
        const Options o;
        QCommandLineParser parser;
        o.addTo(parser);
        out << parser.helpText()
            << "\nExit status: 0 done, 1 the ledger cannot be read, 2 bad arguments, 3 (--status) the program "
               "is not running.\n";
        return ExitOk;
    }
    case Command::Action::Version:
        out << name << ' ' << TARV_VERSION << '\n';
        return ExitOk;
    case Command::Action::Report:
        try {
            out << (command.calls ? calls::callsReport(dataFolder, command.report)
                                  : stats::ledgerReport(dataFolder, command.report));
            return ExitOk;
        } catch (const Exception &e) {
            err << name << ": " << e.message() << '\n';
            return ExitLedger;
        }
    case Command::Action::Status: {
        const std::optional<QByteArray> answer = SingleInstance::askStatus(dataFolder);
        if (!answer) {
            err << name << ": the program is not running\n";
            return ExitNotRunning;
        }
        MeterStatus status;
        if (!parseStatusJson(*answer, status)) {
            err << name << ": the running program did not answer\n";
            return ExitLedger;
        }
        if (command.report.format == stats::ReportFormat::Json)
            out << QString::fromUtf8(statusJson(status)) << '\n';
        else
            out << statusText(status) << '\n';
        return ExitOk;
    }
    }
    return ExitOk;
}

std::optional<int> runCommandLine(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const Command command = parseCommandLine(arguments, QDate::currentDate());
    if (command.action == Command::Action::StartProgram) return std::nullopt;
    // A core application only: the commands print and end without a display. The name gives
    // the user's data folder, the same as the program's.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARV_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString folder = command.action == Command::Action::Report || command.action == Command::Action::Status
                               ? systemDataFolder(false)
                               : QString();
    return runCommand(command, folder, out, err);
}

} // namespace tarv
