#include "TemplateFixture.h"
#include "XlsxCheck.h"
#include "workbook/Workbook.h"

#include <pugixml.hpp>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The saved bytes of a workbook, read back on their own.
XlsxPackage saved(Workbook& book) {
    QByteArray data;
    XlsxPackage pkg;
    if (!book.saveToData(data))
        qWarning("save failed: %s", qPrintable(book.errorText()));
    else if (!pkg.loadData(data))
        qWarning("read failed: %s", qPrintable(pkg.error()));
    return pkg;
}

// A saved workbook opened again through the module.
bool reopen(Workbook& book, Workbook& again) {
    QByteArray data;
    return book.saveToData(data) && again.openData(data);
}

// The <c> element of a cell in the saved package, as text.
QString cellXml(const XlsxPackage& pkg, const QString& sheet, const QString& ref) {
    pugi::xml_document doc;
    const QByteArray b = pkg.part(pkg.sheetPart(sheet));
    doc.load_buffer(b.constData(), b.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    const pugi::xpath_node n =
        doc.select_node((u"//*[local-name()='c'][@r='"_s + ref + u"']"_s).toUtf8().constData());
    if (!n)
        return {};
    struct W : pugi::xml_writer {
        QByteArray out;
        void write(const void* d, size_t s) override {
            out.append(static_cast<const char*>(d), static_cast<qsizetype>(s));
        }
    } w;
    n.node().print(w, "", pugi::format_raw);
    return QString::fromUtf8(w.out);
}

// The number of elements with a local name in a part.
int countElements(const XlsxPackage& pkg, const QString& part, const char* name) {
    pugi::xml_document doc;
    const QByteArray b = pkg.part(part);
    doc.load_buffer(b.constData(), b.size());
    return static_cast<int>(
        doc.select_nodes((QByteArray("//*[local-name()='") + name + "']").constData()).size());
}

QString partText(const XlsxPackage& pkg, const QString& part) {
    return QString::fromUtf8(pkg.part(part));
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

} // namespace

class tst_Workbook : public QObject {
    Q_OBJECT
private slots:
    void copiesAndDeletion_leaveASoundPackage();
    void printNames_followCopiesDeletionAndRenaming();
    void sheetNames_madeValidAndUnique_data();
    void sheetNames_madeValidAndUnique();
    void refusedSheetNames_neverFailARun();
    void activeSheet_isTheOnlySelectedTab();
    void cells_writtenInAnyOrderStaySorted();
    void overwriting_keepsStyleAndDropsOldContent();
    void text_data();
    void text();
    void numbers_ignoreTheLocale_data();
    void numbers_ignoreTheLocale();
    void templateValues_readBack();
    void styles_derivedNeverModified();
    void numberFormats_data();
    void numberFormats();
    void fills_useTheColourIndex_data();
    void fills_useTheColourIndex();
    void thinBorders_data();
    void thinBorders();
    void columnWidths_splitRanges();
    void templateChanges_carryIntoCopies();
    void mergedCells();
    void pageSetup_roundTrip();
    void createdWorkbook_isSound();
    void failedSave_leavesNoFile_data();
    void failedSave_leavesNoFile();
    void save_replacesAnExistingFile();
    void unreadableInput_failsCleanly_data();
    void unreadableInput_failsCleanly();
    void lastVisibleSheet_cannotBeDeleted();
    void copiesOfACopy_getOwnPartsAndNames();
};

void tst_Workbook::copiesAndDeletion_leaveASoundPackage() {
    Workbook book;
    QVERIFY2(openFixture(book), qPrintable(book.errorText()));
    for (const QString& name : {u"1"_s, u"2"_s, u"3"_s})
        QVERIFY2(book.copySheet(0, name), qPrintable(book.errorText()));
    QVERIFY(book.deleteSheet(book.sheetIndex(u"雛型"_s)));

    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.sheetNames(), QStringList({u"Data"_s, u"1"_s, u"2"_s, u"3"_s}));
    // The template's part, its relationships and its printer settings are gone; each copy has
    // its own printer settings.
    QVERIFY(!pkg.has(u"xl/worksheets/sheet1.xml"_s));
    QVERIFY(!pkg.has(u"xl/worksheets/_rels/sheet1.xml.rels"_s));
    QVERIFY(!pkg.has(u"xl/printerSettings/printerSettings1.bin"_s));
    int bins = 0;
    for (const QString& n : pkg.partNames())
        if (n.startsWith(u"xl/printerSettings/"_s)) {
            ++bins;
            QCOMPARE(pkg.part(n), QByteArray("DEVMODE\0\1\2", 10));
        }
    QCOMPARE(bins, 3);
    QVERIFY(!partText(pkg, u"[Content_Types].xml"_s).contains(u"sheet1.xml"_s));
    // The calculation chain goes, and Excel recalculates on load.
    QVERIFY(!pkg.has(u"xl/calcChain.xml"_s));
    QVERIFY(!partText(pkg, u"[Content_Types].xml"_s).contains(u"calcChain"_s));
    QVERIFY(!partText(pkg, u"xl/_rels/workbook.xml.rels"_s).contains(u"calcChain"_s));
    QVERIFY(partText(pkg, u"xl/workbook.xml"_s).contains(u"fullCalcOnLoad=\"1\""_s));
    // The sheet titles of app.xml are dropped rather than left wrong.
    QVERIFY(!partText(pkg, u"docProps/app.xml"_s).contains(u"TitlesOfParts"_s));
    QVERIFY(!partText(pkg, u"docProps/app.xml"_s).contains(u"HeadingPairs"_s));
    // Copies carry no code name of the template.
    for (const QString& name : {u"1"_s, u"2"_s, u"3"_s})
        QVERIFY(!partText(pkg, pkg.sheetPart(name)).contains(u"codeName"_s));
}

void tst_Workbook::printNames_followCopiesDeletionAndRenaming() {
    Workbook book;
    QVERIFY(openFixture(book));
    QVERIFY(book.copySheet(0, u"1"_s));
    QVERIFY(book.copySheet(0, u"2"_s));
    QVERIFY(book.deleteSheet(0));

    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QStringList names = pkg.definedNames();
    names.sort();
    QCOMPARE(names, QStringList({u"Total||Data!$C$3"_s, u"_xlnm.Print_Area|0|Data!$A$1:$C$3"_s,
                                 u"_xlnm.Print_Area|1|'1'!$A$1:$G$40"_s,
                                 u"_xlnm.Print_Area|2|'2'!$A$1:$G$40"_s,
                                 u"_xlnm.Print_Titles|1|'1'!$A:$B,'1'!$1:$3"_s,
                                 u"_xlnm.Print_Titles|2|'2'!$A:$B,'2'!$1:$3"_s}));

    // Renaming a sheet carries its references along, in every name that mentions it.
    Workbook again;
    QVERIFY(reopen(book, again));
    QVERIFY(again.renameSheet(0, u"在庫 O'Neil"_s));
    QStringList renamed;
    for (const DefinedName& n : again.definedNames())
        renamed << n.name + u'|' + QString::number(n.sheet) + u'|' + n.formula;
    QVERIFY(renamed.contains(u"Total|-1|'在庫 O''Neil'!$C$3"_s));
    QVERIFY(renamed.contains(u"_xlnm.Print_Area|0|'在庫 O''Neil'!$A$1:$C$3"_s));
    const XlsxPackage pkg2 = saved(again);
    QCOMPARE(pkg2.problems(), QStringList());
}

void tst_Workbook::sheetNames_madeValidAndUnique_data() {
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    const QString a31 = u"abcdefghijklmnopqrstuvwxyz12345"_s;
    QTest::newRow("valid") << u"ランキング"_s << QStringList() << u"ランキング"_s;
    QTest::newRow("digit") << u"1"_s << QStringList({u"2"_s}) << u"1"_s;
    QTest::newRow("slash") << u"a/b"_s << QStringList() << u"a_b"_s;
    QTest::newRow("brackets") << u"[x]"_s << QStringList() << u"_x_"_s;
    QTest::newRow("all refused") << u"a:b*c?d\\e"_s << QStringList() << u"a_b_c_d_e"_s;
    QTest::newRow("control") << u"a\tb"_s << QStringList() << u"a_b"_s;
    QTest::newRow("31 kept") << a31 << QStringList() << a31;
    QTest::newRow("32 cut") << a31 + u"6"_s << QStringList() << a31;
    QTest::newRow("apostrophes at the ends") << u"'x'"_s << QStringList() << u"x"_s;
    QTest::newRow("apostrophe inside") << u"O'Neil"_s << QStringList() << u"O'Neil"_s;
    QTest::newRow("only apostrophes") << u"''"_s << QStringList() << u"Sheet"_s;
    QTest::newRow("empty") << QString() << QStringList() << u"Sheet"_s;
    QTest::newRow("duplicate ignoring case")
        << u"Page"_s << QStringList({u"PAGE"_s}) << u"Page (2)"_s;
    QTest::newRow("duplicate full-width ignoring case")
        << u"ａｂ"_s << QStringList({u"ＡＢ"_s}) << u"ａｂ (2)"_s;
    QTest::newRow("second duplicate")
        << u"Page"_s << QStringList({u"page"_s, u"Page (2)"_s}) << u"Page (3)"_s;
    QTest::newRow("long duplicate cut before the number")
        << a31 << QStringList({a31}) << a31.left(27) + u" (2)"_s;
    QTest::newRow("reserved") << u"history"_s << QStringList() << u"history (2)"_s;
    QTest::newRow("no half surrogate")
        << QString(30, u'a') + u"😀"_s << QStringList() << QString(30, u'a');
    QTest::newRow("cut leaves no end apostrophe")
        << QString(30, u'a') + u"'b"_s << QStringList() << QString(30, u'a');
}

void tst_Workbook::sheetNames_madeValidAndUnique() {
    QFETCH(QString, wanted);
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    QCOMPARE(Workbook::validSheetName(wanted, taken), expected);
}

// Page names built from short names ("A/B" + page number, two suppliers of the same name)
// used to stop the report; now they become valid, distinct sheets.
void tst_Workbook::refusedSheetNames_neverFailARun() {
    Workbook book;
    QVERIFY(openFixture(book));
    const QStringList wanted = {u"A/B1"_s,
                                u"A/B1"_s,
                                u"a_b1"_s,
                                u"[仕入]1"_s,
                                u"とても長い仕入先の名前が三十一文字を超える場合1"_s,
                                u"'1"_s,
                                u"data"_s};
    QStringList got;
    for (const QString& w : wanted) {
        Worksheet* ws = book.copySheet(0, w);
        QVERIFY2(ws, qPrintable(book.errorText()));
        got << ws->name();
    }
    QCOMPARE(got, QStringList({u"A_B1"_s, u"A_B1 (2)"_s, u"a_b1 (3)"_s, u"_仕入_1"_s,
                               u"とても長い仕入先の名前が三十一文字を超える場合1"_s.left(31),
                               u"1"_s, u"data (2)"_s}));
    QVERIFY(book.deleteSheet(0));
    QCOMPARE(saved(book).problems(), QStringList());
}

void tst_Workbook::activeSheet_isTheOnlySelectedTab() {
    Workbook book;
    QVERIFY(openFixture(book));
    QVERIFY(book.copySheet(0, u"1"_s));
    QVERIFY(book.copySheet(0, u"2"_s));
    QCOMPARE(book.activeSheet(), 0);
    // Deleting the active sheet hands the tab to the sheet now at its place.
    QVERIFY(book.deleteSheet(0));
    QCOMPARE(book.activeSheet(), 0);
    QVERIFY(book.setActiveSheet(2));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(pkg.activeTab(), 2);
    QVERIFY(partText(pkg, pkg.sheetPart(u"2"_s)).contains(u"tabSelected=\"1\""_s));
    QVERIFY(!book.setActiveSheet(3));
}

void tst_Workbook::cells_writtenInAnyOrderStaySorted() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.copySheet(0, u"1"_s);
    QVERIFY(ws->setText(5, 3, u"C5"_s) == false); // covered by the merge B5:C5
    QVERIFY(ws->setText(8, 3, u"C8"_s));
    QVERIFY(ws->setText(8, 1, u"A8"_s));
    QVERIFY(ws->setNumber(2, 2, 22));
    QVERIFY(ws->setText(1, 1, u"A1"_s));
    QVERIFY(ws->setText(7, 28, u"AB7"_s));
    QVERIFY(ws->setText(7, 27, u"AA7"_s));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QVERIFY(partText(pkg, pkg.sheetPart(u"1"_s)).contains(u"<dimension ref=\"A1:AB8\"/>"_s));

    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(u"1"_s);
    QCOMPARE(back->value(8, 3), QVariant(u"C8"_s));
    QCOMPARE(back->value(8, 1), QVariant(u"A8"_s));
    QCOMPARE(back->value(2, 2), QVariant(22.0));
    QCOMPARE(back->value(7, 27), QVariant(u"AA7"_s));
    QCOMPARE(back->value(7, 28), QVariant(u"AB7"_s));
    QCOMPARE(back->lastRow(), 8);
    QCOMPARE(back->lastColumn(), 28);
}

void tst_Workbook::overwriting_keepsStyleAndDropsOldContent() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(0);
    QVERIFY(ws->setText(1, 1, u"新しい題"_s)); // was a shared string with style 2
    QVERIFY(ws->setText(2, 3, u"text"_s));     // was a formula with style 1
    QVERIFY(ws->setNumber(2, 3, 5));           // and now a number
    QVERIFY(ws->setText(1, 2, QString()));     // an empty text clears the value
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(cellXml(pkg, u"雛型"_s, u"A1"_s),
             u"<c r=\"A1\" s=\"2\" t=\"inlineStr\"><is><t>新しい題</t></is></c>"_s);
    QCOMPARE(cellXml(pkg, u"雛型"_s, u"C2"_s), u"<c r=\"C2\" s=\"1\"><v>5</v></c>"_s);
    QCOMPARE(cellXml(pkg, u"雛型"_s, u"B1"_s), u"<c r=\"B1\"/>"_s);
    QCOMPARE(countElements(pkg, pkg.sheetPart(u"雛型"_s), "c"), 8);
    // The shared strings stay as they were.
    QCOMPARE(pkg.part(u"xl/sharedStrings.xml"_s), fixturePart(u"xl/sharedStrings.xml"_s));
}

void tst_Workbook::text_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::newRow("plain") << u"仕入先名簿"_s << u"<t>仕入先名簿</t>"_s;
    QTest::newRow("markup") << u"a&<>\"b"_s << u"<t>a&amp;&lt;&gt;\"b</t>"_s;
    QTest::newRow("leading space") << u" 仕入"_s << u"<t xml:space=\"preserve\"> 仕入</t>"_s;
    QTest::newRow("trailing spaces") << u"a  "_s << u"<t xml:space=\"preserve\">a  </t>"_s;
    QTest::newRow("one space") << u" "_s << u"<t xml:space=\"preserve\"> </t>"_s;
    QTest::newRow("full-width spaces") << u"　a　"_s << u"<t>　a　</t>"_s;
    QTest::newRow("lines") << u"a\nb"_s << u"<t>a\nb</t>"_s;
    QTest::newRow("carriage return") << u"a\r\nb"_s << u"<t>a_x000D_\nb</t>"_s;
    QTest::newRow("control") << u"a\u0001b"_s << u"<t>a_x0001_b</t>"_s;
    QTest::newRow("escape-like text") << u"_x0041_"_s << u"<t>_x005F_x0041_</t>"_s;
    QTest::newRow("triangle") << u"▲1,234"_s << u"<t>▲1,234</t>"_s;
}

void tst_Workbook::text() {
    QFETCH(QString, text);
    QFETCH(QString, stored);
    Workbook book;
    QVERIFY(book.create(u"S"_s, u"ＭＳ Ｐゴシック"_s, 11));
    QVERIFY(book.sheet(0)->setText(3, 2, text));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    const QString xml = cellXml(pkg, u"S"_s, u"B3"_s);
    QVERIFY2(xml.contains(stored), qPrintable(xml));
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(0)->value(3, 2), QVariant(text));
}

void tst_Workbook::numbers_ignoreTheLocale_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("decimal") << 1234.5 << u"1234.5"_s;
    QTest::newRow("negative") << -0.25 << u"-0.25"_s;
    QTest::newRow("large") << 123456789012.0 << u"123456789012"_s;
    QTest::newRow("exponent") << 1e21 << u"1e+21"_s;
    QTest::newRow("negative zero") << -0.0 << u"0"_s;
    QTest::newRow("shortest") << 0.1 << u"0.1"_s;
}

void tst_Workbook::numbers_ignoreTheLocale() {
    QFETCH(double, value);
    QFETCH(QString, stored);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* cBefore = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saveC = cBefore ? cBefore : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // takes effect where the locale is installed
    Workbook book;
    QVERIFY(book.create(u"S"_s, u"Arial"_s, 10));
    QVERIFY(book.sheet(0)->setNumber(1, 1, value));
    const XlsxPackage pkg = saved(book);
    std::setlocale(LC_NUMERIC, saveC.c_str());
    QLocale::setDefault(before);
    QCOMPARE(cellXml(pkg, u"S"_s, u"A1"_s), u"<c r=\"A1\"><v>"_s + stored + u"</v></c>"_s);
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(0)->value(1, 1).toDouble(), value);
    QVERIFY(!book.sheet(0)->setNumber(1, 1, std::numeric_limits<double>::quiet_NaN()));
    QVERIFY(!book.sheet(0)->setNumber(1, 1, std::numeric_limits<double>::infinity()));
}

void tst_Workbook::templateValues_readBack() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(u"雛型"_s);
    QCOMPARE(ws->value(1, 1), QVariant(u"仕入先名簿"_s)); // phonetic run not included
    QCOMPARE(ws->value(1, 2), QVariant(u"Rich text"_s));
    QCOMPARE(ws->value(2, 3), QVariant(2.0));    // a formula's stored result
    QCOMPARE(ws->value(3, 1), QVariant(u"a"_s)); // cells without a reference
    QCOMPARE(ws->value(3, 2), QVariant(7.0));
    QVERIFY(!ws->value(4, 1).isValid());
    QCOMPARE(book.sheet(u"data"_s)->value(3, 3), QVariant(42.0));
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
    QCOMPARE(countElements(pkg, u"xl/styles.xml"_s, "fill"), 3);
    QCOMPARE(countElements(pkg, u"xl/styles.xml"_s, "font"), 3);
    QCOMPARE(countElements(pkg, u"xl/styles.xml"_s, "xf"), 4 + 2 + 1); // + cellStyleXfs
    // The formats that were there are unchanged.
    const QString original = QString::fromUtf8(fixturePart(u"xl/styles.xml"_s));
    for (
        const QString& xf :
        {u"<xf numFmtId=\"176\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"_s,
         u"<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"><alignment horizontal=\"center\"/></xf>"_s}) {
        QVERIFY(original.contains(xf));
        QVERIFY2(styles.contains(xf), qPrintable(xf));
    }

    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(0);
    const CellFormat filled = back->format(50, 2);
    QCOMPARE(filled.fillColorIndex, 3);
    QCOMPARE(filled.numberFormat, u"#,##0_ "_s); // the column's format kept
    QCOMPARE(back->format(10, 2).styleIndex, filled.styleIndex);
    QVERIFY(styles.contains(u"<fgColor indexed=\"10\"/>"_s));
    QVERIFY(styles.contains(u"applyFill=\"1\""_s));
    const CellFormat a1 = back->format(1, 1);
    QCOMPARE(a1.fontSize, 9.0);
    QVERIFY(a1.bold);
    QCOMPARE(a1.fontName, u"ＭＳ Ｐゴシック"_s);
    QCOMPARE(a1.horizontal, u"center"_s);
    QCOMPARE(back->format(1, 2).styleIndex, 0); // B1 untouched
}

void tst_Workbook::numberFormats_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("id");
    QTest::newRow("text") << u"@"_s << 49;
    QTest::newRow("general") << u"General"_s << 0;
    QTest::newRow("zero") << u"0"_s << 1;
    QTest::newRow("existing custom reused") << u"#,##0_ "_s << 176;
    QTest::newRow("#0 is custom") << u"#0"_s << 177;
    QTest::newRow("###,0 is custom") << u"###,0"_s << 177;
    QTest::newRow("#,##0 is custom") << u"#,##0"_s << 177;
    QTest::newRow("japanese literal") << u"#,##0\"円\""_s << 177;
}

void tst_Workbook::numberFormats() {
    QFETCH(QString, code);
    QFETCH(int, id);
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(1);
    QVERIFY(ws->setNumberFormat(3, 3, code));
    QVERIFY(ws->setNumberFormat(4, 3, code)); // the same code again adds nothing
    QCOMPARE(ws->format(3, 3).numberFormatId, id);
    QCOMPARE(ws->format(4, 3).styleIndex, ws->format(3, 3).styleIndex);
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QCOMPARE(countElements(pkg, u"xl/styles.xml"_s, "numFmt"), id > 176 ? 2 : 1);
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(1)->format(3, 3).numberFormat, code);
    QVERIFY(partText(pkg, u"xl/styles.xml"_s).contains(u"applyNumberFormat=\"1\""_s));
    QVERIFY(!ws->setNumberFormat(3, 3, QString()));
}

void tst_Workbook::fills_useTheColourIndex_data() {
    QTest::addColumn<int>("colorIndex");
    QTest::addColumn<bool>("ok");
    QTest::newRow("black") << 1 << true;
    QTest::newRow("red") << 3 << true;
    QTest::newRow("light turquoise") << 34 << true;
    QTest::newRow("last") << 56 << true;
    QTest::newRow("none") << 0 << true;
    QTest::newRow("beyond") << 57 << false;
    QTest::newRow("negative") << -1 << false;
}

void tst_Workbook::fills_useTheColourIndex() {
    QFETCH(int, colorIndex);
    QFETCH(bool, ok);
    Workbook book;
    QVERIFY(book.create(u"S"_s, u"Arial"_s, 10));
    QCOMPARE(book.sheet(0)->setFill(2, 2, colorIndex), ok);
    if (!ok) {
        QVERIFY(!book.errorText().isEmpty());
        return;
    }
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(0)->format(2, 2).fillColorIndex, colorIndex);
    if (colorIndex > 0)
        QVERIFY(partText(saved(book), u"xl/styles.xml"_s)
                    .contains(u"<fgColor indexed=\"%1\"/>"_s.arg(colorIndex + 7)));
}

void tst_Workbook::thinBorders_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("topLeft");
    QTest::addColumn<int>("middle");
    QTest::addColumn<int>("bottomRight");
    QTest::addColumn<int>("topRight");
    using namespace CellSide;
    QTest::newRow("all") << All << Outline << Outline << Outline << Outline;
    QTest::newRow("outline") << Outline << (Top | Left) << 0 << (Bottom | Right) << (Top | Right);
    QTest::newRow("inside vertical") << InsideVertical << Right << (Left | Right) << Left << Left;
    QTest::newRow("inside horizontal")
        << InsideHorizontal << Bottom << (Top | Bottom) << Top << Bottom;
    QTest::newRow("top only") << Top << Top << 0 << 0 << Top;
    QTest::newRow("none") << 0 << 0 << 0 << 0 << 0;
}

void tst_Workbook::thinBorders() {
    QFETCH(int, sides);
    QFETCH(int, topLeft);
    QFETCH(int, middle);
    QFETCH(int, bottomRight);
    QFETCH(int, topRight);
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(0);
    QVERIFY(ws->format(6, 4).diagonal);               // D6 carries a diagonal line in the template
    QVERIFY(ws->setThinBorders({4, 2, 6, 4}, sides)); // B4:D6
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(0);
    QCOMPARE(back->format(4, 2).thinSides, topLeft);
    QCOMPARE(back->format(5, 3).thinSides, middle); // C5, covered by the merge, too
    QCOMPARE(back->format(6, 4).thinSides, bottomRight);
    QCOMPARE(back->format(4, 4).thinSides, topRight);
    QCOMPARE(back->format(7, 4).lineSides, 0);           // outside the range
    QVERIFY(!back->format(6, 4).diagonal);               // diagonals always removed
    QCOMPARE(back->format(5, 2).styleIndex == 0, false); // B5 kept its bold base
    QVERIFY(back->format(5, 2).bold);
}

void tst_Workbook::columnWidths_splitRanges() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.sheet(0);
    QVERIFY(ws->setColumnWidth(3, 20.5));
    QVERIFY(ws->setColumnWidth(7, 9, 4));
    QVERIFY(ws->setRowHeight(1, 30));
    QVERIFY(ws->setRowHeight(20, 0));
    QVERIFY(!ws->setColumnWidth(0, 5));
    QVERIFY(!ws->setColumnWidth(2, 256));
    QVERIFY(!ws->setRowHeight(1, 410));
    QVERIFY(ws->setText(9, 4, u"x"_s)); // a new cell in D takes the column's style
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    const QString xml = partText(pkg, pkg.sheetPart(u"雛型"_s));
    QVERIFY2(
        xml.contains(u"<cols><col min=\"1\" max=\"2\" width=\"10\" style=\"1\" customWidth=\"1\"/>"
                     u"<col min=\"3\" max=\"3\" width=\"20.5\" style=\"1\" customWidth=\"1\"/>"
                     u"<col min=\"4\" max=\"5\" width=\"10\" style=\"1\" customWidth=\"1\"/>"
                     u"<col min=\"7\" max=\"9\" width=\"4\" customWidth=\"1\"/></cols>"_s),
        qPrintable(xml));
    QVERIFY(xml.contains(u"<row r=\"1\" ht=\"30\" customHeight=\"1\">"_s));
    QVERIFY(xml.contains(u"<c r=\"D9\" s=\"1\" t=\"inlineStr\">"_s));
    Workbook again;
    QVERIFY(reopen(book, again));
    Worksheet* back = again.sheet(0);
    QCOMPARE(back->columnWidth(2), 10.0);
    QCOMPARE(back->columnWidth(3), 20.5);
    QCOMPARE(back->columnWidth(8), 4.0);
    QCOMPARE(back->rowHeight(1), 30.0);
    QCOMPARE(back->rowHeight(2), 13.5); // the sheet's default
    QCOMPARE(back->rowHeight(20), 0.0);
}

// Settings changed on "雛型" before copying (row height and column width of the print position)
// appear on every page.
void tst_Workbook::templateChanges_carryIntoCopies() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* tpl = book.sheet(u"雛型"_s);
    QVERIFY(tpl->setRowHeight(1, tpl->rowHeight(1) + 12));
    QVERIFY(tpl->setColumnWidth(2, tpl->columnWidth(2) + 3));
    Worksheet* page = book.copySheet(0, u"p1"_s);
    QVERIFY(tpl->setText(30, 1, u"only on the template"_s));
    QCOMPARE(page->rowHeight(1), 25.5);
    QCOMPARE(page->columnWidth(2), 13.0);
    QVERIFY(!page->value(30, 1).isValid());
    QVERIFY(page->setText(1, 1, u"page"_s));
    QCOMPARE(tpl->value(1, 1), QVariant(u"仕入先名簿"_s));
    QCOMPARE(saved(book).problems(), QStringList());
}

void tst_Workbook::mergedCells() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* ws = book.copySheet(0, u"1"_s);
    QCOMPARE(ws->mergedRanges(), QList<CellRange>({{5, 2, 5, 3}}));
    QVERIFY(!ws->setText(5, 3, u"x"_s));
    QVERIFY(book.errorText().contains(u"C5"_s));
    QVERIFY(!ws->setNumber(5, 3, 1));
    QVERIFY(ws->setText(5, 2, u"origin"_s));
    QVERIFY(!ws->merge({4, 1, 5, 2})); // overlaps B5:C5
    QVERIFY(ws->setText(1, 5, u"kept"_s));
    QVERIFY(ws->setText(2, 6, u"dropped"_s));
    QVERIFY(ws->merge({1, 5, 2, 6}));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QVERIFY(
        partText(pkg, pkg.sheetPart(u"1"_s))
            .contains(
                u"<mergeCells count=\"2\"><mergeCell ref=\"B5:C5\"/><mergeCell ref=\"E1:F2\"/></mergeCells>"_s));
    Workbook again;
    QVERIFY(reopen(book, again));
    QCOMPARE(again.sheet(u"1"_s)->value(1, 5), QVariant(u"kept"_s));
    QVERIFY(!again.sheet(u"1"_s)->value(2, 6).isValid());
}

void tst_Workbook::pageSetup_roundTrip() {
    Workbook book;
    QVERIFY(openFixture(book));
    Worksheet* page = book.copySheet(0, u"1"_s);
    // The template's page setup is kept in copies.
    const PageSetup kept = page->pageSetup();
    QCOMPARE(kept.paperSize, 9);
    QVERIFY(kept.landscape);
    QVERIFY(kept.fitToPage);
    QCOMPARE(kept.fitToHeight, 0);
    QCOMPARE(kept.marginLeft, 0.5);
    QCOMPARE(kept.footer, u"&P / &N"_s);
    const XlsxPackage pkg = saved(book);
    const QString xml = partText(pkg, pkg.sheetPart(u"1"_s));
    QVERIFY(xml.contains(u"r:id=\"rId1\""_s)); // resolves to the copy's own printer settings

    PageSetup p;
    p.paperSize = 13;
    p.scale = 85;
    p.marginTop = 1.25;
    p.centerHorizontally = true;
    p.header = u"&A"_s;
    QVERIFY(page->setPageSetup(p));
    Workbook again;
    QVERIFY(reopen(book, again));
    const PageSetup back = again.sheet(u"1"_s)->pageSetup();
    QCOMPARE(back.paperSize, 13);
    QVERIFY(!back.landscape);
    QVERIFY(!back.fitToPage);
    QCOMPARE(back.scale, 85);
    QCOMPARE(back.marginTop, 1.25);
    QVERIFY(back.centerHorizontally);
    QCOMPARE(back.header, u"&A"_s);
    QVERIFY(back.footer.isEmpty());
    QCOMPARE(saved(again).problems(), QStringList());
    p.scale = 5;
    QVERIFY(!page->setPageSetup(p));
}

void tst_Workbook::createdWorkbook_isSound() {
    Workbook book;
    QVERIFY(book.create(u"雛型"_s, u"ＭＳ Ｐゴシック"_s, 10));
    QCOMPARE(book.sheetNames(), QStringList({u"雛型"_s}));
    Worksheet* ws = book.sheet(0);
    QCOMPARE(ws->rowHeight(1), 12.0);
    QCOMPARE(ws->format(1, 1).fontName, u"ＭＳ Ｐゴシック"_s);
    QCOMPARE(ws->format(1, 1).fontSize, 10.0);
    QVERIFY(book.setPrintArea(0, {1, 1, 60, 7}));
    QVERIFY(book.setPrintTitleRows(0, 1, 4));
    QVERIFY(book.setPrintTitleRows(0, 2, 3)); // replaces, never duplicates
    QVERIFY(!book.setPrintTitleRows(0, 3, 2));
    QStringList names;
    for (const DefinedName& n : book.definedNames())
        names << n.name + u'|' + n.formula;
    QCOMPARE(names, QStringList({u"_xlnm.Print_Area|'雛型'!$A$1:$G$60"_s,
                                 u"_xlnm.Print_Titles|'雛型'!$2:$3"_s}));
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QVERIFY(!book.create(u"x"_s, QString(), 10));
    QVERIFY(!book.isOpen());
}

void tst_Workbook::failedSave_leavesNoFile_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("missing folder") << u"missing/out.xlsx"_s << false;
    QTest::newRow("folder is a file") << u"file.txt/out.xlsx"_s << false;
    QTest::newRow("target is a folder") << u"sub"_s << false;
    QTest::newRow("unwritable folder") << u"locked/out.xlsx"_s << true;
}

void tst_Workbook::failedSave_leavesNoFile() {
    QFETCH(QString, relative);
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder && ::geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
    QVERIFY(QDir(dir.path()).mkdir(u"locked"_s));
    QFile f(dir.filePath(u"file.txt"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QFile::setPermissions(dir.filePath(u"locked"_s),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Workbook book;
    QVERIFY(openFixture(book));
    QVERIFY(!book.save(dir.filePath(relative)));
    QVERIFY(book.errorText().contains(dir.filePath(relative)));
    QCOMPARE(QDir(dir.filePath(u"locked"_s)).entryList(QDir::Files | QDir::Hidden).size(), 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"file.txt"_s}));
    QFile::setPermissions(dir.filePath(u"locked"_s),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The workbook is still whole and can be saved elsewhere.
    QVERIFY(book.save(dir.filePath(u"ok.xlsx"_s)));
    XlsxPackage pkg;
    QVERIFY(pkg.load(dir.filePath(u"ok.xlsx"_s)));
    QCOMPARE(pkg.problems(), QStringList());
}

void tst_Workbook::save_replacesAnExistingFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.xlsx"_s);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    Workbook book;
    QVERIFY(openFixture(book));
    QVERIFY(book.save(path));
    Workbook again;
    QVERIFY2(again.open(path), qPrintable(again.errorText()));
    QCOMPARE(again.sheetNames(), QStringList({u"雛型"_s, u"Data"_s}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"out.xlsx"_s}));
}

void tst_Workbook::unreadableInput_failsCleanly_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    using fixture::Parts;
    const Parts parts = fixture::excelTemplateParts();
    Parts noTypes = parts;
    noTypes.removeFirst();
    QTest::newRow("not a zip") << QByteArray("just text") << u"ZIP"_s;
    QTest::newRow("empty") << QByteArray() << u"ブックの形式"_s;
    QTest::newRow("no content types") << fixture::zip(noTypes) << u"Content_Types"_s;
    QTest::newRow("strict")
        << fixture::zip(fixture::withPart(
               parts, u"xl/workbook.xml"_s,
               R"(<workbook xmlns="http://purl.oclc.org/ooxml/spreadsheetml/main"><sheets/></workbook>)"))
        << u"Strict"_s;
    QTest::newRow("broken sheet xml")
        << fixture::zip(
               fixture::withPart(parts, u"xl/worksheets/sheet2.xml"_s, "<worksheet><sheetData>"))
        << u"sheet2.xml"_s;
    QTest::newRow("missing sheet part")
        << fixture::zip(fixture::withPart(
               parts, u"xl/_rels/workbook.xml.rels"_s,
               R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
               R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet9.xml"/>)"
               R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/>)"
               R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
               R"(</Relationships>)"))
        << u"sheet9.xml"_s;
}

void tst_Workbook::unreadableInput_failsCleanly() {
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    Workbook book;
    QVERIFY(!book.openData(data));
    QVERIFY2(book.errorText().contains(reason), qPrintable(book.errorText()));
    QVERIFY(!book.isOpen());
    QCOMPARE(book.sheetCount(), 0);
    QVERIFY(!book.copySheet(0, u"1"_s));
    QByteArray out;
    QVERIFY(!book.saveToData(out));
}

void tst_Workbook::lastVisibleSheet_cannotBeDeleted() {
    Workbook book;
    QVERIFY(book.create(u"only"_s, u"Arial"_s, 10));
    QVERIFY(!book.deleteSheet(0));
    QCOMPARE(book.sheetCount(), 1);
    QVERIFY(!book.deleteSheet(1));
    QVERIFY(!book.open(u"/nonexistent/folder/master.xlsx"_s));
    QVERIFY(book.errorText().contains(u"/nonexistent/folder/master.xlsx"_s));
}

void tst_Workbook::copiesOfACopy_getOwnPartsAndNames() {
    Workbook book;
    QVERIFY(openFixture(book));
    QVERIFY(book.copySheet(0, u"A"_s));
    QVERIFY(book.copySheet(2, u"B"_s)); // a copy of the copy
    QVERIFY(book.deleteSheet(2));       // "A" goes; "B" keeps its own printer settings
    const XlsxPackage pkg = saved(book);
    QCOMPARE(pkg.problems(), QStringList());
    QStringList names = pkg.definedNames();
    names.sort();
    QVERIFY(names.contains(u"_xlnm.Print_Area|2|'B'!$A$1:$G$40"_s));
    QVERIFY(names.contains(u"_xlnm.Print_Area|0|雛型!$A$1:$G$40"_s));
}

QTEST_GUILESS_MAIN(tst_Workbook)
#include "tst_Workbook.moc"
