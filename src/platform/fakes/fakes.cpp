#include "platform/fakes/fakes.h"

#include "framework/errors.h"

namespace tarv {

void MemoryAutostartStore::throw_() {
    throw ERegistryException(QStringLiteral("Failed to set data for 'Tarv'"));
}

Platform fakePlatform(const QString &dataFolder, std::shared_ptr<Clock> clock, std::shared_ptr<DialupService> dialup,
                      std::shared_ptr<AutostartStore> autostart, std::shared_ptr<ShellOpener> shell) {
    Platform p;
    p.clock = clock ? std::move(clock) : std::make_shared<FakeClock>();
    p.dialup = dialup ? std::move(dialup) : std::make_shared<FakeDialupService>();
    p.autostart = autostart ? std::move(autostart) : std::make_shared<MemoryAutostartStore>();
    p.shell = shell ? std::move(shell) : std::make_shared<RecordingShellOpener>();
    p.dataFolder = dataFolder;
    p.executablePath = QStringLiteral("/opt/tarv/tarv");
    return p;
}

} // namespace tarv
