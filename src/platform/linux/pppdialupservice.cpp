#include "platform/linux/pppdialupservice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <map>

namespace tarv {

namespace {

constexpr unsigned kIffUp = 0x1;
constexpr unsigned kIffRunning = 0x40;

// A small file's whole content; empty when it cannot be read.
QByteArray readSmallFile(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(64 * 1024);
}

QString readLine(const QString &path) {
    return QString::fromLocal8Bit(readSmallFile(path)).section(QLatin1Char('\n'), 0, 0).trimmed();
}

// The number of an interface named pppN; -1 for any other name.
int pppNumber(const QString &name) {
    if (name.size() < 4 || !name.startsWith(QLatin1String("ppp"))) return -1;
    for (qsizetype i = 3; i < name.size(); ++i)
        if (name.at(i) < QLatin1Char('0') || name.at(i) > QLatin1Char('9')) return -1;
    bool ok = false;
    const int n = QStringView(name).mid(3).toInt(&ok);
    return ok ? n : -1;
}

// The names in a folder that begin with prefix and end with suffix, unsorted. The folders are
// read at every tick and only a few of their names matter, so they are read with the system's
// own calls and no text is made for the others.
QStringList namesIn(const QString &folder, const char *prefix, const char *suffix = "") {
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name.startsWith(prefix) && name.endsWith(suffix)) names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

// What a pid file tells: the pppd's pid and, when it names one, its interface.
struct PidFile {
    qint64 pid = 0;
    QString interface;
};

} // namespace

PppDialupService::PppDialupService(QString root) : m_root(std::move(root)) {}

QString PppDialupService::path(const QString &relative) const {
    return QDir(m_root).filePath(relative);
}

bool PppDialupService::interfaceExists(const QString &interface) const {
    return QFileInfo::exists(path(QStringLiteral("sys/class/net/") + interface));
}

bool PppDialupService::interfaceRunning(const QString &interface) const {
    const QString dir = QStringLiteral("sys/class/net/") + interface + QLatin1Char('/');
    bool ok = false;
    const unsigned flags = readLine(path(dir + QStringLiteral("flags"))).toUInt(&ok, 0);
    if (!ok || !(flags & kIffUp)) return false;
    // The kernel's "running" is an up interface whose operational state is up or, for links
    // that do not report one (PPP), unknown. The sysfs flags do not carry it themselves.
    if (readLine(path(dir + QStringLiteral("carrier"))) == QLatin1String("0")) return false;
    if (flags & kIffRunning) return true;
    const QString oper = readLine(path(dir + QStringLiteral("operstate")));
    return oper == QLatin1String("up") || oper == QLatin1String("unknown");
}

QList<PppDialupService::Link> PppDialupService::scan() const {
    // The running pppds and what their pid files say, keyed by pid. /var/run is usually a link
    // to /run, so the same file may be seen twice; the pid keeps it once.
    std::map<qint64, PidFile> pppds;
    for (const QString &folder : {QStringLiteral("run"), QStringLiteral("var/run")}) {
        const QDir dir(path(folder));
        const QStringList names = namesIn(dir.path(), "ppp", ".pid");
        for (const QString &name : names) {
            const QStringList lines = QString::fromLocal8Bit(readSmallFile(dir.filePath(name)))
                                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (lines.isEmpty()) continue;
            bool ok = false;
            const qint64 pid = lines.first().trimmed().toLongLong(&ok);
            // A pid file left behind by a pppd that died names no link.
            if (!ok || pid <= 0 || !QFileInfo::exists(path(QStringLiteral("proc/%1").arg(pid)))) continue;
            PidFile &entry = pppds[pid];
            entry.pid = pid;
            const QString base = name.chopped(4); // without ".pid"
            if (pppNumber(base) >= 0) {
                entry.interface = base;
            } else if (base.startsWith(QLatin1String("ppp-")) && lines.size() > 1 &&
                       pppNumber(lines.at(1).trimmed()) >= 0 && entry.interface.isEmpty()) {
                // pppd adds the interface to the link's pid file once it has one.
                entry.interface = lines.at(1).trimmed();
            }
        }
    }

    QList<std::pair<int, QString>> numbered;
    const QStringList netNames = namesIn(path(QStringLiteral("sys/class/net")), "ppp");
    for (const QString &name : netNames) {
        const int n = pppNumber(name);
        if (n >= 0) numbered.push_back({n, name});
    }
    std::sort(numbered.begin(), numbered.end());

    auto cmdlineOf = [this](qint64 pid) {
        const QByteArray raw = readSmallFile(path(QStringLiteral("proc/%1/cmdline").arg(pid)));
        QStringList args;
        for (const QByteArray &a : raw.split('\0'))
            if (!a.isEmpty()) args << QString::fromLocal8Bit(a);
        return args;
    };

    QList<Link> links;
    for (const auto &entry : numbered) {
        Link link;
        link.handle = entry.second;
        link.interface = entry.second;
        for (auto it = pppds.begin(); it != pppds.end(); ++it) {
            if (it->second.interface != entry.second) continue;
            link.pid = it->first;
            link.cmdline = cmdlineOf(it->first);
            pppds.erase(it);
            break;
        }
        links.push_back(link);
    }
    // pppds still without an interface, or naming one that does not exist yet, are dialling.
    for (const auto &entry : pppds) {
        Link link;
        link.handle = QStringLiteral("pppd:%1").arg(entry.first);
        link.pid = entry.first;
        link.cmdline = cmdlineOf(entry.first);
        links.push_back(link);
    }
    return links;
}

QStringList PppDialupService::pppoeSessionDevices() const {
    QStringList devices;
    const QStringList lines = QString::fromLocal8Bit(readSmallFile(path(QStringLiteral("proc/net/pppoe"))))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The first line is the heading "Id Address Device"; each later line is one session.
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines.at(i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 3) devices << fields.at(2);
    }
    return devices;
}

QString PppDialupService::deviceTypeOf(const Link &link) const {
    const QString pppoe = QStringLiteral("PPPoE");
    const QString modem = QStringLiteral("modem");
    bool namesTty = false;
    for (const QString &arg : link.cmdline) {
        if (arg.endsWith(QLatin1String("pppoe.so"))) return pppoe;
        const QString base = arg.section(QLatin1Char('/'), -1);
        if (base.startsWith(QLatin1String("tty")) || base.startsWith(QLatin1String("rfcomm")))
            namesTty = true;
    }
    const QStringList sessions = pppoeSessionDevices();
    if (sessions.isEmpty()) return modem;
    for (const QString &device : sessions)
        if (link.cmdline.contains(device) || link.cmdline.contains(QStringLiteral("nic-") + device))
            return pppoe;
    // A pppd started from a peers file ("pon dsl-provider") shows neither its plugin nor its
    // device on the command line; while a PPPoE session exists and it names no serial line,
    // it is taken to be that session.
    return namesTty ? modem : pppoe;
}

DialStatus PppDialupService::statusOf(const Link &link) const {
    DialStatus status;
    const bool exists = !link.interface.isEmpty() && interfaceExists(link.interface);
    if (exists && interfaceRunning(link.interface))
        status.state = DialState::Connected;
    else if (link.pid > 0)
        status.state = DialState::ConnectDevice;
    else
        return status;
    status.deviceType = deviceTypeOf(link);
    if (status.state == DialState::Connected) status.interfaceName = link.interface;
    // "pppd call provider" names the peers file, which is the connection's name.
    const qsizetype call = link.cmdline.indexOf(QStringLiteral("call"));
    if (call >= 0 && call + 1 < link.cmdline.size()) status.name = link.cmdline.at(call + 1);
    return status;
}

std::optional<QStringList> PppDialupService::activeConnections() {
    QStringList handles;
    for (const Link &link : scan())
        handles << link.handle;
    return handles;
}

QStringList PppDialupService::standaloneConnections() {
    QStringList handles;
    for (const Link &link : scan()) {
        if (link.pid <= 0) continue;
        const bool managed = std::any_of(link.cmdline.begin(), link.cmdline.end(), [](const QString &a) {
            return a.contains(QLatin1String("nm-pppd-plugin"));
        });
        if (!managed) handles << link.handle;
    }
    return handles;
}

DialStatus PppDialupService::connectionStatus(const QString &handle) {
    for (const Link &link : scan())
        if (link.handle == handle) return statusOf(link);
    return {};
}

bool PppDialupService::hangUp(const QString &handle, QString &why) {
    for (const Link &link : scan()) {
        if (link.handle != handle) continue;
        if (link.pid <= 0) break;
        // pppd ends the link and its own run on SIGTERM, as poff asks it to.
        if (::kill(pid_t(link.pid), SIGTERM) == 0) return true;
        why = errno == EPERM ? QStringLiteral("Το pppd τρέχει με δικαιώματα που το πρόγραμμα δεν έχει· "
                                              "κλείστε τη σύνδεση με το poff.")
                             : QStringLiteral("Το pppd της σύνδεσης δεν βρέθηκε.");
        return false;
    }
    why = QStringLiteral("Η σύνδεση δεν έχει pppd που να μπορεί να κλείσει.");
    return false;
}

} // namespace tarv
