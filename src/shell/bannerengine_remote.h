#pragma once

#include "shell/bannerengine.h"

#include <QPointer>
#include <QSet>
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
class RemoteBannerEngine final : public BannerEngine {
public:
    // Starts program; check started() before use.
    RemoteBannerEngine(const QString &program, QWidget *parent);
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

    QProcess *m_process = nullptr;
    RemoteBannerWidget *m_widget = nullptr;
    QUrl m_url;
    // Loads asked for and not yet finished, and saves not yet reported.
    int m_loadsPending = 0;
    QSet<QString> m_savesPending;
};

} // namespace tarv
