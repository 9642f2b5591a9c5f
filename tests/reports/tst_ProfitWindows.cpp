#include "ProfitTestHelpers.h"
#include "TestData.h"
#include "TestServices.h"
#include "app/frmMenu.h"
#include "base/Globals.h"
#include "reports/ManageProfitFrame.h"
#include "reports/ProfitReport.h"
#include "reports/frmExcelColor.h"
#include "reports/frmPrint.h"
#include "reports/frmPrint_ManegeProfitSetting.h"
#include "store/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QStringList itemsOf(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

void choose(QComboBox* box, const QString& text) {
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
    emit box->activated(i);
}

// Runs `action` as soon as the modal window `T` is up.
template <typename T> void whenShown(std::function<void(T*)> action) {
    QTimer::singleShot(0, [action]() {
        T* w = T::existing();
        if (w)
            action(w);
    });
}

} // namespace

class tst_ProfitWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void frame_opensWithListsAndDefaults();
    void frame_restoresStoredChoices();
    void frame_allAndNoneButtons();
    void frame_choosingAClassFillsItsValues();
    void frame_createsTheWorkbookAndKeepsTheChoices();
    void frame_rowsPerSheetFollowTheSettingsCombo();
    void frame_noSupplierTicked_message22();
    void frame_startAfterEnd_message40AndFocus();
    void settings_opensWithStoredValues();
    void settings_closingStoresTheOptions();
    void settings_pickedColourIsStoredAtOnce();
    void settings_cancelledPickChangesNothing();
    void colorPicker_confirmWithoutPick();

private:
    ManageProfitFrame* openFrame();
    static void closeWindow();
    std::unique_ptr<TestProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_out;
    TestServices m_svc{};
};

void tst_ProfitWindows::init() {
    m_svc = TestServices::install();
    // Ten days earlier lies in the term 2024/04/21 - 2024/05/20 (close day 20).
    m_svc.clock->fixed = QDateTime(QDate(2024, 5, 1), QTime(9, 0, 0));
    m_folder = std::make_unique<TestProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(m_folder->open());
    QVERIFY(profittest::loadFixture());
    m_out = std::make_unique<QTemporaryDir>();
    frmPrint::setOutputFolderOverride(m_out->path());
    glngDataKind = 1;
}

void tst_ProfitWindows::closeWindow() {
    if (frmPrint* f = frmPrint::existing())
        f->close();
    delete frmMenu::existing(); // released without running the shutdown
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_ProfitWindows::cleanup() {
    closeWindow();
    QVERIFY(!frmPrint::existing());
    frmPrint::setOutputFolderOverride({});
    m_out.reset();
    m_folder.reset();
}

// The report window with its frame "利益管理表".
ManageProfitFrame* tst_ProfitWindows::openFrame() {
    frmPrint* w = frmPrint::instance();
    if (!w)
        return nullptr;
    w->show();
    return w->findChild<ManageProfitFrame*>(u"Frame5"_s);
}

void tst_ProfitWindows::frame_opensWithListsAndDefaults() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QCOMPARE(f->objectName(), u"Frame5"_s);
    QCOMPARE(f->title(), u"利益管理表"_s);
    // Three months before the current term's start; the end is the current term's end.
    QCOMPARE(f->cboManageProfitStart->currentText(), u"2024/01/21"_s);
    QCOMPARE(f->cboManageProfitEnd->currentText(), u"2024/05/20"_s);
    QTreeWidget* list = f->ListPrintManageProfit;
    QCOMPARE(list->headerItem()->text(0), u"  番号"_s);
    QCOMPARE(list->headerItem()->text(1), u"仕入先名"_s);
    QCOMPARE(list->topLevelItemCount(), 4); // the invalid supplier is not offered
    const QString names[4] = {u"甲商店"_s, u"乙商会"_s, u"丙堂"_s, u"丁屋"_s};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(list->topLevelItem(i)->text(0), QString::number(i + 1));
        QCOMPARE(list->topLevelItem(i)->text(1), names[i]);
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
    }
    const QStringList classes{QString(), u"区分1"_s, u"区分2"_s, u"区分3"_s};
    for (QComboBox* box : {f->cboSampling1Class, f->cboSampling2Class, f->cboPurchaseGroupingClass,
                           f->cboSaleGroupingClass}) {
        QCOMPARE(itemsOf(box), classes);
        QCOMPARE(box->currentText(), QString());
    }
    QCOMPARE(itemsOf(f->cboSamplingAndOr), (QStringList{u"かつ"_s, u"または"_s}));
    QCOMPARE(f->cboSamplingAndOr->currentText(), u"かつ"_s);
    QCOMPARE(itemsOf(f->cboSortRanking), (QStringList{u"粗利"_s, u"利益率"_s}));
    QCOMPARE(f->cboSortRanking->currentText(), u"粗利"_s);
    QCOMPARE(f->chkMP_SumOnly->text(), u"累計のみ（各月の詳細データは表示しない）"_s);
    QCOMPARE(f->chkMP_NoSumNoTarget->text(), u"仕入/売上が無い仕入先は対象にしない"_s);
    QCOMPARE(f->cmdManageProfitSetting->text(), u"各 設 定"_s);
    QCOMPARE(f->cmdManageProfit->text(), u"作 成"_s);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

void tst_ProfitWindows::frame_restoresStoredChoices() {
    QVERIFY(gSetSystemStrField(16, u"区分1"_s));
    QVERIFY(gSetSystemStrField(17, u"文具"_s));
    QVERIFY(gSetSystemStrField(18, u"区分9"_s)); // no longer a class caption
    QVERIFY(gSetSystemStrField(19, u"季節"_s));
    QVERIFY(gSetSystemLngField(20, 1));
    QVERIFY(gSetSystemStrField(21, u"区分2"_s));
    QVERIFY(gSetSystemStrField(22, u"区分3"_s));
    QVERIFY(gSetSystemBlnField(36, true));
    QVERIFY(gSetSystemBlnField(37, true));
    QVERIFY(gSetSystemBlnField(42, true));
    QVERIFY(gSetSystemLngField(43, 2));
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QCOMPARE(f->cboSampling1Class->currentText(), u"区分1"_s);
    QCOMPARE(itemsOf(f->cboSampling1ClassItem),
             (QStringList{u"紙製品"_s, u"文具"_s, u"雑貨"_s, u"事務機器"_s}));
    QCOMPARE(f->cboSampling1ClassItem->currentText(), u"文具"_s);
    QCOMPARE(f->cboSampling2Class->currentText(), QString());
    QCOMPARE(f->cboSampling2ClassItem->count(), 0);
    QCOMPARE(f->cboSamplingAndOr->currentText(), u"または"_s);
    QCOMPARE(f->cboPurchaseGroupingClass->currentText(), u"区分2"_s);
    QCOMPARE(f->cboSaleGroupingClass->currentText(), u"区分3"_s);
    QVERIFY(f->chkMP_NoSumNoTarget->isChecked());
    QVERIFY(f->chkMP_SumOnly->isChecked());
    QVERIFY(f->chkManageProfit_Ranking->isChecked());
    QCOMPARE(f->cboSortRanking->currentText(), u"利益率"_s);
}

void tst_ProfitWindows::frame_allAndNoneButtons() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QTest::mouseClick(f->cmdManegeProfit_AllClear, Qt::LeftButton);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f->ListPrintManageProfit->topLevelItem(i)->checkState(0), Qt::Unchecked);
    f->ListPrintManageProfit->topLevelItem(2)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(f->cmdPrintManegeProfit_AllCheck, Qt::LeftButton);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f->ListPrintManageProfit->topLevelItem(i)->checkState(0), Qt::Checked);
}

void tst_ProfitWindows::frame_choosingAClassFillsItsValues() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    choose(f->cboSampling2Class, u"区分2"_s);
    QCOMPARE(itemsOf(f->cboSampling2ClassItem), (QStringList{u"定番"_s, u"季節"_s, u"特注"_s}));
    QCOMPARE(f->cboSampling2ClassItem->currentText(), QString());
    choose(f->cboSampling2Class, QString());
    QCOMPARE(f->cboSampling2ClassItem->count(), 0);
}

void tst_ProfitWindows::frame_createsTheWorkbookAndKeepsTheChoices() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    // While it writes, the report window is disabled and shows its processing panel.
    frmPrint* window = frmPrint::existing();
    bool busySeen = false;
    int progressMaximum = 0;
    connect(window->PBarNowProcessing, &QProgressBar::valueChanged, this, [&](int value) {
        if (value > 0) {
            busySeen = !window->isEnabled() && window->picNowProcessing->isVisible();
            progressMaximum = window->PBarNowProcessing->maximum();
        }
    });
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    choose(f->cboSampling1Class, u"区分1"_s);
    choose(f->cboSampling1ClassItem, u"文具"_s);
    choose(f->cboSamplingAndOr, u"または"_s);
    choose(f->cboSampling2Class, u"区分2"_s);
    choose(f->cboSampling2ClassItem, u"季節"_s);
    choose(f->cboSaleGroupingClass, u"区分2"_s);
    f->chkManageProfit_Ranking->setChecked(true);
    choose(f->cboSortRanking, u"利益率"_s);
    f->chkMP_NoSumNoTarget->setChecked(true);
    m_svc.prompt->answers.enqueue(6); // open it
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);

    QVERIFY(busySeen);
    QCOMPARE(progressMaximum, 4);
    QVERIFY(window->isEnabled());
    QVERIFY(!window->picNowProcessing->isVisible());
    const QString saved = f->lastSavedPath();
    QVERIFY(QFileInfo::exists(saved));
    QCOMPARE(QFileInfo(saved).absolutePath(), QDir(m_out->path()).absolutePath());
    QCOMPARE(m_svc.shell->opened, QStringList{saved});
    Workbook book;
    QVERIFY(book.open(saved));
    QCOMPARE(book.sheetNames(), (QStringList{u"1"_s, u"ランキング"_s}));
    // 文具 OR 季節: 甲商店 buys 800 + 300, then 700, and sells 1000, then 900.
    const Worksheet* ws = book.sheet(0);
    QCOMPARE(profittest::rowText(ws, 6, 3, 8), u"仕入 合計|1100|700|1800|0|1800"_s);
    QCOMPARE(profittest::rowText(ws, 7, 3, 8), u"売上 合計|1000|900|1900|0|1900"_s);
    QCOMPARE(profittest::rowText(ws, 8, 3, 8), u"「定番」|1000|0|1000|0|1000"_s);
    QCOMPARE(profittest::rowText(ws, 9, 3, 8), u"「季節」|0|900|900|0|900"_s);
    QCOMPARE(profittest::rowText(book.sheet(1), 2, 4, 4),
             u" ランキングシート(利益率) 2024/01/21 - 2024/04/20"_s);

    ProfitWindowChoices c;
    QVERIFY(gGetProfitWindowChoices(c));
    QCOMPARE(c.sampling1Class, u"区分1"_s);
    QCOMPARE(c.sampling1Item, u"文具"_s);
    QCOMPARE(c.sampling2Class, u"区分2"_s);
    QCOMPARE(c.sampling2Item, u"季節"_s);
    QCOMPARE(c.andOr, 1);
    QCOMPARE(c.purchaseGroupingClass, QString());
    QCOMPARE(c.saleGroupingClass, u"区分2"_s);
    QVERIFY(c.noSumNoTarget);
    QVERIFY(!c.sumOnly);
    QVERIFY(c.ranking);
    QCOMPARE(c.sortRanking, 2);
    QCOMPARE(m_folder->errorLogEntries(), 0);

    // The next opening of the window shows them again.
    closeWindow();
    ManageProfitFrame* again = openFrame();
    QVERIFY(again);
    QCOMPARE(again->cboSampling2ClassItem->currentText(), u"季節"_s);
    QCOMPARE(again->cboSortRanking->currentText(), u"利益率"_s);
}

void tst_ProfitWindows::frame_rowsPerSheetFollowTheSettingsCombo() {
    // The combo "１ページで使用する行数" (setting 33) limits the table's sheets; blocks end on
    // rows 10, 17 and 24, so with 26 the fourth supplier starts sheet "2".
    QVERIFY(gSetSystemLngField(33, 26));
    QVERIFY(gSetSystemBlnField(35, true));
    QVERIFY(gSetSystemLngField(28, 44));
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    Workbook book;
    QVERIFY(book.open(f->lastSavedPath()));
    QCOMPARE(book.sheetNames(), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(profittest::rowText(book.sheet(1), 5, 2, 2), u"丁屋"_s);
    QCOMPARE(book.sheet(0)->format(6, 4).fillColorIndex, 44);
    QCOMPARE(book.sheet(0)->format(5, 2).fillColorIndex, 1);
}

void tst_ProfitWindows::frame_noSupplierTicked_message22() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QTest::mouseClick(f->cmdManegeProfit_AllClear, Qt::LeftButton);
    f->chkMP_SumOnly->setChecked(true);
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QVERIFY(m_svc.prompt->texts().first().startsWith(u"対象となるデータがありません。"_s));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
    // Nothing was made, so nothing is kept.
    ProfitWindowChoices c;
    QVERIFY(gGetProfitWindowChoices(c));
    QVERIFY(!c.sumOnly);
    QVERIFY(frmPrint::existing()->isEnabled());
}

void tst_ProfitWindows::frame_startAfterEnd_message40AndFocus() {
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    frmPrint::existing()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frmPrint::existing()));
    choose(f->cboManageProfitStart, u"2024/04/21"_s);
    choose(f->cboManageProfitEnd, u"2024/04/20"_s);
    f->cmdManageProfit->setFocus();
    QTest::mouseClick(f->cmdManageProfit, Qt::LeftButton);
    QCOMPARE(m_svc.prompt->texts().size(), 1);
    QVERIFY(m_svc.prompt->texts().first().startsWith(u"終了日が開始日より前になっています。"_s));
    QTRY_VERIFY(f->cboManageProfitStart->hasFocus());
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files), QStringList());
}

void tst_ProfitWindows::settings_opensWithStoredValues() {
    QVERIFY(gSetSystemLngField(25, 3));  // red
    QVERIFY(gSetSystemLngField(34, 17)); // not offered by the picker
    QVERIFY(gSetSystemBlnField(26, true));
    QVERIFY(gSetSystemLngField(33, 31));
    QVERIFY(gSetSystemBlnField(35, true));
    QVERIFY(gSetSystemStrField(10, u"買入"_s));
    QStringList seen;
    whenShown<frmPrint_ManegeProfitSetting>([&](frmPrint_ManegeProfitSetting* w) {
        seen << w->windowTitle() << w->lblColor[0]->text() << w->lblColor[1]->text()
             << w->lblColor[2]->text() << w->lblColor[5]->text()
             << w->lblColor[0]->palette().color(QPalette::Window).name()
             << w->lblColor[3]->palette().color(QPalette::Window).name()
             << w->lblColor[5]->palette().color(QPalette::Window).name()
             << (w->lblColor[0]->font().bold() ? u"bold"_s : u"normal"_s)
             << (w->chkSupplierBold->isChecked() ? u"checked"_s : u"clear"_s)
             << itemsOf(w->cboMaxLine).join(u',') << w->cboMaxLine->currentText()
             << itemsOf(w->cboCellColorOn).join(u',') << w->cboCellColorOn->currentText()
             << w->lblNote->text();
        w->chkSupplierBold->setChecked(false);
        seen << (w->lblColor[0]->font().bold() ? u"bold"_s : u"normal"_s);
        w->close();
    });
    ManageProfitFrame* f = openFrame();
    QVERIFY(f);
    QTest::mouseClick(f->cmdManageProfitSetting, Qt::LeftButton);
    QCOMPARE(seen, (QStringList{
                       u"利益管理表 エクセルの設定     tovaki"_s, u"仕入先名の列"_s, u"買入の列"_s,
                       u"売上の列"_s, u"在庫の列"_s, u"#ff0000"_s, u"#000000"_s, u"#ffffff"_s,
                       u"bold"_s, u"checked"_s, u"29,30,31"_s, u"31"_s, u"ON,OFF"_s, u"ON"_s,
                       u"列数(横数)は 対象となる期間の長さによって異なります"_s, u"normal"_s}));
}

void tst_ProfitWindows::settings_closingStoresTheOptions() {
    frmPrint_ManegeProfitSetting* w = frmPrint_ManegeProfitSetting::instance();
    QVERIFY(w);
    QCOMPARE(w->cboMaxLine->currentText(), u"29"_s);
    QCOMPARE(w->cboCellColorOn->currentText(), u"OFF"_s);
    w->show();
    w->chkSupplierBold->setChecked(true);
    w->cboMaxLine->setCurrentIndex(w->cboMaxLine->findText(u"30"_s));
    w->cboCellColorOn->setCurrentIndex(0);
    QTest::mouseClick(w->cmdClose, Qt::LeftButton);
    bool bold = false, on = false;
    qint32 maxLine = 0;
    QVERIFY(gGetSystemBlnField(26, bold, false));
    QVERIFY(gGetSystemLngField(33, maxLine, 0));
    QVERIFY(gGetSystemBlnField(35, on, false));
    QVERIFY(bold);
    QCOMPARE(maxLine, 30);
    QVERIFY(on);
    ProfitSheetSettings s;
    QVERIFY(gGetProfitSheetSettings(s));
    QCOMPARE(s.rowsPerSheet, 30);
    QVERIFY(s.cellColorOn);
    QVERIFY(s.supplierBold);
    QTRY_VERIFY(!frmPrint_ManegeProfitSetting::existing());
}

void tst_ProfitWindows::settings_pickedColourIsStoredAtOnce() {
    frmPrint_ManegeProfitSetting* w = frmPrint_ManegeProfitSetting::instance();
    QVERIFY(w);
    w->show();
    qint32 stored = 0;
    whenShown<frmExcelColor>([&](frmExcelColor* picker) {
        QTest::mouseClick(picker->PictureColor.value(37), Qt::LeftButton);
        QCOMPARE(picker->txtPreView->palette().color(QPalette::Base).name(), u"#99ccff"_s);
        QTest::mouseClick(picker->cmdProc[0], Qt::LeftButton);
    });
    QTest::mouseClick(w->cmdColorChange[2], Qt::LeftButton);
    // Stored before the settings window closes.
    QVERIFY(gGetSystemLngField(29, stored, 0));
    QCOMPARE(stored, 37);
    QCOMPARE(w->colorIndex(2), 37);
    QCOMPARE(w->lblColor[2]->palette().color(QPalette::Window).name(), u"#99ccff"_s);
    QVERIFY(frmExcelColor::gblnColorOK);
    QCOMPARE(frmExcelColor::glngColorIndex, 37);
    QCOMPARE(frmExcelColor::glngColorValue, 16764057);
    w->close();
}

void tst_ProfitWindows::settings_cancelledPickChangesNothing() {
    QVERIFY(gSetSystemLngField(30, 6));
    frmPrint_ManegeProfitSetting* w = frmPrint_ManegeProfitSetting::instance();
    QVERIFY(w);
    w->show();
    whenShown<frmExcelColor>([&](frmExcelColor* picker) {
        QTest::mouseClick(picker->PictureColor.value(3), Qt::LeftButton);
        QTest::mouseClick(picker->cmdProc[1], Qt::LeftButton);
    });
    QTest::mouseClick(w->cmdColorChange[3], Qt::LeftButton);
    qint32 stored = 0;
    QVERIFY(gGetSystemLngField(30, stored, 0));
    QCOMPARE(stored, 6);
    QCOMPARE(w->colorIndex(3), 6);
    QVERIFY(!frmExcelColor::gblnColorOK);
    w->close();
}

void tst_ProfitWindows::colorPicker_confirmWithoutPick() {
    frmExcelColor* picker = frmExcelColor::instance();
    QVERIFY(picker);
    QCOMPARE(picker->PictureColor.size(), 40);
    QVERIFY(picker->PictureColor.contains(16));
    QVERIFY(!picker->PictureColor.contains(17));
    QVERIFY(picker->PictureColor.contains(33));
    QCOMPARE(picker->txtPreView->text(), u"テスト"_s);
    QCOMPARE(picker->cmdProc[0]->text(), u"確 定"_s);
    QCOMPARE(picker->cmdProc[1]->text(), u"取 消"_s);
    picker->show();
    QTest::mouseClick(picker->cmdProc[0], Qt::LeftButton);
    QVERIFY(!frmExcelColor::gblnColorOK);
    QCOMPARE(m_folder->errorLogEntries(), 0);
}

QTEST_MAIN(tst_ProfitWindows)
#include "tst_ProfitWindows.moc"
