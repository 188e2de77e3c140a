#pragma once

#include "platform/autostartstore.h"

namespace tarv {

// The desktop's autostart entries, as freedesktop.org lays them down: NAME.desktop in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). An entry counts as present when it
// exists, has a non-empty Exec and is not disabled (Hidden=true or X-GNOME-Autostart-enabled=false).
class XdgAutostartStore final : public AutostartStore {
public:
    // An empty folder means the folder named by the environment at each call.
    explicit XdgAutostartStore(QString folder = QString()) : m_folder(std::move(folder)) {}

    QString read(const QString &name) const override;
    void write(const QString &name, const QString &executablePath) override;
    void remove(const QString &name) override;

    // The autostart folder in use.
    QString folder() const;
    // The Exec value for a path, quoted as the desktop-entry format requires.
    static QString execValue(const QString &executablePath);
    // The path back from an Exec value written by execValue (or an unquoted one).
    static QString pathFromExec(const QString &exec);

private:
    QString m_folder;
};

} // namespace tarv
