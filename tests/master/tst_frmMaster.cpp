#include "TestData.h"
#include "TestServices.h"
#include "WidgetTestHelpers.h"
#include "app/frmMenu.h"
#include "base/Globals.h"
#include "master/SupplierRecords.h"
#include "master/frmMaster.h"
#include "master/frmSelectMaster.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "widgets/WindowDisplay.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

bool addRow(int masterID, int supplier, const QString& shortName) {
    return addSupplier(SupplierRow{.masterID = masterID,
                                   .supplier = supplier,
                                   .shortName = shortName,
                                   .supplyRatio = 80.5,
                                   .supplyCarry = 1234567});
}

QVariantList rowOf(int masterID, const QString& columns) {
    return dataRow(u"SELECT "_s + columns + u" FROM T_MASTER WHERE lngMasterID=?"_s, {masterID});
}

template <class T = QLineEdit> T* ctl(const QString& name) {
    frmMaster* f = frmMaster::existing();
    return f ? f->findChild<T*>(name) : nullptr;
}

QPushButton* proc(int index) {
    return ctl<QPushButton>(u"cmdProc_%1"_s.arg(index));
}

// Idle: add enabled, update disabled, entries locked and empty, no mode shown.
bool isIdle() {
    return proc(0)->isEnabled() && !proc(3)->isEnabled() &&
           !ctl(u"txtSupplierName"_s)->isEnabled() && ctl(u"txtSupplierName"_s)->text().isEmpty() &&
           ctl(u"txtProcClass"_s)->text().isEmpty();
}

} // namespace

class tst_frmMaster : public DataFileTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensIdle();
    void addSupplierThroughWindow();
    void modifySupplierThroughWindow();
    void selectionSearch_data();
    void selectionSearch();
    void typedNumber_data();
    void typedNumber();
    void masterOpenedFromLedgerDoesNotShowMenu();
    void invoiceNumberIsNormalisedAndAMismatchAsksFirst();
    void otherProgramsChange_data();
    void otherProgramsChange();
    void selectionListShowsOtherProgramsSupplier();

private:
    void openMaster();
};

void tst_frmMaster::init() {
    DataFileTest::init();
    gblnMasterFromData = true;
}

void tst_frmMaster::cleanup() {
    gblnMasterFromData = true; // closing must not bring up the menu here
    if (frmMaster* f = frmMaster::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmMaster::existing());
    DataFileTest::cleanup();
}

void tst_frmMaster::openMaster() {
    frmMaster* f = frmMaster::instance();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
}

void tst_frmMaster::opensIdle() {
    // The side labels follow the ledger's name and ratio caption.
    QVERIFY(gSetSystemStrField(10, u"購入"_s));
    QVERIFY(
        gdbData().executeSQL(u"UPDATE T_DATA1_CAPTION SET strCaption='率' WHERE lngCaptionNo=8"_s));
    openMaster();
    QCOMPARE(frmMaster::existing()->windowTitle(),
             u"仕入先 　追加したデータの削除はできません。     tovaki"_s);
    QVERIFY(isIdle());
    QVERIFY(!ctl<QWidget>(u"cboLngSupplier"_s)->isEnabled());
    QCOMPARE(ctl<QComboBox>(u"cboLngSupplier"_s)->count(), 999);
    QCOMPARE(ctl<QLabel>(u"lblSupplyRatio"_s)->text(), u"規定購入率"_s);
    QCOMPARE(ctl<QLabel>(u"lblStartSupplyCarry"_s)->text(), u"開始購入残高"_s);
    QCOMPARE(ctl<QLabel>(u"lblSaleRatio"_s)->text(), u"規定売上掛率"_s);
    // Modify without any supplier is told and leaves the window idle.
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕入先データが登録されていません。\r\n先に登録してください。"_s});
    QVERIFY(!frmSelectMaster::existing());
    QVERIFY(isIdle());
}

// Add proposes the highest numbers + 1; a refused entry is told once and stores nothing.
void tst_frmMaster::addSupplierThroughWindow() {
    QVERIFY(addRow(1, 3, u"A"_s));
    QVERIFY(addRow(2, 7, u"B"_s));
    openMaster();
    QTest::mouseClick(proc(0), Qt::LeftButton);
    QCOMPARE(ctl(u"txtProcClass"_s)->text(), u"追加"_s);
    QCOMPARE(ctl(u"txtMasterID"_s)->text(), u"3"_s);
    auto* numbers = ctl<QComboBox>(u"cboLngSupplier"_s);
    QCOMPARE(numbers->currentText(), u"8"_s);
    QCOMPARE(frmMaster::existing()->focusWidget(), ctl(u"txtSupplierName"_s));
    typeText(ctl(u"txtSupplierShortName"_s), u"ｵﾆｰﾙ's"_s);
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(), QStringList{u"仕入先名は必ず入力してください。"_s});
    QCOMPARE(frmMaster::existing()->focusWidget(), ctl(u"txtSupplierName"_s));
    QVERIFY(rowOf(3, u"lngSupplier"_s).isEmpty());

    QTest::keyClicks(numbers, u"12"_s); // typing picks a number
    typeText(ctl(u"txtSupplierName"_s), u"  オニール's 商店 "_s);
    ctl(u"txtRegularSupplyRatio"_s)->setText(u"75.5"_s);
    ctl(u"txtStartSupplyCarry"_s)->setText(u"１，２３４"_s);
    ctl(u"txtStartSaleCarry"_s)->setText(u"-9,999,999"_s);
    QTest::mouseClick(ctl<QRadioButton>(u"optChargePerson_2"_s), Qt::LeftButton);
    ctl<QComboBox>(u"cboPhone1Notes"_s)->setEditText(u"倉庫"_s);
    ctl<QPlainTextEdit>(u"txtNotes"_s)->setPlainText(u"一行目\n二行目"_s);
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QCOMPARE(rowOf(3,
                   u"lngSupplier, blnValid, strSupplierName, strSupplierShortName,"
                   " curRegularSupplyRatio, curStartSupplyCarry, curStartSaleCarry,"
                   " lngChargePerson, lngBankAccount, strPhone1Notes, strNotes, datLastUpdate"_s),
             (QVariantList{qint64(12), true, u"オニール's 商店"_s, u"ｵﾆｰﾙ's"_s,
                           QVariant::fromValue(Currency::fromRaw(755000)),
                           QVariant::fromValue(Currency::fromInt(1234)),
                           QVariant::fromValue(Currency::fromInt(-9999999)), qint64(2), qint64(1),
                           u"倉庫"_s, u"一行目\n二行目"_s,
                           QDateTime(QDate(2024, 3, 5), QTime(10, 15))}));
    QVERIFY(isIdle());
    // Cancel stores nothing.
    QTest::mouseClick(proc(0), Qt::LeftButton);
    typeText(ctl(u"txtSupplierName"_s), u"取消商店"_s);
    typeText(ctl(u"txtSupplierShortName"_s), u"取消"_s);
    QTest::mouseClick(proc(4), Qt::LeftButton);
    QVERIFY(rowOf(4, u"lngSupplier"_s).isEmpty());
    QVERIFY(isIdle());
}

// Modify: another supplier's number is refused and nothing changes; the stored change keeps the
// supplier's ID and its ledger lines.
void tst_frmMaster::modifySupplierThroughWindow() {
    QVERIFY(addRow(4, 3, u"XYZ"_s));
    QVERIFY(addRow(9, 7, u"ABC商会"_s));
    const qint64 line = addLine(LineRow{.masterID = 9, .date = QDate(2024, 1, 5), .cost = 500});
    openMaster();
    QVERIFY(gdbData().executeSQL(u"UPDATE T_MASTER SET datLastUpdate='2023-12-31 18:45:59'"_s));
    whenOpen<frmSelectMaster>([](frmSelectMaster* w) {
        w->Combo1->setCurrentIndex(w->Combo1->findText(u"  7：ABC商会"_s));
        QTest::keyClick(w->Combo1, Qt::Key_Return); // Enter selects
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QTRY_VERIFY(!frmSelectMaster::existing());
    QCOMPARE(ctl(u"txtMasterID"_s)->text(), u"9"_s);
    auto* numbers = ctl<QComboBox>(u"cboLngSupplier"_s);
    QCOMPARE(numbers->currentText(), u"7"_s);
    QCOMPARE(ctl(u"txtRegularSupplyRatio"_s)->text(), u"80.5"_s);
    QCOMPARE(ctl(u"txtStartSupplyCarry"_s)->text(), u"1,234,567"_s);
    QCOMPARE(ctl(u"txtLastupdate"_s)->text(), u"2023/12/31 18:45:00"_s); // no seconds
    QCOMPARE(ctl(u"txtProcClass"_s)->text(), u"修正"_s);

    numbers->setCurrentIndex(numbers->findText(u"3"_s));
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts(),
             QStringList{u"仕入先番号が既に使用されています。\r\n別の番号を入力してください。"_s});
    QCOMPARE(frmMaster::existing()->focusWidget(), static_cast<QWidget*>(numbers));
    QCOMPARE(rowOf(9, u"lngSupplier"_s), QVariantList{qint64(7)});
    QVERIFY(proc(3)->isEnabled());

    numbers->setCurrentIndex(numbers->findText(u"7"_s));
    ctl(u"txtSupplierShortName"_s)->clear();
    typeText(ctl(u"txtSupplierShortName"_s), u"ABC新商会"_s); // one byte too many
    m_svc.clock->fixed = QDateTime(QDate(2024, 6, 1), QTime(12, 0, 30));
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QCOMPARE(rowOf(9, u"lngSupplier, strSupplierShortName, curStartSupplyCarry, datLastUpdate"_s),
             (QVariantList{qint64(7), u"ABC新商"_s, QVariant::fromValue(Currency::fromInt(1234567)),
                           m_svc.clock->fixed}));
    QCOMPARE(rowOf(4, u"strSupplierShortName"_s), QVariantList{u"XYZ"_s});
    QCOMPARE(dataRow(u"SELECT lngMasterID FROM T_DATA1 WHERE lngID=?"_s, {line}),
             QVariantList{qint64(9)});
    QVERIFY(isIdle());
}

// The selection window starts in its search box, and typing in the list searches too; a search
// that finds nothing says so and leaves nothing to select.
void tst_frmMaster::selectionSearch_data() {
    QTest::addColumn<QString>("typed"); // after "12", which finds 山田
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("inList"); // typed while the list has the focus
    QTest::newRow("quote in the full name") << u"'s"_s << u"  7：オニール"_s << false;
    QTest::newRow("nothing found") << u"ぺんぎん"_s << QString() << false;
    QTest::newRow("typed in the list") << u"'s"_s << u"  7：オニール"_s << true;
}

void tst_frmMaster::selectionSearch() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(bool, inList);
    QVERIFY(addRow(1, 7, u"オニール"_s));
    QVERIFY(addRow(2, 12, u"山田"_s));
    for (int n = 100; n < 120; ++n) // more than the open list shows
        QVERIFY(addRow(n, n, u"店"_s));
    QVERIFY(gdbData().executeSQL(
        u"UPDATE T_MASTER SET strSupplierName='オニール''s商会' WHERE lngMasterID=1"_s));
    openMaster();
    QStringList seen; // chosen entry, "told" when the label shows, "selectable" when 選択 is
    int listHeight = 0;
    whenOpen<frmSelectMaster>([&](frmSelectMaster* w) {
        w->Combo1->showPopup();
        listHeight = w->Combo1->view()->height() / w->Combo1->view()->sizeHintForRow(0);
        w->Combo1->hidePopup();
        typeText(w->focusWidget(), u"12"_s);
        w->txtFind->clear();
        if (inList)
            w->Combo1->setFocus();
        for (const QChar c : typed)
            typeText(w->focusWidget(), c);
        seen = {w->Combo1->currentText(),
                w->findChild<QLabel*>(u"lblNotFound"_s)->isVisible() ? u"told"_s : u""_s,
                w->cmdSelect->isEnabled() ? u"selectable"_s : u""_s};
        w->close();
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QTRY_VERIFY(!frmSelectMaster::existing());
    const QStringList expected = chosen.isEmpty() ? QStringList{u""_s, u"told"_s, u""_s}
                                                  : QStringList{chosen, u""_s, u"selectable"_s};
    QCOMPARE(seen, expected);
    QCOMPARE(listHeight, 17); // rows of the open list, not the whole screen
}

// Typed digits pick exactly the number typed; a pause ("|") starts a new one. The open list
// shows at most 20 numbers, with a scroll bar.
void tst_frmMaster::typedNumber_data() {
    QTest::addColumn<QString>("keys"); // while 12 is chosen
    QTest::addColumn<QString>("chosen");
    QTest::newRow("one digit") << u"7"_s << u"7"_s;
    QTest::newRow("two digits") << u"70"_s << u"70"_s;
    QTest::newRow("pause") << u"7|5"_s << u"5"_s;
}

void tst_frmMaster::typedNumber() {
    QFETCH(QString, keys);
    QFETCH(QString, chosen);
    openMaster();
    QTest::mouseClick(proc(0), Qt::LeftButton);
    auto* numbers = ctl<QComboBox>(u"cboLngSupplier"_s);
    numbers->setCurrentIndex(numbers->findText(u"12"_s));
    for (const QChar c : keys) {
        if (c == u'|')
            QTest::qWait(QApplication::keyboardInputInterval() + 100);
        else
            QTest::keyClick(numbers, c.toLatin1());
    }
    QCOMPARE(numbers->currentText(), chosen);
    numbers->showPopup();
    QVERIFY(numbers->view()->height() <= 20 * numbers->view()->sizeHintForRow(0) + 8);
    QVERIFY(numbers->view()->verticalScrollBar()->isVisible()); // the rest can be seen to be there
    numbers->hidePopup();
}

// Opened from a ledger (modally), closing it brings up no menu.
void tst_frmMaster::masterOpenedFromLedgerDoesNotShowMenu() {
    QTimer::singleShot(0, [] { QTest::mouseClick(proc(5), Qt::LeftButton); });
    QVERIFY(gDspForm(frmMaster::instance(), 0, 1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmMaster::existing());
    QVERIFY(!frmMenu::existing());
}

void tst_frmMaster::invoiceNumberIsNormalisedAndAMismatchAsksFirst() {
    openMaster();
    QTest::mouseClick(proc(0), Qt::LeftButton);
    typeText(ctl(u"txtSupplierName"_s), u"登録商会"_s);
    typeText(ctl(u"txtSupplierShortName"_s), u"登録"_s);
    typeText(ctl(u"txtInvoiceNo"_s), u"ｔ７０００－０１２０－５０００３"_s);
    typeText(ctl(u"txtInvoiceFrom"_s), u"2023/10/01"_s);
    // The check digit does not match: "No" keeps the user in the box, nothing is stored.
    m_svc.prompt->answers.enqueue(MsgResult::No);
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    QVERIFY(m_svc.prompt->texts().value(0).contains(u"T7000012050003"_s));
    QCOMPARE(frmMaster::existing()->focusWidget(), ctl(u"txtInvoiceNo"_s));
    QVERIFY(rowOf(1, u"lngSupplier"_s).isEmpty());
    ctl(u"txtInvoiceNo"_s)->setText(u"T7000-0120-50002"_s);
    QTest::mouseClick(proc(3), Qt::LeftButton);
    QCOMPARE(m_svc.prompt->shown.size(), 1);
    QCOMPARE(rowOf(1, u"strInvoiceNo, datInvoiceFrom"_s),
             (QVariantList{u"T7000012050002"_s, QDate(2023, 10, 1)}));
    QVERIFY(gDspMasterData(*frmMaster::existing(), 1));
    QCOMPARE(ctl(u"txtInvoiceNo"_s)->text() + ctl(u"txtInvoiceFrom"_s)->text(),
             u"T70000120500022023/10/01"_s);
}

// Another program stores the supplier being modified (on the data file: another tool, heard of
// by no one). On a server the boxes show it at once while they are as loaded; typed boxes are kept
// and the change told. Confirming then stores nothing, tells so and shows the stored supplier.
void tst_frmMaster::otherProgramsChange_data() {
    QTest::addColumn<QString>("typed"); // typed into the memo before the change
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("shown"); // short name | memo | "told" while the label shows
    QTest::newRow("boxes as loaded") << QString() << false << u"他社||"_s;
    QTest::newRow("memo typed") << u"メモ"_s << false << u"ABC|メモ|told"_s;
    QTest::newRow("memo typed, confirmed") << u"メモ"_s << true << u"他社||"_s;
}

void tst_frmMaster::otherProgramsChange() {
    QFETCH(QString, typed);
    QFETCH(bool, confirmed);
    QFETCH(QString, shown);
    if (!confirmed && gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    QVERIFY(addRow(9, 7, u"ABC"_s));
    Database server;
    QVERIFY(gTestServer().isEmpty() || server.openServer(gTestServerDatabase()));
    openMaster();
    whenOpen<frmSelectMaster>([](frmSelectMaster* w) {
        w->Combo1->setCurrentIndex(0);
        w->cmdSelect->click();
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QTRY_VERIFY(!frmSelectMaster::existing());
    typeText(ctl<QPlainTextEdit>(u"txtNotes"_s), typed);
    SupplierRecord r;
    QVERIFY(gGetMasterData(server.isOpen() ? server : gdbData(), 9, r));
    r.strSupplierShortName = u"他社"_s;
    QVERIFY(mSaveMasterData(server.isOpen() ? server : gdbData(), 1, r));
    const auto seen = [] {
        return ctl(u"txtSupplierShortName"_s)->text() + u'|' +
               ctl<QPlainTextEdit>(u"txtNotes"_s)->toPlainText() + u'|' +
               (ctl<QLabel>(u"lblChangedElsewhere"_s)->isVisible() ? u"told"_s : QString());
    };
    if (confirmed)
        QTest::mouseClick(proc(3), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(seen(), shown, 1000);
    QCOMPARE(m_svc.prompt->texts(),
             confirmed
                 ? QStringList{u"この仕入先はほかのパソコンで変更されたため、保存しませんでした。"
                               "\r\n最新の内容を表示しました。必要ならもう一度入力してください。"_s}
                 : QStringList{});
    QCOMPARE(rowOf(9, u"strSupplierShortName, strNotes"_s), (QVariantList{u"他社"_s, u""_s}));
    QVERIFY(proc(3)->isEnabled()); // still modifying
}

// The open selection list takes a supplier another program added, keeping the one chosen.
void tst_frmMaster::selectionListShowsOtherProgramsSupplier() {
    if (gTestServer().isEmpty())
        QSKIP("server mode only (TOVAKI_TEST_SERVER names no server)");
    QVERIFY(addRow(9, 7, u"ABC"_s));
    Database other;
    QVERIFY(other.openServer(gTestServerDatabase()));
    openMaster();
    QStringList seen;
    whenOpen<frmSelectMaster>([&](frmSelectMaster* w) {
        w->Combo1->setCurrentIndex(0);
        SupplierRecord r;
        r.lngMasterID = 3;
        r.lngSupplier = 2;
        r.strSupplierShortName = u"新店"_s;
        if (mSaveMasterData(other, 0, r))
            (void)QTest::qWaitFor([w] { return w->Combo1->count() == 2; }, 1000);
        for (int i = 0; i < w->Combo1->count(); ++i)
            seen << w->Combo1->itemText(i);
        seen << w->Combo1->currentText();
        w->close();
    });
    QTest::mouseClick(proc(1), Qt::LeftButton);
    QTRY_VERIFY(!frmSelectMaster::existing());
    QCOMPARE(seen, (QStringList{u"  2：新店"_s, u"  7：ABC"_s, u"  7：ABC"_s}));
}

QTEST_MAIN(tst_frmMaster)
#include "tst_frmMaster.moc"
