#pragma once

#include "net/headerlist.h"
#include "net/socketclient.h"

#include <QString>
#include <functional>

namespace tarv {

// The code of a running command, as OnSuccess and OnFailure receive it.
enum CmdType : quint8 {
    cmdGet = 0,
    cmdOptions = 1,
    cmdHead = 2,
    cmdPost = 3,
    cmdPut = 4,
    cmdPatch = 5,
    cmdCopy = 6,
    cmdMove = 7,
    cmdDelete = 8,
    cmdLink = 9,
    cmdUnlink = 10,
    cmdTrace = 11,
    cmdHeadless = 12, // a request of header lines only, without a request line
};

// Extra values for the request header; empty ones add no line.
struct THeaderInfo {
    QString LocalMailAddress;
    QString LocalProgram;
    QString Cookie;
    QString Referer;
    QString UserId;
    QString Password;
};

using TResultEvent = std::function<void(CmdType cmd)>;

// A small HTTP/1.0 client over the program's own socket component. A command connects, sends
// the request, reads the response header and then the body until the server closes, and
// follows redirects. It returns when the exchange is over; meanwhile the GUI keeps running.
//
// Fetching a file:
//
//     THttpClient http;                // Port 0 means 80
//     http.InputFileMode = true;       // the body goes to the file named by Body
//     http.Body = folder + "/popup.txt";
//     http.OnSuccess = [](CmdType) { ... };   // statuses up to 298
//     http.OnFailure = [](CmdType) { ... };   // statuses from 400 on; the error page is in the file
//     http.Get("http://www.example.org/services/tarv/popup.txt");
//
// The URL names the host and, after a colon, the port ("http://127.0.0.1:8080/x"); a URL that
// begins with "/" keeps Host and Port as they were set. Get raises ESockError when the host is
// unknown ("Null Remote Address"), the connection fails ("Connection Failed") or the response
// header exceeds kMaxHeaderSize ("Response header too long"), EAbortError
// when TimeOut (milliseconds, 0 = none) runs out, and Exception for an empty or "https" URL; in
// those cases the body file is left untouched unless the response header had been read.
// An HTTP error status is no exception: it calls OnFailure. Afterwards ReplyNumber() holds the
// status. Get runs RunCommand(), which the other commands share.
//
// Not re-entrant: a command started from code that runs during another one's wait raises
// ESockError "Already connected" and leaves the running one alone.
//
// Everything a server sends is bounded: MaxBodySize caps the body (ESockError "Response body
// too long"), Deadline the whole command with its redirects however the server paces its
// bytes (EAbortError "Transfer time limit reached"), and the application's quit ends a command
// at once (EAbortError "Transfer ended: the program is closing"), so that a program that waits
// for a download can always exit.
class THttpClient : public TSocketClient {
public:
    // Passes of one command, redirects included; a longer chain ends as a completed response.
    static constexpr int kMaxPasses = 10;
    // Longest request path and "Location:"/"Set-Cookie:" value kept.
    static constexpr int kMaxValueLength = 256;
    // Longest response header read, in bytes: a server that sends more (an endless header or
    // one huge line) is cut off with ESockError "Response header too long", so that neither
    // memory nor the wait grows without limit.
    static constexpr qint64 kMaxHeaderSize = 256 * 1024;

    explicit THttpClient(QObject *parent = nullptr);
    ~THttpClient() override = default;

    // InputFileMode false: the response body as text (one character per byte); true: the name
    // of the file that receives it.
    QString Body = QStringLiteral("Default.htm");
    // OutputFileMode false: the response header text; true: the name of the file for it.
    QString Header = QStringLiteral("Head.txt");
    THeaderInfo HeaderInfo;
    bool InputFileMode = false;
    // Also makes the data argument of a command the name of the file that holds the data.
    bool OutputFileMode = false;

    // The longest body taken, in bytes (-1: no limit), and the time the whole command may take
    // in milliseconds (0: no limit). TimeOut bounds each wait only.
    qint64 MaxBodySize = -1;
    int Deadline = 0;

    TNotifyEvent OnAboutToSend;
    TResultEvent OnSuccess;
    TResultEvent OnFailure;
    THandlerEvent OnRedirect; // Handled true ends the command after a redirect status.
    TNotifyEvent OnAuthenticationNeeded;

    void Abort() override;

    void Get(const QString &url);
    void Options(const QString &url);
    void Head(const QString &url);
    void Post(const QString &url, const QString &data);
    void Put(const QString &url, const QString &data);
    void Patch(const QString &url, const QString &data);
    void Delete(const QString &url);
    void Trace(const QString &url, const QString &data);
    void Copy(const QString &url, const QString &targetUri);
    void Move(const QString &url, const QString &targetUri);
    void Link(const QString &url, const QString &link);
    void Unlink(const QString &url, const QString &link);
    void Headless(const QString &url, const QString &data);

    // Runs the stored command to its end, following redirects.
    void RunCommand();
    void ParseURL();
    void BuildRequestHeader();
    void SendRequest();
    void ReadResponseHeader();

    // For the curious and for tests: the state of the last command.
    QString targetURL() const { return m_targetURL; }
    QString requestPath() const { return m_requestPath; }
    QString redirectLocation() const { return m_redirectLocation; }
    QString responseCookie() const { return m_responseCookie; }
    const THeaderList &requestHeader() const { return m_requestHeader; }
    void setTargetURL(const QString &url) {
        m_targetURL = url;
        m_targetFromServer = false;
    }
    bool encodePostData = true;
    // Whether the last command was ended by the application's quit.
    bool endedByQuit() const { return m_endedByQuit; }

private:
    void start(CmdType code, const QString &url, const QString *data = nullptr, const QString *target = nullptr);
    void refuseWhileRunning() const;
    QByteArray readHeaderLine(qint64 room);
    // The request line's and Host's bytes for the wire: one byte per character for a target
    // taken from a server's "Location:", which holds the bytes as the server sent them.
    QByteArray wireBytes(const QString &line) const;

    THeaderList m_requestHeader;
    QString m_requestPath;
    QString m_redirectLocation;
    QString m_responseCookie;
    CmdType m_commandCode = cmdGet;
    QString m_commandData;
    QString m_commandTarget;
    QString m_targetURL;
    // True while the target is a redirect's "Location:" value, read one character per byte.
    bool m_targetFromServer = false;
    bool m_running = false;
    bool m_deadlinePassed = false;
    bool m_endedByQuit = false;
};

} // namespace tarv
