#pragma once

// Helpers of the profit table tests: the fixed data file and a compact reading of sheet rows.

#include "store/Database.h"
#include "workbook/Workbook.h"

#include <QFile>
#include <QString>
#include <QStringList>

namespace profittest {

// Loads the fixed data of the profit table tests into the open data file.
inline bool loadFixture() {
    QFile f(QStringLiteral(TOVAKI_PROFIT_FIXTURE));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return gdbData().executeScript(QString::fromUtf8(f.readAll()), QStringLiteral("fixture"));
}

// A cell as text: a number in plain decimal, text as it stands, "" when empty.
inline QString cellText(const Worksheet* ws, int row, int col) {
    const QVariant v = ws->value(row, col);
    if (!v.isValid())
        return QString();
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// Columns first..last of a row joined by "|".
inline QString rowText(const Worksheet* ws, int row, int first, int last) {
    QStringList parts;
    for (int c = first; c <= last; ++c)
        parts << cellText(ws, row, c);
    return parts.join(QLatin1Char('|'));
}

} // namespace profittest
