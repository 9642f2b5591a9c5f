#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// One reader call of any type, its result as text for comparisons.
using Reader = std::function<bool(int number, QString& shown)>;

Reader readerFor(const QString& type) {
    if (type == u"lng"_s)
        return [](int n, QString& shown) {
            qint32 v = -777;
            const bool ok = gGetSystemLngField(n, v, 42);
            shown = QString::number(v);
            return ok;
        };
    if (type == u"cur"_s)
        return [](int n, QString& shown) {
            Currency v = Currency::fromInt(-777);
            const bool ok = gGetSystemCurField(n, v, Currency::fromInt(5));
            shown = QString::number(v.raw());
            return ok;
        };
    return [](int n, QString& shown) {
        QString v = u"unchanged"_s;
        const bool ok = gGetSystemStrField(n, v, u"default"_s);
        shown = v;
        return ok;
    };
}

} // namespace

class tst_Settings : public DataFileTest {
    Q_OBJECT
private slots:
    void readers_data();
    void readers();
    void storedForms_data();
    void storedForms();
    void defaultsAndRefusals();
    void failedWriteKeepsOldRowAndCallersWork();
};

void tst_Settings::readers_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("byDefault");
    QTest::addColumn<QString>("unchanged");
    QTest::addColumn<QString>("ofNull");
    QTest::newRow("lng") << u"lng"_s << u"42"_s << u"-777"_s << u"0"_s;
    QTest::newRow("cur") << u"cur"_s << u"50000"_s << u"-7770000"_s << u"0"_s;
    QTest::newRow("str") << u"str"_s << u"default"_s << u"unchanged"_s << QString();
}

void tst_Settings::readers() {
    QFETCH(QString, type);
    QFETCH(QString, byDefault);
    QFETCH(QString, unchanged);
    QFETCH(QString, ofNull);
    const Reader read = readerFor(type);
    QString shown;
    // No row: the default.
    QVERIFY(read(32, shown));
    QCOMPARE(shown, byDefault);
    // Two rows of one number: a failure that leaves the value alone.
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_SYSTEM (lngID, lngField, curField, strField, blnField) VALUES "
        "(12, 1, 10000, 'a', 1), (12, 2, 20000, 'b', 1)"_s));
    QVERIFY(!read(12, shown));
    QCOMPARE(shown, unchanged);
    // A row whose own column is empty is a row: the reader gives the Null conversion.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, datField) VALUES (0, ?)"_s,
                                 {QDateTime(QDate(2024, 3, 5), QTime(10, 15))}));
    QVERIFY(read(0, shown));
    QCOMPARE(shown, ofNull);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Settings::storedForms_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("sqliteType");
    QTest::addColumn<QString>("stored");
    QTest::newRow("currency 5.5") << u"cur"_s << u"curField"_s << u"integer"_s << u"55000"_s;
    QTest::newRow("quoted text") << u"str"_s << u"strField"_s << u"text"_s << u"O'Hara 50%"_s;
}

void tst_Settings::storedForms() {
    QFETCH(QString, type);
    QFETCH(QString, column);
    QFETCH(QString, sqliteType);
    QFETCH(QString, stored);
    // Written twice: the second value replaces the first in the one row of the number.
    const int n = 32;
    if (type == u"cur"_s) {
        QVERIFY(gSetSystemCurField(n, Currency::fromInt(8)));
        QVERIFY(gSetSystemCurField(n, Currency::fromRaw(55000)));
    } else {
        QVERIFY(gSetSystemStrField(n, u"一回目"_s));
        QVERIFY(gSetSystemStrField(n, stored));
    }
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT typeof(%1), CAST(%1 AS TEXT), (lngField IS NOT NULL) + "
                             "(curField IS NOT NULL) + (blnField IS NOT NULL) + "
                             "(strField IS NOT NULL) FROM T_SYSTEM WHERE lngID = ?"_s.arg(column),
                             {n}));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), sqliteType);
    QCOMPARE(rs.text(1), stored);
    QCOMPARE(rs.lng(2), 1); // the other value columns stay NULL
    QString shown;
    QVERIFY(readerFor(type)(n, shown));
    QCOMPARE(shown, stored); // read back as written
}

void tst_Settings::defaultsAndRefusals() {
    qint32 v = 0;
    QVERIFY(gGetSystemCloseDay(v));
    QCOMPARE(v, 20);
    QString caption;
    QVERIFY(gGetDataCaption(2, caption));
    QCOMPARE(caption, u"売上"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);

    caption = u"kept"_s;
    QVERIFY(!gGetDataCaption(3, caption));
    QCOMPARE(caption, u"kept"_s);
    v = 3;
    QVERIFY(!gGetSystemLngField(8, v, 20, u"T_SYSTEM; DROP TABLE T_MASTER"_s));
    QVERIFY(!gSetSystemLngField(8, 1, u"T_SYSTEM WHERE 1"_s));
    QCOMPARE(dataRowCount(u"SELECT lngID FROM T_SYSTEM WHERE lngID = 8"_s), 0);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (46, ?)"_s,
                                 {qint64(1) << 40}));
    QVERIFY(!gGetSystemLngField(46, v, 0));
    QCOMPARE(v, 3);
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{u"gGetDataCaption"_s, u"gGetSystemLngField"_s, u"gSetSystemLngField"_s,
                          u"gGetSystemLngField"_s}));
}

void tst_Settings::failedWriteKeepsOldRowAndCallersWork() {
    Database& db = gdbData();
    QVERIFY(gSetSystemLngField(9, 1));
    QVERIFY(gSetSystemStrField(13, u"古い値"_s));
    {
        Transaction outer(db);
        QVERIFY(db.executeSQL(u"INSERT INTO T_DATA1 (lngSort) VALUES (1)"_s));
        QVERIFY(gSetSystemLngField(8, 15));
        QVERIFY(db.executeSQL(u"CREATE TRIGGER T_SYSTEM_NO_INSERT BEFORE INSERT ON T_SYSTEM "
                              "BEGIN SELECT RAISE(ABORT, 'inserts refused'); END"_s));
        // A failed writer undoes only its own DELETE; the caller's work stays.
        QVERIFY(!gSetSystemLngField(9, 0));
        QVERIFY(!gSetSystemStrField(13, u"新しい値"_s));
        QVERIFY(db.executeSQL(u"DROP TRIGGER T_SYSTEM_NO_INSERT"_s));
        QVERIFY(outer.commit());
    }
    QVERIFY(m_folder->errorLog().contains(u"inserts refused"_s));
    qint32 v = 0;
    QVERIFY(gGetSystemCloseDay(v));
    QCOMPARE(v, 15);
    QVERIFY(gGetSystemLngField(9, v, 0));
    QCOMPARE(v, 1);
    QString text;
    QVERIFY(gGetSystemStrField(13, text, QString()));
    QCOMPARE(text, u"古い値"_s);
    QCOMPARE(dataRowCount(u"SELECT lngID FROM T_SYSTEM WHERE lngID = 9"_s), 1);
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1"_s), 1);
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
