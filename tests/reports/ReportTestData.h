#pragma once

// Shared pieces of the report tests: the fixed data files of data/ and compact readings of
// saved sheets.

#include "store/Database.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace reporttest {

// Loads data/<name> (supplier_list.sql, profit_fixture.sql) into the open data file.
inline bool loadData(const QString& name) {
    QFile f(QStringLiteral(TOVAKI_REPORTS_TEST_DATA "/") + name);
    return f.open(QIODevice::ReadOnly) &&
           gdbData().executeScript(QString::fromUtf8(f.readAll()), QStringLiteral("loadData"));
}
inline bool loadSupplierList() {
    return loadData(QStringLiteral("supplier_list.sql"));
}
inline bool loadProfit() {
    return loadData(QStringLiteral("profit_fixture.sql"));
}

// A cell as text: a number in plain decimal, text as it stands, "" when empty.
inline QString cellText(const Worksheet* ws, int row, int col) {
    const QVariant v = ws->value(row, col);
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.isValid() ? v.toString() : QString();
}

// Columns first..last of a row joined by "|".
inline QString rowText(const Worksheet* ws, int row, int first, int last) {
    QStringList parts;
    for (int c = first; c <= last; ++c)
        parts << cellText(ws, row, c);
    return parts.join(QLatin1Char('|'));
}

// Every entry of a folder (hidden ones too), by name.
inline QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The texts shown, with the saved file's path line of the question after a report written as
// "<path>" (the file name carries the time of the run).
inline QStringList withoutPaths(QStringList texts) {
    static const QRegularExpression path(QStringLiteral("\r\n(/|[A-Z]:\\\\)[^\r\n]*\\.xlsx\r\n"));
    for (QString& t : texts)
        t.replace(path, QStringLiteral("\r\n<path>\r\n"));
    return texts;
}

} // namespace reporttest
