#include "TestData.h"
#include "TestServices.h"
#include "store/Database.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QDate d(const char* text) {
    return QDate::fromString(QString::fromLatin1(text), u"yyyy/MM/dd"_s);
}

} // namespace

class tst_Period : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void currentMonthTerm_data();
    void currentMonthTerm();
    void daysBack_data();
    void daysBack();
    void closeDay_data();
    void closeDay();
    void defaultCloseDayWithoutRow();
    void unusableCloseDay_data();
    void unusableCloseDay();
    void termListsOfFixedToday();
    void termListsFailWithoutCloseDay();
    void wholeYearOfTerms_data();
    void wholeYearOfTerms();
    void shortCloseDaysFollowMonthArithmetic_data();
    void shortCloseDaysFollowMonthArithmetic();
    void termDateText_data();
    void termDateText();
    void roundOff_data();
    void roundOff();
    void roundOffUnknownMode();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
};

void tst_Period::init() {
    TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void tst_Period::cleanup() {
    m_folder.reset();
}

void tst_Period::currentMonthTerm_data() {
    QTest::addColumn<int>("closeDay");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");

    QTest::newRow("20: before the close day")
        << 20 << d("2024/03/15") << u"2024/02/21"_s << u"2024/03/20"_s;
    QTest::newRow("20: on the close day")
        << 20 << d("2024/03/20") << u"2024/02/21"_s << u"2024/03/20"_s;
    QTest::newRow("20: day after") << 20 << d("2024/03/21") << u"2024/03/21"_s << u"2024/04/20"_s;
    QTest::newRow("20: across the year")
        << 20 << d("2024/01/10") << u"2023/12/21"_s << u"2024/01/20"_s;
    QTest::newRow("20: late december")
        << 20 << d("2023/12/25") << u"2023/12/21"_s << u"2024/01/20"_s;
    QTest::newRow("1: on the first") << 1 << d("2024/03/01") << u"2024/02/02"_s << u"2024/03/01"_s;
    QTest::newRow("1: the second") << 1 << d("2024/03/02") << u"2024/03/02"_s << u"2024/04/01"_s;
    QTest::newRow("27: february") << 27 << d("2023/02/28") << u"2023/02/28"_s << u"2023/03/27"_s;
    QTest::newRow("31: leap february")
        << 31 << d("2024/02/15") << u"2024/02/01"_s << u"2024/02/29"_s;
    QTest::newRow("31: april") << 31 << d("2024/04/30") << u"2024/04/01"_s << u"2024/04/30"_s;
    QTest::newRow("30: leap february end")
        << 30 << d("2024/02/29") << u"2024/01/31"_s << u"2024/02/29"_s;
    QTest::newRow("30: first of march")
        << 30 << d("2024/03/01") << u"2024/03/01"_s << u"2024/03/30"_s;
    QTest::newRow("30: march 31") << 30 << d("2024/03/31") << u"2024/03/31"_s << u"2024/04/30"_s;
    QTest::newRow("29: common february")
        << 29 << d("2023/02/28") << u"2023/01/30"_s << u"2023/02/28"_s;
    QTest::newRow("29: first of march")
        << 29 << d("2023/03/01") << u"2023/03/01"_s << u"2023/03/29"_s;
    QTest::newRow("29: leap february")
        << 29 << d("2024/02/29") << u"2024/01/30"_s << u"2024/02/29"_s;
    QTest::newRow("28: leap day") << 28 << d("2024/02/29") << u"2024/02/29"_s << u"2024/03/28"_s;
    QTest::newRow("28: common march")
        << 28 << d("2023/03/01") << u"2023/03/01"_s << u"2023/03/28"_s;
    QTest::newRow("31: new year's eve")
        << 31 << d("2023/12/31") << u"2023/12/01"_s << u"2023/12/31"_s;
}

void tst_Period::currentMonthTerm() {
    QFETCH(int, closeDay);
    QFETCH(QDate, date);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QVERIFY(gSetSystemLngField(8, closeDay));
    QString s, e;
    QVERIFY(gGetCurrentMonthTerm(date, s, e, 0));
    QCOMPARE(s, start);
    QCOMPARE(e, end);
}

void tst_Period::daysBack_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("back");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::newRow("ten days before the 5th")
        << d("2024/03/05") << 10 << u"2024/02/21"_s << u"2024/03/20"_s;
    QTest::newRow("back into the previous term")
        << d("2024/03/25") << 10 << u"2024/02/21"_s << u"2024/03/20"_s;
    QTest::newRow("back onto the close day")
        << d("2024/03/30") << 10 << u"2024/02/21"_s << u"2024/03/20"_s;
    QTest::newRow("not back across it")
        << d("2024/03/31") << 10 << u"2024/03/21"_s << u"2024/04/20"_s;
    QTest::newRow("negative is ignored")
        << d("2024/03/15") << -10 << u"2024/02/21"_s << u"2024/03/20"_s;
}

void tst_Period::daysBack() {
    QFETCH(QDate, date);
    QFETCH(int, back);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QString s, e;
    QVERIFY(gGetCurrentMonthTerm(date, s, e, back));
    QCOMPARE(s, start);
    QCOMPARE(e, end);
}

void tst_Period::closeDay_data() {
    QTest::addColumn<int>("closeDay");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("isClose");
    QTest::newRow("20 on the 20th") << 20 << d("2024/03/20") << true;
    QTest::newRow("20 on the 21st") << 20 << d("2024/03/21") << false;
    QTest::newRow("20 on the 19th") << 20 << d("2024/03/19") << false;
    QTest::newRow("31 on a leap february end") << 31 << d("2024/02/29") << true;
    QTest::newRow("31 on april 30") << 31 << d("2024/04/30") << true;
    QTest::newRow("30 on a common february end") << 30 << d("2023/02/28") << true;
    QTest::newRow("30 on march 30") << 30 << d("2024/03/30") << true;
    QTest::newRow("30 on march 31") << 30 << d("2024/03/31") << false;
    QTest::newRow("29 on a leap february 29") << 29 << d("2024/02/29") << true;
    QTest::newRow("29 on a leap february 28") << 29 << d("2024/02/28") << false;
    QTest::newRow("28 on a common february end") << 28 << d("2023/02/28") << true;
    QTest::newRow("28 on a leap february 28") << 28 << d("2024/02/28") << true;
    QTest::newRow("28 on a leap february 29") << 28 << d("2024/02/29") << false;
}

void tst_Period::closeDay() {
    QFETCH(int, closeDay);
    QFETCH(QDate, date);
    QFETCH(bool, isClose);
    QVERIFY(gSetSystemLngField(8, closeDay));
    bool flag = !isClose;
    QVERIFY(gChkCloseDay(date, flag));
    QCOMPARE(flag, isClose);
}

void tst_Period::defaultCloseDayWithoutRow() {
    bool flag = false;
    QVERIFY(gChkCloseDay(d("2024/03/20"), flag));
    QVERIFY(flag);
    QVERIFY(gChkCloseDay(d("2024/03/21"), flag));
    QVERIFY(!flag);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_Period::unusableCloseDay_data() {
    QTest::addColumn<QString>("insert");
    QTest::newRow("zero") << u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (8, 0)"_s;
    QTest::newRow("thirty-two") << u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (8, 32)"_s;
    QTest::newRow("two rows") << u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (8, 5), (8, 6)"_s;
}

void tst_Period::unusableCloseDay() {
    QFETCH(QString, insert);
    QVERIFY(gdbData().executeSQL(insert));
    QString s = u"s"_s, e = u"e"_s;
    QVERIFY(!gGetCurrentMonthTerm(d("2024/03/15"), s, e, 0));
    QCOMPARE(s, u"s"_s);
    QCOMPARE(e, u"e"_s);
    QVERIFY(m_folder->errorLog().contains(u"gGetCurrentMonthTerm"_s));
    bool flag = true;
    QVERIFY(!gChkCloseDay(d("2024/03/20"), flag));
    QVERIFY(flag);
    QVERIFY(m_folder->errorLog().contains(u"gChkCloseDay"_s));
}

void tst_Period::termListsOfFixedToday() {
    TermLists lists;
    QVERIFY(gGetTermLists(svc().clock().today(), lists));
    QCOMPARE(lists.startText, u"2024/02/21"_s);
    QCOMPARE(lists.endText, u"2024/03/20"_s);
    QCOMPARE(lists.endItems.size(), 20);
    QCOMPARE(lists.startItems.size(), 19);
    QCOMPARE(lists.endItems.mid(0, 3),
             (QStringList{u"2024/03/20"_s, u"2024/02/20"_s, u"2024/01/20"_s}));
    QCOMPARE(lists.startItems.mid(0, 2), (QStringList{u"2024/02/21"_s, u"2024/01/21"_s}));
    QCOMPARE(lists.endItems.last(), u"2022/08/20"_s);
    QCOMPARE(lists.startItems.last(), u"2022/08/21"_s);
}

void tst_Period::termListsFailWithoutCloseDay() {
    QVERIFY(
        gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (8, 1), (8, 2)"_s));
    TermLists lists;
    lists.startText = u"kept"_s;
    QVERIFY(!gGetTermLists(svc().clock().today(), lists));
    QCOMPARE(lists.startText, u"kept"_s);
    QVERIFY(lists.endItems.isEmpty());
}

void tst_Period::wholeYearOfTerms_data() {
    QTest::addColumn<int>("closeDay");
    QTest::addColumn<int>("year");
    for (int c : {28, 29, 30, 31, 27, 1})
        for (int y : {2023, 2024})
            QTest::addRow("close day %d, %d", c, y) << c << y;
}

void tst_Period::wholeYearOfTerms() {
    QFETCH(int, closeDay);
    QFETCH(int, year);
    QVERIFY(gSetSystemLngField(8, closeDay));

    // Every day of the year lies in a term; consecutive days share a term or the second starts
    // the day after the first's term ends; every term ends on its month's close date.
    QDate prevStart, prevEnd;
    int terms = 0;
    for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1)) {
        QString s, e;
        QVERIFY(gGetCurrentMonthTerm(day, s, e, 0));
        const QDate start = termDateFromText(s);
        const QDate end = termDateFromText(e);
        QVERIFY2(start <= day && day <= end, qPrintable(day.toString(Qt::ISODate)));
        QCOMPARE(end, QDate(end.year(), end.month(),
                            qMin(closeDay, QDate(end.year(), end.month(), 1).daysInMonth())));
        QVERIFY(start.daysTo(end) >= 27 && start.daysTo(end) <= 30);
        if (prevEnd.isValid() && start != prevStart) {
            QCOMPARE(start, prevEnd.addDays(1));
            ++terms;
        }
        bool isClose = false;
        QVERIFY(gChkCloseDay(day, isClose));
        QCOMPARE(isClose, day == end);
        prevStart = start;
        prevEnd = end;
    }
    QVERIFY(terms == 11 || terms == 12);

    // The period lists of any day of the year hold the same consecutive terms, newest first.
    for (int month = 1; month <= 12; ++month) {
        const QDate today(year, month, 5);
        TermLists lists;
        QVERIFY(gGetTermLists(today, lists));
        QString s, e;
        QVERIFY(gGetCurrentMonthTerm(today.addDays(-10), s, e, 0));
        QCOMPARE(lists.startText, s);
        QCOMPARE(lists.endText, e);
        QCOMPARE(lists.endItems.size(), 20);
        QCOMPARE(lists.startItems.size(), 19);
        QCOMPARE(lists.endItems.first(), e);
        QCOMPARE(lists.startItems.first(), s);
        for (int i = 0; i < 19; ++i) {
            const QDate end = termDateFromText(lists.endItems.at(i));
            const QDate start = termDateFromText(lists.startItems.at(i));
            const QDate earlierEnd = termDateFromText(lists.endItems.at(i + 1));
            QCOMPARE(start, earlierEnd.addDays(1));
            QVERIFY(start < end);
            QCOMPARE(end.month(), earlierEnd.addMonths(1).month());
            QString ts, te;
            QVERIFY(gGetCurrentMonthTerm(end, ts, te, 0));
            QCOMPARE(ts, lists.startItems.at(i));
            QCOMPARE(te, lists.endItems.at(i));
        }
    }
}

void tst_Period::shortCloseDaysFollowMonthArithmetic_data() {
    QTest::addColumn<int>("closeDay");
    for (int c : {1, 10, 15, 20, 25, 27})
        QTest::addRow("close day %d", c) << c;
}

void tst_Period::shortCloseDaysFollowMonthArithmetic() {
    // For close days that every month has, the term is the day after the previous month's close
    // day up to one month later less a day.
    QFETCH(int, closeDay);
    for (QDate day(2023, 11, 1); day <= QDate(2025, 2, 28); day = day.addDays(1)) {
        const QDate base = day.day() <= closeDay ? day.addMonths(-1) : day;
        const QDate start = QDate(base.year(), base.month(), closeDay).addDays(1);
        const QDate end = start.addMonths(1).addDays(-1);
        QDate s, e;
        termContaining(day, closeDay, s, e);
        QCOMPARE(s, start);
        QCOMPARE(e, end);
    }
}

void tst_Period::termDateText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("padded") << u"2024/03/05"_s << QDate(2024, 3, 5);
    QTest::newRow("short") << u"2024/3/5"_s << QDate(2024, 3, 5);
    QTest::newRow("spaces") << u" 2024/12/31 "_s << QDate(2024, 12, 31);
    QTest::newRow("no such day") << u"2023/02/29"_s << QDate();
    QTest::newRow("other separator") << u"2024-03-05"_s << QDate();
    QTest::newRow("empty") << QString() << QDate();
}

void tst_Period::termDateText() {
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(termDateFromText(text), date);
}

void tst_Period::roundOff_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("expected");

    QTest::newRow("half up") << 1234.5 << 0 << 1 << 1235.0;
    QTest::newRow("negative half away") << -1234.5 << 0 << 1 << -1235.0;
    QTest::newRow("truncate one decimal") << 1234.56 << 1 << 0 << 1234.5;
    QTest::newRow("up") << 1234.51 << 0 << 2 << 1235.0;
    QTest::newRow("up of a whole number") << 1234.0 << 0 << 2 << 1234.0;

    QTest::newRow("truncate negative toward zero") << -1234.56 << 1 << 0 << -1234.5;
    QTest::newRow("below half") << 1234.49 << 0 << 1 << 1234.0;
    QTest::newRow("negative below half") << -1234.49 << 0 << 1 << -1234.0;
    QTest::newRow("up negative away from zero") << -2.3 << 0 << 2 << -3.0;
    QTest::newRow("up negative whole") << -2.0 << 0 << 2 << -2.0;
    QTest::newRow("up one decimal") << 12.301 << 1 << 2 << 12.4;
    QTest::newRow("hundreds") << 1250.0 << -2 << 1 << 1300.0;
    QTest::newRow("hundreds truncated") << 1299.0 << -2 << 0 << 1200.0;
    QTest::newRow("zero") << 0.0 << 2 << 2 << 0.0;

    // Binary fractions do not lose a unit in the last digit.
    QTest::newRow("0.29 truncated") << 0.29 << 2 << 0 << 0.29;
    QTest::newRow("1.1 rounded up") << 1.1 << 2 << 2 << 1.1;
    QTest::newRow("1.005 half up") << 1.005 << 2 << 1 << 1.01;
    QTest::newRow("derived ratio 70") << 700.0 / 1000.0 * 100.0 << 1 << 0 << 70.0;
    QTest::newRow("derived ratio 57.1") << 400.0 / 700.0 * 100.0 << 1 << 0 << 57.1;
    QTest::newRow("amount 80% of 1015") << 1015.0 * 80.0 / 100.0 << 0 << 0 << 812.0;
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
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"gROUNDOFF"_s));
    QCOMPARE(gROUNDOFF(1234.5, 0, -1), 0.0);
    QCOMPARE(gROUNDOFF(qInf(), 0, 0), 0.0);
    QCOMPARE(m_folder->errorLogEntries(), 3);
}

QTEST_GUILESS_MAIN(tst_Period)
#include "tst_Period.moc"
