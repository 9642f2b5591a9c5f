#include "reports/ManageProfitFrame.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/InitCboTargetDate.h"
#include "master/SupplierRecords.h"
#include "reports/ProfitReport.h"
#include "reports/ReportRegistry.h"
#include "reports/frmPrint_ManegeProfitSetting.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "widgets/FormHelpers.h"
#include "widgets/WindowDisplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kAnd = QStringLiteral("かつ");
const QString kOr = QStringLiteral("または");
const QString kSortMargin = QStringLiteral("粗利");
const QString kSortRate = QStringLiteral("利益率");

// Role of the list items that holds the supplier's master ID.
constexpr int kMasterIdRole = Qt::UserRole + 1;

// typed: the box also takes a typed text (checked when it is used).
QComboBox* selectionBox(QWidget* parent, const char* name, int minWidth, bool typed = false) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    if (typed) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    gSetSelectionColour(box);
    box->setMinimumWidth(minWidth);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // Enter moves on; otherwise typed characters are discarded, so only listed values are taken.
    gSetMoveFocusByKey(box, !typed);
    return box;
}

// Shows text when the list offers it; otherwise the box stays empty (index emptyIndex).
void selectText(QComboBox* box, const QString& text, int emptyIndex) {
    const int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    box->setCurrentIndex(i >= 0 ? i : emptyIndex);
}

} // namespace

ManageProfitFrame::ManageProfitFrame(PrintHost& host, QWidget* parent)
    : PrintFrame(gReportCaption(QStringLiteral("profit")), host, parent) {
    setObjectName(QStringLiteral("Frame5"));
    auto* outer = new QHBoxLayout(this);

    // Left: range and suppliers.
    auto* left = new QVBoxLayout();
    auto* range = new QHBoxLayout();
    auto* lblRange = new QLabel(QStringLiteral("対象期間"), this);
    lblRange->setObjectName(QStringLiteral("lblManageProfitRange"));
    range->addWidget(lblRange);
    cboManageProfitStart = selectionBox(this, "cboManageProfitStart", 110, true);
    cboManageProfitEnd = selectionBox(this, "cboManageProfitEnd", 110, true);
    // The lists offer the recent terms; any other term is typed (checked on 作成).
    for (QComboBox* box : {cboManageProfitStart, cboManageProfitEnd}) {
        box->setToolTip(QStringLiteral("一覧から選ぶか、日付を入力します（開始は締日の翌日、"
                                       "終了は締日）"));
    }
    range->addWidget(cboManageProfitStart);
    range->addWidget(new QLabel(QStringLiteral("～"), this));
    range->addWidget(cboManageProfitEnd);
    range->addStretch(1);
    left->addLayout(range);

    ListPrintManageProfit = new QTreeWidget(this);
    ListPrintManageProfit->setObjectName(QStringLiteral("ListPrintManageProfit"));
    ListPrintManageProfit->setColumnCount(2);
    ListPrintManageProfit->setHeaderLabels({QStringLiteral("  番号"), QStringLiteral("仕入先名")});
    ListPrintManageProfit->setRootIsDecorated(false);
    ListPrintManageProfit->setUniformRowHeights(true);
    ListPrintManageProfit->setAlternatingRowColors(true);
    ListPrintManageProfit->header()->resizeSection(0, 80);
    ListPrintManageProfit->setMinimumSize(260, 220);
    left->addWidget(ListPrintManageProfit, 1);

    auto* listButtons = new QHBoxLayout();
    cmdPrintManegeProfit_AllCheck = new QPushButton(QStringLiteral("全選択"), this);
    cmdPrintManegeProfit_AllCheck->setObjectName(QStringLiteral("cmdPrintManegeProfit_AllCheck"));
    cmdPrintManegeProfit_AllCheck->setToolTip(QStringLiteral("すべての仕入先にチェックを付けます"));
    cmdManegeProfit_AllClear = new QPushButton(QStringLiteral("全解除"), this);
    cmdManegeProfit_AllClear->setObjectName(QStringLiteral("cmdManegeProfit_AllClear"));
    cmdManegeProfit_AllClear->setToolTip(QStringLiteral("すべての仕入先のチェックを外します"));
    cmdPrintManegeProfit_AllCheck->setIcon(gSelectAllIcon(true));
    cmdManegeProfit_AllClear->setIcon(gSelectAllIcon(false));
    for (QPushButton* b : {cmdPrintManegeProfit_AllCheck, cmdManegeProfit_AllClear}) {
        b->setAutoDefault(false);
        listButtons->addWidget(b);
    }
    listButtons->addStretch(1);
    left->addLayout(listButtons);
    outer->addLayout(left, 1);

    // Right: filter, breakdown, options, buttons.
    auto* right = new QVBoxLayout();
    Frame1 = new QGroupBox(QStringLiteral(" 抽出分類"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* filter = new QGridLayout(Frame1);
    cboSampling1Class = selectionBox(Frame1, "cboSampling1Class", 100);
    cboSampling1ClassItem = selectionBox(Frame1, "cboSampling1ClassItem", 140);
    cboSamplingAndOr = selectionBox(Frame1, "cboSamplingAndOr", 90);
    cboSampling2Class = selectionBox(Frame1, "cboSampling2Class", 100);
    cboSampling2ClassItem = selectionBox(Frame1, "cboSampling2ClassItem", 140);
    filter->addWidget(cboSampling1Class, 0, 0);
    filter->addWidget(cboSampling1ClassItem, 0, 1);
    filter->addWidget(cboSamplingAndOr, 1, 0);
    filter->addWidget(cboSampling2Class, 2, 0);
    filter->addWidget(cboSampling2ClassItem, 2, 1);
    right->addWidget(Frame1);

    auto* grouping = new QGridLayout();
    cboPurchaseGroupingClass = selectionBox(this, "cboPurchaseGroupingClass", 100);
    cboSaleGroupingClass = selectionBox(this, "cboSaleGroupingClass", 100);
    auto* lblPurchase = new QLabel(QStringLiteral("仕入分類"), this);
    lblPurchase->setObjectName(QStringLiteral("lblPurchaseGroupingClass"));
    auto* lblSale = new QLabel(QStringLiteral("売上分類"), this);
    lblSale->setObjectName(QStringLiteral("lblSaleGroupingClass"));
    grouping->addWidget(lblPurchase, 0, 0);
    grouping->addWidget(cboPurchaseGroupingClass, 0, 1);
    grouping->addWidget(lblSale, 1, 0);
    grouping->addWidget(cboSaleGroupingClass, 1, 1);
    grouping->setColumnStretch(2, 1);
    right->addLayout(grouping);

    chkMP_SumOnly = new QCheckBox(QStringLiteral("累計のみ（各月の詳細データは表示しない）"), this);
    chkMP_SumOnly->setObjectName(QStringLiteral("chkMP_SumOnly"));
    chkMP_NoSumNoTarget =
        new QCheckBox(QStringLiteral("仕入/売上が無い仕入先は対象にしない"), this);
    chkMP_NoSumNoTarget->setObjectName(QStringLiteral("chkMP_NoSumNoTarget"));
    right->addWidget(chkMP_SumOnly);
    right->addWidget(chkMP_NoSumNoTarget);

    auto* ranking = new QHBoxLayout();
    chkManageProfit_Ranking = new QCheckBox(QStringLiteral("ランキング"), this);
    chkManageProfit_Ranking->setObjectName(QStringLiteral("chkManageProfit_Ranking"));
    auto* lblSort = new QLabel(QStringLiteral("並べ替え"), this);
    lblSort->setObjectName(QStringLiteral("lblSortRanking"));
    cboSortRanking = selectionBox(this, "cboSortRanking", 90);
    ranking->addWidget(chkManageProfit_Ranking);
    ranking->addSpacing(12);
    ranking->addWidget(lblSort);
    ranking->addWidget(cboSortRanking);
    ranking->addStretch(1);
    right->addLayout(ranking);
    right->addStretch(1);

    auto* buttons = new QHBoxLayout();
    cmdManageProfitSetting = new QPushButton(QStringLiteral("各 設 定"), this);
    cmdManageProfitSetting->setObjectName(QStringLiteral("cmdManageProfitSetting"));
    cmdManageProfit = new QPushButton(QStringLiteral("作 成"), this);
    cmdManageProfit->setObjectName(QStringLiteral("cmdManageProfit"));
    for (QPushButton* b : {cmdManageProfitSetting, cmdManageProfit}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
    }
    buttons->addStretch(1);
    buttons->addWidget(cmdManageProfitSetting);
    buttons->addWidget(cmdManageProfit);
    right->addLayout(buttons);
    outer->addLayout(right);

    connect(cmdPrintManegeProfit_AllCheck, &QPushButton::clicked, this,
            [this]() { setAllChecked(true); });
    connect(cmdManegeProfit_AllClear, &QPushButton::clicked, this,
            [this]() { setAllChecked(false); });
    connect(cboSampling1Class, &QComboBox::activated, this, [this]() {
        if (!fillClassItems(cboSampling1Class, cboSampling1ClassItem))
            gProcFatalError(QStringLiteral("frmPrint_cboSampling1Class_Click"));
    });
    connect(cboSampling2Class, &QComboBox::activated, this, [this]() {
        if (!fillClassItems(cboSampling2Class, cboSampling2ClassItem))
            gProcFatalError(QStringLiteral("frmPrint_cboSampling2Class_Click"));
    });
    connect(cmdManageProfitSetting, &QPushButton::clicked, this,
            [this]() { cmdManageProfitSettingClick(); });
    connect(cmdManageProfit, &QPushButton::clicked, this, [this]() { cmdManageProfitClick(); });
}

bool ManageProfitFrame::formLoad() {
    const QString proc = QStringLiteral("frmPrint_Form_Load");
    if (!gInitCboTargetDate(cboManageProfitStart, cboManageProfitEnd)) {
        gProcError(proc);
        return false;
    }
    // The table starts three months before the current term by default.
    const QDate current = termDateFromText(cboManageProfitStart->currentText());
    if (current.isValid()) {
        const QString text = termDateText(current.addMonths(-3));
        int at = cboManageProfitStart->findText(text);
        if (at < 0) {
            // Not a term start in the list (a short month): offered in date order all the same.
            at = 0;
            while (at < cboManageProfitStart->count() && cboManageProfitStart->itemText(at) > text)
                ++at;
            cboManageProfitStart->insertItem(at, text);
        }
        cboManageProfitStart->setCurrentIndex(at);
    }

    QStringList captions;
    if (!gGetProfitClassCaptions(captions)) {
        gProcError(proc);
        return false;
    }
    for (QComboBox* box :
         {cboSampling1Class, cboSampling2Class, cboPurchaseGroupingClass, cboSaleGroupingClass}) {
        box->clear();
        box->addItem(QString());
        box->addItems(captions);
    }
    cboSamplingAndOr->clear();
    cboSamplingAndOr->addItems({kAnd, kOr});
    cboSamplingAndOr->setCurrentIndex(1);
    cboSortRanking->clear();
    cboSortRanking->addItems({kSortMargin, kSortRate});
    if (!mSetList() || !mDspSetting_ManegeProfit()) {
        gProcError(proc);
        return false;
    }
    return true;
}

bool ManageProfitFrame::mSetList() {
    // The window's supplier records, in their order: item i is record i.
    const QList<SupplierRecord>& suppliers = host().suppliers();
    ListPrintManageProfit->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(suppliers.size());
    for (const SupplierRecord& s : suppliers) {
        auto* item = new QTreeWidgetItem();
        item->setText(0, QString::number(s.lngSupplier));
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(1, s.strSupplierShortName);
        item->setData(0, kMasterIdRole, s.lngMasterID);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
        items << item;
    }
    ListPrintManageProfit->addTopLevelItems(items);
    return true;
}

void ManageProfitFrame::setAllChecked(bool checked) {
    for (int i = 0; i < ListPrintManageProfit->topLevelItemCount(); ++i)
        ListPrintManageProfit->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked
                                                                         : Qt::Unchecked);
}

bool ManageProfitFrame::fillClassItems(QComboBox* classBox, QComboBox* itemBox) {
    const int classNo = classBox->currentIndex();
    itemBox->clear();
    if (classNo <= 0)
        return true;
    QStringList items;
    if (!gGetProfitClassItems(classNo, items))
        return false;
    itemBox->addItems(items);
    itemBox->setCurrentIndex(-1);
    return true;
}

bool ManageProfitFrame::mDspSetting_ManegeProfit() {
    ProfitWindowChoices c;
    if (!gGetProfitWindowChoices(c))
        return false;
    selectText(cboSampling1Class, c.sampling1Class, 0);
    if (!fillClassItems(cboSampling1Class, cboSampling1ClassItem))
        return false;
    selectText(cboSampling1ClassItem, c.sampling1Item, -1);
    selectText(cboSampling2Class, c.sampling2Class, 0);
    if (!fillClassItems(cboSampling2Class, cboSampling2ClassItem))
        return false;
    selectText(cboSampling2ClassItem, c.sampling2Item, -1);
    cboSamplingAndOr->setCurrentIndex(c.andOr == 1 ? 1 : 0);
    selectText(cboPurchaseGroupingClass, c.purchaseGroupingClass, 0);
    selectText(cboSaleGroupingClass, c.saleGroupingClass, 0);
    chkMP_NoSumNoTarget->setChecked(c.noSumNoTarget);
    chkMP_SumOnly->setChecked(c.sumOnly);
    chkManageProfit_Ranking->setChecked(c.ranking);
    cboSortRanking->setCurrentIndex(c.sortRanking == 2 ? 1 : 0);
    return true;
}

bool ManageProfitFrame::mSetSystem_ManegeProfitSetting() {
    ProfitWindowChoices c;
    c.sampling1Class = cboSampling1Class->currentText();
    c.sampling1Item = cboSampling1ClassItem->currentText();
    c.sampling2Class = cboSampling2Class->currentText();
    c.sampling2Item = cboSampling2ClassItem->currentText();
    c.andOr = cboSamplingAndOr->currentIndex() == 1 ? 1 : 0;
    c.purchaseGroupingClass = cboPurchaseGroupingClass->currentText();
    c.saleGroupingClass = cboSaleGroupingClass->currentText();
    c.noSumNoTarget = chkMP_NoSumNoTarget->isChecked();
    c.sumOnly = chkMP_SumOnly->isChecked();
    c.ranking = chkManageProfit_Ranking->isChecked();
    c.sortRanking = cboSortRanking->currentIndex() == 1 ? 2 : 1;
    return gSetProfitWindowChoices(c);
}

bool ManageProfitFrame::mGetManegeProfitSetting(ProfitReportParams& p) {
    const QString proc = QStringLiteral("mGetManegeProfitSetting");
    // An empty class leaves its value out.
    if (cboSampling1Class->currentText().isEmpty())
        cboSampling1ClassItem->setCurrentIndex(-1);
    if (cboSampling2Class->currentText().isEmpty())
        cboSampling2ClassItem->setCurrentIndex(-1);
    auto indexOf = [&](QComboBox* box, int& index) {
        index = box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            gProcError(proc, box->objectName() + QStringLiteral("=") + box->currentText());
            return false;
        }
        return true;
    };
    if (!indexOf(cboSampling1Class, p.sampling1Class) ||
        !indexOf(cboSampling2Class, p.sampling2Class) || !indexOf(cboSamplingAndOr, p.andOr) ||
        !indexOf(cboPurchaseGroupingClass, p.purchaseGroupingClass) ||
        !indexOf(cboSaleGroupingClass, p.saleGroupingClass))
        return false;
    p.sampling1Item = cboSampling1ClassItem->currentText();
    p.sampling2Item = cboSampling2ClassItem->currentText();
    p.sumOnly = chkMP_SumOnly->isChecked();
    p.ranking = chkManageProfit_Ranking->isChecked();
    const QString sort = cboSortRanking->currentText();
    p.rankingOrder = sort == kSortMargin ? 1 : sort == kSortRate ? 2 : 0;
    p.suppliers.clear();
    for (int i = 0; i < ListPrintManageProfit->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListPrintManageProfit->topLevelItem(i);
        ProfitSupplier s;
        s.masterID = item->data(0, kMasterIdRole).toInt();
        s.supplier = item->text(0).toInt();
        s.shortName = item->text(1);
        s.checked = item->checkState(0) == Qt::Checked;
        p.suppliers.push_back(s);
    }
    return true;
}

void ManageProfitFrame::cmdManageProfitClick() {
    const QString proc = QStringLiteral("frmPrint_cmdMargin_Click");
    m_savedPath.clear();
    ProfitReportParams p;
    if (!mReadRange(p))
        return;
    p.outputFolder = host().outputFolder();
    if (!mGetManegeProfitSetting(p) || !gGetProfitSheetSettings(p.settings)) {
        ExcelReportRun(proc).fail(QStringLiteral("画面の設定を読めません"));
        return;
    }
    const ExcelReportRun::Callbacks callbacks = host().reportCallbacks();
    bool storeFailed = false;
    const ProfitOutcome outcome = gMakeManageProfit(p, callbacks, &m_savedPath, [&]() {
        storeFailed = !mSetSystem_ManegeProfitSetting();
        return !storeFailed;
    });
    if (outcome == ProfitOutcome::StartAfterEnd)
        cboManageProfitStart->setFocus();
    else if (storeFailed)
        gProcFatalError(proc);
}

bool ManageProfitFrame::mReadRange(ProfitReportParams& p) {
    // A typed date is taken in any form the ledger's date boxes take; the range must still be
    // whole terms: it starts the day after a close day and ends on one.
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay))
        return false;
    const auto read = [closeDay](QComboBox* box, bool start, QDate& date) {
        date = gReadDateBox(box);
        if (!date.isValid())
            return false;
        bool onTerm = false;
        if (!gChkCloseDay(start ? date.addDays(-1) : date, closeDay, onTerm))
            return false;
        if (!onTerm) {
            box->setFocus();
            svc().prompt().show(start ? QStringLiteral("対象期間の開始日は、締日の翌日の日付を"
                                                       "入力してください。")
                                      : QStringLiteral("対象期間の終了日は、締日の日付を"
                                                       "入力してください。"),
                                gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Exclamation);
            return false;
        }
        return true;
    };
    if (!read(cboManageProfitStart, true, p.start) || !read(cboManageProfitEnd, false, p.end))
        return false;
    p.startText = cboManageProfitStart->currentText();
    p.endText = cboManageProfitEnd->currentText();
    return true;
}

void ManageProfitFrame::cmdManageProfitSettingClick() {
    frmPrint_ManegeProfitSetting* w = frmPrint_ManegeProfitSetting::instance(window());
    if (!w || !gDspForm(w, 0, 1))
        gProcFatalError(QStringLiteral("frmPrint_cmdManageProfitSetting_Click"));
}
