#pragma once

#include "faketrayhost.h"
#include "framework/application.h"
#include "options/tfrmoptions.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "shell/trayicon.h"
#include "stats/tfrmgraph.h"

#include <QMenu>
#include <QTemporaryDir>
#include <memory>

namespace tarv::test {

// The main window over fakes, with the other two windows and a fake notification area.
struct ShellRig {
    ShellRig() {
        TTrayIcon::setHostFactory([this] {
            auto h = std::make_unique<FakeTrayHost>();
            host = h.get();
            return h;
        });
        setErrorSink([this](const QString &m) { errors << m; });
        clock = std::make_shared<FakeClock>(QDateTime(QDate(2001, 3, 15), QTime(12, 0)));
        dialup = std::make_shared<FakeDialupService>();
        shell = std::make_shared<RecordingShellOpener>();
        Platform p = fakePlatform(dir.path(), clock, dialup, {}, shell);
        p.makerUrl = QStringLiteral("http://www.pelmo.example/");
        form = std::make_unique<TForm1>(p);
        form->FormCreate();
        options = std::make_unique<TfrmOptions>(form->meter(), form.get());
        graph = std::make_unique<TfrmGraph>(&form->meter(), form.get());
        form->setOtherWindows(options.get(), graph.get());
        form->cursorPos = [this] { return cursor; };
        form->popupMenuAt = [this](QMenu *menu, const QPoint &at) { popups.append({menu, at}); };
    }
    ~ShellRig() {
        graph.reset();
        options.reset();
        form.reset();
        TTrayIcon::setHostFactory({});
        setErrorSink({});
    }

    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock;
    std::shared_ptr<FakeDialupService> dialup;
    std::shared_ptr<RecordingShellOpener> shell;
    FakeTrayHost *host = nullptr;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TfrmOptions> options;
    std::unique_ptr<TfrmGraph> graph;
    QPoint cursor;
    QList<QPair<QMenu *, QPoint>> popups;
    QStringList errors;
};

} // namespace tarv::test
