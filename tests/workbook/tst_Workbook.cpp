#include "TemplateFixture.h"
#include "XlsxCheck.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

using namespace Qt::StringLiterals;

namespace {

// The saved bytes of a workbook, read back on their own.
XlsxPackage saved(Workbook& book) {
    QByteArray data;
    XlsxPackage pkg;
    if (!book.saveToData(data) || !pkg.loadData(data))
        qWarning("save or read failed: %s", qPrintable(book.errorText() + pkg.error()));
    return pkg;
}

// A saved workbook opened again through the module.
bool reopen(Workbook& book, Workbook& again) {
    QByteArray data;
    return book.saveToData(data) && again.openData(data);
}

QString partText(const XlsxPackage& pkg, const QString& part) {
    return QString::fromUtf8(pkg.part(part));
}

// The saved XML of a sheet.
QString sheetXml(const XlsxPackage& pkg, const QString& sheet) {
    return partText(pkg, pkg.sheetPart(sheet));
}

QByteArray fixturePart(const QString& name) {
    for (const auto& [n, data] : fixture::excelTemplateParts())
        if (n == name)
            return data;
    return {};
}

bool openFixture(Workbook& book) {
    return book.openData(fixture::excelTemplate());
}

QStringList names(const Workbook& book) {
    QStringList out;
    for (const DefinedName& n : book.definedNames())
        out << n.name + u'|' + QString::number(n.sheet) + u'|' + n.formula;
    return out;
}

} // namespace

class tst_Workbook : public QObject {
    Q_OBJECT
private slots:
    void copiesAndDeletion_leaveASoundPackage();
    void printNames_followCopiesDeletionAndRenaming();
    void sheetNames_madeValidAndUnique_data();
    void sheetNames_madeValidAndUnique();
    void activeAndHiddenSheets();
    void cells_sortedAndOverwritten();
    void text_data();
    void text();
    void numbers_ignoreTheLocale();
    void styles_derivedNeverModified();
    void numberFormats();
    void thinBordersAndFills_data();
    void thinBordersAndFills();
    void columnsRowsAndMerges();
    void failedSave_leavesNoFile();
    void writtenOutRows_sameFile_data();
    void writtenOutRows_sameFile();
    void writtenOutRows_closedAndParked();
};

void tst_Workbook::copiesAndDeletion_leaveASoundPackage() {
    Workbook book;
    QVERIFY2(openFixture(book), qPrintable(book.errorText()));
    // "2" is a copy of the copy.
    QVERIFY(book.copySheet(0, u"1"_s) && book.copySheet(2, u"2"_s) && book.copySheet(0, u"3"_s));
    QVERIFY(book.deleteSheet(book.sheetIndex(u"雛型"_s)) &&
            book.deleteSheet(book.sheetIndex(u"1"_s)));
    Worksheet* page = book.sheet(u"3"_s);
    QCOMPARE(page->value(1, 1), QVariant(u"仕入先名簿"_s)); // shared string, phonetic run left out
    QCOMPARE(page->value(1, 2), QVariant(u"Rich text"_s));
    QCOMPARE(page->value(2, 3), QVariant(2.0)); // a formula's stored result
    QCOMPARE(page->value(3, 2), QVariant(7.0)); // cells without a reference
    QCOMPARE(book.sheet(u"data"_s)->value(3, 3), QVariant(42.0));

    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.sheetNames(), QStringList({u"Data"_s, u"2"_s, u"3"_s}));
    // The template's part, relationships and printer settings are gone; each copy has its own.
    QVERIFY(!pkg.has(u"xl/worksheets/sheet1.xml"_s));
    QVERIFY(!pkg.has(u"xl/printerSettings/printerSettings1.bin"_s));
    QCOMPARE(pkg.partNames().filter(u"xl/printerSettings/"_s).size(), 2);
    // The calculation chain and app.xml's sheet titles go; Excel recalculates on load.
    QVERIFY(!pkg.has(u"xl/calcChain.xml"_s));
    QVERIFY(partText(pkg, u"xl/workbook.xml"_s).contains(u"fullCalcOnLoad=\"1\""_s));
    QVERIFY(!partText(pkg, u"docProps/app.xml"_s).contains(u"TitlesOfParts"_s));
    QVERIFY(!partText(pkg, pkg.sheetPart(u"2"_s)).contains(u"codeName"_s));
}

void tst_Workbook::printNames_followCopiesDeletionAndRenaming() {
    Workbook book;
    QVERIFY(openFixture(book));
    QVERIFY(book.copySheet(0, u"1"_s) && book.copySheet(0, u"2"_s) && book.deleteSheet(0));
    QStringList got = saved(book).definedNames();
    got.sort();
    QCOMPARE(got, QStringList({u"Total||Data!$C$3"_s, u"_xlnm.Print_Area|0|Data!$A$1:$C$3"_s,
                               u"_xlnm.Print_Area|1|'1'!$A$1:$G$40"_s,
                               u"_xlnm.Print_Area|2|'2'!$A$1:$G$40"_s,
                               u"_xlnm.Print_Titles|1|'1'!$A:$B,'1'!$1:$3"_s,
                               u"_xlnm.Print_Titles|2|'2'!$A:$B,'2'!$1:$3"_s}));
    // Renaming a sheet carries its references along, in every name that mentions it.
    QVERIFY(book.renameSheet(0, u"在庫 O'Neil"_s));
    QVERIFY(names(book).contains(u"Total|-1|'在庫 O''Neil'!$C$3"_s));
    QVERIFY(names(book).contains(u"_xlnm.Print_Area|0|'在庫 O''Neil'!$A$1:$C$3"_s));
    QCOMPARE(saved(book).problems(), QStringList());
}

void tst_Workbook::sheetNames_madeValidAndUnique_data() {
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    const QString a31 = u"abcdefghijklmnopqrstuvwxyz12345"_s;
    QTest::newRow("refused characters")
        << u"[a:b*c?d\\e/f]"_s << QStringList() << u"_a_b_c_d_e_f_"_s;
    QTest::newRow("32 cut") << a31 + u"6"_s << QStringList() << a31;
    QTest::newRow("apostrophes at the ends") << u"'x'"_s << QStringList() << u"x"_s;
    QTest::newRow("duplicate ignoring case")
        << u"ａｂ"_s << QStringList({u"ＡＢ"_s}) << u"ａｂ (2)"_s;
    QTest::newRow("long duplicate cut before the number")
        << a31 << QStringList({a31}) << a31.left(27) + u" (2)"_s;
    QTest::newRow("reserved") << u"history"_s << QStringList() << u"history (2)"_s;
}

void tst_Workbook::sheetNames_madeValidAndUnique() {
    QFETCH(QString, wanted);
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    QCOMPARE(Workbook::validSheetName(wanted, taken), expected);
}

void tst_Workbook::activeAndHiddenSheets() {
    Workbook book;
    QVERIFY(book.create(u"雛型"_s, u"ＭＳ Ｐゴシック"_s, 11));
    QVERIFY(!book.deleteSheet(0)); // the last visible sheet stays
    QVERIFY(book.copySheet(0, u"1"_s) && book.copySheet(0, u"2"_s));
    QVERIFY(book.copySheet(0, u"A/B"_s)); // a refused name never fails a run
    QCOMPARE(book.sheetNames().last(), u"A_B"_s);
    QVERIFY(book.deleteSheet(0)); // the active sheet's tab goes to the sheet now at its place
    QCOMPARE(book.activeSheet(), 0);
    QVERIFY(book.setActiveSheet(1));
    QVERIFY(!book.setActiveSheet(3));
    QVERIFY(book.setPrintTitleRows(1, 1, 4));
    QVERIFY(book.setPrintTitleRows(1, 2, 3)); // replaces, never duplicates
    QVERIFY(!book.setPrintTitleRows(1, 3, 2));
    QVERIFY(!book.setSheetHidden(1, true)); // the active sheet
    QVERIFY(book.setSheetHidden(0, true) && book.setSheetHidden(2, true) &&
            book.setSheetHidden(2, false));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.activeTab(), 1);
    QCOMPARE(pkg.definedNames(), QStringList({u"_xlnm.Print_Titles|1|'2'!$2:$3"_s}));
    QVERIFY(partText(pkg, pkg.sheetPart(u"2"_s)).contains(u"tabSelected=\"1\""_s));
    QCOMPARE(pkg.part(pkg.workbookPart()).count("state=\"hidden\""), 1);
    Workbook again;
    QVERIFY(reopen(book, again));
    QVERIFY(again.isSheetHidden(0));
    QVERIFY(!again.setActiveSheet(0));
}

// Cells written in any order are saved in order; writing over a cell keeps its style and drops its
// old content.
void tst_Workbook::cells_sortedAndOverwritten() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.copySheet(0, u"1"_s);
    QVERIFY(ws->setText(8, 3, u"C8"_s) && ws->setText(8, 1, u"A8"_s) && ws->setNumber(2, 2, 22) &&
            ws->setText(7, 28, u"AB7"_s) && ws->setText(7, 27, u"AA7"_s));
    Worksheet* tpl = book.sheet(0);
    QVERIFY(tpl->setText(1, 1, u"新しい題"_s)); // was a shared string with style 2
    QVERIFY(tpl->setText(2, 3, u"text"_s));     // was a formula with style 1
    QVERIFY(tpl->setNumber(2, 3, 5));
    QVERIFY(tpl->setText(1, 2, QString())); // an empty text clears the value
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QVERIFY(partText(pkg, pkg.sheetPart(u"1"_s)).contains(u"<dimension ref=\"A1:AB8\"/>"_s));
    QVERIFY(sheetXml(pkg, u"雛型"_s)
                .contains(u"<c r=\"A1\" s=\"2\" t=\"inlineStr\"><is><t>新しい題</t></is></c>"_s));
    QVERIFY(sheetXml(pkg, u"雛型"_s).contains(u"<c r=\"C2\" s=\"1\"><v>5</v></c>"_s));
    QVERIFY(sheetXml(pkg, u"雛型"_s).contains(u"<c r=\"B1\"/>"_s));
    QCOMPARE(pkg.part(u"xl/sharedStrings.xml"_s), fixturePart(u"xl/sharedStrings.xml"_s));
    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(u"1"_s);
    QCOMPARE(QVariantList({back->value(8, 1), back->value(7, 27), back->value(7, 28)}),
             QVariantList({u"A8"_s, u"AA7"_s, u"AB7"_s}));
    QCOMPARE(back->lastColumn(), 28);
}

void tst_Workbook::text_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::newRow("markup") << u"a&<>\"b"_s << u"<t>a&amp;&lt;&gt;\"b</t>"_s;
    QTest::newRow("leading space") << u" 仕入"_s << u"<t xml:space=\"preserve\"> 仕入</t>"_s;
    QTest::newRow("carriage return") << u"a\r\nb"_s << u"<t>a_x000D_\nb</t>"_s;
    QTest::newRow("escape-like text") << u"_x0041_"_s << u"<t>_x005F_x0041_</t>"_s;
}

void tst_Workbook::text() {
    QFETCH(QString, text);
    QFETCH(QString, stored);
    Workbook book;
    QVERIFY(book.create(u"S"_s, u"ＭＳ Ｐゴシック"_s, 11));
    QVERIFY(book.sheet(0)->setText(3, 2, text));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QVERIFY2(sheetXml(pkg, u"S"_s).contains(stored), qPrintable(sheetXml(pkg, u"S"_s)));
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(0)->value(3, 2), QVariant(text));
}

void tst_Workbook::numbers_ignoreTheLocale() {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* cBefore = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saveC = cBefore ? cBefore : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // takes effect where the locale is installed
    Workbook book;
    QVERIFY(book.create(u"S"_s, u"Arial"_s, 10));
    QVERIFY(book.sheet(0)->setNumber(1, 1, 1234.5));
    QVERIFY(book.sheet(0)->setNumber(1, 2, -0.0));
    const XlsxPackage pkg = saved(book);
    std::setlocale(LC_NUMERIC, saveC.c_str());
    QLocale::setDefault(before);
    QVERIFY(sheetXml(pkg, u"S"_s).contains(u"<c r=\"A1\"><v>1234.5</v></c>"_s));
    QVERIFY(sheetXml(pkg, u"S"_s).contains(u"<c r=\"B1\"><v>0</v></c>"_s));
    QVERIFY(!book.sheet(0)->setNumber(1, 1, std::numeric_limits<double>::quiet_NaN()));
}

void tst_Workbook::styles_derivedNeverModified() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(0);
    // 100 new cells in column B start from the column's style 1 (number format 176).
    for (int r = 10; r < 110; ++r)
        QVERIFY(ws->setFill(r, 2, 3));
    QVERIFY(ws->setFontSize(1, 1, 9)); // A1: style 2, bold 12-point, centred
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    const QString styles = partText(pkg, u"xl/styles.xml"_s);
    QCOMPARE(styles.count(u"<xf "_s), 4 + 2 + 1); // + cellStyleXfs
    // The formats that were there are unchanged.
    const QString original = QString::fromUtf8(fixturePart(u"xl/styles.xml"_s));
    const QString xf1 =
        original.section(u"<cellXfs count=\"4\">"_s, 1).section(u"</cellXfs>"_s, 0, 0);
    QVERIFY2(styles.contains(xf1), qPrintable(styles));
    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(0);
    QCOMPARE(back->format(50, 2).fillColorIndex, 3);
    QCOMPARE(back->format(50, 2).numberFormat, u"#,##0_ "_s); // the column's format kept
    QCOMPARE(back->format(10, 2).styleIndex, back->format(50, 2).styleIndex);
    QCOMPARE(back->format(1, 1).fontSize, 9.0);
    QVERIFY(back->format(1, 1).bold);
    QCOMPARE(back->format(1, 1).horizontal, u"center"_s);
}

// A code the package already holds is reused; a new one is added once.
void tst_Workbook::numberFormats() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(1);
    QVERIFY(ws->setNumberFormat(3, 3, u"#,##0_ "_s));          // the template's custom 176
    QVERIFY(ws->setNumberFormat(4, 3, u"#,##0"_s));            // custom here, too
    QVERIFY(book.sheet(0)->setNumberFormat(1, 1, u"#,##0"_s)); // from another style, too
    QCOMPARE(ws->format(3, 3).numberFormatId, 176);
    QCOMPARE(book.sheet(0)->format(1, 1).numberFormatId, 177);
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(partText(pkg, u"xl/styles.xml"_s).count(u"<numFmt "_s), 2);
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(1)->format(4, 3).numberFormat, u"#,##0"_s);
}

void tst_Workbook::thinBordersAndFills_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("topLeft");
    QTest::addColumn<int>("middle");
    QTest::addColumn<int>("bottomRight");
    QTest::addColumn<int>("fill");
    using namespace CellSide;
    QTest::newRow("all, last colour") << All << Outline << Outline << Outline << 56;
    QTest::newRow("outline, no fill") << Outline << (Top | Left) << 0 << (Bottom | Right) << 0;
    QTest::newRow("inside vertical") << InsideVertical << Right << (Left | Right) << Left << 1;
    QTest::newRow("colour beyond the list") << All << Outline << Outline << Outline << 57;
}

void tst_Workbook::thinBordersAndFills() {
    QFETCH(int, sides);
    QFETCH(int, topLeft);
    QFETCH(int, middle);
    QFETCH(int, bottomRight);
    QFETCH(int, fill);
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(0);
    QVERIFY(ws->format(6, 4).diagonal);               // D6 carries a diagonal line
    QVERIFY(ws->setThinBorders({4, 2, 6, 4}, sides)); // B4:D6
    QCOMPARE(ws->setFill(5, 3, fill), fill <= 56);
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(saved(book).problems(), QStringList());
    Worksheet* back = again.sheet(0);
    QCOMPARE(back->format(4, 2).thinSides, topLeft);
    QCOMPARE(back->format(5, 3).thinSides, middle); // C5, covered by the merge, too
    QCOMPARE(back->format(6, 4).thinSides, bottomRight);
    QCOMPARE(back->format(7, 4).lineSides, 0);
    QVERIFY(!back->format(6, 4).diagonal); // diagonals always removed
    QVERIFY(back->format(5, 2).bold);      // B5 kept its bold base
    QCOMPARE(back->format(5, 3).fillColorIndex, fill <= 56 ? fill : 0);
    if (fill > 0 && fill <= 56)
        QVERIFY(partText(saved(book), u"xl/styles.xml"_s)
                    .contains(u"<fgColor indexed=\"%1\"/>"_s.arg(fill + 7)));
}

void tst_Workbook::columnsRowsAndMerges() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* tpl = book.sheet(0);
    QVERIFY(tpl->setColumnWidth(3, 20.5) && tpl->setColumnWidth(7, 9, 4) &&
            tpl->setRowHeight(1, 30));
    QVERIFY(!tpl->setColumnWidth(2, 256) && !tpl->setRowHeight(1, 410));
    // Settings of the template before copying appear on every copy; later cells do not.
    Worksheet* ws = book.copySheet(0, u"1"_s);
    QVERIFY(tpl->setText(30, 1, u"only on the template"_s));
    QVERIFY(!ws->value(30, 1).isValid());
    QVERIFY(ws->setText(9, 4, u"x"_s));  // a new cell in D takes the column's style
    QVERIFY(!ws->setText(5, 3, u"x"_s)); // C5 is covered by the merge B5:C5
    QVERIFY(!ws->merge({4, 1, 5, 2}));   // overlaps B5:C5
    QVERIFY(ws->setText(1, 5, u"kept"_s) && ws->setText(2, 6, u"dropped"_s));
    QVERIFY(ws->merge({1, 5, 2, 6}));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    const QString xml = partText(pkg, pkg.sheetPart(u"1"_s));
    QVERIFY2(
        xml.contains(u"<cols><col min=\"1\" max=\"2\" width=\"10\" style=\"1\" customWidth=\"1\"/>"
                     u"<col min=\"3\" max=\"3\" width=\"20.5\" style=\"1\" customWidth=\"1\"/>"
                     u"<col min=\"4\" max=\"5\" width=\"10\" style=\"1\" customWidth=\"1\"/>"
                     u"<col min=\"7\" max=\"9\" width=\"4\" customWidth=\"1\"/></cols>"_s),
        qPrintable(xml));
    QVERIFY(xml.contains(u"<row r=\"1\" ht=\"30\" customHeight=\"1\">"_s));
    QVERIFY(xml.contains(u"<c r=\"D9\" s=\"1\" t=\"inlineStr\">"_s));
    QVERIFY(xml.contains(u"<mergeCell ref=\"B5:C5\"/><mergeCell ref=\"E1:F2\"/>"_s));
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(u"1"_s)->rowHeight(2), 13.5); // the sheet's default
    QCOMPARE(again.sheet(u"1"_s)->value(1, 5), QVariant(u"kept"_s));
    QVERIFY(!again.sheet(u"1"_s)->value(2, 6).isValid());
}

void tst_Workbook::failedSave_leavesNoFile() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
    Workbook book;
    QVERIFY(openFixture(book));
    for (const QString& target : {dir.filePath(u"missing/out.xlsx"_s), dir.filePath(u"sub"_s)}) {
        QVERIFY(!book.save(target));
        QVERIFY(book.errorText().contains(target));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    // The workbook is still whole; saving replaces an existing file.
    const QString path = dir.filePath(u"ok.xlsx"_s);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    }
    QVERIFY(book.save(path));
    XlsxPackage pkg;
    QVERIFY(pkg.load(path));
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"ok.xlsx"_s}));
    // Input that is no package fails cleanly and leaves nothing open.
    QVERIFY(!book.openData("just text"));
    QVERIFY2(book.errorText().contains(u"ZIP"_s), qPrintable(book.errorText()));
    QVERIFY(!book.isOpen() && !book.copySheet(0, u"1"_s));
}

namespace {

// Fills two copies of the template from top to bottom; after each row in writeOutAfter the
// page's rows up to it are written out (0: all of them), and with park the first page is
// parked once it is done.
bool fillPages(Workbook& book, const QList<int>& writeOutAfter, bool park) {
    if (!openFixture(book))
        return false;
    for (const QString& name : {u"1"_s, u"2"_s}) {
        Worksheet* ws = book.copySheet(0, name);
        if (!ws)
            return false;
        for (int row = 6; row <= 14; ++row) {
            if (!ws->setText(row, 1, u"行%1"_s.arg(row)) || !ws->setNumber(row, 4, row * 1.5) ||
                !ws->setFill(row, 4, row % 3 + 3) ||
                !ws->setThinBorders({row, 1, row, 4}, CellSide::Outline))
                return false;
            if (writeOutAfter.contains(row) && !ws->writeOutRows(row + 1))
                return false;
        }
        if (writeOutAfter.contains(0) && !ws->writeOutAllRows())
            return false;
        if (park && name == u"1"_s && !ws->writeOutAllRows())
            return false;
    }
    // Changes after the rows are out: the page setup, a width, a merge, the names.
    Worksheet* first = book.sheet(u"1"_s);
    PageSetup setup = first->pageSetup();
    setup.landscape = true;
    return first->setPageSetup(setup) && first->setColumnWidth(5, 12) &&
           first->merge({20, 1, 20, 3}) && book.renameSheet(book.sheetIndex(u"2"_s), u"二"_s) &&
           book.deleteSheet(0) && book.setActiveSheet(1);
}

} // namespace

void tst_Workbook::writtenOutRows_sameFile_data() {
    QTest::addColumn<QList<int>>("writeOutAfter");
    QTest::addColumn<bool>("park");
    QTest::newRow("first row") << QList<int>{6} << false;
    QTest::newRow("every row") << QList<int>{6, 7, 8, 9, 10, 11, 12, 13, 14} << false;
    QTest::newRow("last row, then all") << QList<int>{14, 0} << false;
    QTest::newRow("some rows, first page parked") << QList<int>{8, 11} << true;
}

// Rows written out as a sheet is made give the same package as rows kept to the end.
void tst_Workbook::writtenOutRows_sameFile() {
    QFETCH(QList<int>, writeOutAfter);
    QFETCH(bool, park);
    Workbook kept, streamed;
    QVERIFY2(fillPages(kept, {}, false), qPrintable(kept.errorText()));
    QVERIFY2(fillPages(streamed, writeOutAfter, park), qPrintable(streamed.errorText()));
    QByteArray a, b;
    QVERIFY(kept.saveToData(a));
    QVERIFY2(streamed.saveToData(b), qPrintable(streamed.errorText()));
    XlsxPackage pa, pb;
    QVERIFY(pa.loadData(a) && pb.loadData(b));
    QCOMPARE(pb.problems(), QStringList());
    QCOMPARE(pb.partNames(), pa.partNames());
    for (const QString& part : pa.partNames())
        QVERIFY2(pb.part(part) == pa.part(part), qPrintable(part));
    // Saved twice, a written-out workbook gives the same package again.
    QByteArray again;
    QVERIFY(streamed.saveToData(again));
    QCOMPARE(again, b);
}

void tst_Workbook::writtenOutRows_closedAndParked() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.copySheet(0, u"1"_s);
    QVERIFY(ws->setText(8, 2, u"a"_s) && ws->setText(9, 2, u"b"_s));
    QVERIFY(ws->writeOutRows(9));
    QCOMPARE(ws->firstOpenRow(), 9);
    // Row 8 is out, row 9 still open.
    QVERIFY(!ws->setText(8, 3, u"x"_s));
    QVERIFY2(book.errorText().contains(u"書き出し済み"_s), qPrintable(book.errorText()));
    QVERIFY(!ws->setRowHeight(8, 20));
    QVERIFY(ws->setText(9, 3, u"y"_s));
    QVERIFY(!ws->value(8, 2).isValid());
    QCOMPARE(ws->lastRow(), 9);
    QVERIFY(!book.copySheet(ws->index(), u"copy"_s));
    // Parked: still read and changed where rows are not involved; saved whole.
    QVERIFY(ws->writeOutAllRows());
    QCOMPARE(ws->firstOpenRow(), 10);
    QCOMPARE(ws->lastRow(), 9);
    QVERIFY(ws->setColumnWidth(2, 30));
    QCOMPARE(ws->columnWidth(2), 30.0);
    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(u"1"_s);
    QCOMPARE(back->value(8, 2), QVariant(u"a"_s));
    QCOMPARE(back->value(9, 3), QVariant(u"y"_s));
    QCOMPARE(back->columnWidth(2), 30.0);
}

QTEST_GUILESS_MAIN(tst_Workbook)
#include "tst_Workbook.moc"
