#include "MaintenanceTestData.h"
#include "TestData.h"

#include "store/Currency.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>

bool addSampleData() {
    const QString note = QStringLiteral("備考 'quoted' 100%");
    return addSupplier(
               {.masterID = 1, .shortName = QStringLiteral("山田商店"), .supplyRatio = 80}) &&
           addSupplier({.masterID = 2, .shortName = QStringLiteral("鈴木物産")}) &&
           addLine({.masterID = 1,
                    .date = QDate(2024, 1, 5),
                    .item = QStringLiteral("りんご"),
                    .cost = 12000,
                    .note = note}) > 0 &&
           addLine({.kind = 2,
                    .masterID = 1,
                    .date = QDate(2024, 1, 7),
                    .item = QStringLiteral("りんご"),
                    .cost = 15000}) > 0 &&
           gdbData().executeSQL(QStringLiteral("INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort,"
                                               " blnEnable) VALUES (?, 1, 1)"),
                                {QStringLiteral("果物")}) &&
           gSetSystemLngField(8, 25) && gSetSystemStrField(10, QStringLiteral("仕入'")) &&
           gSetSystemCurField(32, Currency::fromRaw(82500));
}

bool addMoreData() {
    return addSupplier({.masterID = 3, .shortName = QStringLiteral("後から追加")}) &&
           addLine({.masterID = 3,
                    .date = QDate(2024, 2, 1),
                    .item = QStringLiteral("ぶどう"),
                    .cost = 999}) > 0 &&
           gSetSystemLngField(8, 10);
}

QStringList dumpData() {
    QStringList out;
    for (const char* table : {"T_MASTER", "T_DATA1", "T_DATA2", "T_DATA_CLASS1"}) {
        ResultSet rs(gdbData());
        if (!rs.openRecordSet(QStringLiteral("SELECT * FROM ") + QLatin1String(table)))
            return {QStringLiteral("failed")};
        for (const QVariantList& row : rs.rows()) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << (v.metaType() == QMetaType::fromType<Currency>()
                              ? v.value<Currency>().toString()
                              : v.toString());
            out << cells.join(QLatin1Char('|'));
        }
    }
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT lngID, lngField, curField, strField FROM T_SYSTEM"
                                         " WHERE lngID > 1 ORDER BY lngID")))
        return {QStringLiteral("failed")};
    for (const QVariantList& row : rs.rows())
        out << row.value(0).toString() + row.value(1).toString() +
                   row.value(2).value<Currency>().toString() + row.value(3).toString();
    return out;
}

QDateTime systemTime(int row) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT datField FROM T_SYSTEM WHERE lngID = ?"), {row}) ||
        rs.recordCount() != 1)
        return {};
    return rs.value(0).toDateTime();
}

int systemRowCount(int row) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT lngID FROM T_SYSTEM WHERE lngID = ?"), {row}))
        return -1;
    return rs.recordCount();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
