#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace tarv {

// The program's application object. notify() is the one place where an error that escapes an
// event handler (a timer, a click, a window's creation) is caught: its message is shown in an
// error box and the program carries on.
class TarvApplication final : public QApplication {
    Q_OBJECT
public:
    TarvApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Sets the title, the hint pause (50 ms) and the hint colour RGB(240, 240, 192).
    static void applyStartupSettings();
};

// Shows an error's message in the standard error box, or hands it to the sink tests install.
void showErrorBox(const QString &message);

// Runs body; an error that escapes it is shown by showErrorBox. Returns false when one did.
bool runGuarded(const std::function<void()> &body);

// Guards a handler that runs again and again (the once-a-second tick): an error is shown once,
// and again only when its text changes or after a run that ended without error.
class ErrorLatch final {
public:
    // Runs body as runGuarded does. Returns false when an error escaped it.
    bool run(const std::function<void()> &body);

private:
    QString m_shown; // the message last shown; empty after a run without error
};

// Tests replace the error box with a recorder; an empty function restores the box.
void setErrorSink(std::function<void(const QString &)> sink);

} // namespace tarv
