#pragma once

#include "platform/autostartstore.h"
#include "platform/clock.h"
#include "platform/dialupservice.h"
#include "platform/platform.h"
#include "platform/shellopener.h"

#include <QMap>
#include <QStringList>

namespace tarv {

// A clock that stands still until a test moves it. Time that passes (advance by a positive
// amount) moves both its date and time and its steady reading; setting the clock (set, or
// advance by a negative amount) moves the date and time alone.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2001, 3, 15), QTime(12, 0))) : current(std::move(start)) {}
    QDateTime now() const override { return current; }
    qint64 steadyMs() const override { return steady; }
    void advance(qint64 ms) {
        current = current.addMSecs(ms);
        if (ms > 0) steady += ms;
    }
    void set(const QDateTime &t) { current = t; }
    QDateTime current;
    qint64 steady = 0;
};

// A dial-up service whose connections a test scripts.
class FakeDialupService final : public DialupService {
public:
    struct Connection {
        QString handle;
        DialStatus status;
    };
    std::optional<QStringList> activeConnections() override {
        ++enumerations;
        if (failEnumeration) return std::nullopt;
        QStringList handles;
        for (const Connection &c : connections) handles << c.handle;
        return handles;
    }
    DialStatus connectionStatus(const QString &handle) override {
        statusQueries << handle;
        for (const Connection &c : connections)
            if (c.handle == handle) return c.status;
        return {};
    }
    // One connection in the given state; no connection when state is negative.
    void setSingle(int state, const QString &deviceType = QStringLiteral("modem")) {
        connections.clear();
        if (state >= 0) connections.push_back({QStringLiteral("conn1"), {state, deviceType}});
    }

    QList<Connection> connections;
    bool failEnumeration = false;
    int enumerations = 0;
    QStringList statusQueries;
};

// An autostart store held in memory.
class MemoryAutostartStore final : public AutostartStore {
public:
    QString read(const QString &name) const override { return values.value(name); }
    void write(const QString &name, const QString &path) override {
        if (failWrites) throw_();
        values[name] = path;
    }
    void remove(const QString &name) override { values.remove(name); }
    QMap<QString, QString> values;
    bool failWrites = false;

private:
    [[noreturn]] static void throw_();
};

// A shell "open" that records what it was asked to open.
class RecordingShellOpener final : public ShellOpener {
public:
    void open(const QString &target) override { opened << target; }
    QStringList opened;
};

// A platform of stand-ins over a data folder. A null argument gets a fresh stand-in of its kind;
// the executable's path is "/opt/tarv/tarv" and the maker's address is left empty.
Platform fakePlatform(const QString &dataFolder, std::shared_ptr<Clock> clock = {},
                      std::shared_ptr<DialupService> dialup = {}, std::shared_ptr<AutostartStore> autostart = {},
                      std::shared_ptr<ShellOpener> shell = {});

} // namespace tarv
