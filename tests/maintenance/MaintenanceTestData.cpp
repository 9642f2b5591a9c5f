#include "MaintenanceTestData.h"

#include "store/Currency.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>

namespace {

bool exec(const QString& sql, const QVariantList& params) {
    return gdbData().executeSQL(sql, params);
}

bool addSupplier(int id, const QString& name) {
    return exec(QStringLiteral("INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, "
                               "curRegularSupplyRatio, strSupplierName, strSupplierShortName, "
                               "strKana) VALUES (?, ?, 1, ?, ?, ?, ?)"),
                {id, id * 10, QVariant::fromValue(Currency::fromInt(80)), name, name.left(4),
                 QStringLiteral("ｶﾅ")});
}

bool addLine(int kind, int masterId, const QDate& date, const QString& item, qint64 cost) {
    return exec(QStringLiteral("INSERT INTO T_DATA%1 (lngMasterID, date1, lngSort, strItem, "
                               "curCost, strNote) VALUES (?, ?, 1, ?, ?, ?)")
                    .arg(kind),
                {masterId, date, item, QVariant::fromValue(Currency::fromInt(cost)),
                 QStringLiteral("備考 'quoted' 100%")});
}

} // namespace

bool addSampleData() {
    return addSupplier(1, QStringLiteral("山田商店")) &&
           addSupplier(2, QStringLiteral("鈴木物産")) &&
           addLine(1, 1, QDate(2024, 1, 5), QStringLiteral("りんご"), 12000) &&
           addLine(1, 2, QDate(2024, 1, 6), QStringLiteral("みかん"), 3400) &&
           addLine(2, 1, QDate(2024, 1, 7), QStringLiteral("りんご"), 15000) &&
           exec(QStringLiteral("INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable) "
                               "VALUES (?, 1, 1)"),
                {QStringLiteral("果物")}) &&
           gSetSystemLngField(8, 25) && gSetSystemStrField(10, QStringLiteral("仕入'")) &&
           gSetSystemCurField(32, Currency::fromRaw(82500));
}

bool addMoreData() {
    return addSupplier(3, QStringLiteral("後から追加")) &&
           addLine(1, 3, QDate(2024, 2, 1), QStringLiteral("ぶどう"), 999) &&
           gSetSystemLngField(8, 10);
}

QStringList dumpData() {
    QStringList out;
    const QStringList queries = {
        QStringLiteral("SELECT * FROM T_MASTER ORDER BY lngMasterID"),
        QStringLiteral("SELECT * FROM T_DATA1 ORDER BY lngID"),
        QStringLiteral("SELECT * FROM T_DATA2 ORDER BY lngID"),
        QStringLiteral("SELECT * FROM T_DATA_CLASS1 ORDER BY lngID"),
        QStringLiteral("SELECT * FROM T_SYSTEM WHERE lngID > 1 ORDER BY lngID"),
    };
    for (const QString& q : queries) {
        ResultSet rs(gdbData());
        if (!rs.openRecordSet(q)) {
            out << QStringLiteral("failed: ") + q;
            continue;
        }
        for (const QVariantList& row : rs.rows()) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << (v.isNull() ? QStringLiteral("NULL")
                          : v.metaType() == QMetaType::fromType<Currency>()
                              ? v.value<Currency>().toString()
                              : v.toString());
            out << cells.join(QLatin1Char('|'));
        }
    }
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

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
