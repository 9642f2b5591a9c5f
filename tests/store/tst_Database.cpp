#include "TestData.h"
#include "TestServices.h"
#include "store/Currency.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>
#include <unistd.h>

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

} // namespace

class tst_Database : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void storesTextExactly_data();
    void storesTextExactly();
    void nullAndEmptyTextStayApart();
    void typesByColumnName_data();
    void typesByColumnName();
    void nullConversion_data();
    void nullConversion();
    void countsExactly_data();
    void countsExactly();
    void emptyResult();
    void refusesBadStatements_data();
    void refusesBadStatements();
    void classViewsAreUpdatable_data();
    void classViewsAreUpdatable();
    void nestedTransactionUndoesOnlyItsOwn();
    void refusesForeignSchemaVersion_data();
    void refusesForeignSchemaVersion();

    void compactsIntoFirstFreeName();
    void compactionFailureKeepsFile_data();
    void compactionFailureKeepsFile();
    void compactionRefusedWhileOpen();
    void closedFileStandsAlone();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
};

void tst_Database::init() {
    TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void tst_Database::cleanup() {
    m_folder.reset();
}

void tst_Database::storesTextExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("single quote") << u"O'Reilly's"_s;
    QTest::newRow("double quote") << u"say \"hi\""_s;
    QTest::newRow("wildcards") << u"*100%*"_s;
    QTest::newRow("SQL text") << u"x'); DELETE FROM T_DATA1; --"_s;
    QTest::newRow("surrounding spaces") << u"  spaced  "_s;
    QTest::newRow("japanese") << u"ｶﾀｶﾅ と 漢字"_s;
}

void tst_Database::storesTextExactly() {
    QFETCH(QString, text);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, strItem) VALUES (?, ?)"_s,
                          {1, u"other"_s}));
    QVERIFY(
        db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, strItem) VALUES (?, ?)"_s, {1, text}));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT strItem FROM T_DATA1 WHERE strItem = ?"_s, {text}));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), text);
    QVERIFY(rs.openRecordSet(u"SELECT lngID FROM T_DATA1"_s));
    QCOMPARE(rs.recordCount(), 2);
}

void tst_Database::nullAndEmptyTextStayApart() {
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort, strItem) VALUES (1, ?)"_s, {QVariant()}));
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort, strItem) VALUES (2, ?)"_s, {QString()}));
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort, strItem) VALUES (3, ?)"_s, {u""_s}));
    ResultSet rs(db);
    QVERIFY(
        rs.openRecordSet(u"SELECT typeof(strItem) AS t, strItem FROM T_DATA1 ORDER BY lngSort"_s));
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.text(0), u"null"_s);
    QVERIFY(rs.isNull(1));
    QVERIFY(rs.moveNext());
    QCOMPARE(rs.text(0), u"text"_s);
    QVERIFY(!rs.isNull(1));
    QVERIFY(rs.moveNext());
    QCOMPARE(rs.text(0), u"text"_s);
    QCOMPARE(rs.value(1), QVariant(QString()));
}

void tst_Database::typesByColumnName_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("cur") << u"SELECT 12345000 AS curX"_s
                         << QVariant::fromValue(Currency::fromRaw(12345000));
    QTest::newRow("cur real") << u"SELECT avg(curCost) AS curAvg FROM T_DATA1"_s
                              << QVariant::fromValue(Currency::fromRaw(15000));
    QTest::newRow("sum of cur") << u"SELECT Sum(curCost) FROM T_DATA1"_s
                                << QVariant::fromValue(Currency::fromRaw(30000));
    QTest::newRow("qualified cur") << u"SELECT T_DATA1.curCost FROM T_DATA1 WHERE lngSort=1"_s
                                   << QVariant::fromValue(Currency::fromRaw(10000));
    QTest::newRow("count of cur is a number")
        << u"SELECT Count(curCost) FROM T_DATA1"_s << QVariant(qint64(2));
    QTest::newRow("unaliased expression is not typed")
        << u"SELECT curCost * curCost FROM T_DATA1 WHERE lngSort=2"_s
        << QVariant(qint64(400000000));
    QTest::newRow("sum of an expression is not typed")
        << u"SELECT Sum(curCost * 2) FROM T_DATA1"_s << QVariant(qint64(60000));
    QTest::newRow("aliased expression is typed") << u"SELECT curCost * 2 AS curDouble FROM "
                                                    "T_DATA1 WHERE lngSort=1"_s
                                                 << QVariant::fromValue(Currency::fromInt(2));
    QTest::newRow("bln true") << u"SELECT 1 AS blnX"_s << QVariant(true);
    QTest::newRow("bln false") << u"SELECT 0 AS BLNX"_s << QVariant(false);
    QTest::newRow("lng") << u"SELECT 7 AS lngX"_s << QVariant(qint64(7));
    QTest::newRow("max of lng") << u"SELECT Max(lngSort) FROM T_DATA1"_s << QVariant(qint64(2));
    QTest::newRow("date") << u"SELECT '2024-03-05' AS datX"_s << QVariant(QDate(2024, 3, 5));
    QTest::newRow("date1") << u"SELECT date1 FROM T_DATA1 WHERE lngSort=1"_s
                           << QVariant(QDate(2024, 2, 29));
    QTest::newRow("time stamp") << u"SELECT '2024-03-05 10:15:00' AS datLastUpdate"_s
                                << QVariant(QDateTime(QDate(2024, 3, 5), QTime(10, 15)));
    QTest::newRow("date text in no stored form")
        << u"SELECT '2024/03/05' AS datX"_s << QVariant(u"2024/03/05"_s);
    QTest::newRow("str of a number") << u"SELECT 7 AS strX"_s << QVariant(u"7"_s);
    QTest::newRow("untyped integer") << u"SELECT 7 AS other"_s << QVariant(qint64(7));
    QTest::newRow("untyped real") << u"SELECT 2.5 AS other"_s << QVariant(2.5);
    QTest::newRow("untyped text") << u"SELECT 'x' AS other"_s << QVariant(u"x"_s);
}

void tst_Database::typesByColumnName() {
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(
        u"INSERT INTO T_DATA1 (lngSort, date1, curCost) VALUES (1, ?, ?), (2, NULL, ?)"_s,
        {QDate(2024, 2, 29), QVariant::fromValue(Currency::fromInt(1)),
         QVariant::fromValue(Currency::fromInt(2))}));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(sql));
    QCOMPARE(rs.recordCount(), 1);
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
    QTest::newRow("cur") << u"curCost"_s << QVariant::fromValue(Currency());
    QTest::newRow("lng") << u"lngSort"_s << QVariant(qint64(0));
    QTest::newRow("date") << u"date1"_s << QVariant(u"1000/01/01 00:00:00"_s);
    QTest::newRow("str") << u"strItem"_s << QVariant(QString());
    QTest::newRow("bln") << u"blnChange"_s << QVariant(false);
    QTest::newRow("declared integer") << u"n"_s << QVariant(qint64(0));
    QTest::newRow("declared text") << u"t"_s << QVariant(QString());
    QTest::newRow("sum over no rows")
        << u"(SELECT Sum(curCost) FROM T_DATA2) AS curSum"_s << QVariant::fromValue(Currency());
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
    QCOMPARE(rs.recordCount(), 1);
    QVERIFY(rs.isNull(0));
    const QVariant v = rs.getFldData(0);
    QCOMPARE(v.metaType(), expected.metaType());
    if (expected.metaType() == QMetaType::fromType<Currency>())
        QVERIFY(v.value<Currency>().isZero());
    else
        QCOMPARE(v, expected);
}

void tst_Database::countsExactly_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("count");
    QTest::newRow("all") << QString() << 250;
    QTest::newRow("one supplier") << u" WHERE lngMasterID = 3"_s << 25;
    QTest::newRow("none") << u" WHERE lngMasterID = 99"_s << 0;
}

void tst_Database::countsExactly() {
    QFETCH(QString, where);
    QFETCH(int, count);
    Database& db = gdbData();
    Transaction t(db);
    for (int i = 0; i < 250; ++i)
        QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngMasterID, lngSort) VALUES (?, ?)"_s,
                              {i % 10, i}));
    QVERIFY(t.commit());
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT lngID, lngSort FROM T_DATA1"_s + where));
    QCOMPARE(rs.recordCount(), count);
    int seen = 0;
    for (bool more = count > 0 && rs.moveFirst(); more && !rs.eof(); rs.moveNext())
        ++seen;
    QCOMPARE(seen, count);
}

void tst_Database::emptyResult() {
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT strItem FROM T_DATA2 WHERE lngMasterID = ?"_s, {5}));
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.eof());
    QVERIFY(!rs.value(0).isValid());
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(!rs.moveFirst());
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"clsQuilloFunc_MDBDAO_MoveFirst"_s));
    QVERIFY(m_folder->errorLog().contains(u"レコードが無いため、移動できませんでした。"_s));
}

void tst_Database::refusesBadStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<QString>("logged");

    QTest::newRow("blank") << u"   "_s << QVariantList() << u"SQL=\r\n"_s;
    QTest::newRow("empty") << QString() << QVariantList() << u"SQL=\r\n"_s;
    QTest::newRow("syntax error") << u"DELETE FRM T_DATA1"_s << QVariantList()
                                  << u"SQL=DELETE FRM T_DATA1"_s;
    QTest::newRow("unknown table")
        << u"DELETE FROM T_NONE"_s << QVariantList() << u"SQL=DELETE FROM T_NONE"_s;
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
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1), (2)"_s));
    QVERIFY(!db.executeSQL(sql, params));
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"DbExecuteSQL"_s));
    QVERIFY2(m_folder->errorLog().contains(logged), qPrintable(m_folder->errorLog()));
    // Nothing was changed by the refused text.
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT lngID FROM T_DATA1"_s));
    QCOMPARE(rs.recordCount(), 2);
    // The result set refuses the same texts under its own name.
    if (!sql.trimmed().isEmpty()) {
        QVERIFY(!rs.openRecordSet(sql, params, u"mProbe"_s));
        QVERIFY(m_folder->errorLog().contains(u"mProbe"_s));
    }
}

void tst_Database::classViewsAreUpdatable_data() {
    QTest::addColumn<int>("n");
    for (int n = 1; n <= 3; ++n)
        QTest::addRow("class %d", n) << n;
}

void tst_Database::classViewsAreUpdatable() {
    QFETCH(int, n);
    Database& db = gdbData();
    const QString view = u"Q_DATA_CLASS%1"_s.arg(n);
    const QString table = u"T_DATA_CLASS%1"_s.arg(n);
    QVERIFY(db.executeSQL(u"INSERT INTO "_s + view +
                              u" (strClassItem, lngSort, blnEnable) VALUES (?, ?, ?), (?, ?, ?)"_s,
                          {u"後"_s, 2, true, u"先"_s, 1, false}));
    QVERIFY(db.executeSQL(u"UPDATE "_s + view + u" SET strClassItem = ? WHERE lngSort = 2"_s,
                          {u"変更"_s}));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT strClassItem, blnEnable FROM "_s + view));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.text(0), u"先"_s);
    QCOMPARE(rs.bln(1), false);
    QVERIFY(rs.moveNext());
    QCOMPARE(rs.text(0), u"変更"_s);
    QVERIFY(db.executeSQL(u"DELETE FROM "_s + view + u" WHERE strClassItem = ?"_s, {u"先"_s}));
    QVERIFY(rs.openRecordSet(u"SELECT strClassItem FROM "_s + table));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), u"変更"_s);
}

void tst_Database::nestedTransactionUndoesOnlyItsOwn() {
    Database& db = gdbData();
    ResultSet rs(db);
    {
        Transaction outer(db);
        QVERIFY(outer.ok());
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
    QVERIFY(rs.openRecordSet(u"SELECT lngSort FROM T_DATA1 ORDER BY lngSort"_s));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.lng(0), 1);
    rs.moveNext();
    QCOMPARE(rs.lng(0), 3);
    {
        // An outer rollback also drops what an inner transaction committed.
        Transaction outer(db);
        {
            Transaction inner(db);
            QVERIFY(db.executeSQL(u"DELETE FROM T_DATA1"_s));
            QVERIFY(inner.commit());
        }
    }
    QVERIFY(rs.openRecordSet(u"SELECT lngSort FROM T_DATA1"_s));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Database::refusesForeignSchemaVersion_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("opens");
    QTest::newRow("current") << kDbSchemaVersion << true;
    QTest::newRow("no schema") << 0 << false;
    QTest::newRow("later program") << kDbSchemaVersion + 1 << false;
}

void tst_Database::refusesForeignSchemaVersion() {
    QFETCH(int, version);
    QFETCH(bool, opens);
    QVERIFY(gdbData().executeSQL(u"PRAGMA user_version = %1"_s.arg(version)));
    DbClose();
    QCOMPARE(DbInit(m_folder->dbPath()), opens);
    QCOMPARE(gdbData().isOpen(), opens);
    QCOMPARE(m_folder->errorLog().contains(u"DbInit"_s), !opens);
}

void tst_Database::compactsIntoFirstFreeName() {
    Database& db = gdbData();
    {
        Transaction t(db);
        for (int i = 0; i < 2000; ++i)
            QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort, strNote) VALUES (?, ?)"_s,
                                  {i, QString(200, QLatin1Char('x'))}));
        QVERIFY(t.commit());
    }
    QVERIFY(db.executeSQL(u"DELETE FROM T_DATA1 WHERE lngSort >= 10"_s));
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
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT lngSort, strNote FROM T_DATA1"_s));
    QCOMPARE(rs.recordCount(), 10);
    QCOMPARE(gdbData().schemaVersion(), kDbSchemaVersion);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Database::compactionFailureKeepsFile_data() {
    QTest::addColumn<QString>("cause");
    QTest::newRow("not a database") << u"text"_s;
    QTest::newRow("damaged pages") << u"damaged"_s;
    QTest::newRow("read-only folder") << u"readonly"_s;
    QTest::newRow("missing file") << u"missing"_s;
    QTest::newRow("blank path") << u"blank"_s;
}

void tst_Database::compactionFailureKeepsFile() {
    QFETCH(QString, cause);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1)"_s));
    DbClose();
    const QString folder = QFileInfo(m_folder->dbPath()).absolutePath();
    QString path = m_folder->dbPath();
    if (cause == u"text"_s) {
        QVERIFY(writeFile(path, "this is a note, not a database\n"));
    } else if (cause == u"damaged"_s) {
        // The header stays valid, so the copy starts and fails half-way through the pages.
        QVERIFY(DbInit(path));
        {
            Transaction t(gdbData());
            for (int i = 0; i < 500; ++i)
                QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (strNote) VALUES (?)"_s,
                                             {QString(100, QLatin1Char('y'))}));
            QVERIFY(t.commit());
        }
        DbClose();
        QByteArray bytes = readFile(path);
        QVERIFY(bytes.size() > 40000);
        bytes.replace(20000, 16000, QByteArray(16000, '\xff'));
        QVERIFY(writeFile(path, bytes));
    } else if (cause == u"readonly"_s) {
        if (geteuid() == 0)
            QSKIP("folder permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (cause == u"missing"_s) {
        path = folder + u"/db9"_s;
    } else {
        path = u"   "_s;
    }
    const QByteArray before = readFile(m_folder->dbPath());
    QVERIFY(!before.isEmpty());

    const bool ok = DbCompactDataBase(path);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!ok);
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"DbCompactDataBase"_s));
    QVERIFY(compactFiles(folder).isEmpty());
    QCOMPARE(readFile(m_folder->dbPath()), before);
    if (cause != u"text"_s && cause != u"damaged"_s) {
        QVERIFY(DbInit(m_folder->dbPath()));
        ResultSet rs(gdbData());
        QVERIFY(rs.openRecordSet(u"SELECT lngSort FROM T_DATA1"_s));
        QCOMPARE(rs.recordCount(), 1);
    }
}

void tst_Database::compactionRefusedWhileOpen() {
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1)"_s));
    QVERIFY(!DbCompactDataBase(m_folder->dbPath()));
    QVERIFY(m_folder->errorLog().contains(u"DbCompactDataBase"_s));
    // The open connection still writes into the file that stays in place.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (2)"_s));
    DbClose();
    QVERIFY(DbInit(m_folder->dbPath()));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT lngSort FROM T_DATA1"_s));
    QCOMPARE(rs.recordCount(), 2);
    QVERIFY(compactFiles(QFileInfo(m_folder->dbPath()).absolutePath()).isEmpty());
}

// While open, commits go through a write-ahead log; once closed, the file alone holds every
// committed line, so copying or replacing it (backup, restore) loses nothing.
void tst_Database::closedFileStandsAlone() {
    ResultSet mode(gdbData());
    QVERIFY(mode.openRecordSet(u"PRAGMA journal_mode"_s));
    QCOMPARE(mode.text(0), u"wal"_s);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (7)"_s));
    DbClose();
    QVERIFY(!QFileInfo::exists(m_folder->dbPath() + u"-wal"_s));
    const QString copy = m_folder->dbPath() + u".copy"_s;
    QVERIFY(QFile::copy(m_folder->dbPath(), copy));
    Database db;
    QVERIFY(db.open(copy));
    ResultSet rs(db);
    QVERIFY(rs.openRecordSet(u"SELECT lngSort FROM T_DATA1"_s));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.lng(0), 7);
}

QTEST_GUILESS_MAIN(tst_Database)
#include "tst_Database.moc"
