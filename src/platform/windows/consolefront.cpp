#include "platform/windows/consolefront.h"

#include "app/commandline.h"
#include "platform/platform.h"
#include "platform/windows/consoleoutput.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTextStream>

namespace tarv {

int runConsoleFront(const QStringList &arguments, const QString &programFolder, StdHandleDevice &out,
                    StdHandleDevice &err) {
    const Command command = parseCommandLine(arguments, QDate::currentDate(), messagesOfEnvironment());
    if (command.action == Command::Action::StartProgram) {
        // The tray program takes Qt's own options (-platform and the like) as it would have.
        const QString tray = QDir(programFolder).filePath(QLatin1String(kTrayProgramName));
        if (QProcess::startDetached(tray, arguments.mid(1), programFolder)) return ExitOk;
        QTextStream(&err) << "tarv: " << QDir::toNativeSeparators(tray) << ": δεν μπορεί να ξεκινήσει\n";
        return ExitLedger;
    }
    if (command.action == Command::Action::Report && command.report.format == stats::ReportFormat::Csv &&
        !out.isConsole())
        out.write("\xEF\xBB\xBF");
    QTextStream outText(&out);
    QTextStream errText(&err);
    const bool readsLedger =
        command.action == Command::Action::Report || command.action == Command::Action::Status;
    const int status = runCommand(command, readsLedger ? systemDataFolder(false) : QString(), outText, errText);
    outText.flush();
    errText.flush();
    return status;
}

} // namespace tarv
