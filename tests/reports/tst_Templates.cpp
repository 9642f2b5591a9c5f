#include "TestData.h"
#include "XlsxCheck.h"
#include "base/Globals.h"
#include "reports/ExcelLayer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Runs a program; returns its exit code, or -1 when it did not start or finish in time.
int runProgram(const QString& program, const QStringList& args, QByteArray* output = nullptr,
               int timeoutMs = 120000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output)
        *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class tst_Templates : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyTemplate_isSoundAndHasItsSheet_data();
    void everyTemplate_isSoundAndHasItsSheet();
    void addressList_layout();
    void balanceList_layout();
    void build_isReproducible();
    void generator_rejectsBadDescriptions_data();
    void generator_rejectsBadDescriptions();
    void libreOffice_printsTheReports();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
};

void tst_Templates::init() {
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
}

void tst_Templates::cleanup() {
    m_folder.reset();
}

void tst_Templates::everyTemplate_isSoundAndHasItsSheet_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("fitToHeight");
    QTest::newRow("address list") << kExcelTemplateMaster << 1;
    QTest::newRow("balance list") << kExcelTemplateMaster2 << 0;
}

void tst_Templates::everyTemplate_isSoundAndHasItsSheet() {
    QFETCH(QString, file);
    QFETCH(int, fitToHeight);
    XlsxPackage pkg;
    QVERIFY(pkg.load(gstrExcelFormatPath + file));
    QCOMPARE(pkg.problems(), QStringList());
    Workbook book;
    QVERIFY2(gExcelOpen(file, gstrExcelFormatPath, book), qPrintable(book.errorText()));
    QCOMPARE(book.sheetNames(), QStringList({kExcelTemplateSheet}));
    Worksheet* ws = book.sheet(kExcelTemplateSheet);
    QCOMPARE(ws->format(100, 1).fontName, u"ＭＳ Ｐゴシック"_s);
    const PageSetup page = ws->pageSetup();
    QCOMPARE(page.paperSize, 9); // A4
    QVERIFY(!page.landscape);
    QVERIFY(page.fitToPage);
    QCOMPARE(page.fitToWidth, 1);
    QCOMPARE(page.fitToHeight, fitToHeight);
    QVERIFY(page.centerHorizontally);
    QVERIFY(!page.footer.isEmpty());
}

void tst_Templates::addressList_layout() {
    Workbook book;
    QVERIFY(gExcelOpen(kExcelTemplateMaster, gstrExcelFormatPath, book));
    Worksheet* tpl = book.sheet(kExcelTemplateSheet);
    QCOMPARE(tpl->value(2, 2), QVariant(u"仕入先名簿"_s));
    const CellFormat title = tpl->format(2, 2);
    QCOMPARE(title.fontSize, 14.0);
    QVERIFY(title.bold);
    QCOMPARE(title.thinSides, CellSide::Bottom);
    QCOMPARE(tpl->format(4, 2).fontSize, 10.0);
    QVERIFY(tpl->columnWidth(2) >= 80); // one supplier line per row
    QVERIFY(tpl->columnWidth(1) < 5);
    // 57 rows and a block running past them fit on one sheet's page.
    QCOMPARE(tpl->pageSetup().fitToHeight, 1);

    // Pages are copies of the template; the title row keeps its look on every page.
    Worksheet* page = book.copySheet(0, u"1"_s);
    QVERIFY(page->setText(2, 2, u"仕入先名簿"_s));
    QVERIFY(page->setText(4, 2, u"[  1]  株式会社サンプル 営業部"_s));
    QCOMPARE(page->format(2, 2).fontSize, 14.0);
    QCOMPARE(page->pageSetup().footer, tpl->pageSetup().footer);
}

void tst_Templates::balanceList_layout() {
    Workbook book;
    QVERIFY(gExcelOpen(kExcelTemplateMaster2, gstrExcelFormatPath, book));
    Worksheet* ws = book.sheet(kExcelTemplateSheet);
    QCOMPARE(ws->value(4, 3), QVariant(u"仕入先"_s));
    QCOMPARE(ws->value(4, 4), QVariant(u"残高"_s));
    QCOMPARE(ws->value(4, 6), QVariant(u"振込先１"_s));
    QCOMPARE(ws->value(4, 7), QVariant(u"振込先２"_s));
    for (int col = 2; col <= 7; ++col) {
        QVERIFY(ws->format(4, col).bold);
        QCOMPARE(ws->format(4, col).thinSides, CellSide::Top | CellSide::Bottom);
    }
    QCOMPARE(ws->format(2, 3).fontSize, 14.0);
    // Cells the report creates take their column's format: the balance shows thousands
    // separators and stands right.
    QVERIFY(ws->setText(2, 3, u"2024/03/05 時点仕入先名簿"_s));
    QVERIFY(ws->setNumber(5, 4, -1234567));
    QCOMPARE(ws->format(5, 4).numberFormat, u"#,##0"_s);
    QCOMPARE(ws->format(5, 4).horizontal, u"right"_s);
    QCOMPARE(ws->format(5, 2).horizontal, u"center"_s);
    QVERIFY(ws->columnWidth(6) >= 30);
    // The headings repeat on every printed page, also after the sheet is renamed.
    QCOMPARE(book.definedNames().size(), 1);
    QCOMPARE(book.definedNames()[0].formula, u"'雛型'!$1:$4"_s);
    QVERIFY(book.renameSheet(0, u"page1"_s));
    QCOMPARE(book.definedNames()[0].formula, u"'page1'!$1:$4"_s);
    QByteArray data;
    QVERIFY(book.saveToData(data));
    XlsxPackage pkg;
    QVERIFY(pkg.loadData(data));
    QCOMPARE(pkg.problems(), QStringList());
}

void tst_Templates::build_isReproducible() {
    QTemporaryDir dir;
    const QDir sources(QStringLiteral(TOVAKI_TEMPLATE_SOURCES));
    const QStringList descriptions = sources.entryList({u"*.json"_s}, QDir::Files);
    QVERIFY(descriptions.contains(u"master.json"_s));
    QVERIFY(descriptions.contains(u"master2.json"_s));
    for (const QString& d : descriptions) {
        const QString name = d.chopped(5) + u".xlsx"_s;
        const QString out = dir.filePath(name);
        QByteArray log;
        QCOMPARE(runProgram(QStringLiteral(TOVAKI_MKTEMPLATE), {sources.filePath(d), out}, &log),
                 0);
        QVERIFY2(readAll(out) == readAll(gstrExcelFormatPath + name), qPrintable(name));
    }
}

void tst_Templates::generator_rejectsBadDescriptions_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");
    QTest::newRow("misspelt key")
        << QByteArray(R"({"sheet":"雛型","font":{"name":"A","size":10},"colums":[]})")
        << u"colums"_s;
    QTest::newRow("bad range")
        << QByteArray(R"({"sheet":"雛型","font":{"name":"A","size":10},"cells":[{"range":"B0"}]})")
        << u"B0"_s;
    QTest::newRow("bad paper")
        << QByteArray(
               R"({"sheet":"雛型","font":{"name":"A","size":10},"page":{"paper":"Letterx","orientation":"portrait"}})")
        << u"paper"_s;
    QTest::newRow("invalid sheet name")
        << QByteArray(R"({"sheet":"a/b","font":{"name":"A","size":10}})") << u"sheet"_s;
    QTest::newRow("no font") << QByteArray(R"({"sheet":"雛型"})") << u"フォント"_s;
    QTest::newRow("not json") << QByteArray("{") << u"json"_s;
}

void tst_Templates::generator_rejectsBadDescriptions() {
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString in = dir.filePath(u"t.json"_s);
    const QString out = dir.filePath(u"t.xlsx"_s);
    QVERIFY(writeAll(in, json));
    QByteArray log;
    QCOMPARE(runProgram(QStringLiteral(TOVAKI_MKTEMPLATE), {in, out}, &log), 1);
    QVERIFY2(QString::fromUtf8(log).contains(message), log.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({u"t.json"_s}));
}

// A real spreadsheet program opens what the module writes: both supplier lists, built the way
// the reports build them, are printed to PDF by LibreOffice.
void tst_Templates::libreOffice_printsTheReports() {
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    QTemporaryDir dir;
    QStringList files;
    {
        Workbook book;
        QVERIFY(gExcelOpen(kExcelTemplateMaster, gstrExcelFormatPath, book));
        for (int page = 1; page <= 2; ++page) {
            Worksheet* ws = book.copySheet(0, QString::number(page));
            QVERIFY(ws->setText(2, 2, u"仕入先名簿"_s));
            for (int row = 4; row <= 60; row += 2)
                QVERIFY(ws->setText(row, 2, u"[%1]  株式会社サンプル 営業部"_s.arg(row)));
        }
        files << dir.filePath(u"address.xlsx"_s);
        QVERIFY(book.save(files.last()));
    }
    {
        Workbook book;
        QVERIFY(gExcelOpen(kExcelTemplateMaster2, gstrExcelFormatPath, book));
        Worksheet* ws = book.sheet(0);
        QVERIFY(ws->setText(2, 3, u"2024/03/05 時点仕入先名簿"_s));
        for (int i = 0; i < 120; ++i) {
            QVERIFY(ws->setText(5 + i, 2, QString::number(i + 1)));
            QVERIFY(ws->setText(5 + i, 3, u"仕入先%1"_s.arg(i + 1)));
            QVERIFY(ws->setNumber(5 + i, 4, (i - 10) * 12345.0));
            QVERIFY(ws->setFill(5 + i, 6, 36));
        }
        QVERIFY(gExcel_CellLine(ws, {5, 2, 124, 7}, true, true, true, true, true, true));
        QVERIFY(book.renameSheet(0, u"page1"_s));
        files << dir.filePath(u"balance.xlsx"_s);
        QVERIFY(book.save(files.last()));
    }
    const QString pdfDir = dir.filePath(u"pdf"_s);
    QByteArray log;
    const int code = runProgram(
        soffice,
        QStringList({u"-env:UserInstallation=file://"_s + dir.filePath(u"profile"_s),
                     u"--headless"_s, u"--convert-to"_s, u"pdf"_s, u"--outdir"_s, pdfDir}) +
            files,
        &log, 240000);
    QVERIFY2(code == 0, log.constData());
    for (const QString& name : {u"address.pdf"_s, u"balance.pdf"_s}) {
        const QByteArray pdf = readAll(pdfDir + u'/' + name);
        QVERIFY2(pdf.startsWith("%PDF"),
                 qPrintable(name + u" was not written: "_s + QString::fromUtf8(log)));
    }
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdftotext.isEmpty())
        return;
    QByteArray text;
    QCOMPARE(runProgram(pdftotext, {pdfDir + u"/address.pdf"_s, u"-"_s}, &text), 0);
    const QString address = QString::fromUtf8(text);
    // The kept template page and two report pages, each with its title.
    QCOMPARE(address.count(u"仕入先名簿"_s), 3);
    QVERIFY(address.contains(u"[60]  株式会社サンプル 営業部"_s) ||
            address.contains(u"[60] 株式会社サンプル 営業部"_s));
    QCOMPARE(runProgram(pdftotext, {pdfDir + u"/balance.pdf"_s, u"-"_s}, &text), 0);
    const QString balance = QString::fromUtf8(text);
    QVERIFY(balance.contains(u"2024/03/05 時点仕入先名簿"_s));
    QVERIFY(balance.contains(u"-123,450"_s));
    QVERIFY(balance.contains(u"1,345,605"_s));
    QVERIFY(balance.count(u"振込先１"_s) >= 2); // the headings repeat on the second page
}

QTEST_GUILESS_MAIN(tst_Templates)
#include "tst_Templates.moc"
