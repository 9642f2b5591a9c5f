#include "TestData.h"
#include "TestServices.h"
#include "store/Currency.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList compactFiles(const QString& folder) {
    return QDir(folder).entryList({u"CompactDataBase*"_s}, QDir::Files | QDir::Dirs);
}

QVariant cur(qint64 raw) {
    return QVariant::fromValue(Currency::fromRaw(raw));
}

// Same type and value; amounts compared by their raw value.
bool same(const QVariant& v, const QVariant& expected) {
    if (v.metaType() != expected.metaType())
        return false;
    if (expected.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>().raw() == expected.value<Currency>().raw();
    return v == expected;
}

// Lines with long notes, so that a file has many pages.
bool fill(int count) {
    Transaction t(gdbData());
    for (int i = 0; i < count; ++i)
        if (!gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort, strNote) VALUES (?, ?)"_s,
                                  {i, QString(200, QLatin1Char('x'))}))
            return false;
    return t.commit();
}

} // namespace

class tst_Database : public DataFileTest {
    Q_OBJECT
private slots:
    void typesByColumnName_data();
    void typesByColumnName();
    void nullConversion_data();
    void nullConversion();
    void refusesBadStatements_data();
    void refusesBadStatements();
    void nestedTransactionUndoesOnlyItsOwn();
    void compactsIntoFirstFreeName();
    void compactionFailureKeepsFile();
};

void tst_Database::typesByColumnName_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* sql, const QVariant& v) {
        QTest::newRow(sql) << QString::fromLatin1(sql) << v;
    };
    row("SELECT Sum(curCost) FROM T_DATA1", cur(30000));
    row("SELECT Count(curCost) FROM T_DATA1", qint64(2));
    row("SELECT Sum(curCost * 2) FROM T_DATA1", qint64(60000));
    row("SELECT curCost * 2 AS curD FROM T_DATA1 WHERE lngSort=1", cur(20000));
    row("SELECT 0 AS BLNX", false);
    row("SELECT date1 FROM T_DATA1 WHERE lngSort=1", QDate(2024, 2, 29));
    row("SELECT '2024-03-05 10:15:00' AS datLastUpdate",
        QDateTime(QDate(2024, 3, 5), QTime(10, 15)));
    row("SELECT '2024/03/05' AS datX", u"2024/03/05"_s);
}

void tst_Database::typesByColumnName() {
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngSort, date1, curCost) VALUES (1, ?, ?), (2, NULL, ?)"_s,
        {QDate(2024, 2, 29), cur(10000), cur(20000)}));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(sql));
    QVERIFY(same(rs.value(0), expected));
}

void tst_Database::nullConversion_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* column, const QVariant& v) {
        QTest::newRow(column) << QString::fromLatin1(column) << v;
    };
    row("curCost", cur(0));
    row("date1", u"1000/01/01 00:00:00"_s);
    row("strItem", QString());
    row("blnChange", false);
    row("(SELECT Sum(curCost) FROM T_DATA2) AS curSum", cur(0));
}

void tst_Database::nullConversion() {
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID) VALUES (1)"_s));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT "_s + column + u" FROM T_DATA1"_s));
    QVERIFY(rs.isNull(0));
    QVERIFY(same(rs.getFldData(0), expected));
}

void tst_Database::refusesBadStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QString>("logged");
    const auto row = [](const char* name, const char* sql, QVariantList params, const char* log) {
        QTest::newRow(name) << QString::fromLatin1(sql) << params << QString::fromLatin1(log);
    };
    row("blank", "   ", {}, "SQL=\r\n");
    row("second statement", "DELETE FROM T_DATA1 WHERE lngSort = 1; DELETE FROM T_DATA1", {},
        "more than one statement");
    row("too few values", "DELETE FROM T_DATA1 WHERE lngSort = ? OR lngSort = ?", {1},
        "2 placeholders, 1 values");
}

void tst_Database::refusesBadStatements() {
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);
    QFETCH(QString, logged);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1), (2)"_s));
    QVERIFY(!gdbData().executeSQL(sql, params));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"DbExecuteSQL"_s});
    QVERIFY2(m_folder->errorLog().contains(logged), qPrintable(m_folder->errorLog()));
    QCOMPARE(dataRowCount(u"SELECT lngID FROM T_DATA1"_s), 2);
}

void tst_Database::nestedTransactionUndoesOnlyItsOwn() {
    Database& db = gdbData();
    {
        Transaction outer(db);
        QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1)"_s));
        {
            Transaction inner(db);
            QVERIFY(inner.ok());
            QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (2)"_s));
        } // rolled back
        {
            Transaction inner(db);
            QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (3)"_s));
            QVERIFY(inner.commit());
        }
        QVERIFY(outer.commit());
    }
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1 WHERE lngSort IN (1, 3)"_s), 2);
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1"_s), 2);
    {
        // An outer rollback also drops what an inner transaction committed.
        Transaction outer(db);
        Transaction inner(db);
        QVERIFY(db.executeSQL(u"DELETE FROM T_DATA1"_s));
        QVERIFY(inner.commit());
    }
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1"_s), 2);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Database::compactsIntoFirstFreeName() {
    QVERIFY(fill(2000));
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA1 WHERE lngSort >= 10"_s));
    // The history of the filling goes as well, so that its pages are free.
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_HISTORY"_s));
    DbClose();
    const QString folder = QFileInfo(m_folder->dbPath()).absolutePath();
    const QString taken = folder + u"/CompactDataBase1.mdb"_s;
    QVERIFY(writeBytes(taken, "someone else's file"));
    const qint64 before = QFileInfo(m_folder->dbPath()).size();

    QVERIFY(DbCompactDataBase(m_folder->dbPath()));

    QVERIFY(QFileInfo(m_folder->dbPath()).size() < before / 4);
    QCOMPARE(readBytes(taken), QByteArray("someone else's file"));
    QCOMPARE(compactFiles(folder), QStringList{u"CompactDataBase1.mdb"_s});
    QVERIFY(DbInit(m_folder->dbPath()));
    QCOMPARE(dataRowCount(u"SELECT lngSort, strNote FROM T_DATA1"_s), 10);
}

void tst_Database::compactionFailureKeepsFile() {
    const QString path = m_folder->dbPath();
    const QString folder = QFileInfo(path).absolutePath();
    // The header stays valid, so the copy starts and fails half-way through the pages.
    QVERIFY(fill(250));
    DbClose();
    QByteArray bytes = readBytes(path);
    bytes.replace(20000, 16000, QByteArray(16000, '\xff'));
    QVERIFY(writeBytes(path, bytes));
    const QByteArray before = readBytes(path);
    QVERIFY(!DbCompactDataBase(path));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"DbCompactDataBase"_s});
    QVERIFY(compactFiles(folder).isEmpty());
    QCOMPARE(readBytes(path), before);
}

QTEST_GUILESS_MAIN(tst_Database)
#include "tst_Database.moc"
