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

struct Recorder {
    QList<bool> busy;
    QList<QPair<int, int>> progress;
    QStringList status;
    ExcelReportRun::Callbacks callbacks() {
        return {[this](bool b) { busy << b; },
                [this](int v, int m) { progress << qMakePair(v, m); },
                [this](const QString& s) { status << s; }};
    }
};

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class tst_ExcelLayer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void colourTable_data();
    void colourTable();
    void colourOutsideTable_data();
    void colourOutsideTable();
    void cellLine_noFlagsOnlyRemovesDiagonals();
    void cellLine_allFlagsBoxEveryCell();
    void cellLine_withoutSheetIsLogged();
    void reportPath_data();
    void reportPath();
    void marginSuffix_carriesTheTitle();

    void run_savesAsksAndOpens();
    void run_answerNo_opensNothing();
    void run_savedBeforeTheQuestion();
    void run_openFails_fileStays();
    void run_defaultsToTheDesktop();
    void run_missingTemplate_takesTheFailurePath();
    void run_unwritableFolder_takesTheFailurePath();
    void run_builderFailure_logsTheReason();
    void run_sameSecond_keepsBothFiles();
    void run_abandon_savesNothingAndSaysNothing();
    void run_progressAndStatus();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    TestServices m_svc{};
};

void tst_ExcelLayer::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_out = std::make_unique<QTemporaryDir>();
}

void tst_ExcelLayer::cleanup() {
    m_out.reset();
    m_folder.reset();
}

void tst_ExcelLayer::colourTable_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::newRow("1 black") << 1 << 0x00 << 0x00 << 0x00;
    QTest::newRow("2 white") << 2 << 0xFF << 0xFF << 0xFF;
    QTest::newRow("3 red") << 3 << 0xFF << 0x00 << 0x00;
    QTest::newRow("5 blue") << 5 << 0x00 << 0x00 << 0xFF;
    QTest::newRow("9 dark red") << 9 << 0x80 << 0x00 << 0x00;
    QTest::newRow("16 grey") << 16 << 0x80 << 0x80 << 0x80;
    QTest::newRow("33 sky blue") << 33 << 0x00 << 0xCC << 0xFF;
    QTest::newRow("36 light yellow") << 36 << 0xFF << 0xFF << 0x99;
    QTest::newRow("48 grey 40") << 48 << 0x96 << 0x96 << 0x96;
    QTest::newRow("56 grey 80") << 56 << 0x33 << 0x33 << 0x33;
}

void tst_ExcelLayer::colourTable() {
    QFETCH(int, index);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    int value = -1;
    QVERIFY(gExcel_Color_ExchangeToRGB(index, value));
    QCOMPARE(value, r + 256 * g + 65536 * b);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ExcelLayer::colourOutsideTable_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("0") << 0;
    QTest::newRow("17") << 17;
    QTest::newRow("32") << 32;
    QTest::newRow("57") << 57;
    QTest::newRow("-4142") << -4142;
}

void tst_ExcelLayer::colourOutsideTable() {
    QFETCH(int, index);
    int value = 12345;
    QVERIFY(!gExcel_Color_ExchangeToRGB(index, value));
    QCOMPARE(value, 12345);
    QCOMPARE(m_folder->errorLogEntries(), 1);
    QVERIFY(m_folder->errorLog().contains(u"gExcel_Color_ExchangeToRGB"_s));
}

void tst_ExcelLayer::cellLine_noFlagsOnlyRemovesDiagonals() {
    Workbook book;
    QVERIFY(book.openData(fixture::excelTemplate()));
    Worksheet* ws = book.sheet(0);
    QVERIFY(ws->format(6, 4).diagonal);
    const CellFormat before = ws->format(5, 2);
    QVERIFY(gExcel_CellLine(ws, {5, 2, 6, 4}, false, false, false, false, false, false));
    QVERIFY(!ws->format(6, 4).diagonal);
    QCOMPARE(ws->format(6, 4).lineSides, 0);
    QCOMPARE(ws->format(5, 2).bold, before.bold);
    QCOMPARE(ws->format(5, 2).horizontal, before.horizontal);
}

void tst_ExcelLayer::cellLine_allFlagsBoxEveryCell() {
    Workbook book;
    QVERIFY(book.create(u"1"_s, u"ＭＳ Ｐゴシック"_s, 11));
    Worksheet* ws = book.sheet(0);
    QVERIFY(gExcel_CellLine(ws, {5, 3, 9, 8}, true, true, true, true, true, true));
    for (int r = 5; r <= 9; ++r)
        for (int c = 3; c <= 8; ++c)
            QCOMPARE(ws->format(r, c).thinSides, CellSide::Outline);
    QCOMPARE(ws->format(4, 3).lineSides, 0);
    QCOMPARE(ws->format(5, 9).lineSides, 0);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ExcelLayer::cellLine_withoutSheetIsLogged() {
    QVERIFY(!gExcel_CellLine(nullptr, {1, 1, 1, 1}, true, true, true, true, true, true));
    Workbook book;
    QVERIFY(book.create(u"1"_s, u"Arial"_s, 11));
    QVERIFY(!gExcel_CellLine(book.sheet(0), {0, 1, 2, 2}, true, true, true, true, true, true));
    QCOMPARE(m_folder->errorLogEntries(), 2);
    QVERIFY(m_folder->errorLog().contains(u"gExcel_CellLine"_s));
}

void tst_ExcelLayer::reportPath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QDateTime>("at");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("supplier list")
        << u"/home/u/Desktop"_s << QDateTime(QDate(2024, 3, 5), QTime(10, 15, 0))
        << kExcelSuffixSupplierList << u"/home/u/Desktop/　2024-03-05　10：15：00　仕入先表.xlsx"_s;
    QTest::newRow("ledger, folder with separator, afternoon")
        << u"/d/"_s << QDateTime(QDate(2023, 12, 31), QTime(23, 5, 9)) << kExcelSuffixLedger
        << u"/d/　2023-12-31　23：05：09　仕入帳.xlsx"_s;
    QTest::newRow("midnight") << u"/d"_s << QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0))
                              << kExcelSuffixLedger
                              << u"/d/　2024-01-01　00：00：00　仕入帳.xlsx"_s;
}

void tst_ExcelLayer::reportPath() {
    QFETCH(QString, folder);
    QFETCH(QDateTime, at);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(gExcelReportPath(folder, at, suffix), expected);
}

void tst_ExcelLayer::marginSuffix_carriesTheTitle() {
    gstrAppTitle = u"tovaki"_s;
    QCOMPARE(gExcelSuffixMargin(), u" tovaki 利益管理表.xlsx"_s);
}

void tst_ExcelLayer::run_savesAsksAndOpens() {
    Recorder rec;
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    run.setCallbacks(rec.callbacks());
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster));
    QCOMPARE(rec.busy, QList<bool>({true}));
    for (int page = 1; page <= 3; ++page) {
        Worksheet* ws = run.addPage(QString::number(page));
        QVERIFY(ws);
        QVERIFY(ws->setText(2, 2, u"仕入先名簿"_s));
        QVERIFY(ws->setText(4, 2, u"[%1]  株式会社サンプル 営業部"_s.arg(page)));
    }
    QVERIFY(run.deleteTemplateSheet());
    QVERIFY(run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s));

    const QString expected = m_out->path() + u"/　2024-03-05　10：15：00　仕入先表.xlsx"_s;
    QCOMPARE(run.savedPath(), expected);
    QCOMPARE(filesIn(m_out->path()), QStringList({QFileInfo(expected).fileName()}));
    QCOMPARE(rec.busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    QCOMPARE(m_svc.prompt->shown[0].text, kQuestion);
    QCOMPARE(m_svc.prompt->shown[0].title, gstrAppTitle);
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::YesNo | MsgStyle::Information);
    QCOMPARE(m_svc.shell->opened, QStringList({expected}));
    QCOMPARE(m_folder->errorLogEntries(), 0);

    XlsxPackage pkg;
    QVERIFY(pkg.load(expected));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.sheetNames(), QStringList({u"1"_s, u"2"_s, u"3"_s}));
    Workbook back;
    QVERIFY(back.open(expected));
    QCOMPARE(back.sheet(u"3"_s)->value(4, 2), QVariant(u"[3]  株式会社サンプル 営業部"_s));
}

void tst_ExcelLayer::run_answerNo_opensNothing() {
    m_svc.prompt->answers.enqueue(MsgResult::No);
    ExcelReportRun run(u"frmPrint_mPrintMaster_Carry"_s, kExcelFileReportFailed);
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster2));
    QVERIFY(run.templateSheet()->setText(2, 3, u"2024/03/05 時点仕入先名簿"_s));
    QVERIFY(run.book().renameSheet(0, u"page1"_s));
    QVERIFY(run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s));
    QVERIFY(m_svc.shell->opened.isEmpty());
    QCOMPARE(filesIn(m_out->path()).size(), 1);
    XlsxPackage pkg;
    QVERIFY(pkg.load(run.savedPath()));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.definedNames(), QStringList({u"_xlnm.Print_Titles|0|'page1'!$1:$4"_s}));
}

// The profit table stores its window settings after saving and before asking.
void tst_ExcelLayer::run_savedBeforeTheQuestion() {
    Recorder rec;
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    ExcelReportRun run(u"frmPrint_cmdMargin_Click"_s);
    run.setCallbacks(rec.callbacks());
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster));
    QVERIFY(run.addPage(u"1"_s));
    QVERIFY(run.deleteTemplateSheet());
    QVERIFY(run.save(gExcelSuffixMargin()));
    QCOMPARE(rec.busy, QList<bool>({true, false}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QVERIFY(!run.isRunning());
    QCOMPARE(filesIn(m_out->path()),
             QStringList({u"　2024-03-05　10：15：00 "_s + gstrAppTitle + u" 利益管理表.xlsx"_s}));
    run.askToOpen(u"表が作成されました"_s);
    QCOMPARE(m_svc.prompt->texts(), QStringList({kQuestion}));
    QCOMPARE(m_svc.shell->opened, QStringList({run.savedPath()}));
}

void tst_ExcelLayer::run_openFails_fileStays() {
    m_svc.prompt->answers.enqueue(MsgResult::Yes);
    m_svc.shell->result = false;
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster));
    QVERIFY(run.addPage(u"1"_s));
    QVERIFY(run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s));
    QCOMPARE(m_svc.prompt->texts(),
             QStringList({kQuestion, u"EXCELファイルを開くのに失敗しました。"_s}));
    QCOMPARE(m_svc.prompt->shown[1].style, MsgStyle::Critical);
    QCOMPARE(filesIn(m_out->path()).size(), 1);
}

void tst_ExcelLayer::run_defaultsToTheDesktop() {
    const QByteArray home = qgetenv("HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    QVERIFY(QDir(m_out->path()).mkdir(u"Desktop"_s));
    qputenv("HOME", m_out->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_out->path() + u"/config"_s).toLocal8Bit());
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    const bool begun = run.begin(kExcelTemplateMaster);
    const bool finished = begun && run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s);
    qputenv("HOME", home);
    if (config.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", config);
    QVERIFY(finished);
    QCOMPARE(QFileInfo(run.savedPath()).absolutePath(),
             QFileInfo(m_out->path() + u"/Desktop"_s).canonicalFilePath());
}

void tst_ExcelLayer::run_missingTemplate_takesTheFailurePath() {
    Recorder rec;
    QVERIFY(QFile::remove(gstrExcelFormatPath + kExcelTemplateMaster));
    ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
    run.setCallbacks(rec.callbacks());
    run.setOutputFolder(m_out->path());
    QVERIFY(!run.begin(kExcelTemplateMaster));
    QVERIFY(!run.isRunning());
    QCOMPARE(rec.busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->texts(), QStringList({kExcelFileReportFailed}));
    QCOMPARE(m_svc.prompt->shown[0].style, MsgStyle::OKOnly);
    QCOMPARE(m_folder->errorLogEntries(), 1);
    const QString log = m_folder->errorLog();
    QVERIFY(log.contains(u"frmPrint_mPrintMaster"_s));
    QVERIFY2(log.contains(u"master.xlsx"_s), qPrintable(log)); // the reason is in the entry
    QVERIFY(filesIn(m_out->path()).isEmpty());
}

void tst_ExcelLayer::run_unwritableFolder_takesTheFailurePath() {
    Recorder rec;
    ExcelReportRun run(u"frmPrint_cmdPrintData_Click"_s);
    run.setCallbacks(rec.callbacks());
    run.setOutputFolder(m_out->path() + u"/gone"_s);
    QVERIFY(run.begin(kExcelTemplateMaster));
    QVERIFY(run.addPage(u"1"_s));
    QVERIFY(run.deleteTemplateSheet());
    QVERIFY(!run.finish(kExcelSuffixLedger, u"表が作成されました"_s));
    QCOMPARE(rec.busy, QList<bool>({true, false}));
    QCOMPARE(m_svc.prompt->texts(), QStringList({kExcelReportFailed}));
    QVERIFY(m_folder->errorLog().contains(u"frmPrint_cmdPrintData_Click"_s));
    QVERIFY(m_svc.shell->opened.isEmpty());
    QVERIFY(filesIn(m_out->path()).isEmpty());
    QVERIFY(!QFileInfo::exists(m_out->path() + u"/gone"_s));
}

void tst_ExcelLayer::run_builderFailure_logsTheReason() {
    ExcelReportRun run(u"frmPrint_cmdMargin_Click"_s);
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster));
    Worksheet* ws = run.addPage(u"1"_s);
    QVERIFY(ws);
    QVERIFY(!ws->setNumber(0, 1, 1)); // a builder's mistake
    run.fail();
    QCOMPARE(m_svc.prompt->texts(), QStringList({kExcelReportFailed}));
    const QString log = m_folder->errorLog();
    QVERIFY(log.contains(u"frmPrint_cmdMargin_Click"_s));
    QVERIFY2(log.contains(u"セル位置が範囲外です"_s), qPrintable(log));
    QVERIFY(filesIn(m_out->path()).isEmpty());
    QVERIFY(!run.isRunning());
}

// Two reports saved within the same second would otherwise share one name and the second
// would replace the first.
void tst_ExcelLayer::run_sameSecond_keepsBothFiles() {
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        ExcelReportRun run(u"frmPrint_mPrintMaster"_s, kExcelFileReportFailed);
        run.setOutputFolder(m_out->path());
        QVERIFY(run.begin(kExcelTemplateMaster));
        QVERIFY(run.addPage(u"1"_s)->setText(4, 2, QString::number(i)));
        QVERIFY(run.finish(kExcelSuffixSupplierList, u"表が作成されました"_s));
        paths << run.savedPath();
    }
    QCOMPARE(QFileInfo(paths[1]).fileName(), u"　2024-03-05　10：15：00　仕入先表(2).xlsx"_s);
    Workbook first, second;
    QVERIFY(first.open(paths[0]));
    QVERIFY(second.open(paths[1]));
    QCOMPARE(first.sheet(u"1"_s)->value(4, 2), QVariant(u"0"_s));
    QCOMPARE(second.sheet(u"1"_s)->value(4, 2), QVariant(u"1"_s));
}

void tst_ExcelLayer::run_abandon_savesNothingAndSaysNothing() {
    Recorder rec;
    {
        ExcelReportRun run(u"frmPrint_cmdPrintData_Click"_s);
        run.setCallbacks(rec.callbacks());
        run.setOutputFolder(m_out->path());
        QVERIFY(run.begin(kExcelTemplateMaster));
        QVERIFY(run.addPage(u"1"_s));
        run.abandon();
        QVERIFY(!run.isRunning());
    }
    {
        ExcelReportRun run(u"frmPrint_cmdPrintData_Click"_s);
        run.setCallbacks(rec.callbacks());
        QVERIFY(run.begin(kExcelTemplateMaster)); // left by an early return
    }
    QCOMPARE(rec.busy, QList<bool>({true, false, true, false}));
    QVERIFY(m_svc.prompt->shown.isEmpty());
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(filesIn(m_out->path()).isEmpty());
}

void tst_ExcelLayer::run_progressAndStatus() {
    Recorder rec;
    ExcelReportRun run(u"frmPrint_cmdMargin_Click"_s);
    run.setCallbacks(rec.callbacks());
    run.setOutputFolder(m_out->path());
    QVERIFY(run.begin(kExcelTemplateMaster));
    run.setProgressMaximum(3);
    run.setStatus(u"データを書き込んでいます"_s);
    for (int i = 0; i < 3; ++i)
        run.advance();
    QCOMPARE(rec.progress, (QList<QPair<int, int>>{{0, 0}, {0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    QCOMPARE(rec.status, QStringList({u"データを書き込んでいます"_s}));
}

QTEST_GUILESS_MAIN(tst_ExcelLayer)
#include "tst_ExcelLayer.moc"
