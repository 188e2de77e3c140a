#pragma once

#include "platform/autostartstore.h"
#include "platform/clock.h"
#include "platform/dialupservice.h"
#include "platform/shellopener.h"

#include <QString>
#include <memory>

namespace tarv {

// Everything the program takes from outside: the seams that tests replace.
struct Platform {
    std::shared_ptr<Clock> clock;
    std::shared_ptr<DialupService> dialup;
    std::shared_ptr<AutostartStore> autostart;
    std::shared_ptr<ShellOpener> shell;
    // The folder that holds data.dat and popup.txt (the executable's folder in the program).
    QString dataFolder;
    // The executable's full path, stored as the autostart value.
    QString executablePath;
    // The maker's home page, for example "http://www.pelmo.example/".
    QString makerUrl;
};

// The folder of the program's ledger: the user's data folder for an installed program; for one run
// from its own folder, that folder, or the user's data folder when it cannot be written. With create false nothing is created, for readers that must
// leave the disk as it is; the user's folder is then named even when it does not exist yet.
QString systemDataFolder(bool create);

// The real platform of this build: the system clock, the system's dial-up service,
// the session's autostart store and the desktop's "open", rooted at the executable's folder.
Platform makeSystemPlatform();

} // namespace tarv
