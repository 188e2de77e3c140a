#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

// The lines of a request header ("Name: value"), kept in the order they were added, with
// look-up and replacement by header name.
class THeaderList final {
public:
    // The index of the first line whose text before its first ":" equals name, letter case
    // aside; lines without ":" never match. -1 when none does.
    int FindHeader(const QString &name) const;
    // A non-empty value replaces the line FindHeader finds, or appends one, with
    // name + ": " + value; an empty value deletes the line found, if any.
    void SetHeader(const QString &name, const QString &value);

    void Add(const QString &line) { m_lines.append(line); }
    void Clear() { m_lines.clear(); }
    int Count() const { return int(m_lines.size()); }
    const QString &operator[](int index) const { return m_lines.at(index); }
    const QStringList &lines() const { return m_lines; }

private:
    QStringList m_lines;
};

} // namespace tarv
