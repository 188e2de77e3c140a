// The socket component of a Windows build until it runs on Winsock: every connection attempt
// fails with the component's own error, so the vendor menu and the banner behave as off line
// while everything else of the program works. Built only for Windows.
#include "net/socketclient.h"

namespace tarv {

namespace {
// WSAENETDOWN in the component's numbering: "the network is down".
constexpr int kNetworkDown = 10050;
} // namespace

TSocketClient::TSocketClient(QObject *parent) : QObject(parent) {
    m_timer.setEnabled(false);
    m_winsockInfo = {QStringLiteral("System= Not available")};
}

TSocketClient::~TSocketClient() {
    m_destroying = true;
}

void TSocketClient::Connect() {
    m_lastErrorNo = kNetworkDown;
    if (OnConnectionFailed) OnConnectionFailed(this);
    CheckError(0);
}

void TSocketClient::Disconnect() {}
void TSocketClient::Abort() {}
void TSocketClient::Cancel() {
    m_canceled = true;
}
void TSocketClient::RequestCloseSocket() {}
void TSocketClient::adoptConnected(int) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
bool TSocketClient::DataAvailable() {
    return false;
}

void TSocketClient::SendBuffer(const char *, qint64) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
void TSocketClient::Write(const QByteArray &) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
void TSocketClient::Writeln(const QByteArray &) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
void TSocketClient::SendFile(const QString &) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
QByteArray TSocketClient::ReadLn() {
    throw ESockError(ErrorMessage(kNetworkDown));
}
void TSocketClient::CaptureFile(const QString &) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
void TSocketClient::CaptureString(QByteArray &, qint64) {
    throw ESockError(ErrorMessage(kNetworkDown));
}
QByteArray TSocketClient::Transaction(const QByteArray &) {
    throw ESockError(ErrorMessage(kNetworkDown));
}

void TSocketClient::ReportStatus(int level, const QString &text) {
    if (level > ReportLevel) return;
    m_lastStatus = text;
}

QString TSocketClient::ErrorMessage(int error) {
    if (error == 0) return {};
    if (error == kNetworkDown) return QStringLiteral("%1:Network is down").arg(error);
    return QStringLiteral("Unknown Error No. %1").arg(error);
}

int TSocketClient::mapPlatformError(int platformError) {
    return platformError;
}

void TSocketClient::CheckError(int tolerated, QString &message) {
    message.clear();
    if (m_lastErrorNo == tolerated || m_lastErrorNo <= 10000) return;
    message = ErrorMessage(m_lastErrorNo);
    if (OnSocketError) OnSocketError(this, quint16(m_lastErrorNo), message);
    throw ESockError(message);
}

void TSocketClient::CheckError(int tolerated) {
    QString message;
    CheckError(tolerated, message);
}

void TSocketClient::ResolveHost() {}
void TSocketClient::TimerOn() {}
void TSocketClient::TimerOff() {}
void TSocketClient::TimerTriggered() {}
void TSocketClient::waitForEvent(bool, bool) {}

} // namespace tarv
