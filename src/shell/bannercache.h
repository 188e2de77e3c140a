#pragma once

#include <QString>
#include <QUrl>

namespace tarv {

// The saved copies of pages that completed on line, one file per address in a folder of the
// user's cache, so that an off-line start can show the banner without the network.
class BannerCache final {
public:
    explicit BannerCache(QString folder) : m_folder(std::move(folder)) {}

    const QString &folder() const { return m_folder; }
    // Where the copy of address is (or would be) kept.
    QString pathFor(const QString &address) const;
    bool contains(const QString &address) const;
    // A file name beside the copy to write it under before it replaces the copy.
    QString partPathFor(const QString &address) const;
    // Puts a completely written part file in place of the copy of address. False on failure.
    bool commit(const QString &address);
    // Keeps the newest copies only, so that pages followed inside the banner cannot fill the disk.
    void prune(int keep = 8) const;
    // Creates the folder; false when it cannot be created.
    bool ensureFolder() const;

private:
    QString m_folder;
};

} // namespace tarv
