#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/Globals.h"
#include "app/WindowDisplay.h"
#include "app/frmMenu.h"
#include "master/SupplierRecords.h"
#include "master/frmMaster.h"
#include "master/frmSelectMaster.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

bool addRow(int masterID, int supplier, const QString& shortName, const QString& kana = {},
            bool valid = true) {
    return gdbData().executeSQL(
        u"INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName,"
        " strSupplierShortName, strKana, curRegularSupplyRatio, curStartSupplyCarry,"
        " lngChargePerson, lngBankAccount, strPhone1Notes, datLastUpdate)"
        " VALUES (?,?,?,?,?,?,?,?,?,?,?,?)"_s,
        {masterID, supplier, valid, shortName + u"株式会社"_s, shortName, kana, qint64(805000),
         qint64(12345670000), 2, 2, u"事務所"_s, u"2023-12-31 18:45:59"_s});
}

QVariantList rowOf(int masterID, const QString& columns) {
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(u"SELECT "_s + columns + u" FROM T_MASTER WHERE lngMasterID=?"_s,
                          {masterID}) ||
        rs.recordCount() != 1)
        return {};
    return rs.rows().front();
}

int supplierRows() {
    ResultSet rs(gdbData());
    return rs.openRecordSet(u"SELECT lngMasterID FROM T_MASTER"_s) ? rs.recordCount() : -1;
}

template <class T> T* ctl(const QString& name) {
    frmMaster* f = frmMaster::existing();
    return f ? f->findChild<T*>(name) : nullptr;
}

QLineEdit* edit(const QString& name) {
    return ctl<QLineEdit>(name);
}

QPushButton* proc(int index) {
    return ctl<QPushButton>(u"cmdProc_%1"_s.arg(index));
}

// Idle: add enabled, update disabled, entries locked and empty, no mode shown.
bool isIdle() {
    return proc(0)->isEnabled() && !proc(3)->isEnabled() &&
           !edit(u"txtSupplierName"_s)->isEnabled() &&
           edit(u"txtSupplierName"_s)->text().isEmpty() &&
           ctl<QLineEdit>(u"txtProcClass"_s)->text().isEmpty();
}

// The entry boxes of the table of controls (every one tagged "LOCKED").
const QStringList kEntryBoxes{u"cboLngSupplier"_s,
                              u"chkValid"_s,
                              u"txtSupplierName"_s,
                              u"txtSupplierShortName"_s,
                              u"txtPosition"_s,
                              u"txtKana"_s,
                              u"txtRegularSupplyRatio"_s,
                              u"txtRegularSaleRatio"_s,
                              u"txtStartSupplyCarry"_s,
                              u"txtStartSaleCarry"_s,
                              u"optChargePerson_1"_s,
                              u"optChargePerson_2"_s,
                              u"txtChargePerson1"_s,
                              u"txtChargePerson1Notes"_s,
                              u"txtChargePerson2"_s,
                              u"txtChargePerson2Notes"_s,
                              u"txtPostalCode1"_s,
                              u"txtAddress1"_s,
                              u"txtPostalCode2"_s,
                              u"txtAddress2"_s,
                              u"txtPhone1"_s,
                              u"cboPhone1Notes"_s,
                              u"txtPhone2"_s,
                              u"cboPhone2Notes"_s,
                              u"txtFax"_s,
                              u"cboFaxNotes"_s,
                              u"optBankAccount_1"_s,
                              u"optBankAccount_2"_s,
                              u"txtBankAccount1"_s,
                              u"txtBankAccount2"_s,
                              u"txtNotes"_s,
                              u"txtMasterID"_s};

} // namespace

class tst_frmMaster : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensIdle();
    void labelsFollowSettingsAndCaptions();
    void supplierNumberIsPickedFromList();
    void addSupplierThroughWindow();
    void addProposesHighestPlusOne();
    void addWithFullListStaysIdle();
    void cancelStoresNothing();
    void validationShowsMessageAndFocus_data();
    void validationShowsMessageAndFocus();
    void modifyWithoutSuppliersShowsMessage34();
    void modifySupplierThroughWindow();
    void modifyTakingAnotherNumberFails();
    void selectionListsAllSuppliersInSettingOrder();
    void selectWithNothingChosenDoesNothing();
    void closingSelectionWithoutPickLeavesIdle();
    void enterMovesFocus();
    void phoneNoteTakesSixteenBytesAndOneMore();
    void entryLimitsCountBytes_data();
    void entryLimitsCountBytes();
    void menuOpensMasterAndGetsItBack();
    void masterOpenedFromLedgerDoesNotShowMenu();
    void menuLedgerButtonsSeeSuppliers();

private:
    void openMaster();
    void startAdd();
    std::unique_ptr<TestProgramFolder> m_folder;
    TestServices m_svc{};
};

void tst_frmMaster::init() {
    m_svc = TestServices::install();
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    gblnMasterFromData = true;
}

void tst_frmMaster::cleanup() {
    gblnMasterFromData = true; // closing must not bring up the menu here
    if (frmMaster* f = frmMaster::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmMaster::existing());
    m_folder.reset();
}

void tst_frmMaster::openMaster() {
    frmMaster* f = frmMaster::instance();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
}

void tst_frmMaster::startAdd() {
    openMaster();
    QTest::mouseClick(proc(0), Qt::LeftButton);
}

void tst_frmMaster::opensIdle() {
    openMaster();
    frmMaster* f = frmMaster::existing();
    QCOMPARE(f->windowTitle(), u"仕入先 　追加したデータの削除はできません。     tovaki"_s);
    for (const QString& name : kEntryBoxes) {
        auto* w = ctl<QWidget>(name);
        QVERIFY2(w, qPrintable(name));
        QVERIFY2(!w->isEnabled(), qPrintable(name));
    }
    for (auto* e : f->findChildren<QLineEdit*>())
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    QVERIFY(proc(0)->isEnabled());
    QVERIFY(proc(1)->isEnabled());
    QVERIFY(proc(5)->isEnabled());
    QVERIFY(!proc(3)->isEnabled());
    QVERIFY(!proc(4)->isEnabled());
    QVERIFY(!proc(2)->isVisible());
    QCOMPARE(proc(0)->text(), u"追 加"_s);
    QCOMPARE(proc(0)->toolTip(), u"一人分のデータを追加します"_s);
    QCOMPARE(edit(u"txtSupplierShortName"_s)->toolTip(), u"８文字までです"_s);
    QCOMPARE(ctl<QCheckBox>(u"chkValid"_s)->toolTip(),
             u"無効にすると、仕入先の表示から外れます。"_s);
    QVERIFY(!ctl<QLabel>(u"picProcess_0"_s)->isVisible());
    QVERIFY(!edit(u"txtMasterID"_s)->isVisible());
    QVERIFY(!edit(u"txtLastupdate"_s)->isEnabled());
    auto* numbers = ctl<QComboBox>(u"cboLngSupplier"_s);
    QCOMPARE(numbers->count(), 999);
    QCOMPARE(numbers->itemText(0), u"1"_s);
    QCOMPARE(numbers->itemText(998), u"999"_s);
    QCOMPARE(numbers->currentText(), QString());
}

void tst_frmMaster::labelsFollowSettingsAndCaptions() {
    QVERIFY(gSetSystemStrField(10, u"購入"_s));
    QVERIFY(
        gdbData().executeSQL(u"UPDATE T_DATA1_CAPTION SET strCaption='率' WHERE lngCaptionNo=8"_s));
    openMaster();
    QCOMPARE(ctl<QLabel>(u"lblSupplyRatio"_s)->text(), u"規定購入率"_s);
    QCOMPARE(ctl<QLabel>(u"lblStartSupplyCarry"_s)->text(), u"開始購入残高"_s);
    QCOMPARE(ctl<QLabel>(u"lblSaleRatio"_s)->text(), u"規定売上掛率"_s);
    QCOMPARE(ctl<QLabel>(u"lblStartSaleCarry"_s)->text(), u"開始売上残高"_s);
}

void tst_frmMaster::supplierNumberIsPickedFromList() {
    startAdd();
    auto* numbers = ctl<QComboBox>(u"cboLngSupplier"_s);
    QCOMPARE(numbers->currentText(), u"1"_s);
    typeText(numbers, u"57"_s);
    QCOMPARE(numbers->currentText(), u"1"_s);
    QTest::keyClick(numbers, Qt::Key_Down);
    QCOMPARE(numbers->currentText(), u"2"_s);
}

void tst_frmMaster::addSupplierThroughWindow() {
    startAdd();
    QCOMPARE(ctl<QLineEdit>(u"txtProcClass"_s)->text(), u"追加"_s);
    QVERIFY(ctl<QLabel>(u"picProcess_0"_s)->isVisible());
    QVERIFY(!proc(0)->isEnabled());
    QVERIFY(proc(3)->isEnabled());
    QCOMPARE(edit(u"txtMasterID"_s)->text(), u"1"_s);
    QCOMPARE(edit(u"txtRegularSupplyRatio"_s)->text(), u"0"_s);
    QCOMPARE(edit(u"txtStartSaleCarry"_s)->text(), u"0"_s);
    QVERIFY(ctl<QRadioButton>(u"optChargePerson_1"_s)->isChecked());
    QVERIFY(ctl<QRadioButton>(u"optBankAccount_1"_s)->isChecked());
    QCOMPARE(frmMaster::existing()->focusWidget(), edit(u"txtSupplierName"_s));

    typeText(edit(u"txtSupplierName"_s), u"  オニール's 商店 "_s);
    typeText(edit(u"txtSupplierShortName"_s), u"ｵﾆｰﾙ's"_s);
    typeText(edit(u"txtKana"_s), u"オニール"_s);
    edit(u"txtRegularSupplyRatio"_s)->setText(u"75.5"_s);
    edit(u"txtStartSupplyCarry"_s)->setText(u"１，２３４"_s);
    edit(u"txtStartSaleCarry"_s)->setText(u"-9,999,999"_s);
    QTest::mouseClick(ctl<QRadioButton>(u"optChargePerson_2"_s), Qt::LeftButton);
    ctl<QComboBox>(u"cboPhone1Notes"_s)->setEditText(u"倉庫"_s);
    ctl<QPlainTextEdit>(u"txtNotes"_s)->setPlainText(u"一行目\n二行目"_s);
    QTest::mouseClick(proc(3), Qt::LeftButton);

    QCOMPARE(m_svc.prompt->texts(), QStringList());
    const QVariantList row = rowOf(1, u"lngSupplier, blnValid, strSupplierName,"
                                      " strSupplierShortName, strKana, curRegularSupplyRatio,"
                                      " curStartSupplyCarry, curStartSaleCarry, lngChargePerson,"
                                      " lngBankAccount, strPhone1Notes, strNotes, datLastUpdate"_s);
    QCOMPARE(row.size(), 13);
    QCOMPARE(row.at(0).toInt(), 1);
    QCOMPARE(row.at(1).toBool(), true);
    QCOMPARE(row.at(2).toString(), u"オニール's 商店"_s); // half-width spaces trimmed
    QCOMPARE(row.at(3).toString(), u"ｵﾆｰﾙ's"_s);
    QCOMPARE(row.at(4).toString(), u"オニール"_s);
    QCOMPARE(row.at(5).value<Currency>(), Currency::fromRaw(755000));
    QCOMPARE(row.at(6).value<Currency>(), Currency::fromInt(1234));
    QCOMPARE(row.at(7).value<Currency>(), Currency::fromInt(-9999999));
    QCOMPARE(row.at(8).toInt(), 2);
    QCOMPARE(row.at(9).toInt(), 1);
    QCOMPARE(row.at(10).toString(), u"倉庫"_s);
    QCOMPARE(row.at(11).toString(), u"一行目\n二行目"_s);
    QCOMPARE(row.at(12).toDateTime(), m_svc.clock->fixed);

    QVERIFY(isIdle());
}

void tst_frmMaster::addProposesHighestPlusOne() {
    QVERIFY(addRow(1, 3, u"A"_s));
    QVERIFY(addRow(2, 7, u"B"_s));
    startAdd();
    QCOMPARE(edit(u"txtMasterID"_s)->text(), u"3"_s);
    QCOMPARE(ctl<QComboBox>(u"cboLngSupplier"_s)->currentText(), u"8"_s);
    // The phone-note list is filled on add.
    auto* notes = ctl<QComboBox>(u"cboPhone2Notes"_s);
    QCOMPARE(notes->count(), 3);
    QCOMPARE(notes->itemText(2), u"事務所"_s);
}

void tst_frmMaster::addWithFullListStaysIdle() {
    {
        Transaction tx(gdbData());
        for (int n = 1; n <= 999; ++n)
            QVERIFY(addRow(n, n, u"S"_s));
        QVERIFY(tx.commit());
    }
    startAdd();
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QVERIFY(m_svc.prompt->texts().at(0).contains(u"999件"_s));
    QVERIFY(isIdle());
    QCOMPARE(ctl<QComboBox>(u"cboLngSupplier"_s)->currentText(), QString());
    QCOMPARE(m_svc.process->terminations, QList<int>());
}

void tst_frmMaster::cancelStoresNothing() {
    startAdd();
    typeText(edit(u"txtSupplierName"_s), u"取消商店"_s);
    typeText(edit(u"txtSupplierShortName"_s), u"取消"_s);
    QTest::mouseClick(proc(4), Qt::LeftButton);
    QCOMPARE(supplierRows(), 0);
    QVERIFY(isIdle());
}

void tst_frmMaster::validationShowsMessageAndFocus_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("name") << u"txtSupplierName"_s << u"   "_s
                          << u"仕入先名は必ず入力してください。"_s;
    QTest::newRow("short name") << u"txtSupplierShortName"_s << QString()
                                << u"仕入先表示名は必ず入力してください。"_s;
    QTest::newRow("ratio abc") << u"txtRegularSaleRatio"_s << u"abc"_s
                               << u"規定掛率は必ず入力してください。"_s;
    QTest::newRow("ratio 100.1") << u"txtRegularSupplyRatio"_s << u"100.1"_s
                                 << u"規定掛率は０％～１００％の範囲で  \r\n小数点１桁までです  "
                                    "\r\n\r\n正しい値を入力してください。"_s;
    QTest::newRow("carry 12.5")
        << u"txtStartSaleCarry"_s << u"12.5"_s
        << u"残高は -￥9,999,999 ～ ￥999,999,999 の範囲で  \r\n"
           "小数以下は受け付けません  \r\n\r\n正しい値を入力してください。"_s;
}

void tst_frmMaster::validationShowsMessageAndFocus() {
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, message);
    startAdd();
    edit(u"txtSupplierName"_s)->setText(u"検査商店"_s);
    edit(u"txtSupplierShortName"_s)->setText(u"検査"_s);
    edit(box)->setText(value);
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{message});
    QCOMPARE(frmMaster::existing()->focusWidget(), edit(box));
    QCOMPARE(supplierRows(), 0);
    // The entries stay as typed (trimmed) and the window stays in editing.
    QCOMPARE(edit(u"txtSupplierShortName"_s)->text(),
             box == u"txtSupplierShortName"_s ? QString() : u"検査"_s);
    QVERIFY(proc(3)->isEnabled());
    QCOMPARE(ctl<QLineEdit>(u"txtProcClass"_s)->text(), u"追加"_s);
}

void tst_frmMaster::modifyWithoutSuppliersShowsMessage34() {
    openMaster();
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕入先データが登録されていません。\r\n先に登録してください。"_s});
    QVERIFY(!frmSelectMaster::existing());
    QVERIFY(proc(0)->isEnabled());
}

void tst_frmMaster::modifySupplierThroughWindow() {
    QVERIFY(addRow(4, 3, u"XYZ"_s));
    QVERIFY(addRow(9, 7, u"ABC商会"_s));
    QVERIFY(gdbData().executeSQL(
        u"INSERT INTO T_DATA1 (lngMasterID, date1, curCost) VALUES (9, '2024-01-05', 50000)"_s));
    openMaster();
    bool picked = false;
    whenOpen<frmSelectMaster>([&picked](frmSelectMaster* w) {
        // While the window is open the mode shows "修正" and add is still enabled.
        picked = frmMaster::existing()->txtProcClass->text() == u"修正"_s &&
                 frmMaster::existing()->cmdProc[0]->isEnabled();
        w->Combo1->setCurrentIndex(w->Combo1->findText(u"  7：ABC商会"_s));
        QTest::mouseClick(w->cmdSelect, Qt::LeftButton);
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QVERIFY(picked);
    QTRY_VERIFY(!frmSelectMaster::existing());

    QCOMPARE(edit(u"txtMasterID"_s)->text(), u"9"_s);
    QCOMPARE(ctl<QComboBox>(u"cboLngSupplier"_s)->currentText(), u"7"_s);
    QCOMPARE(edit(u"txtSupplierShortName"_s)->text(), u"ABC商会"_s);
    QCOMPARE(edit(u"txtRegularSupplyRatio"_s)->text(), u"80.5"_s);
    QCOMPARE(edit(u"txtStartSupplyCarry"_s)->text(), u"1,234,567"_s);
    QCOMPARE(edit(u"txtLastupdate"_s)->text(), u"2023/12/31 18:45:00"_s);
    QVERIFY(ctl<QRadioButton>(u"optChargePerson_2"_s)->isChecked());
    QCOMPARE(ctl<QComboBox>(u"cboPhone1Notes"_s)->currentText(), u"事務所"_s);
    QVERIFY(edit(u"txtSupplierName"_s)->isEnabled());
    QVERIFY(proc(3)->isEnabled());
    QVERIFY(!proc(0)->isEnabled());
    QVERIFY(!proc(1)->isEnabled());

    edit(u"txtSupplierShortName"_s)->clear();
    typeText(edit(u"txtSupplierShortName"_s), u"ABC新商会"_s); // one byte too many
    m_svc.clock->fixed = QDateTime(QDate(2024, 6, 1), QTime(12, 0, 30));
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList());
    QCOMPARE(supplierRows(), 2);
    const QVariantList row =
        rowOf(9, u"lngSupplier, strSupplierShortName, curStartSupplyCarry, datLastUpdate"_s);
    QCOMPARE(row.size(), 4);
    QCOMPARE(row.at(0).toInt(), 7);
    QCOMPARE(row.at(1).toString(), u"ABC新商"_s);
    QCOMPARE(row.at(2).value<Currency>(), Currency::fromInt(1234567));
    QCOMPARE(row.at(3).toDateTime(), m_svc.clock->fixed);
    ResultSet lines(gdbData());
    QVERIFY(lines.openRecordSet(u"SELECT lngMasterID, curCost FROM T_DATA1"_s));
    QCOMPARE(lines.recordCount(), 1);
    QCOMPARE(lines.lng(0), 9);
    QVERIFY(proc(0)->isEnabled());
}

void tst_frmMaster::modifyTakingAnotherNumberFails() {
    QVERIFY(addRow(4, 3, u"XYZ"_s));
    QVERIFY(addRow(9, 7, u"ABC商会"_s));
    openMaster();
    whenOpen<frmSelectMaster>([](frmSelectMaster* w) {
        w->Combo1->setCurrentIndex(w->Combo1->findText(u"  7：ABC商会"_s));
        QTest::keyClick(w->Combo1, Qt::Key_Return); // Enter selects
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    auto* numbers = ctl<QComboBox>(u"cboLngSupplier"_s);
    numbers->setCurrentIndex(numbers->findText(u"3"_s));
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕入先番号が既に使用されています。\r\n別の番号を入力してください。"_s});
    QCOMPARE(frmMaster::existing()->focusWidget(), static_cast<QWidget*>(numbers));
    QCOMPARE(rowOf(9, u"lngSupplier"_s).value(0).toInt(), 7);
    QVERIFY(proc(3)->isEnabled());
}

void tst_frmMaster::selectionListsAllSuppliersInSettingOrder() {
    QVERIFY(addRow(1, 10, u"Alpha"_s, u"ア"_s));
    QVERIFY(addRow(2, 2, u"Beta"_s, u"ウ"_s, false));
    QVERIFY(addRow(3, 5, u"Gamma"_s, u"イ"_s));
    QVERIFY(gdbData().executeSQL(u"INSERT INTO T_SYSTEM (lngID, lngField) VALUES (9, 1)"_s));
    openMaster();
    QStringList items;
    QString title;
    whenOpen<frmSelectMaster>([&items, &title](frmSelectMaster* w) {
        for (int i = 0; i < w->Combo1->count(); ++i)
            items << w->Combo1->itemText(i);
        title = w->windowTitle();
        QTest::mouseClick(w->cmdExit, Qt::LeftButton);
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QCOMPARE(items, (QStringList{u" 10：Alpha"_s, u"  5：Gamma"_s, u"  2：Beta"_s}));
    QCOMPARE(title, u"仕入先の選択     tovaki"_s);
}

void tst_frmMaster::selectWithNothingChosenDoesNothing() {
    QVERIFY(addRow(1, 1, u"A"_s));
    openMaster();
    bool stayedOpen = false;
    whenOpen<frmSelectMaster>([&stayedOpen](frmSelectMaster* w) {
        QCOMPARE(w->Combo1->currentText(), QString());
        typeText(w->Combo1, u"1"_s); // typing chooses nothing
        QTest::mouseClick(w->cmdSelect, Qt::LeftButton);
        stayedOpen = w->isVisible() && w->Combo1->currentText().isEmpty();
        w->close();
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QVERIFY(stayedOpen);
    QVERIFY(edit(u"txtMasterID"_s)->text().isEmpty());
}

void tst_frmMaster::closingSelectionWithoutPickLeavesIdle() {
    QVERIFY(addRow(1, 1, u"A"_s));
    openMaster();
    whenOpen<frmSelectMaster>(
        [](frmSelectMaster* w) { QTest::mouseClick(w->cmdExit, Qt::LeftButton); });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QTRY_VERIFY(!frmSelectMaster::existing());
    QVERIFY(isIdle());
    QVERIFY(!ctl<QLabel>(u"picProcess_1"_s)->isVisible());
    QVERIFY(proc(1)->isEnabled());
    QCOMPARE(glngMasterProcMode, 1);
}

void tst_frmMaster::enterMovesFocus() {
    startAdd();
    frmMaster* f = frmMaster::existing();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    edit(u"txtPosition"_s)->setFocus();
    QTest::keyClick(edit(u"txtPosition"_s), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), edit(u"txtSupplierShortName"_s));
    QTest::keyClick(ctl<QComboBox>(u"cboLngSupplier"_s), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), ctl<QWidget>(u"chkValid"_s));
    auto* notes = ctl<QPlainTextEdit>(u"txtNotes"_s);
    notes->setFocus();
    typeText(notes, u"a"_s);
    QTest::keyClick(notes, Qt::Key_Return, Qt::ShiftModifier);
    typeText(notes, u"b"_s);
    QCOMPARE(notes->toPlainText(), u"a\nb"_s);
    QTest::keyClick(notes, Qt::Key_Return);
    QVERIFY(QApplication::focusWidget() != notes);
    QCOMPARE(notes->toPlainText(), u"a\nb"_s);
}

void tst_frmMaster::phoneNoteTakesSixteenBytesAndOneMore() {
    startAdd();
    auto* notes = ctl<QComboBox>(u"cboPhone1Notes"_s);
    notes->setEditText(u"１２３４５６７８"_s); // 16 bytes
    typeText(notes->lineEdit(), u"ab"_s);
    QCOMPARE(notes->currentText(), u"１２３４５６７８a"_s);
    QTest::keyClick(notes->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(notes->currentText(), u"１２３４５６７８"_s);
    typeText(notes->lineEdit(), u"あい"_s);
    QCOMPARE(notes->currentText(), u"１２３４５６７８あ"_s);
    // The other phone note is independent.
    typeText(ctl<QComboBox>(u"cboPhone2Notes"_s)->lineEdit(), u"自宅"_s);
    QCOMPARE(ctl<QComboBox>(u"cboPhone2Notes"_s)->currentText(), u"自宅"_s);
}

void tst_frmMaster::entryLimitsCountBytes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("short name, full-width")
        << u"txtSupplierShortName"_s << u"あいうえおか"_s << u"あいうえ"_s;
    QTest::newRow("short name, half-width")
        << u"txtSupplierShortName"_s << u"ABCDEFGHIJ"_s << u"ABCDEFGH"_s;
    QTest::newRow("short name, half-width kana")
        << u"txtSupplierShortName"_s << u"ｱｲｳｴｵｶｷｸｹ"_s << u"ｱｲｳｴｵｶｷｸ"_s;
    QTest::newRow("ratio") << u"txtRegularSupplyRatio"_s << u"12.34"_s << u"12.3"_s;
    QTest::newRow("postal code") << u"txtPostalCode1"_s << u"123-45678"_s << u"123-4567"_s;
    QTest::newRow("balance") << u"txtStartSaleCarry"_s << u"1,000,000,000"_s << u"1,000,000,00"_s;
}

void tst_frmMaster::entryLimitsCountBytes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    startAdd();
    edit(box)->clear();
    typeText(edit(box), typed);
    QCOMPARE(edit(box)->text(), kept);
}

void tst_frmMaster::menuOpensMasterAndGetsItBack() {
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    gblnMasterFromData = true;
    QVERIFY(menu->Command1[0]->isEnabled());
    QTest::mouseClick(menu->Command1[0], Qt::LeftButton);
    QVERIFY(!gblnMasterFromData);
    QVERIFY(frmMaster::existing());
    QVERIFY(frmMaster::existing()->isVisible());
    QTRY_VERIFY(!frmMenu::existing());
    QTest::mouseClick(proc(5), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmMaster::existing());
    QVERIFY(frmMenu::existing());
    QVERIFY(frmMenu::existing()->isVisible());
    QCOMPARE(m_svc.process->terminations, QList<int>());
}

void tst_frmMaster::masterOpenedFromLedgerDoesNotShowMenu() {
    // The ledger window sets the flag and shows the master modally.
    gblnMasterFromData = true;
    bool wasOpen = false;
    QTimer::singleShot(0, [&wasOpen]() {
        wasOpen = frmMaster::existing() && frmMaster::existing()->isVisible();
        QTest::mouseClick(proc(5), Qt::LeftButton);
    });
    QVERIFY(gDspForm(frmMaster::instance(), 0, 1));
    QVERIFY(wasOpen);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmMaster::existing());
    QVERIFY(!frmMenu::existing());
}

void tst_frmMaster::menuLedgerButtonsSeeSuppliers() {
    frmMenu* menu = frmMenu::instance();
    menu->show();
    QTest::mouseClick(menu->Command1[1], Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕入先データが登録されていません。\r\n先に登録してください。"_s});
    QVERIFY(addRow(1, 1, u"A"_s, {}, false)); // an invalid supplier counts as well
    QTest::mouseClick(menu->Command1[2], Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 1);
}

QTEST_MAIN(tst_frmMaster)
#include "tst_frmMaster.moc"
