#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The three readers on one setting number, as "lng cur str"; succeeded counts the readers that
// returned true. A reader that fails leaves -777, -777 and "unchanged".
QString readAll(int number, int& succeeded) {
    qint32 l = -777;
    Currency c = Currency::fromInt(-777);
    QString s = u"unchanged"_s;
    succeeded = int(gGetSystemLngField(number, l, 42)) +
                int(gGetSystemCurField(number, c, Currency::fromInt(5))) +
                int(gGetSystemStrField(number, s, u"default"_s));
    return u"%1 %2 %3"_s.arg(l).arg(c.toString(), s);
}

} // namespace

class tst_Settings : public DataFileTest {
    Q_OBJECT
private slots:
    void readers();
    void writersReplaceTheOneRow();
    void defaultsAndRefusals();
    void failedWriteKeepsOldRowAndCallersWork();
};

void tst_Settings::readers() {
    int succeeded = 0;
    // No row: the default.
    QCOMPARE(readAll(32, succeeded), u"42 5 default"_s);
    QCOMPARE(succeeded, 3);
    // Two rows of one number: a failure that leaves the value alone.
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_SYSTEM (lngID, lngField, curField, strField, blnField) VALUES "
        "(12, 1, 10000, 'a', 1), (12, 2, 20000, 'b', 1)"_s));
    QCOMPARE(readAll(12, succeeded), u"-777 -777 unchanged"_s);
    QCOMPARE(succeeded, 0);
    // A row whose own column is empty is a row: the reader gives the Null conversion.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, datField) VALUES (0, ?)"_s,
                                 {QDateTime(QDate(2024, 3, 5), QTime(10, 15))}));
    QCOMPARE(readAll(0, succeeded), u"0 0 "_s);
    QCOMPARE(succeeded, 3);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

// Written twice: the second value replaces the first in the one row of the number, in its own
// column only (an amount as its raw integer, text as given), and reads back as written.
void tst_Settings::writersReplaceTheOneRow() {
    QVERIFY(gSetSystemCurField(32, Currency::fromInt(8)) &&
            gSetSystemCurField(32, Currency::fromRaw(55000)));
    QVERIFY(gSetSystemStrField(33, u"一回目"_s) && gSetSystemStrField(33, u"O'Hara 50%"_s));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(
        u"SELECT group_concat(lngID || ' ' || typeof(curField) || ' ' || typeof(strField) || ' ' "
        "|| coalesce(curField, strField) || ' ' || (lngField IS NULL) || (blnField IS NULL), "
        "', ') AS strRows FROM (SELECT * FROM T_SYSTEM WHERE lngID IN (32, 33) ORDER BY lngID)"_s));
    QCOMPARE(rs.text(0), u"32 integer null 55000 11, 33 null text O'Hara 50% 11"_s);
    int succeeded = 0;
    QCOMPARE(readAll(32, succeeded) + u'|' + readAll(33, succeeded), u"0 5.5 |0 0 O'Hara 50%"_s);
}

void tst_Settings::defaultsAndRefusals() {
    QString caption;
    QVERIFY(gGetDataCaption(2, caption));
    QCOMPARE(caption, u"売上"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);

    caption = u"kept"_s;
    QVERIFY(!gGetDataCaption(3, caption));
    QCOMPARE(caption, u"kept"_s);
    qint32 v = 3;
    QVERIFY(!gGetSystemLngField(8, v, 20, u"T_SYSTEM; DROP TABLE T_MASTER"_s));
    QVERIFY(!gSetSystemLngField(8, 1, u"T_SYSTEM WHERE 1"_s));
    QCOMPARE(dataRowCount(u"SELECT lngID FROM T_SYSTEM WHERE lngID = 8"_s), 0);
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (46, ?)"_s,
                                 {qint64(1) << 40}));
    QVERIFY(!gGetSystemLngField(46, v, 0));
    QCOMPARE(v, 3);
    // A number the settings table does not hold has no default to read with.
    QVERIFY(!gGetSetting(3, v));
    QCOMPARE(v, 3);
    QCOMPARE(m_folder->errorLogProcedures(),
             (QStringList{u"gGetDataCaption"_s, u"gGetSystemLngField"_s, u"gSetSystemLngField"_s,
                          u"gGetSystemLngField"_s, u"gGetSystemLngField"_s}));
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
    // The old rows, one of each number (a reader fails on two).
    int succeeded = 0;
    QCOMPARE(readAll(8, succeeded) + u'|' + readAll(9, succeeded) + u'|' + readAll(13, succeeded),
             u"15 0 |1 0 |0 0 古い値"_s);
    QCOMPARE(dataRowCount(u"SELECT lngSort FROM T_DATA1"_s), 1);
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
