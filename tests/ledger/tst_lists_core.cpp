// The ledger's choice lists: class entries, item lists, class defaults, the ledger's drop-down
// entries and list checks, read back from a fresh data file.
#include "TestData.h"
#include "TestServices.h"

#include "base/Globals.h"
#include "ledger/ClassLists.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

class TestListsCore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void classTextBlankCheck_data();
    void classTextBlankCheck();
    void blankClassTextIsNeverStored();
    void classTextWithQuoteStoredAsTyped();
    void ledgerSortColumnOffersOneToForty();
    void ledgerItemListBelongsToItsLedger_data();
    void ledgerItemListBelongsToItsLedger();
    void disabledClassLeavesLedgerListButStaysADefaultChoice();
    void classOrderFollowsSortThenEntry();
    void emptyClassListRefusesEveryText();
    void ledgerListCheck_data();
    void ledgerListCheck();
    void classSortOutsideOneToNinetyNineRefused_data();
    void classSortOutsideOneToNinetyNineRefused();
    void changeOfMissingEntryIsAFailure();
    void wrongColumnOrClassIsAFailure_data();
    void wrongColumnOrClassIsAFailure();
    void classDefaultIsTheSettingOfNewLines_data();
    void classDefaultIsTheSettingOfNewLines();
    void itemRowsStoredAndChanged();
    void sortText_data();
    void sortText();

private:
    static qint64 addItem(int kind, const QVariant& text, const QVariant& sort);
    static QVariantList classRow(int classNo, qint64 id);

    std::unique_ptr<TestProgramFolder> m_folder;
};

void TestListsCore::init() {
    TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void TestListsCore::cleanup() {
    m_folder.reset();
}

qint64 TestListsCore::addItem(int kind, const QVariant& text, const QVariant& sort) {
    ItemEntry added;
    if (!gAddItemEntry(kind, text, sort, added))
        return -1;
    return added.rowId;
}

QVariantList TestListsCore::classRow(int classNo, qint64 id) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT strClassItem, lngSort, blnEnable FROM "
                                         "T_DATA_CLASS") +
                              QString::number(classNo) + QStringLiteral(" WHERE lngID = ?"),
                          {id}) ||
        rs.recordCount() != 1)
        return {};
    return rs.rows().front();
}

void TestListsCore::classTextBlankCheck_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("empty") << QString() << false << QString();
    QTest::newRow("half-width spaces") << u"   "_s << false << QString();
    QTest::newRow("one full-width space") << u"　"_s << false << u"　"_s;
    QTest::newRow("two full-width spaces") << u"　　"_s << false << u"　　"_s;
    QTest::newRow("three full-width spaces") << u"　　　"_s << false << u"　　　"_s;
    QTest::newRow("four full-width spaces") << u"　　　　"_s << false << u"　　　　"_s;
    QTest::newRow("full-width between half-width") << u" 　 "_s << false << u"　"_s;
    QTest::newRow("mixed spaces only") << u"　 　"_s << false << u"　 　"_s;
    QTest::newRow("full-width space between letters") << u"ア　イ"_s << true << u"ア　イ"_s;
    QTest::newRow("half-width spaces trimmed") << u"  食品 "_s << true << u"食品"_s;
    QTest::newRow("leading full-width space kept") << u"　雑貨"_s << true << u"　雑貨"_s;
    QTest::newRow("quote") << u"ハーフ'n"_s << true << u"ハーフ'n"_s;
}

void TestListsCore::classTextBlankCheck() {
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(QString, trimmed);
    QString out;
    QCOMPARE(gChkClassText(typed, out), valid);
    QCOMPARE(out, trimmed);
}

void TestListsCore::blankClassTextIsNeverStored() {
    ClassEntry added;
    QVERIFY(!gAddClassEntry(1, u"　　"_s, added));
    QList<ClassEntry> entries;
    QVERIFY(gGetClassEntries(1, entries));
    QVERIFY(entries.isEmpty());
}

void TestListsCore::classTextWithQuoteStoredAsTyped() {
    ClassEntry added;
    QVERIFY(gAddClassEntry(2, u"ハーフ'n"_s, added));
    const QVariantList row = classRow(2, added.id);
    QCOMPARE(row.value(0).toString(), u"ハーフ'n"_s);
    QCOMPARE(row.value(1).toLongLong(), 1);
    QCOMPARE(row.value(2).toBool(), true);
}

void TestListsCore::ledgerSortColumnOffersOneToForty() {
    QStringList entries;
    QVERIFY(gGetLedgerListEntries(2, 1, entries));
    QCOMPARE(entries.size(), 40);
    QCOMPARE(entries.first(), u"1"_s);
    QCOMPARE(entries.last(), u"40"_s);
    QCOMPARE(entries, gSortChoices(kLedgerSortMax));
}

void TestListsCore::ledgerItemListBelongsToItsLedger_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("purchase") << 1 << QStringList{QString(), u"仕入B"_s, u"仕入A"_s};
    QTest::newRow("sales") << 2
                           << QStringList{QString(), u"無順"_s, u"売上C"_s, u"売上A"_s, u"売上B"_s};
}

void TestListsCore::ledgerItemListBelongsToItsLedger() {
    QFETCH(int, kind);
    QFETCH(QStringList, expected);
    QVERIFY(addItem(1, u"仕入A"_s, 5) > 0);
    QVERIFY(addItem(1, u"仕入B"_s, 2) > 0);
    QVERIFY(addItem(2, u"売上A"_s, 3) > 0);
    QVERIFY(addItem(2, u"売上B"_s, 3) > 0);
    QVERIFY(addItem(2, u"売上C"_s, 1) > 0);
    QVERIFY(addItem(2, u"無順"_s, QVariant()) > 0);
    QStringList entries;
    QVERIFY(gGetLedgerListEntries(3, kind, entries));
    QCOMPARE(entries, expected);
}

void TestListsCore::disabledClassLeavesLedgerListButStaysADefaultChoice() {
    ClassEntry food;
    ClassEntry misc;
    QVERIFY(gAddClassEntry(3, u"食品"_s, food));
    QVERIFY(gAddClassEntry(3, u"雑貨"_s, misc));
    QVERIFY(gSetClassEntryEnabled(3, food.id, false));

    QStringList ledger;
    QVERIFY(gGetLedgerListEntries(6, 1, ledger));
    QCOMPARE(ledger, (QStringList{QString(), u"雑貨"_s}));
    bool valid = true;
    QVERIFY(gChkLedgerListText(6, 2, u"食品"_s, valid));
    QVERIFY(!valid);

    QStringList defaults;
    QVERIFY(gGetClassDefaultChoices(3, defaults));
    QCOMPARE(defaults, (QStringList{QString(), u"食品"_s, u"雑貨"_s}));

    // Enabled again, it is offered again; the entry itself never changed.
    QVERIFY(gSetClassEntryEnabled(3, food.id, true));
    QVERIFY(gChkLedgerListText(6, 1, u"食品"_s, valid));
    QVERIFY(valid);
    QCOMPARE(classRow(3, food.id).value(0).toString(), u"食品"_s);
}

void TestListsCore::classOrderFollowsSortThenEntry() {
    ClassEntry a, b, c;
    QVERIFY(gAddClassEntry(1, u"A"_s, a));
    QVERIFY(gAddClassEntry(1, u"B"_s, b));
    QVERIFY(gAddClassEntry(1, u"C"_s, c));
    QVERIFY(gSetClassEntrySort(1, a.id, 99));
    QVERIFY(gSetClassEntrySort(1, c.id, 1));
    QStringList ledger;
    QVERIFY(gGetLedgerListEntries(4, 1, ledger));
    QCOMPARE(ledger, (QStringList{QString(), u"B"_s, u"C"_s, u"A"_s}));
    QList<ClassEntry> entries;
    QVERIFY(gGetClassEntries(1, entries));
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(2).text, u"A"_s);
    QCOMPARE(entries.at(2).sort, 99);
}

void TestListsCore::emptyClassListRefusesEveryText() {
    QStringList entries{u"stale"_s};
    QVERIFY(gGetLedgerListEntries(5, 1, entries));
    QVERIFY(entries.isEmpty());
    bool valid = true;
    QVERIFY(gChkLedgerListText(5, 1, u"stale"_s, valid));
    QVERIFY(!valid);
    QVERIFY(gChkLedgerListText(5, 1, QString(), valid));
    QVERIFY(valid);
}

void TestListsCore::ledgerListCheck_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("order 1") << 2 << u"1"_s << true;
    QTest::newRow("order 40") << 2 << u"40"_s << true;
    QTest::newRow("order 41") << 2 << u"41"_s << false;
    QTest::newRow("order 0") << 2 << u"0"_s << false;
    QTest::newRow("order with space") << 2 << u" 5"_s << false;
    QTest::newRow("order empty") << 2 << QString() << true;
    QTest::newRow("item is free text") << 3 << u"どこにもない"_s << true;
    QTest::newRow("class exact") << 4 << u"食品"_s << true;
    QTest::newRow("class differs in width") << 4 << u"食品 "_s << false;
    QTest::newRow("class of another list") << 5 << u"食品"_s << false;
    QTest::newRow("class empty") << 4 << QString() << true;
    QTest::newRow("quantity column has no list") << 7 << u"x"_s << true;
}

void TestListsCore::ledgerListCheck() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    ClassEntry food, other;
    QVERIFY(gAddClassEntry(1, u"食品"_s, food));
    QVERIFY(gAddClassEntry(2, u"他"_s, other));
    bool result = !valid;
    QVERIFY(gChkLedgerListText(column, 1, text, result));
    QCOMPARE(result, valid);
}

void TestListsCore::classSortOutsideOneToNinetyNineRefused_data() {
    QTest::addColumn<int>("sort");
    QTest::addColumn<bool>("stored");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("99") << 99 << true;
    QTest::newRow("100") << 100 << false;
    QTest::newRow("-1") << -1 << false;
}

void TestListsCore::classSortOutsideOneToNinetyNineRefused() {
    QFETCH(int, sort);
    QFETCH(bool, stored);
    ClassEntry e;
    QVERIFY(gAddClassEntry(2, u"X"_s, e));
    QCOMPARE(gSetClassEntrySort(2, e.id, sort), stored);
    QCOMPARE(classRow(2, e.id).value(1).toInt(), stored ? sort : 1);
}

void TestListsCore::changeOfMissingEntryIsAFailure() {
    const int before = m_folder->errorLogEntries();
    QVERIFY(!gSetClassEntryEnabled(1, 4711, false));
    QVERIFY(!gSetItemText(1, 4711, u"x"_s));
    QCOMPARE(m_folder->errorLogEntries(), before + 2);
    QVERIFY(m_folder->errorLog().contains(u"gSetClassEntryEnabled"_s));
}

void TestListsCore::wrongColumnOrClassIsAFailure_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("kind");
    QTest::newRow("column 1") << 1 << 1;
    QTest::newRow("column 7") << 7 << 1;
    QTest::newRow("item list of kind 0") << 3 << 0;
    QTest::newRow("item list of kind 3") << 3 << 3;
}

void TestListsCore::wrongColumnOrClassIsAFailure() {
    QFETCH(int, column);
    QFETCH(int, kind);
    QStringList entries{u"kept"_s};
    QVERIFY(!gGetLedgerListEntries(column, kind, entries));
    QCOMPARE(entries, QStringList{u"kept"_s});
    QCOMPARE(m_folder->errorLogEntries(), 1);
}

void TestListsCore::classDefaultIsTheSettingOfNewLines_data() {
    QTest::addColumn<int>("classNo");
    QTest::addColumn<int>("setting");
    QTest::newRow("class 1") << 1 << 13;
    QTest::newRow("class 2") << 2 << 14;
    QTest::newRow("class 3") << 3 << 15;
}

void TestListsCore::classDefaultIsTheSettingOfNewLines() {
    QFETCH(int, classNo);
    QFETCH(int, setting);
    QString text = u"unset"_s;
    QVERIFY(gGetClassDefault(classNo, text));
    QCOMPARE(text, QString());
    QVERIFY(gSetClassDefault(classNo, u"ハーフ'n"_s));
    QString stored;
    QVERIFY(gGetSystemStrField(setting, stored, QString()));
    QCOMPARE(stored, u"ハーフ'n"_s);
    // The other classes keep no default.
    for (int other = 1; other <= 3; ++other) {
        if (other == classNo)
            continue;
        QVERIFY(gGetClassDefault(other, text));
        QCOMPARE(text, QString());
    }
}

void TestListsCore::itemRowsStoredAndChanged() {
    const qint64 id = addItem(2, u"ハーフ'n"_s, QVariant());
    QVERIFY(id > 0);
    QVERIFY(gSetItemSort(2, id, 7));
    QVERIFY(gSetItemText(2, id, QVariant()));
    QList<ItemEntry> entries;
    QVERIFY(gGetItemEntries(2, entries));
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries.first().text.isNull());
    QCOMPARE(entries.first().sort.toLongLong(), 7);
    QVERIFY(gGetItemEntries(1, entries));
    QVERIFY(entries.isEmpty());
}

void TestListsCore::sortText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("empty") << QString() << true << QVariant();
    QTest::newRow("spaces only") << u"  "_s << true << QVariant();
    QTest::newRow("1") << u"1"_s << true << QVariant(qint64(1));
    QTest::newRow("99") << u"99"_s << true << QVariant(qint64(99));
    QTest::newRow("trimmed") << u" 12 "_s << true << QVariant(qint64(12));
    QTest::newRow("0") << u"0"_s << false << QVariant();
    QTest::newRow("100") << u"100"_s << false << QVariant();
    QTest::newRow("leading zero") << u"05"_s << false << QVariant();
    QTest::newRow("decimal") << u"1.5"_s << false << QVariant();
    QTest::newRow("negative") << u"-3"_s << false << QVariant();
    QTest::newRow("letters") << u"abc"_s << false << QVariant();
}

void TestListsCore::sortText() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QVariant, value);
    QVariant out;
    QCOMPARE(gChkSortText(text, kListSortMax, out), valid);
    if (valid) {
        QCOMPARE(out.isNull(), value.isNull());
        if (!value.isNull())
            QCOMPARE(out.toLongLong(), value.toLongLong());
    }
}

QTEST_GUILESS_MAIN(TestListsCore)
#include "tst_lists_core.moc"
