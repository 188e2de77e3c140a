#pragma once

#include "shell/bannerengine.h"

#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

class QProcess;

namespace tarv {

class RemoteBannerEngine;

// The place in the program's window where the helper's web view appears.
class RemoteBannerWidget final : public QWidget {
    Q_OBJECT
public:
    explicit RemoteBannerWidget(RemoteBannerEngine *engine, QWidget *parent);

    // Opens url the way a link inside the page would: the view did not ask for it.
    void followLink(const QUrl &url);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class RemoteBannerEngine;
    RemoteBannerEngine *m_engine = nullptr;
};

// A banner engine that runs in a helper program. The program itself never maps the web engine
// or a graphics stack, and when the engine goes, the helper ends and all its memory with it.
//
// The helper is watched like any other outside party: a load it does not finish in time, or
// output that runs past the longest line the protocol has, ends it (the load fails, as if it had
// crashed); and it never outlives the program, even when it ignores the end of its input.
class RemoteBannerEngine final : public BannerEngine {
public:
    struct Timing {
        // How long a load may take before the helper is taken for hung.
        int loadDeadlineMs = 90000;
        // How long a helper whose input was closed may take to end before it is killed.
        int endGraceMs = 5000;
    };
    // The longest line the helper may send: a percent-encoded address or path with its word.
    static constexpr qint64 kMaxLineBytes = 64 * 1024;

    // Starts program; check started() before use.
    RemoteBannerEngine(const QString &program, QWidget *parent, Timing timing);
    RemoteBannerEngine(const QString &program, QWidget *parent)
        : RemoteBannerEngine(program, parent, Timing()) {}
    ~RemoteBannerEngine() override;

    bool started() const { return m_process != nullptr; }

    QWidget *widget() override { return m_widget; }
    void setOffline(bool offline) override;
    void load(const QUrl &url) override;
    QUrl url() const override { return m_url; }
    void save(const QString &path) override;

private:
    friend class RemoteBannerWidget;
    void send(const QByteArray &message);
    void readOutput();
    void handle(const QByteArrayList &words);
    // Asks the helper to show its view inside the widget.
    void embed();
    // The helper ended or failed: what it still owed is reported as failed.
    void lost();
    // The helper misbehaved: it is killed, and what it owed fails.
    void abandon(const char *why);

    Timing m_timing;
    QTimer m_loadDeadline;
    QProcess *m_process = nullptr;
    RemoteBannerWidget *m_widget = nullptr;
    QUrl m_url;
    // Loads asked for and not yet finished, and saves not yet reported.
    int m_loadsPending = 0;
    QSet<QString> m_savesPending;
};

} // namespace tarv
