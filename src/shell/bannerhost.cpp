// The banner's helper program: one web view that the main program embeds in its window, driven
// by lines on standard input and answering on standard output (see bannerprotocol.h). It ends
// when its input closes, so it never outlives the program that started it.
#include "framework/processenv.h"
#include "shell/bannerengine.h"
#include "shell/bannerprotocol.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tarv {
std::unique_ptr<BannerEngine> createWebBannerEngine(QWidget *parent);
} // namespace tarv

namespace {

using namespace tarv;

void send(const QByteArray &message) {
    const char *data = message.constData();
    qsizetype left = message.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        // The program has gone: nothing is left to do.
        if (n <= 0) ::_exit(0);
        data += n;
        left -= n;
    }
}

class BannerHost final : public QObject {
public:
    BannerHost() {
        m_window.installEventFilter(this);
        // A click on the banner must not take the focus from the program's window around it.
        m_window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        auto *layout = new QVBoxLayout(&m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        m_engine = createWebBannerEngine(&m_window);
        layout->addWidget(m_engine->widget());
        m_engine->onLoadStarted = [] { send(bannerwire::line("started")); };
        m_engine->onLoadFinished = [this](bool ok) {
            send(bannerwire::line("finished", {ok ? "1" : "0", bannerwire::arg(m_engine->url().toString())}));
        };
        m_engine->onSaved = [](const QString &path, bool ok) {
            send(bannerwire::line("saved", {ok ? "1" : "0", bannerwire::arg(path)}));
        };
    }

    void readInput() {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) return;
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        m_input.append(buffer, n);
        qsizetype end;
        while ((end = m_input.indexOf('\n')) >= 0) {
            const QByteArray line = m_input.left(end);
            m_input.remove(0, end + 1);
            run(line.split(' '));
        }
    }

private:
    void run(const QByteArrayList &words) {
        const QByteArray &word = words.at(0);
        const QByteArray a1 = words.value(1);
        if (word == "offline") {
            m_engine->setOffline(a1 == "1");
        } else if (word == "load") {
            m_engine->load(QUrl(bannerwire::text(a1)));
        } else if (word == "save") {
            m_engine->save(bannerwire::text(a1));
        } else if (word == "embed") {
            // The view's window becomes a child of the program's; Qt keeps that parent when the
            // view's native window is made anew for its graphics.
            delete m_host;
            m_host = QWindow::fromWinId(WId(a1.toULongLong()));
            takeIn();
            m_window.setGeometry(0, 0, std::max(1, words.value(2).toInt()), std::max(1, words.value(3).toInt()));
            m_window.show();
        } else if (word == "show" || word == "size") {
            m_window.resize(std::max(1, a1.toInt()), std::max(1, words.value(2).toInt()));
            if (word == "show") m_window.show();
        }
    }

    // Puts the view's window into the program's. The view's native window is made anew when its
    // page first needs graphics, and the new one has to be put in place again.
    void takeIn() {
        if (!m_host) return;
        m_window.winId();
        if (m_window.windowHandle()->parent() != m_host) m_window.windowHandle()->setParent(m_host);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &m_window && event->type() == QEvent::WinIdChange) takeIn();
        return false;
    }

    QPointer<QWindow> m_host;
    QWidget m_window;
    std::unique_ptr<BannerEngine> m_engine;
    QByteArray m_input;
};

} // namespace

int main(int argc, char **argv) {
    // The engine draws through shared graphics contexts, which can only be asked for before the
    // application object exists. This is why the engine lives here and not in the program.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // As root the engine runs only by the user's explicit choice, and then without its sandbox,
    // which it refuses to start with there.
    allowWebEngineAsRoot();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    BannerHost host;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&host] { host.readInput(); });
    return app.exec();
}
