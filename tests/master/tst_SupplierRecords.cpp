#include "TestData.h"
#include "TestServices.h"
#include "master/SupplierRecords.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A supplier row written straight into the table, independent of the routines under test.
bool addRow(int masterID, int supplier, const QString& shortName = u"仕入先"_s,
            const QString& kana = {}, bool valid = true) {
    return gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName,"
        " strSupplierShortName, strKana, curStartSupplyCarry, curStartSaleCarry)"
        " VALUES (?,?,?,?,?,?,?,?)"_s,
        {masterID, supplier, valid, shortName + u"株式会社"_s, shortName,
         kana.isNull() ? QVariant() : QVariant(kana), qint64(12340000), qint64(-56780000)});
}

bool setSortOrder(int order) {
    return gdbData().executeSQL(u"DELETE FROM T_SYSTEM WHERE lngID=9"_s) &&
           gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (9, ?)"_s, {order});
}

QVariantList rowOf(int masterID, const QString& columns) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT "_s + columns + u" FROM T_MASTER WHERE lngMasterID=?"_s,
                          {masterID}) ||
        rs.recordCount() != 1)
        return {};
    return rs.rows().front();
}

int countRows(const QString& sql) {
    ResultSet rs(gdbData());
    return rs.openRecordSet(sql) ? rs.recordCount() : -1;
}

SupplierEntry goodEntry() {
    SupplierEntry e;
    e.masterID = u"1"_s;
    e.supplier = u"1"_s;
    e.valid = true;
    e.supplierName = u"ABC商会株式会社"_s;
    e.supplierShortName = u"ABC商会"_s;
    e.regularSupplyRatio = u"0"_s;
    e.regularSaleRatio = u"0"_s;
    e.startSupplyCarry = u"0"_s;
    e.startSaleCarry = u"0"_s;
    return e;
}

const QString kRatioPrefix =
    u"規定掛率は０％～１００％の範囲で  \r\n小数点１桁までです  \r\n\r\n"_s;
const QString kCarryPrefix = u"残高は -￥9,999,999 ～ ￥999,999,999 の範囲で  \r\n"
                             "小数以下は受け付けません  \r\n\r\n"_s;

} // namespace

class tst_SupplierRecords : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void numbering_data();
    void numbering();
    void numberingWhenAllNumbersAreTaken();
    void duplicateSupplier_data();
    void duplicateSupplier();
    void masterIdBySupplier();
    void supplierCount();
    void listItems_data();
    void listItems();
    void listOrderFollowsSetting_data();
    void listOrderFollowsSetting();
    void unknownSortOrderIsAFailure();
    void masterDataDropsSecondsAndNulls();
    void startCarryBySide_data();
    void startCarryBySide();
    void phoneNotes();
    void sideLabels();

    void validation_data();
    void validation();
    void supplierNumberOutsideListAsksForIt();
    void entryNumbersConvert_data();
    void entryNumbersConvert();

    void insertStoresTextAsTyped();
    void modifyKeepsIdAndLedgerLines();
    void failedInsertDuringModifyKeepsOldRow();
    void unknownSaveModeIsAFailure();

private:
    std::unique_ptr<TestProgramFolder> m_folder;
    TestServices m_svc{};
};

void tst_SupplierRecords::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
}

void tst_SupplierRecords::cleanup() {
    m_folder.reset();
}

// ---- numbering and lookups -------------------------------------------------------------------

void tst_SupplierRecords::numbering_data() {
    QTest::addColumn<QList<int>>("masterIDs");
    QTest::addColumn<QList<int>>("suppliers");
    QTest::addColumn<QList<int>>("ledgerMasterIDs"); // lines of T_DATA1 without a supplier row
    QTest::addColumn<int>("newMasterID");
    QTest::addColumn<int>("newSupplier");

    QTest::newRow("empty table") << QList<int>{} << QList<int>{} << QList<int>{} << 1 << 1;
    QTest::newRow("highest + 1, not the gap")
        << QList<int>{1, 2} << QList<int>{3, 7} << QList<int>{} << 3 << 8;
    QTest::newRow("ids and numbers independent")
        << QList<int>{9, 4} << QList<int>{1, 2} << QList<int>{} << 10 << 3;
    QTest::newRow("998 is followed by 999")
        << QList<int>{998} << QList<int>{998} << QList<int>{} << 999 << 999;
    QTest::newRow("beyond 999 takes the lowest free")
        << QList<int>{999, 1} << QList<int>{999, 1} << QList<int>{} << 2 << 2;
    QTest::newRow("an id of orphan ledger lines is not reused")
        << QList<int>{999} << QList<int>{999} << QList<int>{1, 2} << 3 << 1;
}

void tst_SupplierRecords::numbering() {
    QFETCH(QList<int>, masterIDs);
    QFETCH(QList<int>, suppliers);
    QFETCH(QList<int>, ledgerMasterIDs);
    QFETCH(int, newMasterID);
    QFETCH(int, newSupplier);
    for (int i = 0; i < masterIDs.size(); ++i)
        QVERIFY(addRow(masterIDs.at(i), suppliers.at(i)));
    for (int id : ledgerMasterIDs)
        QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA1 (lngMasterID) VALUES (?)"_s, {id}));
    qint32 masterID = -1, supplier = -1;
    QVERIFY(gGetNewLngMasterID(masterID));
    QVERIFY(gGetNewLngSupplier(supplier));
    QCOMPARE(masterID, newMasterID);
    QCOMPARE(supplier, newSupplier);
}

void tst_SupplierRecords::numberingWhenAllNumbersAreTaken() {
    Transaction tx(gdbData());
    for (int n = 1; n <= 999; ++n)
        QVERIFY(addRow(n, 1000 - n));
    QVERIFY(tx.commit());
    qint32 masterID = -1, supplier = -1;
    QVERIFY(gGetNewLngMasterID(masterID));
    QVERIFY(gGetNewLngSupplier(supplier));
    QCOMPARE(masterID, 0);
    QCOMPARE(supplier, 0);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_SupplierRecords::duplicateSupplier_data() {
    QTest::addColumn<int>("masterID");
    QTest::addColumn<int>("supplier");
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("own number") << 1 << 3 << false;
    QTest::newRow("another supplier's number") << 1 << 7 << true;
    QTest::newRow("free number") << 1 << 5 << false;
    QTest::newRow("new supplier, taken number") << 3 << 3 << true;
}

void tst_SupplierRecords::duplicateSupplier() {
    QFETCH(int, masterID);
    QFETCH(int, supplier);
    QFETCH(bool, duplicate);
    QVERIFY(addRow(1, 3));
    QVERIFY(addRow(2, 7));
    bool result = !duplicate;
    QVERIFY(gChkDuplicateSupplier(masterID, supplier, result));
    QCOMPARE(result, duplicate);
}

void tst_SupplierRecords::masterIdBySupplier() {
    QVERIFY(addRow(5, 7));
    qint32 masterID = 0;
    QVERIFY(gGetMasterIDBySupplier(7, masterID));
    QCOMPARE(masterID, 5);
    masterID = 42;
    QVERIFY(!gGetMasterIDBySupplier(8, masterID));
    QCOMPARE(masterID, 42);
    // Not found is an answer, not a failure.
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_SupplierRecords::supplierCount() {
    qint32 count = -1;
    QVERIFY(gGetSupplierCount(count, false));
    QCOMPARE(count, 0);
    QVERIFY(addRow(1, 1, u"A"_s, {}, true));
    QVERIFY(addRow(2, 2, u"B"_s, {}, false));
    QVERIFY(addRow(3, 3, u"C"_s, {}, true));
    QVERIFY(gGetSupplierCount(count, false));
    QCOMPARE(count, 3);
    QVERIFY(gGetSupplierCount(count, true));
    QCOMPARE(count, 2);
}

void tst_SupplierRecords::listItems_data() {
    QTest::addColumn<int>("supplier");
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("item");
    QTest::newRow("one digit") << 7 << u"ABC商会"_s << u"  7：ABC商会"_s;
    QTest::newRow("two digits") << 42 << u"ｶﾅ"_s << u" 42：ｶﾅ"_s;
    QTest::newRow("three digits") << 999 << u"X"_s << u"999：X"_s;
    QTest::newRow("empty name") << 1 << QString() << u"  1："_s;
}

void tst_SupplierRecords::listItems() {
    QFETCH(int, supplier);
    QFETCH(QString, shortName);
    QFETCH(QString, item);
    QCOMPARE(gFormatSupplierItem(supplier, shortName), item);
    QCOMPARE(gGetSupplierFromItem(item), supplier);
}

void tst_SupplierRecords::listOrderFollowsSetting_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("validOnly");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("by number") << 0 << false
                               << QStringList{u"  2：Beta"_s, u"  5：Zulu"_s, u" 10：Alpha"_s,
                                              u" 11：Gamma"_s};
    QTest::newRow("by reading, then short name")
        << 1 << false
        << QStringList{u" 11：Gamma"_s, u" 10：Alpha"_s, u"  5：Zulu"_s, u"  2：Beta"_s};
    QTest::newRow("valid only") << 0 << true
                                << QStringList{u"  2：Beta"_s, u" 10：Alpha"_s, u" 11：Gamma"_s};
}

void tst_SupplierRecords::listOrderFollowsSetting() {
    QFETCH(int, order);
    QFETCH(bool, validOnly);
    QFETCH(QStringList, items);
    QVERIFY(addRow(1, 10, u"Alpha"_s, u"カ"_s));
    QVERIFY(addRow(2, 2, u"Beta"_s, u"サ"_s));
    QVERIFY(addRow(3, 5, u"Zulu"_s, u"カ"_s, false));
    QVERIFY(addRow(4, 11, u"Gamma"_s, {}));
    QVERIFY(setSortOrder(order));
    QStringList result;
    QVERIFY(gGetSupplierShortNameItems(result, validOnly));
    QCOMPARE(result, items);
}

void tst_SupplierRecords::unknownSortOrderIsAFailure() {
    QVERIFY(addRow(1, 1));
    QVERIFY(setSortOrder(2));
    QString clause;
    QVERIFY(!gGetSQLSupplierShortNameSort(clause));
    QStringList items{u"untouched"_s};
    QVERIFY(!gGetSupplierShortNameItems(items, false));
    QCOMPARE(items, QStringList{u"untouched"_s});
    QVERIFY(m_folder->errorLog().contains(u"gGetSQLSupplierShortNameSort"_s));
}

void tst_SupplierRecords::masterDataDropsSecondsAndNulls() {
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, curRegularSupplyRatio,"
        " strSupplierName, strSupplierShortName, strPhone1Notes, lngBankAccount, datLastUpdate)"
        " VALUES (4, 12, 1, 825000, 'オニール''s 商店', 'オニール''s', '自宅', 2,"
        " '2024-02-29 23:59:58')"_s));
    SupplierRecord r;
    QVERIFY(gGetMasterData(4, r));
    QCOMPARE(r.lngMasterID, 4);
    QCOMPARE(r.lngSupplier, 12);
    QVERIFY(r.blnValid);
    QCOMPARE(r.curRegularSupplyRatio, Currency::fromRaw(825000));
    QCOMPARE(r.curRegularSaleRatio, Currency());
    QCOMPARE(r.strSupplierName, u"オニール's 商店"_s);
    QCOMPARE(r.strSupplierShortName, u"オニール's"_s);
    QCOMPARE(r.strPhone1Notes, u"自宅"_s);
    QCOMPARE(r.strKana, QString());
    QCOMPARE(r.lngChargePerson, 0);
    QCOMPARE(r.lngBankAccount, 2);
    QCOMPARE(r.datLastUpdate, QDateTime(QDate(2024, 2, 29), QTime(23, 59)));

    SupplierRecord missing;
    QVERIFY(!gGetMasterData(5, missing));
    QVERIFY(m_folder->errorLog().contains(u"gGetMasterData"_s));
}

void tst_SupplierRecords::startCarryBySide_data() {
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("raw");
    QTest::newRow("purchase") << 1 << true << qint64(12340000);
    QTest::newRow("sales") << 2 << true << qint64(-56780000);
    QTest::newRow("no such side") << 3 << false << qint64(0);
}

void tst_SupplierRecords::startCarryBySide() {
    QFETCH(int, side);
    QFETCH(bool, ok);
    QFETCH(qint64, raw);
    QVERIFY(addRow(1, 1));
    Currency carry;
    QCOMPARE(gGetStartCarry(1, side, carry), ok);
    QCOMPARE(carry, Currency::fromRaw(raw));
    QCOMPARE(m_folder->errorLog().contains(u"gGetStartCarry"_s), !ok);
}

void tst_SupplierRecords::phoneNotes() {
    const auto add = [](int id, const QVariant& note1, const QVariant& note2) {
        return gdbData().executeSQL(u"INSERT INTO T_MASTER (lngMasterID, lngSupplier,"
                                    " strPhone1Notes, strPhone2Notes) VALUES (?,?,?,?)"_s,
                                    {id, id, note1, note2});
    };
    QVERIFY(add(1, u"事務所"_s, u"自宅"_s));
    QVERIFY(add(2, u"携帯電話"_s, u"事務所"_s));
    QVERIFY(add(3, u"   "_s, QVariant()));
    QVERIFY(add(4, u"倉庫"_s, QString()));
    QVERIFY(add(5, u"Office"_s, u"倉庫"_s));
    QStringList items;
    QVERIFY(gGetPhoneNoteItems(items));
    QCOMPARE(items, (QStringList{u"自宅"_s, u"携帯電話"_s, u"Office"_s, u"事務所"_s, u"倉庫"_s}));
}

void tst_SupplierRecords::sideLabels() {
    QString ratio, carry;
    QVERIFY(gGetMasterSideLabels(1, ratio, carry));
    QCOMPARE(ratio, u"規定仕入掛率"_s);
    QCOMPARE(carry, u"開始仕入残高"_s);
    QVERIFY(gSetSystemStrField(11, u"販売"_s));
    QVERIFY(gdbData().executeSQL(
        u"UPDATE T_DATA2_CAPTION SET strCaption='割合' WHERE lngCaptionNo=8"_s));
    QVERIFY(gGetMasterSideLabels(2, ratio, carry));
    QCOMPARE(ratio, u"規定販売割合"_s);
    QCOMPARE(carry, u"開始販売残高"_s);
    QVERIFY(!gGetMasterSideLabels(3, ratio, carry));
}

// ---- validation ------------------------------------------------------------------------------

void tst_SupplierRecords::validation_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("msgCode"); // 0: passes
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("focus");

    const QString r19 = u"規定掛率は"_s;
    const QString c19 = u"開始残高は"_s;
    QTest::newRow("name empty") << u"name"_s << QString() << 19 << u"仕入先名は"_s
                                << u"txtSupplierName"_s;
    QTest::newRow("short name empty")
        << u"short"_s << QString() << 19 << u"仕入先表示名は"_s << u"txtSupplierShortName"_s;
    QTest::newRow("ratio 100") << u"supplyRatio"_s << u"100"_s << 0 << QString() << QString();
    QTest::newRow("ratio 12.3") << u"supplyRatio"_s << u"12.3"_s << 0 << QString() << QString();
    QTest::newRow("ratio full-width") << u"saleRatio"_s << u"８０"_s << 0 << QString() << QString();
    QTest::newRow("ratio 100.1") << u"supplyRatio"_s << u"100.1"_s << 1 << kRatioPrefix
                                 << u"txtRegularSupplyRatio"_s;
    QTest::newRow("ratio -0.1") << u"supplyRatio"_s << u"-0.1"_s << 1 << kRatioPrefix
                                << u"txtRegularSupplyRatio"_s;
    QTest::newRow("ratio 12.34") << u"saleRatio"_s << u"12.34"_s << 1 << kRatioPrefix
                                 << u"txtRegularSaleRatio"_s;
    QTest::newRow("ratio with six decimals")
        << u"saleRatio"_s << u"12.300001"_s << 1 << kRatioPrefix << u"txtRegularSaleRatio"_s;
    QTest::newRow("ratio abc") << u"supplyRatio"_s << u"abc"_s << 19 << r19
                               << u"txtRegularSupplyRatio"_s;
    QTest::newRow("sale ratio empty")
        << u"saleRatio"_s << QString() << 19 << r19 << u"txtRegularSaleRatio"_s;
    QTest::newRow("carry 999,999,999")
        << u"supplyCarry"_s << u"999,999,999"_s << 0 << QString() << QString();
    QTest::newRow("carry -9,999,999")
        << u"saleCarry"_s << u"-9,999,999"_s << 0 << QString() << QString();
    QTest::newRow("carry 1,234") << u"supplyCarry"_s << u"1,234"_s << 0 << QString() << QString();
    QTest::newRow("carry full-width")
        << u"supplyCarry"_s << u"－１，２３４"_s << 0 << QString() << QString();
    QTest::newRow("carry 1,000,000,000")
        << u"supplyCarry"_s << u"1,000,000,000"_s << 1 << kCarryPrefix << u"txtStartSupplyCarry"_s;
    QTest::newRow("carry -10,000,000")
        << u"saleCarry"_s << u"-10,000,000"_s << 1 << kCarryPrefix << u"txtStartSaleCarry"_s;
    QTest::newRow("carry 12.5") << u"supplyCarry"_s << u"12.5"_s << 1 << kCarryPrefix
                                << u"txtStartSupplyCarry"_s;
    QTest::newRow("carry beyond any amount") << u"saleCarry"_s << u"99999999999999999999"_s << 1
                                             << kCarryPrefix << u"txtStartSaleCarry"_s;
    QTest::newRow("carry text") << u"saleCarry"_s << u"12円"_s << 19 << c19
                                << u"txtStartSaleCarry"_s;
    QTest::newRow("carry separator misplaced")
        << u"supplyCarry"_s << u"1,,234"_s << 19 << c19 << u"txtStartSupplyCarry"_s;
}

void tst_SupplierRecords::validation() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, msgCode);
    QFETCH(QString, prefix);
    QFETCH(QString, focus);
    SupplierEntry e = goodEntry();
    const QMap<QString, QString*> fields{{u"name"_s, &e.supplierName},
                                         {u"short"_s, &e.supplierShortName},
                                         {u"supplyRatio"_s, &e.regularSupplyRatio},
                                         {u"saleRatio"_s, &e.regularSaleRatio},
                                         {u"supplyCarry"_s, &e.startSupplyCarry},
                                         {u"saleCarry"_s, &e.startSaleCarry}};
    *fields.value(field) = value;
    const SupplierCheck check = mChkMasterData(e);
    QCOMPARE(check.valid, msgCode == 0);
    QCOMPARE(check.msgCode, msgCode);
    QCOMPARE(check.msgPrefix, prefix);
    QCOMPARE(check.focus, focus);
}

void tst_SupplierRecords::supplierNumberOutsideListAsksForIt() {
    SupplierEntry e = goodEntry();
    e.supplier = QString();
    SupplierCheck check = mChkMasterData(e);
    QVERIFY(!check.valid);
    QCOMPARE(check.focus, u"cboLngSupplier"_s);
    // The earlier rules come first.
    e.supplierName.clear();
    check = mChkMasterData(e);
    QCOMPARE(check.focus, u"txtSupplierName"_s);
}

void tst_SupplierRecords::entryNumbersConvert_data() {
    QTest::addColumn<QString>("carry");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<qint64>("carryRaw");
    QTest::addColumn<qint64>("ratioRaw");
    QTest::newRow("separator") << u"1,234"_s << u"80"_s << qint64(12340000) << qint64(800000);
    QTest::newRow("full-width") << u"１，２３４"_s << u"７５．５"_s << qint64(12340000)
                                << qint64(755000);
    QTest::newRow("negative") << u"-9,999,999"_s << u"0"_s << qint64(-99999990000) << qint64(0);
}

void tst_SupplierRecords::entryNumbersConvert() {
    QFETCH(QString, carry);
    QFETCH(QString, ratio);
    QFETCH(qint64, carryRaw);
    QFETCH(qint64, ratioRaw);
    SupplierEntry e = goodEntry();
    e.startSupplyCarry = carry;
    e.regularSupplyRatio = ratio;
    QVERIFY(mChkMasterData(e).valid);
    SupplierRecord r;
    QVERIFY(gEntryToRecord(e, r));
    QVERIFY(mDataInsert2(r));
    const QVariantList row = rowOf(1, u"curStartSupplyCarry, curRegularSupplyRatio"_s);
    QCOMPARE(row.size(), 2);
    QCOMPARE(row.at(0).value<Currency>().raw(), carryRaw);
    QCOMPARE(row.at(1).value<Currency>().raw(), ratioRaw);
}

// ---- storing ---------------------------------------------------------------------------------

void tst_SupplierRecords::insertStoresTextAsTyped() {
    SupplierEntry e = goodEntry();
    e.masterID = u"3"_s;
    e.supplier = u"7"_s;
    e.supplierName = u"オニール's 商店"_s;
    e.supplierShortName = u"O'Neil"_s;
    e.notes = u"1行目\n2行目 'quoted' %_*"_s;
    e.chargePerson = 2;
    e.bankAccount = 2;
    e.valid = false;
    SupplierRecord r;
    QVERIFY(gEntryToRecord(e, r));
    QVERIFY(mDataInsert2(r));
    const QVariantList row = rowOf(3, u"lngSupplier, blnValid, strSupplierName,"
                                      " strSupplierShortName, strNotes, lngChargePerson,"
                                      " lngBankAccount, datLastUpdate"_s);
    QCOMPARE(row.size(), 8);
    QCOMPARE(row.at(0).toInt(), 7);
    QCOMPARE(row.at(1).toBool(), false);
    QCOMPARE(row.at(2).toString(), e.supplierName);
    QCOMPARE(row.at(3).toString(), e.supplierShortName);
    QCOMPARE(row.at(4).toString(), e.notes);
    QCOMPARE(row.at(5).toInt(), 2);
    QCOMPARE(row.at(6).toInt(), 2);
    QCOMPARE(row.at(7).toDateTime(), m_svc.clock->fixed);
}

void tst_SupplierRecords::modifyKeepsIdAndLedgerLines() {
    QVERIFY(addRow(5, 7, u"ABC商会"_s));
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET datLastUpdate='2020-01-01 08:00:00'"_s));
    for (int kind = 1; kind <= 2; ++kind)
        QVERIFY(gdbData().executeSQL(u"INSERT INTO T_DATA"_s + QString::number(kind) +
                                     u" (lngMasterID, date1, strItem, curCost)"
                                     " VALUES (5, '2024-03-01', '品', 10000)"_s));
    const auto ledger = []() {
        ResultSet rs(gdbData());
        rs.openRecordSet(u"SELECT lngID, lngMasterID, date1, strItem, curCost FROM T_DATA1"
                         " UNION ALL SELECT lngID, lngMasterID, date1, strItem, curCost"
                         " FROM T_DATA2"_s);
        return rs.rows();
    };
    const auto before = ledger();

    SupplierRecord r;
    QVERIFY(gGetMasterData(5, r));
    r.strSupplierName = u"ABC商会 改"_s;
    r.lngSupplier = 8;
    m_svc.clock->fixed = QDateTime(QDate(2024, 4, 1), QTime(9, 30, 15));
    QVERIFY(mSaveMasterData(1, r));

    QCOMPARE(countRows(u"SELECT lngMasterID FROM T_MASTER"_s), 1);
    const QVariantList row = rowOf(5, u"lngSupplier, strSupplierName, datLastUpdate"_s);
    QCOMPARE(row.size(), 3);
    QCOMPARE(row.at(0).toInt(), 8);
    QCOMPARE(row.at(1).toString(), u"ABC商会 改"_s);
    QCOMPARE(row.at(2).toDateTime(), QDateTime(QDate(2024, 4, 1), QTime(9, 30, 15)));
    QCOMPARE(ledger(), before);
}

void tst_SupplierRecords::failedInsertDuringModifyKeepsOldRow() {
    QVERIFY(addRow(5, 7, u"ABC商会"_s));
    QVERIFY(gdbData().executeSQL(u"CREATE TRIGGER refuse_insert BEFORE INSERT ON T_MASTER"
                                 " BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    SupplierRecord r;
    QVERIFY(gGetMasterData(5, r));
    r.strSupplierName = u"changed"_s;
    QVERIFY(!mDataModify(r));
    const QVariantList row = rowOf(5, u"lngSupplier, strSupplierShortName"_s);
    QCOMPARE(row.size(), 2);
    QCOMPARE(row.at(0).toInt(), 7);
    QCOMPARE(row.at(1).toString(), u"ABC商会"_s);
    QVERIFY(m_folder->errorLog().contains(u"mDataInsert2"_s));
    // The connection is usable afterwards: no transaction was left open.
    QVERIFY(gdbData().executeSQL(u"DROP TRIGGER refuse_insert"_s));
    QVERIFY(mDataModify(r));
    QCOMPARE(rowOf(5, u"strSupplierName"_s).value(0).toString(), u"changed"_s);
}

void tst_SupplierRecords::unknownSaveModeIsAFailure() {
    SupplierRecord r;
    QVERIFY(gEntryToRecord(goodEntry(), r));
    QVERIFY(!mSaveMasterData(2, r));
    QCOMPARE(countRows(u"SELECT lngMasterID FROM T_MASTER"_s), 0);
    QVERIFY(m_folder->errorLog().contains(u"mSaveMasterData"_s));
}

QTEST_GUILESS_MAIN(tst_SupplierRecords)
#include "tst_SupplierRecords.moc"
