#include "ledger/ClassLists.h"

#include "base/ErrorLog.h"
#include "ledger/Captions.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "store/ShownRow.h"

namespace {

const QChar kFullWidthSpace(0x3000);

bool classTable(int classNo, const QString& procName, QString& table) {
    if (classNo < 1 || classNo > 3) {
        gProcError(procName, QStringLiteral("classNo=") + QString::number(classNo));
        return false;
    }
    table = QStringLiteral("T_DATA_CLASS") + QString::number(classNo);
    return true;
}

bool itemTable(int kind, const QString& procName, QString& table) {
    if (kind != 1 && kind != 2) {
        gProcError(procName, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    table = QStringLiteral("T_DATA") + QString::number(kind) + QStringLiteral("_ITEM");
    return true;
}

// The first column of every row, each as text, after a leading empty entry; empty when there
// are no rows.
bool readFirstColumn(Database& db, const QString& sql, const QVariantList& params,
                     const QString& procName, QStringList& entries) {
    ResultSet rs(db);
    if (!rs.openRecordSet(sql, params, procName))
        return false;
    entries.clear();
    if (rs.recordCount() == 0)
        return true;
    entries << QString();
    for (const QVariantList& row : rs.rows())
        entries << (row.isEmpty() ? QString() : row.first().toString());
    return true;
}

// Changes one row; exactly one row must change.
bool updateOneRow(Database& db, const QString& sql, const QVariantList& params,
                  const QString& procName) {
    if (!db.executeSQL(sql, params, procName))
        return false;
    if (db.changes() != 1) {
        gProcError(procName, QStringLiteral("rows=") + QString::number(db.changes()) +
                                 QStringLiteral(" SQL=") + sql);
        return false;
    }
    return true;
}

} // namespace

QStringList gSortChoices(int max) {
    QStringList choices;
    for (int i = 1; i <= max; ++i)
        choices << QString::number(i);
    return choices;
}

bool gGetLedgerListEntries(Database& db, int column, int kind, QStringList& entries) {
    const QString procName = QStringLiteral("gGetLedgerListEntries");
    QString table;
    switch (column) {
    case 2:
        entries = gSortChoices(kLedgerSortMax);
        return true;
    case 3:
        if (!itemTable(kind, procName, table))
            return false;
        return readFirstColumn(db,
                               QStringLiteral("SELECT strItem FROM ") + table +
                                   QStringLiteral(" ORDER BY lngSort NULLS FIRST, rowid"),
                               {}, procName, entries);
    case 4:
    case 5:
    case 6:
        if (!classTable(column - 3, procName, table))
            return false;
        return readFirstColumn(
            db,
            QStringLiteral("SELECT strClassItem FROM ") + table +
                QStringLiteral(" WHERE blnEnable = ? ORDER BY lngSort NULLS FIRST, lngID"),
            {true}, procName, entries);
    default:
        gProcError(procName, QStringLiteral("column=") + QString::number(column));
        return false;
    }
}

bool gChkLedgerListText(Database& db, int column, int kind, const QString& text, bool& valid) {
    if (column != 2 && column != 4 && column != 5 && column != 6) {
        valid = true;
        return true;
    }
    if (text.isEmpty()) {
        valid = true;
        return true;
    }
    QStringList entries;
    if (!gGetLedgerListEntries(db, column, kind, entries))
        return false;
    valid = entries.contains(text);
    return true;
}

bool gGetClassEntries(Database& db, int classNo, QList<ClassEntry>& entries) {
    const QString procName = QStringLiteral("gGetClassEntries");
    if (classNo < 1 || classNo > 3) {
        gProcError(procName, QStringLiteral("classNo=") + QString::number(classNo));
        return false;
    }
    ResultSet rs(db);
    // The table in the view's order: the view does not carry the reduced-rate mark.
    if (!rs.openRecordSet(QStringLiteral("SELECT lngID, strClassItem, lngSort, blnEnable,"
                                         " blnReduced FROM T_DATA_CLASS") +
                              QString::number(classNo) +
                              QStringLiteral(" ORDER BY lngSort NULLS FIRST, lngID"),
                          {}, procName))
        return false;
    QList<ClassEntry> read;
    for (const QVariantList& row : rs.rows()) {
        ClassEntry e;
        e.id = row.value(0).toLongLong();
        e.text = row.value(1).toString();
        e.sort = static_cast<qint32>(row.value(2).toLongLong());
        e.enabled = row.value(3).toBool();
        e.reduced = row.value(4).toBool();
        read << e;
    }
    entries = read;
    return true;
}

bool gChkClassText(const QString& typed, QString& trimmed) {
    trimmed = gTrimHalfWidthSpaces(typed);
    for (const QChar c : std::as_const(trimmed)) {
        if (c != kFullWidthSpace && c != QLatin1Char(' '))
            return true;
    }
    return false;
}

bool gAddClassEntry(Database& db, int classNo, const QString& text, ClassEntry& added) {
    const QString procName = QStringLiteral("gAddClassEntry");
    QString table;
    if (!classTable(classNo, procName, table))
        return false;
    QString trimmed;
    if (!gChkClassText(text, trimmed)) {
        gProcError(procName, QStringLiteral("blank text"));
        return false;
    }
    if (!db.insertRow(QStringLiteral("INSERT INTO ") + table +
                          QStringLiteral(" (strClassItem, lngSort, blnEnable) VALUES (?, ?, ?) "
                                         "RETURNING lngID"),
                      {text, 1, true}, procName, added.id) ||
        !gSendChangeNotice(db, table, 0, procName))
        return false;
    added.text = text;
    added.sort = 1;
    added.enabled = true;
    return true;
}

namespace {

// Sets one column of a list row (key: the row's keyColumn), guarded by its shown value when there
// is one, and tells the other programs.
bool setListColumn(Database& db, const QString& table, const QString& keyColumn, qint64 id,
                   const QString& column, const QVariant& value, const QVariant& shownValue,
                   bool guarded, bool* conflict, const QString& procName) {
    if (conflict)
        *conflict = false;
    QString sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + column +
                  QStringLiteral(" = ?1 WHERE ") + keyColumn + QStringLiteral(" = ?2");
    QVariantList params{value, id};
    if (guarded) {
        ShownRow shown;
        shown.set(column, shownValue);
        shown.appendCondition(sql, params);
        if (!db.executeSQL(sql, params, procName))
            return false;
        if (db.changes() == 0) {
            if (conflict)
                *conflict = true;
            return false;
        }
    }
    if (!guarded && !updateOneRow(db, sql, params, procName))
        return false;
    return gSendChangeNotice(db, table, 0, procName);
}

bool setEntryColumn(Database& db, int classNo, qint64 id, const QString& column,
                    const QVariant& value, const QVariant& shownValue, bool guarded, bool* conflict,
                    const QString& procName) {
    QString table;
    if (!classTable(classNo, procName, table))
        return false;
    return setListColumn(db, table, QStringLiteral("lngID"), id, column, value, shownValue, guarded,
                         conflict, procName);
}

} // namespace

bool gSetClassEntrySort(Database& db, int classNo, qint64 id, qint32 sort, const ClassEntry* shown,
                        bool* conflict) {
    const QString procName = QStringLiteral("gSetClassEntrySort");
    if (sort < 1 || sort > kListSortMax) {
        gProcError(procName, QStringLiteral("lngSort=") + QString::number(sort));
        return false;
    }
    return setEntryColumn(db, classNo, id, QStringLiteral("lngSort"), sort,
                          shown ? QVariant(shown->sort) : QVariant(), shown, conflict, procName);
}

bool gSetClassEntryEnabled(Database& db, int classNo, qint64 id, bool enabled,
                           const ClassEntry* shown, bool* conflict) {
    return setEntryColumn(db, classNo, id, QStringLiteral("blnEnable"), enabled,
                          shown ? QVariant(shown->enabled) : QVariant(), shown, conflict,
                          QStringLiteral("gSetClassEntryEnabled"));
}

bool gSetClassEntryReduced(Database& db, int classNo, qint64 id, bool reduced,
                           const ClassEntry* shown, bool* conflict) {
    return setEntryColumn(db, classNo, id, QStringLiteral("blnReduced"), reduced,
                          shown ? QVariant(shown->reduced) : QVariant(), shown, conflict,
                          QStringLiteral("gSetClassEntryReduced"));
}

bool gGetClassDefaultChoices(Database& db, int classNo, QStringList& choices) {
    QList<ClassEntry> entries;
    if (!gGetClassEntries(db, classNo, entries))
        return false;
    choices = QStringList{QString()};
    for (const ClassEntry& e : std::as_const(entries))
        choices << e.text;
    return true;
}

int gClassDefaultSettingNo(int classNo) {
    return SettingNo::Class1Default + classNo - 1;
}

bool gGetClassDefault(int classNo, QString& text) {
    if (classNo < 1 || classNo > 3) {
        gProcError(QStringLiteral("gGetClassDefault"),
                   QStringLiteral("classNo=") + QString::number(classNo));
        return false;
    }
    return gGetSetting(gClassDefaultSettingNo(classNo), text);
}

bool gSetClassDefault(int classNo, const QString& text) {
    if (classNo < 1 || classNo > 3) {
        gProcError(QStringLiteral("gSetClassDefault"),
                   QStringLiteral("classNo=") + QString::number(classNo));
        return false;
    }
    return gSetSystemStrField(gClassDefaultSettingNo(classNo), text);
}

bool gGetItemEntries(Database& db, int kind, QList<ItemEntry>& entries) {
    const QString procName = QStringLiteral("gGetItemEntries");
    QString table;
    if (!itemTable(kind, procName, table))
        return false;
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT rowid AS lngRowID, strItem, lngSort FROM ") +
                              table + QStringLiteral(" ORDER BY rowid"),
                          {}, procName))
        return false;
    QList<ItemEntry> read;
    for (const QVariantList& row : rs.rows()) {
        ItemEntry e;
        e.rowId = row.value(0).toLongLong();
        e.text = row.value(1);
        e.sort = row.value(2);
        read << e;
    }
    entries = read;
    return true;
}

bool gAddItemEntry(Database& db, int kind, const QVariant& text, const QVariant& sort,
                   ItemEntry& added) {
    const QString procName = QStringLiteral("gAddItemEntry");
    QString table;
    if (!itemTable(kind, procName, table))
        return false;
    if (!db.insertRow(QStringLiteral("INSERT INTO ") + table +
                          QStringLiteral(" (strItem, lngSort) VALUES (?, ?) RETURNING rowid"),
                      {text, sort}, procName, added.rowId) ||
        !gSendChangeNotice(db, table, 0, procName))
        return false;
    added.text = text;
    added.sort = sort;
    return true;
}

bool gSetItemText(Database& db, int kind, qint64 rowId, const QVariant& text,
                  const ItemEntry* shown, bool* conflict) {
    const QString procName = QStringLiteral("gSetItemText");
    QString table;
    if (!itemTable(kind, procName, table))
        return false;
    return setListColumn(db, table, QStringLiteral("rowid"), rowId, QStringLiteral("strItem"), text,
                         shown ? shown->text : QVariant(), shown, conflict, procName);
}

bool gSetItemSort(Database& db, int kind, qint64 rowId, const QVariant& sort,
                  const ItemEntry* shown, bool* conflict) {
    const QString procName = QStringLiteral("gSetItemSort");
    QString table;
    if (!itemTable(kind, procName, table))
        return false;
    return setListColumn(db, table, QStringLiteral("rowid"), rowId, QStringLiteral("lngSort"), sort,
                         shown ? shown->sort : QVariant(), shown, conflict, procName);
}

bool gChkSortText(const QString& text, int max, QVariant& value) {
    const QString trimmed = gTrimHalfWidthSpaces(text);
    if (trimmed.isEmpty()) {
        value = QVariant();
        return true;
    }
    if (!gSortChoices(max).contains(trimmed))
        return false;
    value = trimmed.toLongLong();
    return true;
}

bool gGetLedgerListEntries(int column, int kind, QStringList& entries) {
    return gGetLedgerListEntries(gdbData(), column, kind, entries);
}
bool gChkLedgerListText(int column, int kind, const QString& text, bool& valid) {
    return gChkLedgerListText(gdbData(), column, kind, text, valid);
}
bool gAddClassEntry(int classNo, const QString& text, ClassEntry& added) {
    return gAddClassEntry(gdbData(), classNo, text, added);
}
