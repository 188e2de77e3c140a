#include "shell/bannercache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace tarv {

QString BannerCache::pathFor(const QString &address) const {
    const QByteArray key = QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex();
    return m_folder + QLatin1Char('/') + QString::fromLatin1(key) + QLatin1String(".mhtml");
}

bool BannerCache::contains(const QString &address) const {
    const QFileInfo info(pathFor(address));
    return info.isFile() && info.size() > 0;
}

QString BannerCache::partPathFor(const QString &address) const {
    return pathFor(address) + QLatin1String(".part");
}

bool BannerCache::commit(const QString &address) {
    const QString part = partPathFor(address);
    const QString target = pathFor(address);
    if (QFileInfo(part).size() <= 0) {
        QFile::remove(part);
        return false;
    }
    // rename() replaces the old copy in one step where the system allows it.
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    QFile::remove(target);
    return QFile::rename(part, target);
}

void BannerCache::prune(int keep) const {
    const QFileInfoList files =
        QDir(m_folder).entryInfoList({QStringLiteral("*.mhtml")}, QDir::Files, QDir::Time);
    for (qsizetype i = keep; i < files.size(); ++i)
        QFile::remove(files.at(i).absoluteFilePath());
}

bool BannerCache::ensureFolder() const {
    return QDir().mkpath(m_folder);
}

} // namespace tarv
