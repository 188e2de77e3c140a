#include "platform/windows/firststartnotice.h"

#include "platform/windows/datafolder.h"
#include "shell/trayicon.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tarv {

QString firstStartNoticeTitle() {
    return QApplication::applicationDisplayName();
}

QString firstStartNoticeText(const QString &programFolder) {
    // Short lines: a balloon that does not wrap by itself still shows every word.
    return QStringLiteral("Το πρόγραμμα μετράει από εδώ, την περιοχή ειδοποιήσεων δίπλα στο ρολόι\n"
                          "(ίσως μέσα στα κρυφά εικονίδια, πίσω από το βέλος ^).\n"
                          "Διπλό κλικ στο εικονίδιο ανοίγει το παράθυρό του.\nΦάκελος: %1")
        .arg(QDir::toNativeSeparators(programFolder));
}

bool showFirstStartNotice(TTrayIcon &tray, const QString &programFolder, const QString &dataFolder) {
    if (!QFileInfo(QDir(programFolder).filePath(QLatin1String(kInstalledMarker))).isFile()) return false;
    const QString marker = QDir(dataFolder).filePath(QLatin1String(kFirstStartNoticeMarker));
    if (QFileInfo::exists(marker)) return false;
    if (!tray.showBalloon(firstStartNoticeTitle(), firstStartNoticeText(programFolder))) return false;
    // A marker that cannot be written only means the notice comes again next time.
    QFile file(marker);
    if (file.open(QIODevice::WriteOnly)) file.write("1\r\n");
    return true;
}

} // namespace tarv
