#include "store/Settings.h"

#include "base/ErrorLog.h"
#include "store/Database.h"

#include <QVariant>
#include <limits>

namespace {

// Table names come only from fixed parts; anything else is refused before it reaches SQL.
bool isPlainTableName(const QString& table) {
    if (table.isEmpty())
        return false;
    for (const QChar c : table)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('_'))
            return false;
    return true;
}

// Reads the one value of setting `number` from `column`. Returns false (with a log entry under
// procName) when the statement fails, false without a log entry for two or more rows; true with
// found = false when there is no row.
bool readSetting(const QString& procName, const QString& table, const QString& column, int number,
                 QVariant& value, bool& found) {
    if (!isPlainTableName(table)) {
        gProcError(procName, QStringLiteral("table=") + table);
        return false;
    }
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral(" SELECT ") + column + QStringLiteral(" From ") + table +
                              QStringLiteral(" where lngID=?"),
                          {number}, procName))
        return false;
    if (rs.recordCount() >= 2)
        return false;
    found = rs.recordCount() == 1;
    if (found)
        value = rs.getFldData(0);
    return true;
}

// Replaces the row of setting `number` with one holding `value` in `column`. Both statements run
// in one transaction, so a failure leaves the old row in place.
bool writeSetting(const QString& procName, const QString& table, const QString& column, int number,
                  const QVariant& value) {
    if (!isPlainTableName(table)) {
        gProcError(procName, QStringLiteral("table=") + table);
        return false;
    }
    const QString execName = QStringLiteral("clsQuilloFunc_MDBDAO_ExecuteSQL");
    Database& db = gdbData();
    Transaction t(db);
    if (!t.ok())
        return false;
    if (!db.executeSQL(QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE lngID=?"),
                       {number}, execName))
        return false;
    if (!db.executeSQL(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (lngID,") +
                           column + QStringLiteral(") VALUES (?,?)"),
                       {number, value}, execName))
        return false;
    return t.commit();
}

// The registry row of `number` when it is of `type` and has a default; otherwise logged under
// procName.
const SettingDef* registryRow(const QString& procName, int number, SettingType type) {
    const SettingDef* d = gFindSettingDef(number);
    if (d && d->type == type && d->hasDefault)
        return d;
    gProcError(procName, QStringLiteral("lngID=%1 (no default of this type)").arg(number));
    return nullptr;
}

} // namespace

bool gGetSetting(int number, qint32& value) {
    const QString proc = QStringLiteral("gGetSystemLngField");
    const SettingDef* d = registryRow(proc, number, SettingType::Lng);
    return d && gGetSystemLngField(number, value, d->defaultValue);
}

bool gGetSetting(int number, bool& value) {
    const QString proc = QStringLiteral("gGetSystemBlnField");
    const SettingDef* d = registryRow(proc, number, SettingType::Bln);
    return d && gGetSystemBlnField(number, value, d->defaultValue != 0);
}

bool gGetSetting(int number, QString& value) {
    const QString proc = QStringLiteral("gGetSystemStrField");
    const SettingDef* d = registryRow(proc, number, SettingType::Str);
    return d && gGetSystemStrField(number, value, d->defaultString());
}

bool gGetSystemCurFieldIfStored(int number, std::optional<Currency>& value, const QString& table) {
    QVariant v;
    bool found = false;
    if (!readSetting(QStringLiteral("gGetSystemCurField"), table, QStringLiteral("curField"),
                     number, v, found))
        return false;
    value = found ? std::optional<Currency>(v.value<Currency>()) : std::nullopt;
    return true;
}

bool gDeleteSystemField(int number, const QString& table) {
    const QString proc = QStringLiteral("gDeleteSystemField");
    if (!isPlainTableName(table)) {
        gProcError(proc, QStringLiteral("table=") + table);
        return false;
    }
    return gdbData().executeSQL(
        QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE lngID=?"), {number}, proc);
}

bool gGetSystemLngField(int number, qint32& value, qint32 defaultValue, const QString& table) {
    const QString proc = QStringLiteral("gGetSystemLngField");
    QVariant v;
    bool found = false;
    if (!readSetting(proc, table, QStringLiteral("lngField"), number, v, found))
        return false;
    if (!found) {
        value = defaultValue;
        return true;
    }
    const qint64 n = v.toLongLong();
    if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()) {
        gProcError(proc, QStringLiteral("lngID=%1 lngField=%2").arg(number).arg(n));
        return false;
    }
    value = static_cast<qint32>(n);
    return true;
}

bool gGetSystemCurField(int number, Currency& value, Currency defaultValue, const QString& table) {
    QVariant v;
    bool found = false;
    if (!readSetting(QStringLiteral("gGetSystemCurField"), table, QStringLiteral("curField"),
                     number, v, found))
        return false;
    value = found ? v.value<Currency>() : defaultValue;
    return true;
}

bool gGetSystemStrField(int number, QString& value, const QString& defaultValue,
                        const QString& table) {
    QVariant v;
    bool found = false;
    if (!readSetting(QStringLiteral("gGetSystemStrField"), table, QStringLiteral("strField"),
                     number, v, found))
        return false;
    value = found ? v.toString() : defaultValue;
    return true;
}

bool gGetSystemBlnField(int number, bool& value, bool defaultValue, const QString& table) {
    QVariant v;
    bool found = false;
    if (!readSetting(QStringLiteral("gGetSystemBlnField"), table, QStringLiteral("blnField"),
                     number, v, found))
        return false;
    value = found ? v.toBool() : defaultValue;
    return true;
}

bool gSetSystemLngField(int number, qint32 value, const QString& table) {
    return writeSetting(QStringLiteral("gSetSystemLngField"), table, QStringLiteral("lngField"),
                        number, QVariant(value));
}

bool gSetSystemCurField(int number, Currency value, const QString& table) {
    return writeSetting(QStringLiteral("gSetSystemCurField"), table, QStringLiteral("curField"),
                        number, QVariant::fromValue(value));
}

bool gSetSystemBlnField(int number, bool value, const QString& table) {
    return writeSetting(QStringLiteral("gSetSystemBlnField"), table, QStringLiteral("blnField"),
                        number, QVariant(value));
}

bool gSetSystemStrField(int number, const QString& value, const QString& table) {
    // A null QString is bound as empty text (only a null QVariant is NULL).
    return writeSetting(QStringLiteral("gSetSystemStrField"), table, QStringLiteral("strField"),
                        number, QVariant(value));
}

bool gGetSystemCloseDay(qint32& closeDay) {
    if (!gGetSetting(SettingNo::CloseDay, closeDay)) {
        gProcError(QStringLiteral("gGetSystemCloseDay"));
        return false;
    }
    return true;
}

bool gGetDataCaption(int kind, QString& caption) {
    bool ok = false;
    const SettingDef& row =
        kind == 1 ? settingDef(SettingNo::PurchaseCaption) : settingDef(SettingNo::SaleCaption);
    if (kind == 1 || kind == 2)
        ok = gGetSetting(row.number, caption);
    // An empty word would leave the purchase and the sales labels alike ("規定掛率" twice): the
    // default stands in for it.
    if (ok && caption.trimmed().isEmpty())
        caption = row.defaultString();
    if (!ok) {
        gProcError(QStringLiteral("gGetDataCaption"), QStringLiteral("kind=%1").arg(kind));
        return false;
    }
    return true;
}
