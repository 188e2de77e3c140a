#include "shell/bannerengine_remote.h"

#include "shell/bannerprotocol.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>

namespace tarv {

namespace {

// How long a helper still running when the program ends may take to end on its own.
constexpr int kExitGraceMs = 1000;

// Kills the helper if it has not ended, and waits for it, so that none outlives the program.
void killAndWait(QProcess *process) {
    if (process->state() == QProcess::NotRunning) return;
    process->kill();
    process->waitForFinished(5000);
}

// Whether the application's event loop has ended: from then on nothing runs a timer, and a
// helper that is still to end must be waited for now.
bool &loopEnded() {
    static bool ended = false;
    static const bool watching = [] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [] { ended = true; });
        return true;
    }();
    (void)watching;
    return ended;
}

} // namespace

RemoteBannerWidget::RemoteBannerWidget(RemoteBannerEngine *engine, QWidget *parent)
    : QWidget(parent), m_engine(engine) {}

void RemoteBannerWidget::followLink(const QUrl &url) {
    if (m_engine) m_engine->send(bannerwire::line("load", {bannerwire::arg(url.toString())}));
}

void RemoteBannerWidget::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (m_engine)
        m_engine->send(bannerwire::line("size", {QByteArray::number(width()), QByteArray::number(height())}));
}

RemoteBannerEngine::RemoteBannerEngine(const QString &program, QWidget *parent, Timing timing)
    : m_timing(timing), m_widget(new RemoteBannerWidget(this, parent)) {
    loopEnded();
    m_loadDeadline.setSingleShot(true);
    QObject::connect(&m_loadDeadline, &QTimer::timeout, m_widget,
                     [this] { abandon("The banner's helper program did not finish a load in time."); });
    // The application owns the helper, so that one still ending when the program ends is
    // killed with it at the latest; and the system ends it should the program die first.
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, {});
    if (!process->waitForStarted(10000)) {
        qWarning("The banner's helper program could not be started: %s", qPrintable(process->errorString()));
        delete process;
        return;
    }
    m_process = process;
    QObject::connect(process, &QProcess::readyReadStandardOutput, m_widget, [this] { readOutput(); });
    QObject::connect(process, &QProcess::finished, m_widget, [this] { lost(); });
    embed();
}

RemoteBannerEngine::~RemoteBannerEngine() {
    m_loadDeadline.stop();
    if (QProcess *process = std::exchange(m_process, nullptr)) {
        // The helper ends when its input closes. While the program runs it is left to do so on
        // its own and killed if it does not, without holding the GUI thread; once the program
        // is ending, or when it ends meanwhile, it is killed and waited for.
        process->disconnect(m_widget);
        process->closeWriteChannel();
        if (loopEnded()) {
            if (!process->waitForFinished(kExitGraceMs)) killAndWait(process);
            delete process;
        } else {
            QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
            QTimer::singleShot(m_timing.endGraceMs, process, [process] { process->kill(); });
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, process,
                             [process] { killAndWait(process); });
        }
    }
    m_widget->m_engine = nullptr;
    delete m_widget;
}

void RemoteBannerEngine::send(const QByteArray &message) {
    if (m_process) m_process->write(message);
}

void RemoteBannerEngine::setOffline(bool offline) {
    send(bannerwire::line("offline", {offline ? "1" : "0"}));
}

void RemoteBannerEngine::load(const QUrl &url) {
    ++m_loadsPending;
    m_loadDeadline.start(m_timing.loadDeadlineMs);
    send(bannerwire::line("load", {bannerwire::arg(url.toString())}));
    // Without its helper the engine can load nothing: the load fails, as one would that the
    // helper had taken and then ended with.
    if (!m_process) QTimer::singleShot(0, m_widget, [this] { lost(); });
}

void RemoteBannerEngine::save(const QString &path) {
    m_savesPending.insert(path);
    send(bannerwire::line("save", {bannerwire::arg(path)}));
    if (!m_process) QTimer::singleShot(0, m_widget, [this] { lost(); });
}

void RemoteBannerEngine::readOutput() {
    while (m_process && m_process->canReadLine()) {
        const QByteArray line = m_process->readLine().trimmed();
        if (!line.isEmpty()) handle(line.split(' '));
    }
    // What is left is part of a line: no line of the protocol is this long.
    if (m_process && m_process->bytesAvailable() > kMaxLineBytes)
        abandon("The banner's helper program sent a line longer than any message.");
}

void RemoteBannerEngine::handle(const QByteArrayList &words) {
    const QByteArray &word = words.at(0);
    if (word == "started") {
        if (onLoadStarted) onLoadStarted();
    } else if (word == "finished") {
        m_loadsPending = std::max(0, m_loadsPending - 1);
        // The helper answers: the loads still open get a full period of their own.
        if (m_loadsPending > 0)
            m_loadDeadline.start(m_timing.loadDeadlineMs);
        else
            m_loadDeadline.stop();
        m_url = QUrl(bannerwire::text(words.value(2)));
        if (onLoadFinished) onLoadFinished(words.value(1) == "1");
    } else if (word == "saved") {
        const QString path = bannerwire::text(words.value(2));
        m_savesPending.remove(path);
        if (onSaved) onSaved(path, words.value(1) == "1");
    }
}

void RemoteBannerEngine::embed() {
    const QByteArray w = QByteArray::number(m_widget->width());
    const QByteArray h = QByteArray::number(m_widget->height());
    // Where the platform can take in another program's window (X11), the helper puts its view
    // into this widget's own native window, which it keeps through the view's native window
    // being made anew. Elsewhere the view still loads and saves pages, unseen.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        send(bannerwire::line("show", {w, h}));
        return;
    }
    m_widget->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_widget->setAttribute(Qt::WA_NativeWindow);
    send(bannerwire::line("embed", {QByteArray::number(quint64(m_widget->winId())), w, h}));
}

void RemoteBannerEngine::abandon(const char *why) {
    qWarning("%s", why);
    if (m_process) {
        m_process->disconnect(m_widget);
        killAndWait(m_process);
    }
    lost();
}

void RemoteBannerEngine::lost() {
    m_loadDeadline.stop();
    QProcess *process = std::exchange(m_process, nullptr);
    if (process) {
        qWarning("The banner's helper program ended unexpectedly.");
        process->deleteLater();
    }
    const int loads = std::exchange(m_loadsPending, 0);
    const QSet<QString> saves = std::exchange(m_savesPending, {});
    for (const QString &path : saves)
        if (onSaved) onSaved(path, false);
    if (loads > 0 && onLoadFinished) onLoadFinished(false);
}

} // namespace tarv
