#include "net/headerlist.h"

namespace tarv {

int THeaderList::FindHeader(const QString &name) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        const qsizetype colon = m_lines[i].indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        if (QStringView(m_lines[i]).left(colon).compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

void THeaderList::SetHeader(const QString &name, const QString &value) {
    const int index = FindHeader(name);
    if (value.isEmpty()) {
        if (index >= 0) m_lines.removeAt(index);
        return;
    }
    const QString line = name + QStringLiteral(": ") + value;
    if (index >= 0)
        m_lines[index] = line;
    else
        m_lines.append(line);
}

} // namespace tarv
