#pragma once

#include "store/Database.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QFile>
#include <QStringList>

// The fixed suppliers and ledger lines of the supplier list tests (data/supplier_list.sql).
inline bool loadSupplierListFixture() {
    QFile f(QStringLiteral(TOVAKI_REPORTS_TEST_DATA) + QStringLiteral("/supplier_list.sql"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return gdbData().executeScript(QString::fromUtf8(f.readAll()),
                                   QStringLiteral("loadSupplierListFixture"));
}

// Setting 9: 0 supplier numbers, 1 reading then short name.
inline bool setSupplierOrder(int order) {
    return gdbData().executeSQL(QStringLiteral("DELETE FROM T_SYSTEM WHERE lngID=9")) &&
           gdbData().executeSQL(
               QStringLiteral("INSERT INTO T_SYSTEM (lngID, lngField) VALUES (9, ?)"), {order});
}

// Every entry of a folder (files, folders, hidden ones too), by name.
inline QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The saved name of a supplier list written at the test clock's time (2024-03-05 10:15:00).
inline QString supplierListFileName() {
    return QStringLiteral("　2024-03-05　10：15：00　仕入先表.xlsx");
}
