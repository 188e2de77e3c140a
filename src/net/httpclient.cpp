#include "net/httpclient.h"

#include "net/encoders.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace tarv {

namespace {

// Watches the application for its quit while a command runs. The command waits in nested
// event loops that the end of the main loop does not reach, so without this a program that
// is told to end keeps waiting for the server.
class QuitWatch final : public QObject {
public:
    explicit QuitWatch(std::function<void()> onQuit) : m_onQuit(std::move(onQuit)) {
        if (QCoreApplication *app = QCoreApplication::instance()) app->installEventFilter(this);
    }
    ~QuitWatch() override {
        if (QCoreApplication *app = QCoreApplication::instance()) app->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) m_onQuit();
        return false;
    }

private:
    std::function<void()> m_onQuit;
};

} // namespace

THttpClient::THttpClient(QObject *parent) : TSocketClient(parent) {}

// An abort also ends a host lookup wait, and reports no status text of its own.
void THttpClient::Abort() {
    m_waitDone = true;
    Cancel();
}

// A command refused because another one runs must leave that one's target, code, data and
// extra target alone: a redirect of the running command would otherwise send them.
void THttpClient::start(CmdType code, const QString &url, const QString *data, const QString *target) {
    refuseWhileRunning();
    m_targetURL = url;
    m_targetFromServer = false;
    m_commandCode = code;
    if (data) m_commandData = *data;
    if (target) m_commandTarget = *target;
    RunCommand();
}

void THttpClient::refuseWhileRunning() const {
    // A command started from inside another one's wait would share its socket and flags.
    if (m_running) throw ESockError(QStringLiteral("Already connected"));
}

void THttpClient::Get(const QString &url) {
    start(cmdGet, url);
}
void THttpClient::Options(const QString &url) {
    start(cmdOptions, url);
}
void THttpClient::Head(const QString &url) {
    start(cmdHead, url);
}
void THttpClient::Delete(const QString &url) {
    start(cmdDelete, url);
}

void THttpClient::Post(const QString &url, const QString &data) {
    QString sent = data;
    // With OutputFileMode the data names a file and is sent as it is.
    if (encodePostData && !OutputFileMode) {
        TUrlEncoder encoder;
        encoder.InputString = data;
        sent = encoder.Encode();
    }
    start(cmdPost, url, &sent);
}

void THttpClient::Put(const QString &url, const QString &data) {
    start(cmdPut, url, &data);
}

void THttpClient::Patch(const QString &url, const QString &data) {
    start(cmdPatch, url, &data);
}

void THttpClient::Trace(const QString &url, const QString &data) {
    start(cmdTrace, url, &data);
}

void THttpClient::Headless(const QString &url, const QString &data) {
    start(cmdHeadless, url, &data);
}

void THttpClient::Copy(const QString &url, const QString &targetUri) {
    start(cmdCopy, url, nullptr, &targetUri);
}

void THttpClient::Move(const QString &url, const QString &targetUri) {
    start(cmdMove, url, nullptr, &targetUri);
}

void THttpClient::Link(const QString &url, const QString &link) {
    const QString data = QStringLiteral("Send.dat");
    start(cmdLink, url, &data, &link);
}

void THttpClient::Unlink(const QString &url, const QString &link) {
    const QString data = QStringLiteral("Send.dat");
    start(cmdUnlink, url, &data, &link);
}

void THttpClient::RunCommand() {
    refuseWhileRunning();
    m_running = true;
    struct Running {
        bool &flag;
        ~Running() { flag = false; }
    } running{m_running};

    m_deadlinePassed = false;
    m_endedByQuit = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    if (Deadline > 0) {
        QObject::connect(&deadline, &QTimer::timeout, this, [this] {
            m_deadlinePassed = true;
            Abort();
        });
        deadline.start(Deadline);
    }
    const QuitWatch quitWatch([this] {
        m_endedByQuit = true;
        Abort();
    });
    // The error that tells why the command was cut short, in place of the wait's own.
    const auto stopped = [this]() -> bool { return m_deadlinePassed || m_endedByQuit; };
    const auto throwStopped = [this] {
        if (m_endedByQuit) throw EAbortError(QStringLiteral("Transfer ended: the program is closing"));
        throw EAbortError(QStringLiteral("Transfer time limit reached"));
    };

    for (int pass = 1;; ++pass) {
        if (stopped()) throwStopped();
        ParseURL();
        BuildRequestHeader();
        if (OnAboutToSend) OnAboutToSend(this);

        bool newTarget = false;
        try {
            Connect();
            SendRequest();
            m_replyNumber = 0;
            ReadResponseHeader();
            // One byte over the cap is taken, to tell a body of exactly the cap from a longer one.
            const qint64 limit = MaxBodySize < 0 ? -1 : MaxBodySize + 1;
            if (InputFileMode) {
                CaptureFile(Body, limit);
            } else {
                QByteArray body;
                try {
                    CaptureString(body, limit);
                } catch (...) {
                    Body = QString::fromLatin1(body);
                    throw;
                }
                Body = QString::fromLatin1(body);
            }
            if (MaxBodySize >= 0 && m_bytesRecvd > MaxBodySize)
                throw ESockError(QStringLiteral("Response body too long"));
            const int reply = m_replyNumber;
            if (reply <= 298) {
                if (OnSuccess) OnSuccess(m_commandCode);
                ReportStatus(2, QStringLiteral("Transaction Completed"));
            } else if (reply >= 400) {
                if (OnFailure) OnFailure(m_commandCode);
            } else if (reply >= 300 && reply <= 302 && !m_redirectLocation.isEmpty()) {
                m_targetURL = m_redirectLocation;
                m_targetFromServer = true;
                newTarget = true;
            }
        } catch (...) {
            try {
                Disconnect();
            } catch (...) {
                // The first error is the one the caller needs to see.
            }
            if (stopped()) throwStopped();
            throw;
        }
        Disconnect();

        const int reply = m_replyNumber;
        if (reply >= 300 && reply <= 398) {
            if (!m_responseCookie.isEmpty()) HeaderInfo.Cookie = m_responseCookie;
            bool handled = false;
            if (OnRedirect) OnRedirect(handled);
            if (handled) return;
            // A bare file name is taken from the root of the same server, on the same port.
            if (newTarget && !m_targetURL.contains(QLatin1Char('/'))) {
                const QString port = Port == 80 ? QString() : QStringLiteral(":%1").arg(Port);
                m_targetURL = QStringLiteral("http://") + Host + port + QLatin1Char('/') + m_targetURL;
            }
        }
        if (reply == 401 && OnAuthenticationNeeded) OnAuthenticationNeeded(this);

        // Only a response that names a new target is followed, and a chain of them (a
        // redirect loop included) ends after kMaxPasses passes with the last response kept as
        // the result; repeating the same request would only fetch the same answer again.
        if (reply < 299 || reply > 399 || !newTarget || pass >= kMaxPasses) return;
    }
}

} // namespace tarv
