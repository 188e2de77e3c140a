#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace tarv::limits {

// Hands a passing notification to the desktop and returns at once. On Linux it goes to the
// notification service of the session bus when one answers, and otherwise to the tray icon's
// balloon; on Windows to the balloon. It never opens a window that waits for the user.
class LimitsNotifier final : public QObject {
    Q_OBJECT
public:
    // Shows a balloon from the tray icon; false where the tray cannot.
    using Balloon = std::function<bool(const QString &title, const QString &text)>;

    explicit LimitsNotifier(Balloon balloon, QObject *parent = nullptr);

    void notify(const QString &title, const QString &text);

signals:
    // The notification went out, through the desktop's service or as a balloon (for tests).
    void delivered(const QString &title, const QString &text, bool throughService);

private:
    void balloon(const QString &title, const QString &text);

    Balloon m_balloon;
};

} // namespace tarv::limits
