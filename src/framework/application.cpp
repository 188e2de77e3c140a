#include "framework/application.h"

#include <QMessageBox>
#include <QPalette>
#include <QProxyStyle>
#include <QToolTip>
#include <exception>

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
    // The box runs a nested event loop in which the once-a-second tick goes on. An error that
    // repeats every second must not pile up a box per second: while a box shows a message, the
    // same message is not shown again.
    static QStringList showing;
    if (showing.contains(message)) return;
    showing.append(message);
    QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), message);
    showing.removeOne(message);
}

bool runGuarded(const std::function<void()> &body) {
    try {
        body();
        return true;
    } catch (const std::exception &e) {
        showErrorBox(describe(e));
    } catch (...) {
        showErrorBox(QStringLiteral("Unknown error"));
    }
    return false;
}

void setErrorSink(std::function<void(const QString &)> sink) {
    errorSink() = std::move(sink);
}

} // namespace tarv
