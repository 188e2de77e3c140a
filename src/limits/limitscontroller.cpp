#include "limits/limitscontroller.h"

#include "framework/errors.h"
#include "limits/limitscheck.h"
#include "limits/limitsdialog.h"
#include "meter/meter.h"
#include "stats/ledgerreport.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace tarv::limits {

LimitsController::LimitsController(Meter &meter, LimitsNotifier::Balloon balloon, QWidget *mainWindow)
    : m_meter(meter), m_main(mainWindow), m_monitor(meter.platform().dataFolder),
      m_notifier(new LimitsNotifier(std::move(balloon), this)) {
    // An editor saves a file in several steps (or by replacing it); one read follows them all.
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(200);
    connect(&m_reloadTimer, &QTimer::timeout, this, &LimitsController::reload);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_reloadTimer, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_reloadTimer, qOverload<>(&QTimer::start));
    reload();
    m_meter.setChargeObserver([this](const QDate &day, double dayTotal) { charged(day, dayTotal); });
}

LimitsController::~LimitsController() {
    m_meter.setChargeObserver(nullptr);
}

void LimitsController::watch() {
    // The folder is watched for a file that appears, or is replaced by an editor's save; the
    // file itself for changes in place.
    const QString folder = m_meter.platform().dataFolder;
    const QString path = settingsPath(folder);
    if (!m_watcher.directories().contains(folder)) m_watcher.addPath(folder);
    if (QFileInfo::exists(path) && !m_watcher.files().contains(path)) m_watcher.addPath(path);
}

void LimitsController::reload() {
    watch();
    const LoadedSettings loaded = readLimitSettings(settingsPath(m_meter.platform().dataFolder));
    m_monitor.setSettings(loaded.settings);
    const QSet<QString> problems(loaded.problems.begin(), loaded.problems.end());
    // Reported once the event loop runs, so that a problem found at start-up reaches a tray
    // icon that is ready.
    for (const QString &problem : loaded.problems)
        if (!m_reported.contains(problem))
            QMetaObject::invokeMethod(
                this, [this, problem] { m_notifier->notify(QStringLiteral("Tarv: tarv.ini"), problem); },
                Qt::QueuedConnection);
    m_reported = problems;
}

void LimitsController::charged(const QDate &day, double dayTotal) {
    QList<Warning> due;
    try {
        due = m_monitor.charged(day, dayTotal);
    } catch (const Exception &) {
        // The meter shows a ledger it cannot read at its own tick; the limits wait for the next
        // charge.
        m_monitor.invalidate();
        return;
    }
    // Delivered after the tick has returned, so that the tick never waits for any of it.
    for (const Warning &w : due) QMetaObject::invokeMethod(this, [this, w] { deliver(w); }, Qt::QueuedConnection);
}

void LimitsController::deliver(const Warning &w) {
    const QString currency = m_meter.s.currencyLabel;
    QString text = warningText(w, currency);
    if (w.limitReached() && settings().hangUp) text += QLatin1Char(' ') + hangUp();
    m_notifier->notify(warningTitle(w), text);
    if (!settings().command.isEmpty() && !runCommand(w) && m_failedCommand != settings().command) {
        m_failedCommand = settings().command;
        m_notifier->notify(QStringLiteral("Tarv: εντολή"),
                           QStringLiteral("Η εντολή «%1» δεν ξεκίνησε.").arg(settings().command));
    }
}

bool LimitsController::runCommand(const Warning &w) {
    QStringList words = QProcess::splitCommand(settings().command);
    if (words.isEmpty()) return false;
    QProcess process;
    process.setProgram(words.takeFirst());
    process.setArguments(words);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARV_LEVEL"), QString::number(w.level));
    env.insert(QStringLiteral("TARV_SPENT"), stats::plainNumber(w.figures.spent));
    env.insert(QStringLiteral("TARV_LIMIT"), stats::plainNumber(w.figures.limit));
    env.insert(QStringLiteral("TARV_CURRENCY"), m_meter.s.currencyLabel);
    const BillingCycle period = w.period == Warning::Period::Month ? w.cycle : BillingCycle{m_meter.s.currentDay, m_meter.s.currentDay};
    env.insert(QStringLiteral("TARV_CYCLE_START"), period.start.toString(Qt::ISODate));
    env.insert(QStringLiteral("TARV_CYCLE_END"), period.end.toString(Qt::ISODate));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

QString LimitsController::hangUp() {
    DialupService &dialup = *m_meter.platform().dialup;
    const std::optional<QStringList> connections = dialup.activeConnections();
    if (!m_meter.s.online || !connections || connections->isEmpty())
        return QStringLiteral("Καμία σύνδεση δεν ήταν ανοιχτή για να κλείσει.");
    QString why;
    if (dialup.hangUp(connections->first(), why)) return QStringLiteral("Η σύνδεση κλείνει.");
    return QStringLiteral("Η σύνδεση δεν έκλεισε: %1").arg(why);
}

void LimitsController::openDialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<LimitsDialog>(m_main);
        m_dialog->onAccept = [this](const LimitSettings &s) {
            writeLimitSettings(settingsPath(m_meter.platform().dataFolder), s);
            reload();
        };
    }
    // The figures come from the ledger as it is now, edits by hand included.
    m_monitor.invalidate();
    std::optional<CycleFigures> figures;
    QString error;
    try {
        figures = readCycleFigures(m_meter.platform().dataFolder, m_meter.platform().clock->now().date());
        figures->currency = m_meter.s.currencyLabel;
    } catch (const Exception &e) {
        error = e.message();
    }
    m_dialog->setContents(settings(), figures, error);
    m_dialog->open();
}

} // namespace tarv::limits
