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

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QVariant cur(qint64 raw) {
    return QVariant::fromValue(Currency::fromRaw(raw));
}

int rows(const QString& sql) {
    ResultSet rs(gdbData());
    return rs.openRecordSet(sql) ? rs.recordCount() : -1;
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
    void boundTextAndNull();
    void typesByColumnName_data();
    void typesByColumnName();
    void nullConversion_data();
    void nullConversion();
    void emptyResult();
    void refusesBadStatements_data();
    void refusesBadStatements();
    void classViewsAreUpdatable();
    void nestedTransactionUndoesOnlyItsOwn();
    void compactsIntoFirstFreeName();
    void compactionFailureKeepsFile_data();
    void compactionFailureKeepsFile();
    void compactionRefusedWhileOpen();
};

void tst_Database::boundTextAndNull() {
    Database& db = gdbData();
    const QString text = u"x'); DELETE FROM T_DATA1; -- ｶﾅ 100%"_s;
    for (const QVariant& v : {QVariant(text), QVariant(), QVariant(u""_s)})
        QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, strItem) VALUES (1, ?)"_s, {v}));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT typeof(strItem), strItem FROM T_DATA1 ORDER BY lngID"_s));
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.text(1), text);
    QVERIFY(rs.moveNext());
    QCOMPARE(rs.text(0), u"null"_s);
    QVERIFY(rs.moveNext());
    QCOMPARE(rs.text(0), u"text"_s); // empty text stays apart from NULL
    QVERIFY(rs.openRecordSet(u"SELECT lngID FROM T_DATA1 WHERE strItem = ?"_s, {text}));
    QCOMPARE(rs.recordCount(), 1);
}

void tst_Database::typesByColumnName_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("cur") << u"SELECT 12345000 AS curX"_s << cur(12345000);
    QTest::newRow("cur real") << u"SELECT avg(curCost) AS curAvg FROM T_DATA1"_s << cur(15000);
    QTest::newRow("sum of cur") << u"SELECT Sum(curCost) FROM T_DATA1"_s << cur(30000);
    QTest::newRow("qualified cur")
        << u"SELECT T_DATA1.curCost FROM T_DATA1 WHERE lngSort=1"_s << cur(10000);
    QTest::newRow("count of cur") << u"SELECT Count(curCost) FROM T_DATA1"_s << QVariant(qint64(2));
    QTest::newRow("unaliased expression")
        << u"SELECT Sum(curCost * 2) FROM T_DATA1"_s << QVariant(qint64(60000));
    QTest::newRow("aliased expression")
        << u"SELECT curCost * 2 AS curD FROM T_DATA1 WHERE lngSort=1"_s << cur(20000);
    QTest::newRow("bln") << u"SELECT 0 AS BLNX"_s << QVariant(false);
    QTest::newRow("max of lng") << u"SELECT Max(lngSort) FROM T_DATA1"_s << QVariant(qint64(2));
    QTest::newRow("date1") << u"SELECT date1 FROM T_DATA1 WHERE lngSort=1"_s
                           << QVariant(QDate(2024, 2, 29));
    QTest::newRow("time stamp") << u"SELECT '2024-03-05 10:15:00' AS datLastUpdate"_s
                                << QVariant(QDateTime(QDate(2024, 3, 5), QTime(10, 15)));
    QTest::newRow("date text in no stored form")
        << u"SELECT '2024/03/05' AS datX"_s << QVariant(u"2024/03/05"_s);
    QTest::newRow("str of a number") << u"SELECT 7 AS strX"_s << QVariant(u"7"_s);
    QTest::newRow("untyped real") << u"SELECT 2.5 AS other"_s << QVariant(2.5);
}

void tst_Database::typesByColumnName() {
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngSort, date1, curCost) VALUES (1, ?, ?), (2, NULL, ?)"_s,
        {QDate(2024, 2, 29), cur(10000), cur(20000)}));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(sql));
    const QVariant v = rs.value(0);
    QCOMPARE(v.metaType(), expected.metaType());
    if (expected.metaType() == QMetaType::fromType<Currency>())
        QCOMPARE(qint64(v.value<Currency>().raw()), qint64(expected.value<Currency>().raw()));
    else
        QCOMPARE(v, expected);
}

void tst_Database::nullConversion_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("cur") << u"curCost"_s << cur(0);
    QTest::newRow("lng") << u"lngSort"_s << QVariant(qint64(0));
    QTest::newRow("date") << u"date1"_s << QVariant(u"1000/01/01 00:00:00"_s);
    QTest::newRow("str") << u"strItem"_s << QVariant(QString());
    QTest::newRow("bln") << u"blnChange"_s << QVariant(false);
    QTest::newRow("declared integer") << u"n"_s << QVariant(qint64(0));
    QTest::newRow("declared text") << u"t"_s << QVariant(QString());
    QTest::newRow("sum over no rows")
        << u"(SELECT Sum(curCost) FROM T_DATA2) AS curSum"_s << cur(0);
}

void tst_Database::nullConversion() {
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"CREATE TABLE T_X (n INTEGER, t TEXT)"_s));
    QVERIFY(db.executeSQL(u"INSERT INTO T_X VALUES (NULL, NULL)"_s));
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID) VALUES (1)"_s));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT "_s + column + u" FROM T_DATA1, T_X"_s));
    QVERIFY(rs.isNull(0));
    const QVariant v = rs.getFldData(0);
    QCOMPARE(v.metaType(), expected.metaType());
    if (expected.metaType() == QMetaType::fromType<Currency>())
        QVERIFY(v.value<Currency>().isZero());
    else
        QCOMPARE(v, expected);
}

void tst_Database::emptyResult() {
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT strItem FROM T_DATA2 WHERE lngMasterID = ?"_s, {5}));
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.eof());
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(!rs.moveFirst());
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"clsQuilloFunc_MDBDAO_MoveFirst"_s});
}

void tst_Database::refusesBadStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QString>("logged");
    QTest::newRow("blank") << u"   "_s << QVariantList() << u"SQL=\r\n"_s;
    QTest::newRow("syntax error") << u"DELETE FRM T_DATA1"_s << QVariantList()
                                  << u"SQL=DELETE FRM T_DATA1"_s;
    QTest::newRow("second statement")
        << u"DELETE FROM T_DATA1 WHERE lngSort = 1; DELETE FROM T_DATA1"_s << QVariantList()
        << u"more than one statement"_s;
    QTest::newRow("too few values") << u"DELETE FROM T_DATA1 WHERE lngSort = ? OR lngSort = ?"_s
                                    << QVariantList{1} << u"2 placeholders, 1 values"_s;
    QTest::newRow("too many values") << u"DELETE FROM T_DATA1 WHERE lngSort = ?"_s
                                     << QVariantList{1, 2} << u"1 placeholders, 2 values"_s;
}

void tst_Database::refusesBadStatements() {
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);
    QFETCH(QString, logged);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1), (2)"_s));
    QVERIFY(!gdbData().executeSQL(sql, params));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"DbExecuteSQL"_s});
    QVERIFY2(m_folder->errorLog().contains(logged), qPrintable(m_folder->errorLog()));
    QCOMPARE(rows(u"SELECT lngID FROM T_DATA1"_s), 2);
    ResultSet rs(gdbData());
    QVERIFY(!rs.openRecordSet(sql, params, u"mProbe"_s));
    QVERIFY(m_folder->errorLog().contains(u"mProbe"_s));
}

void tst_Database::classViewsAreUpdatable() {
    Database& db = gdbData();
    for (int n = 1; n <= 3; ++n) {
        const QString view = u"Q_DATA_CLASS%1"_s.arg(n);
        QVERIFY(
            db.executeSQL(u"INSERT INTO "_s + view +
                              u" (strClassItem, lngSort, blnEnable) VALUES (?, 2, 1), (?, 1, 0)"_s,
                          {u"後"_s, u"先"_s}));
        QVERIFY(db.executeSQL(u"UPDATE "_s + view + u" SET strClassItem = ? WHERE lngSort = 2"_s,
                              {u"変更"_s}));
        QVERIFY(db.executeSQL(u"DELETE FROM "_s + view + u" WHERE strClassItem = ?"_s, {u"先"_s}));
        ResultSet rs(db);
        QVERIFY(rs.openRecordSet(u"SELECT strClassItem FROM T_DATA_CLASS%1"_s.arg(n)));
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.text(0), u"変更"_s);
    }
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
    QCOMPARE(rows(u"SELECT lngSort FROM T_DATA1 WHERE lngSort IN (1, 3)"_s), 2);
    QCOMPARE(rows(u"SELECT lngSort FROM T_DATA1"_s), 2);
    {
        // An outer rollback also drops what an inner transaction committed.
        Transaction outer(db);
        Transaction inner(db);
        QVERIFY(db.executeSQL(u"DELETE FROM T_DATA1"_s));
        QVERIFY(inner.commit());
    }
    QCOMPARE(rows(u"SELECT lngSort FROM T_DATA1"_s), 2);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Database::compactsIntoFirstFreeName() {
    QVERIFY(fill(2000));
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA1 WHERE lngSort >= 10"_s));
    DbClose();
    const QString folder = QFileInfo(m_folder->dbPath()).absolutePath();
    const QString taken = folder + u"/CompactDataBase1.mdb"_s;
    QVERIFY(writeFile(taken, "someone else's file"));
    const qint64 before = QFileInfo(m_folder->dbPath()).size();

    QVERIFY(DbCompactDataBase(m_folder->dbPath()));

    QVERIFY(QFileInfo(m_folder->dbPath()).size() < before / 4);
    QCOMPARE(readFile(taken), QByteArray("someone else's file"));
    QCOMPARE(compactFiles(folder), QStringList{u"CompactDataBase1.mdb"_s});
    QVERIFY(DbInit(m_folder->dbPath()));
    QCOMPARE(rows(u"SELECT lngSort, strNote FROM T_DATA1"_s), 10);
    QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Database::compactionFailureKeepsFile_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("not a database") << u"text"_s;
    QTest::newRow("damaged pages") << u"damaged"_s;
    QTest::newRow("missing file") << u"missing"_s;
}

void tst_Database::compactionFailureKeepsFile() {
    QFETCH(QString, cause);
    QString path = m_folder->dbPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (cause == u"damaged"_s) {
        // The header stays valid, so the copy starts and fails half-way through the pages.
        QVERIFY(fill(250));
        DbClose();
        QByteArray bytes = readFile(path);
        bytes.replace(20000, 16000, QByteArray(16000, '\xff'));
        QVERIFY(writeFile(path, bytes));
    } else {
        DbClose();
        if (cause == u"text"_s)
            QVERIFY(writeFile(path, "this is a note, not a database\n"));
        else
            path = folder + u"/db9"_s;
    }
    const QByteArray before = readFile(m_folder->dbPath());
    QVERIFY(!DbCompactDataBase(path));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList{u"DbCompactDataBase"_s});
    QVERIFY(compactFiles(folder).isEmpty());
    QCOMPARE(readFile(m_folder->dbPath()), before);
}

void tst_Database::compactionRefusedWhileOpen() {
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1)"_s));
    QVERIFY(!DbCompactDataBase(m_folder->dbPath()));
    QVERIFY(m_folder->errorLog().contains(u"DbCompactDataBase"_s));
    // The open connection still writes into the file that stays in place; once closed, the
    // file alone holds every committed line.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (2)"_s));
    DbClose();
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + u"-wal"_s));
    const QString copy = m_folder->dbPath() + u".copy"_s;
    QVERIFY(QFile::copy(m_folder->dbPath(), copy));
    QVERIFY(DbInit(copy));
    QCOMPARE(rows(u"SELECT lngSort FROM T_DATA1"_s), 2);
    QVERIFY(compactFiles(QFileInfo(copy).absolutePath()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_Database)
#include "tst_Database.moc"
