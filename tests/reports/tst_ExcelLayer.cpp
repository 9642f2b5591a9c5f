#include "TemplateFixture.h"
#include "TestData.h"
#include "TestServices.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "reports/ExcelLayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kQuestion = u"デスクトップに\r\n表が作成されました\r\n\r\n開きますか？\r\n"_s;

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

// The report run every report builds on: template, pages, saving, the question, the failure
// path, and the small Excel helpers.
class tst_ExcelLayer : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void colourTable_data();
    void colourTable();
    void cellLine();
    void run_savesAsksAndOpens_data();
    void run_savesAsksAndOpens();
    void run_missingTemplate_takesTheFailurePath();
    void run_unwritableFolder_takesTheFailurePath();
    void run_sameSecond_keepsBothFiles();
    void run_abandon_savesNothingAndSaysNothing();

private:
    std::unique_ptr<QTemporaryDir> m_out;
    QList<bool> m_busy;
    ExcelReportRun::Callbacks callbacks() {
        return {[this](bool b) { m_busy << b; }, {}, {}};
    }
};

void tst_ExcelLayer::init() {
    DataFileTest::init();
    m_out = std::make_unique<QTemporaryDir>();
    m_busy.clear();
}

void tst_ExcelLayer::colourTable_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("rgb"); // -1: outside the table
    QTest::newRow("1 black") << 1 << 0x000000;
    QTest::newRow("3 red") << 3 << 0x0000FF;
    QTest::newRow("16 grey") << 16 << 0x808080;
    QTest::newRow("33 sky blue") << 33 << 0xFFCC00;
    QTest::newRow("56 grey 80") << 56 << 0x333333;
    QTest::newRow("0") << 0 << -1;
    QTest::newRow("17") << 17 << -1;
    QTest::newRow("32") << 32 << -1;
    QTest::newRow("57") << 57 << -1;
}

void tst_ExcelLayer::colourTable() {
    QFETCH(int, index);
    QFETCH(int, rgb);
    int value = 12345;
    QCOMPARE(gExcel_Color_ExchangeToRGB(index, value), rgb >= 0);
    QCOMPARE(value, rgb >= 0 ? rgb : 12345); // red + 256 × green + 65536 × blue
    QCOMPARE(m_folder->errorLogEntries(), rgb >= 0 ? 0 : 1);
}

void tst_ExcelLayer::cellLine() {
    Workbook book;
    QVERIFY(book.openData(fixture::excelTemplate()));
    Worksheet* ws = book.sheet(0);
    // No flags only removes the diagonals.
    QVERIFY(gExcel_CellLine(ws, {5, 2, 6, 4}, false, false, false, false, false, false));
    QVERIFY(!ws->format(6, 4).diagonal);
    QCOMPARE(ws->format(6, 4).lineSides, 0);
    QVERIFY(ws->format(5, 2).bold);
    QVERIFY(gExcel_CellLine(ws, {7, 3, 9, 8}, true, true, true, true, true, true));
    for (int r = 7; r <= 9; ++r)
        for (int c = 3; c <= 8; ++c)
            QCOMPARE(ws->format(r, c).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(10, 3).lineSides, 0);
    QCOMPARE(ws->format(7, 9).lineSides, 0);
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(!gExcel_CellLine(nullptr, {1, 1, 1, 1}, true, true, true, true, true, true));
    QVERIFY(!gExcel_CellLine(ws, {0, 1, 2, 2}, true, true, true, true, true, true));
    QCOMPARE(m_folder->errorLogEntries(), 2);
}

void tst_ExcelLayer::run_savesAsksAndOpens_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("openWorks");
    QTest::addColumn<QStringList>("prompts");
    QTest::newRow("yes") << int(MsgResult::Yes) << true << QStringList{kQuestion};
    QTest::newRow("no") << int(MsgResult::No) << true << QStringList{kQuestion};
    QTest::newRow("open fails") << int(MsgResult::Yes) << false
                                << QStringList{kQuestion,
                                               u"EXCELファイルを開くのに失敗しました。"_s};
}

void tst_ExcelLayer::run_savesAsksAndOpens() {
    QFETCH(int, answer);
    QFETCH(bool, openWorks);
    QFETCH(QStringList, prompts);
    m_svc.prompt->answers.enqueue(answer);
    m_svc.shell->result = openWorks;
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    run.setCallbacks(callbacks());
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster));
    QCOMPARE(m_busy, QList<bool>({true}));
    for (int page = 1; page <= 3; ++page)
        QVERIFY(run.addPage(QString::number(page))->setText(4, 2, u"[%1]  株式会社"_s.arg(page)));
    QVERIFY(run.deleteTemplateSheet());
    QVERIFY(run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s));

    const QString expected = m_out->path() + u"/　2024-03-05　10：15：00　仕入先表.xlsx"_s;
    QCOMPARE(run.savedPath(), expected);
    QCOMPARE(filesIn(m_out->path()), QStringList({QFileInfo(expected).fileName()}));
    QCOMPARE(m_busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->texts(), prompts);
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::YesNo | MsgStyle::Information);
    QCOMPARE(m_svc.shell->opened,
             answer == MsgResult::Yes ? QStringList({expected}) : QStringList());
    QCOMPARE(m_folder->errorLogEntries(), 0);
    XlsxPackage pkg;
    QVERIFY(pkg.load(expected));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.sheetNames(), QStringList({u"1"_s, u"2"_s, u"3"_s}));
}

// The one home of a missing template: every report takes this path through its run.
void tst_ExcelLayer::run_missingTemplate_takesTheFailurePath() {
    QVERIFY(QFile::remove(gstrExcelFormatPath + kExcelTemplateMaster));
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    run.setCallbacks(callbacks());
    run.setOutputFolder(m_out->path());
    QVERIFY(!run.begin(kExcelTemplateMaster));
    QVERIFY(!run.isRunning());
    QCOMPARE(m_busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->texts(), QStringList({kExcelFileReportFailed}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly);
    QCOMPARE(m_folder->errorLogProcedures(), QStringList({u"frmPrint_mPrintMaster"_s}));
    QVERIFY2(m_folder->errorLog().contains(u"master.xlsx"_s), qPrintable(m_folder->errorLog()));
    QVERIFY(filesIn(m_out->path()).isEmpty());
}

void tst_ExcelLayer::run_unwritableFolder_takesTheFailurePath() {
    ExcelReportRun run(u"frmPrint_cmdPrintData_Click"_s);
    run.setCallbacks(callbacks());
    run.setOutputFolder(m_out->path() + u"/gone"_s);
    QVERIFY(run.begin(kExcelTemplateMaster));
    QVERIFY(run.addPage(u"1"_s));
    QVERIFY(!run.finish(kExcelSuffixLedger, u"表が作成されました"_s));
    QCOMPARE(m_busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->texts(), QStringList({kExcelReportFailed}));
    QCOMPARE(m_folder->errorLogProcedures(), QStringList({u"frmPrint_cmdPrintData_Click"_s}));
    QVERIFY(m_svc.shell->opened.isEmpty());
    QVERIFY(filesIn(m_out->path()).isEmpty());
}

// Two reports saved within the same second would otherwise share one name.
void tst_ExcelLayer::run_sameSecond_keepsBothFiles() {
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        ExcelReportRun run(u"frmPrint_cmdMargin_Click"_s);
        run.setOutputFolder(m_out->path());
        QVERIFY(run.begin(kExcelTemplateMaster));
        QVERIFY(run.addPage(u"1"_s)->setText(4, 2, QString::number(i)));
        QVERIFY(run.save(gExcelSuffixMargin()));
        paths << QFileInfo(run.savedPath()).fileName();
    }
    QCOMPARE(
        paths,
        QStringList({u"　2024-03-05　10：15：00 "_s + gstrAppTitle + u" 利益管理表.xlsx"_s,
                     u"　2024-03-05　10：15：00 "_s + gstrAppTitle + u" 利益管理表(2).xlsx"_s}));
    QVERIFY(m_svc.prompt->shown.isEmpty()); // save() asks nothing
}

void tst_ExcelLayer::run_abandon_savesNothingAndSaysNothing() {
    {
        ExcelReportRun run(u"frmPrint_cmdPrintData_Click"_s);
        run.setCallbacks(callbacks());
        run.setOutputFolder(m_out->path());
        QVERIFY(run.begin(kExcelTemplateMaster)); // left by an early return
        QVERIFY(run.addPage(u"1"_s));
    }
    QCOMPARE(m_busy, QList<bool>({true, false}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(filesIn(m_out->path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_ExcelLayer)
#include "tst_ExcelLayer.moc"
