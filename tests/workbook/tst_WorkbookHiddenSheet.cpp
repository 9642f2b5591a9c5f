#include "XlsxCheck.h"
#include "workbook/Workbook.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Hidden sheets: a sheet kept in the workbook without a tab and without printed pages (the
// address list keeps its template sheet so).
class tst_WorkbookHiddenSheet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void hidingFollowsTheRules_data();
    void hidingFollowsTheRules();
    void hiddenSheetSurvivesSaving();

private:
    Workbook m_book;
};

void tst_WorkbookHiddenSheet::init() {
    QVERIFY(m_book.create(u"雛型"_s, u"ＭＳ Ｐゴシック"_s, 11));
    QVERIFY(m_book.copySheet(0, u"1"_s));
    QVERIFY(m_book.copySheet(0, u"2"_s));
    QVERIFY(m_book.setActiveSheet(1));
}

void tst_WorkbookHiddenSheet::hidingFollowsTheRules_data() {
    QTest::addColumn<QList<int>>("hide"); // hidden one after the other; the last one is checked
    QTest::addColumn<bool>("accepted");
    QTest::newRow("template") << QList<int>{0} << true;
    QTest::newRow("the active sheet") << QList<int>{1} << false;
    QTest::newRow("another page") << QList<int>{2} << true;
    QTest::newRow("twice") << QList<int>{0, 0} << true;
    QTest::newRow("the last visible one") << QList<int>{0, 2, 1} << false;
    QTest::newRow("out of range") << QList<int>{3} << false;
    QTest::newRow("negative") << QList<int>{-1} << false;
}

void tst_WorkbookHiddenSheet::hidingFollowsTheRules() {
    QFETCH(QList<int>, hide);
    QFETCH(bool, accepted);
    for (int i = 0; i < hide.size() - 1; ++i)
        QVERIFY(m_book.setSheetHidden(hide.at(i), true));
    QCOMPARE(m_book.setSheetHidden(hide.last(), true), accepted);
    QCOMPARE(m_book.isSheetHidden(hide.last()), accepted);
    if (!accepted)
        QVERIFY(!m_book.errorText().isEmpty());
    QCOMPARE(m_book.activeSheet(), 1);
    QVERIFY(!m_book.isSheetHidden(1));
}

void tst_WorkbookHiddenSheet::hiddenSheetSurvivesSaving() {
    QVERIFY(m_book.setSheetHidden(0, true));
    QVERIFY(m_book.setSheetHidden(2, true));
    QVERIFY(m_book.setSheetHidden(2, false));
    QByteArray data;
    QVERIFY(m_book.saveToData(data));

    XlsxPackage pkg;
    QVERIFY(pkg.loadData(data));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.sheetNames(), (QStringList{u"雛型"_s, u"1"_s, u"2"_s}));
    QCOMPARE(pkg.activeTab(), 1);
    QCOMPARE(pkg.part(pkg.workbookPart()).count("state=\"hidden\""), 1);

    Workbook again;
    QVERIFY(again.openData(data));
    QVERIFY(again.isSheetHidden(0));
    QVERIFY(!again.isSheetHidden(1));
    QVERIFY(!again.isSheetHidden(2));
    QVERIFY(!again.setActiveSheet(0));
    QVERIFY(again.setSheetHidden(0, false));
    QVERIFY(again.setActiveSheet(0));
}

QTEST_GUILESS_MAIN(tst_WorkbookHiddenSheet)
#include "tst_WorkbookHiddenSheet.moc"
