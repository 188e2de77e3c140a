#include "framework/application.h"

#include <QMessageBox>
#include <QPalette>
#include <QProxyStyle>
#include <QToolTip>
#include <QStringList>
#include <exception>
#include <optional>

namespace tarv {

namespace {

std::function<void(const QString &)> &errorSink() {
    static std::function<void(const QString &)> sink;
    return sink;
}

// Hints come up 50 ms after the pointer comes to rest.
class HintStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *ret) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return 50;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

QString describe(const std::exception &e) {
    return QString::fromStdString(e.what());
}

// Runs body and returns the message of the error that escaped it, if one did.
std::optional<QString> errorOf(const std::function<void()> &body) {
    try {
        body();
        return std::nullopt;
    } catch (const std::exception &e) {
        return describe(e);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace

TarvApplication::TarvApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TarvApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showErrorBox(describe(e));
    } catch (...) {
        showErrorBox(QStringLiteral("Unknown error"));
    }
    return false;
}

void TarvApplication::applyStartupSettings() {
    QApplication::setApplicationDisplayName(QStringLiteral("Χρέωση Internet by Pelmo"));
    QApplication::setApplicationName(QStringLiteral("tarv"));
    QApplication::setStyle(new HintStyle(QApplication::style()->name()));
    QPalette hint = QToolTip::palette();
    hint.setColor(QPalette::ToolTipBase, QColor(240, 240, 192));
    hint.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(hint);
}

void showErrorBox(const QString &message) {
    if (errorSink()) {
        errorSink()(message);
        return;
    }
    if (!qApp) return;
    // The box is opened from a posted call, once the handler that raised the error has returned.
    // Qt never delivers a timer's event again while that timer's handler is still running, so a
    // box opened from within the once-a-second tick would stop the meter until it was closed.
    // Opened from its own event, the box's nested loop keeps every timer going.
    // While a box shows a message, the same message is not queued again.
    static QStringList showing;
    if (showing.contains(message)) return;
    showing.append(message);
    QMetaObject::invokeMethod(
        qApp,
        [message] {
            QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), message);
            showing.removeOne(message);
        },
        Qt::QueuedConnection);
}

bool runGuarded(const std::function<void()> &body) {
    const std::optional<QString> error = errorOf(body);
    if (error) showErrorBox(*error);
    return !error;
}

bool ErrorLatch::run(const std::function<void()> &body) {
    const std::optional<QString> error = errorOf(body);
    if (!error) {
        m_shown.clear();
        return true;
    }
    if (*error != m_shown) {
        m_shown = *error;
        showErrorBox(*error);
    }
    return false;
}

void setErrorSink(std::function<void(const QString &)> sink) {
    errorSink() = std::move(sink);
}

} // namespace tarv
