#include "TestData.h"
#include "TestServices.h"
#include "master/InvoiceNumber.h"
#include "master/SupplierRecords.h"
#include "store/Database.h"
#include "store/History.h"

#include <QTest>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

bool addRow(int masterID, int supplier, const QString& shortName = u"仕入先"_s, bool valid = true) {
    return addSupplier(SupplierRow{.masterID = masterID,
                                   .supplier = supplier,
                                   .shortName = shortName,
                                   .valid = valid,
                                   .supplyCarry = 1234,
                                   .saleCarry = -5678});
}

QVariantList rowOf(int masterID, const QString& columns) {
    return dataRow(u"SELECT "_s + columns + u" FROM T_MASTER WHERE lngMasterID=?"_s, {masterID});
}

// An entry that passes every check.
SupplierEntry goodEntry() {
    SupplierEntry e;
    e.masterID = e.supplier = u"1"_s;
    e.supplierName = e.supplierShortName = u"商会"_s;
    e.regularSupplyRatio = e.regularSaleRatio = e.startSupplyCarry = e.startSaleCarry = u"0"_s;
    return e;
}

} // namespace

class tst_SupplierRecords : public DataFileTest {
    Q_OBJECT
private slots:
    void numbering_data();
    void numbering();
    void lookups();
    void listOrderFollowsSetting_data();
    void listOrderFollowsSetting();
    void validation_data();
    void validation();
    void invoiceNumbers_data();
    void invoiceNumbers();
    void failedInsertDuringModifyKeepsOldRow();
    void savedRecordIsOneTypedChangePerColumn();
    void search_data();
    void search();
};

void tst_SupplierRecords::search_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("found");
    QTest::newRow("number") << u"12"_s << 2;
    QTest::newRow("hiragana finds a half-width reading") << u"みかわ"_s << 0;
    QTest::newRow("hiragana finds a full-width reading") << u"しょうてん"_s << 2;
    QTest::newRow("name, case and width folded") << u"ａｂｃ"_s << 1;
    QTest::newRow("full name beyond the short name, with a quote") << u"'s"_s << 1;
    QTest::newRow("nothing") << u"ぺんぎん"_s << -1;
    QTest::newRow("empty") << u" "_s << -1;
}

void tst_SupplierRecords::search() {
    QFETCH(QString, typed);
    QFETCH(int, found);
    const QStringList items{u"  3：三河屋"_s, u"  7：オニール"_s, u" 12：山田"_s};
    const QHash<qint32, QStringList> readings{{3, {u"ﾐｶﾜﾔ"_s, u"三河屋"_s}},
                                              {7, {u"ｵﾆｰﾙｴｰﾋﾞｰｼｰ"_s, u"オニール's ABC商会"_s}},
                                              {12, {u"ヤマダショウテン"_s, u"山田商店"_s}}};
    QCOMPARE(gFindSupplierItem(items, readings, typed), found);
}

void tst_SupplierRecords::numbering_data() {
    QTest::addColumn<QList<int>>("masterIDs");
    QTest::addColumn<QList<int>>("suppliers");
    QTest::addColumn<int>("orphanLines"); // ledger lines of masterID 1 and 2 without a row
    QTest::addColumn<int>("newMasterID");
    QTest::addColumn<int>("newSupplier");
    QTest::newRow("empty table") << QList<int>{} << QList<int>{} << 0 << 1 << 1;
    QTest::newRow("highest + 1, not the gap")
        << QList<int>{1, 2} << QList<int>{3, 7} << 0 << 3 << 8;
    QTest::newRow("998 is followed by 999")
        << QList<int>{998} << QList<int>{998} << 0 << 999 << 999;
    QTest::newRow("beyond 999 takes the lowest free")
        << QList<int>{999, 1} << QList<int>{999, 1} << 0 << 2 << 2;
    QTest::newRow("an id of orphan ledger lines is not reused")
        << QList<int>{999} << QList<int>{999} << 2 << 3 << 1;
    QList<int> all(999);
    std::iota(all.begin(), all.end(), 1);
    QTest::newRow("every number taken") << all << all << 0 << 0 << 0;
}

void tst_SupplierRecords::numbering() {
    QFETCH(QList<int>, masterIDs);
    QFETCH(QList<int>, suppliers);
    QFETCH(int, orphanLines);
    QFETCH(int, newMasterID);
    QFETCH(int, newSupplier);
    Transaction tx(gdbData());
    for (int i = 0; i < masterIDs.size(); ++i)
        QVERIFY(addRow(masterIDs.at(i), suppliers.at(i)));
    QVERIFY(tx.commit());
    for (int id = 1; id <= orphanLines; ++id)
        QVERIFY(addLine(LineRow{.masterID = id}) > 0);
    qint32 masterID = -1, supplier = -1;
    QVERIFY(gGetNewLngMasterID(gdbData(), masterID));
    QVERIFY(gGetNewLngSupplier(gdbData(), supplier));
    QCOMPARE(masterID, newMasterID);
    QCOMPARE(supplier, newSupplier);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_SupplierRecords::lookups() {
    QVERIFY(addRow(1, 3, u"A"_s));
    QVERIFY(addRow(2, 7, u"B"_s, false));
    bool duplicate = false;
    QVERIFY(gChkDuplicateSupplier(gdbData(), 3, 3, duplicate)); // a new supplier, a taken number
    QVERIFY(duplicate);
    qint32 value = 0;
    QVERIFY(gGetSupplierCount(gdbData(), value, false));
    QCOMPARE(value, 2);
    QVERIFY(gGetSupplierCount(gdbData(), value, true));
    QCOMPARE(value, 1);
    QCOMPARE(gGetSupplierFromItem(u" 42：X"_s), 42);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_SupplierRecords::listOrderFollowsSetting_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("validOnly");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("by number") << 0 << false
                               << QStringList{u"  2：サ"_s, u"  5：カA"_s, u" 10：カB"_s};
    QTest::newRow("by reading, then short name")
        << 1 << false << QStringList{u"  5：カA"_s, u" 10：カB"_s, u"  2：サ"_s};
    QTest::newRow("valid only") << 0 << true << QStringList{u"  2：サ"_s, u" 10：カB"_s};
    QTest::newRow("unknown order") << 2 << false << QStringList{u"untouched"_s};
}

void tst_SupplierRecords::listOrderFollowsSetting() {
    QFETCH(int, order);
    QFETCH(bool, validOnly);
    QFETCH(QStringList, items);
    QVERIFY(addRow(1, 10, u"カB"_s));
    QVERIFY(addRow(2, 2, u"サ"_s));
    QVERIFY(addRow(3, 5, u"カA"_s, false));
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET strKana='カ' WHERE lngSupplier<>2"_s));
    QVERIFY(
        gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (9, ?)"_s, {order}));
    QStringList result{u"untouched"_s};
    QCOMPARE(gGetSupplierShortNameItems(gdbData(), result, validOnly), order < 2);
    QCOMPARE(result, items);
    QCOMPARE(m_folder->errorLog().contains(u"gGetSQLSupplierShortNameSort"_s), order == 2);
}

// One entry field changed from a good entry; the message code (0: passes), the message's
// beginning and the box to go back to.
void tst_SupplierRecords::validation_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("msgCode");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("focus");
    const QString ratio = u"規定掛率は０％～１００％の範囲で  \r\n小数点１桁までです  \r\n\r\n"_s;
    const QString carry = u"残高は -￥9,999,999 ～ ￥999,999,999 の範囲で  \r\n"
                          "小数以下は受け付けません  \r\n\r\n"_s;
    const auto row = [](const char* name, const QString& field, const QString& value, int code,
                        const QString& prefix, const QString& focus) {
        QTest::newRow(name) << field << value << code << prefix << focus;
    };
    row("name empty", u"name"_s, u""_s, 19, u"仕入先名は"_s, u"txtSupplierName"_s);
    row("short name empty", u"short"_s, u""_s, 19, u"仕入先表示名は"_s, u"txtSupplierShortName"_s);
    row("number not chosen", u"supplier"_s, u""_s, 50, u""_s, u"cboLngSupplier"_s);
    row("ratio 100", u"supplyRatio"_s, u"100"_s, 0, {}, {});
    row("ratio 100.1", u"supplyRatio"_s, u"100.1"_s, 1, ratio, u"txtRegularSupplyRatio"_s);
    row("ratio -0.1", u"supplyRatio"_s, u"-0.1"_s, 1, ratio, u"txtRegularSupplyRatio"_s);
    row("ratio 12.34", u"saleRatio"_s, u"12.34"_s, 1, ratio, u"txtRegularSaleRatio"_s);
    row("ratio abc", u"supplyRatio"_s, u"abc"_s, 2, u"規定掛率は"_s, u"txtRegularSupplyRatio"_s);
    row("sale ratio empty", u"saleRatio"_s, u""_s, 19, u"規定掛率は"_s, u"txtRegularSaleRatio"_s);
    row("carry 999,999,999", u"supplyCarry"_s, u"999,999,999"_s, 0, {}, {});
    row("carry -9,999,999", u"saleCarry"_s, u"-9,999,999"_s, 0, {}, {});
    row("carry 1,000,000,000", u"supplyCarry"_s, u"1,000,000,000"_s, 1, carry,
        u"txtStartSupplyCarry"_s);
    row("carry -10,000,000", u"saleCarry"_s, u"-10,000,000"_s, 1, carry, u"txtStartSaleCarry"_s);
    row("carry 12.5", u"supplyCarry"_s, u"12.5"_s, 1, carry, u"txtStartSupplyCarry"_s);
    row("carry beyond any amount", u"saleCarry"_s, u"99999999999999999999"_s, 1, carry,
        u"txtStartSaleCarry"_s);
    row("carry text", u"saleCarry"_s, u"12円"_s, 2, u"開始残高は"_s, u"txtStartSaleCarry"_s);
    // Registration numbers (a number needs its date and a date its number).
    const QString form = u"登録番号は Ｔ と数字１３桁です  \r\n\r\n"_s;
    row("invoice 12 digits", u"invoiceNo"_s, u"T700001205000"_s, 1, form, u"txtInvoiceNo"_s);
    row("invoice letter O for 0", u"invoiceNo"_s, u"T70000120500O2"_s, 1, form, u"txtInvoiceNo"_s);
    row("invoice without T", u"invoiceNo"_s, u"7000012050002"_s, 1, form, u"txtInvoiceNo"_s);
    row("invoice leading zero", u"invoiceNo"_s, u"T0000012050002"_s, 1,
        u"登録番号の数字は０で始まりません  \r\n\r\n"_s, u"txtInvoiceNo"_s);
    row("invoice number without date", u"invoiceNo"_s, u"T7000012050002"_s, 19,
        u"登録番号の登録日は"_s, u"txtInvoiceFrom"_s);
    row("invoice date without number", u"invoiceFrom"_s, u"2023/10/01"_s, 19,
        u"登録日があるときは登録番号も"_s, u"txtInvoiceNo"_s);
    row("invoice date 2023/02/30", u"invoiceFrom"_s, u"2023/02/30"_s, 4, u"登録日の"_s,
        u"txtInvoiceFrom"_s);
}

void tst_SupplierRecords::validation() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, msgCode);
    QFETCH(QString, prefix);
    QFETCH(QString, focus);
    SupplierEntry e = goodEntry();
    const QMap<QString, QString*> fields{
        {u"name"_s, &e.supplierName},          {u"short"_s, &e.supplierShortName},
        {u"supplier"_s, &e.supplier},          {u"supplyRatio"_s, &e.regularSupplyRatio},
        {u"saleRatio"_s, &e.regularSaleRatio}, {u"supplyCarry"_s, &e.startSupplyCarry},
        {u"saleCarry"_s, &e.startSaleCarry},   {u"invoiceNo"_s, &e.invoiceNo},
        {u"invoiceFrom"_s, &e.invoiceFrom}};
    *fields.value(field) = value;
    const SupplierCheck check = mChkMasterData(e);
    QCOMPARE(check.valid, msgCode == 0);
    QCOMPARE(check.focus, focus);
    if (field != u"supplier"_s) {
        QCOMPARE(check.msgCode, msgCode);
        QCOMPARE(check.msgPrefix, prefix);
    }
}

// The check digit of the 12 digits after it: 9 − (Σ Pn × Qn mod 9), Pn counted from the right,
// Qn 1 for odd n and 2 for even n. Worked by hand:
//   7000012050002: 2·1 + 5·1 + 2·1 + 1·2 = 11, 11 mod 9 = 2, 9 − 2 = 7
//   9000000000009: 9·1 = 9, mod 9 = 0 → 9
// A mismatch is no refusal: the entry passes and the window asks first.
void tst_SupplierRecords::invoiceNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("normalized");
    QTest::addColumn<int>("status"); // InvoiceNoStatus
    const int ok = int(InvoiceNoStatus::Ok), differs = int(InvoiceNoStatus::CheckDigitDiffers);
    QTest::newRow("good") << u"T7000012050002"_s << u"T7000012050002"_s << ok;
    QTest::newRow("good, full-width with hyphens")
        << u"Ｔ７０００－０１２０－５０００２"_s << u"T7000012050002"_s << ok;
    QTest::newRow("good, sum a multiple of 9") << u"T9000000000009"_s << u"T9000000000009"_s << ok;
    QTest::newRow("last digit wrong") << u"T7000012050003"_s << u"T7000012050003"_s << differs;
    QTest::newRow("check digit wrong") << u"T8000012050002"_s << u"T8000012050002"_s << differs;
    QTest::newRow("empty") << u"　 "_s << QString() << int(InvoiceNoStatus::Empty);
}

void tst_SupplierRecords::invoiceNumbers() {
    QFETCH(QString, typed);
    QFETCH(QString, normalized);
    QFETCH(int, status);
    QCOMPARE(gNormalizeInvoiceNo(typed), normalized);
    QCOMPARE(int(gChkInvoiceNo(gNormalizeInvoiceNo(typed))), status);
    SupplierEntry e = goodEntry();
    e.invoiceNo = typed;
    e.invoiceFrom = normalized.isEmpty() ? QString() : u"2023-10-01"_s;
    const SupplierCheck check = mChkMasterData(e);
    QVERIFY(check.valid);
    QCOMPARE(!check.confirmText.isEmpty(), status == int(InvoiceNoStatus::CheckDigitDiffers));
}

void tst_SupplierRecords::failedInsertDuringModifyKeepsOldRow() {
    TOVAKI_DATA_FILE_ONLY("a refusing trigger");
    QVERIFY(addRow(5, 7, u"ABC商会"_s));
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER refuse_insert BEFORE INSERT ON T_MASTER"
                                 " BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    SupplierRecord r;
    QVERIFY(gGetMasterData(gdbData(), 5, r));
    r.strSupplierName = u"changed"_s;
    QVERIFY(!mDataModify(gdbData(), r));
    QCOMPARE(rowOf(5, u"lngSupplier, strSupplierShortName"_s),
             (QVariantList{qint64(7), u"ABC商会"_s}));
    QVERIFY(m_folder->errorLog().contains(u"mDataInsert2"_s));
    // The connection is usable afterwards: no transaction was left open.
    QVERIFY(gdbData().executeSQL(u"DROP TRIGGER refuse_insert"_s));
    QVERIFY(mDataModify(gdbData(), r));
    QCOMPARE(rowOf(5, u"strSupplierName"_s).value(0).toString(), u"changed"_s);
}

// A modification is stored as a deletion and an insertion; the history lists it as one update
// of the columns that changed, the invoice number and its date included.
void tst_SupplierRecords::savedRecordIsOneTypedChangePerColumn() {
    SupplierRecord r;
    r.lngMasterID = 5;
    r.lngSupplier = 7;
    r.strSupplierShortName = u"ABC"_s;
    QVERIFY(mSaveMasterData(gdbData(), 0, r));
    r.strSupplierShortName = u"ABC商会"_s;
    r.strNotes = u"月末締め"_s;
    r.strInvoiceNo = u"T1234567890123"_s;
    r.datInvoiceFrom = QDate(2023, 10, 1);
    QVERIFY(mSaveMasterData(gdbData(), 1, r));
    HistoryFilter supplier;
    supplier.masterID = 5;
    std::vector<HistoryChange> changes;
    QVERIFY(gReadHistoryChanges(gdbData(), supplier, changes));
    QStringList updates;
    for (const HistoryChange& c : changes)
        if (c.strAction != u"I"_s)
            updates << c.strTable + u' ' + c.strAction + u' ' + c.strOrigin + u' ' + c.column +
                           u' ' + c.before.toString() + u'>' + c.after.toString();
    QCOMPARE(updates, (QStringList{u"T_MASTER U typed strSupplierShortName ABC>ABC商会"_s,
                                   u"T_MASTER U typed strNotes >月末締め"_s,
                                   u"T_MASTER U typed strInvoiceNo >T1234567890123"_s,
                                   u"T_MASTER U typed datInvoiceFrom >2023-10-01"_s}));
}

QTEST_GUILESS_MAIN(tst_SupplierRecords)
#include "tst_SupplierRecords.moc"
