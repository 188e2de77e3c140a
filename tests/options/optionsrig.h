#pragma once

#include "framework/application.h"
#include "framework/textformat.h"
#include "options/tfrmoptions.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

namespace tarv::test {

// A main window over a temporary folder and fake platform, with its options dialog. The ledger
// holds the header a first run writes, its filler line and two records.
struct OptionsRig {
    OptionsRig() {
        setErrorSink([this](const QString &message) { errors << message; });
        autostart = std::make_shared<MemoryAutostartStore>();
        Platform p = fakePlatform(dir.path(), {}, {}, autostart);
        form = std::make_unique<TForm1>(p);
        form->move(200, 100);
        form->setVisible(true);
        // The main window is the active one when its Options button is clicked.
        QCoreApplication::processEvents();
        QApplication::setActiveWindow(form.get());
        dialog = std::make_unique<TfrmOptions>(form->meter(), form.get());
        form->setOtherWindows(dialog.get(), nullptr);
        writeFile(ledgerPath(), ledgerBytes());
    }
    ~OptionsRig() {
        setErrorSink({});
        dialog.reset();
        form.reset();
    }

    static QByteArray ledgerBytes() {
        QByteArray header = fmt::toCp1253(QStringLiteral("8|22|270|540|9|Δρχ"));
        header.append(100 - header.size(), ' ');
        return header + "\r\n\r\n010315|0027,000\r\n010316|0009,000";
    }
    QString ledgerPath() const { return dir.filePath(QStringLiteral("data.dat")); }
    MeterState &state() { return form->state(); }

    // Shows the dialog as the Options button does and makes it the active window.
    void open() {
        dialog->showOptions();
        QCoreApplication::processEvents();
        QApplication::setActiveWindow(dialog.get());
    }

    // Clicks an arrow of a stepper count times.
    static void click(UpDown *stepper, UpDown::Button button, int count = 1) {
        for (int i = 0; i < count; ++i)
            stepper->step(button);
    }

    QTemporaryDir dir;
    std::shared_ptr<MemoryAutostartStore> autostart;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TfrmOptions> dialog;
    QStringList errors;
};

} // namespace tarv::test
