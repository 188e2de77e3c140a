#include "app/startup.h"

#include "app/commandline.h"
#include "app/commandservice.h"
#include "calls/calllog.h"
#include "calls/callswindow.h"
#include "framework/application.h"
#include "framework/ondemand.h"
#include "framework/singleinstance.h"
#include "limits/limitscontroller.h"
#include "meter/meterstatus.h"
#include "options/tfrmoptions.h"
#include "shell/tform1.h"
#include "app/chartloader.h"

#include <QMessageBox>
#include <QSessionManager>
#include <QTranslator>
#include <QTimer>
#include <cstdio>

#ifdef Q_OS_WIN
#include "platform/windows/firststartnotice.h"
#include "shell/trayicon.h"
#endif

namespace tarv {

Windows::Windows() = default;
Windows::~Windows() = default;
Windows::Windows(Windows &&) noexcept = default;
Windows &Windows::operator=(Windows &&) noexcept = default;

QTranslator *installQtTranslation() {
    // Qt has no Greek of its own: without this, "Yes" and "Cancel" would stand beside Greek text.
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"), QStringLiteral(":/translations")))
        return nullptr;
    if (!QCoreApplication::installTranslator(translator.get())) return nullptr;
    return translator.release();
}

QString exitConfirmText() {
    return QStringLiteral("Αν κλείσετε το πρόγραμμα, η μέτρηση θα σταματήσει.") + QLatin1Char('\r') +
           QStringLiteral(
               "Μπορείτε αν θέλετε απλώς να το αποκρύψετε, πατώντας το κόκκινο κουμπί επάνω δεξιά") +
           QLatin1Char('\r') + QStringLiteral("Θέλετε το πρόγραμμα να τερματιστεί;");
}

void exitConfirm(QWidget *parent) {
    const auto answer = QMessageBox::warning(parent, QStringLiteral("Warning"), exitConfirmText(),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes) QApplication::quit();
}

Windows createWindows(const Platform &platform) {
    Windows w;
    w.Form1 = std::make_unique<TForm1>(platform);
    w.Form1->FormCreate();
    TForm1 *form = w.Form1.get();
    QObject::connect(form, &TForm1::exitRequested, form, [form] { exitConfirm(form); });
    // The options dialog and the chart window are made the first time they are asked for.
    form->setOptionsFactory(
        [](Meter &meter, QWidget *mainWindow) { return std::make_unique<TfrmOptions>(meter, mainWindow); });
    form->setChartFactory(chartWindowFactory());
    w.limits = std::make_unique<limits::LimitsController>(
        form->meter(), [form](const QString &title, const QString &text) { return form->showBalloon(title, text); },
        form);
    limits::LimitsController *limitsController = w.limits.get();
    QObject::connect(form, &TForm1::limitsRequested, limitsController,
                     [limitsController] { runGuarded([limitsController] { limitsController->openDialog(); }); });
    w.calls = std::make_unique<OnDemand<calls::CallsWindow>>();
    OnDemand<calls::CallsWindow> *callsWindow = w.calls.get();
    callsWindow->setFactory([form] {
        const Meter &meter = form->meter();
        return std::make_unique<calls::CallsWindow>(
            meter.platform().dataFolder, [form] { return form->meter().s.currencyLabel; }, form);
    });
    QObject::connect(form, &TForm1::callsRequested, form, [form, callsWindow] {
        const QDate today = form->meter().platform().clock->now().date();
        if (calls::CallsWindow *window = callsWindow->make()) window->showMonth(today.year(), today.month());
    });
    QObject::connect(form, &TForm1::dayCallsRequested, form, [callsWindow](const QDate &day) {
        if (calls::CallsWindow *window = callsWindow->make()) window->showDay(day);
    });
    form->setVisible(false);
    return w;
}

int runProgram(int argc, char **argv) {
    // --report, --status, --help and --version print and end before any window or display.
    if (const std::optional<int> status = runCommandLine(argc, argv)) return *status;
    TarvApplication app(argc, argv);
    TarvApplication::applyStartupSettings();
    installQtTranslation();
    // The program lives in the tray: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    // The end of the session is never delayed or refused: the ledger already holds every unit.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager &manager) { manager.release(); });

    const Platform platform = makeSystemPlatform();
    // One meter per ledger: a second start shows the running program's window and ends.
    SingleInstance instance(platform.dataFolder);
    switch (instance.claim()) {
    case SingleInstance::Claim::First:
        break;
    case SingleInstance::Claim::Running:
        return 0;
    case SingleInstance::Claim::Failed:
        // Said where a terminal shows it and, as a start from the session has none, in a box.
        std::fprintf(stderr, "tarv: %s\n", instance.error().toUtf8().constData());
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), instance.error());
        return 1;
    }
    // The program meters without the command line's channel, but says that it has none.
    if (!instance.error().isEmpty()) {
        std::fprintf(stderr, "tarv: %s\n", instance.error().toUtf8().constData());
        showErrorBox(instance.error());
    }

    Windows windows = createWindows(platform);
    TForm1 *form = windows.Form1.get();
    // After every tick (connected after the meter's own handler, so it runs second) the watching
    // command lines get the status when it has changed: the program tells them, they never ask.
    if (auto *tick = form->findChild<QTimer *>(QStringLiteral("tickTimer")))
        QObject::connect(tick, &QTimer::timeout, &instance, &SingleInstance::publishStatus);
#ifdef Q_OS_WIN
    // An installed copy's first start says from its icon where it is and how to open it.
    if (auto *tray = form->findChild<TTrayIcon *>())
        showFirstStartNotice(*tray, QCoreApplication::applicationDirPath(), platform.dataFolder);
#endif

    // The connection log: a row that a program ended or killed with a connection up left in the
    // journal is added first, before the meter's first tick can start a new one.
    calls::CallLog callLog(platform.dataFolder, calls::systemTrafficSource());
    runGuarded([&callLog] { callLog.recover(); });
    form->meter().setObserver(&callLog);

    // `tarv --status` is answered from the meter's state in memory, never from the ledger.
    const std::function<QByteArray()> statusSource = [form, &callLog] {
        const Meter &m = form->meter();
        MeterStatus status = meterStatus(m.s, m.statusLine(), m.platform().clock->now());
        if (const std::optional<calls::Counters> bytes = callLog.connectionBytes(); bytes && m.s.online) {
            status.received = bytes->received;
            status.sent = bytes->sent;
        }
        return statusJson(status);
    };
    instance.setStatusSource(statusSource);
    // A command line that finds the program running has it run the command, rather than load
    // Qt itself: a status bar's `tarv --status` then costs little more than a small C program.
    const CommandService commands(platform.dataFolder, statusSource, &instance);
    instance.setCommandHandler([&commands](const QByteArray &request, std::function<void(QByteArray)> reply) {
        commands.serve(request, std::move(reply));
    });
    QObject::connect(&instance, &SingleInstance::showRequested, form, &TForm1::bringToFront);
    const int status = app.exec();
    form->meter().setObserver(nullptr);
    callLog.close(platform.clock->now());
    return status;
}

} // namespace tarv
