#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QDate d(const char* text) {
    return QDate::fromString(QString::fromLatin1(text), u"yyyy/MM/dd"_s);
}

} // namespace

class tst_Period : public DataFileTest {
    Q_OBJECT
private slots:
    void currentMonthTerm_data();
    void currentMonthTerm();
    void unusableCloseDay_data();
    void unusableCloseDay();
    void termLists();
    void roundOff_data();
    void roundOff();
    void roundOffUnknownMode();
};

void tst_Period::currentMonthTerm_data() {
    QTest::addColumn<int>("closeDay"); // 0: no setting stored (20)
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("back"); // days back from the date
    QTest::addColumn<QString>("term");
    QTest::addColumn<bool>("isClose"); // the date itself is a close day
    const auto row = [](const char* name, int closeDay, const char* date, int back,
                        const char* term, bool isClose) {
        QTest::newRow(name) << closeDay << d(date) << back << QString::fromLatin1(term) << isClose;
    };
    row("20: on the close day", 20, "2024/03/20", 0, "2024/02/21-2024/03/20", true);
    row("20: day after", 20, "2024/03/21", 0, "2024/03/21-2024/04/20", false);
    row("31: leap february", 31, "2024/02/29", 0, "2024/02/01-2024/02/29", true);
    row("30: leap february end", 30, "2024/02/29", 0, "2024/01/31-2024/02/29", true);
    row("29: common february", 29, "2023/02/28", 0, "2023/01/30-2023/02/28", true);
    row("29: leap february", 29, "2024/02/29", 0, "2024/01/30-2024/02/29", true);
    row("28: leap day", 28, "2024/02/29", 0, "2024/02/29-2024/03/28", false);
    row("back onto the close day", 0, "2024/03/30", 10, "2024/02/21-2024/03/20", false);
    row("not back across it", 0, "2024/03/31", 10, "2024/03/21-2024/04/20", false);
    row("negative is ignored", 0, "2024/03/15", -10, "2024/02/21-2024/03/20", false);
}

void tst_Period::currentMonthTerm() {
    QFETCH(int, closeDay);
    QFETCH(QDate, date);
    QFETCH(int, back);
    QFETCH(QString, term);
    QFETCH(bool, isClose);
    if (closeDay)
        QVERIFY(gSetSystemLngField(8, closeDay));
    qint32 stored = 0;
    QVERIFY(gGetSystemCloseDay(stored));
    QString s, e;
    QVERIFY(gGetCurrentMonthTerm(date, stored, s, e, back));
    QCOMPARE(s + u'-' + e, term);
    bool flag = !isClose;
    QVERIFY(gChkCloseDay(date, stored, flag));
    QCOMPARE(flag, isClose);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Period::unusableCloseDay_data() {
    QTest::addColumn<int>("closeDay");
    QTest::newRow("zero") << 0;
    QTest::newRow("thirty-two") << 32;
}

void tst_Period::unusableCloseDay() {
    QFETCH(int, closeDay);
    QString s = u"s"_s, e = u"e"_s;
    QVERIFY(!gGetCurrentMonthTerm(d("2024/03/15"), closeDay, s, e, 0));
    QCOMPARE(s + e, u"se"_s);
    bool flag = true;
    QVERIFY(!gChkCloseDay(d("2024/03/20"), closeDay, flag));
    TermLists lists;
    QVERIFY(!gGetTermLists(d("2024/03/05"), closeDay, lists));
    QVERIFY(flag);
    QVERIFY(m_folder->errorLog().contains(u"gGetCurrentMonthTerm"_s));
    QVERIFY(m_folder->errorLog().contains(u"gChkCloseDay"_s));
}

void tst_Period::termLists() {
    // The current term is that of ten days before today; 19 starts and 20 ends, newest first.
    TermLists lists;
    QVERIFY(gGetTermLists(d("2024/03/05"), 20, lists));
    QCOMPARE(QStringList({lists.startText, lists.endText, QString::number(lists.startItems.size()),
                          QString::number(lists.endItems.size()), lists.startItems.value(1),
                          lists.endItems.value(1), lists.endItems.last()}),
             QStringList({u"2024/02/21"_s, u"2024/03/20"_s, u"19"_s, u"20"_s, u"2024/01/21"_s,
                          u"2024/02/20"_s, u"2022/08/20"_s}));
    QVERIFY(gGetTermLists(d("2024/03/05"), 31, lists));
    QCOMPARE(lists.endItems.mid(0, 4),
             (QStringList{u"2024/02/29"_s, u"2024/01/31"_s, u"2023/12/31"_s, u"2023/11/30"_s}));
    QCOMPARE(lists.endItems.last(), u"2022/07/31"_s);
    QCOMPARE(termDateFromText(u" 2024/3/5 "_s), QDate(2024, 3, 5));
    QVERIFY(!termDateFromText(u"2023/02/29"_s).isValid());
}

void tst_Period::roundOff_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("mode"); // 0 truncate, 1 half up, 2 up
    QTest::addColumn<double>("expected");
    const auto row = [](double value, int digits, int mode, double expected) {
        QTest::addRow("%g, %d digits, mode %d", value, digits, mode)
            << value << digits << mode << expected;
    };
    row(1234.5, 0, 1, 1235.0);
    row(-1234.5, 0, 1, -1235.0);
    row(-1234.56, 1, 0, -1234.5);
    row(-2.3, 0, 2, -3.0);
    row(0.29, 2, 0, 0.29); // binary fractions do not lose a unit in the last digit
    row(1.005, 2, 1, 1.01);
    row(400.0 / 700.0 * 100.0, 1, 0, 57.1);
}

void tst_Period::roundOff() {
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(int, mode);
    QFETCH(double, expected);
    QCOMPARE(gROUNDOFF(value, digits, mode), expected);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Period::roundOffUnknownMode() {
    QCOMPARE(gROUNDOFF(1234.5, 0, 3), 0.0);
    QCOMPARE(gROUNDOFF(1234.5, 0, -1), 0.0);
    QCOMPARE(gROUNDOFF(qInf(), 0, 0), 0.0);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList(3, u"gROUNDOFF"_s));
}

QTEST_GUILESS_MAIN(tst_Period)
#include "tst_Period.moc"
