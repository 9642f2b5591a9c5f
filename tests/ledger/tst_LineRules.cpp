#include "TestData.h"
#include "TestServices.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "ledger/LineRules.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "" is an empty cell; anything else a currency value.
std::optional<Currency> cur(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    return Currency::parse(text);
}

const QString crlf = u"\r\n"_s;

} // namespace

class tst_LineRules : public DataFileTest {
    Q_OBJECT
private slots:
    void cellText_data();
    void cellText();
    void choicesOfTheDropDownLists();
    void unreadableListIsAFailureNotARefusal();

    void derivations_data();
    void derivations();
    void derivationOnlyFillsEmptyCells();

    void afterUpdate();

    void lineCheck_data();
    void lineCheck();
    void lineCheckTexts();

    void columnTableMatchesTheDataFile_data();
    void columnTableMatchesTheDataFile();
};

// ---- Cell validation ---------------------------------------------------------------------------

// Column, text, message ("" when accepted), the accepted value as text.
const struct CellCase {
    const char* name;
    int column;
    const char16_t* text;
    const char16_t* message;
    const char16_t* stored;
} kCellCases[] = {
    {"ratio -5", 10, u"-5", u"０以下は入力しないでください", u""},
    {"ratio 12.5", 10, u"12.5", u"", u"12.5"},
    {"quantity -5", 7, u"-5", u"", u"-5"},
    {"cost -5", 11, u"-5", u"", u"-5"},
    {"check 0", 13, u"0", u"", u"0"},
    {"check -1", 13, u"-1", u"０以下は入力しないでください", u""},
    {"unit price -5", 8, u"-5", u"０以下は入力しないでください", u""},
    // The fraction rule comes before the zero and sign rules.
    {"unit price -0.5", 8, u"-0.5", u"小数は入力しないでください", u""},
    // Limits: the largest value and one past it.
    {"quantity 99999", 7, u"99999", u"", u"99999"},
    {"quantity -100000", 7, u"-100000", u"-99,999 ～ 99,999 の範囲で入力してください", u""},
    {"unit price at limit", 8, u"999999999", u"", u"999999999"},
    {"regular price past", 9, u"1,000,000,000", u"999,999,999 以下で入力してください", u""},
    {"ratio 100", 10, u"100", u"", u"100"},
    {"ratio 100.0001", 10, u"100.0001", u"100 以下で入力してください", u""},
    {"cost at limit", 11, u"9999999999", u"", u"9999999999"},
    {"payment past", 12, u"10000000000",
     u"-9,999,999,999 ～ 9,999,999,999 の範囲で入力してください", u""},
    {"check past", 13, u"10000000000", u"9,999,999,999 以下で入力してください", u""},
    // Too long for the currency type at all: still a number past the limit.
    {"cost of 20 digits", 11, u"99999999999999999999",
     u"-9,999,999,999 ～ 9,999,999,999 の範囲で入力してください", u""},
    {"letters", 11, u"abc", u"数値を入力してください", u""},
    {"full-width with separator", 11, u"１，２３４", u"", u"1234"},
    {"spaces only", 11, u"  ", u"", u"<null>"},
    {"date 30 February", 1, u"2024/2/30",
     u"その日付はありません（月は1～12、日はその月の末日まで）", u""},
    {"date text", 1, u"あした", u"日付を入力してください", u""},
    {"date yy 29", 1, u"29/12/31", u"", u"2029-12-31"},
    {"date yy 30", 1, u"30/01/01", u"", u"1930-01-01"},
    {"date full-width kanji", 1, u"２０２４年３月５日", u"", u"2024-03-05"},
    {"date month/day of this year", 1, u"12/31", u"", u"2024-12-31"},
    {"date trailing text", 1, u"2024/03/05x", u"日付を入力してください", u""},
    {"date empty", 1, u"", u"", u"<null>"},
    {"item any text", 3, u"O'Neil の 100%", u"", u"O'Neil の 100%"},
    // List columns take only their entries ("list": message 50 "choose from the list").
    {"sort 1", 2, u"1", u"", u"1"},
    {"sort 40", 2, u"40", u"", u"40"},
    {"sort 41", 2, u"41", u"list", u""},
    {"sort 0", 2, u"0", u"list", u""},
    {"sort 01", 2, u"01", u"list", u""},
    {"enabled class", 4, u"文具", u"", u"文具"},
    {"disabled class", 4, u"廃番", u"list", u""},
    {"class with trailing space", 4, u"文具 ", u"list", u""},
    {"class of another list", 5, u"文具", u"list", u""},
    {"class 3 entry", 6, u"通販", u"", u"通販"},
    {"class empty", 6, u"", u"", u"<null>"},
};

void tst_LineRules::cellText_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");
    for (const CellCase& c : kCellCases)
        QTest::newRow(c.name) << c.column << QString::fromUtf16(c.text)
                              << QString::fromUtf16(c.message) << QString::fromUtf16(c.stored);
    for (int c : {7, 8, 9, 11, 12, 13})
        QTest::addRow("12.5 in column %d", c)
            << c << u"12.5"_s << u"小数は入力しないでください"_s << u""_s;
    for (int c : {7, 8, 9, 10, 11, 12})
        QTest::addRow("0 in column %d", c) << c << u"0"_s << u"０は入力しないでください"_s << u""_s;
}

void tst_LineRules::cellText() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    Database& db = gdbData();
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA_CLASS1 (strClassItem,lngSort,blnEnable) VALUES "
                          "('文具',1,1),('廃番',2,0)"_s));
    QVERIFY(db.executeSQL(u"INSERT INTO T_DATA_CLASS3 (strClassItem,lngSort,blnEnable) VALUES "
                          "('通販',1,1)"_s));
    QVariant value;
    RuleResult r;
    QVERIFY(gCheckCellText(column, 1, text, value, r));
    const bool list = message == u"list"_s;
    QCOMPARE(r.text, list ? QString() : message);
    QCOMPARE(r.addText, list ? u"リストの中から"_s : QString());
    QCOMPARE(r.msgCode, list ? 50 : 0);
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.focusColumn, r.ok ? -1 : column);
    const bool money = value.metaType() == QMetaType::fromType<Currency>();
    const QString shown = money ? value.value<Currency>().toString() : value.toString();
    QCOMPARE(value.isNull() ? u"<null>"_s : shown, r.ok ? stored : u"<null>"_s);
}

void tst_LineRules::choicesOfTheDropDownLists() {
    // Enabled entries by order, then by entry, after an empty one; nothing of a list before.
    QStringList items{u"前の"_s};
    QVERIFY(gGetLedgerListEntries(4, 1, items));
    QVERIFY(items.isEmpty());
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA_CLASS2 (strClassItem,lngSort,blnEnable) "
                                 "VALUES ('B',2,1),('A',1,1),('C',1,0),('D',1,1)"_s));
    QVERIFY(gGetLedgerListEntries(5, 2, items));
    QCOMPARE(items, (QStringList{u""_s, u"A"_s, u"D"_s, u"B"_s}));
    // Item lists belong to one ledger each; entries without an order come first.
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA2_ITEM (strItem,lngSort) VALUES ('売上B',2),"
                                 "('売上A',1),('無順',NULL)"_s));
    QVERIFY(gGetLedgerListEntries(3, 2, items));
    QCOMPARE(items, (QStringList{u""_s, u"無順"_s, u"売上A"_s, u"売上B"_s}));
    QVERIFY(gGetLedgerListEntries(3, 1, items));
    QVERIFY(items.isEmpty());
    items = QStringList{u"kept"_s};
    QVERIFY(!gGetLedgerListEntries(7, 1, items));
    QVERIFY(!gGetLedgerListEntries(3, 3, items));
    QCOMPARE(items, QStringList{u"kept"_s});
    QCOMPARE(m_folder->errorLogEntries(), 2);
}

void tst_LineRules::unreadableListIsAFailureNotARefusal() {
    TOVAKI_DATA_FILE_ONLY("a dropped list table");
    QVERIFY(gdbData().executeSQL(u"DROP TABLE T_DATA_CLASS2"_s));
    QVariant value = u"old"_s;
    RuleResult r;
    QVERIFY(!gCheckCellText(LedgerCol::Class2, 1, u"定番"_s, value, r));
    QVERIFY(r.ok && !r.hasMessage() && value.isNull());
    QVERIFY(m_folder->errorLog().contains(u"gGetLedgerListEntries"_s));
    QVERIFY(gCheckCellText(LedgerCol::Class2, 1, QString(), value, r)); // needs no list
}

// ---- Derived amounts ---------------------------------------------------------------------------

// The line's quantity, unit price, regular price, ratio and cost ("" empty), the supplier's
// default ratio, the value written ("" none), the line's ratio afterwards and the warning.
const struct DeriveCase {
    const char* name;
    int column;
    const char16_t* in[6];
    const char16_t* expected;
    const char16_t* ratioAfter;
    const char16_t* warning;
} kDeriveCases[] = {
    {"quantity keeps sign", 7, {u"", u"600", u"", u"", u"-1800", u""}, u"-3", u"", u""},
    {"quantity cut", 7, {u"", u"600", u"", u"", u"1799", u""}, u"2", u"", u""},
    {"quantity 0 not written", 7, {u"", u"600", u"", u"", u"100", u""}, u"", u"", u""},
    {"quantity cost 1 is no cost", 7, {u"", u"1", u"", u"", u"1", u""}, u"", u"", u""},
    {"unit price 1000 x 60%", 8, {u"3", u"", u"1000", u"60", u"", u""}, u"600", u"60", u""},
    {"unit price cost 1", 8, {u"", u"", u"1000", u"60", u"1", u""}, u"600", u"60", u""},
    {"unit price needs line ratio", 8, {u"", u"", u"1000", u"", u"", u"60"}, u"", u"", u""},
    {"unit price of a return", 8, {u"-2", u"", u"", u"", u"1200", u""}, u"600", u"", u""},
    {"unit price cut", 8, {u"3", u"", u"", u"", u"1000", u""}, u"333", u"", u""},
    {"unit price 0 not written", 8, {u"3", u"", u"", u"", u"2", u""}, u"", u"", u""},
    {"regular from default ratio", 9, {u"3", u"", u"", u"", u"1800", u"60"}, u"1000", u"", u""},
    {"regular of a return", 9, {u"-3", u"", u"", u"60", u"-1800", u""}, u"1000", u"60", u""},
    {"regular from unit price", 9, {u"", u"600", u"", u"60", u"", u""}, u"1000", u"60", u""},
    {"regular without ratio", 9, {u"3", u"600", u"", u"", u"1800", u""}, u"", u"", u""},
    {"regular cost 1", 9, {u"", u"500", u"", u"50", u"1", u"50"}, u"", u"50", u""},
    {"regular cut", 9, {u"", u"", u"", u"30", u"1000", u""}, u"3333", u"30", u""},
    {"ratio 66.6 cut", 10, {u"", u"", u"1500", u"", u"1000", u""}, u"66.6", u"66.6", u""},
    {"ratio 133.3 refused", 10, {u"", u"", u"1500", u"", u"2000", u""}, u"", u"", u"133.3%"},
    {"return above 100", 10, {u"", u"", u"1500", u"", u"-2000", u""}, u"", u"", u"-133.3%"},
    {"ratio of a return", 10, {u"", u"", u"1500", u"", u"-1000", u""}, u"66.6", u"66.6", u""},
    {"from unit price over 100", 10, {u"", u"1500", u"1000", u"", u"", u""}, u"", u"", u"150 %"},
    {"ratio per unit", 10, {u"-3", u"", u"1000", u"", u"1800", u""}, u"60", u"60", u""},
    {"ratio exactly 100", 10, {u"", u"", u"1000", u"", u"1000", u""}, u"100", u"100", u""},
    {"ratio counts a cost of 1", 10, {u"", u"", u"100", u"", u"1", u""}, u"1", u"1", u""},
    {"ratio from default", 10, {u"", u"", u"", u"", u"1800", u"72.5"}, u"72.5", u"72.5", u""},
    {"ratio below 0.1", 10, {u"", u"", u"100000", u"", u"50", u""}, u"", u"", u""},
    {"ratio 0.1", 10, {u"", u"", u"100000", u"", u"100", u""}, u"0.1", u"0.1", u""},
    // 580 / 1000 x 100 is 57.99999... in binary floating point; the ratio is 58.
    {"ratio 58 not 57.9", 10, {u"", u"", u"1000", u"", u"580", u""}, u"58", u"58", u""},
    {"cost 3 x 1000 x 60%", 11, {u"3", u"", u"1000", u"60", u"", u""}, u"1800", u"60", u""},
    {"cost of a return", 11, {u"-2", u"600", u"", u"", u"", u""}, u"-1200", u"", u""},
    // The default ratio goes into the line with the cost, and even without a price.
    {"cost from default", 11, {u"2", u"", u"1000", u"", u"", u"60"}, u"1200", u"60", u""},
    {"default without price", 11, {u"2", u"", u"", u"", u"", u"62.5"}, u"", u"62.5", u""},
    {"cost cut", 11, {u"3", u"", u"1000", u"33.3", u"", u""}, u"999", u"33.3", u""},
    {"cost 0 is written", 11, {u"", u"", u"1", u"50", u"", u""}, u"0", u"50", u""},
    {"cost without ratio", 11, {u"2", u"", u"1000", u"", u"", u""}, u"", u"", u""},
    {"cost too large", 11, {u"99999", u"999999999", u"", u"", u"", u""}, u"", u"", u"big"},
    // The derived amount at the limit is written; one yen more is refused.
    {"cost at the limit", 11, {u"99", u"101010101", u"", u"", u"", u""}, u"9999999999", u"", u""},
    {"cost past the limit", 11, {u"100", u"100000000", u"", u"", u"", u""}, u"", u"", u"big"},
};

void tst_LineRules::derivations_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kDeriveCases)); ++i)
        QTest::newRow(kDeriveCases[i].name) << i;
}

void tst_LineRules::derivations() {
    QFETCH(int, index);
    const DeriveCase& c = kDeriveCases[index];
    const auto in = [&c](int i) { return cur(QString::fromUtf16(c.in[i])); };
    LedgerLine line; // columns 7 to 11: quantity, unit price, regular price, ratio, cost
    for (int i = 0; i < 5; ++i)
        QVERIFY(line.setValue(7 + i, in(i) ? QVariant::fromValue(*in(i)) : QVariant()));
    DeriveResult r;
    QVERIFY(gDeriveColumn(c.column, line, in(5), r));
    const QString expected = QString::fromUtf16(c.expected);
    QCOMPARE(r.computed, !expected.isEmpty());
    const QVariant written = line.value(c.column);
    QCOMPARE(written.isNull() ? u""_s : written.value<Currency>().toString(), expected);
    QCOMPARE(line.curRatio ? line.curRatio->toString() : u""_s, QString::fromUtf16(c.ratioAfter));
    QString warning = QString::fromUtf16(c.warning);
    if (warning == u"big"_s)
        warning =
            u"計算値が大きすぎるため、入力できません"_s + crlf + crlf + u"（上限 9,999,999,999）"_s;
    else if (!warning.isEmpty())
        warning = u"計算値が100%を超えました"_s + crlf + crlf + u"計算値 "_s + warning;
    QCOMPARE(r.warning.text, warning);
    QCOMPARE(r.warning.hasMessage(), !warning.isEmpty());
}

void tst_LineRules::derivationOnlyFillsEmptyCells() {
    for (int column = 7; column <= 11; ++column) {
        LedgerLine line;
        for (int c = 7; c <= 11; ++c)
            QVERIFY(line.setValue(c, QVariant::fromValue(Currency::fromInt(c == column ? 5 : 90))));
        const LedgerLine before = line;
        DeriveResult r;
        QVERIFY(gDeriveColumn(column, line, Currency::fromInt(70), r));
        QVERIFY(!r.computed && line == before);
    }
}

// ---- After a cell is stored --------------------------------------------------------------------

void tst_LineRules::afterUpdate() {
    QVERIFY(gSetSystemStrField(13, u"文具"_s));
    // A new line takes the shown supplier, the change mark and the defaults of empty classes.
    LedgerLine line;
    line.strClass3 = u"店頭"_s;
    line.date1 = parseLedgerDate(u"99/12/30"_s); // the zero date becomes NULL
    QVERIFY(gAfterCellUpdate(line, 12));
    QCOMPARE(line.lngMasterID, std::optional<qint32>(12));
    QVERIFY(line.blnChange);
    QCOMPARE(line.strClass1, std::optional<QString>(u"文具"_s));
    QVERIFY(!line.date1);
    // A stored line keeps its classes; blank texts become NULL, the note is kept as typed.
    LedgerLine old;
    old.lngMasterID = 12;
    old.date1 = QDate(1899, 12, 31);
    old.strItem = u"  "_s;
    old.strClass2 = u"　"_s; // a full-width space trims away as well
    old.strNote = u"  "_s;
    QVERIFY(gAfterCellUpdate(old, 12));
    QVERIFY(!old.strClass1 && !old.strItem && !old.strClass2 && old.date1 && old.strNote);
    // The keyboard fill of an empty class cell works on stored lines too.
    QVERIFY(mInputClass1Default(old));
    QCOMPARE(old.strClass1, std::optional<QString>(u"文具"_s));
}

// ---- Line check --------------------------------------------------------------------------------

// Date, item, cost, payment, ratio, regular price, whether the supplier has a default ratio;
// the message ("" passes, "19": the date is missing) and the column to go back to.
const char16_t* const kNeither = u"仕入金額 か 支払金額 の入力は必須です";
const char16_t* const kBoth = u"仕入金額 と 支払金額 の両方に値を入れるのは不正です";
const char16_t* const kRatio = u"仕入規定掛率 が設定されていない場合   \r\n\r\n仕入金額 への入力は"
                               u"\r\n\r\n掛率 か 定価 の入力は必須です";
const struct LineCase {
    const char* name;
    bool hasDate;
    const char16_t* in[5];
    bool defaultRatio;
    const char16_t* message;
    int focusColumn;
} kLineCases[] = {
    {"no date", false, {u"", u"100", u"", u"60", u""}, false, u"19", 1},
    {"neither amount", true, {u"", u"", u"", u"", u""}, true, kNeither, 11},
    {"a cost of 1 is an amount", true, {u"", u"1", u"50", u"60", u""}, true, kBoth, 11},
    {"no ratio anywhere", true, {u"ペン", u"100", u"", u"", u""}, false, kRatio, 10},
    {"line ratio", true, {u"ペン", u"100", u"", u"60", u""}, false, u"", -1},
    {"regular price", true, {u"", u"100", u"", u"", u"200"}, false, u"", -1},
    {"default ratio", true, {u"", u"100", u"", u"", u""}, true, u"", -1},
    {"item containing tax", true, {u"6月分消費税", u"100", u"", u"", u""}, false, u"", -1},
    {"payment only", true, {u"", u"", u"-5000", u"", u""}, false, u"", -1},
    {"cost 0", true, {u"", u"0", u"", u"60", u""}, false, u"", -1},
};

void tst_LineRules::lineCheck_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kLineCases)); ++i)
        QTest::newRow(kLineCases[i].name) << i;
}

void tst_LineRules::lineCheck() {
    QFETCH(int, index);
    const LineCase& c = kLineCases[index];
    const auto in = [&c](int i) { return QString::fromUtf16(c.in[i]); };
    LedgerLine line;
    if (c.hasDate)
        line.date1 = QDate(2024, 3, 5);
    if (!in(0).isEmpty())
        line.strItem = in(0);
    line.curCost = cur(in(1));
    line.curPayment = cur(in(2));
    line.curRatio = cur(in(3));
    line.curRegularPrice = cur(in(4));
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(1, texts));
    const RuleResult r = gCheckLine(line, texts, c.defaultRatio);
    const QString message = QString::fromUtf16(c.message);
    QCOMPARE(r.ok, message.isEmpty());
    QCOMPARE(r.msgCode, message == u"19"_s ? 19 : 0);
    QCOMPARE(r.msgCode ? r.addText : r.text, r.msgCode ? u"日付は"_s : message);
    QCOMPARE(r.focusColumn, c.focusColumn);
}

// The check speaks of the ledger's own captions and ratio label.
void tst_LineRules::lineCheckTexts() {
    LineCheckTexts texts;
    QVERIFY(gGetLineCheckTexts(2, texts));
    QCOMPARE(texts.cost, u"売上金額"_s);
    QCOMPARE(texts.regularRatioLabel, u"売上規定掛率"_s);
    // A caption row that is missing makes the read fail (and say so).
    QVERIFY(gdbData().executeSQL(u"DELETE FROM T_DATA2_CAPTION WHERE lngCaptionNo=8"_s));
    QVERIFY(!gGetLineCheckTexts(2, texts));
    QVERIFY(m_folder->errorLog().contains(u"gGetLineCheckTexts"_s));
}

// ---- The column table against the data file ---------------------------------------------------

namespace {

// The names a pattern's first group finds in text.
QSet<QString> namesIn(const QString& text, const QString& pattern) {
    QSet<QString> names;
    QRegularExpressionMatchIterator i = QRegularExpression(pattern).globalMatch(text);
    while (i.hasNext())
        names.insert(i.next().captured(1));
    return names;
}

} // namespace

void tst_LineRules::columnTableMatchesTheDataFile_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("purchase ledger") << u"T_DATA1"_s;
    QTest::newRow("sales ledger") << u"T_DATA2"_s;
}

// The table's columns are the ledger's columns (besides lngID), and the history triggers of the
// shipped schema record exactly them: a column added to one and not the other is caught here.
void tst_LineRules::columnTableMatchesTheDataFile() {
    TOVAKI_DATA_FILE_ONLY("the column names of the file");
    QFETCH(QString, table);
    QSet<QString> all{u"lngID"_s}, recorded;
    for (const LedgerColumn& c : kLedgerColumns) {
        all.insert(QLatin1String(c.sqlName));
        if (c.inHistory)
            recorded.insert(QLatin1String(c.sqlName));
    }
    ResultSet columns(gdbData());
    QVERIFY(columns.openRecordSet(u"SELECT name FROM pragma_table_info(?)"_s, {table}));
    QSet<QString> stored;
    for (const QVariantList& row : columns.rows())
        stored.insert(row.value(0).toString());
    QCOMPARE(stored, all);

    ResultSet triggers(gdbData());
    QVERIFY(triggers.openRecordSet(u"SELECT name, sql FROM sqlite_master WHERE type = 'trigger' "
                                   "AND tbl_name = ? ORDER BY name"_s,
                                   {table}));
    QStringList names;
    for (const QVariantList& row : triggers.rows()) {
        const QString name = row.value(0).toString();
        const QString sql = row.value(1).toString();
        names << name;
        // Every json_object of the trigger holds each column under its own name.
        QCOMPARE(namesIn(sql, uR"('(\w+)', (?:NEW|OLD)\.\1\b)"_s), all);
        QCOMPARE(namesIn(sql, uR"('\w+', (?:NEW|OLD)\.(\w+))"_s), all);
        if (name.endsWith(u"_UPDATE"_s)) {
            const qsizetype begin = sql.indexOf(u"BEGIN"_s);
            // The columns whose change alone is recorded, and the unchanged ones left out of
            // the new values.
            QCOMPARE(namesIn(sql.left(begin), uR"(OLD\.(\w+) IS NOT NEW\.\1\b)"_s), recorded);
            QCOMPARE(
                namesIn(sql.mid(begin),
                        uR"(CASE WHEN OLD\.(\w+) IS NOT NEW\.\1 THEN '\$\.-' ELSE '\$\.\1')"_s),
                all);
        }
    }
    QCOMPARE(names, QStringList({table + u"_HISTORY_DELETE"_s, table + u"_HISTORY_INSERT"_s,
                                 table + u"_HISTORY_UPDATE"_s}));
}

QTEST_GUILESS_MAIN(tst_LineRules)
#include "tst_LineRules.moc"
