#pragma once

#include "limits/limitsmonitor.h"
#include "limits/limitsnotifier.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <memory>

class QWidget;

namespace tarv {
class Meter;
}

namespace tarv::limits {

class LimitsDialog;

// The spending limits in the running program: reads tarv.ini at start and whenever it changes,
// follows every charge of the meter, and at a warning level notifies the user, runs the user's
// command and, when asked to, ends the connection at the limit. The work inside the meter's
// tick is a sum and a comparison; notifying, starting the command and hanging up run just after
// the tick, and none of them waits for anything.
class LimitsController final : public QObject {
    Q_OBJECT
public:
    LimitsController(Meter &meter, LimitsNotifier::Balloon balloon, QWidget *mainWindow);
    ~LimitsController() override;

    // Opens the limits dialog with the settings and the cycle's figures of now.
    void openDialog();
    LimitsDialog *dialog() const { return m_dialog.get(); }

    // Reads tarv.ini anew; a bad value is reported once, until the file changes it.
    void reload();
    const LimitSettings &settings() const { return m_monitor.settings(); }
    LimitsNotifier &notifier() { return *m_notifier; }
    LimitsMonitor &monitor() { return m_monitor; }

private:
    void charged(const QDate &day, double dayTotal);
    void deliver(const Warning &warning);
    // Starts the user's command with the warning in its environment; false when it cannot start.
    bool runCommand(const Warning &warning);
    // Ends the meter's connection; the text to add to the notification.
    QString hangUp();
    void watch();

    Meter &m_meter;
    QWidget *m_main = nullptr;
    LimitsMonitor m_monitor;
    LimitsNotifier *m_notifier = nullptr;
    QFileSystemWatcher m_watcher;
    QTimer m_reloadTimer;
    QSet<QString> m_reported;      // problems of the file already reported
    QString m_failedCommand;       // a command whose failure to start has been reported
    std::unique_ptr<LimitsDialog> m_dialog;
};

} // namespace tarv::limits
