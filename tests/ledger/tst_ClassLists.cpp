// The ledger's choice lists (class entries, item lists, class defaults) and its column captions,
// read back from a fresh data file.
#include "TestData.h"
#include "TestServices.h"

#include "base/Globals.h"
#include "ledger/Captions.h"
#include "ledger/ClassLists.h"
#include "ledger/ListGridModels.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "store/TaxRates.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QVariantList classRow(int classNo, qint64 id) {
    return dataRow(
        u"SELECT strClassItem, lngSort, blnEnable FROM T_DATA_CLASS%1 WHERE lngID = ?"_s.arg(
            classNo),
        {id});
}

} // namespace

class tst_ClassLists : public DataFileTest {
    Q_OBJECT

private slots:

    void classTextBlankCheck_data();
    void classTextBlankCheck();
    void disabledClassLeavesLedgerListButStaysADefaultChoice();
    void classSort_data();
    void classSort();
    void changeOfMissingEntryIsAFailure();
    void entryChangedElsewhereIsNotOverwritten_data();
    void entryChangedElsewhereIsNotOverwritten();
    void otherProgramHearsOfListChanges_data();
    void otherProgramHearsOfListChanges();
    void itemRowsStoredAndChanged();
    void sortText_data();
    void sortText();

    void captionFailures();
};

void tst_ClassLists::classTextBlankCheck_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("empty") << QString() << false << QString();
    QTest::newRow("half-width spaces") << u"   "_s << false << QString();
    QTest::newRow("half-width spaces trimmed") << u"  食品 "_s << true << u"食品"_s;
    QTest::newRow("leading full-width space kept") << u"　雑貨"_s << true << u"　雑貨"_s;
}

void tst_ClassLists::classTextBlankCheck() {
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(QString, trimmed);
    QString out;
    QCOMPARE(gChkClassText(typed, out), valid);
    QCOMPARE(out, trimmed);
}

// A blank entry is refused, a quote stored as typed; a disabled entry leaves the ledger's list
// and stays a default choice.
void tst_ClassLists::disabledClassLeavesLedgerListButStaysADefaultChoice() {
    ClassEntry food, misc;
    QVERIFY(!gAddClassEntry(gdbData(), 3, u"　　"_s, food));
    QVERIFY(gAddClassEntry(gdbData(), 3, u"食品"_s, food));
    QVERIFY(gAddClassEntry(gdbData(), 3, u"ハーフ'n"_s, misc));
    QVERIFY(gSetClassEntryEnabled(gdbData(), 3, food.id, false));
    QStringList list;
    QVERIFY(gGetLedgerListEntries(gdbData(), 6, 1, list));
    QCOMPARE(list, (QStringList{QString(), u"ハーフ'n"_s}));
    QVERIFY(gGetClassDefaultChoices(gdbData(), 3, list));
    QCOMPARE(list, (QStringList{QString(), u"食品"_s, u"ハーフ'n"_s}));
    // Enabled again, it is offered again; the entry itself never changed.
    QVERIFY(gSetClassEntryEnabled(gdbData(), 3, food.id, true));
    QCOMPARE(classRow(3, food.id), (QVariantList{u"食品"_s, qint64(1), true}));
}

void tst_ClassLists::classSort_data() {
    QTest::addColumn<int>("sort");
    QTest::addColumn<bool>("stored");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("99") << 99 << true;
    QTest::newRow("100") << 100 << false;
}

// An order of 1 to 99 is stored and moves the entry in the lists.
void tst_ClassLists::classSort() {
    QFETCH(int, sort);
    QFETCH(bool, stored);
    ClassEntry a, b;
    QVERIFY(gAddClassEntry(gdbData(), 2, u"A"_s, a));
    QVERIFY(gAddClassEntry(gdbData(), 2, u"B"_s, b));
    QVERIFY(gSetClassEntrySort(gdbData(), 2, b.id, 50));
    QCOMPARE(gSetClassEntrySort(gdbData(), 2, a.id, sort), stored);
    QCOMPARE(classRow(2, a.id).value(1).toInt(), stored ? sort : 1);
    QList<ClassEntry> entries;
    QVERIFY(gGetClassEntries(gdbData(), 2, entries));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).text, sort > 50 && stored ? u"B"_s : u"A"_s);
}

void tst_ClassLists::changeOfMissingEntryIsAFailure() {
    QVERIFY(!gSetClassEntryEnabled(gdbData(), 1, 4711, false));
    QVERIFY(!gSetItemText(gdbData(), 1, 4711, u"x"_s));
    QCOMPARE(m_folder->errorLogEntries(), 2);
    QVERIFY(m_folder->errorLog().contains(u"gSetClassEntryEnabled"_s));
}

void tst_ClassLists::itemRowsStoredAndChanged() {
    ItemEntry added;
    QVERIFY(gAddItemEntry(gdbData(), 2, u"ハーフ'n"_s, QVariant(), added));
    QVERIFY(gSetItemSort(gdbData(), 2, added.rowId, 7));
    QVERIFY(gSetItemText(gdbData(), 2, added.rowId, QVariant()));
    ResultSet rs(gdbData());
    QVERIFY(rs.openRecordSet(u"SELECT strItem, lngSort FROM T_DATA2_ITEM UNION ALL "
                             "SELECT strItem, lngSort FROM T_DATA1_ITEM"_s));
    QCOMPARE(rs.rows(), (std::vector<QVariantList>{{QVariant(), qint64(7)}}));
}

void tst_ClassLists::sortText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("value"); // invalid: refused
    QTest::newRow("spaces only") << u"  "_s << QVariant(QMetaType::fromType<qint64>());
    QTest::newRow("1") << u"1"_s << QVariant(qint64(1));
    QTest::newRow("99 trimmed") << u" 99 "_s << QVariant(qint64(99));
    QTest::newRow("0") << u"0"_s << QVariant();
    QTest::newRow("100") << u"100"_s << QVariant();
    QTest::newRow("leading zero") << u"05"_s << QVariant();
}

void tst_ClassLists::sortText() {
    QFETCH(QString, text);
    QFETCH(QVariant, value);
    QVariant out;
    QCOMPARE(gChkSortText(text, kListSortMax, out), value.isValid());
    if (value.isValid())
        QCOMPARE(out.isNull() ? QVariant() : QVariant(out.toLongLong()),
                 value.isNull() ? QVariant() : value);
}

// ---- Captions ----------------------------------------------------------------------------------

void tst_ClassLists::captionFailures() {
    // Number 5 has no row: no caption, and no log entry (the caller decides).
    QString def = u"kept"_s, shown = u"kept"_s;
    QVERIFY(!gGetColumnCaption(5, 1, def, shown));
    QCOMPARE(shown + QString::number(m_folder->errorLogEntries()), u"kept0"_s);
    QVERIFY(!gSetColumnCaption(gdbData(), 5, 1, u"x"_s, u"x"_s));
    QVERIFY(!gGetColumnCaption(0, 3, def, shown));
    QCOMPARE(m_folder->errorLogProcedures().first(), u"gSetColumnCaption"_s);
}

// A class entry or item another program (on the data file: another tool) changed since the list
// showed it is not overwritten: the list shows the stored value, and a second try is stored.
void tst_ClassLists::entryChangedElsewhereIsNotOverwritten_data() {
    QTest::addColumn<int>("column"); // class list: 2 order, 3 enabled, 4 reduced mark; item: 0
    QTest::addColumn<QVariant>("others");
    QTest::addColumn<QVariant>("mine");
    QTest::newRow("order") << 2 << QVariant(5) << QVariant(7);
    QTest::newRow("enabled") << 3 << QVariant(false) << QVariant(false);
    QTest::newRow("reduced mark") << 4 << QVariant(true) << QVariant(true);
    QTest::newRow("item text") << 0 << QVariant(u"B"_s) << QVariant(u"C"_s);
}

void tst_ClassLists::entryChangedElsewhereIsNotOverwritten() {
    QFETCH(int, column);
    QFETCH(QVariant, others);
    QFETCH(QVariant, mine);
    ClassEntry a;
    ItemEntry item;
    QVERIFY(gAddClassEntry(gdbData(), 1, u"A"_s, a));
    QVERIFY(gAddItemEntry(gdbData(), 1, u"A"_s, QVariant(), item));
    Database server;
    QVERIFY(gTestServer().isEmpty() || server.openServer(gTestServerDatabase()));
    Database& otherDb = server.isOpen() ? server : gdbData();
    ClassListModel shown(1, gdbData()), other(1, otherDb);
    ItemListModel shownItems(1, gdbData()), otherItems(1, otherDb);
    QVERIFY(shown.load() && other.load() && shownItems.load() && otherItems.load());
    const auto set = [column](ClassListModel& m, ItemListModel& items, const QVariant& v) {
        return column == 0   ? items.setData(items.index(0, 0), v)
               : column == 2 ? m.setSort(0, v.toInt())
               : column == 3 ? m.setEnabled(0, v.toBool())
                             : m.setReduced(0, v.toBool());
    };
    const auto cell = [column](const QAbstractItemModel& classes, const QAbstractItemModel& items) {
        const QAbstractItemModel& m = column == 0 ? items : classes;
        return m.data(m.index(0, column)).toString();
    };
    QVERIFY(set(other, otherItems, others));
    QVERIFY(!set(shown, shownItems, mine));
    QVERIFY(column == 0 ? shownItems.lastFailure() == ListModelFailure::ChangedElsewhere
                        : shown.changedElsewhere());
    QCOMPARE(cell(shown, shownItems), cell(other, otherItems)); // the stored value is shown
    QCOMPARE(m_folder->errorLogEntries(), 0);
    QVERIFY(set(shown, shownItems, mine)); // a second try is stored
}

// On a server another program hears of a new class entry and of a new tax rate (its windows
// read them again).
void tst_ClassLists::otherProgramHearsOfListChanges_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("class entry") << u"T_DATA_CLASS2"_s;
    QTest::newRow("tax rate") << u"T_TAX_RATE"_s;
    QTest::newRow("item list") << u"T_DATA1_ITEM"_s;
}

void tst_ClassLists::otherProgramHearsOfListChanges() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    QFETCH(QString, table);
    Database otherDb;
    QVERIFY(otherDb.openServer(gTestServerDatabase()));
    QSignalSpy heard(&gdbData().changeNotices(), &ChangeNotices::rowsChanged);
    ClassEntry added;
    ItemEntry item;
    QVERIFY(table == u"T_DATA1_ITEM"_s ? gAddItemEntry(otherDb, 1, u"品"_s, QVariant(), item)
            : table == u"T_TAX_RATE"_s
                ? gAddTaxRate(otherDb,
                              {QDate(2030, 4, 1), Currency::fromInt(12), Currency::fromInt(10)})
                : gAddClassEntry(otherDb, 2, u"新"_s, added));
    QTRY_COMPARE_WITH_TIMEOUT(heard.count(), 1, 1000);
    QCOMPARE(heard.at(0), (QVariantList{table, qint64(0)}));
}

QTEST_GUILESS_MAIN(tst_ClassLists)
#include "tst_ClassLists.moc"
